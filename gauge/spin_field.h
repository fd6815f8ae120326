#pragma once

#include <QString>

// The integer entry fields' rule, shared by every spin field of the program.

// The value a field's text stands for: the integer it holds, else the field's minimum.
int spinFieldValue(const QString& text, int minimum);

// A value brought into the field's range; a field whose minimum equals its maximum (both 0 in
// practice) has no range.
int pullIntoRange(int value, int minimum, int maximum);
