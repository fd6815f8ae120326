#include "rotation.h"

#include "eye_rings.h"
#include "iris_strip.h"
#include "limbus_carry.h"
#include "strip_match.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <vector>

namespace {

constexpr double kMinVisible = 0.25;   // share of the angles at which both strips see the eye
constexpr double kMinPeakScore = 0.15; // correlation of the whole rings at the coarse peak
constexpr double kMaxRunnerUp = 0.8;   // of the peak: another turn matching nearly as well
constexpr int kMinSectors = 4;
constexpr int kFullSectors = 8;        // sectors on the fit (of 24) for full confidence: a third of the ring
constexpr double kMaxSpread = 0.8;     // degrees, robust spread of the sectors about the fit
constexpr double kMinInliers = 0.6;    // share of the sectors on the fit
constexpr double kMeanRadius = 0.85;   // of the strip's rows, in limbus radii, about where its texture lies
constexpr double kMinConfidence = 0.3; // a peak this unsure or sectors this scattered are no answer
constexpr int kCentreRounds = 4;       // limbus centre corrections before the final fit
constexpr double kCentreRidge = 0.5;   // pull of the centre terms towards 0, in sectors' worth
// Height of a strip row in limbus radii: the iris's rows span the pupil's edge to the limbus in 28
// rows, the sclera's a third of the radius in 12, both about a fortieth of the radius.
constexpr double kRowRadii = 0.025;
constexpr double kMinRowSpread = 0.03;  // rows: the rows' shifts are found to about this
constexpr double kRowWeightLeast = 0.1; // bounds on the rows' weight against the angles'
constexpr double kRowWeightMost = 4;

struct SectorFit {
    double turn = 0;      // degrees
    QPointF centreError;  // of the current limbus centre, in its radii
    double spread = 0;    // degrees
    double turnError = 0; // degrees, the turn's standard error
    double inlierShare = 0;
    int inliers = 0;
};

// Solves the n x n system m x = v by elimination; m is symmetric positive definite here.
template <int n> void solve(double m[n][n], double v[n], double x[n]) {
    for (int c = 0; c < n; ++c)
        for (int r = c + 1; r < n; ++r) {
            const double f = m[r][c] / m[c][c];
            for (int k = c; k < n; ++k)
                m[r][k] -= f * m[c][k];
            v[r] -= f * v[c];
        }
    for (int r = n - 1; r >= 0; --r) {
        double s = v[r];
        for (int k = r + 1; k < n; ++k)
            s -= m[r][k] * x[k];
        x[r] = s / m[r][r];
    }
}

// Robust spread of residuals (the median's scaled absolute size, at least floor) and Tukey's biweight
// for each residual at 4.685 spreads.
double biweights(const std::vector<double>& residual, double floor, std::vector<double>& w) {
    std::vector<double> sizes;
    for (double r : residual)
        sizes.push_back(std::abs(r));
    const size_t half = sizes.size() / 2;
    std::nth_element(sizes.begin(), sizes.begin() + half, sizes.end());
    const double spread = std::max(floor, 1.4826 * sizes[half]);
    for (size_t k = 0; k < residual.size(); ++k) {
        const double u = residual[k] / (4.685 * spread);
        w[k] = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
    }
    return spread;
}

// The sectors' shifts as turn + a cos b + b sin b about the current photo's angle b: a limbus centre
// off by e moves the angles there by (e_x sin b + e_y cos b) / radius. The same centre error moves
// the strip's rows there by -(e_x cos b - e_y sin b) / row height, on top of a shift common to all
// sectors (the two photos' radii found a little apart): on one side of the eye alone, a turn and a
// centre error up or down move the angles alike, and only the rows tell them apart. Reweighted with
// Tukey's biweight so that sectors matched wrongly (a lash, a vessel that moved) lose their pull.
SectorFit fitSectors(const std::vector<SectorShift>& shifts, double columnDegrees, double coarseTurn) {
    SectorFit fit;
    const size_t n = shifts.size();
    const double toRadii = kMeanRadius * M_PI / 180;
    const double rowScale = toRadii / kRowRadii; // rows per unit of the centre terms
    std::vector<double> w(n, 1.0), wr(n, 1.0), residual(n, 0.0), rowResidual(n, 0.0);
    double x[4] = {coarseTurn, 0, 0, 0}; // turn, cos and sin terms (degrees), common row shift
    double rowWeight = 1; // of a row's residual against a degree's: the two spreads' ratio, squared
    double m[4][4], v[4];
    // The weighted least-squares system; a little ridge on the centre terms keeps them small when the
    // sectors tell them apart poorly.
    const auto normalEquations = [&] {
        const double ridge[4] = {0, kCentreRidge, kCentreRidge, 1e-6};
        for (int r = 0; r < 4; ++r) {
            v[r] = 0;
            for (int c = 0; c < 4; ++c)
                m[r][c] = r == c ? ridge[r] : 0;
        }
        const auto add = [&](const double(&f)[4], double y, double weight) {
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c)
                    m[r][c] += weight * f[r] * f[c];
                v[r] += weight * f[r] * y;
            }
        };
        for (size_t k = 0; k < n; ++k) {
            const double b = (shifts[k].degrees + coarseTurn) * M_PI / 180;
            add({1, std::cos(b), std::sin(b), 0}, shifts[k].columns * columnDegrees, w[k]);
            add({0, rowScale * std::sin(b), -rowScale * std::cos(b), 1}, shifts[k].rows, rowWeight * wr[k]);
        }
    };
    for (int round = 0; round < 8; ++round) {
        normalEquations();
        solve<4>(m, v, x);
        for (size_t k = 0; k < n; ++k) {
            const double b = (shifts[k].degrees + coarseTurn) * M_PI / 180;
            residual[k] =
                shifts[k].columns * columnDegrees - (x[0] + x[1] * std::cos(b) + x[2] * std::sin(b));
            rowResidual[k] = shifts[k].rows - (x[3] + rowScale * (x[1] * std::sin(b) - x[2] * std::cos(b)));
        }
        fit.spread = biweights(residual, 0.05, w);
        const double rowSpread = biweights(rowResidual, kMinRowSpread, wr);
        rowWeight = std::clamp(std::pow(fit.spread / rowSpread, 2), kRowWeightLeast, kRowWeightMost);
    }
    // The turn's standard error: the spread through the first diagonal entry of the system's inverse,
    // large where few sectors, or sectors on one side with scattered rows, leave it poorly fixed.
    normalEquations();
    double unit[4] = {1, 0, 0, 0}, column[4];
    solve<4>(m, unit, column);
    fit.turnError = fit.spread * std::sqrt(std::max(0.0, column[0]));
    fit.turn = x[0];
    fit.centreError = QPointF(x[2] * toRadii, x[1] * toRadii);
    fit.inliers = int(std::count_if(w.begin(), w.end(), [](double v) { return v > 0; }));
    fit.inlierShare = double(fit.inliers) / n;
    return fit;
}

