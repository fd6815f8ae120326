#include "tuning.h"

#include <cmath>
#include <cstdio>
#include <variant>

namespace {

// Constant-initialised: the defaults hold before any static constructor runs.
Tuning current;

using FieldRef = std::variant<double*, float*, int*>;

struct Field {
    std::string name;
    FieldRef (*of)(Tuning&);
};

#define PELVANOR_FIELD(group, field)                                                                         \
    Field {                                                                                                  \
#group "." #field, [](Tuning & t) -> FieldRef { return &t.group.field; }                             \
    }
#define PELVANOR_ELEMENT(group, field, i)                                                                    \
    Field {                                                                                                  \
#group "." #field "." #i, [](Tuning & t) -> FieldRef { return &t.group.field[i]; }                   \
    }

// One line a field; a field missing here cannot be set from the command line.
const std::vector<Field>& fields() {
    static const std::vector<Field> all = {
        // Outline fields.
        PELVANOR_FIELD(outline, stableLevels),
        PELVANOR_FIELD(outline, maxGrowth),
        PELVANOR_FIELD(outline, jumpGrowth),
        PELVANOR_FIELD(outline, distinctArea),
        PELVANOR_FIELD(outline, minRegionOverlap),
        PELVANOR_FIELD(outline, minRegionRoundness),
        PELVANOR_FIELD(outline, minRadiusShare),
        PELVANOR_FIELD(outline, minRegionPixels),
        PELVANOR_FIELD(outline, maxDarkAreaShare),
        PELVANOR_FIELD(outline, maxFieldAreaShare),
        PELVANOR_FIELD(outline, minFitSpread),
        PELVANOR_FIELD(outline, inlierSpreads),
        PELVANOR_FIELD(outline, fitSettledPixels),
        PELVANOR_FIELD(outline, fineRays),
        PELVANOR_FIELD(outline, finePasses),
        PELVANOR_FIELD(outline, minSmoothing),
        PELVANOR_FIELD(outline, limbusSoftEdge),
        PELVANOR_FIELD(outline, firstBandReduced),
        PELVANOR_FIELD(outline, firstBandShare),
        PELVANOR_FIELD(outline, bandPixels),
        PELVANOR_FIELD(outline, bandShare),
        PELVANOR_FIELD(outline, ellipseRounds),
        PELVANOR_FIELD(outline, ellipseCutSpreads),
        PELVANOR_FIELD(outline, ellipseCutPixels),
        PELVANOR_FIELD(outline, leastScatterPixels),
        PELVANOR_FIELD(outline, minAgreement),
        PELVANOR_FIELD(outline, maxGapDegrees),
        PELVANOR_FIELD(outline, leastRadiusPixels),
        PELVANOR_FIELD(outline, minRadiusChange),
        PELVANOR_FIELD(outline, maxRadiusChange),
        PELVANOR_FIELD(outline, maxCentreMove),
        PELVANOR_FIELD(outline, maxScatter),
        PELVANOR_FIELD(outline, minRoundOutline),
        PELVANOR_FIELD(outline, maxEllipseShift),
        PELVANOR_FIELD(outline, steppingDirections),
        PELVANOR_FIELD(outline, stepInside),
        PELVANOR_FIELD(outline, stepOutside),
        PELVANOR_FIELD(outline, darkShownDivisor),
        PELVANOR_FIELD(outline, brightShownDivisor),
        PELVANOR_FIELD(outline, typicalStepShare),
        PELVANOR_FIELD(outline, minGreyStep),
        PELVANOR_FIELD(outline, minStepping),
        PELVANOR_FIELD(outline, minSideShare),
        PELVANOR_FIELD(outline, limbusMinRadiusChange),
        PELVANOR_FIELD(outline, limbusMaxRadiusChange),
        PELVANOR_FIELD(outline, limbusMaxCentreMove),
        PELVANOR_FIELD(outline, limbusHoldsPoint),
        PELVANOR_FIELD(outline, scleraShare),
        PELVANOR_FIELD(outline, coreReachShare),
        PELVANOR_FIELD(outline, leastReachPixels),
        PELVANOR_FIELD(outline, coreDirections),
        PELVANOR_FIELD(outline, coreRingFrom),
        PELVANOR_FIELD(outline, coreRingTo),
        PELVANOR_FIELD(outline, coreRingStep),
        PELVANOR_FIELD(outline, coreShare),
        PELVANOR_FIELD(outline, darkCore),
        PELVANOR_FIELD(outline, darkCoreStep),
        PELVANOR_FIELD(outline, minFieldShare),
        PELVANOR_FIELD(outline, fieldFrame),
        PELVANOR_FIELD(outline, frameDirections),
        PELVANOR_ELEMENT(outline, frameShares, 0),
        PELVANOR_ELEMENT(outline, frameShares, 1),
        PELVANOR_ELEMENT(outline, frameShares, 2),
        PELVANOR_ELEMENT(outline, frameShares, 3),
        PELVANOR_ELEMENT(outline, frameShares, 4),
        PELVANOR_ELEMENT(outline, frameShares, 5),
        PELVANOR_FIELD(outline, leastFrameSamples),
        PELVANOR_FIELD(outline, rimRays),
        PELVANOR_FIELD(outline, rimFrom),
        PELVANOR_FIELD(outline, rimReach),
        PELVANOR_FIELD(outline, leastRimDivisor),
        PELVANOR_FIELD(outline, spotReachShare),
        PELVANOR_ELEMENT(outline, fieldInsideShares, 0),
        PELVANOR_ELEMENT(outline, fieldInsideShares, 1),
        PELVANOR_ELEMENT(outline, fieldInsideShares, 2),
        PELVANOR_FIELD(outline, sameOutlineShare),
        PELVANOR_FIELD(outline, sameRegionShare),
        PELVANOR_FIELD(outline, innerRays),
        PELVANOR_FIELD(outline, innerRingsPerRadius),
        PELVANOR_FIELD(outline, leastRingStep),
        PELVANOR_FIELD(outline, innerFrom),
        PELVANOR_FIELD(outline, innerTo),
        PELVANOR_FIELD(outline, outerEdgeFrom),
        PELVANOR_FIELD(outline, innerLeast),
        PELVANOR_FIELD(outline, innerStepShare),
        PELVANOR_FIELD(outline, discFrom),
        PELVANOR_FIELD(outline, discTo),
        PELVANOR_FIELD(outline, ringFrom),
        PELVANOR_FIELD(outline, discEvenness),
        PELVANOR_FIELD(outline, veilDirections),
        PELVANOR_FIELD(outline, veilStep),
        PELVANOR_FIELD(outline, veilPupilFrom),
        PELVANOR_FIELD(outline, veilPupilTo),
        PELVANOR_FIELD(outline, veilIrisFrom),
        PELVANOR_FIELD(outline, veilIrisTo),
        PELVANOR_FIELD(outline, veilLevel),
        PELVANOR_FIELD(outline, veilWindow),
        PELVANOR_FIELD(outline, lashOpenPixels),
        PELVANOR_FIELD(outline, lashOpenDivisor),
        PELVANOR_FIELD(outline, leastDiscPixels),
        PELVANOR_FIELD(outline, wholerDisc),
        PELVANOR_FIELD(outline, wholeDiscRounds),
        PELVANOR_FIELD(outline, pupilSearchShare),
        PELVANOR_FIELD(outline, seedBlurDivisor),
        PELVANOR_FIELD(outline, leastSeedBlur),
        PELVANOR_FIELD(outline, pupilSeeds),
        PELVANOR_FIELD(outline, seedSpacingPixels),
        PELVANOR_FIELD(outline, seedSpacingDivisor),
        PELVANOR_FIELD(outline, maxIrisShare),
        PELVANOR_FIELD(outline, leastPlaneSide),
        PELVANOR_FIELD(outline, saturated),
        PELVANOR_FIELD(outline, limbusCandidates),
        PELVANOR_FIELD(outline, pupilZone),
        PELVANOR_FIELD(outline, comparableStep),
        // Limbus fields.
        PELVANOR_FIELD(limbus, lateralUpDegrees),
        PELVANOR_FIELD(limbus, lateralDownDegrees),
        PELVANOR_FIELD(limbus, weakEdgeShare),
        PELVANOR_FIELD(limbus, minEdgeStrength),
        PELVANOR_FIELD(limbus, coarseSide),
        PELVANOR_FIELD(limbus, leastCoarseSide),
        PELVANOR_FIELD(limbus, fineBlur),
        PELVANOR_FIELD(limbus, anglesPerQuarter),
        PELVANOR_FIELD(limbus, bandShare),
        PELVANOR_FIELD(limbus, minBand),
        PELVANOR_FIELD(limbus, minStep),
        PELVANOR_FIELD(limbus, holdShare),
        PELVANOR_FIELD(limbus, centreStride),
        PELVANOR_FIELD(limbus, leastRadius),
        PELVANOR_FIELD(limbus, leastRadiusDivisor),
        PELVANOR_FIELD(limbus, mostRadiusShare),
        PELVANOR_FIELD(limbus, sameHitShare),
        PELVANOR_FIELD(limbus, settleReach),
        PELVANOR_FIELD(limbus, settleFineReach),
        PELVANOR_FIELD(limbus, settleRadiusReach),
        PELVANOR_FIELD(limbus, leastFineRadius),
        PELVANOR_FIELD(limbus, maxPupilRatio),
        PELVANOR_FIELD(limbus, minPupilRatio),
        PELVANOR_FIELD(limbus, maxDecentring),
        PELVANOR_FIELD(limbus, decentringSlack),
        // Rings fields.
        PELVANOR_FIELD(rings, planeSide),
        PELVANOR_FIELD(rings, glareStep),
        PELVANOR_FIELD(rings, glareLevel),
        PELVANOR_FIELD(rings, glareKernelDivisor),
        PELVANOR_FIELD(rings, glareKernelLeast),
        PELVANOR_FIELD(rings, glareGrowth),
        PELVANOR_FIELD(rings, seedsPerMap),
        PELVANOR_ELEMENT(rings, blobScales, 0),
        PELVANOR_ELEMENT(rings, blobScales, 1),
        PELVANOR_FIELD(rings, blobSurround),
        PELVANOR_FIELD(rings, frameBlack),
        PELVANOR_FIELD(rings, frameGrowDivisor),
        PELVANOR_FIELD(rings, frameGrowLeast),
        PELVANOR_FIELD(rings, darkestBlurDivisor),
        PELVANOR_FIELD(rings, darkestBlurLeast),
        PELVANOR_FIELD(rings, borderDivisor),
        PELVANOR_FIELD(rings, seedSpacingDivisor),
        PELVANOR_FIELD(rings, seedSpacingLeast),
        PELVANOR_FIELD(rings, blurReduce),
        PELVANOR_FIELD(rings, blurReduceLeastSigma),
        PELVANOR_FIELD(rings, blurReduceLeastSide),
        PELVANOR_FIELD(rings, workRadius),
        PELVANOR_FIELD(rings, pupilOffset),
        PELVANOR_FIELD(rings, pupilLeast),
        PELVANOR_FIELD(rings, pupilMost),
        PELVANOR_FIELD(rings, pupilBoxMargin),
        PELVANOR_FIELD(rings, leastWorkSide),
        PELVANOR_FIELD(rings, spotGrowth),
        PELVANOR_FIELD(rings, workBlur),
        PELVANOR_FIELD(rings, planeBlur),
        PELVANOR_FIELD(rings, edgeBandsPerRadius),
        PELVANOR_FIELD(rings, leastEdgeBand),
        PELVANOR_FIELD(rings, coarseCentreStep),
        PELVANOR_FIELD(rings, minPupilEdge),
        PELVANOR_FIELD(rings, maxGlareShare),
        PELVANOR_ELEMENT(rings, glareBand, 0),
        PELVANOR_ELEMENT(rings, glareBand, 1),
        PELVANOR_ELEMENT(rings, glareBand, 2),
        PELVANOR_FIELD(rings, candidatesPerSeed),
        PELVANOR_FIELD(rings, broadSeeds),
        PELVANOR_FIELD(rings, leastLimbus),
        PELVANOR_FIELD(rings, leastPupil),
        PELVANOR_FIELD(rings, minLimbusStep),
        PELVANOR_ELEMENT(rings, seedEyes, 0),
        PELVANOR_ELEMENT(rings, seedEyes, 1),
        PELVANOR_FIELD(rings, minInside),
        PELVANOR_FIELD(rings, leastPhotoSide),
        PELVANOR_FIELD(rings, leastGivenLimbus),
        PELVANOR_FIELD(rings, sameCircleShare),
        PELVANOR_FIELD(rings, lateralDegrees),
        PELVANOR_FIELD(rings, sharpBand),
        PELVANOR_FIELD(rings, softBand),
        PELVANOR_FIELD(rings, leastBand),
        PELVANOR_FIELD(rings, sharpReach),
        PELVANOR_FIELD(rings, leastReach),
        PELVANOR_FIELD(rings, gridsPerReach),
        PELVANOR_FIELD(rings, sideDecentring),
        PELVANOR_FIELD(rings, heightDecentring),
        PELVANOR_FIELD(rings, settleGridRadius),
        PELVANOR_FIELD(rings, settleRadiusReach),
        PELVANOR_FIELD(rings, typicalLimbusPupils),
        PELVANOR_FIELD(rings, limbusGridPupil),
        PELVANOR_FIELD(rings, limbusLeastPupils),
        PELVANOR_FIELD(rings, limbusMostPupils),
        PELVANOR_FIELD(rings, limbusMostSide),
        PELVANOR_FIELD(rings, minIrisContrast),
        PELVANOR_FIELD(rings, irisFrom),
        PELVANOR_FIELD(rings, irisTo),
        PELVANOR_FIELD(rings, scleraFrom),
        PELVANOR_FIELD(rings, scleraTo),
        PELVANOR_FIELD(rings, scleraShare),
        PELVANOR_FIELD(rings, levelSamples),
        PELVANOR_FIELD(rings, leastLevelSamples),
        // Rotation fields.
        PELVANOR_FIELD(rotation, stripColumns),
        PELVANOR_FIELD(rotation, irisRows),
        PELVANOR_FIELD(rotation, scleraRows),
        PELVANOR_FIELD(rotation, irisFrom),
        PELVANOR_FIELD(rotation, stripOuter),
        PELVANOR_FIELD(rotation, notionalPupil),
        PELVANOR_FIELD(rotation, planeRadius),
        PELVANOR_FIELD(rotation, planeSlack),
        PELVANOR_FIELD(rotation, planeMargin),
        PELVANOR_FIELD(rotation, glareKernelDivisor),
        PELVANOR_FIELD(rotation, glareKernelLeast),
        PELVANOR_FIELD(rotation, glareGrowth),
        PELVANOR_FIELD(rotation, seenRowsDivisor),
        PELVANOR_FIELD(rotation, lateralDegrees),
        PELVANOR_FIELD(rotation, lidIrisFrom),
        PELVANOR_FIELD(rotation, lidIrisTo),
        PELVANOR_FIELD(rotation, lidScleraFrom),
        PELVANOR_FIELD(rotation, lidScleraTo),
        PELVANOR_FIELD(rotation, leastLidSamples),
        PELVANOR_FIELD(rotation, minStepShare),
        PELVANOR_FIELD(rotation, irisTolerance),
        PELVANOR_FIELD(rotation, lidContrastFloors),
        PELVANOR_FIELD(rotation, darkSclera),
        PELVANOR_FIELD(rotation, angleBlur),
        PELVANOR_FIELD(rotation, radiusBlur),
        PELVANOR_FIELD(rotation, blurPad),
        PELVANOR_FIELD(rotation, contrastFloor),
        PELVANOR_FIELD(rotation, leastWeight),
        PELVANOR_FIELD(rotation, sectors),
        PELVANOR_FIELD(rotation, coarseRowReach),
        PELVANOR_FIELD(rotation, rowReach),
        PELVANOR_FIELD(rotation, minSectorShare),
        PELVANOR_FIELD(rotation, minSectorScore),
        PELVANOR_FIELD(rotation, minOverlap),
        PELVANOR_FIELD(rotation, peakApartDegrees),
        PELVANOR_FIELD(rotation, firstReach),
        PELVANOR_FIELD(rotation, laterReach),
        PELVANOR_FIELD(rotation, minVisible),
        PELVANOR_FIELD(rotation, minPeakScore),
        PELVANOR_FIELD(rotation, maxRunnerUp),
        PELVANOR_FIELD(rotation, minSectors),
        PELVANOR_FIELD(rotation, fullSectors),
        PELVANOR_FIELD(rotation, maxSpread),
        PELVANOR_FIELD(rotation, minInliers),
        PELVANOR_FIELD(rotation, minConfidence),
        PELVANOR_FIELD(rotation, reliableConfidence),
        PELVANOR_FIELD(rotation, meanRadius),
        PELVANOR_FIELD(rotation, centreRounds),
        PELVANOR_FIELD(rotation, centreSettled),
        PELVANOR_FIELD(rotation, centreRidge),
        PELVANOR_FIELD(rotation, rowRidge),
        PELVANOR_FIELD(rotation, fitRounds),
        PELVANOR_FIELD(rotation, minSpread),
        PELVANOR_FIELD(rotation, rowRadii),
        PELVANOR_FIELD(rotation, minRowSpread),
        PELVANOR_FIELD(rotation, rowWeightLeast),
        PELVANOR_FIELD(rotation, rowWeightMost),
        PELVANOR_FIELD(rotation, carryRadius),
        PELVANOR_FIELD(rotation, carryReach),
        PELVANOR_ELEMENT(rotation, carryScales, 0),
        PELVANOR_ELEMENT(rotation, carryScales, 1),
        PELVANOR_ELEMENT(rotation, carryScales, 2),
        PELVANOR_ELEMENT(rotation, carryScales, 3),
        PELVANOR_ELEMENT(rotation, carryScales, 4),
        PELVANOR_ELEMENT(rotation, carryScales, 5),
        PELVANOR_ELEMENT(rotation, carryScales, 6),
        PELVANOR_ELEMENT(rotation, carryScales, 7),
        PELVANOR_FIELD(rotation, carryDisc),
        PELVANOR_FIELD(rotation, carrySoftening),
        PELVANOR_FIELD(rotation, carryMaxTurn),
        PELVANOR_FIELD(rotation, carryTurnStep),
        PELVANOR_FIELD(rotation, carryMinScore),
        PELVANOR_FIELD(rotation, carryLeastRadius),
        PELVANOR_FIELD(rotation, carryLeastBox),
        PELVANOR_FIELD(rotation, carryLeastPatch),
        PELVANOR_FIELD(rotation, carryCorrelationLimit),
    };
    return all;
}

#undef PELVANOR_FIELD
#undef PELVANOR_ELEMENT

} // namespace

const Tuning& tuning() {
    return current;
}

bool setTuning(const std::string& name, double value) {
    for (const Field& f : fields()) {
        if (f.name != name)
            continue;
        const FieldRef ref = f.of(current);
        if (auto d = std::get_if<double*>(&ref))
            **d = value;
        else if (auto s = std::get_if<float*>(&ref))
            **s = float(value);
        else if (value == std::floor(value) && std::abs(value) < 1e9)
            *std::get<int*>(ref) = int(value);
        else
            return false;
        return true;
    }
    return false;
}

std::vector<std::string> tuningValues() {
    std::vector<std::string> out;
    for (const Field& f : fields()) {
        const FieldRef ref = f.of(current);
        char text[64];
        std::visit([&](auto* v) { std::snprintf(text, sizeof text, "%.17g", double(*v)); }, ref);
        out.push_back(f.name + "=" + text);
    }
    return out;
}
