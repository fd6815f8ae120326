// pelvanor-compare: the rotation of the eye between a reference photo and a current photo.
#include "app/cli_support.h"
#include "i18n/catalogue.h"
#include "i18n/catalogue_root.h"
#include "imaging/imaging.h"
#include "output/rotation_report.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

const char kProgram[] = "pelvanor-compare";
const char kVersion[] = PELVANOR_VERSION;
enum Status { kOk = 0, kRefused = 1, kBadInput = 2 };

const char kUsage[] =
    "Usage: pelvanor-compare [--json] [--language CODE] REFERENCE CURRENT\n"
    "Measures how far the eye in the photo CURRENT is turned against the photo REFERENCE of the same\n"
    "eye, from the iris and the vessels about the limbus. Prints the rotation in degrees (positive\n"
    "counter-clockwise on the screen: a landmark at angle a in REFERENCE lies at a + rotation in\n"
    "CURRENT), a confidence from 0 to 1 and both limbus circles (centre x, y and radius in pixels).\n"
    "Neither photo is changed.\n\n"
    "  --json           print one JSON object instead of text\n"
    "  --language CODE  language of the messages (es, en)\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n\n"
    "Exit status: 0 measured, 1 refused (the reason is printed), 2 bad input.\n";

int badInput(const QString& reason) {
    printTo(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(kProgram), reason));
    return kBadInput;
}

} // namespace

int main(int argc, char** argv) {
    prepareHeadless();
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    bool json = false;
    QString language;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (answeredStandardOption(a, kUsage, kProgram, kVersion))
            return kOk;
        if (a == QLatin1String("--json"))
            json = true;
        else if (a == QLatin1String("--language") && i + 1 < args.size())
            language = args[++i];
        else if (a.startsWith(QLatin1String("--")))
            return badInput(
                QStringLiteral("unknown option %1\nTry '%2 --help'.").arg(a, QLatin1String(kProgram)));
        else
            files << a;
    }
    if (files.size() != 2)
        return badInput(QStringLiteral("two photos are needed, REFERENCE and CURRENT\nTry '%1 --help'.")
                            .arg(QLatin1String(kProgram)));
    imaging::configureDecoderLimits();
    i18n::initCatalogue(i18n::catalogueRoot(QCoreApplication::applicationDirPath()));
    i18n::SetLanguage(language);
    QImage photos[2];
    for (int k = 0; k < 2; ++k) {
        const imaging::Decoded d = imaging::decodeFile(files[k]);
        if (!d.ok())
            return badInput(QStringLiteral("%1: %2").arg(files[k], d.error));
        photos[k] = d.image;
    }
    const RotationResult result = measureRotation(photos[0], photos[1]);
    printTo(stdout, json
                        ? rotationJson(result, QFileInfo(files[0]).fileName(), QFileInfo(files[1]).fileName())
                        : rotationText(result));
    if (!result.measured)
        printTo(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(kProgram), rotationLine(result)));
    return result.measured ? kOk : kRefused;
}
