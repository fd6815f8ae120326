// Finding the commands without the README: the photo panel's tip, a hint over the empty panel, the
// guide on F1, and the reference text marked while it is the previous photo's.
#include "unitMain.h"

#include "compare_window.h"
#include "guide_window.h"
#include "ui_unitMain.h"

#include "i18n/catalogue.h"

#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

const char kPanelTip[] = "Doble clic en la pupila o en el iris: centra el calibre en su contorno.\n"
                         "Arrastre: mueve el centro o el radio. Rueda: zoom.\n"
                         "Clic derecho: Comparar con foto de referencia… (Ctrl+R) y Lente tórica… (Ctrl+T).\n"
                         "F1: guía de uso.";
const char kStartHint[] = "Abra una foto (Ctrl+O), péguela (Ctrl+V) o arrástrela aquí.\n"
                          "Después, doble clic en la pupila para centrar el calibre.\n"
                          "F1: guía de uso.";
const char kCarriedReferenceTip[] =
    "Texto de la foto anterior: compruébelo antes de guardar o imprimir; se desmarca al editarlo.";
const QColor kCarriedReferenceTint(255, 233, 168);

} // namespace

void TFormMain::setupHelp() {
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &TFormMain::openGuide);
    // Set before the window is translated, so that the walker keeps both in the current language.
    ui->pnlScreen->setToolTip(QString::fromUtf8(kPanelTip));
    startHint = new QLabel(ui->pnlScreen);
    startHint->setObjectName(QStringLiteral("lblStartHint"));
    startHint->setText(QString::fromUtf8(kStartHint));
    startHint->setAlignment(Qt::AlignCenter);
    startHint->setStyleSheet(QStringLiteral("color: #555; font-size: 14px;"));
    startHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    startHint->ensurePolished();
    startHint->setFixedSize(startHint->sizeHint());
    // The panel's only laid-out child, so that it stays centred whatever the panel's size; the photo
    // layers keep their own geometry.
    (new QVBoxLayout(ui->pnlScreen))->addWidget(startHint, 0, Qt::AlignCenter);
    connect(ui->Referencia, &QLineEdit::textEdited, this, [this] {
        referencePhotoKey = Photo.cacheKey();
        showPanelHints();
    });
}

// Called on every redraw: each part changes only what differs, so that a drag stays cheap.
void TFormMain::showPanelHints() {
    if (!startHint)
        return; // a redraw during the window's creation
    if (Photo.isNull() || startHint->isVisibleTo(ui->pnlScreen)) {
        // Its own size, which the caption fitting leaves alone; shown where the panel has room for it.
        startHint->ensurePolished();
        startHint->setFixedSize(startHint->sizeHint());
        const QSize panel = ui->pnlScreen->size();
        startHint->setVisible(Photo.isNull() && panel.width() >= startHint->width() &&
                              panel.height() >= startHint->height());
        ui->pnlScreen->layout()->activate(); // placed now, also while the window is still hidden
    }
    // A reference typed, or read from a file, belongs to the photo it came with; one typed before any
    // photo, to the first one opened.
    const bool empty = ui->Referencia->text().isEmpty();
    if (empty || referencePhotoKey == 0)
        referencePhotoKey = Photo.cacheKey();
    const bool carried = !empty && referencePhotoKey != Photo.cacheKey();
    // Through the palette, so that the field keeps the layout's font.
    QPalette palette = ui->Referencia->parentWidget()->palette();
    if (carried)
        palette.setColor(QPalette::Base, kCarriedReferenceTint);
    if (ui->Referencia->palette().color(QPalette::Base) != palette.color(QPalette::Base))
        ui->Referencia->setPalette(palette);
    const QString tip = carried ? i18n::lookup(QString::fromUtf8(kCarriedReferenceTip)) : QString();
    if (ui->Referencia->toolTip() != tip)
        ui->Referencia->setToolTip(tip);
}

bool TFormMain::referenceCarriedOver() const {
    return !ui->Referencia->text().isEmpty() && referencePhotoKey != Photo.cacheKey();
}

// What the program set while it ran, in the language just chosen.
void TFormMain::refreshShownTexts() {
    if (compareWindow)
        compareWindow->refresh();
    showCarriedNote();
    showPanelHints();
    if (guideWindow && guideWindow->isVisible())
        guideWindow->showGuide();
}

void TFormMain::openGuide() {
    if (!guideWindow) {
        guideWindow = new GuideWindow(this);
        guideWindow->setObjectName(QStringLiteral("GuideWindow"));
        guideWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    guideWindow->showGuide();
}
