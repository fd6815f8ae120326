#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Every threshold of the image analysis, one field each, with its unit and why it has that value. The
// defaults written here are the program's; the evaluation programs change a field with
// --set group.field=value to study it without recompiling. The analysis reads them through tuning().
// A new field also takes a row in tuning.cpp's table, with the range of values the code reading it
// can take: setting refuses any other.

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
    int darkShownDivisor = 3;       // a dark outline must be on the photo in 1/3 of the directions
    int brightShownDivisor = 9;     // a bright field in 1/9: it may fill the frame, its corners alone
                                    // showing what lies beyond it; less is off the photo
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
    double fieldFrame =
        0.35; // of the field's level: the frame, and any spot of the field no part of it, darker
    int frameDirections = 180; // directions in which the field and its frame are read
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

    // A fundus camera's black frame: the rim of a bright field lies where the level falls to this share
    // of the way from the photo's darkest level (its 2nd percentile) to the field's, and what lies
    // beyond the field is no brighter.
    double frameShare = 0.05;
    // What lies beyond a limbus on the sides of the eye is white or grey, the sclera: its weighted grey
    // level is at least this share of its brightest channel (the orange of a fundus photo: about 0.6).
    double minScleraGrey = 0.7;
    // A dark outline about a click is the whole of a dark iris only when coloured: the median of its
    // brightest channel over its weighted grey level is at least this (grey levels; pupils: 0 to 7).
    double minIrisColour = 10;
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

// Samples round each circle the rings are measured on: the size of the direction tables, so a
// constant. 64 directions step 5.6 degrees, finer than a reflection's width at the sizes used.
inline constexpr int kRingAngles = 64;

// A photo's own rings (limbus and pupil), found from that photo alone for the rotation.
struct RingsTuning {
    // The reduced planes (eye_planes): the photo's longer side is brought to about this many pixels,
    // enough for a limbus of some tens of pixels on any photo compared.
    int planeSide = 640;
    // Reflections: grey levels brighter than all about them (top hat) and grey levels bright in all;
    // both limits leave iris texture and lashes alone. The iris strip finds its reflections alike.
    int glareStep = 40;
    int glareLevel = 150;
    // The top hat's kernel: the reduced plane's longer side over this, odd, at least the least.
    int glareKernelDivisor = 40;
    int glareKernelLeast = 5;
    int glareGrowth = 3; // pixels, side of the kernel that grows a reflection over its halo

    // Dark spots (dark_spots): where a pupil or a dark iris may be.
    int seedsPerMap = 2;                 // dark spots taken from each map
    double blobScales[2] = {0.03, 0.07}; // iris sizes looked for, in the longer side
    int blobSurround = 3;                // the surroundings' blur, in blob sizes
    int frameBlack = 25;                 // grey level of a camera's black field stop
    int frameGrowDivisor = 40;           // a frame is grown by the longer side over this
    int frameGrowLeast = 3;              // pixels, and at least this
    double darkestBlurDivisor = 100;     // the darkest places' blur: the longer side over this
    double darkestBlurLeast = 1;         // pixels, at least this
    int borderDivisor = 10;              // the side over this is the border passed over
    int seedSpacingDivisor = 12;         // spots lie the longer side over this apart
    int seedSpacingLeast = 2;            // pixels, at least this
    int blurReduce = 4;                  // a wide blur is done on the plane reduced this many times
    int blurReduceLeastSigma = 4;        // wide: a sigma of at least this many reduced pixels
    int blurReduceLeastSide = 8;         // and a reduced plane at least this many pixels a side

