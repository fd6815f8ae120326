// The program's printers: Qt lists them and holds the chosen one's settings; the setup is our dialog;
// the page is written as PDF and handed to CUPS directly, because Qt's own CUPS engine ignores the
// spooler's answer and would report a refused job as printed.
#include "app/unitPrinterSetup.h"
#include "i18n/catalogue.h"
#include "output/print_page.h"
#include "output/printer_backend.h"

#include <QLocale>
#include <QPageSize>
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

// The papers offered for the PDF file.
QList<QPageSize> pdfPageSizes() {
    QList<QPageSize> sizes;
    for (QPageSize::PageSizeId id :
         {QPageSize::A3, QPageSize::A4, QPageSize::A5, QPageSize::Letter, QPageSize::Legal})
        sizes.append(QPageSize(id));
    return sizes;
}

// The queue's own default orientation, which Qt does not read: CUPS's "orientation-requested"
// (4 landscape, 5 reverse landscape).
QPageLayout::Orientation defaultOrientation(const QString& name) {
    const QByteArray queue = name.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
    const QByteArray instance = name.section(QLatin1Char('/'), 1).toLocal8Bit();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(),
                                         instance.isEmpty() ? nullptr : instance.constData());
    if (!dest)
        return QPageLayout::Portrait;
    const char* value = cupsGetOption("orientation-requested", dest->num_options, dest->options);
    const bool landscape = value && (qstrcmp(value, "4") == 0 || qstrcmp(value, "5") == 0);
    cupsFreeDests(1, dest);
    return landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
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

    // A printer that becomes current brings its own paper, orientation and margins; Qt would keep
    // the previous printer's paper.
    void setCurrentPrinter(const QString& name) override {
        const bool changed = name != current;
        current = name;
        if (name.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPageLayout(pdfLayout);
            return;
        }
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(name);
        if (!changed)
            return;
        printer.setPageOrientation(defaultOrientation(name));
        const QPageSize paper = QPrinterInfo::printerInfo(name).defaultPageSize();
        if (paper.isValid())
            printer.setPageSize(paper);
    }

    PrintableArea printableArea() override {
        applyMinimumMargins();
        const QRect r = printer.pageLayout().paintRectPixels(printer.resolution());
        return {double(r.width()), double(r.height()), double(printer.logicalDpiX()),
                double(printer.logicalDpiY())};
    }

    int copies() override { return printer.copyCount(); }

    bool setup(QWidget* parent) override {
        QList<SetupDestination> destinations;
        for (const QString& name : printerNames()) {
            const QPrinterInfo info = QPrinterInfo::printerInfo(name);
            destinations.append(
                {name, name, info.supportedPageSizes(), info.defaultPageSize(), defaultOrientation(name)});
        }
        destinations.append({QString(), i18n::lookup(QStringLiteral("Archivo PDF")), pdfPageSizes(),
                             defaultPdfLayout().pageSize(), QPageLayout::Portrait});
        const QPageLayout layout = current.isEmpty() ? pdfLayout : printer.pageLayout();
        TPrinterSetup dialog(destinations,
                             {current, layout.pageSize(), layout.orientation(), printer.copyCount()}, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const PrinterSettings chosen = dialog.settings();
        if (chosen.printer.isEmpty())
            pdfLayout =
                QPageLayout(chosen.pageSize, chosen.orientation, QMarginsF(), QPageLayout::Millimeter);
        setCurrentPrinter(chosen.printer);
        if (!chosen.printer.isEmpty()) {
            printer.setPageOrientation(chosen.orientation);
            printer.setPageSize(chosen.pageSize);
        }
        printer.setCopyCount(chosen.copies);
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
