#pragma once

#include <QRect>
#include <QSize>

// Placing the composite on one printed page: pure functions over the layout quantities. Every
// quantity is stored in single precision; each formula is evaluated in double precision and every
// conversion to an integer rounds halves to the even neighbour.
namespace output {

// The printable area of the current printer.
struct PrinterMetrics {
    float PageWidthPx = 0, PageHeightPx = 0; // printable area in printer pixels
    float PrinterDpiX = 0, PrinterDpiY = 0;
    float PageAspect = 0;
    float PageWidthMm = 0, PageHeightMm = 0;
};

// The composite's size and resolution.
struct ImageMetrics {
    float ImageWidthPx = 0, ImageHeightPx = 0;
    float ImageDpiX = 0, ImageDpiY = 0;
    float ImageAspect = 0;
    float ImageWidthMm = 0, ImageHeightMm = 0;
};

// The printed size of the composite and the ranges of the two offset fields, in millimetres.
struct PrintLayout {
    float PrintDpiX = 0, PrintDpiY = 0;
    float PrintWidthMm = 0, PrintHeightMm = 0;
    int topMinimum = 0, topMaximum = 0;
    int leftMinimum = 0, leftMaximum = 0;
};

// A resolution the platform does not know (0 or less) counts as the screen's 96 pixels per inch,
// so a layout never divides by zero.
constexpr double kFallbackDpi = 96.0;

PrinterMetrics ReadPrinterMetrics(double pageWidthPx, double pageHeightPx, double dpiX, double dpiY);
ImageMetrics ReadImageMetrics(int widthPx, int heightPx, double dpiX, double dpiY);

// The percentages of the printed size go from 1 to 10,000: far beyond any page, and the
// millimetres they give stay well inside the int range of the offset fields.
constexpr int kMinPercent = 1;
constexpr int kMaxPercent = 10000;

// Fit to the printable area at 100 %, then the two percentages applied, each held to its range.
PrintLayout UpdateLayout(const PrinterMetrics& page, const ImageMetrics& image, int widthPercent,
                         int heightPercent);

// The offsets that centre the printed composite on the printable area.
struct Offsets {
    int top = 0;
    int left = 0;
};
Offsets centredOffsets(const PrinterMetrics& page, const PrintLayout& layout);

// The preview: the page picture inside a 180 x 240 area and the composite's box on it, which may
// reach beyond the picture's edges.
struct PreviewGeometry {
    QSize page;
    QRect image;
};
constexpr int kPreviewWidth = 180;
constexpr int kPreviewHeight = 240;
PreviewGeometry previewGeometry(const PrinterMetrics& page, const PrintLayout& layout, int posLeft,
                                int posTop);

} // namespace output
