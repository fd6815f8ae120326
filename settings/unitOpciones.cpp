#include "settings/unitOpciones.h"

#include "ui_unitOpciones.h"

TformOpciones::TformOpciones(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TformOpciones>()) {
    ui->setupUi(this);
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TformOpciones::~TformOpciones() = default;

GaugeSettings TformOpciones::settings() const {
    return GaugeSettings();
}
