#pragma once

#include <string>
#include <vector>

// Every threshold of the image analysis, one field each, with its unit and why it has that value. The
// defaults written here are the program's; the evaluation programs change a field with
// --set group.field=value to study it without recompiling. The analysis reads them through tuning().

// Double-click centring: the pupil search, the limbus choice and the checks an outline must pass.
struct OutlineTuning {
    // Dark and bright round regions, flooded from the point in order of grey level (dark_region).
    int stableLevels = 6;            // grey levels over which a region must grow little to count as settled
    double maxGrowth = 1.2;          // area factor: at most this much growth over those levels
    double jumpGrowth = 1.05;        // area factor: growth at a single level that counts as spilling over
    double distinctArea = 1.05;      // area factor: regions looked at differ at least this much
    double minRegionOverlap = 0.82;  // share of region and ellipse that coincide: round enough
    double minRegionRoundness = 0.5; // minor / major axis of a region: flatter ones are lids or lashes
    double minRadiusShare = 0.012;   // of the longer side: smaller dark spots are iris texture
    int minRegionPixels = 12;        // pixels: smaller regions give no stable ellipse
    double maxDarkAreaShare = 0.5;   // of the plane: a pupil or a dark iris fills at most half the photo
    double maxFieldAreaShare = 0.9;  // of the plane: a fundus photo's bright field may fill nearly all

    // The robust circle fit (circle_fit).
    double minFitSpread = 0.25;     // pixels: the least spread, so that exact edges do not make every
                                    // other point an outlier
    double inlierSpreads = 2.5;     // spreads: points this close to the circle belong to it
    double fitSettledPixels = 1e-4; // pixels: a step this small ends the iterations

    // Refinement at full size on rays from a start circle.
    int fineRays = 360;              // rays all round: one a degree
    int finePasses = 3;              // a wide pass to bring the circle near, then two narrow ones
    int minSmoothing = 1;            // pixels: least half-width of the difference that finds an edge
    double limbusSoftEdge = 25;      // a limbus's step is measured over this fraction (1/25) of its radius
    double firstBandReduced = 3.0;   // reduced pixels: the first pass looks this far either side of the start
    double firstBandShare = 0.08;    // radii: or this far, when more
    double bandPixels = 2.0;         // pixels beyond the smoothing: how far later passes look either side
    double bandShare = 0.04;         // radii: or this far, when more
    int ellipseRounds = 4;           // refits of the ellipse without the points far off it
    double ellipseCutSpreads = 3;    // spreads (median distance, as a standard deviation) of a point kept
    double ellipseCutPixels = 1.0;   // pixels: points this near the ellipse are always kept
    double leastScatterPixels = 1.0; // pixels: the scatter allowed to every outline, however small

    // Checks on an outline seen all round (a pupil, a fundus field).
    double minAgreement = 0.5;      // share of the rays whose edge lies on an outline seen all round
    double maxGapDegrees = 150;     // largest arc such an outline may be hidden on
    double leastRadiusPixels = 3.0; // pixels: smaller outlines are noise, whatever the photo's size
    double minRadiusChange = 0.7;   // radius after refinement over the start's: less is another outline
    double maxRadiusChange = 1.4;   // and more
    double maxCentreMove = 0.25;    // start radii the centre may move in refinement
    double maxScatter = 0.04;       // radii: typical distance of the edges from the outline
    double minRoundOutline = 0.8;   // minor / major axis: more oval than an eye seen 35 degrees aside is
                                    // no pupil, but the clear part of one
    double maxEllipseShift = 0.1;   // radii between the ellipse's centre and the circle's
    int steppingDirections = 72;    // directions in which the step across the outline is read
    double stepInside = 0.85;       // radii: where the grey level is read inside the outline
    double stepOutside = 1.15;      // and outside it
    int darkShownDivisor = 9;       // a dark outline must be on the photo in 1/9 of the directions
    int brightShownDivisor = 3;     // a bright field in 1/3: more is off the photo, nothing to tell
    double typicalStepShare = 0.25; // of the typical step: a direction stepping less does not count
    double minGreyStep = 4;         // grey levels: the least step that counts, however faint the outline
    double minStepping = 0.75;      // share of the directions in which the outline must step the right way

