#include "output/print_page.h"

#include "imaging/imaging.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>

#include <new>

namespace output {

QString writePdfPage(QIODevice* device, const QPageLayout& layout, int resolution, const PrintJob& job) {
    try {
        QPdfWriter writer(device);
        writer.setResolution(resolution);
        if (!writer.setPageLayout(layout))
            return QStringLiteral("The page size is not valid");
        writer.setTitle(job.title);
        writer.setCreator(job.title);
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("The page cannot be written");
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const double pxPerMm = resolution / 25.4;
        const QRectF& mm = job.placementMm;
        const QRectF box(mm.x() * pxPerMm, mm.y() * pxPerMm, mm.width() * pxPerMm, mm.height() * pxPerMm);
        if (job.drawPage && !job.image.isNull()) {
            painter.translate(box.topLeft());
            painter.scale(box.width() / job.image.width(), box.height() / job.image.height());
            job.drawPage(painter);
        } else {
            painter.drawImage(box, job.image);
        }
        if (!painter.end())
            return QStringLiteral("The page cannot be written");
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Not enough memory to print the image");
    }
    return QString();
}

QString proposedPdfName(const QString& sourcePath, const QString& lastName, const QString& suffix) {
    if (sourcePath.isEmpty())
        return lastName;
    const QFileInfo source(sourcePath);
    return QDir(source.absolutePath()).filePath(source.completeBaseName() + suffix + QStringLiteral(".pdf"));
}

QImage previewSource(const QImage& composite) {
    const QSize box(kPreviewSourceSide, kPreviewSourceSide);
    if (composite.width() <= box.width() && composite.height() <= box.height())
        return composite;
    return imaging::thumbnail(composite, box);
}

QImage smallPreviewSource(const QImage& reduced) {
    const QSize box(2 * kPreviewHeight, 2 * kPreviewHeight);
    if (reduced.width() <= box.width() && reduced.height() <= box.height())
        return QImage();
    return imaging::thumbnail(reduced, box);
}

QImage drawPreviewPicture(const PreviewGeometry& geometry, const QImage& large, const QImage& small) {
    QImage picture(geometry.page, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.drawRect(QRect(QPoint(0, 0), geometry.page).adjusted(0, 0, -1, -1));
    const QRect& box = geometry.image;
    const bool smallSuffices =
        !small.isNull() && box.width() <= small.width() && box.height() <= small.height();
    const QImage& source = smallSuffices ? small : large;
    if (box.isEmpty() || source.isNull())
        return picture;
    // A box no larger than a few pictures is scaled exactly to its size; a larger one (a large
    // percentage) is drawn through the painter, which scales only the part inside the picture.
    if (box.width() <= 4 * kPreviewWidth && box.height() <= 4 * kPreviewHeight) {
        painter.drawImage(box.topLeft(), imaging::scaledTo(source, box.width(), box.height()));
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(box, source);
    }
    return picture;
}

} // namespace output
