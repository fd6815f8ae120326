#include "testsupport.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

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

QString runTool(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess p;
    if (output)
        p.setProcessChannelMode(QProcess::MergedChannels); // dciodvfy reports on stderr
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return program + ": did not finish (is it installed?)";
    if (output)
        *output = p.readAllStandardOutput();
    if (p.exitCode() != 0)
        return QStringLiteral("%1 %2: exit %3: %4")
            .arg(program, arguments.join(' '))
            .arg(p.exitCode())
            .arg(QString::fromLocal8Bit(p.readAllStandardError()));
    return QString();
}

QString eyeBmp(const QString& dir) {
    const QString bmp = dir + "/eye.bmp";
    if (!QFile::exists(bmp))
        QImage(testData("eye_600x400.jpg")).convertToFormat(QImage::Format_RGB888).save(bmp, "BMP");
    return bmp;
}

QByteArray nestedSequences(int depth) {
    const auto le = [](quint32 v, int n) { return QByteArray(reinterpret_cast<const char*>(&v), n); };
    QByteArray b =
        QByteArray(128, '\0') + "DICM" + le(0x00100002, 4) + "UI" + le(20, 2) + "1.2.840.10008.1.2.1";
    b += '\0';
    for (int i = 0; i < depth; ++i) // Referenced Image Sequence, one item, both of undefined length
        b += le(0x11400008, 4) + "SQ" + le(0, 2) + le(~0u, 4) + le(0xE000FFFE, 4) + le(~0u, 4);
    for (int i = 0; i < depth; ++i)
        b += le(0xE00DFFFE, 4) + le(0, 4) + le(0xE0DDFFFE, 4) + le(0, 4);
    return b;
}

void onceModal(QWidget* dialog, std::function<void()> act) {
    auto* poll = new QTimer(dialog ? static_cast<QObject*>(dialog) : qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, dialog, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || (dialog && modal != dialog))
            return;
        poll->stop();
        poll->deleteLater();
        act();
    });
    poll->start();
}
