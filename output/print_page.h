#pragma once

#include "output/print_layout.h"
#include "output/printer_backend.h"

#include <QPageLayout>

class QIODevice;

namespace output {

// Writes the job as a one-page PDF of the given page layout to an open device: the composite,
// smoothly scaled, fills its box, placed from the top-left corner of the layout's paint area.
// Returns the reason when the page cannot be written, else an empty string.
QString writePdfPage(QIODevice* device, const QPageLayout& layout, int resolution, const PrintJob& job);

// The name proposed for a PDF file: beside the photo, its name with the suffix and ".pdf"; after a
// paste (no source path) the name last chosen.
QString proposedPdfName(const QString& sourcePath, const QString& lastName,
                        const QString& suffix = QStringLiteral("_ang"));

// The reduced copy of the composite the preview is drawn from: long side about 1000 pixels.
QImage previewSource(const QImage& composite);
constexpr int kPreviewSourceSide = 1000;
// A smaller copy of that for the usual boxes, at most twice the preview area's height on a side:
// scaling from it costs a fraction of scaling from the larger one.
QImage smallPreviewSource(const QImage& reduced);

// The page picture: white with a black outline, the composite scaled into its box and cut at the
// picture's edges; from the small copy when the box fits in it.
QImage drawPreviewPicture(const PreviewGeometry& geometry, const QImage& source,
                          const QImage& small = QImage());

} // namespace output
