#include "output/render_cli.h"

#include "gauge/geometry.h"
#include "output/save.h"

#include "i18n/catalogue.h"
#include "imaging/imaging.h"

#include <QColor>
#include <QRegularExpression>

#include <cmath>
#include <cstdlib>

namespace output {

namespace {

// Offsets beyond this put the centre so far off the photo that pixel positions would overflow.
constexpr float kMaxOffset = 10.0f;

bool parseInt(const QString& text, int low, int high, int* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool parseIntPair(const QString& text, int low, int high, int* a, int* b) {
    const QStringList parts = text.split(QLatin1Char(','));
    return parts.size() == 2 && parseInt(parts[0], low, high, a) && parseInt(parts[1], low, high, b);
}

bool parseOffsets(const QString& text, float* x, float* y) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        return false;
    bool okX = false, okY = false;
    const float vx = parts[0].trimmed().toFloat(&okX);
    const float vy = parts[1].trimmed().toFloat(&okY);
    if (!okX || !okY || !std::isfinite(vx) || !std::isfinite(vy) || std::fabs(vx) > kMaxOffset ||
        std::fabs(vy) > kMaxOffset)
        return false;
    *x = vx;
    *y = vy;
    return true;
}

bool parseColour(const QString& text, QColor* colour) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!hex.match(text).hasMatch())
        return false;
    *colour = QColor(QLatin1Char('#') + text);
    return true;
}

bool parseChoice(const QString& text, const QStringList& choices, int* index) {
    const int i = choices.indexOf(text);
    if (i < 0)
        return false;
    *index = i;
    return true;
}

// Applies one option with its value; false when the value is not accepted.
bool applyOption(const QString& name, const QString& value, RenderJob& job) {
    CompositeInputs& in = job.inputs;
    GaugeSettings& st = in.settings;
    const QStringList widths{QStringLiteral("thin"), QStringLiteral("normal"), QStringLiteral("wide")};
    int index = 0;
    if (name == QLatin1String("offset"))
        return parseOffsets(value, &in.centreOffsetX, &in.centreOffsetY);
    if (name == QLatin1String("size"))
        return parseInt(value, 2, 100, &in.centreSize);
    if (name == QLatin1String("guide"))
        return (in.guideShown = parseInt(value, 0, 180, &in.guideDegrees));
    if (name == QLatin1String("sector"))
        return (in.sectorShown = parseIntPair(value, 0, 360, &in.sectorStart, &in.sectorEnd));
    if (name == QLatin1String("eye")) {
        const bool ok = parseChoice(value, {QStringLiteral("od"), QStringLiteral("oi")}, &index);
        in.leftEye = index == 1;
        job.eyeGiven = true;
        return ok;
    }
    if (name == QLatin1String("reference")) {
        in.reference = value;
        job.referenceGiven = true;
        return true;
    }
    if (name == QLatin1String("step")) {
        const bool ok = parseChoice(value, {QStringLiteral("10"), QStringLiteral("5")}, &index);
        st.angleStep = index == 1 ? 5 : 10;
        return ok;
    }
    if (name == QLatin1String("lines-color"))
        return parseColour(value, &st.angleColorLines);
    if (name == QLatin1String("numbers-color"))
        return parseColour(value, &st.angleColorNumbers);
    if (name == QLatin1String("guide-color"))
        return parseColour(value, &st.refColor);
    if (name == QLatin1String("sector-color"))
        return parseColour(value, &st.sectorColor);
    if (name == QLatin1String("template-transparency"))
        return parseInt(value, 0, 100, &st.angleTrans);
    if (name == QLatin1String("guide-transparency"))
        return parseInt(value, 0, 100, &st.refTrans);
    if (name == QLatin1String("sector-transparency"))
        return parseInt(value, 0, 100, &st.sectorTrans);
    if (name == QLatin1String("guide-width"))
        return parseChoice(value, widths, &st.refWidth);
    if (name == QLatin1String("sector-width"))
        return parseChoice(value, widths, &st.sectorWidth);
    if (name == QLatin1String("lang")) {
        job.language = value;
        return value == QLatin1String("es") || value == QLatin1String("en");
    }
    return false;
}

const QStringList& valueOptions() {
    static const QStringList names{QStringLiteral("offset"),
                                   QStringLiteral("size"),
                                   QStringLiteral("guide"),
                                   QStringLiteral("sector"),
                                   QStringLiteral("eye"),
                                   QStringLiteral("reference"),
                                   QStringLiteral("step"),
                                   QStringLiteral("lines-color"),
                                   QStringLiteral("numbers-color"),
                                   QStringLiteral("guide-color"),
                                   QStringLiteral("sector-color"),
                                   QStringLiteral("template-transparency"),
                                   QStringLiteral("guide-transparency"),
                                   QStringLiteral("sector-transparency"),
                                   QStringLiteral("guide-width"),
                                   QStringLiteral("sector-width"),
                                   QStringLiteral("lang")};
    return names;
}

} // namespace

