#include "rotation.h"

#include "iris_strip.h"
#include "limbus_auto.h"
#include "limbus_carry.h"
#include "strip_match.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kMinVisible = 0.25;   // share of the angles at which both strips see the eye
constexpr double kMinPeakScore = 0.12; // correlation of the whole rings at the coarse peak
constexpr double kMaxRunnerUp = 0.8;   // of the peak: another turn matching nearly as well
constexpr int kMinSectors = 3;
constexpr double kMaxSpread = 0.8;     // degrees, robust spread of the sectors about the fit
constexpr double kMinInliers = 0.6;    // share of the sectors on the fit
constexpr double kMeanRadius = 0.95;   // of the strip's radii, in limbus radii
constexpr double kMinConfidence = 0.3; // a peak this unsure or sectors this scattered are no answer
constexpr int kCentreRounds = 2;       // limbus centre corrections before the final fit

struct SectorFit {
    double turn = 0;     // degrees
    QPointF centreError; // of the current limbus centre, in its radii
    double rowShift = 0; // median radial shift of the sectors, in rows
    double spread = 0;   // degrees
    double inlierShare = 0;
    int inliers = 0;
};

// Solves the 3 x 3 system m x = v by elimination; m is symmetric positive definite here.
void solve3(double m[3][3], double v[3], double x[3]) {
    for (int c = 0; c < 3; ++c)
        for (int r = c + 1; r < 3; ++r) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < 3; ++k)
                m[r][k] -= f * m[c][k];
            v[r] -= f * v[c];
        }
    for (int r = 2; r >= 0; --r) {
        double s = v[r];
        for (int k = r + 1; k < 3; ++k)
            s -= m[r][k] * x[k];
        x[r] = s / m[r][r];
    }
}

// The sectors' shifts as turn + a cos b + b sin b about the current photo's angle b: a limbus centre
// off by e moves the angles there by (e_x sin b + e_y cos b) / radius. Reweighted with Tukey's
// biweight so that sectors matched wrongly (a lash, a vessel that moved) lose their pull.
SectorFit fitSectors(const std::vector<SectorShift>& shifts, double columnDegrees, double coarseTurn) {
    SectorFit fit;
    const size_t n = shifts.size();
    std::vector<double> w(n, 1.0), residual(n, 0.0);
    double x[3] = {coarseTurn, 0, 0};
    for (int round = 0; round < 8; ++round) {
        // A little ridge on the centre terms keeps them small when the sectors cover one side only.
        double m[3][3] = {{0, 0, 0}, {0, 0.5, 0}, {0, 0, 0.5}}, v[3] = {0, 0, 0};
        for (size_t k = 0; k < n; ++k) {
            const double b = (shifts[k].degrees + coarseTurn) * M_PI / 180;
            const double f[3] = {1, std::cos(b), std::sin(b)};
            const double y = shifts[k].columns * columnDegrees;
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c)
                    m[r][c] += w[k] * f[r] * f[c];
                v[r] += w[k] * f[r] * y;
            }
        }
        solve3(m, v, x);
        std::vector<double> sizes;
        for (size_t k = 0; k < n; ++k) {
            const double b = (shifts[k].degrees + coarseTurn) * M_PI / 180;
            residual[k] =
                shifts[k].columns * columnDegrees - (x[0] + x[1] * std::cos(b) + x[2] * std::sin(b));
            sizes.push_back(std::abs(residual[k]));
        }
        std::nth_element(sizes.begin(), sizes.begin() + n / 2, sizes.end());
        fit.spread = std::max(0.05, 1.4826 * sizes[n / 2]);
        const double cut = 4.685 * fit.spread;
        for (size_t k = 0; k < n; ++k) {
            const double u = residual[k] / cut;
            w[k] = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
        }
    }
    fit.turn = x[0];
    std::vector<double> rows;
    for (const SectorShift& s : shifts)
        rows.push_back(s.rows);
    std::nth_element(rows.begin(), rows.begin() + n / 2, rows.end());
    fit.rowShift = rows[n / 2];
    const double toRadii = kMeanRadius * M_PI / 180;
    fit.centreError = QPointF(x[2] * toRadii, x[1] * toRadii);
    fit.inliers = int(std::count_if(w.begin(), w.end(), [](double v) { return v > 0; }));
    fit.inlierShare = double(fit.inliers) / n;
    return fit;
}

RotationResult refused(RotationResult r, const char* reason, const char* check) {
    r.measured = false;
    r.refusal = reason;
    r.check = check;
    return r;
}

} // namespace

