#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>

#include <vector>

// Gauge geometry shared by the screen overlay, the pointer and the composite.

// Pixel centre of the gauge on a W x H surface: the offsets are fractions of width and height
// from the middle, stored in single precision and widened before the arithmetic.
QPoint gaugeCentre(int width, int height, float offsetX, float offsetY);

// The point at angle alphaDeg (0 right, counter-clockwise on screen) and distance r from c,
// each coordinate rounded by itself.
QPoint pointAt(const QPoint& c, double alphaDeg, double r);

// Radii of the gauge on a W x H surface with the centre size P (percent of the shorter side).
struct GaugeRadii {
    int centre = 0; // rC: centre mark radius, inner end of the template rays
    int reach = 0;  // rL: outer end of every ray
    int number = 0; // rN: distance of the numbers; zero or negative near an edge
};
GaugeRadii gaugeRadii(int width, int height, int centreSize, const QPoint& centre);

// Where the gauge's own numbers sit, as shares of the template numbers' distance from the centre: the
// guide line's number just inside them, the sector's further in, and on the saved photo, whose type
// is larger, further in still. The screen, the zoomed view and the saved photo all read them here.
struct GaugeProportions {
    static constexpr double guideNumber = 0.94;
    static constexpr double sectorNumber = 0.88;
    static constexpr double savedSectorNumber = 0.86;
    // The saved photo's template numbers: this share of the centre's distance to the nearest edge.
    static constexpr double savedNumberReach = 0.95;
};

// The sector width |start - end| in 64 bits: typed angles may be any int, and their difference
// need not fit in one.
qint64 sectorWidth(int start, int end);

// Label size in points for a surface W pixels wide; 0 means the default text size.
int labelPointSize(int width);

// Pen width of a thickness choice: "Fina" 3, "Mediana" 5, "Gruesa" 7; anything else draws thin.
int thicknessPenWidth(int index);

// The direction of one template ray, shared by the screen and the composite: the point at
// distance r is (cx + round(r * cos), cy - round(r * sin)). Rounding to nearest-even is symmetric,
// so a ray opposite another mirrors its pixels exactly.
struct TemplateDirection {
    double cos = 1;
    double sin = 0;
    bool axis = false; // the rays at 0, 90, 180 and 270 degrees
    QString text;      // its number on the 0..180 axis scale; empty when it carries none
};
// For step 10 or 5 (any other step as 10): four rays a pass, at theta, theta + 180, theta + 90
// and theta + 270 for theta = 0, step, ... below 90; numbered at multiples of 10, by axis (both
// ends of a diameter carry the same number, but 0 on the right and 180 on the left).
std::vector<TemplateDirection> templateDirections(int step);
QPoint pointAlong(const QPoint& c, const TemplateDirection& d, double r);

// One ray of the screen template with its number, in drawing order.
struct TemplateRay {
    QPoint inner; // at rC
    QPoint outer; // at rL
    QPoint label; // at rN
    QString text; // empty when the ray carries no number
    int penWidth; // 2 on the axes, 1 elsewhere
};
// The screen template: templateDirections between rC and rL, numbers at rN.
std::vector<TemplateRay> templateRays(const QPoint& centre, const GaugeRadii& radii, int step);

// Where the pointer at (x, y) on the overlay layer stands relative to the unrounded gauge centre.
struct PointerGeometry {
    float dx = 0;        // rightward
    float dy = 0;        // upward
    float angle = 0;     // a: -180..180 degrees, counter-clockwise from the right
    float angle360 = 0;  // a360: 0..<360, a full direction (sector rays)
    float angle180 = 0;  // a180: 0..180, both halves of a line folded (guide line)
    double distance = 0; // d
    float hitRadius = 0; // min(W, H) * P / 200, not truncated
};
PointerGeometry pointerGeometry(int x, int y, int width, int height, float offsetX, float offsetY,
                                int centreSize);

// The gauge centre on a zoomed view, in continuous coordinates of the W x H fitted layer (pixel i
// covering [i, i + 1)): the middle of the photo pixel the composite centres on, before rounding.
// Seen closely, the fitted layer's whole-pixel centre would stand up to half a layer pixel, several
// photo pixels, away from where the saved photo puts it.
QPointF gaugeCentreOnLayer(const QSize& layer, const QSize& photo, float offsetX, float offsetY);
// The pointer at a continuous layer point of a zoomed view, measured from gaugeCentreOnLayer in
// layer pixels, so that angles, the hit radius and the grab rule are those of the fitted view.
PointerGeometry pointerGeometryOnLayer(const QPointF& layerPoint, const QSize& layer, const QSize& photo,
                                       float offsetX, float offsetY, int centreSize);

enum GaugeGrab { GrabNone = 0, GrabCentre = 1, GrabGuide = 2, GrabSectorStart = 3, GrabSectorEnd = 4 };

// The angle fields and check boxes the grab rule looks at.
struct GrabbableAngles {
    int guide = 15;
    int sectorStart = 25;
    int sectorEnd = 50;
    bool guideShown = false;
    bool sectorShown = false;
};
// What a press at this pointer would drag: the centre first, then the sector start, the sector
// end and the guide line, each within half a degree (no wrap-around) and only when shown.
GaugeGrab grabTargetAt(const PointerGeometry& p, const GrabbableAngles& angles);

// The value an angle drag writes into its field; GrabNone and GrabCentre have none (-1).
int dragAngleValue(GaugeGrab target, const PointerGeometry& p);
