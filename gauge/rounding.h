#pragma once

#include <cmath>

// The program's two integer conversions: every "round" is to nearest with halves to the even
// neighbour, every integer division truncates toward zero.
inline int roundHalfEven(double v) {
    return static_cast<int>(std::nearbyint(v)); // the default FE_TONEAREST mode rounds ties to even
}

inline int divTrunc(int a, int b) {
    return a / b; // C++ integer division truncates toward zero
}