    // The pupil inside a limbus, searched on a plane scaled so the limbus has workRadius pixels.
    double workRadius = 50;   // pixels: fine enough for a pupil's edge, quick for every candidate
    double pupilOffset = 0.2; // limbus radii: greatest distance of the pupil's centre from the limbus's
    double pupilLeast = 0.18; // limbus radii: the smallest and largest pupils of real eyes
    double pupilMost = 0.65;
    double pupilBoxMargin = 0.2;   // limbus radii read beyond the largest pupil's reach
    int leastWorkSide = 4;         // pixels: a smaller work plane holds no pupil
    int spotGrowth = 3;            // pixels, kernel that grows the work plane's reflections
    double workBlur = 1.0;         // pixels of blur on the work plane: texture, not the edge
    double planeBlur = 1.0;        // pixels of blur on the reduced planes an edge is read on
    double edgeBandsPerRadius = 6; // the bands either side of a pupil's edge: its radius over this wide
    int leastEdgeBand = 2;         // pixels, and at least this
    int coarseCentreStep = 2;      // pixels between the centres tried first
    double minPupilEdge = 10;      // grey levels: a weaker step is no pupil
    // A ring of reflections inside a pupil outlines a smaller dark disc: reflections lying all round
    // on and just outside a dark disc's edge mean it is no pupil. A small pupil's own ring of
    // reflections lies inside it; a single corneal reflection covers few directions.
    double maxGlareShare = 0.25;            // of the directions round the disc
    double glareBand[3] = {1.0, 1.15, 1.3}; // radii looked at, in the disc's

    // Limbus candidates.
    int candidatesPerSeed = 3;         // limbus candidates about each dark spot
    int broadSeeds = 3;                // darkest spots searched broadly (the middle of the photo too)
    double leastLimbus = 0.15;         // of the photo's shorter side: a photo to compare shows the eye larger
    double leastPupil = 0.02;          // of the shorter side: the smallest candidate kept
    double minLimbusStep = 8;          // grey levels across the sharp edge
    double seedEyes[2] = {0.15, 0.35}; // limbus radii about a dark spot, in the shorter side
    double minInside = 0.7;            // share of a limbus's circumference inside the photo
    int leastPhotoSide = 16;           // pixels: a smaller photo shows no eye to measure
    double leastGivenLimbus = 4;       // pixels: a smaller limbus given holds no pupil to find
    double sameCircleShare = 0.1;      // candidates this close (of the larger radius) are one

    // The limbus's step, on the sides of the eye that lids seldom cover.
    double lateralDegrees = 40; // either side of the horizontal
    double sharpBand = 0.06;    // limbus radii: bands either side of its sharp edge
    double softBand = 0.15;     // limbus radii: bands either side of a soft edge (infrared)
    int leastBand = 2;          // pixels, the narrowest band
    double sharpReach = 0.05;   // limbus radii: how far the sharp edge is looked for
    int leastReach = 2;         // pixels, and at least this far
    int gridsPerReach = 3;      // the coarse grid: the reach over this
    // A limbus's centre from its pupil's, in limbus radii: small across, smaller in height.
    double sideDecentring = 0.1;
    double heightDecentring = 0.04;
    double settleGridRadius = 60;   // the settling grid: the limbus radius over this, pixels
    double settleRadiusReach = 2;   // the settling radii reach this many sharp reaches
    double typicalLimbusPupils = 3; // pupil radii in a typical limbus
    double limbusGridPupil = 15;    // the search grid about a pupil: its radius over this
    double limbusLeastPupils = 1.5; // limbus radii looked at, in pupil radii
    double limbusMostPupils = 5;
    double limbusMostSide = 0.6; // and at most this share of the plane's shorter side

    // An iris darker than the white of the eye beyond it, measured on the sides.
    double minIrisContrast = 4; // grey levels the white of the eye lies above the iris
    double irisFrom = 0.2;      // of the way from the pupil's edge to the limbus: clear of the pupil
    double irisTo = 0.9;        // limbus radii: clear of the limbus
    double scleraFrom = 1.04;   // limbus radii: the white of the eye just beyond the limbus
    double scleraTo = 1.2;
    double scleraShare = 0.75; // the level read: the white's brighter part, a field stop may darken the rest
    int levelSamples = 6;      // samples along each ray
    int leastLevelSamples = 8; // fewer inside the plane give no level
};

