#include "compare_window.h"

#include "file_drop.h"
#include "platform.h"
#include "ui_compare_window.h"
#include "wait_cursor.h"

#include "gauge/guide_axis.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "imaging/file_types.h"
#include "imaging/imaging.h"
#include "output/rotation_report.h"
#include "output/save.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>

#include <algorithm>

namespace {

const char kOpenError[] = "Error al abrir la imagen";
const char kNoRotation[] = "Sin rotación: mida o marque puntos primero";
const char kPendingLine[] = "Marque el mismo punto en la otra foto";
const char kMeasuring[] = "Midiendo la rotación…";
const char kCancelled[] = "Medida cancelada";
const char kRefusedLine[] =
    "%1. Arrastre los anillos sobre el limbo en las dos fotos, o marque el mismo punto en ambas.";
const char kReferenceAxis[] = "Eje de referencia";
const char kCarriedAxis[] = "Eje llevado";
const char kNoAxis[] = "Escriba el eje de la foto de referencia.";
const char kCarriedAxisLine[] = "Eje llevado: %1°";
const char kAppliedAxisLine[] = "Eje llevado: %1° (aplicado)";

// Where the reference axis shown comes from, in words.
const char* axisSourceText(ReferenceAxisSource source) {
    switch (source) {
    case ReferenceAxisSource::Recorded:
        return "guardado en la foto de referencia";
    case ReferenceAxisSource::GuideLine:
        return "línea guía de la ventana principal";
    case ReferenceAxisSource::Typed:
        return "escrito para esta foto de referencia";
    case ReferenceAxisSource::None:
        break;
    }
    return "escríbalo: la línea guía muestra un eje llevado";
}

// The guide line a file saved by this program records, read without decoding its pixels.
std::optional<int> recordedGuide(const QString& path) {
    QImageReader reader(path);
    return output::guideOfMeasurement(reader.text(QStringLiteral("Description")));
}

// The ring shown where no limbus was found, or where one was carried off the photo: in the photo's
// middle and wholly inside it, for the user to drag into place.
Circle ringInPhoto(const std::optional<Circle>& found, const QImage& photo) {
    const QRectF frame(0, 0, photo.width(), photo.height());
    if (found && frame.contains(found->centre))
        return *found;
    return Circle{frame.center(), std::min(photo.width(), photo.height()) / 6.0};
}

} // namespace

// One run of the measure: the worker writes the result, the window reads it once the thread ends.
struct CompareWindow::Job {
    std::atomic<bool> cancel{false};
    RotationResult result;
};

CompareWindow::CompareWindow(const QImage& current, std::optional<int> guideLine, FileChooser& chooser,
                             MessageSink& messages, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CompareWindow>()), chooser(chooser), messages(messages),
      guideLine(guideLine) {
    ui->setupUi(this);
    ui->viewCurrent->setPhoto(current);
    setReferenceAxis(guideLine ? ReferenceAxis{guideLine, ReferenceAxisSource::GuideLine} : ReferenceAxis{});
    connect(ui->btnOpenReference, &QPushButton::clicked, this, &CompareWindow::chooseReference);
    connect(ui->btnApply, &QPushButton::clicked, this, &CompareWindow::apply);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->btnCancel, &QPushButton::clicked, this, &CompareWindow::cancelMeasure);
    connect(ui->btnMeasure, &QPushButton::clicked, this, &CompareWindow::measure);
    connect(ui->spnAxis, qOverload<int>(&QSpinBox::valueChanged), this, &CompareWindow::axisTyped);
    connect(ui->rbMeasured, &QRadioButton::toggled, this, [this](bool on) {
        preferMeasured = on;
        showResult();
    });
    connect(ui->chkLandmarks, &QCheckBox::toggled, this, [this](bool on) {
        ui->viewReference->setLandmarkMode(on);
        ui->viewCurrent->setLandmarkMode(on);
    });
    connect(ui->btnClearLandmarks, &QPushButton::clicked, this, [this] {
        pairs.clear();
        pending.reset();
        ui->rbLandmarks->setChecked(true);
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
    showResult();
}

// The workers read only the photos they were given, but must not outlive the program: a running
// one is told to stop and waited for.
CompareWindow::~CompareWindow() {
    cancelMeasure();
    for (QThread* worker : workers) {
        worker->wait();
        delete worker;
    }
}

void CompareWindow::closeEvent(QCloseEvent* event) {
    cancelMeasure();
    QDialog::closeEvent(event);
}

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
    // An axis typed before any reference was opened is meant for this one.
    const bool typedFirst = referencePath.isEmpty() && axisSource == ReferenceAxisSource::Typed;
    ReferenceAxis axis = axes->choose(path, recordedGuide(path), typedFirst ? referenceAxis() : guideLine);
    if (typedFirst && axis.source == ReferenceAxisSource::GuideLine)
        axis.source = ReferenceAxisSource::Typed;
    axes->keep(path, axis);
    referencePath = path;
    referenceName = QFileInfo(path).fileName();
    ui->lblReferenceName->setText(referenceName);
    ui->viewReference->setPhoto(decoded.image);
    ui->viewReference->setLimbus(std::nullopt);
    ui->viewCurrent->setLimbus(std::nullopt);
    setReferenceAxis(axis);
    pairs.clear();
    pending.reset();
    ui->rbLandmarks->setChecked(true);
    measure();
    return true;
}

