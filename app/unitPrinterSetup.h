#pragma once

#include <QDialog>
#include <QList>
#include <QPageLayout>
#include <QPageSize>

#include <memory>

namespace Ui {
class TPrinterSetup;
}

// What the printer setup decides: the destination (empty for the PDF file), its paper, the
// orientation and the number of copies.
struct PrinterSettings {
    QString printer;
    QPageSize pageSize;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int copies = 1;
};

// A destination the setup offers: its name as listed, the papers it takes and its own defaults.
struct SetupDestination {
    QString name;  // empty for the PDF file
    QString shown; // the list's text
    QList<QPageSize> pageSizes;
    QPageSize defaultSize;
    QPageLayout::Orientation defaultOrientation = QPageLayout::Portrait;
};

// Printer setup: destination, paper, orientation and copies, confirmed with OK. Choosing another
// destination shows that one's own paper and orientation. The PDF file is written once, so its
// copies field is disabled.
class TPrinterSetup : public QDialog {
    Q_OBJECT
public:
    TPrinterSetup(const QList<SetupDestination>& destinations, const PrinterSettings& current,
                  QWidget* parent = nullptr);
    ~TPrinterSetup() override;

    PrinterSettings settings() const;

private:
    void showDestination(int index, const QPageSize& size, QPageLayout::Orientation orientation);

    std::unique_ptr<Ui::TPrinterSetup> ui;
    QList<SetupDestination> destinations;
};
