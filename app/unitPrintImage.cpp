#include "app/unitPrintImage.h"

#include "app/application.h"
#include "app/caption_fit.h"
#include "app/platform.h"
#include "app/unitSpinField.h"
#include "app/wait_cursor.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "imaging/imaging.h"
#include "output/print_page.h"
#include "output/printer_backend.h"
#include "ui_unitPrintImage.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <stdexcept>

namespace {

const char kPdfDestination[] = "Archivo PDF";
const char kJobTitle[] = "Pelvanor";

// A percentage typed beyond its range counts as its end until the field pulls it in.
int percentValue(const SpinField* field) {
    return std::clamp(field->fieldValue(), output::kMinPercent, output::kMaxPercent);
}

} // namespace

TPrintImage::TPrintImage(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TPrintImage>()), backend(&qtPrinterBackend()),
      fileChooser(&qtFileChooser()) {
    ui->setupUi(this);
    runCreationStep([this] { FormCreate(); });
}

TPrintImage::~TPrintImage() = default;

void TPrintImage::FormCreate() {
    setFixedSize(434, 314);
    ui->btnImprimir->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->btnCancelar->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->btnImprimir, &QPushButton::clicked, this, &TPrintImage::btnImprimirClick);
    connect(ui->btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->btnPropiedades, &QPushButton::clicked, this, &TPrintImage::btnPropiedadesClick);
    connect(ui->btnCentrar, &QPushButton::clicked, this, &TPrintImage::btnCentrarClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TPrintImage::BitBtn1Click);
    connect(ui->cbImpresoras, &QComboBox::activated, this, &TPrintImage::cbImpresorasChange);
    connect(ui->cbImpresoras->lineEdit(), &QLineEdit::editingFinished, this, &TPrintImage::applyTypedPrinter);
    ui->cbImpresoras->installEventFilter(this);
    connect(ui->spWPor, &SpinField::fieldChanged, this, &TPrintImage::spWPorChange);
    connect(ui->spHPor, &SpinField::fieldChanged, this, &TPrintImage::spHPorChange);
    connect(ui->spPosTop, &SpinField::fieldChanged, this, &TPrintImage::dxdyChange);
    connect(ui->spPosLeft, &SpinField::fieldChanged, this, &TPrintImage::dxdyChange);
    i18n::TranslateComponent(this);
    fitCaptions(this);
    ReadPrinterMetrics();
}

void TPrintImage::setPrinterBackend(PrinterBackend* printers) {
    backend = printers;
    ReadPrinterMetrics();
}

QString TPrintImage::pdfDestinationText() const {
    return i18n::lookup(QString::fromUtf8(kPdfDestination));
}

void TPrintImage::SetImage(const QImage& composite) {
    Composite = composite;
    reducedCopy = output::previewSource(composite);
    smallCopy = output::smallPreviewSource(reducedCopy);
    ReadPrinterMetrics();
    ReadImageMetrics();
    UpdateLayout();
    DrawPreview();
}

// The composite is only borrowed: whatever the result, the dialog lets go of it on closing.
void TPrintImage::done(int result) {
    QDialog::done(result);
    Composite = QImage();
    reducedCopy = QImage();
    smallCopy = QImage();
}

// The installed printers, then the PDF file destination; the current one selected.
void TPrintImage::ReadPrinterMetrics() {
    const QStringList names = backend->printerNames();
    QString current = backend->currentPrinter();
    if (!current.isEmpty() && !names.contains(current)) {
        backend->setCurrentPrinter(backend->defaultPrinter()); // the chosen printer has gone
        current = backend->currentPrinter();
    }
    ui->cbImpresoras->clear();
    ui->cbImpresoras->addItems(names);
    ui->cbImpresoras->addItem(pdfDestinationText());
    ui->cbImpresoras->setCurrentIndex(current.isEmpty() ? names.size() : names.indexOf(current));
    ui->spCopias->setEnabled(!current.isEmpty()); // the PDF file is written once

    const PrintableArea area = backend->printableArea();
    page = output::ReadPrinterMetrics(area.widthPx, area.heightPx, area.dpiX, area.dpiY);
}

void TPrintImage::ReadImageMetrics() {
    image = output::ReadImageMetrics(Composite.width(), Composite.height(), imaging::dpiX(Composite),
                                     imaging::dpiY(Composite));
}

void TPrintImage::UpdateLayout() {
    if (Composite.isNull())
        return;
    layout = output::UpdateLayout(page, image, percentValue(ui->spWPor), percentValue(ui->spHPor));
    // A new range leaves an offset as it stands; the field pulls it in when it is set or left.
    ui->spPosTop->setRange(layout.topMinimum, layout.topMaximum);
    ui->spPosLeft->setRange(layout.leftMinimum, layout.leftMaximum);
}

void TPrintImage::DrawPreview() {
    const output::PreviewGeometry geometry =
        output::previewGeometry(page, layout, ui->spPosLeft->fieldValue(), ui->spPosTop->fieldValue());
    preview = Composite.isNull() ? output::drawPreviewPicture(geometry, QImage())
                                 : output::drawPreviewPicture(geometry, reducedCopy, smallCopy);
    ui->imgTumb->setPixmap(QPixmap::fromImage(preview));
}

