#pragma once

#include "gauge/gauge_settings.h"

#include <QColor>
#include <QDialog>

#include <memory>

namespace Ui {
class TformOpciones;
}
class ColourChooser;
class QFrame;
class QSpinBox;

// Settings dialog: its controls are the only holders of the gauge settings. Every change is made
// to the live control; closing by any way other than "Aceptar" brings back the template group
// (both template colours, the step and its transparency) as it was when the dialog was shown.
class TformOpciones : public QDialog {
    Q_OBJECT
public:
    explicit TformOpciones(QWidget* parent = nullptr);
    ~TformOpciones() override;

    // The gauge settings as the controls hold them now.
    GaugeSettings settings() const;

    void setColourChooser(ColourChooser* chooser) { colourChooser = chooser; }

    // Every way of closing (the buttons, Enter, Escape, the close box) ends here.
    void done(int result) override;

public slots:
    // Click on one of the four colour panels.
    void ChangeColorsClick(QFrame* panel);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The template group, as remembered when the dialog is shown.
    struct TemplateSnapshot {
        QColor angleColorNumbers;
        QColor angleColorLines;
        int angleTrans = 0;
        int angleStep10 = 1;
        int angleStep5 = 0;
    };

    void FormCreate();
    void FormShow();
    void FormClose(int result);
    void placeOnScreen();

    std::unique_ptr<Ui::TformOpciones> ui;
    ColourChooser* colourChooser;
    TemplateSnapshot snapshot;
    bool placed = false;
};
