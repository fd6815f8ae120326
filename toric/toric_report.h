#pragma once

#include "toric/toric.h"

#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

// The toric lens check as one printed page: the photos, the values and the results. The print layout
// dialog places it like any composite from a picture of the page, and prints it by drawing the page
// again on the printer, so that its text stays text.
namespace toric {

struct ReportInputs {
    QImage current;   // the current photo with the gauge, as it would be saved
    QImage reference; // the reference photo of the comparison; null without one
    QString currentName, referenceName;
    QDateTime currentDate, referenceDate; // the files' dates; invalid when unknown
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

// Draws the page in the current language on a white page of kReportDpi pixels per inch.
void paintReport(QPainter& painter, const ReportInputs& report);
// The page as a picture, at kReportDpi with that resolution recorded.
QImage renderReport(const ReportInputs& report);

} // namespace toric