// The rotation between two photos: the unrolled strips, their match and the sectors' fit.
struct RotationTuning {
    // The strip (iris_strip): one column per angle, the iris's rows stretched from the pupil's edge
    // to the limbus, the sclera's rows in limbus radii beyond it.
    int stripColumns = 720; // half a degree each
    int irisRows = 28;      // the iris and the sclera a row about a fortieth of the radius high
    int scleraRows = 12;
    double irisFrom = 0.08;     // of the way from the pupil's edge to the limbus: clear of the edge
    double stripOuter = 1.3;    // limbus radii: the ring of vessels just outside the limbus
    double notionalPupil = 0.4; // limbus radii, where a photo's pupil is not known
    double planeRadius = 160;   // limbus radius, in pixels of the reduced plane the strip is read from
    double planeSlack = 0.1;    // limbus radii read beyond the strip's outer edge, for interpolation
    // Reach of the plane beyond that, in limbus radii: the limbus centre may be corrected by this
    // much and the strip read again from the same plane.
    double planeMargin = 0.15;
    double glareKernelDivisor = 8; // the reflections' top hat: the plane's limbus radius over this, odd
    int glareKernelLeast = 5;      // pixels, at least this
    int glareGrowth = 5;           // pixels, kernel that grows a reflection over its halo
    int seenRowsDivisor = 3;       // an angle is seen when at least its rows over this are

    // Lids: an angle whose grey level does not step up from iris to sclera as on the sides of the eye
    // (or whose iris is not the iris's colour) loses its column.
    double lateralDegrees = 40; // the sides of the eye, either side of the horizontal, seldom covered
    double lidIrisFrom = 0.5;   // the iris's level: rows from this share of the way to the limbus
    double lidIrisTo = 0.92;
    double lidScleraFrom = 1.08; // the sclera's level: rows from this many limbus radii
    double lidScleraTo = 1.28;
    int leastLidSamples = 3;      // pixels seen on each side of the limbus for a level
    double minStepShare = 0.35;   // of the typical iris-to-sclera step, for an angle to count
    double irisTolerance = 0.8;   // of that step: how far the iris's grey level may stray
    double lidContrastFloors = 2; // a typical step under this many contrast floors tells no lids
    double darkSclera = 0.4;      // of the step above the iris: darker sclera pixels are lashes, shadows

    // The texture: each pixel's local contrast. The local mean is taken along the angles and hardly
    // across the radii: what is the same all round (the step at the limbus, the dark limbal ring)
    // then drops out and cannot match at every turn.
    double angleBlur = 6;      // columns
    double radiusBlur = 0.7;   // rows
    int blurPad = 24;          // columns wrapped round either end for the blur: four blurs wide
    double contrastFloor = 2;  // grey levels: flat areas are not amplified beyond this
    double leastWeight = 1e-3; // a masked average's weights below this are taken as this

    // The match (strip_match): masked normalised cross-correlation.
    int sectors = 24;             // of 15 degrees
    int coarseRowReach = 2;       // rows either way, in the halved strips' rows
    int rowReach = 4;             // rows searched either way for a wrong limbus radius or centre
    double minSectorShare = 0.4;  // of a sector's pixels that must be seen in both strips
    double minSectorScore = 0.2;  // correlation a sector's peak must reach
    double minOverlap = 0.15;     // of the strip's pixels seen in both, for a coarse shift to count
    double peakApartDegrees = 15; // the runner-up is the best turn at least this far from the peak
    int firstReach = 12;          // columns searched either way about the coarse turn, first round
    int laterReach = 5;           // and about the corrected turn after it

