#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSize>

#include <cstdint>

// Photos of eyes drawn from parameters, so that the true centres of the pupil and the limbus are
// known: dark pupil, textured iris with a darker limbal ring, white sclera with red vessels, an
// upper lid with lashes hiding part of the limbus, a corneal reflection, sensor noise, a mild blur
// and JPEG compression.
struct EyeSpec {
    QSize size{1224, 816};
    QPointF limbusCentre{612, 408}; // in photo pixels
    double limbusRadius = 200;      // semi-major axis of the limbus
    double pupilRatio = 0.35;       // pupil semi-major axis / limbus semi-major axis
    QPointF pupilShift{0, 0};       // pupil centre from the limbus centre, in limbus radii
    double roundness = 1.0;         // minor / major axis of both outlines
    double tiltDegrees = 0;         // direction of the major axis
    double lidCover = 0.2;          // share of the limbus circumference behind the upper lid
    QPointF reflection{0.25, -0.3}; // centre of the corneal reflection, in limbus radii
    QColor iris{110, 80, 50};
    QColor pupil{22, 18, 18};
    double blur = 1.0;    // box blur radius, in pixels per 1000 pixels of the photo's longer side
    int jpegQuality = 85; // 0: no compression
    uint32_t seed = 1;
};

struct SyntheticEye {
    QImage photo;
    QPointF limbusCentre;
    QPointF pupilCentre;
    double limbusRadius = 0; // mean of the semi-axes
    double pupilRadius = 0;
    double reflectionRadius = 0;
    QPointF reflectionCentre;
    // The upper lid hides everything outside this circle.
    QPointF lidCircleCentre;
    double lidCircleRadius = 0;
};

SyntheticEye makeSyntheticEye(const EyeSpec& spec);

// A fundus photo: a round orange field on black with vessels and a bright optic disc; with a tab, the
// small bright bump that fundus cameras put on the field's edge, at its upper right.
QImage makeSyntheticFundus(const QSize& size, const QPointF& centre, double radius, uint32_t seed,
                           bool tab = false);

// Mild box blur and JPEG round trip, as a camera would deliver the photo.
QImage degrade(const QImage& image, int blurRadius, int jpegQuality);
