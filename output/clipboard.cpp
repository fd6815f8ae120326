#include "output/clipboard.h"

#include "imaging/png_writer.h"
#include "output/composite.h"

#include <QBuffer>
#include <QMimeData>

namespace output {

namespace {

const char kPng[] = "image/png";

class CompositeMimeData : public QMimeData {
public:
    CompositeMimeData(const QImage& composite, const QByteArray& encoded) : png(encoded) {
        setImageData(composite);
    }

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
    mutable QByteArray png; // encoded beforehand, or on the first request
};

} // namespace

ClipboardComposite clipboardComposite(const CompositeInputs& in) {
    ClipboardComposite out;
    CompositeResult composite = renderComposite(in);
    if (!composite.ok()) {
        out.error = composite.error;
        return out;
    }
    QBuffer buffer(&out.png);
    buffer.open(QIODevice::WriteOnly);
    if (!imaging::writePng(composite.image, buffer).ok)
        out.png.clear(); // encoded again if another program asks for PNG
    out.image = std::move(composite.image);
    return out;
}

QMimeData* compositeMimeData(const ClipboardComposite& composite) {
    return new CompositeMimeData(composite.image, composite.png);
}

} // namespace output