void CompareWindow::measure() {
    if (ui->viewReference->photo().isNull())
        return;
    cancelMeasure();
    cancelled = false;
    result = RotationResult();
    auto job = std::make_shared<Job>();
    running = job;
    QThread* worker = QThread::create(
        [job, reference = ui->viewReference->photo(), current = ui->viewCurrent->photo(),
         referenceLimbus = ui->viewReference->limbus(), currentLimbus = ui->viewCurrent->limbus()] {
            job->result = measureRotation(reference, current, referenceLimbus, currentLimbus, &job->cancel);
        });
    workers.push_back(worker);
    connect(worker, &QThread::finished, this, [this, worker, job] {
        workers.erase(std::find(workers.begin(), workers.end(), worker));
        worker->deleteLater();
        finishMeasure(job);
    });
    worker->start();
    showMeasuring(true);
    showResult();
}

void CompareWindow::cancelMeasure() {
    if (!running)
        return;
    running->cancel = true;
    running.reset();
    cancelled = true;
    showMeasuring(false);
    showResult();
}

void CompareWindow::finishMeasure(const std::shared_ptr<Job>& job) {
    if (job != running)
        return; // cancelled, or superseded by a newer measure
    running.reset();
    result = job->result;
    ui->viewReference->setLimbus(ringInPhoto(result.referenceLimbus, ui->viewReference->photo()));
    ui->viewCurrent->setLimbus(ringInPhoto(result.currentLimbus, ui->viewCurrent->photo()));
    showMeasuring(false);
    showResult();
    emit measureFinished();
}

void CompareWindow::showMeasuring(bool on) {
    ui->barMeasure->setVisible(on);
    ui->btnCancel->setVisible(on);
    ui->btnMeasure->setVisible(!on && !ui->viewReference->photo().isNull());
}

const QImage& CompareWindow::referencePhoto() const {
    return ui->viewReference->photo();
}

std::optional<int> CompareWindow::referenceAxis() const {
    const int value = ui->spnAxis->value();
    return value < 0 ? std::nullopt : std::optional<int>(value);
}

void CompareWindow::setReferenceAxis(const ReferenceAxis& axis) {
    {
        const QSignalBlocker block(ui->spnAxis);
        ui->spnAxis->setValue(axis.degrees.value_or(-1));
    }
    axisSource = axis.source;
    showResult();
}

// A value typed by the user belongs to the reference photo open, and is kept with it.
void CompareWindow::axisTyped(int value) {
    axisSource = value < 0 ? ReferenceAxisSource::None : ReferenceAxisSource::Typed;
    axes->keep(referencePath, ReferenceAxis{referenceAxis(), axisSource});
    showResult();
}