// The list's entry (or typed text naming no printer: the default printer) becomes current.
void TPrintImage::cbImpresorasChange() {
    const QString text = ui->cbImpresoras->currentText();
    const QStringList names = backend->printerNames();
    // The PDF file is the last entry, whichever language it was listed in.
    const QString pdfEntry = ui->cbImpresoras->itemText(ui->cbImpresoras->count() - 1);
    if (text == pdfEntry || text == pdfDestinationText())
        backend->setCurrentPrinter(QString());
    else
        backend->setCurrentPrinter(names.contains(text) ? text : backend->defaultPrinter());
    ReadPrinterMetrics();
    UpdateLayout();
    DrawPreview();
}

// Text typed in the list is applied when the list is left, unless the list already shows it.
void TPrintImage::applyTypedPrinter() {
    QComboBox* list = ui->cbImpresoras;
    if (list->currentText() != list->itemText(list->currentIndex()))
        cbImpresorasChange();
}

// Enter in the printer list applies the typed name and goes no further: it does not print.
bool TPrintImage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->cbImpresoras && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cbImpresorasChange();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TPrintImage::btnPropiedadesClick() {
    if (!backend->setup(this))
        return;
    const QString current = backend->currentPrinter();
    ui->cbImpresoras->setCurrentIndex(current.isEmpty() ? ui->cbImpresoras->count() - 1
                                                        : ui->cbImpresoras->findText(current));
    ReadPrinterMetrics(); // the list as it is now, with the printer the setup chose
    cbImpresorasChange();
    ui->spCopias->setValue(backend->copies());
}

void TPrintImage::couplePercentages(SpinField* changed, int& changedSuppress, SpinField* other,
                                    int& otherSuppress) {
    if (changedSuppress)
        return; // the change came from the program
    otherSuppress = 1;
    if (!ui->ckDistorsion->isChecked())
        other->setValue(changed->fieldValue());
    otherSuppress = 0;
    UpdateLayout();
    DrawPreview();
}

void TPrintImage::spWPorChange() {
    couplePercentages(ui->spWPor, suppressWPor, ui->spHPor, suppressHPor);
}

void TPrintImage::spHPorChange() {
    couplePercentages(ui->spHPor, suppressHPor, ui->spWPor, suppressWPor);
}

// Fit to page: both percentages back to 100, distorted or not; the offsets stay.
void TPrintImage::BitBtn1Click() {
    suppressWPor = suppressHPor = 1;
    ui->spWPor->setValue(100);
    ui->spHPor->setValue(100);
    UpdateLayout();
    DrawPreview();
    suppressWPor = suppressHPor = 0;
}

void TPrintImage::btnCentrarClick() {
    const output::Offsets centre = output::centredOffsets(page, layout);
    ui->spPosTop->setValue(centre.top);
    ui->spPosLeft->setValue(centre.left);
    DrawPreview();
}

void TPrintImage::dxdyChange() {
    DrawPreview();
}

// Prints, then closes with the result OK. An error while printing closes the dialog all the same
// and is shown by the application's error handler; a PDF file whose name is not given leaves the
// dialog open.
void TPrintImage::btnImprimirClick() {
    bool printed = false;
    QString error;
    try {
        printed = PrintComposite();
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    if (printed || !error.isEmpty())
        accept();
    if (error.isEmpty())
        return;
    if (auto* app = dynamic_cast<PelvanorApplication*>(QCoreApplication::instance()))
        app->showEscapedError(error);
    else
        throw std::runtime_error(error.toStdString());
}

bool TPrintImage::PrintComposite() {
    if (Composite.isNull())
        return false;
    PrintJob job;
    if (backend->currentPrinter().isEmpty()) {
        const QString filter = pdfDestinationText() + QStringLiteral(" (*.pdf)");
        lastPdfName = output::proposedPdfName(sourcePath, lastPdfName, pdfSuffix);
        int filterIndex = 1;
        job.pdfPath = fileChooser->saveFile(this, filter, filterIndex, lastPdfName, QStringLiteral("pdf"));
        if (job.pdfPath.isEmpty())
            return false;
        lastPdfName = job.pdfPath;
    }
    WaitCursor wait;
    job.image = Composite;
    job.title = QString::fromLatin1(kJobTitle);
    job.copies = job.pdfPath.isEmpty() ? std::clamp(ui->spCopias->fieldValue(), 1, 999) : 1;
    job.placementMm = QRectF(ui->spPosLeft->fieldValue(), ui->spPosTop->fieldValue(), layout.PrintWidthMm,
                             layout.PrintHeightMm);
    backend->print(job);
    return true;
}

// Centred on the screen at every showing.
void TPrintImage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect frame = frameGeometry();
    QRect centred(QPoint(0, 0), frame.size());
    centred.moveCenter(s->availableGeometry().center());
    move(centred.topLeft());
}
