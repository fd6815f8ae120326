#include "output/print_layout.h"

#include "imaging/rounding.h"

#include <algorithm>
#include <cstdint>

namespace output {

namespace {

constexpr double kMmPerInch = 25.4;

double knownDpi(double dpi) {
    return dpi > 0 ? dpi : kFallbackDpi;
}

// A preview position far beyond the page picture draws nothing; keeping it within this bound keeps
// the arithmetic in range whatever a field holds.
constexpr int kPositionBound = 1 << 20;

int previewPosition(int offsetMm, int pictureSide, float pageMm) {
    const std::int64_t product = std::int64_t(offsetMm) * pictureSide; // an integer product
    const double position = pageMm > 0 ? double(product) / double(pageMm) : 0.0;
    return roundHalfEven(std::clamp(position, -double(kPositionBound), double(kPositionBound)));
}

int previewLength(int pictureSide, float printedMm, float pageMm) {
    const double length = pageMm > 0 ? pictureSide * double(printedMm) / double(pageMm) : 0.0;
    return roundHalfEven(std::min(length, double(kPositionBound)));
}

} // namespace

PrinterMetrics ReadPrinterMetrics(double pageWidthPx, double pageHeightPx, double dpiX, double dpiY) {
    PrinterMetrics m;
    m.PrinterDpiX = float(knownDpi(dpiX));
    m.PrinterDpiY = float(knownDpi(dpiY));
    m.PageWidthPx = float(pageWidthPx);
    m.PageHeightPx = float(pageHeightPx);
    m.PageAspect = m.PageHeightPx > 0 ? float(double(m.PageWidthPx) / double(m.PageHeightPx)) : 1.0f;
    m.PageWidthMm = float(kMmPerInch * double(m.PageWidthPx) / double(m.PrinterDpiX));
    m.PageHeightMm = float(kMmPerInch * double(m.PageHeightPx) / double(m.PrinterDpiY));
    return m;
}

ImageMetrics ReadImageMetrics(int widthPx, int heightPx, double dpiX, double dpiY) {
    ImageMetrics m;
    m.ImageDpiX = float(knownDpi(dpiX));
    m.ImageDpiY = float(knownDpi(dpiY));
    m.ImageWidthPx = float(widthPx);
    m.ImageHeightPx = float(heightPx);
    m.ImageAspect = heightPx > 0 ? float(double(widthPx) / double(heightPx)) : 1.0f;
    m.ImageWidthMm = float(kMmPerInch * double(m.ImageWidthPx) / double(m.ImageDpiX));
    m.ImageHeightMm = float(kMmPerInch * double(m.ImageHeightPx) / double(m.ImageDpiY));
    return m;
}

PrintLayout UpdateLayout(const PrinterMetrics& page, const ImageMetrics& image, int widthPercent,
                         int heightPercent) {
    PrintLayout l;
    // The page being relatively wider (a tie included), the height fills the printable height. The
    // aspect compared is that of the composite's printed shape, which is its pixel aspect unless its
    // two resolutions differ; with the pixel aspect such a composite could overflow the page.
    const float shapeAspect = image.ImageDpiX == image.ImageDpiY
                                  ? image.ImageAspect
                                  : float(double(image.ImageAspect) * image.ImageDpiY / image.ImageDpiX);
    const bool byHeight = page.PageAspect >= shapeAspect;
    const double ratio = byHeight ? double(image.ImageHeightMm) / double(page.PageHeightMm)
                                  : double(image.ImageWidthMm) / double(page.PageWidthMm);
    l.PrintDpiX = float(double(image.ImageDpiX) * ratio);
    l.PrintDpiY = float(double(image.ImageDpiY) * ratio);

    l.PrintDpiX = float(double(l.PrintDpiX) / (std::clamp(widthPercent, kMinPercent, kMaxPercent) / 100.0));
    l.PrintDpiY = float(double(l.PrintDpiY) / (std::clamp(heightPercent, kMinPercent, kMaxPercent) / 100.0));

    l.PrintWidthMm = float(kMmPerInch * double(image.ImageWidthPx) / double(l.PrintDpiX));
    l.PrintHeightMm = float(kMmPerInch * double(image.ImageHeightPx) / double(l.PrintDpiY));

    l.topMinimum = roundHalfEven(-double(l.PrintHeightMm));
    l.topMaximum = roundHalfEven(double(page.PageHeightMm));
    l.leftMinimum = roundHalfEven(-double(l.PrintWidthMm));
    l.leftMaximum = roundHalfEven(double(page.PageWidthMm));
    return l;
}

Offsets centredOffsets(const PrinterMetrics& page, const PrintLayout& layout) {
    Offsets o;
    o.top = roundHalfEven((double(page.PageHeightMm) - double(layout.PrintHeightMm)) / 2);
    o.left = roundHalfEven((double(page.PageWidthMm) - double(layout.PrintWidthMm)) / 2);
    return o;
}

PreviewGeometry previewGeometry(const PrinterMetrics& page, const PrintLayout& layout, int posLeft,
                                int posTop) {
    PreviewGeometry g;
    int w = kPreviewWidth;
    int h = kPreviewHeight;
    if (page.PageAspect > 1)
        h = roundHalfEven(kPreviewWidth / double(page.PageAspect));
    else
        w = roundHalfEven(kPreviewHeight * double(page.PageAspect));
    g.page = QSize(w, h);
    const int tw = previewLength(w, layout.PrintWidthMm, page.PageWidthMm);
    const int th = previewLength(h, layout.PrintHeightMm, page.PageHeightMm);
    g.image = QRect(previewPosition(posLeft, w, page.PageWidthMm),
                    previewPosition(posTop, h, page.PageHeightMm), tw, th);
    return g;
}

} // namespace output