    // The fit and its judgement (rotation).
    double minVisible = 0.25;        // share of the angles at which both strips see the eye
    double minPeakScore = 0.15;      // correlation of the whole rings at the coarse peak
    double maxRunnerUp = 0.8;        // of the peak: another turn matching nearly as well
    int minSectors = 4;              // sectors matched, and on the fit
    int fullSectors = 8;             // sectors on the fit (of 24) for full confidence: a third of the ring
    double maxSpread = 0.8;          // degrees, robust spread of the sectors about the fit
    double minInliers = 0.6;         // share of the sectors on the fit
    double minConfidence = 0.3;      // a peak this unsure or sectors this scattered are no answer
    double reliableConfidence = 0.5; // from here the development pairs kept their closure within a degree
    double meanRadius = 0.85;        // of the strip's rows, in limbus radii, about where its texture lies
    int centreRounds = 4;            // limbus centre corrections before the final fit
    double centreSettled = 0.002;    // limbus radii: a smaller centre correction ends them
    double centreRidge = 0.5;        // pull of the centre terms towards 0, in sectors' worth
    double rowRidge = 1e-6;          // pull of the common row shift towards 0: keeps the system regular
    int fitRounds = 8;               // reweightings of the sectors' fit
    double minSpread = 0.05;         // degrees: the sectors' spread is taken as at least this
    // Degrees: the turn measured with the photos swapped must cancel the answer this closely. An
    // answer promises a degree; a limbus centre found a little off in one photo, with sectors on one
    // side only, moves the turn one way round and not the other.
    double maxBothWays = 1.0;
    // Height of a strip row in limbus radii: the iris's rows span the pupil's edge to the limbus in 28
    // rows, the sclera's a third of the radius in 12, both about a fortieth of the radius.
    double rowRadii = 0.025;
    double minRowSpread = 0.03;  // rows: the rows' shifts are found to about this
    double rowWeightLeast = 0.1; // bounds on the rows' weight against the angles'
    double rowWeightMost = 4;

    // Carrying a limbus across (limbus_carry): the eye about it matched over the other photo.
    double carryRadius = 24; // limbus radius in the reduced photos, pixels
    double carryReach = 1.6; // half the side of the matched patch, in limbus radii
    double carryScales[8] = {0.85, 0.9, 0.95, 1.0, 1.05, 1.1, 1.15, 1.2};
    double carryDisc = 1.25;     // radius of the matched disc, in limbus radii: lids outside it do not turn
    double carrySoftening = 1.5; // pixels of blur in the reduced photos: fine texture turns with the eye
    double carryMaxTurn = 30;    // degrees the eye is looked for turned either way
    double carryTurnStep = 6;    // degrees
    double carryMinScore = 0.3;  // correlation below which the eye is not found
    double carryLeastRadius = 2; // pixels: a smaller limbus is not carried
    int carryLeastBox = 8;       // pixels, reduced: a smaller patch about the limbus is not matched
    int carryLeastPatch = 4;     // pixels, reduced: nor a smaller scaled patch
    double carryCorrelationLimit = 1.001; // a correlation beyond this came from a flat stretch
};

struct Tuning {
    OutlineTuning outline;
    LimbusTuning limbus;
    RingsTuning rings;
    RotationTuning rotation;
};

// The tuning in force: the defaults, unless an evaluation program set a field.
const Tuning& tuning();

// Sets the field called name ("outline.minAgreement", an array's element as "rings.glareBand.1"). Set
// fields before any analysis runs: they are read without locks. False, with the reason in why, for an
// unknown name or a value outside the field's range (a whole-number field takes whole numbers only).
bool setTuning(const std::string& name, double value, std::string* why = nullptr);

// A field of the tuning as its table lists it.
struct TuningField {
    std::string name;
    double value, least, most; // now, and the range it takes, both ends included
    bool whole;                // takes whole numbers only
    size_t offset, size;       // the bytes it holds within a Tuning
};
std::vector<TuningField> tuningFields();

// Every field's name and its value now, one "name=value" each, for the evaluation programs.
std::vector<std::string> tuningValues();
