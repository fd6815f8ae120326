#pragma once

#include "output/print_layout.h"

#include <QDialog>
#include <QImage>

#include <memory>

namespace Ui {
class TPrintImage;
}
class FileChooser;
class PrinterBackend;
class SpinField;

// Print layout dialog: places the composite on one printed page, with a preview that follows every
// change, and prints it. Created once; its controls keep their values for the whole run.
class TPrintImage : public QDialog {
    Q_OBJECT
public:
    explicit TPrintImage(QWidget* parent = nullptr);
    ~TPrintImage() override;

    // Tests replace the platform's printers and file chooser; the printer list is read again.
    void setPrinterBackend(PrinterBackend* backend);
    void setFileChooser(FileChooser* chooser) { fileChooser = chooser; }
    // The photo's path, for the name a PDF file is proposed under; empty after a paste.
    // The photo printed comes from this file; a PDF is proposed as its name with the suffix added,
    // "_ang" for the photo and its gauge.
    void setSourcePath(const QString& path, const QString& suffix = QStringLiteral("_ang")) {
        sourcePath = path;
        pdfSuffix = suffix;
    }

    // Borrows the composite until the dialog closes and lays it out on the current printer's page.
    void SetImage(const QImage& composite);

    const output::PrinterMetrics& printerMetrics() const { return page; }
    const output::PrintLayout& printLayout() const { return layout; }
    // The page picture the preview shows.
    QImage previewPicture() const { return preview; }

    void done(int result) override;

public slots:
    void ReadPrinterMetrics();
    void ReadImageMetrics();
    void UpdateLayout();
    void DrawPreview();
    void cbImpresorasChange();
    void btnPropiedadesClick();
    void spWPorChange();
    void spHPorChange();
    void BitBtn1Click();
    void btnCentrarClick();
    void dxdyChange();
    void btnImprimirClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void applyTypedPrinter();
    // Prints the page; false when the PDF file's name was not given.
    bool PrintComposite();
    void couplePercentages(SpinField* changed, int& changedSuppress, SpinField* other, int& otherSuppress);
    QString pdfDestinationText() const;

    std::unique_ptr<Ui::TPrintImage> ui;
    PrinterBackend* backend;
    FileChooser* fileChooser;
    QString sourcePath, pdfSuffix = QStringLiteral("_ang");
    QString lastPdfName;

    QImage Composite;   // borrowed from SetImage until the dialog closes
    QImage reducedCopy; // what the preview scales from
    QImage smallCopy;   // and a smaller one for the usual boxes
    QImage preview;
    output::PrinterMetrics page;
    output::ImageMetrics image;
    output::PrintLayout layout;
    int suppressWPor = 0; // set while the program itself changes the width percentage
    int suppressHPor = 0;
};