QString renderUsage() {
    return QStringLiteral(
        "Usage: pelvanor-render [OPTIONS] PHOTO OUTPUT\n"
        "Writes PHOTO with the angle gauge burned in to OUTPUT (.png, .jpg, .jpeg, .bmp, .tif or .dcm).\n"
        "A DICOM photo gives the eye and the reference unless --eye or --reference is given.\n"
        "\n"
        "  --offset X,Y              centre offsets, fractions of width and height (default 0,0)\n"
        "  --size P                  centre size 2..100 (default 10)\n"
        "  --guide DEG               show the guide line at DEG, 0..180\n"
        "  --sector START,END        show the sector, each 0..360\n"
        "  --eye od|oi               (default od, or the DICOM photo's laterality)\n"
        "  --reference TEXT\n"
        "  --step 10|5               (default 10)\n"
        "  --lines-color RRGGBB      (default ffffff)\n"
        "  --numbers-color RRGGBB    (default ffff00)\n"
        "  --guide-color RRGGBB      (default ff0000)\n"
        "  --sector-color RRGGBB     (default 00ffff)\n"
        "  --template-transparency N, --guide-transparency N, --sector-transparency N\n"
        "                            0..100 (default 25)\n"
        "  --guide-width thin|normal|wide, --sector-width thin|normal|wide (default thin)\n"
        "  --lang es|en              (default: chosen from the environment)\n"
        "  --help, --version\n"
        "\n"
        "Exit status: 0 written, 1 the photo cannot be read or OUTPUT cannot be written,\n"
        "2 usage error.\n");
}

ParsedCommand parseRenderCommand(const QStringList& arguments) {
    ParsedCommand parsed;
    RenderJob& job = parsed.job;
    QStringList positional;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        bool hasValue = false;
        const int eq = name.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            hasValue = true;
        }
        if (name == QLatin1String("help") || name == QLatin1String("version")) {
            (name == QLatin1String("help") ? job.help : job.version) = true;
            continue;
        }
        if (!valueOptions().contains(name)) {
            parsed.error = QStringLiteral("unknown option --%1").arg(name);
            return parsed;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("option --%1 needs a value").arg(name);
                return parsed;
            }
            value = arguments.at(++i);
        }
        if (!applyOption(name, value, job)) {
            parsed.error = QStringLiteral("invalid value for --%1: '%2'").arg(name, value);
            return parsed;
        }
    }
    if (job.help || job.version)
        return parsed;
    if (positional.size() != 2) {
        parsed.error = QStringLiteral("expected PHOTO and OUTPUT");
        return parsed;
    }
    job.photoPath = positional.at(0);
    job.outputPath = positional.at(1);
    if (mimeTypeForExtension(extensionOf(job.outputPath)).isEmpty()) {
        parsed.error =
            QStringLiteral("cannot tell the format of '%1': its name must end in .png, .jpg, .jpeg, "
                           ".bmp, .tif or .dcm")
                .arg(job.outputPath);
        return parsed;
    }
    job.inputs.sectorReadout = QString::number(sectorWidth(job.inputs.sectorStart, job.inputs.sectorEnd));
    return parsed;
}

int runRenderJob(RenderJob job, const QImage& brandLogo, const QImage& brandLettering, QString* error,
                 QString* notice) {
    imaging::Decoded decoded = imaging::decodeFile(job.photoPath);
    if (!decoded.ok()) {
        *error = QStringLiteral("cannot read '%1': %2").arg(job.photoPath, decoded.error);
        return kRenderFailed;
    }
    CompositeInputs& in = job.inputs;
    if (const auto& dicom = decoded.dicom) {
        if (!job.eyeGiven && !dicom->laterality.isEmpty())
            in.leftEye = dicom->laterality == QLatin1String("L");
        if (!job.referenceGiven)
            in.reference = dicom->reference();
        if (dicom->frames > 1 && notice)
            *notice = QStringLiteral("'%1' holds %2 frames; the first is used")
                          .arg(job.photoPath)
                          .arg(dicom->frames);
    }
    in.photo = std::move(decoded.image);
    in.brandLogo = brandLogo;
    in.brandLettering = brandLettering;
    in.translate = i18n::lookup;
    const QString measurement = measurementText(in);
    CompositeResult composite = renderComposite(in);
    in.photo = QImage(); // the photo is not needed while writing
    if (!composite.ok()) {
        *error = QStringLiteral("cannot render '%1': %2").arg(job.photoPath, composite.error);
        return kRenderFailed;
    }
    const WriteResult written = writeImageFile(std::move(composite.image), job.outputPath,
                                               mimeTypeForExtension(extensionOf(job.outputPath)), measurement,
                                               {{}, in.leftEye, decoded.dicom});
    if (!written.ok) {
        *error = QStringLiteral("cannot write '%1': %2").arg(job.outputPath, written.error);
        return kRenderFailed;
    }
    return kRenderOk;
}

} // namespace output
