#pragma once

// The guide line carried across to another photo: the axis turned with the eye, rounded half to
// even, in whole degrees 0..179.
int carriedAxis(double axisDegrees, double rotationDegrees);
