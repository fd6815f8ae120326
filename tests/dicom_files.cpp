#include "dicom_files.h"

#include "testsupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QtEndian>

QString runTool(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess p;
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

QString eyeDicom(const QString& dir, const QString& name, const QStringList& img2dcmArguments) {
    const QString out = dir + "/" + name;
    const QString error = runTool("img2dcm", img2dcmArguments + QStringList{"-i", "BMP", eyeBmp(dir), out});
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return error.isEmpty() ? out : QString();
}

namespace {

QByteArray le16(quint16 v) {
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray tag(quint16 group, quint16 element) {
    return le16(group) + le16(element);
}
QByteArray shortElement(quint16 group, quint16 element, const char* vr, QByteArray value) {
    if (value.size() % 2)
        value.append('\0');
    return tag(group, element) + vr + le16(quint16(value.size())) + value;
}

} // namespace

QByteArray nestedSequences(int depth) {
    QByteArray bytes(128, '\0');
    bytes += "DICM";
    bytes += shortElement(0x0002, 0x0002, "UI", "1.2.840.10008.5.1.4.1.1.7");
    bytes += shortElement(0x0002, 0x0003, "UI", "1.2.3.4");
    bytes += shortElement(0x0002, 0x0010, "UI", "1.2.840.10008.1.2.1");
    bytes += shortElement(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7");
    for (int i = 0; i < depth; ++i) {
        bytes += tag(0x0008, 0x1140) + "SQ" + le16(0) + le32(0xFFFFFFFF);
        bytes += tag(0xFFFE, 0xE000) + le32(0xFFFFFFFF);
    }
    for (int i = 0; i < depth; ++i) {
        bytes += tag(0xFFFE, 0xE00D) + le32(0);
        bytes += tag(0xFFFE, 0xE0DD) + le32(0);
    }
    return bytes;
}
