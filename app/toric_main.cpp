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
    "  --planned DEG         the planned axis of the marks, in the plan's frame (0..180)\n"
    "  --lens-cyl D          the lens's cylinder at the corneal plane, in dioptres (0.25..15)\n"
    "  --lens-axis DEG       the marks' axis as read on the current photo (0..180)\n"
    "  --rotation DEG        the eye's rotation from the reference photo to the current one, as\n"
    "                        pelvanor-compare prints it for REFERENCE CURRENT (-180..180, default 0)\n"
    "  --cornea D@DEG        the corneal astigmatism: dioptres (0..15) at its steep meridian, in the\n"
    "                        plan's frame (default: the lens's cylinder at the planned axis, a lens\n"
    "                        chosen to neutralise it; the output then says it was assumed)\n"
    "  --refraction \"S C x A\"\n"
    "                        the refraction after surgery, its axis in the plan's frame, the cylinder\n"
    "                        of either sign, powers within 30 D, e.g. \"-0.50 +0.75 x 50\",\n"
    "                        \"plano -0.75 x 140\", \"plano\" or a sphere alone, \"-1.00 DS\". A phoropter\n"
    "                        refraction is in the room's frame: take the rotation off its axis first\n"
    "  --vertex MM           the refraction's vertex distance in millimetres (0..30, default 12); the\n"
    "                        refraction at the corneal plane must stay within 30 D\n"
    "  --json                print one JSON object instead of text\n"
    "  --language CODE       language of the messages (es, en)\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "Each option is given at most once.\n\n"
    "Conventions:\n"
    "  Axes are read 0..180 as the photo shows the eye to the examiner (as seen from in front): 0 at\n"
    "  the right, growing counter-clockwise, the gauge's numbering. Misalignment and turn are positive\n"
    "  counter-clockwise as seen from in front. The planned axis, the cornea and the refraction are in\n"
    "  the plan's frame (the reference photo); the marks are carried into it as lens-axis - rotation,\n"
    "  and the best axis back onto the current photo as best_axis + rotation. A cylinder is a vector\n"
    "  at twice its meridian (power vectors). The marks are the lens's flat meridian, placed on the\n"
    "  steep corneal meridian. A refraction's two principal meridians are brought to the corneal plane\n"
    "  through F / (1 - d F), d the vertex distance in metres; its plus-cylinder axis is the eye's steep\n"
    "  meridian. With A the refraction's astigmatism plus the lens's at its marks (what the lens faces),\n"
    "  the best axis is arg(A) / 2 and the cylinder after turning ||A| - lens|. Where that gains less\n"
    "  than %1 D on the measured cylinder, turning will not help: turn_helps is false, turn 0 and\n"
    "  the best axis where the lens is. The correction kept is cos(2 misalignment): the share of the\n"
    "  lens's correction still along the planned meridian, a half at 30 degrees off and none at 45;\n"
    "  negative, the lens adds astigmatism. The residual share is the predicted residual over the\n"
    "  corneal astigmatism.\n\n"
    "Output, each value with its unit, plane and frame in the text form: planned_axis, lens_cyl,\n"
    "rotation, cornea_cyl, cornea_axis, cornea_assumed, lens_axis (the marks in the plan's frame),\n"
    "misalignment, correction_kept (a fraction), residual_cyl and residual_axis (predicted),\n"
    "residual_share, and with a refraction refraction_cyl and refraction_axis (measured), turn_helps,\n"
    "best_axis (plan's frame), best_axis_on_photo (where to set the guide line), turn and\n"
    "expected_cyl; cylinders in dioptres at the corneal plane, axes in degrees.\n\n"
    "Exit status: 0 checked, 2 bad input (the reason is printed, naming the option).\n";

const char kTryHelp[] = "Pruebe «%1 --help».";
const char kNeedsValue[] = "%1 necesita un valor";
const char kGivenTwice[] = "%1 se ha dado dos veces";
const char kUnknown[] = "argumento desconocido %1";
const char kNeeded[] = "falta %1";
const char kNoNumber[] = "%1 «%2» no es un número";
const char kNotCylinder[] = "%1 «%2» no es D@EJE, p. ej. 1.50@90";
const char kNotRefraction[] = "%1 «%2» no es «E C x A», p. ej. «-0.50 +0.75 x 50»";
const char kOptionProblem[] = "%1: %2";
constexpr int kLongestEcho = 40;

