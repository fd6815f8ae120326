#pragma once

// How sure an axis read off the gauge is. Each source of error is stated as the half-width, in
// degrees, of the interval that holds the true axis 95 times in 100 ("± 1,2°"):
// - the guide line's step: it moves in whole degrees, so the reading is the nearest whole degree;
// - sighting: the line is judged against marks at some distance from the centre, on a screen whose
//   pixels each cover some photo pixels (zoom counts);
// - the centre: a centre a little off turns the line through a mark by its offset over the mark's
//   distance, unless the line is judged on marks either side of the centre, whose offsets cancel;
// - for an axis carried to another photo, the rotation's own error.
// The step's error is even across a degree; the others are taken as normal, and the half-width of
// their sum is the exact 95 % point of that mixture, not a rule of thumb.
namespace reading_error {

// What the program knows of one reading of the guide line.
struct AxisReading {
    double stepDegrees = 1;    // the guide line's step; 0 for an axis not read off the gauge
    double markRadius = 0;     // photo pixels from the centre to where the line is judged
    double photoPerScreen = 1; // photo pixels per screen pixel of the view the line was laid in
    double centreSigma = 0;    // photo pixels: the centre's standard error along each direction
    // The line judged on marks either side of the centre (a lens's marks, an axis across the eye):
    // the centre's offset moves both marks' distances alike and cancels, and the two sightings
    // average. False for a single mark on one side.
    bool bothSides = true;
};

// How the centre was placed, and the standard error that leaves, in photo pixels along a direction.
enum class CentrePlacement { Dragged, Nudged, Found };
// photoPerScreen: of the view in which it was dragged or nudged; fitError: the outline fit's standard
// error of its centre, for a centre found by a double-click.
double centreSigma(CentrePlacement placement, double photoPerScreen, double fitError = 0);

// The distance at which the line is judged when nothing better is known: the limbus's radius where one
// is known, else this share of the photo's shorter side (a limbus in a typical eye photo).
constexpr double kDefaultMarkShare = 0.25;
double defaultMarkRadius(double limbusRadius, int photoWidth, int photoHeight);

// A reading's error as its parts and the whole, each a 95 % half-width in degrees.
struct AxisError {
    double step = 0, sighting = 0, centre = 0;
    double total = 0;
};
AxisError axisError(const AxisReading& reading);

// The rotation between two photos: its own standard error (the sectors' fit) with a floor below
// which the real captures' consistency does not go.
constexpr double kRotationFloorSigma = 0.12; // degrees
double rotationSigma(double turnError);
double rotationHalfWidth(double turnError);

// An axis read on one photo and carried to another by a rotation: both errors together.
double carriedHalfWidth(const AxisReading& reading, double turnError);

// The 95 % half-width of an even error across [-w/2, w/2] plus an independent normal one of standard
// deviation sigma (either may be 0).
double halfWidth95(double evenWidth, double sigma);

// The standard deviation of the normal part of a reading, in degrees: sighting and centre together.
double normalSigma(const AxisReading& reading);

} // namespace reading_error
