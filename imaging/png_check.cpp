#include "imaging/png_check.h"

#include <QIODevice>
#include <QtEndian>

namespace imaging {

bool pngChunksFitStream(QIODevice& device) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (device.isSequential() || device.peek(8) != QByteArray(kSignature, 8))
        return true;
    const qint64 size = device.size();
    qint64 at = 8;
    bool fits = true;
    while (at + 8 <= size && device.seek(at)) {
        const QByteArray header = device.read(8);
        if (header.size() < 8)
            break;
        const qint64 length = qFromBigEndian<quint32>(header.constData());
        const qint64 next = at + 12 + length; // length, type, data, checksum
        if (next > size) {
            fits = false;
            break;
        }
        if (header.mid(4, 4) == "IEND")
            break;
        at = next;
    }
    device.seek(0);
    return fits;
}

} // namespace imaging
