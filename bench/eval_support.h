#pragma once
// Helpers shared by the evaluation programs.

#include <algorithm>
#include <cmath>
#include <vector>

// The value below which a share p of the values lie (nearest rank); NaN for none.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}
