#pragma once

#include <climits>
#include <cmath>

// The program's two integer conversions: every "round" is to nearest with halves to the even
// neighbour, every integer division truncates toward zero.
// A value beyond the int range saturates at its end, and NaN gives 0: converting such a double to
// int directly is undefined.
inline int roundHalfEven(double v) {
    const double r = std::nearbyint(v); // the default FE_TONEAREST mode rounds ties to even
    if (std::isnan(r))
        return 0;
    if (r <= double(INT_MIN))
        return INT_MIN;
    if (r >= double(INT_MAX))
        return INT_MAX;
    return static_cast<int>(r);
}

inline int divTrunc(int a, int b) {
    return a / b; // C++ integer division truncates toward zero
}
