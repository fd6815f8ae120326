// Comparing the photo with a reference photo of the same eye: the window opens from the photo's
// context menu and on Ctrl+R, and "Aplicar" carries the reference axis across as one undo step,
// brings the main window forward and says over the photo what was applied.
#include "unitMain.h"

#include "compare_window.h"
#include "platform.h"
#include "ui_unitMain.h"

#include "i18n/catalogue.h"
#include "output/rotation_report.h"

#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QUndoStack>

namespace {

const char kCompareAction[] = "Comparar con foto de referencia…";
const char kToricAction[] = "Lente tórica…";
const char kNoPhotoToCompare[] = "Abra primero una foto para compararla con una foto de referencia.";
constexpr int kNoticeMs = 10000;

// A note along the bottom of the photo panel that hides itself after a while; one label is reused.
void showNotice(QWidget* panel, const QString& text) {
    auto* label = panel->findChild<QLabel*>(QStringLiteral("lblCarried"), Qt::FindDirectChildrenOnly);
    if (!label) {
        label = new QLabel(panel);
        label->setObjectName(QStringLiteral("lblCarried"));
        label->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 170); color: white; padding: 4px;"));
        auto* timer = new QTimer(label);
        timer->setSingleShot(true);
        timer->setInterval(kNoticeMs);
        QObject::connect(timer, &QTimer::timeout, label, &QWidget::hide);
    }
    label->setText(text);
    label->adjustSize();
    label->move(6, panel->height() - label->height() - 6);
    label->show();
    label->raise();
    label->findChild<QTimer*>()->start();
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
        compareWindow =
            new CompareWindow(Photo, ui->GuiaGrados->fieldValue(), referenceChooser, *messages, this);
        compareWindow->setObjectName(QStringLiteral("CompareWindow"));
        compareWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(compareWindow, &CompareWindow::applied, this, [this](const CarriedGuide& carried) {
            applyCarriedGuide(carried);
            takeComparisonIntoToric();
            raise();
            activateWindow();
            showNotice(ui->pnlScreen, carriedLine(carried.guide, carried.referenceName, carried.rotation));
        });
        connect(compareWindow, &CompareWindow::measureFinished, this, &TFormMain::takeComparisonIntoToric);
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
    carriedRotation = CarriedRotation{carried.rotation, carried.referenceName};
    DrawOverlay();
    recordGaugeChange(before);
}
