#include "landmarks.h"

#include "rotation.h"

#include <cmath>

std::optional<LandmarkRotation> rotationFromLandmarks(const Circle& referenceLimbus,
                                                      const Circle& currentLimbus,
                                                      const std::vector<LandmarkPair>& pairs) {
    double sx = 0, sy = 0;
    std::vector<double> turns;
    for (const LandmarkPair& p : pairs) {
        const double turn =
            screenAngle(currentLimbus.centre, p.current) - screenAngle(referenceLimbus.centre, p.reference);
        turns.push_back(turn);
        sx += std::cos(turn * M_PI / 180);
        sy += std::sin(turn * M_PI / 180);
    }
    if (turns.empty() || std::hypot(sx, sy) < 1e-9 * turns.size())
        return std::nullopt;
    LandmarkRotation out;
    out.degrees = wrapDegrees(std::atan2(sy, sx) * 180 / M_PI);
    out.pairs = int(turns.size());
    double sum = 0;
    for (double t : turns)
        sum += std::pow(wrapDegrees(t - out.degrees), 2);
    out.spread = std::sqrt(sum / turns.size());
    return out;
}
