#include "testsupport.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <memory>
#include <stdexcept>
#include <vector>

QString ScriptedChooser::openFile(QWidget*, const QString& filter) {
    ++opens;
    lastFilter = filter;
    return nextOpen;
}

QString ScriptedChooser::saveFile(QWidget*, const QString& filter, int& filterIndex,
                                  const QString& proposedName, const QString& defaultSuffix) {
    ++saves;
    lastFilter = filter;
    lastFilterIndex = filterIndex;
    lastProposedName = proposedName;
    lastSuffix = defaultSuffix;
    if (!nextSave.isEmpty() && nextSaveFilterIndex > 0)
        filterIndex = nextSaveFilterIndex;
    return nextSave;
}

bool ScriptedPrinters::setup(QWidget*) {
    if (!setupConfirms)
        return false;
    current = setupChooses;
    copyCount = setupCopies;
    return true;
}

void ScriptedPrinters::print(const PrintJob& job) {
    if (!failure.isEmpty())
        throw std::runtime_error(failure.toStdString());
    copyCount = job.copies;
    jobs << job;
}

QString testData(const QString& name) {
    return QStringLiteral(PELVANOR_TEST_DATA "/") + name;
}

QString tempDir() {
    static std::vector<std::unique_ptr<QTemporaryDir>> dirs; // removed when the test program ends
    dirs.push_back(std::make_unique<QTemporaryDir>());
    return dirs.back()->path();
}

QString makeSpecialFile(const QString& dir, const QString& kind) {
    const QString path = dir + QLatin1Char('/') + kind + QStringLiteral(".jpg");
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo")) {
        if (::mkfifo(name.constData(), 0600) != 0)
            qFatal("mkfifo %s failed", name.constData());
    } else if (kind == QLatin1String("socket")) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(name.size()) >= sizeof(address.sun_path))
            qFatal("socket path too long: %s", name.constData());
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd); // the socket file stays
        if (!bound)
            qFatal("bind %s failed", name.constData());
    } else if (kind == QLatin1String("folder")) {
        QDir().mkpath(path);
    } else {
        qFatal("unknown special file kind");
    }
    return path;
}

QByteArray bmpHeaderClaiming(qint32 width, qint32 height) {
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    const quint32 rowBytes = ((quint32(width) * 3 + 3) / 4) * 4;
    s.writeRawData("BM", 2);
    s << quint32(54 + rowBytes * quint32(height)) << quint16(0) << quint16(0) << quint32(54);
    s << quint32(40) << width << height << quint16(1) << quint16(24) << quint32(0)
      << quint32(rowBytes * quint32(height)) << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    return bytes;
}

QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

quint32 pngCrc32(const char* data, int size) {
    quint32 crc = 0xFFFFFFFFu;
    for (int i = 0; i < size; ++i) {
        crc ^= quint8(data[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