RotationResult refused(RotationResult r, const char* reason, const char* check) {
    r.degrees = 0;
    r.confidence = 0;
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

namespace {

// A photo's limbus and pupil, and whether the limbus was carried across from the other photo.
struct Rings {
    std::optional<Circle> limbus, pupil;
    bool carried = false;
};

bool stopped(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

// The limbus given is kept as the user placed it; otherwise both rings are found in the photo alone.
Rings ringsOf(const QImage& photo, const std::optional<Circle>& given) {
    if (given)
        return {given, pupilInside(photo, *given)};
    if (const auto eye = findEyeRings(photo))
        return {eye->limbus, eye->pupil};
    return {};
}

// The rotation between two photos whose rings are known: the strips about them matched round the
// whole circle, then sector by sector, the current centre corrected from the sectors' pattern.
RotationResult matchRings(const QImage& reference, const QImage& current, const Rings& ref, Rings cur,
                          const std::atomic<bool>* cancel) {
    RotationResult result;
    result.referenceLimbus = ref.limbus;
    result.currentLimbus = cur.limbus;
    // The iris is stretched between the pupil and the limbus only when both pupils are known, so that
    // both strips are read alike.
    const bool pupils = ref.pupil && cur.pupil;
    auto refUnrolled = std::async(std::launch::async, [&] {
        return unrollIris(reference, *ref.limbus, pupils ? ref.pupil : std::nullopt);
    });
    // The current photo is reduced once; the strip is read from it again as its centre is corrected.
    const IrisPlane curPlane = irisPlaneAbout(current, *cur.limbus);
    IrisStrip curStrip = unrollIris(curPlane, *cur.limbus, pupils ? cur.pupil : std::nullopt);
    const IrisStrip refStrip = refUnrolled.get();
    if (refStrip.visibleShare() < kMinVisible || curStrip.visibleShare() < kMinVisible)
        return refused(result, kTooLittleIris, "visible share");
    if (stopped(cancel))
        return refused(result, kPhotosDoNotMatch, "cancelled");
    const CircularPeak peak = circularPeak(refStrip, curStrip);
    result.peakScore = peak.score;
    result.runnerUp = peak.runnerUp;
    if (peak.score < kMinPeakScore)
        return refused(result, kPhotosDoNotMatch, "peak score");
    if (peak.runnerUp > kMaxRunnerUp * peak.score)
        return refused(result, kPhotosDoNotMatch, "runner-up");

    const double columnDegrees = refStrip.columnDegrees();
    double turn = peak.columns * columnDegrees;
    SectorFit fit;
    for (int round = 0; round <= kCentreRounds; ++round) {
        if (stopped(cancel))
            return refused(result, kPhotosDoNotMatch, "cancelled");
        const int reach = round == 0 ? 12 : 5;
        const auto shifts = sectorShifts(refStrip, curStrip, turn / columnDegrees, reach);
        if (int(shifts.size()) < kMinSectors)
            return refused(result, round == 0 ? kTooLittleIris : kPhotosDoNotMatch, "sectors");
        fit = fitSectors(shifts, columnDegrees, turn);
        turn = fit.turn;
        const QPointF error = fit.centreError * cur.limbus->radius;
        if (round == kCentreRounds || std::hypot(error.x(), error.y()) < 0.002 * cur.limbus->radius)
            break;
        // The current rings are moved onto the points that correspond to the reference centre and the
        // strip read again.
        cur.limbus->centre -= error;
        if (cur.pupil)
            cur.pupil->centre -= error;
        curStrip = unrollIris(curPlane, *cur.limbus, pupils ? cur.pupil : std::nullopt);
    }
    result.sectors = fit.inliers;
    result.spread = fit.spread;
    result.turnError = fit.turnError;
    // A carried limbus is shown where the fit put it; one found in the photo stays as found.
    if (cur.carried)
        result.currentLimbus = cur.limbus;
    if (fit.inliers < kMinSectors || fit.inlierShare < kMinInliers)
        return refused(result, kPhotosDoNotMatch, "inliers");
    if (fit.spread > kMaxSpread)
        return refused(result, kPhotosDoNotMatch, "spread");
    result.measured = true;
    result.degrees = wrapDegrees(turn);
    const double margin = std::clamp((peak.score - std::max(0.0, peak.runnerUp)) / peak.score, 0.0, 1.0);
    // Few sectors on the fit leave the turn and the centre's correction hard to tell apart.
    const double coverage = std::min(1.0, double(fit.inliers) / kFullSectors);
    result.confidence =
        std::clamp(margin * fit.inlierShare * (1 - fit.spread / (2 * kMaxSpread)) * coverage, 0.0, 1.0);
    if (result.confidence < kMinConfidence)
        return refused(result, kPhotosDoNotMatch, "confidence");
    return result;
}

} // namespace

RotationResult measureRotation(const QImage& reference, const QImage& current,
                               std::optional<Circle> referenceLimbus, std::optional<Circle> currentLimbus,
                               const std::atomic<bool>* cancel) {
    // The two photos' rings are found at once, one on a thread of its own.
    auto referenceRings = std::async(std::launch::async, [&] { return ringsOf(reference, referenceLimbus); });
    const Rings cur = ringsOf(current, currentLimbus);
    const Rings ref = referenceRings.get();
    if (stopped(cancel))
        return refused({}, kPhotosDoNotMatch, "cancelled");
    RotationResult first;
    first.referenceLimbus = ref.limbus;
    first.currentLimbus = cur.limbus;
    if (ref.limbus && cur.limbus) {
        first = matchRings(reference, current, ref, cur, cancel);
        if (first.measured || stopped(cancel))
            return first;
    }
    // Failing that, a limbus not given is carried across from the other photo: the eye about the
    // other photo's ring matched over this photo, which places both rings alike on the eye.
    if (!currentLimbus && ref.limbus) {
        if (const auto carried = carryLimbus(reference, *ref.limbus, current)) {
            const RotationResult r =
                matchRings(reference, current, ref, Rings{carried, std::nullopt, true}, cancel);
            if (r.measured || !first.check)
                return r;
        }
    }
    if (!referenceLimbus && cur.limbus && !stopped(cancel)) {
        if (const auto carried = carryLimbus(current, *cur.limbus, reference)) {
            const RotationResult r =
                matchRings(reference, current, Rings{carried, std::nullopt, true}, cur, cancel);
            if (r.measured || !first.check)
                return r;
        }
    }
    if (!first.check) {
        if (!first.referenceLimbus)
            return refused(first, kNoReferenceLimbus, "reference limbus");
        return refused(first, kNoCurrentLimbus, "current limbus");
    }
    return first;
}
