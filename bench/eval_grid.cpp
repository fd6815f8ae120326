#include "analysis/round_outline.h"
#include "eval_fields.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>

#include <cstdio>
#include <optional>
#include <vector>

int lookAtGrid(const QString& folder, const QString& dumpDir, const QStringList& sources, int n) {
    const QStringList files =
        QDir(folder).entryList({"*.jpg", "*.jpeg", "*.png", "*.tif", "*.bmp"}, QDir::Files);
    int clicks = 0, answered = 0;
    for (const QString& file : files) {
        if (!sources.isEmpty() && !sources.contains(file.section('_', 1, 1)))
            continue;
        QImageReader reader(QDir(folder).filePath(file));
        reader.setAutoTransform(true);
        QImage photo = reader.read().convertToFormat(QImage::Format_RGB32);
        if (photo.isNull())
            continue;
        QPainter p(&photo);
        const double w = std::max(1.0, photo.width() / 500.0);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                const QPointF target(photo.width() * (0.2 + 0.6 * (i + 0.5) / n),
                                     photo.height() * (0.2 + 0.6 * (j + 0.5) / n));
                const QPointF point = windowClick(photo.size(), target);
                const OutlineSearch s = searchRoundOutline(photo, point);
                ++clicks;
                answered += bool(s.outline);
                std::printf("%-32s at %7.1f %7.1f -> ", qPrintable(file), point.x(), point.y());
                if (s.outline)
                    std::printf("%7.1f %7.1f r %6.1f\n", s.outline->centre.x(), s.outline->centre.y(),
                                s.outline->radius);
                else
                    std::printf("nothing  [refused: %s]\n", refusalText(s.refusedBy).c_str());
                const QColor colour = QColor::fromHsv((37 * (j * n + i)) % 360, 255, 255);
                p.setPen(QPen(s.outline ? colour : Qt::red, w));
                p.drawLine(point - QPointF(3 * w, 0), point + QPointF(3 * w, 0));
                p.drawLine(point - QPointF(0, 3 * w), point + QPointF(0, 3 * w));
                if (s.outline)
                    p.drawEllipse(s.outline->centre, s.outline->radius, s.outline->radius);
            }
        p.end();
        if (!dumpDir.isEmpty())
            photo.save(QDir(dumpDir).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".png")));
    }
    std::printf("\n%d clicks, %d answered\n", clicks, answered);
    return clicks ? 0 : 2;
}
