#include "app/unitOpciones.h"

#include "app/application.h"
#include "app/caption_fit.h"
#include "app/colour_chooser.h"
#include "app/unitSpinField.h"
#include "i18n/translate.h"
#include "ui_unitOpciones.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

namespace {

// Where the dialog's frame opens the first time, kept inside the screen.
const QPoint kLayoutPosition(842, 326);

QColor panelColour(const QFrame* panel) {
    return panel->palette().color(QPalette::Window);
}

void setPanelColour(QFrame* panel, const QColor& colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
}

// A transparency as the field's text stands, pulled into 0..100 even before the field is left.
int transparencyValue(const SpinField* field) {
    return std::clamp(field->fieldValue(), field->minimum(), field->maximum());
}

// The lists hold exactly three items and cannot be edited, so an index is always 0, 1 or 2.
int thicknessIndex(const QComboBox* list) {
    return std::clamp(list->currentIndex(), 0, 2);
}

} // namespace

TformOpciones::TformOpciones(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TformOpciones>()), colourChooser(&qtColourChooser()) {
    ui->setupUi(this);
    runCreationStep([this] { FormCreate(); });
}

TformOpciones::~TformOpciones() = default;

void TformOpciones::FormCreate() {
    const GaugeSettings defaults;
    setPanelColour(ui->AngleColorLines, defaults.angleColorLines);
    setPanelColour(ui->AngleColorNumbers, defaults.angleColorNumbers);
    setPanelColour(ui->RefColor, defaults.refColor);
    setPanelColour(ui->SectorColor, defaults.sectorColor);
    for (QFrame* panel : {ui->AngleColorLines, ui->AngleColorNumbers, ui->RefColor, ui->SectorColor})
        panel->installEventFilter(this);

    ui->BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    // An explicit position keeps Qt from centring the dialog over the main window.
    move(kLayoutPosition);
    FormShow(); // a close before the first showing then restores what the controls hold
    i18n::TranslateComponent(this);
    fitCaptions(this);
}

GaugeSettings TformOpciones::settings() const {
    GaugeSettings s;
    s.angleColorLines = panelColour(ui->AngleColorLines);
    s.angleColorNumbers = panelColour(ui->AngleColorNumbers);
    s.angleStep = ui->AngleStep5->isChecked() ? 5 : 10;
    s.angleTrans = transparencyValue(ui->AngleTrans);
    s.refColor = panelColour(ui->RefColor);
    s.refTrans = transparencyValue(ui->RefTrans);
    s.refWidth = thicknessIndex(ui->RefWidth);
    s.sectorColor = panelColour(ui->SectorColor);
    s.sectorTrans = transparencyValue(ui->SectorTrans);
    s.sectorWidth = thicknessIndex(ui->SectorWidth);
    return s;
}

void TformOpciones::ChangeColorsClick(QFrame* panel) {
    const std::optional<QColor> chosen = colourChooser->chooseColour(this, panelColour(panel));
    if (chosen)
        setPanelColour(panel, *chosen);
}

bool TformOpciones::eventFilter(QObject* watched, QEvent* event) {
    auto* panel = qobject_cast<QFrame*>(watched);
    if (panel && event->type() == QEvent::MouseButtonRelease) {
        // A click: the release lands on the panel that took the press, inside it.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && panel->rect().contains(mouse->position().toPoint())) {
            ChangeColorsClick(panel);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TformOpciones::showEvent(QShowEvent* event) {
    // Spontaneous shows come from the window system (restoring a minimised window), not a new showing.
    if (!event->spontaneous()) {
        if (!placed) {
            placeOnScreen();
            placed = true;
        }
        FormShow();
    }
    QDialog::showEvent(event);
}

void TformOpciones::done(int result) {
    FormClose(result);
    QDialog::done(result);
}

void TformOpciones::FormShow() {
    snapshot.angleColorNumbers = panelColour(ui->AngleColorNumbers);
    snapshot.angleColorLines = panelColour(ui->AngleColorLines);
    snapshot.angleTrans = transparencyValue(ui->AngleTrans);
    snapshot.angleStep10 = ui->AngleStep10->isChecked() ? 1 : 0;
    snapshot.angleStep5 = ui->AngleStep5->isChecked() ? 1 : 0;
}

void TformOpciones::FormClose(int result) {
    if (result == QDialog::Accepted)
        return;
    // Only the template group goes back; guide line and sector changes stay in force.
    setPanelColour(ui->AngleColorNumbers, snapshot.angleColorNumbers);
    setPanelColour(ui->AngleColorLines, snapshot.angleColorLines);
    ui->AngleTrans->setValue(snapshot.angleTrans);
    // Radio buttons are exclusive: checking the remembered one unchecks the other.
    if (snapshot.angleStep10 == 1)
        ui->AngleStep10->setChecked(true);
    if (snapshot.angleStep5 == 1)
        ui->AngleStep5->setChecked(true);
}

void TformOpciones::placeOnScreen() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const QSize extra = frameGeometry().size() - size();
    const int w = width() + extra.width();
    const int h = height() + extra.height();
    const int x = std::max(avail.left(), std::min(kLayoutPosition.x(), avail.right() + 1 - w));
    const int y = std::max(avail.top(), std::min(kLayoutPosition.y(), avail.bottom() + 1 - h));
    move(x, y);
}