QString tr(const char* text) {
    return i18n::lookup(QString::fromUtf8(text));
}

// An argument echoed in a message, cut where it would flood the terminal.
QString echoed(const QString& argument) {
    return argument.size() <= kLongestEcho ? argument : argument.left(kLongestEcho) + QStringLiteral("…");
}

int badInput(const QString& reason) {
    printTo(stderr, QStringLiteral("%1: %2\n%3\n")
                        .arg(QLatin1String(kProgram), reason, tr(kTryHelp).arg(QLatin1String(kProgram))));
    return kBadInput;
}

std::optional<double> number(QString text) {
    bool ok = false;
    const double value = text.replace(QLatin1Char(','), QLatin1Char('.')).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

const QStringList& valuedOptions() {
    static const QStringList options{"--planned", "--lens-cyl",   "--lens-axis", "--rotation",
                                     "--cornea",  "--refraction", "--vertex",    "--language"};
    return options;
}

QString optionOf(toric::Input input) {
    switch (input) {
    case toric::Input::Planned:
        return QStringLiteral("--planned");
    case toric::Input::LensCylinder:
        return QStringLiteral("--lens-cyl");
    case toric::Input::Marks:
        return QStringLiteral("--lens-axis");
    case toric::Input::Rotation:
        return QStringLiteral("--rotation");
    case toric::Input::Cornea:
        return QStringLiteral("--cornea");
    case toric::Input::Refraction:
        return QStringLiteral("--refraction");
    case toric::Input::Vertex:
        return QStringLiteral("--vertex");
    }
    return QString();
}

// The catalogue speaks the language asked for, even when the other arguments are wrong.
void startCatalogue(const QStringList& args) {
    i18n::initCatalogue(i18n::catalogueRoot(QCoreApplication::applicationDirPath()));
    const qsizetype at = args.indexOf(QStringLiteral("--language"));
    i18n::SetLanguage(at >= 0 && at + 1 < args.size() ? args[at + 1] : QString());
}

// The options and their values; an error message when they cannot be read.
QString readArguments(const QStringList& args, QMap<QString, QString>& given) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (given.contains(a))
            return tr(kGivenTwice).arg(a);
        if (a == QLatin1String("--json")) {
            given[a] = QString();
        } else if (valuedOptions().contains(a)) {
            if (i + 1 >= args.size() || valuedOptions().contains(args[i + 1]) ||
                args[i + 1] == QLatin1String("--json"))
                return tr(kNeedsValue).arg(a);
            given[a] = args[++i];
        } else {
            return tr(kUnknown).arg(echoed(a));
        }
    }
    return QString();
}

// The inputs from the options read; an error message when one is missing or unread.
QString toricInputs(const QMap<QString, QString>& given, toric::Inputs& in) {
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
            return tr(kNeeded).arg(name);
        }
        const auto value = number(given[name]);
        if (!value)
            return tr(kNoNumber).arg(name, echoed(given[name]));
        *target = *value;
    }
    const QString cornea = QStringLiteral("--cornea"), refraction = QStringLiteral("--refraction");
    if (given.contains(cornea) && !(in.cornea = toric::parseCylinder(given[cornea])))
        return tr(kNotCylinder).arg(cornea, echoed(given[cornea]));
    if (given.contains(refraction) && !(in.refraction = toric::parseRefraction(given[refraction])))
        return tr(kNotRefraction).arg(refraction, echoed(given[refraction]));
    if (const auto problem = toric::inputError(in))
        return tr(kOptionProblem).arg(optionOf(problem->input), i18n::lookup(problem->reason));
    return QString();
}

} // namespace

int main(int argc, char** argv) {
    prepareHeadless();
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const QByteArray usage = QString::fromUtf8(kUsage).arg(toric::kMeaninglessGainD, 0, 'f', 2).toUtf8();
    for (const QString& a : args)
        if (answeredStandardOption(a, usage.constData(), kProgram, kVersion))
            return kOk;
    startCatalogue(args);
    QMap<QString, QString> given;
    toric::Inputs in;
    QString error = readArguments(args, given);
    if (error.isEmpty())
        error = toricInputs(given, in);
    if (!error.isEmpty())
        return badInput(error);
    const toric::Result result = toric::evaluate(in);
    const bool json = given.contains(QStringLiteral("--json"));
    printTo(stdout, json ? toric::json(in, result) : toric::plainText(in, result));
    return kOk;
}
