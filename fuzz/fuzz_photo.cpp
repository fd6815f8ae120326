// libFuzzer target: the path a photo takes through the program, from bytes to screen and composite.
// Decoding by content, fitting into the screen panel, the screen overlay and the composite.
#include "gauge/overlay.h"
#include "imaging/fit.h"
#include "imaging/imaging.h"
#include "output/composite.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace {

// Small enough that one input decodes and renders in milliseconds (a megapixel of 32-bit pixels).
constexpr int kFuzzAllocationLimitMB = 4;

struct Fixture {
    QImage logo, lettering;
};
const Fixture* fixture = nullptr;

void renderScreen(const QImage& photo) {
    const QRect r = fitPhotoRect(729, 606, photo.width(), photo.height());
    const QImage shown = imaging::scaledTo(photo, r.width(), r.height());
    if (!r.isEmpty() && shown.size() != r.size())
        qFatal("the display bitmap is %dx%d, not the fitted %dx%d", shown.width(), shown.height(), r.width(),
               r.height());
    GaugeInputs in;
    in.layer = r.size();
    in.offsetX = 0.1f;
    in.offsetY = -0.2f;
    in.guideShown = in.sectorShown = true;
    renderOverlay(in);
    renderCentreMark(in);
}

void renderOutput(const QImage& photo) {
    CompositeInputs in;
    in.photo = photo;
    in.centreOffsetX = -0.3f;
    in.guideShown = in.sectorShown = true;
    in.sectorReadout = QStringLiteral("25");
    in.reference = QStringLiteral("Paciente");
    in.brandLogo = fixture->logo;
    in.brandLettering = fixture->lettering;
    renderComposite(in, 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen"); // the fonts need a GUI application, not a display
    new QGuiApplication(*argc, *argv);       // lives for the whole run
    auto* f = new Fixture;
    f->logo = imaging::decodeFile(QStringLiteral(PELVANOR_SOURCE_DIR "/resources/marcalogo.tif")).image;
    f->lettering = imaging::decodeFile(QStringLiteral(PELVANOR_SOURCE_DIR "/resources/marcatexto.tif")).image;
    if (f->logo.isNull() || f->lettering.isNull())
        qFatal("brand images missing");
    fixture = f;
    QImageReader::setAllocationLimit(kFuzzAllocationLimitMB);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false")); // one complaint per input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const imaging::Decoded decoded =
        imaging::decodeBytes(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)));
    if (!decoded.ok()) {
        if (decoded.error.isEmpty())
            qFatal("a failed decode gave no reason");
        return 0;
    }
    renderScreen(decoded.image);
    renderOutput(decoded.image);
    return 0;
}