void CompareWindow::refresh() {
    if (!referenceName.isEmpty())
        ui->lblReferenceName->setText(referenceName);
    showResult();
}

std::optional<LandmarkRotation> CompareWindow::landmarkRotation() const {
    const auto& ref = ui->viewReference->limbus();
    const auto& cur = ui->viewCurrent->limbus();
    if (!ref || !cur)
        return std::nullopt;
    return rotationFromLandmarks(*ref, *cur, pairs);
}

bool CompareWindow::usesLandmarks() const {
    return landmarkRotation() && !(result.measured && preferMeasured);
}

std::optional<double> CompareWindow::rotation() const {
    if (usesLandmarks())
        return landmarkRotation()->degrees;
    if (result.measured)
        return result.degrees;
    return std::nullopt;
}

void CompareWindow::showResult() {
    QString line;
    if (running)
        line = i18n::lookup(QString::fromUtf8(kMeasuring));
    else if (cancelled)
        line = i18n::lookup(QString::fromUtf8(kCancelled));
    else if (result.measured)
        line = rotationLine(result);
    else if (!ui->viewReference->photo().isNull())
        line = i18n::lookup(QString::fromUtf8(kRefusedLine)).arg(rotationLine(result));
    if (!line.isEmpty())
        ui->lblResult->setText(line);
    ui->lblResult->setToolTip(confidenceNote(result));
    showLandmarks();
    // The choice between the two rotations is offered only when both exist.
    const bool both = landmarkRotation() && result.measured;
    for (QWidget* w : std::initializer_list<QWidget*>{ui->lblSource, ui->rbMeasured, ui->rbLandmarks})
        w->setVisible(both);
    showAxisLines();
}

// The reference axis with where it comes from, and the axis it becomes on the current photo.
void CompareWindow::showAxisLines() {
    const auto turn = rotation();
    const auto axis = referenceAxis();
    const std::optional<int> carried =
        turn && axis ? std::optional<int>(carriedAxis(*axis, *turn)) : std::nullopt;
    ui->lblAxisSource->setText(i18n::lookup(QString::fromUtf8(axisSourceText(axisSource))));
    if (carried && carried != appliedAxis)
        appliedAxis.reset();
    const char* carriedText = appliedAxis ? kAppliedAxisLine : kCarriedAxisLine;
    ui->lblCarriedAxis->setText(carried ? i18n::lookup(QString::fromUtf8(carriedText)).arg(*carried)
                                        : QString());
    ui->viewReference->setAxis(axis ? std::optional<double>(*axis) : std::nullopt, kReferenceAxis);
    ui->viewCurrent->setCarriedZero(turn);
    ui->viewCurrent->setAxis(carried ? std::optional<double>(*carried) : std::nullopt, kCarriedAxis);
}

void CompareWindow::showLandmarks() {
    std::vector<QPointF> refPoints, curPoints;
    for (const LandmarkPair& p : pairs)
        refPoints.push_back(p.reference), curPoints.push_back(p.current);
    if (pending)
        (pending->first ? refPoints : curPoints).push_back(pending->second);
    ui->viewReference->setLandmarks(refPoints);
    ui->viewCurrent->setLandmarks(curPoints);
    const auto manual = landmarkRotation();
    QString manualLine = manual ? landmarkLine(*manual) : QString();
    if (pending)
        manualLine += (manualLine.isEmpty() ? QString() : QStringLiteral("  ")) +
                      i18n::lookup(QString::fromUtf8(kPendingLine));
    ui->lblLandmarks->setText(manualLine);
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
    const auto axis = referenceAxis();
    if (!axis) {
        messages.message(this, i18n::lookup(QString::fromUtf8(kNoAxis)));
        ui->spnAxis->setFocus();
        return;
    }
    const bool unchecked = !usesLandmarks() && rotationTrust(result) != RotationTrust::Reliable;
    const CarriedGuide carried{limbus->centre, carriedAxis(*axis, *turn), *turn, referenceName, unchecked};
    appliedAxis = carried.guide;
    showAxisLines();
    emit applied(carried);
}
