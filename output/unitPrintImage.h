#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TPrintImage;
}

// Print layout dialog: places the composite on one printed page.
class TPrintImage : public QDialog {
    Q_OBJECT
public:
    explicit TPrintImage(QWidget* parent = nullptr);
    ~TPrintImage() override;

private:
    std::unique_ptr<Ui::TPrintImage> ui;
};
