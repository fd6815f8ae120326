// DICOM photos made by DCMTK's and GDCM's tools through the real load path, and the composite saved
// as DICOM, checked with dciodvfy and dcmdump.
#include "dicom_files.h"
#include "testsupport.h"

#include "app/application.h"
#include "app/unitMain.h"
#include "imaging/dicom.h"
#include "imaging/imaging.h"
#include "output/composite.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {

// Mean absolute difference per sample; -1 when the sizes differ.
double meanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

QByteArray dump(const QString& path) {
    QByteArray out;
    const QString error = runTool("dcmdump", {"-q", "+L", path}, &out);
    return error.isEmpty() ? out : error.toUtf8();
}

QString value(const QByteArray& dump, const char* keyword) {
    const QRegularExpression line(QStringLiteral("\\[([^]]*)\\][^\\n]*# [^\\n]* %1\\n").arg(keyword));
    return line.match(QString::fromUtf8(dump)).captured(1);
}

} // namespace

class TestDicom : public QObject {
    Q_OBJECT
    QString dir = tempDir();

    // Each step is a command line; {in} is the previous step's file, {out} this step's.
    QString make(const QString& name, const QStringList& steps) {
        QString in;
        for (int i = 0; i < steps.size(); ++i) {
            const QString out = QStringLiteral("%1/%2_%3").arg(dir, name).arg(i);
            QStringList args = steps[i].split(' ');
            const QString program = args.takeFirst();
            const bool inPlace = !steps[i].contains("{out}");
            for (QString& a : args)
                a.replace("{in}", in).replace("{out}", out).replace("{dir}", dir);
            const QString error = runTool(program, args);
            if (!error.isEmpty())
                qFatal("%s", qPrintable(error));
            in = inPlace ? in : out;
        }
        return in;
    }

private slots:
    void initTestCase() {
        QImage(eyeBmp(dir)).save(dir + "/eye.ppm");
        QImage(eyeBmp(dir)).convertToFormat(QImage::Format_Grayscale8).save(dir + "/gray.pgm");
        QFile::copy(testData("eye_600x400.jpg"), dir + "/eye.jpg");
        QFile pgm16(dir + "/deep.pgm");
        QVERIFY(pgm16.open(QIODevice::WriteOnly));
        pgm16.write("P5\n8 8\n65535\n" + QByteArray(128, '\x10'));
    }

