#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;
class QWidget;

// The printable area of the current destination: its size in device pixels and the device's
// resolution in pixels per inch.
struct PrintableArea {
    double widthPx = 0, heightPx = 0;
    double dpiX = 0, dpiY = 0;
};

// One page to print: the composite with its box in millimetres from the printable area's top-left
// corner. The PDF file destination writes to pdfPath.
struct PrintJob {
    QImage image;
    // When set, draws the page in the image's pixel coordinates in place of the image: a page of
    // text prints as text, not as a picture of it.
    std::function<void(QPainter&)> drawPage;
    QRectF placementMm;
    int copies = 1;
    QString title;
    QString pdfPath;
};

// The platform's printers and the program's current destination, one for the whole run. The
// destination "PDF file" is always there and has the empty name.
class PrinterBackend {
public:
    virtual ~PrinterBackend() = default;
    // The installed printers in the platform's order, asked anew on each call.
    virtual QStringList printerNames() = 0;
    // The system's default printer; the PDF file destination (empty) when there is none.
    virtual QString defaultPrinter() = 0;
    virtual QString currentPrinter() = 0;
    virtual void setCurrentPrinter(const QString& name) = 0;
    // Of the current destination's paper and orientation, with the page margins at the device's
    // minimum.
    virtual PrintableArea printableArea() = 0;
    virtual int copies() = 0;
    // The printer setup for the current destination (destination, paper, orientation, copies); true
    // when confirmed.
    virtual bool setup(QWidget* parent) = 0;
    // Prints one page; throws std::runtime_error with the reason when that fails. Nothing is left
    // half written: a PDF file appears complete or not at all.
    virtual void print(const PrintJob& job) = 0;
};

// The program's printers through Qt and CUPS (defined in the windows library).
PrinterBackend& qtPrinterBackend();
