#include "malformed_files.h"

#include "imaging/imaging.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

void put(QByteArray& bytes, int at, quint32 value, int size, bool bigEndian) {
    if (at < 0 || at + size > bytes.size())
        return;
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char(value >> (8 * (bigEndian ? size - 1 - i : i)));
}

quint32 get(const QByteArray& bytes, int at, int size, bool bigEndian) {
    quint32 value = 0;
    for (int i = 0; i < size && at + i < bytes.size(); ++i)
        value |= quint32(quint8(bytes[at + i])) << (8 * (bigEndian ? size - 1 - i : i));
    return value;
}

int jpegFrameHeader(const QByteArray& b) {
    int at = 2;
    while (at + 9 < b.size() && quint8(b[at]) == 0xFF) {
        const int marker = quint8(b[at + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return at;
        at += 2 + int(get(b, at + 2, 2, true));
    }
    return -1;
}

bool setTiffSize(QByteArray& b, quint32 width, quint32 height) {
    const bool big = b.startsWith("MM");
    const int ifd = int(get(b, 4, 4, big));
    const int entries = int(get(b, ifd, 2, big));
    for (int i = 0; i < entries; ++i) {
        const int e = ifd + 2 + 12 * i;
        const quint32 tag = get(b, e, 2, big), type = get(b, e + 2, 2, big);
        if (tag != 256 && tag != 257)
            continue;
        const quint32 v = tag == 256 ? width : height;
        if (type == 3)
            put(b, e + 8, std::min<quint32>(v, 0xFFFF), 2, big);
        else
            put(b, e + 8, v, 4, big);
    }
    return ifd > 0;
}

// The size a format can express: JPEG frames and short TIFF fields hold 16 bits.
quint32 clamp16(quint32 v) {
    return std::min<quint32>(v, 0xFFFF);
}

MalformedFile write(const QString& dir, int index, const QString& what, const QByteArray& bytes,
                    bool mustFail) {
    const QString path = QStringLiteral("%1/m%2.jpg").arg(dir).arg(index, 4, 10, QLatin1Char('0'));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return {path, what, mustFail};
}

} // namespace

QByteArray withDeclaredSize(QByteArray b, quint32 width, quint32 height) {
    if (b.startsWith("BM")) {
        put(b, 18, width, 4, false);
        put(b, 22, height, 4, false);
    } else if (b.startsWith("\x89PNG")) {
        put(b, 16, width, 4, true);
        put(b, 20, height, 4, true);
        put(b, 29, pngCrc32(b.constData() + 12, 17), 4, true);
    } else if (b.startsWith("\xFF\xD8")) {
        const int sof = jpegFrameHeader(b);
        if (sof < 0)
            return QByteArray();
        put(b, sof + 5, clamp16(height), 2, true);
        put(b, sof + 7, clamp16(width), 2, true);
    } else if (!(b.startsWith("II*") || b.startsWith("MM")) || !setTiffSize(b, width, height)) {
        return QByteArray();
    }
    return b;
}

QVector<MalformedFile> makeMalformedFiles(const QStringList& sources, const QString& dir, int count,
                                          quint32 seed) {
    QRandomGenerator random(seed);
    QVector<MalformedFile> files;
    static const QList<QPair<quint32, quint32>> sizes{{65000, 65000},  {100000, 100000}, {30000, 30000},
                                                      {0x7FFFFFFF, 1}, {1, 0x7FFFFFFF},  {0, 400},
                                                      {600, 0}};
    for (const QString& source : sources) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(source));
        const QByteArray original = file.readAll();
        const QString name = QFileInfo(source).fileName();
        const bool shortFields = original.startsWith("\xFF\xD8") || original.startsWith("II*");
        for (const auto& [w, h] : sizes) {
            const QByteArray b = withDeclaredSize(original, w, h);
            const QSize declared(shortFields ? clamp16(w) : w, shortFields ? clamp16(h) : h);
            const bool impossible = declared.isEmpty() || !imaging::withinAllocationLimit(declared);
            if (!b.isEmpty())
                files << write(dir, files.size(),
                               QStringLiteral("%1 declaring %2 x %3").arg(name).arg(w).arg(h), b, impossible);
        }
    }
    for (int i = 0; files.size() < count; ++i) {
        const QString source = sources.at(i % sources.size());
        QFile file(source);
        file.open(QIODevice::ReadOnly);
        QByteArray b = file.readAll();
        const QString name = QFileInfo(source).fileName();
        const int n = b.size();
        switch ((i / sources.size()) % 4) {
        case 0: { // truncated
            const int at = i % 3 == 0 ? int(random.bounded(std::min(n, 64))) : int(random.bounded(n));
            files << write(dir, files.size(), QStringLiteral("%1 cut at %2").arg(name).arg(at), b.left(at),
                           at < 16);
            break;
        }
        case 1: { // header bytes flipped
            const int at = int(random.bounded(std::min(n, 128)));
            b[at] = char(b[at] ^ char(1 + random.bounded(255)));
            files << write(dir, files.size(), QStringLiteral("%1 header byte %2 flipped").arg(name).arg(at),
                           b, false);
            break;
        }
        case 2: { // a few data bytes flipped
            for (int k = 0; k < 4; ++k) {
                const int at = int(random.bounded(n));
                b[at] = char(b[at] ^ char(1 << random.bounded(8)));
            }
            files << write(dir, files.size(), QStringLiteral("%1 data bits flipped").arg(name), b, false);
            break;
        }
        default: { // a burst of random bytes
            const int at = int(random.bounded(n)), len = std::min(n - at, 1 + int(random.bounded(32)));
            for (int k = 0; k < len; ++k)
                b[at + k] = char(random.bounded(256));
            files << write(dir, files.size(), QStringLiteral("%1 burst at %2").arg(name).arg(at), b, false);
        }
        }
    }
    return files;
}

QVector<MalformedFile> makeSpecialEntries(const QString& dir) {
    QVector<MalformedFile> files;
    auto add = [&](const QString& name, const QString& what) {
        files << MalformedFile{dir + '/' + name, what, true};
    };
    QFile(dir + "/zero.jpg").open(QIODevice::WriteOnly);
    add("zero.jpg", "zero bytes");
    QFile text(dir + "/text.jpg");
    text.open(QIODevice::WriteOnly);
    text.write("Esto no es una imagen, es texto con nombre de foto.\n");
    text.close();
    add("text.jpg", "text named .jpg");
    QFile::link(dir + "/gone.jpg", dir + "/broken link.jpg");
    add("broken link.jpg", "broken symbolic link");
    add("zero.jpg/inside.jpg", "path through a file");
    const QByteArray fifo = QFile::encodeName(dir + "/fifo.jpg");
    if (::mkfifo(fifo.constData(), 0600) != 0)
        qFatal("mkfifo failed");
    add("fifo.jpg", "FIFO");
    QFile::link(dir + "/fifo.jpg", dir + "/link to fifo.jpg");
    add("link to fifo.jpg", "link to a FIFO");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(dir + "/socket.jpg");
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        qFatal("bind failed");
    ::close(fd);
    add("socket.jpg", "socket");
    QDir(dir).mkdir("folder.jpg");
    add("folder.jpg", "folder");
    files << MalformedFile{"/dev/zero", "endless device", true}
          << MalformedFile{"/dev/urandom", "random device", true}
          << MalformedFile{"/dev/null", "empty device", true};
    // Reading a process's memory at offset 0 fails with an I/O error, even for root.
    files << MalformedFile{"/proc/self/mem", "file whose reading fails", true};
    return files;
}
