// pelvanor-render: the composite of a photo written to a file, without a window or a display.
#include "app/cli_support.h"
#include "i18n/catalogue.h"
#include "i18n/catalogue_root.h"
#include "imaging/imaging.h"
#include "output/render_cli.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>

namespace {

const char kProgram[] = "pelvanor-render";
const char kVersion[] = PELVANOR_VERSION;

// The brand images exactly as the main window decodes them from the program's resources.
QImage decodeResource(const QString& name) {
    QFile file(name);
    file.open(QIODevice::ReadOnly);
    return imaging::decodeBytes(file.readAll()).image;
}

} // namespace

int main(int argc, char** argv) {
    prepareHeadless();
    QGuiApplication app(argc, argv);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const output::ParsedCommand parsed = output::parseRenderCommand(arguments);
    if (!parsed.error.isEmpty()) {
        printTo(stderr,
                QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QLatin1String(kProgram), parsed.error));
        return output::kRenderUsage;
    }
    if (parsed.job.help) {
        printTo(stdout, output::renderUsage());
        return output::kRenderOk;
    }
    if (parsed.job.version) {
        printTo(stdout, QStringLiteral("%1 %2\n").arg(QLatin1String(kProgram), QLatin1String(kVersion)));
        return output::kRenderOk;
    }

    imaging::configureDecoderLimits();
    i18n::initCatalogue(i18n::catalogueRoot(QCoreApplication::applicationDirPath()));
    i18n::SetLanguage(parsed.job.language);
    Q_INIT_RESOURCE(resources);
    const QImage logo = decodeResource(QStringLiteral(":/pictures/MARCALOGO"));
    const QImage lettering = decodeResource(QStringLiteral(":/pictures/MARCATEXTO"));

    QString error, notice;
    const int status = output::runRenderJob(parsed.job, logo, lettering, &error, &notice);
    if (!notice.isEmpty())
        printTo(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(kProgram), notice));
    if (status != output::kRenderOk)
        printTo(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(kProgram), error));
    return status;
}
