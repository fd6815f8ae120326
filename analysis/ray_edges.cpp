#include "ray_edges.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t kEdgesPerDirection = 2;
constexpr int kBehind = 3; // samples taken behind the origin so that edges right beside it show
constexpr double kLateralUp = 35;   // degrees above horizontal that count as the side of an eye
constexpr double kLateralDown = 45; // and below: the lower lid covers less than the upper

double medianOf(std::vector<float> v) {
    if (v.empty())
        return 0;
    const auto mid = v.begin() + v.size() / 2;
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// Sub-pixel offset of a peak from three neighbouring values (parabola through them).
double peakOffset(double before, double at, double after) {
    const double den = before - 2 * at + after;
    return den < 0 ? std::clamp(0.5 * (before - after) / den, -0.5, 0.5) : 0.0;
}

// The smoothed derivative of a profile: mean of h samples ahead minus mean of h behind, per pixel.
std::vector<float> derivative(const std::vector<float>& p, int h) {
    std::vector<float> d(p.size(), 0.0f);
    for (int k = h; k + h < int(p.size()); ++k) {
        float ahead = 0, behind = 0;
        for (int i = 1; i <= h; ++i) {
            ahead += p[k + i];
            behind += p[k - i];
        }
        d[k] = (ahead - behind) / float(h * (h + 1));
    }
    return d;
}

} // namespace

std::vector<RayEdges> castRays(const ReducedGray& image, const QPointF& origin, int rayCount) {
    std::vector<RayEdges> rays(rayCount);
    std::vector<std::vector<float>> slopes(rayCount);
    std::vector<float> magnitudes;
    for (int i = 0; i < rayCount; ++i) {
        RayEdges& ray = rays[i];
        const double a = 2 * M_PI * i / rayCount;
        ray.cos = std::cos(a);
        ray.sin = std::sin(a);
        std::vector<float> profile;
        float v = 0;
        for (int k = -kBehind;; ++k) {
            const QPointF p = ray.pointAt(origin, k);
            if (!image.sample(p.x(), p.y(), v)) {
                if (k <= 0) { // the origin sits on the border: repeat the nearest value
                    profile.push_back(profile.empty() ? 0.0f : profile.back());
                    continue;
                }
                break;
            }
            profile.push_back(v);
        }
        ray.length = int(profile.size()) - kBehind - 1;
        slopes[i] = derivative(profile, 2);
        for (size_t k = kBehind; k < slopes[i].size(); k += 3)
            magnitudes.push_back(std::abs(slopes[i][k]));
    }
    // Edges must stand out from the photo's texture and noise, and from plain quantisation.
    const float threshold = float(std::max(2.0, 4 * 1.4826 * medianOf(magnitudes)));
    for (int i = 0; i < rayCount; ++i) {
        rays[i].noise = threshold;
        const std::vector<float>& d = slopes[i];
        std::vector<Edge>& edges = rays[i].edges;
        for (int k = kBehind; k + 1 < int(d.size()); ++k) {
            const float m = std::abs(d[k]);
            if (m < threshold || m < std::abs(d[k - 1]) || m <= std::abs(d[k + 1]))
                continue;
            const double r = k - kBehind + peakOffset(std::abs(d[k - 1]), m, std::abs(d[k + 1]));
            edges.push_back(Edge{float(r), d[k]});
        }
        // Outlines are among the strongest steps of their direction on a ray: keep two of each.
        std::sort(edges.begin(), edges.end(),
                  [](const Edge& a, const Edge& b) { return std::abs(a.strength) > std::abs(b.strength); });
        size_t rising = 0, falling = 0;
        edges.erase(std::remove_if(edges.begin(), edges.end(),
                                   [&](const Edge& e) {
                                       return (e.strength > 0 ? ++rising : ++falling) > kEdgesPerDirection;
                                   }),
                    edges.end());
    }
    return rays;
}

int countSupport(const std::vector<RayEdges>& rays, const QPointF& origin, const Circle& circle, int sign,
                 std::vector<QPointF>* points, int stride) {
    const double ox = circle.centre.x() - origin.x(), oy = circle.centre.y() - origin.y();
    const double base = circle.radius * circle.radius - ox * ox - oy * oy;
    if (base <= 0)
        return 0;
    // Loose enough for a slightly oval outline, tight enough to keep unrelated edges out.
    const double tolerance = std::max(1.5, 0.045 * circle.radius);
    int count = 0;
    for (size_t i = 0; i < rays.size(); i += stride) {
        const RayEdges& ray = rays[i];
        const double b = ox * ray.cos + oy * ray.sin;
        const double t = b + std::sqrt(base + b * b); // where the ray leaves the circle
        if (t > ray.length + tolerance)
            continue;
        const Edge* match = nullptr;
        for (const Edge& e : ray.edges)
            if ((e.strength > 0) == (sign > 0) && std::abs(e.r - t) <= tolerance &&
                (!match || std::abs(e.r - t) < std::abs(match->r - t)))
                match = &e;
        if (match) {
            ++count;
            if (points)
                points->push_back(ray.pointAt(origin, match->r));
        }
    }
    return count;
}

