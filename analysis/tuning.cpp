#include "tuning.h"

#include <cmath>
#include <cstdio>
#include <variant>

namespace {

// Constant-initialised: the defaults hold before any static constructor runs.
Tuning current;

using FieldRef = std::variant<double*, float*, int*>;

struct Field {
    const char* name;
    FieldRef (*of)(Tuning&);
    double least, most; // the values the analysis can take without breaking, both included
};

// clang-format off
#define PELVANOR_FIELD(group, field, least, most) \
    Field{#group "." #field, [](Tuning& t) -> FieldRef { return &t.group.field; }, least, most}
#define PELVANOR_ELEMENT(group, field, i, least, most) \
    Field{#group "." #field "." #i, [](Tuning& t) -> FieldRef { return &t.group.field[i]; }, least, most}
// clang-format on

// One line a field: its name and the least and most values it takes. The range is what the code
// reading the field survives (no division by zero, no empty kernel or loop step, no size below one),
// kept wide elsewhere so that a threshold can be set to refuse everything. A field missing here
// cannot be set from the command line, and the tuning test fails.
const Field kFields[] = {
    // Outline fields.
    PELVANOR_FIELD(outline, stableLevels, 0, 255),
    PELVANOR_FIELD(outline, maxGrowth, 0, 100),
    PELVANOR_FIELD(outline, jumpGrowth, 0, 100),
    PELVANOR_FIELD(outline, distinctArea, 0, 100),
    PELVANOR_FIELD(outline, minRegionOverlap, 0, 10),
    PELVANOR_FIELD(outline, minRegionRoundness, 0, 10),
    PELVANOR_FIELD(outline, minRadiusShare, 0, 0.5),
    PELVANOR_FIELD(outline, minRegionPixels, 0, 1e6),
    PELVANOR_FIELD(outline, maxDarkAreaShare, 0, 1),
    PELVANOR_FIELD(outline, maxFieldAreaShare, 0, 1),
    PELVANOR_FIELD(outline, minFitSpread, 0.001, 100),
    PELVANOR_FIELD(outline, inlierSpreads, 0, 100),
    PELVANOR_FIELD(outline, fitSettledPixels, 0, 100),
    PELVANOR_FIELD(outline, fineRays, 1, 3600),
    PELVANOR_FIELD(outline, finePasses, 1, 20),
    PELVANOR_FIELD(outline, minSmoothing, 1, 100),
    PELVANOR_FIELD(outline, limbusSoftEdge, 1, 1000),
    PELVANOR_FIELD(outline, firstBandReduced, 0, 1000),
    PELVANOR_FIELD(outline, firstBandShare, 0, 10),
    PELVANOR_FIELD(outline, bandPixels, 0, 1000),
    PELVANOR_FIELD(outline, bandShare, 0, 10),
    PELVANOR_FIELD(outline, ellipseRounds, 1, 100),
    PELVANOR_FIELD(outline, ellipseCutSpreads, 0, 100),
    PELVANOR_FIELD(outline, ellipseCutPixels, 0, 1000),
    PELVANOR_FIELD(outline, leastScatterPixels, 0, 1000),
    PELVANOR_FIELD(outline, minAgreement, 0, 10),
    PELVANOR_FIELD(outline, maxGapDegrees, 0, 360),
    PELVANOR_FIELD(outline, leastRadiusPixels, 0, 1e5),
    PELVANOR_FIELD(outline, minRadiusChange, 0, 100),
    PELVANOR_FIELD(outline, maxRadiusChange, 0, 100),
    PELVANOR_FIELD(outline, maxCentreMove, 0, 100),
    PELVANOR_FIELD(outline, maxScatter, 0, 100),
    PELVANOR_FIELD(outline, minRoundOutline, 0, 10),
    PELVANOR_FIELD(outline, maxEllipseShift, 0, 100),
    PELVANOR_FIELD(outline, steppingDirections, 1, 3600),
    PELVANOR_FIELD(outline, stepInside, 0, 10),
    PELVANOR_FIELD(outline, stepOutside, 0, 10),
    PELVANOR_FIELD(outline, darkShownDivisor, 1, 72),
    PELVANOR_FIELD(outline, brightShownDivisor, 1, 72),
    PELVANOR_FIELD(outline, typicalStepShare, 0, 10),
    PELVANOR_FIELD(outline, minGreyStep, 0, 255),
    PELVANOR_FIELD(outline, minStepping, 0, 10),
    PELVANOR_FIELD(outline, minSideShare, 0, 10),
    PELVANOR_FIELD(outline, limbusMinRadiusChange, 0, 100),
    PELVANOR_FIELD(outline, limbusMaxRadiusChange, 0, 100),
    PELVANOR_FIELD(outline, limbusMaxCentreMove, 0, 100),
    PELVANOR_FIELD(outline, limbusHoldsPoint, 0, 100),
    PELVANOR_FIELD(outline, scleraShare, 0, 100),
    PELVANOR_FIELD(outline, coreReachShare, 0, 1),
    PELVANOR_FIELD(outline, leastReachPixels, 0, 100),
    PELVANOR_FIELD(outline, coreDirections, 1, 3600),
    PELVANOR_FIELD(outline, coreRingFrom, 0, 10),
    PELVANOR_FIELD(outline, coreRingTo, 0, 10),
    PELVANOR_FIELD(outline, coreRingStep, 0.001, 10),
    PELVANOR_FIELD(outline, coreShare, 0, 10),
    PELVANOR_FIELD(outline, darkCore, 0, 10),
    PELVANOR_FIELD(outline, darkCoreStep, 0, 255),
    PELVANOR_FIELD(outline, minFieldShare, 0, 10),
    PELVANOR_FIELD(outline, fieldFrame, 0, 10),
    PELVANOR_FIELD(outline, frameDirections, 1, 3600),
    PELVANOR_ELEMENT(outline, frameShares, 0, 0, 10),
    PELVANOR_ELEMENT(outline, frameShares, 1, 0, 10),
    PELVANOR_ELEMENT(outline, frameShares, 2, 0, 10),
    PELVANOR_ELEMENT(outline, frameShares, 3, 0, 10),
    PELVANOR_ELEMENT(outline, frameShares, 4, 0, 10),
    PELVANOR_ELEMENT(outline, frameShares, 5, 0, 10),
    PELVANOR_FIELD(outline, leastFrameSamples, 0, 1e6),
    PELVANOR_FIELD(outline, rimRays, 1, 3600),
    PELVANOR_FIELD(outline, rimFrom, 0, 10),
    PELVANOR_FIELD(outline, rimReach, 0, 10),
    PELVANOR_FIELD(outline, leastRimDivisor, 1, 3600),
    PELVANOR_FIELD(outline, spotReachShare, 0, 1),
    PELVANOR_ELEMENT(outline, fieldInsideShares, 0, 0, 10),
    PELVANOR_ELEMENT(outline, fieldInsideShares, 1, 0, 10),
    PELVANOR_ELEMENT(outline, fieldInsideShares, 2, 0, 10),
    PELVANOR_FIELD(outline, sameOutlineShare, 0, 10),
    PELVANOR_FIELD(outline, sameRegionShare, 0, 10),
    PELVANOR_FIELD(outline, innerRays, 1, 3600),
    PELVANOR_FIELD(outline, innerRingsPerRadius, 1, 1000),
    PELVANOR_FIELD(outline, leastRingStep, 0.1, 1000),
    PELVANOR_FIELD(outline, innerFrom, 0, 10),
    PELVANOR_FIELD(outline, innerTo, 0, 10),
    PELVANOR_FIELD(outline, outerEdgeFrom, 0, 10),
    PELVANOR_FIELD(outline, innerLeast, 0, 10),
    PELVANOR_FIELD(outline, innerStepShare, 0, 100),
    PELVANOR_FIELD(outline, discFrom, 0, 10),
    PELVANOR_FIELD(outline, discTo, 0, 10),
    PELVANOR_FIELD(outline, ringFrom, 0, 10),
    PELVANOR_FIELD(outline, discEvenness, 0, 100),
    PELVANOR_FIELD(outline, veilDirections, 1, 3600),
    PELVANOR_FIELD(outline, veilStep, 0.001, 10),
    PELVANOR_FIELD(outline, veilPupilFrom, 0, 10),
    PELVANOR_FIELD(outline, veilPupilTo, 0, 10),
    PELVANOR_FIELD(outline, veilIrisFrom, 0, 10),
    PELVANOR_FIELD(outline, veilIrisTo, 0, 10),
    PELVANOR_FIELD(outline, veilLevel, 0, 10),
    PELVANOR_FIELD(outline, veilWindow, 0, 100),
    PELVANOR_FIELD(outline, lashOpenPixels, 1, 1000),
    PELVANOR_FIELD(outline, lashOpenDivisor, 1, 1000),
    PELVANOR_FIELD(outline, leastDiscPixels, 0, 1e7),
    PELVANOR_FIELD(outline, wholerDisc, 0, 100),
    PELVANOR_FIELD(outline, wholeDiscRounds, 0, 100),
    PELVANOR_FIELD(outline, pupilSearchShare, 0, 10),
    PELVANOR_FIELD(outline, seedBlurDivisor, 1, 1e5),
    PELVANOR_FIELD(outline, leastSeedBlur, 0, 1000),
    PELVANOR_FIELD(outline, pupilSeeds, 0, 1000),
    PELVANOR_FIELD(outline, seedSpacingPixels, 0, 1e5),
    PELVANOR_FIELD(outline, seedSpacingDivisor, 1, 1e5),
    PELVANOR_FIELD(outline, maxIrisShare, 0, 1000),
    PELVANOR_FIELD(outline, leastPlaneSide, 1, 10000),
    PELVANOR_FIELD(outline, saturated, 0, 256),
    PELVANOR_FIELD(outline, limbusCandidates, 0, 1000),
    PELVANOR_FIELD(outline, pupilZone, 0, 100),
    PELVANOR_FIELD(outline, comparableStep, 0, 100),
    PELVANOR_FIELD(outline, frameShare, 0, 1),
    PELVANOR_FIELD(outline, minScleraGrey, 0, 10),
    PELVANOR_FIELD(outline, minIrisColour, 0, 255),
    // Limbus fields.
    PELVANOR_FIELD(limbus, lateralUpDegrees, 0, 90),
    PELVANOR_FIELD(limbus, lateralDownDegrees, 0, 90),
    PELVANOR_FIELD(limbus, weakEdgeShare, 0, 100),
    PELVANOR_FIELD(limbus, minEdgeStrength, 0, 1000),
    PELVANOR_FIELD(limbus, coarseSide, 1, 10000),
    PELVANOR_FIELD(limbus, leastCoarseSide, 1, 10000),
    PELVANOR_FIELD(limbus, fineBlur, 0.01, 100),
    PELVANOR_FIELD(limbus, anglesPerQuarter, 1, 1000),
    PELVANOR_FIELD(limbus, bandShare, 0, 1),
    PELVANOR_FIELD(limbus, minBand, 1, 1000),
    PELVANOR_FIELD(limbus, minStep, 0, 1000),
    PELVANOR_FIELD(limbus, holdShare, 0.01, 100),
    PELVANOR_FIELD(limbus, centreStride, 1, 1000),
    PELVANOR_FIELD(limbus, leastRadius, 0, 10000),
    PELVANOR_FIELD(limbus, leastRadiusDivisor, 1, 10000),
    PELVANOR_FIELD(limbus, mostRadiusShare, 0, 10),
    PELVANOR_FIELD(limbus, sameHitShare, 0, 10),
    PELVANOR_FIELD(limbus, settleReach, 0, 100),
    PELVANOR_FIELD(limbus, settleFineReach, 0, 100),
    PELVANOR_FIELD(limbus, settleRadiusReach, 0, 100),
    PELVANOR_FIELD(limbus, leastFineRadius, 0, 10000),
    PELVANOR_FIELD(limbus, maxPupilRatio, 0, 100),
    PELVANOR_FIELD(limbus, minPupilRatio, 0, 100),
    PELVANOR_FIELD(limbus, maxDecentring, 0.001, 100),
    PELVANOR_FIELD(limbus, decentringSlack, 0, 1000),
    // Rings fields.
    PELVANOR_FIELD(rings, planeSide, 1, 1e5),
    PELVANOR_FIELD(rings, glareStep, 0, 255),
    PELVANOR_FIELD(rings, glareLevel, 0, 255),
    PELVANOR_FIELD(rings, glareKernelDivisor, 1, 1e5),
    PELVANOR_FIELD(rings, glareKernelLeast, 1, 1000),
    PELVANOR_FIELD(rings, glareGrowth, 1, 1000),
    PELVANOR_FIELD(rings, seedsPerMap, 0, 100),
    PELVANOR_ELEMENT(rings, blobScales, 0, 0.001, 1),
    PELVANOR_ELEMENT(rings, blobScales, 1, 0.001, 1),
    PELVANOR_FIELD(rings, blobSurround, 1, 10),
    PELVANOR_FIELD(rings, frameBlack, 0, 256),
    PELVANOR_FIELD(rings, frameGrowDivisor, 1, 1e5),
    PELVANOR_FIELD(rings, frameGrowLeast, 0, 1000),
    PELVANOR_FIELD(rings, darkestBlurDivisor, 1, 1e5),
    PELVANOR_FIELD(rings, darkestBlurLeast, 0, 1000),
    PELVANOR_FIELD(rings, borderDivisor, 2, 1000),
    PELVANOR_FIELD(rings, seedSpacingDivisor, 1, 1e5),
    PELVANOR_FIELD(rings, seedSpacingLeast, 0, 1e5),
    PELVANOR_FIELD(rings, blurReduce, 1, 100),
    PELVANOR_FIELD(rings, blurReduceLeastSigma, 0, 1000),
    PELVANOR_FIELD(rings, blurReduceLeastSide, 1, 10000),
    PELVANOR_FIELD(rings, workRadius, 1, 500),
    PELVANOR_FIELD(rings, pupilOffset, 0, 1),
    PELVANOR_FIELD(rings, pupilLeast, 0, 1),
    PELVANOR_FIELD(rings, pupilMost, 0, 1),
    PELVANOR_FIELD(rings, pupilBoxMargin, 0, 10),
    PELVANOR_FIELD(rings, leastWorkSide, 1, 10000),
    PELVANOR_FIELD(rings, spotGrowth, 1, 1000),
    PELVANOR_FIELD(rings, workBlur, 0.01, 100),
    PELVANOR_FIELD(rings, planeBlur, 0.01, 100),
    PELVANOR_FIELD(rings, edgeBandsPerRadius, 1, 1000),
    PELVANOR_FIELD(rings, leastEdgeBand, 1, 1000),
    PELVANOR_FIELD(rings, coarseCentreStep, 1, 100),
    PELVANOR_FIELD(rings, minPupilEdge, 0, 1000),
    PELVANOR_FIELD(rings, maxGlareShare, 0, 10),
    PELVANOR_ELEMENT(rings, glareBand, 0, 0, 10),
    PELVANOR_ELEMENT(rings, glareBand, 1, 0, 10),
    PELVANOR_ELEMENT(rings, glareBand, 2, 0, 10),
    PELVANOR_FIELD(rings, candidatesPerSeed, 0, 100),
    PELVANOR_FIELD(rings, broadSeeds, 0, 100),
    PELVANOR_FIELD(rings, leastLimbus, 0, 10),
    PELVANOR_FIELD(rings, leastPupil, 0, 10),
    PELVANOR_FIELD(rings, minLimbusStep, 0, 1000),
    PELVANOR_ELEMENT(rings, seedEyes, 0, 0.01, 10),
    PELVANOR_ELEMENT(rings, seedEyes, 1, 0.01, 10),
    PELVANOR_FIELD(rings, minInside, 0, 10),
    PELVANOR_FIELD(rings, leastPhotoSide, 1, 1e5),
    PELVANOR_FIELD(rings, leastGivenLimbus, 0, 1e5),
    PELVANOR_FIELD(rings, sameCircleShare, 0, 10),
    PELVANOR_FIELD(rings, lateralDegrees, 0, 90),
    PELVANOR_FIELD(rings, sharpBand, 0, 2),
    PELVANOR_FIELD(rings, softBand, 0, 2),
    PELVANOR_FIELD(rings, leastBand, 1, 1000),
    PELVANOR_FIELD(rings, sharpReach, 0, 1),
    PELVANOR_FIELD(rings, leastReach, 0, 1000),
    PELVANOR_FIELD(rings, gridsPerReach, 1, 100),
    PELVANOR_FIELD(rings, sideDecentring, 0, 1),
    PELVANOR_FIELD(rings, heightDecentring, 0, 1),
    PELVANOR_FIELD(rings, settleGridRadius, 1, 10000),
    PELVANOR_FIELD(rings, settleRadiusReach, 0, 100),
    PELVANOR_FIELD(rings, typicalLimbusPupils, 0, 100),
    PELVANOR_FIELD(rings, limbusGridPupil, 1, 10000),
    PELVANOR_FIELD(rings, limbusLeastPupils, 0, 100),
    PELVANOR_FIELD(rings, limbusMostPupils, 0, 100),
    PELVANOR_FIELD(rings, limbusMostSide, 0, 10),
    PELVANOR_FIELD(rings, minIrisContrast, 0, 255),
    PELVANOR_FIELD(rings, irisFrom, 0, 1),
    PELVANOR_FIELD(rings, irisTo, 0, 10),
    PELVANOR_FIELD(rings, scleraFrom, 0, 10),
    PELVANOR_FIELD(rings, scleraTo, 0, 10),
    PELVANOR_FIELD(rings, scleraShare, 0, 1),
    PELVANOR_FIELD(rings, levelSamples, 1, 1000),
    PELVANOR_FIELD(rings, leastLevelSamples, 1, 1e6),
    // Rotation fields.
    PELVANOR_FIELD(rotation, stripColumns, 2, 7200),
    PELVANOR_FIELD(rotation, irisRows, 1, 1000),
    PELVANOR_FIELD(rotation, scleraRows, 1, 1000),
    PELVANOR_FIELD(rotation, irisFrom, 0, 0.99),
    PELVANOR_FIELD(rotation, stripOuter, 1.01, 10),
    PELVANOR_FIELD(rotation, notionalPupil, 0, 1),
    PELVANOR_FIELD(rotation, planeRadius, 1, 10000),
    PELVANOR_FIELD(rotation, planeSlack, 0, 10),
    PELVANOR_FIELD(rotation, planeMargin, 0, 10),
    PELVANOR_FIELD(rotation, glareKernelDivisor, 1, 10000),
    PELVANOR_FIELD(rotation, glareKernelLeast, 1, 1000),
    PELVANOR_FIELD(rotation, glareGrowth, 1, 1000),
    PELVANOR_FIELD(rotation, seenRowsDivisor, 1, 1000),
    PELVANOR_FIELD(rotation, lateralDegrees, 0, 180),
    PELVANOR_FIELD(rotation, lidIrisFrom, 0, 10),
    PELVANOR_FIELD(rotation, lidIrisTo, 0, 10),
    PELVANOR_FIELD(rotation, lidScleraFrom, 0, 10),
    PELVANOR_FIELD(rotation, lidScleraTo, 0, 10),
    PELVANOR_FIELD(rotation, leastLidSamples, 0, 10000),
    PELVANOR_FIELD(rotation, minStepShare, 0, 100),
    PELVANOR_FIELD(rotation, irisTolerance, 0, 100),
    PELVANOR_FIELD(rotation, lidContrastFloors, 0, 1000),
    PELVANOR_FIELD(rotation, darkSclera, 0, 100),
    PELVANOR_FIELD(rotation, angleBlur, 0.01, 100),
    PELVANOR_FIELD(rotation, radiusBlur, 0.01, 100),
    PELVANOR_FIELD(rotation, blurPad, 0, 10000),
    PELVANOR_FIELD(rotation, contrastFloor, 0.01, 1000),
    PELVANOR_FIELD(rotation, leastWeight, 1e-6, 1),
    PELVANOR_FIELD(rotation, sectors, 1, 360),
    PELVANOR_FIELD(rotation, coarseRowReach, 0, 100),
    PELVANOR_FIELD(rotation, rowReach, 0, 100),
    PELVANOR_FIELD(rotation, minSectorShare, 0, 10),
    PELVANOR_FIELD(rotation, minSectorScore, -1, 10),
    PELVANOR_FIELD(rotation, minOverlap, 0, 10),
    PELVANOR_FIELD(rotation, peakApartDegrees, 0, 180),
    PELVANOR_FIELD(rotation, firstReach, 0, 1000),
    PELVANOR_FIELD(rotation, laterReach, 0, 1000),
    PELVANOR_FIELD(rotation, minVisible, 0, 10),
    PELVANOR_FIELD(rotation, minPeakScore, -1, 10),
    PELVANOR_FIELD(rotation, maxRunnerUp, 0, 10),
    PELVANOR_FIELD(rotation, minSectors, 1, 360),
    PELVANOR_FIELD(rotation, fullSectors, 1, 360),
    PELVANOR_FIELD(rotation, maxSpread, 0.001, 180),
    PELVANOR_FIELD(rotation, minInliers, 0, 10),
    PELVANOR_FIELD(rotation, minConfidence, 0, 10),
    PELVANOR_FIELD(rotation, reliableConfidence, 0, 10),
    PELVANOR_FIELD(rotation, meanRadius, 0.01, 10),
    PELVANOR_FIELD(rotation, centreRounds, 0, 100),
    PELVANOR_FIELD(rotation, centreSettled, 0, 10),
    PELVANOR_FIELD(rotation, centreRidge, 1e-6, 1e6),
    PELVANOR_FIELD(rotation, rowRidge, 1e-12, 1e6),
    PELVANOR_FIELD(rotation, fitRounds, 1, 100),
    PELVANOR_FIELD(rotation, minSpread, 0.001, 100),
    PELVANOR_FIELD(rotation, maxBothWays, 0, 360),
    PELVANOR_FIELD(rotation, rowRadii, 0.001, 1),
    PELVANOR_FIELD(rotation, minRowSpread, 0.001, 100),
    PELVANOR_FIELD(rotation, rowWeightLeast, 0, 1000),
    PELVANOR_FIELD(rotation, rowWeightMost, 0, 1000),
    PELVANOR_FIELD(rotation, carryRadius, 1, 10000),
    PELVANOR_FIELD(rotation, carryReach, 0, 100),
    PELVANOR_ELEMENT(rotation, carryScales, 0, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 1, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 2, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 3, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 4, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 5, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 6, 0.01, 10),
    PELVANOR_ELEMENT(rotation, carryScales, 7, 0.01, 10),
    PELVANOR_FIELD(rotation, carryDisc, 0, 100),
    PELVANOR_FIELD(rotation, carrySoftening, 0.01, 100),
    PELVANOR_FIELD(rotation, carryMaxTurn, 0, 180),
    PELVANOR_FIELD(rotation, carryTurnStep, 0.1, 360),
    PELVANOR_FIELD(rotation, carryMinScore, -1, 10),
    PELVANOR_FIELD(rotation, carryLeastRadius, 0, 10000),
    PELVANOR_FIELD(rotation, carryLeastBox, 1, 10000),
    PELVANOR_FIELD(rotation, carryLeastPatch, 1, 10000),
    PELVANOR_FIELD(rotation, carryCorrelationLimit, 0, 10),
};

#undef PELVANOR_FIELD
#undef PELVANOR_ELEMENT

} // namespace

const Tuning& tuning() {
    return current;
}

namespace {

double valueOf(const FieldRef& ref) {
    return std::visit([](auto* v) { return double(*v); }, ref);
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

} // namespace

bool setTuning(const std::string& name, double value, std::string* why) {
    const auto refuse = [&](const std::string& reason) {
        if (why)
            *why = reason;
        return false;
    };
    for (const Field& f : kFields) {
        if (name != f.name)
            continue;
        const FieldRef ref = f.of(current);
        if (std::holds_alternative<int*>(ref) && value != std::floor(value))
            return refuse(name + " takes whole numbers only");
        if (!(value >= f.least && value <= f.most)) // NaN too
            return refuse(name + " must lie in " + number(f.least) + ".." + number(f.most));
        if (auto d = std::get_if<double*>(&ref))
            **d = value;
        else if (auto s = std::get_if<float*>(&ref))
            **s = float(value);
        else
            *std::get<int*>(ref) = int(value);
        return true;
    }
    return refuse("no tuning field is called " + name);
}

std::vector<TuningField> tuningFields() {
    std::vector<TuningField> out;
    const char* const base = reinterpret_cast<const char*>(&current);
    for (const Field& f : kFields) {
        const FieldRef ref = f.of(current);
        const void* at = std::visit([](auto* v) -> const void* { return v; }, ref);
        const size_t size = std::visit([](auto* v) { return sizeof *v; }, ref);
        out.push_back(TuningField{f.name, valueOf(ref), f.least, f.most, std::holds_alternative<int*>(ref),
                                  size_t(static_cast<const char*>(at) - base), size});
    }
    return out;
}

std::vector<std::string> tuningValues() {
    std::vector<std::string> out;
    for (const Field& f : kFields) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", valueOf(f.of(current)));
        out.push_back(std::string(f.name) + "=" + text);
    }
    return out;
}