    // Files without the .dcm extension: recognised by content.
    void load_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("reference"); // the photo the pixels come from
        QTest::addColumn<double>("tolerance");  // mean difference allowed: the codec's error
        QTest::addColumn<QString>("laterality");
        QTest::addColumn<QString>("refusal"); // part of the reason when the file must be refused
        const QString sc = "img2dcm -i BMP {dir}/eye.bmp {out}", jpeg = "img2dcm -i JPEG {dir}/eye.jpg {out}";
        const QString op =
            "dcmodify -nb -m SOPClassUID=1.2.840.10008.5.1.4.1.1.77.1.5.1 -i Laterality=R {in}";
        QTest::newRow("SC explicit LE") << QStringList{sc} << "eye.bmp" << 0.0 << ""
                                        << "";
        QTest::newRow("implicit LE") << QStringList{sc, "dcmconv +ti {in} {out}"} << "eye.bmp" << 0.0 << ""
                                     << "";
        QTest::newRow("big endian") << QStringList{sc, "dcmconv +tb {in} {out}"} << "eye.bmp" << 0.0 << ""
                                    << "";
        QTest::newRow("OP 8-bit, Laterality R") << QStringList{sc, op} << "eye.bmp" << 0.0 << "R"
                                                << "";
        QTest::newRow("VLP JPEG baseline YBR 4:2:2, Image Laterality L")
            << QStringList{"img2dcm -vlp -k ImageLaterality=L -k Laterality=R -i JPEG {dir}/eye.jpg {out}"}
            << "eye.jpg" << 1.5 << "L"
            << "";
        QTest::newRow("YBR_FULL uncompressed")
            << QStringList{jpeg, "dcmdjpeg +cn {in} {out}"} << "eye.jpg" << 1.5 << ""
            << "";
        QTest::newRow("JPEG extended") << QStringList{sc, "dcmcjpeg +ee {in} {out}"} << "eye.bmp" << 3.0 << ""
                                       << "";
        QTest::newRow("JPEG lossless") << QStringList{sc, "dcmcjpeg +e1 {in} {out}"} << "eye.bmp" << 0.0 << ""
                                       << "";
        QTest::newRow("JPEG-LS lossless") << QStringList{sc, "dcmcjpls {in} {out}"} << "eye.bmp" << 0.0 << ""
                                          << "";
        QTest::newRow("JPEG-LS near") << QStringList{sc, "dcmcjpls +en {in} {out}"} << "eye.bmp" << 2.0 << ""
                                      << "";
        QTest::newRow("RLE") << QStringList{sc, "dcmcrle {in} {out}"} << "eye.bmp" << 0.0 << ""
                             << "";
        QTest::newRow("gdcmimg PPM") << QStringList{"gdcmimg {dir}/eye.ppm {out}"} << "eye.bmp" << 0.0 << ""
                                     << "";
        QTest::newRow("gdcm RLE") << QStringList{"gdcmimg {dir}/eye.ppm {out}", "gdcmconv --rle {in} {out}"}
                                  << "eye.bmp" << 0.0 << ""
                                  << "";
        QTest::newRow("gdcm JPEG-LS")
            << QStringList{"gdcmimg {dir}/eye.ppm {out}", "gdcmconv --jpegls {in} {out}"} << "eye.bmp" << 0.0
            << ""
            << "";
        QTest::newRow("gdcm JPEG") << QStringList{"gdcmimg {dir}/eye.ppm {out}", "gdcmconv --jpeg {in} {out}"}
                                   << "eye.bmp" << 0.0 << ""
                                   << "";
        QTest::newRow("MONOCHROME2") << QStringList{"gdcmimg {dir}/gray.pgm {out}"} << "gray.pgm" << 0.0 << ""
                                     << "";
        QTest::newRow("MONOCHROME2 JPEG-LS")
            << QStringList{"gdcmimg {dir}/gray.pgm {out}", "dcmcjpls {in} {out}"} << "gray.pgm" << 0.0 << ""
            << "";
        QTest::newRow("MONOCHROME1 inverted")
            << QStringList{"gdcmimg {dir}/gray.pgm {out}",
                           "dcmodify -nb -m PhotometricInterpretation=MONOCHROME1 {in}"}
            << "inverted" << 0.0 << ""
            << "";
        QTest::newRow("16-bit") << QStringList{"gdcmimg {dir}/deep.pgm {out}"} << "" << 0.0 << ""
                                << "16-bit";
        QTest::newRow("JPEG 2000") << QStringList{sc, "gdcmconv --j2k {in} {out}"} << "" << 0.0 << ""
                                   << "JPEG 2000";
        QTest::newRow("CT class") << QStringList{sc,
                                                 "dcmodify -nb -m SOPClassUID=1.2.840.10008.5.1.4.1.1.2 {in}"}
                                  << "" << 0.0 << ""
                                  << "no photo";
        QTest::newRow("pixels short") << QStringList{sc, "dcmodify -nb -m Rows=401 {in}"} << "" << 0.0 << ""
                                      << "shorter";
    }
    void load() {
        QFETCH(QStringList, steps);
        QFETCH(QString, reference);
        QFETCH(double, tolerance);
        QFETCH(QString, laterality);
        QFETCH(QString, refusal);
        const imaging::Decoded decoded = imaging::decodeFile(make(QTest::currentDataTag(), steps));
        if (!refusal.isEmpty()) {
            QVERIFY(!decoded.ok());
            QVERIFY2(decoded.error.contains(refusal), qPrintable(decoded.error));
            QVERIFY(!decoded.detailForUser.isEmpty());
            return;
        }
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        QImage expected(dir + "/" + (reference == "inverted" ? "gray.pgm" : reference));
        if (reference == "inverted")
            expected.invertPixels();
        const double difference = meanDifference(decoded.image, expected);
        QVERIFY2(difference >= 0 && difference <= tolerance, qPrintable(QString::number(difference)));
        QCOMPARE(decoded.dicom->laterality, laterality);
    }

    // Through the window: eye and reference from the file, one note for a multi-frame file, the
    // saved composite valid, in the same study and pointing at its source; pixels kept exactly.
    void openAndSaveInTheWindow() {
        const QString source = eyeDicom(dir, "patient.dcm",
                                        {"-k", "PatientName=DOE^JOHN", "-k", "PatientID=12345", "-k",
                                         "StudyDate=20240301", "-k", "ImageLaterality=L"});
        DcmFileFormat file;
        QVERIFY(file.loadFile(source.toUtf8().constData()).good());
        const Uint8* pixels = nullptr;
        unsigned long length = 0;
        QVERIFY(file.getDataset()->findAndGetUint8Array(DCM_PixelData, pixels, &length).good());
        QByteArray frames = QByteArray(reinterpret_cast<const char*>(pixels), length).repeated(3);
        file.getDataset()->putAndInsertUint8Array(DCM_PixelData, reinterpret_cast<Uint8*>(frames.data()),
                                                  frames.size());
        file.getDataset()->putAndInsertString(DCM_NumberOfFrames, "3");
        QVERIFY(file.saveFile((dir + "/frames").toUtf8().constData(), EXS_LittleEndianExplicit).good());

        ScriptedChooser chooser;
        RecordingSink sink;
        TFormMain form;
        form.setFileChooser(&chooser);
        form.setMessageSink(&sink);
        QVERIFY(form.openPhotoFile(dir + "/frames"));
        QCOMPARE(sink.messages, QStringList{"El archivo DICOM tiene 3 imágenes; se muestra la primera."});
        QVERIFY(requireChild<QRadioButton>(&form, "rbOI")->isChecked());
        QCOMPARE(requireChild<QLineEdit>(&form, "Referencia")->text(), "DOE JOHN, 12345, 2024-03-01");
        QCOMPARE(meanDifference(form.photo(), QImage(eyeBmp(dir))), 0.0);

        QStringList instances;
        for (const QString& name : {"a.dcm", "b.dcm"}) {
            chooser.nextSave = dir + "/" + name;
            form.btnImagenSaveClick();
            QByteArray report;
            runTool("dciodvfy", {chooser.nextSave}, &report);
            QVERIFY2(!report.contains("Error"), report.constData());
            const imaging::Decoded saved = imaging::decodeFile(chooser.nextSave);
            QCOMPARE(meanDifference(saved.image, renderComposite(form.compositeInputs()).image), 0.0);
            const QByteArray out = dump(chooser.nextSave), in = dump(source);
            QCOMPARE(value(out, "PatientName"), "DOE^JOHN");
            QCOMPARE(value(out, "StudyInstanceUID"), value(in, "StudyInstanceUID"));
            QVERIFY(value(out, "SeriesInstanceUID") != value(in, "SeriesInstanceUID"));
            QCOMPARE(value(out, "ReferencedSOPInstanceUID"), value(in, "SOPInstanceUID"));
            QCOMPARE(value(out, "Laterality"), "L");
            QCOMPARE(value(out, "DerivationDescription"), "angle gauge overlay");
            QVERIFY(value(out, "ImageComments").contains("Reference: DOE JOHN, 12345, 2024-03-01"));
            instances << value(out, "SOPInstanceUID");
        }
        QVERIFY(instances[0] != instances[1] && !instances[0].isEmpty());
        QCOMPARE(sink.messages.size(), 1);
    }

    // A photo from a JPEG: no patient, a study of its own, still valid.
    void saveFromOtherPhotos() {
        const QString out = dir + "/render.dcm";
        QCOMPARE(runTool(PELVANOR_BIN_DIR "/pelvanor-render", {"--eye", "oi", testData("alpha.png"), out}),
                 "");
        QByteArray report;
        runTool("dciodvfy", {out}, &report);
        QVERIFY2(!report.contains("Error"), report.constData());
        const QByteArray dumped = dump(out);
        QVERIFY(dumped.contains("PatientName") && value(dumped, "PatientName").isEmpty());
        QVERIFY(value(dumped, "StudyInstanceUID").startsWith("1.2."));
        QCOMPARE(value(dumped, "Laterality"), "L");
        QVERIFY(!dumped.contains("SourceImageSequence"));
    }
};

int main(int argc, char** argv) {
    PelvanorApplication app(argc, argv);
    imaging::configureDecoderLimits();
    TestDicom test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_dicom.moc"
