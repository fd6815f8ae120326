#include "gauge/guide_axis.h"

#include "imaging/rounding.h"

#include <cmath>

int carriedAxis(double axisDegrees, double rotationDegrees) {
    const int whole = roundHalfEven(std::fmod(axisDegrees + rotationDegrees, 180.0));
    return ((whole % 180) + 180) % 180;
}
