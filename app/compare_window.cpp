#include "compare_window.h"

#include "file_drop.h"
#include "platform.h"
#include "ui_compare_window.h"
#include "wait_cursor.h"

#include "analysis/rotation_report.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "imaging/file_types.h"
#include "imaging/imaging.h"
#include "output/save.h"

#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

namespace {

const char kOpenError[] = "Error al abrir la imagen";
const char kNoRotation[] = "Sin rotación: mida o marque puntos primero";
const char kManualLine[] = "Puntos: %1° ± %2° (%3 pares)";
const char kPendingLine[] = "Marque el mismo punto en la otra foto";

QString number(double value, int decimals) {
    const QLocale locale(i18n::currentLanguage().startsWith(QLatin1String("en")) ? QLocale::English
                                                                                 : QLocale::Spanish);
    return locale.toString(value, 'f', decimals);
}

// The guide line a file saved by this program records, read without decoding its pixels.
std::optional<int> recordedGuide(const QString& path) {
    QImageReader reader(path);
    return output::guideOfMeasurement(reader.text(QStringLiteral("Description")));
}

} // namespace

CompareWindow::CompareWindow(const QImage& current, int currentGuide, FileChooser& chooser,
                             MessageSink& messages, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CompareWindow>()), chooser(chooser), messages(messages),
      currentGuide(currentGuide) {
    ui->setupUi(this);
    ui->viewCurrent->setPhoto(current);
    ui->spnAxis->setValue(currentGuide);
    connect(ui->btnOpenReference, &QPushButton::clicked, this, &CompareWindow::chooseReference);
    connect(ui->btnApply, &QPushButton::clicked, this, &CompareWindow::apply);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->chkLandmarks, &QCheckBox::toggled, this, [this](bool on) {
        ui->viewReference->setLandmarkMode(on);
        ui->viewCurrent->setLandmarkMode(on);
    });
    connect(ui->btnClearLandmarks, &QPushButton::clicked, this, [this] {
        pairs.clear();
        pending.reset();
        showResult();
    });
    connect(ui->viewReference, &LimbusView::landmarkClicked, this,
            [this](const QPointF& p) { landmarkClicked(true, p); });
    connect(ui->viewCurrent, &LimbusView::landmarkClicked, this,
            [this](const QPointF& p) { landmarkClicked(false, p); });
    // A ring dragged into place is measured from as it stands.
    for (LimbusView* view : {ui->viewReference, ui->viewCurrent})
        connect(view, &LimbusView::limbusEdited, this, [this] { measure(); });
    setAcceptDrops(true);
    for (QWidget* child : findChildren<QWidget*>())
        child->setAcceptDrops(true);
    new FileDropRouter(this, [this](const QStringList& paths) { openReference(paths.first()); });
    i18n::TranslateComponent(this);
}

CompareWindow::~CompareWindow() = default;

void CompareWindow::chooseReference() {
    const QString filter = toQtNameFilters(i18n::lookup(QString::fromUtf8(kFileTypeList)));
    const QString path = chooser.openFile(this, filter);
    if (!path.isEmpty())
        openReference(path);
}

bool CompareWindow::openReference(const QString& path) {
    WaitCursor wait;
    const imaging::Decoded decoded = imaging::decodeFile(path);
    if (!decoded.ok()) {
        wait.release();
        messages.message(this, i18n::lookup(QString::fromUtf8(kOpenError)));
        return false;
    }
    referenceName = QFileInfo(path).fileName();
    ui->lblReferenceName->setText(referenceName);
    ui->viewReference->setPhoto(decoded.image);
    ui->viewReference->setLimbus(std::nullopt);
    ui->viewCurrent->setLimbus(std::nullopt);
    ui->spnAxis->setValue(recordedGuide(path).value_or(currentGuide));
    pairs.clear();
    pending.reset();
    measure();
    return true;
}

void CompareWindow::measure() {
    if (ui->viewReference->photo().isNull())
        return;
    WaitCursor wait;
    result = measureRotation(ui->viewReference->photo(), ui->viewCurrent->photo(),
                             ui->viewReference->limbus(), ui->viewCurrent->limbus());
    // A limbus not found gets a ring in the photo's middle, for the user to drag into place.
    const auto orDefault = [](const std::optional<Circle>& c, const QImage& photo) {
        return c ? *c
                 : Circle{QPointF(photo.width() / 2.0, photo.height() / 2.0),
                          std::min(photo.width(), photo.height()) / 6.0};
    };
    ui->viewReference->setLimbus(orDefault(result.referenceLimbus, ui->viewReference->photo()));
    ui->viewCurrent->setLimbus(orDefault(result.currentLimbus, ui->viewCurrent->photo()));
    showResult();
}

std::optional<LandmarkRotation> CompareWindow::landmarkRotation() const {
    const auto& ref = ui->viewReference->limbus();
    const auto& cur = ui->viewCurrent->limbus();
    if (!ref || !cur)
        return std::nullopt;
    return rotationFromLandmarks(*ref, *cur, pairs);
}

std::optional<double> CompareWindow::rotation() const {
    if (const auto manual = landmarkRotation())
        return manual->degrees;
    if (result.measured)
        return result.degrees;
    return std::nullopt;
}

void CompareWindow::showResult() {
    ui->lblResult->setText(rotationLine(result));
    std::vector<QPointF> refPoints, curPoints;
    for (const LandmarkPair& p : pairs)
        refPoints.push_back(p.reference), curPoints.push_back(p.current);
    if (pending)
        (pending->first ? refPoints : curPoints).push_back(pending->second);
    ui->viewReference->setLandmarks(refPoints);
    ui->viewCurrent->setLandmarks(curPoints);
    QString manual;
    if (const auto m = landmarkRotation())
        manual = i18n::lookup(QString::fromUtf8(kManualLine))
                     .arg(number(m->degrees, 1), number(m->spread, 1))
                     .arg(m->pairs);
    if (pending)
        manual += (manual.isEmpty() ? QString() : QStringLiteral("  ")) +
                  i18n::lookup(QString::fromUtf8(kPendingLine));
    ui->lblLandmarks->setText(manual);
    ui->viewCurrent->setCarriedZero(rotation());
}

void CompareWindow::landmarkClicked(bool inReference, const QPointF& point) {
    if (pending && pending->first != inReference) {
        pairs.push_back(inReference ? LandmarkPair{point, pending->second}
                                    : LandmarkPair{pending->second, point});
        pending.reset();
    } else {
        pending = std::make_pair(inReference, point);
    }
    showResult();
}

void CompareWindow::apply() {
    const auto turn = rotation();
    const auto& limbus = ui->viewCurrent->limbus();
    if (!turn || !limbus) {
        messages.message(this, i18n::lookup(QString::fromUtf8(kNoRotation)));
        return;
    }
    emit applied(
        CarriedGuide{limbus->centre, carriedAxis(ui->spnAxis->value(), *turn), *turn, referenceName});
}
