#include "output/unitPrintImage.h"

#include "ui_unitPrintImage.h"

#include "i18n/translate.h"

TPrintImage::TPrintImage(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TPrintImage>()) {
    ui->setupUi(this);
    connect(ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    i18n::TranslateComponent(this);
}

TPrintImage::~TPrintImage() = default;