double wrapDegrees(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d > 180)
        d -= 360;
    else if (d <= -180)
        d += 360;
    return d;
}

double screenAngle(const QPointF& centre, const QPointF& point) {
    const double a = std::atan2(centre.y() - point.y(), point.x() - centre.x()) * 180 / M_PI;
    return a < 0 ? a + 360 : a;
}

RotationTrust rotationTrust(const RotationResult& result) {
    if (!result.measured)
        return RotationTrust::Refused;
    return result.confidence >= kReliableConfidence ? RotationTrust::Reliable : RotationTrust::Check;
}

RotationResult measureRotation(const QImage& reference, const QImage& current,
                               std::optional<Circle> referenceLimbus, std::optional<Circle> currentLimbus,
                               const std::atomic<bool>* cancel) {
    (void)cancel;
    RotationResult result;
    const auto found = [](const QImage& photo) -> std::optional<Circle> {
        if (const auto o = findLimbus(photo))
            return Circle{o->centre, o->radius};
        return std::nullopt;
    };
    // The limbus not given is carried across from the other photo, so that both rings lie alike on
    // the eye; it is looked for on its own only when the eye cannot be matched.
    result.referenceLimbus = referenceLimbus ? referenceLimbus : found(reference);
    result.currentLimbus = currentLimbus;
    if (!result.referenceLimbus) {
        if (!result.currentLimbus)
            result.currentLimbus = found(current);
        if (result.currentLimbus)
            result.referenceLimbus = carryLimbus(current, *result.currentLimbus, reference);
        if (!result.referenceLimbus)
            return refused(result, kNoReferenceLimbus, "reference limbus");
    } else if (!result.currentLimbus) {
        result.currentLimbus = carryLimbus(reference, *result.referenceLimbus, current);
        if (!result.currentLimbus)
            result.currentLimbus = found(current);
        if (!result.currentLimbus)
            return refused(result, kNoCurrentLimbus, "current limbus");
    }

    const IrisStrip ref = unrollIris(reference, *result.referenceLimbus);
    IrisStrip cur = unrollIris(current, *result.currentLimbus);
    if (ref.visibleShare() < kMinVisible || cur.visibleShare() < kMinVisible)
        return refused(result, kTooLittleIris, "visible share");
    const CircularPeak peak = circularPeak(ref, cur);
    if (peak.score < kMinPeakScore)
        return refused(result, kPhotosDoNotMatch, "peak score");
    if (peak.runnerUp > kMaxRunnerUp * peak.score)
        return refused(result, kPhotosDoNotMatch, "runner-up");

    const double columnDegrees = ref.columnDegrees();
    double turn = peak.columns * columnDegrees;
    Circle limbus = *result.currentLimbus;
    SectorFit fit;
    for (int round = 0; round <= kCentreRounds; ++round) {
        const int reach = round == 0 ? 12 : 5;
        const auto shifts = sectorShifts(ref, cur, turn / columnDegrees, reach);
        if (int(shifts.size()) < kMinSectors)
            return refused(result, round == 0 ? kTooLittleIris : kPhotosDoNotMatch, "sectors");
        fit = fitSectors(shifts, columnDegrees, turn);
        turn = fit.turn;
        const QPointF error = fit.centreError * limbus.radius;
        if (round == kCentreRounds || std::hypot(error.x(), error.y()) < 0.002 * limbus.radius)
            break;
        // The current centre is moved onto the point that corresponds to the reference centre, the
        // radius scaled to the reference's, and the strip read again.
        limbus.centre -= error;
        limbus.radius *= 1 + fit.rowShift * ref.rowRadii() / kMeanRadius;
        cur = unrollIris(current, limbus);
    }
    result.sectors = fit.inliers;
    if (!currentLimbus)
        result.currentLimbus = limbus;
    if (fit.inliers < kMinSectors || fit.inlierShare < kMinInliers)
        return refused(result, kPhotosDoNotMatch, "inliers");
    if (fit.spread > kMaxSpread)
        return refused(result, kPhotosDoNotMatch, "spread");
    result.measured = true;
    result.degrees = wrapDegrees(turn);
    const double margin = std::clamp((peak.score - std::max(0.0, peak.runnerUp)) / peak.score, 0.0, 1.0);
    result.confidence = std::clamp(margin * fit.inlierShare * (1 - fit.spread / (2 * kMaxSpread)), 0.0, 1.0);
    if (result.confidence < kMinConfidence)
        return refused(result, kPhotosDoNotMatch, "confidence");
    return result;
}
