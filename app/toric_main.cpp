// pelvanor-toric: the toric lens check from the values read on the photos.
#include "app/cli_support.h"
#include "i18n/catalogue.h"
#include "i18n/catalogue_root.h"
#include "toric/toric.h"
#include "toric/toric_text.h"

#include <QGuiApplication>
#include <QMap>

#include <cmath>

namespace {

const char kProgram[] = "pelvanor-toric";
const char kVersion[] = PELVANOR_VERSION;
enum Status { kOk = 0, kBadInput = 2 };

const char kUsage[] =
    "Usage: pelvanor-toric --planned DEG --lens-cyl D --lens-axis DEG [OPTION]...\n"
    "Checks a toric lens from the axis of its marks read on a photo of the eye: its misalignment\n"
    "against the plan, the correction it still gives, the astigmatism left, and with a refraction the\n"
    "axis to turn it to for the least cylinder. The figures are a calculation aid from the values given.\n\n"
    "  --planned DEG         the planned axis of the marks (0..180)\n"
    "  --lens-cyl D          the lens's cylinder at the corneal plane, in dioptres (above 0)\n"
    "  --lens-axis DEG       the marks' axis as read on the current photo (0..180)\n"
    "  --rotation DEG        the eye's rotation from the reference photo to the current one, as\n"
    "                        pelvanor-compare prints it for REFERENCE CURRENT (default 0)\n"
    "  --cornea D@DEG        the corneal astigmatism: dioptres at its steep meridian (default: the\n"
    "                        lens's cylinder at the planned axis, a lens chosen to neutralise it)\n"
    "  --refraction \"S C x A\"\n"
    "                        the refraction after surgery, the cylinder of either sign, e.g.\n"
    "                        \"-0.50 +0.75 x 50\" or \"plano -0.75 x 140\"\n"
    "  --vertex MM           the refraction's vertex distance in millimetres (default 12)\n"
    "  --json                print one JSON object instead of text\n"
    "  --language CODE       language of the messages (es, en)\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n\n"
    "Conventions:\n"
    "  Axes are read 0..180 as the photo shows the eye to the examiner: 0 at the right, growing\n"
    "  counter-clockwise, the gauge's numbering. Misalignment and turn are positive counter-clockwise\n"
    "  on the photo. The planned axis, the cornea and the refraction are in the plan's frame (the\n"
    "  reference photo); the marks are carried into it as lens-axis - rotation. A cylinder is a vector\n"
    "  at twice its meridian (power vectors). The marks are the lens's flat meridian, placed on the\n"
    "  steep corneal meridian. A refraction's two principal meridians are brought to the corneal plane\n"
    "  through F / (1 - d F), d the vertex distance in metres; its plus-cylinder axis is the eye's steep\n"
    "  meridian. With A the refraction's astigmatism plus the lens's at its marks (what the lens faces),\n"
    "  the best axis is arg(A) / 2 and the cylinder after turning ||A| - lens|. The correction kept is\n"
    "  cos(2 misalignment): the share of the lens's correction still along the planned meridian, a\n"
    "  half at 30 degrees off and none at 45; the residual says what is left over (for a lens equal\n"
    "  to the cornea, 30 degrees off leaves as much astigmatism as no lens).\n\n"
    "Output: lens_axis (the marks in the plan's frame), misalignment, correction_kept (a fraction),\n"
    "residual_cyl and residual_axis, and with a refraction refraction_cyl, refraction_axis, best_axis,\n"
    "turn and expected_cyl; cylinders in dioptres at the corneal plane, axes in degrees.\n\n"
    "Exit status: 0 checked, 2 bad input (the reason is printed).\n";

int badInput(const QString& reason) {
    printTo(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QLatin1String(kProgram), reason));
    return kBadInput;
}

std::optional<double> number(QString text) {
    bool ok = false;
    const double value = text.replace(QLatin1Char(','), QLatin1Char('.')).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    prepareHeadless();
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const QStringList valued{"--planned", "--lens-cyl",   "--lens-axis", "--rotation",
                             "--cornea",  "--refraction", "--vertex",    "--language"};
    QMap<QString, QString> given;
    bool json = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (answeredStandardOption(a, kUsage, kProgram, kVersion))
            return kOk;
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size())
                return badInput(QStringLiteral("%1 needs a value").arg(a));
            given[a] = args[++i];
        } else {
            return badInput(QStringLiteral("unknown argument %1").arg(a));
        }
    }
    i18n::initCatalogue(i18n::catalogueRoot(QCoreApplication::applicationDirPath()));
    i18n::SetLanguage(given.value(QStringLiteral("--language")));

    toric::Inputs in;
    const std::pair<const char*, double*> numbers[] = {{"--planned", &in.plannedAxis},
                                                       {"--lens-cyl", &in.lensCylinder},
                                                       {"--lens-axis", &in.marksOnPhoto},
                                                       {"--rotation", &in.rotation},
                                                       {"--vertex", &in.vertexMm}};
    for (const auto& [option, target] : numbers) {
        const QString name = QLatin1String(option);
        if (!given.contains(name)) {
            if (name == QLatin1String("--rotation") || name == QLatin1String("--vertex"))
                continue;
            return badInput(QStringLiteral("%1 is needed").arg(name));
        }
        const auto value = number(given[name]);
        if (!value)
            return badInput(QStringLiteral("%1 \"%2\" is no number").arg(name, given[name]));
        *target = *value;
    }
    if (given.contains(QStringLiteral("--cornea"))) {
        in.cornea = toric::parseCylinder(given[QStringLiteral("--cornea")]);
        if (!in.cornea)
            return badInput(QStringLiteral("--cornea \"%1\" is not D@DEG, e.g. 1.50@90")
                                .arg(given[QStringLiteral("--cornea")]));
    }
    if (given.contains(QStringLiteral("--refraction"))) {
        in.refraction = toric::parseRefraction(given[QStringLiteral("--refraction")]);
        if (!in.refraction)
            return badInput(
                QStringLiteral("--refraction \"%1\" is not \"S C x A\", e.g. \"-0.50 +0.75 x 50\"")
                    .arg(given[QStringLiteral("--refraction")]));
    }
    const QString error = toric::inputError(in);
    if (!error.isEmpty())
        return badInput(error);
    const toric::Result result = toric::evaluate(in);
    printTo(stdout, json ? toric::json(in, result) : toric::plainText(in, result));
    return kOk;
}
