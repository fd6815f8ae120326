// DICOM photos made by DCMTK's and GDCM's tools through the real load path, and the composite saved
// as DICOM, checked with dciodvfy and dcmdump.
#include "testsupport.h"

#include "app/application.h"
#include "app/unitMain.h"
#include "imaging/dicom.h"
#include "imaging/imaging.h"
#include "output/composite.h"
#include "output/save.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {

// Mean absolute difference per sample; -1 when the sizes differ.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height() && x.size() == y.size(); ++row)
        for (int i = 0; i < x.width() * 3; ++i)
            sum += qAbs(x.constScanLine(row)[i] - y.constScanLine(row)[i]);
    return x.size() == y.size() ? sum / (3.0 * x.width() * x.height()) : -1;
}

QByteArray dump(const QString& path) {
    QByteArray out;
    runTool("dcmdump", {"-q", "+L", path}, &out);
    return out;
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
            for (QString& a : args) // after the split: the folder's name has blanks
                a.replace("{in}", in).replace("{out}", out).replace("{dir}", dir);
            if (const QString error = runTool(args.takeFirst(), args); !error.isEmpty())
                qFatal("%s", qPrintable(error));
            in = steps[i].contains("{out}") ? out : in;
        }
        return in;
    }

private slots:
    void initTestCase() {
        QImage(eyeBmp(dir)).save(dir + "/eye.ppm");
        QImage(eyeBmp(dir)).convertToFormat(QImage::Format_Grayscale8).save(dir + "/gray.pgm");
        QFile::copy(testData("eye_600x400.jpg"), dir + "/eye.jpg");
        writeFile(dir, "deep.pgm", "P5\n8 8\n65535\n" + QByteArray(128, '\x10'));
        // Frames of an odd number of bytes.
        QImage(eyeBmp(dir)).copy(200, 100, 101, 99).save(dir + "/odd.bmp");
        QImage(dir + "/odd.bmp").convertToFormat(QImage::Format_Grayscale8).save(dir + "/odd.pgm");
    }

    // Files without the .dcm extension: recognised by content.
    void load_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>(
            "expected"); // the photo the pixels come from, or "!" and the refusal's reason
        QTest::addColumn<double>("tolerance"); // mean difference allowed: the codec's error
        QTest::addColumn<QString>("laterality");
        const QString sc = "img2dcm -i BMP {dir}/eye.bmp {out}", jpeg = "img2dcm -i JPEG {dir}/eye.jpg {out}";
        const QString ppm = "gdcmimg {dir}/eye.ppm {out}", pgm = "gdcmimg {dir}/gray.pgm {out}";
        const QString vlp = "img2dcm -vlp -k ImageLaterality=L -k Laterality=R -i JPEG {dir}/eye.jpg {out}";
        const QString op =
            "dcmodify -nb -m SOPClassUID=" UID_OphthalmicPhotography8BitImageStorage " -i Laterality=R {in}";
        const QString mono1 = "dcmodify -nb -m PhotometricInterpretation=MONOCHROME1 {in}";
        const QString ct = "dcmodify -nb -m SOPClassUID=" UID_CTImageStorage " {in}";
        const struct {
            const char* name;
            QStringList steps;
            const char* expected;
            double tolerance;
            const char* laterality;
        } rows[] = {
            {"SC explicit LE", {sc}, "eye.bmp", 0, ""},
            {"implicit LE", {sc, "dcmconv +ti {in} {out}"}, "eye.bmp", 0, ""},
            {"OP 8-bit, Laterality R", {sc, op}, "eye.bmp", 0, "R"},
            {"VLP, JPEG baseline YBR 4:2:2, Image Laterality first", {vlp}, "eye.jpg", 1.5, "L"},
            {"YBR_FULL uncompressed", {jpeg, "dcmdjpeg +cn {in} {out}"}, "eye.jpg", 1.5, ""},
            {"JPEG extended", {sc, "dcmcjpeg +ee {in} {out}"}, "eye.bmp", 3, ""},
            {"JPEG lossless", {sc, "dcmcjpeg +e1 {in} {out}"}, "eye.bmp", 0, ""},
            {"JPEG-LS lossless", {sc, "dcmcjpls {in} {out}"}, "eye.bmp", 0, ""},
            {"JPEG-LS near-lossless", {sc, "dcmcjpls +en {in} {out}"}, "eye.bmp", 2, ""},
            {"RLE", {sc, "dcmcrle {in} {out}"}, "eye.bmp", 0, ""},
            {"gdcmimg", {ppm}, "eye.bmp", 0, ""},
            {"gdcm RLE", {ppm, "gdcmconv --rle {in} {out}"}, "eye.bmp", 0, ""},
            {"gdcm JPEG-LS", {ppm, "gdcmconv --jpegls {in} {out}"}, "eye.bmp", 0, ""},
            {"gdcm JPEG", {ppm, "gdcmconv --jpeg {in} {out}"}, "eye.bmp", 0, ""},
            {"MONOCHROME2", {pgm}, "gray.pgm", 0, ""},
            {"MONOCHROME2 JPEG-LS", {pgm, "dcmcjpls {in} {out}"}, "gray.pgm", 0, ""},
            {"MONOCHROME1", {pgm, mono1}, "inverted", 0, ""},
            {"16-bit",
             {"gdcmimg {dir}/deep.pgm {out}"},
             "!16-bit samples (Secondary Capture Image Storage)",
             0,
             ""},
            {"JPEG 2000", {sc, "gdcmconv --j2k {in} {out}"}, "!JPEG 2000", 0, ""},
            {"CT class, 8-bit RGB", {sc, ct}, "eye.bmp", 0, ""},
            {"odd-sized RGB", {"img2dcm -i BMP {dir}/odd.bmp {out}"}, "odd.bmp", 0, ""},
            {"odd-sized MONOCHROME2", {"gdcmimg {dir}/odd.pgm {out}"}, "odd.pgm", 0, ""},
            {"bare data set", {sc, "dcmconv -F {in} {out}"}, "eye.bmp", 0, ""},
            {"JPEG 2000 YBR_RCT",
             {sc, "gdcmconv --j2k {in} {out}", "dcmodify -nb -m PhotometricInterpretation=YBR_RCT {in}"},
             "!JPEG 2000",
             0,
             ""},
            {"pixels short", {sc, "dcmodify -nb -m Rows=401 {in}"}, "!shorter", 0, ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << r.steps << QString(r.expected) << r.tolerance << QString(r.laterality);
    }
    void load() {
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);
        QFETCH(double, tolerance);
        QFETCH(QString, laterality);
        const imaging::Decoded decoded = imaging::decodeFile(make(QTest::currentDataTag(), steps));
        if (expected.startsWith('!')) {
            QVERIFY2(!decoded.ok() && decoded.error.contains(expected.mid(1)), qPrintable(decoded.error));
            QVERIFY(decoded.detail != imaging::RefusalDetail::None);
            return;
        }
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        QImage reference(dir + "/" + (expected == "inverted" ? "gray.pgm" : expected));
        if (expected == "inverted")
            reference.invertPixels();
        const double difference = meanDifference(decoded.image, reference);
        QVERIFY2(difference >= 0 && difference <= tolerance, qPrintable(QString::number(difference)));
        QCOMPARE(decoded.dicom->laterality, laterality);
    }

    // Through the window: eye and reference from the file, one note for a multi-frame file, the
    // saved composite valid, in the same study and pointing at its source; pixels kept exactly.
    void openAndSaveInTheWindow() {
        const QString source =
            make("frames", {"img2dcm -k PatientName=DOE^JOHN -k PatientID=12345 -k "
                            "StudyDate=20240301 -k ImageLaterality=L -i BMP {dir}/eye.bmp {out}",
                            "dcmodify -nb -i NumberOfFrames=2 -i Rows=200 -i "
                            "SOPClassUID=" UID_MultiframeTrueColorSecondaryCaptureImageStorage " {in}"});
        ScriptedChooser chooser;
        RecordingSink sink;
        TFormMain form;
        form.setFileChooser(&chooser);
        form.setMessageSink(&sink);
        QVERIFY(form.openPhotoFile(source));
        QCOMPARE(sink.messages, QStringList{"El archivo DICOM tiene 2 imágenes; se muestra la primera."});
        QVERIFY(requireChild<QRadioButton>(&form, "rbOI")->isChecked());
        QCOMPARE(requireChild<QLineEdit>(&form, "Referencia")->text(), "DOE JOHN, 12345, 2024-03-01");
        QCOMPARE(meanDifference(form.photo(), QImage(eyeBmp(dir)).copy(0, 0, 600, 200)), 0.0);

        QStringList instances;
        for (const QString& name : {"a.dcm", "b.dcm"}) {
            chooser.nextSave = dir + "/" + name;
            form.btnImagenSaveClick();
            QVERIFY(form.waitUntilIdle());
            QByteArray report;
            runTool("dciodvfy", {chooser.nextSave}, &report);
            QVERIFY2(report.contains("SCImage") && !report.contains("Error"), report.constData());
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
        QByteArray report;
        QCOMPARE(runTool(PELVANOR_BIN_DIR "/pelvanor-render", {"--eye", "oi", testData("alpha.png"), out}),
                 "");
        runTool("dciodvfy", {out}, &report);
        QVERIFY2(report.contains("SCImage") && !report.contains("Error"), report.constData());
        QVERIFY(dump(out).contains("PN (no value available)") &&
                value(dump(out), "StudyInstanceUID").startsWith("2.25."));
        QVERIFY(value(dump(out), "Laterality") == "L" && !dump(out).contains("SourceImageSequence"));
    }

    // A source without SOP Instance UID and with values invalid for their VR: the saved file leaves out
    // the reference and the invalid values, repairs old-style dates and times, and stays valid.
    void saveFromFlawedSource() {
        const QString source =
            make("flawed", {"img2dcm -i BMP {dir}/eye.bmp {out}",
                            "dcmodify -nb -ea SOPInstanceUID -m StudyDate=0095.07.24 -m StudyTime=09:39:00 "
                            "-m StudyInstanceUID=072495.0449 -i PatientBirthDate=1950.01.02 "
                            "-i ReferencedStudySequence[0].ReferencedSOPClassUID= "
                            "-i ReferencedStudySequence[0].ReferencedSOPInstanceUID= {in}"});
        const imaging::Decoded decoded = imaging::decodeFile(source);
        QVERIFY2(decoded.ok(), qPrintable(decoded.error));
        const QString out = dir + "/from_flawed.dcm";
        const auto written = output::writeImageFile(decoded.image, out, output::kDicomMimeType, "m",
                                                    {"m", false, decoded.dicom});
        QVERIFY2(written.ok, qPrintable(written.error));
        QByteArray report;
        runTool("dciodvfy", {out}, &report);
        QVERIFY2(report.contains("SCImage") && !report.contains("Error"), report.constData());
        const QByteArray saved = dump(out);
        QCOMPARE(value(saved, "StudyDate"), "");
        QCOMPARE(value(saved, "PatientBirthDate"), "19500102");
        QCOMPARE(value(saved, "StudyTime"), "093900");
        QCOMPARE(value(saved, "SeriesNumber"), "1");
        QVERIFY(value(saved, "StudyInstanceUID").startsWith("2.25."));
        QVERIFY(!saved.contains("SourceImageSequence") && !saved.contains("ReferencedStudySequence"));
    }
};

int main(int argc, char** argv) {
    PelvanorApplication app(argc, argv);
    imaging::configureDecoderLimits();
    TestDicom test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_dicom.moc"
