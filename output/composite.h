#pragma once

#include "gauge/gauge_settings.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>

// The composite: the photo at its own resolution with the gauge, the reference, the brand images
// and the two labels burned in. Everything here works on values, so it runs without a window.

// Everything the composite depends on, read from the windows at the moment of rendering.
struct CompositeInputs {
    QImage photo;
    float centreOffsetX = 0.0f; // fractions of width and height from the photo's middle
    float centreOffsetY = 0.0f;
    int centreSize = 10; // diameter of the centre mark in percent of the shorter side
    GaugeSettings settings;
    bool guideShown = false;
    int guideDegrees = 15;
    bool sectorShown = false;
    int sectorStart = 25;
    int sectorEnd = 50;
    QString sectorReadout; // the text the tool panel's sector width readout shows
    bool leftEye = false;  // rbOI rather than rbOD
    QString reference;
    // Set once the guide line was carried across from a reference photo of the same eye.
    std::optional<double> rotationDegrees;
    QString rotationReference; // that photo's file name
    // The toric lens check's results while its window is open, for the measurement text.
    QString toricCheck;
    QImage brandLogo;
    QImage brandLettering;
    // Catalogue look-up for the two labels; the text itself when unset.
    std::function<QString(const QString&)> translate;
};

// The same inputs with the labels' catalogue look-ups made now, for a composite drawn on another
// thread: the language may be switched meanwhile, and the catalogue is not to be read from two threads.
CompositeInputs withLabelsLookedUp(CompositeInputs in);

// Transparency in percent to an alpha value: 0 opaque (255) .. 100 invisible (0).
int alphaForTransparency(int percent);
// Thickness index 0, 1, 2 to a pen width of 4, 12, 20 pixels.
int penWidthForThickness(int index);

// Positions and sizes of the composite, all in photo pixels.
struct CompositeLayout {
    int width = 0, height = 0;
    int shorterSide = 0, reach = 0; // S and L
    int cx = 0, cy = 0;
    int markRadius = 0;    // m: centre mark radius, inner end of the template rays
    int edgeDistance = 0;  // A: from the centre to the nearest edge, negative outside the photo
    int numberRadius = 0;  // B: template numbers
    int guideRadius = 0;   // rG: guide line number
    int sectorRadius = 0;  // rS: sector numbers
    int numberFont = 0;    // fN, pixel sizes of the fonts
    int referenceFont = 0; // fR
    int eyeFont = 0;       // fL
    int deltaFont = 0;     // fD
    QRectF logoBox;
    QRectF letteringBox;
    QRectF bandBox;
    QRectF eyeBox;   // needs the eye font's line spacing
    QRectF deltaBox; // needs the delta font's line spacing
    double referenceLineSpacing = 0;
};

// Line spacing in pixels of the composite's serif face at a pixel size; 0 for size 0.
double serifLineSpacing(int pixelSize);

CompositeLayout compositeLayout(int width, int height, float offsetX, float offsetY, int centreSize,
                                const QSize& logoSize, const QSize& letteringSize);

struct CompositeResult {
    QImage image;  // null when the composite could not be made
    QString error; // why, when image is null
    bool ok() const { return !image.isNull(); }
};

// Renders the composite, a new image of the photo's size and pixel format, drawn in horizontal
// tiles on up to `threads` threads (0 chooses from the machine); the pixels do not depend on the
// number of threads. Fails only when the photo is missing or memory runs out.
CompositeResult renderComposite(const CompositeInputs& in, int threads = 0);