bool isLateral(double angle) {
    double deg = std::remainder(angle * 180 / M_PI, 360.0); // -180..180
    if (std::abs(deg) > 90)
        deg = deg > 0 ? 180 - deg : -180 - deg; // the left side mirrored onto the right
    return deg >= -kLateralUp && deg <= kLateralDown;
}

std::vector<QPointF> edgesAcrossCircle(const PhotoGray& photo, const Circle& circle, int sign, int rayCount,
                                       double band, int smoothing, bool lateralOnly) {
    struct Found {
        QPointF point;
        float strength;
    };
    std::vector<Found> found;
    const double from = std::max(0.0, circle.radius - band) - smoothing;
    const int samples = int(std::ceil(2 * band)) + 2 * smoothing + 1;
    std::vector<float> profile(samples);
    for (int i = 0; i < rayCount; ++i) {
        const double a = 2 * M_PI * i / rayCount;
        if (lateralOnly && !isLateral(a))
            continue;
        const double c = std::cos(a), s = std::sin(a);
        bool inside = true;
        for (int k = 0; k < samples && inside; ++k) {
            const double r = from + k;
            // Three samples across the ray quiet the noise without blurring along it.
            float v0 = 0, v1 = 0, v2 = 0;
            const double x = circle.centre.x() + r * c, y = circle.centre.y() + r * s;
            inside =
                photo.sample(x, y, v0) && photo.sample(x - s, y + c, v1) && photo.sample(x + s, y - c, v2);
            profile[k] = (v0 + v1 + v2) / 3;
        }
        if (!inside)
            continue;
        const std::vector<float> d = derivative(profile, smoothing);
        int bestK = -1;
        for (int k = smoothing + 1; k + smoothing + 1 < samples; ++k)
            if (sign * d[k] > 0 && (bestK < 0 || sign * d[k] > sign * d[bestK]))
                bestK = k;
        if (bestK < 0)
            continue;
        const double r = from + bestK + peakOffset(sign * d[bestK - 1], sign * d[bestK], sign * d[bestK + 1]);
        found.push_back(Found{circle.centre + QPointF(r * c, r * s), sign * d[bestK]});
    }
    std::vector<float> strengths;
    for (const Found& f : found)
        strengths.push_back(f.strength);
    const double typical = medianOf(strengths);
    std::vector<QPointF> points;
    for (const Found& f : found)
        if (f.strength >= 0.25 * typical && f.strength >= 1.0f)
            points.push_back(f.point);
    return points;
}

double noiseStep(const std::vector<RayEdges>& rays) {
    return rays.empty() ? 2.0 : rays.front().noise;
}

Contrast circleContrast(const ReducedGray& image, const Circle& circle, int sign, double minStep) {
    constexpr int kDirections = 90;
    // Wide enough to catch the step of a slightly oval outline where the circle misses it a little.
    const double reach = std::max(2.0, 0.04 * circle.radius);
    std::vector<float> steps;
    for (int i = 0; i < kDirections; ++i) {
        const double a = 2 * M_PI * i / kDirections;
        const QPointF u(std::cos(a), std::sin(a));
        const QPointF in = circle.centre + u * (circle.radius - reach),
                      out = circle.centre + u * (circle.radius + reach);
        float vin = 0, vout = 0;
        if (image.sample(in.x(), in.y(), vin) && image.sample(out.x(), out.y(), vout))
            steps.push_back(float(sign * (vout - vin)));
        else
            steps.push_back(0.0f); // off the photo: no evidence either way
    }
    std::vector<float> sorted = steps;
    std::sort(sorted.begin(), sorted.end());
    const double typical = sorted[sorted.size() * 4 / 5];
    const double cut = std::max(minStep, 0.3 * typical);
    Contrast c;
    std::vector<float> standing;
    for (float s : steps)
        if (s >= cut)
            standing.push_back(s);
    c.coverage = double(standing.size()) / kDirections;
    c.step = medianOf(standing);
    return c;
}
