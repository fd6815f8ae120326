#include "rotation.h"

#include "eye_rings.h"
#include "iris_strip.h"
#include "limbus_carry.h"
#include "numerics.h"
#include "strip_match.h"
#include "tuning.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <vector>

namespace {

struct SectorFit {
    double turn = 0;      // degrees
    QPointF centreError;  // of the current limbus centre, in its radii
    double spread = 0;    // degrees
    double turnError = 0; // degrees, the turn's standard error
    double inlierShare = 0;
    int inliers = 0;
    double lopsidedness = 0; // the length of the inliers' mean direction, 0..1
};

// Robust spread of residuals (the median's scaled absolute size, at least floor) and Tukey's biweight
// for each residual.
double biweights(const std::vector<double>& residual, double floor, std::vector<double>& w) {
    std::vector<double> sizes;
    for (double r : residual)
        sizes.push_back(std::abs(r));
    const double spread = std::max(floor, kMadToSigma * medianOf(sizes));
    for (size_t k = 0; k < residual.size(); ++k) {
        const double u = residual[k] / (kBiweightCut * spread);
        w[k] = std::abs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0;
    }
    return spread;
}

// The sectors' shifts to fit, with their current weights: w for the angles, wr for the rows, and
// the rows' weight against a degree's (the two spreads' ratio, squared).
struct SectorData {
    const std::vector<SectorShift>& shifts;
    double columnDegrees, coarseTurn;
    double rowScale; // rows per unit of the centre terms
    std::vector<double> w, wr;
    double rowWeight = 1;