    // Checks on a limbus refined at full size.
    double minSideShare = 0.35;          // share of each side's rays that must see the limbus
    double limbusMinRadiusChange = 0.8;  // radius after refinement over the candidate's: less is another step
    double limbusMaxRadiusChange = 1.25; // and more
    double limbusMaxCentreMove = 0.15;   // candidate radii the centre may move in refinement
    double limbusHoldsPoint = 0.97;      // radii: the point lies this far inside, not on the edge itself
    double scleraShare = 1.08;           // limbus radii the photo must reach on both sides: a step at the
                                         // photo's edge is no limbus

    // A point in a dark core of an outline, a pupil not found.
    double coreReachShare = 0.06;  // radii of the outline: the core's level is read this near the point
    double leastReachPixels = 1.0; // pixels: the least reach of a spot read about the point
    int coreDirections = 72;       // directions in which the outline's fill is read
    double coreRingFrom = 0.55;    // radii: the fill is read from here
    double coreRingTo = 0.86;      // to here, away from the edge
    double coreRingStep = 0.1;     // radii between the rings read
    double coreShare = 0.4;        // radii: a core lies this near the outline's middle
    double darkCore = 0.8;         // a point this much darker than the iris is in the pupil
    double darkCoreStep = 10;      // grey levels, so that a dark outline's own shading does not count

    // A bright round field (a fundus photo) and its frame.
    double minFieldShare = 0.1; // of the plane: a bright field fills at least this much of the photo
    double fieldFrame = 0.35;   // of the field's level: the photo beyond it is at most this bright
    int frameDirections = 180;  // directions in which the field and its frame are read
    double frameShares[6] = {0.6, 0.7, 0.8, 1.1, 1.15, 1.2}; // radii read: below 1 the field, above the frame
    int leastFrameSamples = 12;   // samples beyond the field: fewer, and the photo is cropped to it
    int rimRays = 180;            // rays from a bright region's centre on which its rim is sought
    double rimFrom = 0.5;         // region radii: the field's level is read and its rim sought from here
    double rimReach = 2;          // region radii: the rim is sought up to here
    int leastRimDivisor = 6;      // the rim must be found on 1/6 of the rays
    double spotReachShare = 0.03; // field radii: a dark spot's level is read this near the point
    double fieldInsideShares[3] = {0.3, 0.5, 0.7}; // field radii at which the field's own level is read

    // Two outlines are one when radii and centres lie within this share of the larger radius.
    double sameOutlineShare = 0.05;
    // Two regions from the two planes are one when areas and centres (in major axes) differ this little.
    double sameRegionShare = 0.1;

    // A darker, even disc inside a dark outline: a pupil inside a dark ring of the iris.
    int innerRays = 90;              // rays of each circle whose median level is read
    double innerRingsPerRadius = 60; // circles read per radius of the outline
    double leastRingStep = 1.0;      // pixels between the circles read, at least
    double innerFrom = 0.05;         // outline radii: the circles read run from here
    double innerTo = 1.15;           // to here, past the outline's edge
    double outerEdgeFrom = 0.9;      // outline radii: from here out lies the outline's own edge
    double innerLeast = 0.15;        // outline radii: the least radius of an inner disc
    double innerStepShare = 0.1;     // an inner outline steps at least this share of the outer one's step
                                     // (a pupil in a dark iris against the iris-to-white step)
    double discFrom = 0.3;           // disc radii: the disc's level is read from here
    double discTo = 0.8;             // to here
    double ringFrom = 1.1;           // disc radii: the ring about the disc is read from here out
    double discEvenness = 0.5;       // of the disc's contrast with its ring: its largest spread of levels

    // A pupil partly veiled (a window's reflection, haze), grown to its whole dark disc.
    int veilDirections = 72;    // directions in which the pupil's and the iris's levels are read
    double veilStep = 0.05;     // radii between the samples on each direction
    double veilPupilFrom = 0.1; // radii: the pupil's level is read from here
    double veilPupilTo = 0.6;   // to here
    double veilIrisFrom = 1.2;  // radii: the iris's level is read from here
    double veilIrisTo = 1.5;    // to here
    double veilLevel = 0.45;    // a veiled pupil is darker than this share of the way to its iris
    double veilWindow = 2;      // radii: the dark region is looked for this far about the outline
    int lashOpenPixels = 3;     // pixels: the least width of the opening that drops lashes
    double lashOpenDivisor = 8; // or this fraction (1/8) of the radius, when more
    int leastDiscPixels = 6;    // pixels of the region: fewer make no disc
    double wholerDisc = 1.05;   // the whole disc is at least this much wider than its clear part
    int wholeDiscRounds = 2;    // times a veiled pupil is grown

