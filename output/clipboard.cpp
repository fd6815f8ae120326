#include "output/clipboard.h"

#include "imaging/png_writer.h"

#include <QBuffer>
#include <QMimeData>

namespace output {

namespace {

const char kPng[] = "image/png";

class CompositeMimeData : public QMimeData {
public:
    explicit CompositeMimeData(const QImage& composite) { setImageData(composite); }

    bool hasFormat(const QString& mimeType) const override {
        return mimeType == QLatin1String(kPng) || QMimeData::hasFormat(mimeType);
    }
    QStringList formats() const override {
        return QStringList{QString::fromLatin1(kPng)} + QMimeData::formats();
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType != QLatin1String(kPng))
            return QMimeData::retrieveData(mimeType, type);
        if (png.isEmpty()) {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!imaging::writePng(qvariant_cast<QImage>(imageData()), buffer).ok)
                png.clear();
        }
        return png;
    }

private:
    mutable QByteArray png; // encoded once, on the first request
};

} // namespace

QMimeData* compositeMimeData(const QImage& composite) {
    return new CompositeMimeData(composite);
}

} // namespace output
