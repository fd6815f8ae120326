#pragma once

#include "settings/gauge_settings.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TformOpciones;
}

// Settings dialog: its controls are the only holders of the gauge settings.
class TformOpciones : public QDialog {
    Q_OBJECT
public:
    explicit TformOpciones(QWidget* parent = nullptr);
    ~TformOpciones() override;

    // The gauge settings as the controls hold them now.
    GaugeSettings settings() const;

private:
    std::unique_ptr<Ui::TformOpciones> ui;
};