    double angle(size_t k) const { return (shifts[k].degrees + coarseTurn) * M_PI / 180; }
};

// The weighted least-squares system of the fit; a little ridge on the centre terms keeps them small
// when the sectors tell them apart poorly.
void normalEquations(const SectorData& d, double m[4][4], double v[4]) {
    const RotationTuning& t = tuning().rotation;
    const double ridge[4] = {0, t.centreRidge, t.centreRidge, t.rowRidge};
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
    for (size_t k = 0; k < d.shifts.size(); ++k) {
        const double b = d.angle(k);
        add({1, std::cos(b), std::sin(b), 0}, d.shifts[k].columns * d.columnDegrees, d.w[k]);
        add({0, d.rowScale * std::sin(b), -d.rowScale * std::cos(b), 1}, d.shifts[k].rows,
            d.rowWeight * d.wr[k]);
    }
}

// One reweighting: the residuals about the solution x reweight the sectors. Returns the angles'
// spread.
double reweigh(SectorData& d, const double x[4]) {
    const RotationTuning& t = tuning().rotation;
    const size_t n = d.shifts.size();
    std::vector<double> residual(n, 0.0), rowResidual(n, 0.0);
    for (size_t k = 0; k < n; ++k) {
        const double b = d.angle(k);
        residual[k] =
            d.shifts[k].columns * d.columnDegrees - (x[0] + x[1] * std::cos(b) + x[2] * std::sin(b));
        rowResidual[k] = d.shifts[k].rows - (x[3] + d.rowScale * (x[1] * std::sin(b) - x[2] * std::cos(b)));
    }
    const double spread = biweights(residual, t.minSpread, d.w);
    const double rowSpread = biweights(rowResidual, t.minRowSpread, d.wr);
    // Bounds set the wrong way round give the upper one, not undefined behaviour.
    d.rowWeight = std::min(std::max(std::pow(spread / rowSpread, 2), t.rowWeightLeast), t.rowWeightMost);
    return spread;
}

// The length of the mean direction of the sectors on the fit: near 0 when they lie on both sides of
// the eye, near 1 when on one side only, where a turn and a centre found off up or down look alike.
double lopsidedness(const SectorData& d) {
    double x = 0, y = 0;
    int n = 0;
    for (size_t k = 0; k < d.shifts.size(); ++k)
        if (d.w[k] > 0)
            x += std::cos(d.angle(k)), y += std::sin(d.angle(k)), ++n;
    return n ? std::hypot(x, y) / n : 0;
}

// The sectors' shifts as turn + a cos b + b sin b about the current photo's angle b: a limbus centre
// off by e moves the angles there by (e_x sin b + e_y cos b) / radius. The same centre error moves
// the strip's rows there by -(e_x cos b - e_y sin b) / row height, on top of a shift common to all
// sectors (the two photos' radii found a little apart): on one side of the eye alone, a turn and a
// centre error up or down move the angles alike, and only the rows tell them apart. Reweighted with
// Tukey's biweight so that sectors matched wrongly (a lash, a vessel that moved) lose their pull.
SectorFit fitSectors(const std::vector<SectorShift>& shifts, double columnDegrees, double coarseTurn) {
    const RotationTuning& t = tuning().rotation;
    const size_t n = shifts.size();
    const double toRadii = t.meanRadius * M_PI / 180;
    SectorData d{shifts,
                 columnDegrees,
                 coarseTurn,
                 toRadii / t.rowRadii,
                 std::vector<double>(n, 1.0),
                 std::vector<double>(n, 1.0)};
    SectorFit fit;
    double x[4] = {coarseTurn, 0, 0, 0}; // turn, cos and sin terms (degrees), common row shift
    double m[4][4], v[4];
    for (int round = 0; round < t.fitRounds; ++round) {
        normalEquations(d, m, v);
        solveLinear<4>(m, v, x);
        fit.spread = reweigh(d, x);
    }
    // The turn's standard error: the spread through the first diagonal entry of the system's inverse,
    // large where few sectors, or sectors on one side with scattered rows, leave it poorly fixed.
    normalEquations(d, m, v);
    double unit[4] = {1, 0, 0, 0}, column[4];
    solveLinear<4>(m, unit, column);
    fit.turnError = fit.spread * std::sqrt(std::max(0.0, column[0]));
    fit.turn = x[0];
    fit.centreError = QPointF(x[2] * toRadii, x[1] * toRadii);
    fit.inliers = int(std::count_if(d.w.begin(), d.w.end(), [](double v) { return v > 0; }));
    fit.lopsidedness = lopsidedness(d);
    fit.inlierShare = double(fit.inliers) / n;
    return fit;
}

RotationResult refused(RotationResult r, RotationRefusal reason, RotationCheck check, double value = NAN,
                       double limit = NAN) {
    r.checkValue = value;
    r.checkLimit = limit;
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

const char* checkName(RotationCheck check) {
    switch (check) {
    case RotationCheck::None:
        return "?";
    case RotationCheck::ReferenceLimbus:
        return "reference limbus";
    case RotationCheck::CurrentLimbus:
        return "current limbus";
    case RotationCheck::VisibleShare:
        return "visible share";
    case RotationCheck::PeakScore:
        return "peak score";
    case RotationCheck::RunnerUp:
        return "runner-up";
    case RotationCheck::Sectors:
        return "sectors";
    case RotationCheck::Inliers:
        return "inliers";
    case RotationCheck::Spread:
        return "spread";
    case RotationCheck::Confidence:
        return "confidence";
    case RotationCheck::BothWays:
        return "both ways";
    case RotationCheck::Cancelled:
        return "cancelled";
    }
    return "?";
}

RotationTrust rotationTrust(const RotationResult& result) {
    if (!result.measured)
        return RotationTrust::Refused;
    return result.confidence >= tuning().rotation.reliableConfidence ? RotationTrust::Reliable
                                                                     : RotationTrust::Check;
}

namespace {

// A photo's limbus and pupil, and whether the limbus was carried across from the other photo.
struct Rings {
    std::optional<Circle> limbus, pupil;
    bool carried = false;
};

// The two photos measured, and the flag that cancels the measure.
struct PhotoPair {
    const QImage& reference;
    const QImage& current;
    const std::atomic<bool>* cancel;

    bool stopped() const { return cancel && cancel->load(); }
};

// The limbus given is kept as the user placed it; otherwise both rings are found in the photo alone.
Rings ringsOf(const QImage& photo, const std::optional<Circle>& given) {
    if (given)
        return {given, pupilInside(photo, *given)};
    if (const auto eye = findEyeRings(photo))
        return {eye->limbus, eye->pupil};
    return {};
}

// Both photos' rings, found at once, the reference's on a thread of its own.
std::pair<Rings, Rings> ringsOfBoth(const PhotoPair& photos, const std::optional<Circle>& referenceLimbus,
                                    const std::optional<Circle>& currentLimbus) {
    auto referenceRings =
        std::async(std::launch::async, [&] { return ringsOf(photos.reference, referenceLimbus); });
    const Rings cur = ringsOf(photos.current, currentLimbus);
    const Rings ref = referenceRings.get();
    return {ref, cur};
}

// Both photos' strips. The current photo is reduced once, so that its strip can be read again as its
// centre is corrected. The iris is stretched between the pupil and the limbus only when both pupils
// are known, so that both strips are read alike.
struct Strips {
    IrisStrip reference, current;
    IrisPlane referencePlane, currentPlane;
    bool pupils = false;

    // The same strips with the photos' roles swapped, for the measure the other way round.
    Strips swapped() const { return {current, reference, currentPlane, referencePlane, pupils}; }
};

Strips unrollBoth(const PhotoPair& photos, const Rings& ref, const Rings& cur) {
    Strips s;
    s.pupils = ref.pupil && cur.pupil;
    auto refUnrolled = std::async(std::launch::async, [&] {
        s.referencePlane = irisPlaneAbout(photos.reference, *ref.limbus);
        s.reference = unrollIris(s.referencePlane, *ref.limbus, s.pupils ? ref.pupil : std::nullopt);
    });
    s.currentPlane = irisPlaneAbout(photos.current, *cur.limbus);
    s.current = unrollIris(s.currentPlane, *cur.limbus, s.pupils ? cur.pupil : std::nullopt);
    refUnrolled.get();
    return s;
}

// The sectors' fit, or the check that refused it with the sectors it found.
struct FitOutcome {
    SectorFit fit;
    RotationRefusal refusal = RotationRefusal::None;
    RotationCheck check = RotationCheck::None;
    int sectorsFound = 0;
};

// The sectors matched about the coarse turn and fitted; while the fit finds the current centre off,
// the current rings are moved onto the points that correspond to the reference centre and the strip
// read again.
FitOutcome fitSectorsCentred(const PhotoPair& photos, Strips& strips, Rings& cur, double coarseTurn) {
    const RotationTuning& t = tuning().rotation;
    const double columnDegrees = strips.reference.columnDegrees();
    double turn = coarseTurn;
    FitOutcome out;
    for (int round = 0; round <= t.centreRounds; ++round) {
        if (photos.stopped())
            return {out.fit, RotationRefusal::Cancelled, RotationCheck::Cancelled, 0};
        const int reach = round == 0 ? t.firstReach : t.laterReach;
        const auto shifts = sectorShifts(strips.reference, strips.current, turn / columnDegrees, reach);
        if (int(shifts.size()) < t.minSectors)
            return {out.fit, round == 0 ? RotationRefusal::TooLittleIris : RotationRefusal::PhotosDoNotMatch,
                    RotationCheck::Sectors, int(shifts.size())};
        out.fit = fitSectors(shifts, columnDegrees, turn);
        turn = out.fit.turn;
        const QPointF error = out.fit.centreError * cur.limbus->radius;
        if (round == t.centreRounds ||
            std::hypot(error.x(), error.y()) < t.centreSettled * cur.limbus->radius)
            break;
        cur.limbus->centre -= error;
        if (cur.pupil)
            cur.pupil->centre -= error;
        strips.current =
            unrollIris(strips.currentPlane, *cur.limbus, strips.pupils ? cur.pupil : std::nullopt);
    }
    return out;
}

// The answer judged from the coarse peak's margin and the sectors' fit: enough sectors on the fit,
// close enough to it, and a confidence made of the margin, the inliers' share, the spread and the
// ring's coverage.
RotationResult judged(RotationResult result, const CircularPeak& peak, const SectorFit& fit) {
    const RotationTuning& t = tuning().rotation;
    result.sectors = fit.inliers;
    result.spread = fit.spread;
    result.turnError = fit.turnError;
    result.lopsidedness = fit.lopsidedness;
    if (fit.inliers < t.minSectors)
        return refused(result, RotationRefusal::PhotosDoNotMatch, RotationCheck::Inliers, fit.inliers,
                       t.minSectors);
    if (fit.inlierShare < t.minInliers)
        return refused(result, RotationRefusal::PhotosDoNotMatch, RotationCheck::Inliers, fit.inlierShare,
                       t.minInliers);
    if (fit.spread > t.maxSpread)
        return refused(result, RotationRefusal::PhotosDoNotMatch, RotationCheck::Spread, fit.spread,
                       t.maxSpread);
    result.measured = true;
    result.degrees = wrapDegrees(fit.turn);
    const double margin = std::clamp((peak.score - std::max(0.0, peak.runnerUp)) / peak.score, 0.0, 1.0);
    // Few sectors on the fit leave the turn and the centre's correction hard to tell apart.
    const double coverage = std::min(1.0, double(fit.inliers) / t.fullSectors);
    result.confidence =
        std::clamp(margin * fit.inlierShare * (1 - fit.spread / (2 * t.maxSpread)) * coverage, 0.0, 1.0);
    if (result.confidence < t.minConfidence)
        return refused(result, RotationRefusal::PhotosDoNotMatch, RotationCheck::Confidence,
                       result.confidence, t.minConfidence);
    return result;
}

// The rotation between two photos whose rings are known and unrolled: matched whole, fitted sector
// by sector, judged.
RotationResult matchStrips(const PhotoPair& photos, const Rings& ref, Rings cur, Strips strips) {
    const RotationTuning& t = tuning().rotation;
    RotationResult result;
    result.referenceLimbus = ref.limbus;
    result.currentLimbus = cur.limbus;
    const double visible = std::min(strips.reference.visibleShare(), strips.current.visibleShare());
    if (visible < t.minVisible)
        return refused(result, RotationRefusal::TooLittleIris, RotationCheck::VisibleShare, visible,
                       t.minVisible);
    if (photos.stopped())
        return refused(result, RotationRefusal::Cancelled, RotationCheck::Cancelled);
    // The whole rings matched round the circle: the coarse turn, refused when the peak is weak or
    // another turn matches nearly as well.
    const CircularPeak peak = circularPeak(strips.reference, strips.current);
    result.peakScore = peak.score;
    result.runnerUp = peak.runnerUp;
    if (peak.score < t.minPeakScore)
        return refused(result, RotationRefusal::PhotosDoNotMatch, RotationCheck::PeakScore, peak.score,
                       t.minPeakScore);
    if (peak.runnerUp > t.maxRunnerUp * peak.score)
        return refused(result, RotationRefusal::PhotosDoNotMatch, RotationCheck::RunnerUp,
                       peak.runnerUp / peak.score, t.maxRunnerUp);
    const FitOutcome outcome =
        fitSectorsCentred(photos, strips, cur, peak.columns * strips.reference.columnDegrees());
    if (outcome.check == RotationCheck::Sectors)
        return refused(result, outcome.refusal, outcome.check, outcome.sectorsFound, t.minSectors);
    if (outcome.check != RotationCheck::None)
        return refused(result, outcome.refusal, outcome.check);
    // A carried limbus is shown where the fit put it; one found in the photo stays as found.
    if (cur.carried)
        result.currentLimbus = cur.limbus;
    return judged(result, peak, outcome.fit);
}

// The rotation between two photos whose rings are known, measured again the other way round, the
// photos swapped and each keeping its rings and strip: the turn must come back the other way. An
// answer the other way refuses to give says nothing against it.
RotationResult matchRings(const PhotoPair& photos, const Rings& ref, const Rings& cur) {
    const Strips strips = unrollBoth(photos, ref, cur);
    RotationResult forward = matchStrips(photos, ref, cur, strips);
    if (!forward.measured || photos.stopped())
        return forward;
    const RotationResult back =
        matchStrips({photos.current, photos.reference, photos.cancel}, cur, ref, strips.swapped());
    if (photos.stopped())
        return refused(forward, RotationRefusal::Cancelled, RotationCheck::Cancelled);
    if (!back.measured)
        return forward;
    forward.bothWays = std::abs(wrapDegrees(forward.degrees + back.degrees));
    if (forward.bothWays > tuning().rotation.maxBothWays)
        return refused(forward, RotationRefusal::PhotosDoNotMatch, RotationCheck::BothWays, forward.bothWays,
                       tuning().rotation.maxBothWays);
    return forward;
}

// The rotation with the limbus of one photo carried across from the other: the eye about the other
// photo's ring matched over this photo, which places both rings alike on the eye. None when it
// cannot be carried.
std::optional<RotationResult> matchCarried(const PhotoPair& photos, const Rings& ref, const Rings& cur,
                                           bool toCurrent) {
    if (toCurrent) {
        const auto carried = carryLimbus(photos.reference, *ref.limbus, photos.current);
        if (!carried)
            return std::nullopt;
        const Rings onCurrent{carried, std::nullopt, true};
        return matchRings(photos, ref, onCurrent);
    }
    const auto carried = carryLimbus(photos.current, *cur.limbus, photos.reference);
    if (!carried)
        return std::nullopt;
    const Rings onReference{carried, std::nullopt, true};
    return matchRings(photos, onReference, cur);
}

} // namespace

RotationResult measureRotation(const QImage& reference, const QImage& current,
                               std::optional<Circle> referenceLimbus, std::optional<Circle> currentLimbus,
                               const std::atomic<bool>* cancel) {
    const PhotoPair photos{reference, current, cancel};
    const auto [ref, cur] = ringsOfBoth(photos, referenceLimbus, currentLimbus);
    if (photos.stopped())
        return refused({}, RotationRefusal::Cancelled, RotationCheck::Cancelled);
    RotationResult first;
    first.referenceLimbus = ref.limbus;
    first.currentLimbus = cur.limbus;
    if (ref.limbus && cur.limbus) {
        first = matchRings(photos, ref, cur);
        if (first.measured || photos.stopped())
            return first;
    }
    // Failing that, a limbus not given is carried across from the other photo. Its answer stands when
    // it measured, or when the photos' own rings gave no answer to prefer (a limbus was not found).
    const bool tried = first.check != RotationCheck::None;
    if (!currentLimbus && ref.limbus)
        if (const auto r = matchCarried(photos, ref, cur, true); r && (r->measured || !tried))
            return *r;
    if (!referenceLimbus && cur.limbus && !photos.stopped())
        if (const auto r = matchCarried(photos, ref, cur, false); r && (r->measured || !tried))
            return *r;
    if (!tried)
        return refused(first,
                       first.referenceLimbus ? RotationRefusal::NoCurrentLimbus
                                             : RotationRefusal::NoReferenceLimbus,
                       first.referenceLimbus ? RotationCheck::CurrentLimbus : RotationCheck::ReferenceLimbus);
    return first;
}
