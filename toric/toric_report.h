#pragma once

#include "toric/toric.h"

#include <QDate>
#include <QImage>
#include <QRectF>
#include <QString>

// The toric lens check as one printed page: the photos, the values and the results, drawn as a
// picture of an A4 page that the print layout dialog places like any composite.
namespace toric {

struct ReportInputs {
    QImage current;   // the current photo with the gauge, as it would be saved
    QImage reference; // the reference photo of the comparison; null without one
    QString referenceName;
    bool leftEye = false;
    QString referenceText; // the main window's free-text reference
    QDate date;
    Inputs inputs;
};

// The page and where its parts lie, in millimetres from the page's top-left corner.
constexpr double kReportWidthMm = 210;
constexpr double kReportHeightMm = 297;
constexpr int kReportDpi = 300;
struct ReportLayout {
    QRectF current;     // the current photo, fitted into its box and centred in it
    QRectF reference;   // empty without a reference photo
    double textTop = 0; // where the values begin
};
ReportLayout reportLayout(const QSize& current, const QSize& reference);

// The page in the current language, white, at kReportDpi with that resolution recorded.
QImage renderReport(const ReportInputs& report);

} // namespace toric
