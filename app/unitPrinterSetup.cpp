#include "app/unitPrinterSetup.h"

#include "i18n/translate.h"
#include "ui_unitPrinterSetup.h"

#include <algorithm>

TPrinterSetup::TPrinterSetup(const QList<SetupDestination>& list, const PrinterSettings& current,
                             QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TPrinterSetup>()), destinations(list) {
    ui->setupUi(this);
    for (const SetupDestination& d : destinations)
        ui->cbImpresora->addItem(d.shown);
    int index = 0;
    for (int i = 0; i < destinations.size(); ++i)
        if (destinations.at(i).name == current.printer)
            index = i;
    showDestination(index, current.pageSize, current.orientation);
    ui->spCopias->setValue(current.copies);
    connect(ui->cbImpresora, &QComboBox::activated, this, [this](int i) {
        showDestination(i, destinations.at(i).defaultSize, destinations.at(i).defaultOrientation);
    });
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    i18n::TranslateComponent(this);
}

TPrinterSetup::~TPrinterSetup() = default;

// Lists the destination's papers with the given one selected (else its default) and the orientation.
void TPrinterSetup::showDestination(int index, const QPageSize& size, QPageLayout::Orientation orientation) {
    if (index < 0 || index >= destinations.size())
        return;
    const SetupDestination& d = destinations.at(index);
    ui->cbImpresora->setCurrentIndex(index);
    ui->cbPapel->clear();
    for (const QPageSize& page : d.pageSizes)
        ui->cbPapel->addItem(page.name());
    const auto find = [&d](const QPageSize& wanted) {
        for (int i = 0; i < d.pageSizes.size(); ++i)
            if (d.pageSizes.at(i).isEquivalentTo(wanted))
                return i;
        return -1;
    };
    const int paper = find(size) >= 0 ? find(size) : find(d.defaultSize);
    ui->cbPapel->setCurrentIndex(std::max(0, paper));
    ui->cbOrientacion->setCurrentIndex(orientation == QPageLayout::Landscape ? 1 : 0);
    ui->spCopias->setEnabled(!d.name.isEmpty());
}

PrinterSettings TPrinterSetup::settings() const {
    PrinterSettings s;
    const int index = ui->cbImpresora->currentIndex();
    if (index < 0 || index >= destinations.size())
        return s;
    const SetupDestination& d = destinations.at(index);
    s.printer = d.name;
    const int paper = ui->cbPapel->currentIndex();
    s.pageSize = paper >= 0 && paper < d.pageSizes.size() ? d.pageSizes.at(paper) : d.defaultSize;
    s.orientation = ui->cbOrientacion->currentIndex() == 1 ? QPageLayout::Landscape : QPageLayout::Portrait;
    // A number typed beyond the field's range is not pulled in until the field is left.
    s.copies = d.name.isEmpty() ? 1 : std::clamp(ui->spCopias->fieldValue(), 1, 999);
    return s;
}