    // The pupil near a point, from the darkest spots about it.
    double pupilSearchShare = 0.3;  // of the plane's longer side: how far from the point it is looked for
    double seedBlurDivisor = 100.0; // the blur's sigma is this fraction (1/100) of the longer side, so that
                                    // thin dark lashes no longer pass for the darkest spots
    double leastSeedBlur = 1.0;     // pixels of the plane: the least blur
    int pupilSeeds = 8;             // dark spots tried
    int seedSpacingPixels = 2;      // plane pixels: the least distance between spots tried
    int seedSpacingDivisor = 15;    // or this fraction (1/15) of the longer side, when more
    double maxIrisShare = 5;        // a point on the iris lies within this many pupil radii

    // The whole search.
    int leastPlaneSide = 8;      // pixels of the reduced plane: smaller photos are not searched
    float saturated = 250;       // a reflection's level in the brightest channel
    int limbusCandidates = 5;    // circles from the limbus search refined at full size
    double pupilZone = 0.4;      // of a limbus radius: where a pupil not found may lie
    double comparableStep = 0.7; // an inner limbus candidate steps this much of the strongest
};

// The search for the iris-to-sclera step, shared by centring and by a photo's own rings.
struct LimbusTuning {
    // The sides of an eye, where lids and lashes seldom cover the limbus (ray_edges).
    double lateralUpDegrees = 35;   // degrees above horizontal that count as the side of an eye
    double lateralDownDegrees = 45; // and below: the lower lid covers less than the upper

    // Edges on rays (ray_edges).
    double weakEdgeShare = 0.25;  // of the typical edge: weaker ones are hidden (by a lid, say)
    float minEdgeStrength = 1.0f; // grey levels a pixel: weaker edges are noise

    // The search on a coarse plane, then settled on a finer one (limbus_search).
    int coarseSide = 160;         // pixels: longer side of the plane the whole search runs on
    int leastCoarseSide = 16;     // pixels of the coarse plane: smaller photos hold no limbus to find
    double fineBlur = 1.0;        // pixels: sigma of the blur on the finer plane
    int anglesPerQuarter = 16;    // directions read per quarter turn (those on the sides are used)
    double bandShare = 0.18;      // radii: width of the bands each side of a step, so that the broad step
                                  // from iris to sclera outweighs the fine rings of the iris's texture
    int minBand = 2;              // pixels: the bands' least width
    double minStep = 6;           // grey levels: weaker steps are no limbus
    double holdShare = 0.95;      // radii: the point lies at least this far inside a candidate
    int centreStride = 2;         // coarse pixels between the centres tried
    int leastRadius = 4;          // coarse pixels: the least radius tried
    int leastRadiusDivisor = 30;  // or this fraction (1/30) of the coarse plane's longer side, when more
    double mostRadiusShare = 0.6; // of the coarse plane's longer side: the largest radius tried
    double sameHitShare = 0.15;   // radii: hits nearer than this in centre and radius are one circle
    int settleReach = 2;          // coarse pixels about a hit that the finer plane searches first
    int settleFineReach = 1;      // finer pixels it searches then
    int settleRadiusReach = 2;    // coarse pixels of radius either side of a hit's
    int leastFineRadius = 2;      // pixels of the finer plane: the least radius settled on
    double maxPupilRatio = 7;     // pupil radii: the widest limbus about a pupil
    double minPupilRatio = 1.3;   // pupil radii: the narrowest
    double maxDecentring = 0.15;  // limbus radii between its centre and the pupil's
    double decentringSlack = 2;   // coarse pixels: added to that, for the coarse plane's rounding
};

// A photo's own rings (limbus and pupil), found from that photo alone for the rotation.
struct RingsTuning {};

// The rotation between two photos: the unrolled strips, their match and the sectors' fit.
struct RotationTuning {};

struct Tuning {
    OutlineTuning outline;
    LimbusTuning limbus;
    RingsTuning rings;
    RotationTuning rotation;
};

// The tuning in force: the defaults, unless an evaluation program set a field.
const Tuning& tuning();

// Sets the field called name ("outline.minAgreement", an array's element as "rings.glareBand.1"). Set
// fields before any analysis runs: they are read without locks. False for an unknown name, or a
// value the field cannot hold (a whole-number field takes whole numbers only).
bool setTuning(const std::string& name, double value);

// Every field's name and its value now, one "name=value" each, for the evaluation programs.
std::vector<std::string> tuningValues();
