// The program's printers: Qt lists them, holds the chosen one's settings and runs the setup dialog;
// the page is written as PDF and handed to CUPS directly, because Qt's own CUPS engine ignores the
// spooler's answer and would report a refused job as printed.
#include "output/print_page.h"
#include "output/printer_backend.h"

#include <QLocale>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cups/cups.h>

#include <stdexcept>
#include <vector>

namespace {

[[noreturn]] void fail(const QString& reason) {
    throw std::runtime_error(reason.toLocal8Bit().toStdString());
}

QPageLayout defaultPdfLayout() {
    const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
    return QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(), QPageLayout::Millimeter);
}

class QtPrinterBackend : public PrinterBackend {
public:
    QtPrinterBackend() : printer(QPrinter::HighResolution), pdfLayout(defaultPdfLayout()) {
        setCurrentPrinter(defaultPrinter());
    }

    QStringList printerNames() override { return QPrinterInfo::availablePrinterNames(); }

    QString defaultPrinter() override {
        const QString name = QPrinterInfo::defaultPrinterName();
        const QStringList names = printerNames();
        if (!name.isEmpty() && names.contains(name))
            return name;
        return names.isEmpty() ? QString() : names.constFirst();
    }

    QString currentPrinter() override { return current; }

    void setCurrentPrinter(const QString& name) override {
        current = name;
        if (name.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPageLayout(pdfLayout);
        } else {
            printer.setOutputFormat(QPrinter::NativeFormat);
            printer.setPrinterName(name);
        }
    }

    PrintableArea printableArea() override {
        applyMinimumMargins();
        const QRect r = printer.pageLayout().paintRectPixels(printer.resolution());
        return {double(r.width()), double(r.height()), double(printer.logicalDpiX()),
                double(printer.logicalDpiY())};
    }

    int copies() override { return printer.copyCount(); }

    bool setup(QWidget* parent) override {
        QPrintDialog dialog(&printer, parent);
        // One page is printed: no page ranges or selection, only printer, copies, paper and orientation.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
        const QString chosen = toFile ? QString() : printer.printerName();
        if (chosen.isEmpty())
            pdfLayout = printer.pageLayout();
        current = chosen;
        return true;
    }

    void print(const PrintJob& job) override {
        printer.setCopyCount(job.copies);
        printer.setDocName(job.title);
        applyMinimumMargins();
        if (current.isEmpty())
            printPdfFile(job);
        else
            printOnQueue(job);
    }

private:
    QPrinter printer;
    QPageLayout pdfLayout; // the PDF file's page, kept while a printer is current
    QString current;

    void applyMinimumMargins() {
        const QPageLayout layout = printer.pageLayout();
        printer.setPageMargins(current.isEmpty() ? QMarginsF() : layout.minimumMargins(), layout.units());
    }

    void printPdfFile(const PrintJob& job) {
        QSaveFile file(job.pdfPath);
        if (!file.open(QIODevice::WriteOnly))
            fail(file.errorString());
        const QString error = output::writePdfPage(&file, printer.pageLayout(), printer.resolution(), job);
        if (!error.isEmpty())
            fail(error);
        if (!file.commit())
            fail(file.errorString());
    }

    void printOnQueue(const PrintJob& job) {
        if (!printerNames().contains(current))
            fail(QStringLiteral("Printer selected is not valid"));
        QTemporaryFile file;
        if (!file.open())
            fail(file.errorString());
        const QString error = output::writePdfPage(&file, printer.pageLayout(), printer.resolution(), job);
        if (!error.isEmpty())
            fail(error);
        if (!file.flush())
            fail(file.errorString());
        submit(file.fileName(), job);
    }

    // Hands the PDF to the queue with the options Qt's own engine would give it.
    void submit(const QString& path, const PrintJob& job) {
        const QPageLayout layout = printer.pageLayout();
        std::vector<std::pair<QByteArray, QByteArray>> options = {{"media", layout.pageSize().key().toUtf8()},
                                                                  {"sides", "one-sided"}};
        if (job.copies > 1)
            options.push_back({"copies", QByteArray::number(job.copies)});
        if (layout.orientation() == QPageLayout::Landscape)
            options.push_back({"landscape", ""});
        cups_option_t* cupsOptions = nullptr;
        int count = 0;
        for (const auto& [name, value] : options)
            count = cupsAddOption(name.constData(), value.constData(), count, &cupsOptions);
        // A printer name may carry an instance ("name/instance"); the queue is the part before it.
        const QByteArray queue = current.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
        const int jobId = cupsPrintFile(queue.constData(), path.toLocal8Bit().constData(),
                                        job.title.toUtf8().constData(), count, cupsOptions);
        cupsFreeOptions(count, cupsOptions);
        if (jobId == 0)
            fail(QString::fromLocal8Bit(cupsLastErrorString()));
    }
};

} // namespace

PrinterBackend& qtPrinterBackend() {
    static QtPrinterBackend backend;
    return backend;
}
