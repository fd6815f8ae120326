// Comparing the photo with a reference photo of the same eye: the window opens from the photo's
// context menu and on Ctrl+R, and "Aplicar" carries the reference axis across as one undo step,
// steps the window aside from the photo and says over the photo what was applied, until the gauge
// changes.
#include "unitMain.h"

#include "compare_window.h"
#include "platform.h"
#include "ui_unitMain.h"
#include "window_placement.h"

#include "i18n/catalogue.h"
#include "output/rotation_report.h"

#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QUndoStack>

namespace {

const char kCompareAction[] = "Comparar con foto de referencia…";
const char kToricAction[] = "Lente tórica…";
const char kNoPhotoToCompare[] = "Abra primero una foto para compararla con una foto de referencia.";
const char kUncheckedNote[] =
    "La rotación es de confianza baja: compruébela marcando el mismo punto en las dos fotos.";

// The note along the bottom of the photo panel; one label, made on first use, that lets the pointer
// through to the photo.
QLabel* carriedNoteLabel(QWidget* panel) {
    auto* label = panel->findChild<QLabel*>(QStringLiteral("lblCarried"), Qt::FindDirectChildrenOnly);
    if (!label) {
        label = new QLabel(panel);
        label->setObjectName(QStringLiteral("lblCarried"));
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    return label;
}

} // namespace

void TFormMain::setupComparison() {
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this), &QShortcut::activated, this,
            &TFormMain::openComparison);
    ui->pnlScreen->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->pnlScreen, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (Photo.isNull())
            return;
        QMenu menu(this);
        menu.setObjectName(QStringLiteral("mnuPhoto"));
        QAction* compare = menu.addAction(i18n::lookup(QString::fromUtf8(kCompareAction)));
        compare->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
        connect(compare, &QAction::triggered, this, &TFormMain::openComparison);
        QAction* toric = menu.addAction(i18n::lookup(QString::fromUtf8(kToricAction)));
        toric->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
        connect(toric, &QAction::triggered, this, &TFormMain::openToric);
        menu.exec(ui->pnlScreen->mapToGlobal(at));
    });
}

CompareWindow* TFormMain::comparison() const {
    return compareWindow.data();
}

void TFormMain::openComparison() {
    if (Photo.isNull()) {
        messages->message(this, i18n::lookup(QString::fromUtf8(kNoPhotoToCompare)));
        return;
    }
    if (!compareWindow) {
        // An axis carried onto the guide line is not the reference photo's: it is not offered back.
        const int guide = ui->GuiaGrados->fieldValue();
        const std::optional<int> offered =
            lastCarriedGuide == guide ? std::nullopt : std::optional<int>(guide);
        compareWindow = new CompareWindow(Photo, offered, referenceChooser, *messages, this);
        compareWindow->setObjectName(QStringLiteral("CompareWindow"));
        compareWindow->setAttribute(Qt::WA_DeleteOnClose);
        compareWindow->setReferenceAxes(&referenceAxes);
        connect(compareWindow, &CompareWindow::applied, this, [this](const CarriedGuide& carried) {
            applyCarriedGuide(carried);
            takeComparisonIntoToric();
            stepAside(compareWindow, photoPanelOnScreen());
            raise();
            activateWindow();
        });
        connect(compareWindow, &CompareWindow::measureFinished, this, &TFormMain::takeComparisonIntoToric);
        compareWindow->show();
        // Beside the photo when the screen has room for it whole; over it otherwise, until "Aplicar".
        stepAside(compareWindow, photoPanelOnScreen(), false);
    }
    compareWindow->show();
    compareWindow->raise();
    compareWindow->activateWindow();
}

void TFormMain::applyCarriedGuide(const CarriedGuide& carried) {
    if (Photo.isNull())
        return;
    const GaugePlacement before = gaugePlacement();
    // Every control is set before the one redraw and the one history step.
    const QSignalBlocker block(ui->GuiaGrados);
    CentreOffsetX = float(carried.limbusCentre.x() / Photo.width() - 0.5);
    CentreOffsetY = float(carried.limbusCentre.y() / Photo.height() - 0.5);
    ui->GuiaGrados->setValue(carried.guide);
    ui->GuiaMostrar->setChecked(true);
    carriedRotation =
        CarriedRotation{carried.rotation, carried.referenceName, carried.guide, carried.unchecked};
    lastCarriedGuide = carried.guide;
    DrawOverlay();
    recordGaugeChange(before);
    carriedPlacement = gaugePlacement();
    showCarriedNote();
}

QRect TFormMain::photoPanelOnScreen() const {
    return QRect(ui->pnlScreen->mapToGlobal(QPoint(0, 0)), ui->pnlScreen->size());
}

void TFormMain::showCarriedNote() {
    QLabel* note = carriedNoteLabel(ui->pnlScreen);
    if (!carriedRotation || carriedPlacement != gaugePlacement()) {
        note->hide();
        carriedPlacement.reset(); // a later undo back to it does not bring the note back
        return;
    }
    QString text =
        carriedLine(carriedRotation->guide, carriedRotation->referenceName, carriedRotation->rotation);
    if (carriedRotation->unchecked)
        text += QLatin1Char('\n') + i18n::lookup(QString::fromUtf8(kUncheckedNote));
    // Orange where the rotation still wants checking.
    note->setStyleSheet(carriedRotation->unchecked
                            ? QStringLiteral("background: rgba(150, 70, 0, 220); color: white; padding: 4px;")
                            : QStringLiteral("background: rgba(0, 0, 0, 170); color: white; padding: 4px;"));
    note->setText(text);
    // On one line where the panel is wide enough, else wrapped to the panel's width.
    const int widest = std::max(80, ui->pnlScreen->width() - 12);
    note->setWordWrap(false);
    note->setMinimumSize(0, 0);
    note->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    note->adjustSize();
    if (note->width() > widest) {
        note->setWordWrap(true);
        note->setFixedWidth(widest);
        note->setFixedHeight(note->heightForWidth(widest));
    }
    note->move(6, ui->pnlScreen->height() - note->height() - 6);
    note->show();
    note->raise();
}
