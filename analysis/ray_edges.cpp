#include "ray_edges.h"

#include "numerics.h"
#include "tuning.h"

#include <algorithm>
#include <cmath>

namespace {

// The smoothed derivative of a profile: mean of h samples ahead minus mean of h behind, per pixel.
// Running sums keep it linear in the profile's length: a limbus is measured over dozens of pixels.
std::vector<float> derivative(const std::vector<float>& p, int h) {
    std::vector<double> sum(p.size() + 1, 0.0); // sum[k] holds p[0] + ... + p[k - 1]
    for (size_t k = 0; k < p.size(); ++k)
        sum[k + 1] = sum[k] + p[k];
    std::vector<float> d(p.size(), 0.0f);
    for (int k = h; k + h < int(p.size()); ++k) {
        const double ahead = sum[k + h + 1] - sum[k + 1], behind = sum[k] - sum[k - h];
        d[k] = float((ahead - behind) / (h * (h + 1)));
    }
    return d;
}

// The grey levels along the ray from centre in direction (c, s), from distance from on, one a pixel;
// false when the ray leaves the photo or, with a glare level, crosses a sample at or above it.
bool readProfile(const PhotoGray& photo, const QPointF& centre, double c, double s, double from,
                 float glareLevel, std::vector<float>& profile) {
    bool inside = true;
    for (int k = 0; k < int(profile.size()) && inside; ++k) {
        const double r = from + k;
        // Three samples across the ray quiet the noise without blurring along it.
        float v0 = 0, v1 = 0, v2 = 0;
        const double x = centre.x() + r * c, y = centre.y() + r * s;
        inside = photo.sample(x, y, v0) && photo.sample(x - s, y + c, v1) && photo.sample(x + s, y - c, v2);
        profile[k] = (v0 + v1 + v2) / 3;
        if (glareLevel > 0 && v0 >= glareLevel)
            inside = false;
    }
    return inside;
}

} // namespace

bool isLateral(double angle) {
    const LimbusTuning& t = tuning().limbus;
    double deg = std::remainder(angle * 180 / M_PI, 360.0); // -180..180
    if (std::abs(deg) > 90)
        deg = deg > 0 ? 180 - deg : -180 - deg; // the left side mirrored onto the right
    return deg >= -t.lateralUpDegrees && deg <= t.lateralDownDegrees;
}

std::vector<QPointF> edgesAcrossCircle(const PhotoGray& photo, const Circle& circle, int sign, int rayCount,
                                       double band, int smoothing, bool lateralOnly, float glareLevel,
                                       int* raysRead) {
    struct Found {
        QPointF point;
        float strength;
    };
    std::vector<Found> found;
    if (raysRead)
        *raysRead = 0;
    // A circle thrown far off by a failed fit has nothing to read: nor does a band wider than the photo.
    const double reach = photo.width() + photo.height();
    if (!(std::abs(circle.centre.x()) < reach && std::abs(circle.centre.y()) < reach && circle.radius > 0 &&
          circle.radius < reach && band > 0 && band < reach && smoothing >= 0 && smoothing < reach))
        return {};
    const double from = std::max(0.0, circle.radius - band) - smoothing;
    const int samples = int(std::ceil(2 * band)) + 2 * smoothing + 1;
    std::vector<float> profile(samples);
    for (int i = 0; i < rayCount; ++i) {
        const double a = 2 * M_PI * i / rayCount;
        if (lateralOnly && !isLateral(a))
            continue;
        const double c = std::cos(a), s = std::sin(a);
        if (!readProfile(photo, circle.centre, c, s, from, glareLevel, profile))
            continue;
        if (raysRead)
            ++*raysRead;
        const std::vector<float> d = derivative(profile, smoothing);
        int bestK = -1;
        for (int k = smoothing + 1; k + smoothing + 1 < samples; ++k)
            if (sign * d[k] > 0 && (bestK < 0 || sign * d[k] > sign * d[bestK]))
                bestK = k;
        if (bestK < 0)
            continue;
        const double r =
            from + bestK + parabolaVertex(sign * d[bestK - 1], sign * d[bestK], sign * d[bestK + 1]);
        found.push_back(Found{circle.centre + QPointF(r * c, r * s), sign * d[bestK]});
    }
    std::vector<float> strengths;
    for (const Found& f : found)
        strengths.push_back(f.strength);
    const double typical = medianOf(strengths);
    const LimbusTuning& t = tuning().limbus;
    std::vector<QPointF> points;
    for (const Found& f : found)
        if (f.strength >= t.weakEdgeShare * typical && f.strength >= t.minEdgeStrength)
            points.push_back(f.point);
    return points;
}
