#pragma once

#include "circle_fit.h"

#include <QImage>

#include <atomic>
#include <cmath>
#include <optional>

// How far the eye in a current photo is turned against a reference photo of the same eye: the
// rings about both limbi unrolled into strips and matched, first round the whole circle, then
// sector by sector with a robust fit that also takes out a limbus centre found slightly off, and
// last measured again the other way round, which must give the same turn back.
//
// The steps, a file each: eye_rings finds each photo's limbus and pupil (from dark_spots and
// eye_planes), limbus_carry carries a limbus across when a photo's own is not found, iris_strip
// unrolls the rings, strip_match matches the strips whole and by sector, and rotation.cpp fits the
// sectors and judges the answer. Every threshold is a field of RingsTuning or RotationTuning
// (tuning.h); the words for the answer are in output/rotation_report.

// Why no rotation was given; output/rotation_report words it for the user.
enum class RotationRefusal {
    None,
    NoReferenceLimbus,
    NoCurrentLimbus,
    TooLittleIris,
    PhotosDoNotMatch,
    Cancelled
};

// The check that refused, for the evaluation programs.
enum class RotationCheck {
    None,
    ReferenceLimbus,
    CurrentLimbus,
    VisibleShare,
    PeakScore,
    RunnerUp,
    Sectors,
    Inliers,
    Spread,
    Confidence,
    BothWays,
    Cancelled
};
// The check's stable name ("visible share", "runner-up", ...); "?" for none.
const char* checkName(RotationCheck check);

struct RotationResult {
    bool measured = false;
    // Degrees, -180..180, positive counter-clockwise on the screen: a landmark at angle a about the
    // reference limbus lies at a + degrees about the current one.
    double degrees = 0;
    double confidence = 0;                           // 0..1
    RotationRefusal refusal = RotationRefusal::None; // why nothing was measured
    RotationCheck check = RotationCheck::None;       // the check that refused
    // What that check measured and the limit it measured against, for the evaluation programs; NaN for
    // a check that measures no single number (no limbus, cancelled).
    double checkValue = NAN, checkLimit = NAN;
    std::optional<Circle> referenceLimbus, currentLimbus; // in photo pixels, pixel i covering [i, i + 1)
    int sectors = 0;                                      // sectors of the ring that agreed
    // What the confidence was made of, for the evaluation programs: the whole rings' correlation at
    // the best turn and at the best turn well apart from it, and the sectors' spread about the fit.
    double peakScore = 0, runnerUp = 0, spread = 0;
    double turnError = 0; // the turn's standard error from the sectors' fit, degrees
    // How one-sided the sectors on the fit are: the length of their directions' mean, 0 (all round,
    // or both sides alike) to 1 (all in one direction).
    double lopsidedness = 0;
    // How far the turn measured the other way round, with the photos swapped, fails to cancel this
    // answer, in degrees; 0 when that measure gave no answer.
    double bothWays = 0;
};

// Limbi given are used as they stand (the user placed them); the others are looked for. When cancel
// is given and becomes true, the measure stops at its next step and refuses as cancelled.
RotationResult measureRotation(const QImage& reference, const QImage& current,
                               std::optional<Circle> referenceLimbus = std::nullopt,
                               std::optional<Circle> currentLimbus = std::nullopt,
                               const std::atomic<bool>* cancel = nullptr);

// How far an answer can be trusted: at the tuning's reliableConfidence and above, the development
// pairs kept their closure within a degree; answers below it are to be checked against landmarks.
enum class RotationTrust { Reliable, Check, Refused };
RotationTrust rotationTrust(const RotationResult& result);

// Angle of a point about a centre, degrees counter-clockwise on the screen from the right, 0..360.
double screenAngle(const QPointF& centre, const QPointF& point);
// An angle brought into -180..180.
double wrapDegrees(double degrees);
