#include "unitMain.h"

#include "app_title.h"
#include "application.h"
#include "caption_fit.h"
#include "compare_window.h"
#include "file_drop.h"
#include "left_click.h"
#include "platform.h"
#include "toric_window.h"
#include "ui_unitMain.h"
#include "wait_cursor.h"

#include "app/unitOpciones.h"
#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "imaging/background_task.h"
#include "imaging/dicom.h"
#include "imaging/file_types.h"
#include "imaging/fit.h"
#include "imaging/imaging.h"
#include "imaging/screen_scale.h"
#include "output/decode_report.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace {

const char kOpenError[] = "Error al abrir la imagen";
const char kPasteError[] = "Error al copiar la imagen";
const char kFirstFrameOnly[] = "El archivo DICOM tiene %1 imágenes; se muestra la primera.";
const char kMakerAddress[] = "https://www.example.com/pelvanor";
const QPoint kLayoutPosition(811, 287);

QImage decodeResource(const QString& name) {
    QFile file(name);
    file.open(QIODevice::ReadOnly);
    return imaging::decodeBytes(file.readAll()).image;
}

bool offersPicture(const QMimeData* mime) {
    if (!mime)
        return false;
    if (mime->hasImage())
        return true;
    for (const QString& format : mime->formats())
        if (format.startsWith(QLatin1String("image/")))
            return true;
    return false;
}

// The largest size a refit will ask for: the whole desktop, in device pixels.
QSize largestDisplaySize() {
    QSize size(1920, 1200);
    for (const QScreen* screen : QGuiApplication::screens())
        size = size.expandedTo(imaging::devicePixelSize(screen->virtualSize(), screen->devicePixelRatio()));
    return size;
}

} // namespace

TFormMain::TFormMain(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFormMain>()), fileChooser(&qtFileChooser()),
      messages(&qtMessageSink()) {
    Q_INIT_RESOURCE(resources); // the pictures are compiled into the static windows library
    // The layout's face; Liberation Sans has the narrow metrics the control sizes were made for.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    ui->setupUi(this);
    runCreationStep([this] { FormCreate(); });
}

TFormMain::~TFormMain() {
    // A double-click's search still running reads only its own copy of the photo; it is waited for so
    // that no thread outlives the window.
    for (QThread* worker : std::as_const(outlineWorkers)) {
        worker->wait();
        delete worker;
    }
}

void TFormMain::FormCreate() {
    BrandLogo = decodeResource(QStringLiteral(":/pictures/MARCALOGO"));
    BrandLettering = decodeResource(QStringLiteral(":/pictures/MARCATEXTO"));
    setAcceptDrops(true);
    CentreOffsetX = 0.0f;
    CentreOffsetY = 0.0f;

    resize(892, 606);
    showBrandPicture();
    for (QLabel* label : {ui->SectorGrados, ui->Label8}) { // a pixel size, which the layout cannot hold
        QFont bold = label->font();
        bold.setBold(true);
        bold.setPixelSize(13);
        label->setFont(bold);
    }
    ui->flag_es->setPixmap(QPixmap(QStringLiteral(":/pictures/flag_es.jpg")));
    ui->flag_gb->setPixmap(QPixmap(QStringLiteral(":/pictures/flag_gb.jpg")));
    ui->imgLineas->setMouseTracking(true);
    ui->imgLineas->raise();
    setupPrecisePlacement();
    setupComparison();
    setupToric();
    setupZoom();
    setupHelp();
    background = new BackgroundTask(this);
    connect(background, &BackgroundTask::busyChanged, this, &TFormMain::showBusy);

    for (QObject* o : {static_cast<QObject*>(ui->pnlScreen), static_cast<QObject*>(ui->imgLineas),
                       static_cast<QObject*>(ui->pnlTools)})
        o->installEventFilter(this);

    new FileDropRouter(this, [this](const QStringList& paths) { FormDropFiles(paths); });
    new LeftClickWatcher(ui->Image1, [this] { Image1Click(); });
    new LeftClickWatcher(ui->flag_es, [this] { flag_esClick(); });
    new LeftClickWatcher(ui->flag_gb, [this] { flag_gbClick(); });

    connect(ui->btnImagenOpen, &QPushButton::clicked, this, &TFormMain::btnImagenOpenClick);
    connect(ui->btnImagenPaste, &QPushButton::clicked, this, &TFormMain::btnImagenPasteClick);
    connect(ui->btnImagenSave, &QPushButton::clicked, this, &TFormMain::btnImagenSaveClick);
    connect(ui->btnPrint, &QPushButton::clicked, this, &TFormMain::btnPrintClick);
    connect(ui->Button1, &QPushButton::clicked, this, &TFormMain::Button1Click);
    connect(ui->tbRadio, &QSlider::valueChanged, this, &TFormMain::tbRadioChange);
    for (SpinField* s : {ui->GuiaGrados, ui->SectorIniGrados, ui->SectorFinGrados})
        connect(s, &SpinField::fieldChanged, this, &TFormMain::GuiaGradosChange);
    for (QCheckBox* c : {ui->GuiaMostrar, ui->SectorMostrar})
        connect(c, &QCheckBox::clicked, this, &TFormMain::GuiaGradosChange);
    setupShortcuts();
    i18n::TranslateComponent(this);
    fitCaptions(this);
}

void TFormMain::setDialogs(TPrintImage* printImage, TformOpciones* opciones) {
    PrintImage = printImage;
    formOpciones = opciones;
}

// The brand picture: magenta is its transparent colour; scaled down to fit and centred.
void TFormMain::showBrandPicture() {
    QImage picture = QImage(QStringLiteral(":/pictures/brand.bmp")).convertToFormat(QImage::Format_ARGB32);
    const QImage magenta = picture.createMaskFromColor(qRgb(255, 0, 255), Qt::MaskOutColor);
    picture.setAlphaChannel(magenta);
    const QSize box = ui->Image1->size();
    ui->Image1->setPixmap(QPixmap::fromImage(picture.width() > box.width() || picture.height() > box.height()
                                                 ? imaging::thumbnail(picture, box)
                                                 : picture));
}

bool TFormMain::startOpening(const QString& path) {
    return background->start<imaging::Decoded>(
        [path] { return imaging::decodeFile(path); },
        [this, path](imaging::Decoded decoded) { adoptDecoded(std::move(decoded), path); });
}

bool TFormMain::openPhotoFile(const QString& path) {
    const qint64 before = Photo.cacheKey();
    return startOpening(path) && waitUntilIdle() && Photo.cacheKey() != before;
}

bool TFormMain::busy() const {
    return background->busy();
}

bool TFormMain::waitUntilIdle() {
    return background->waitUntilIdle();
}

// While a step runs in the background, the buttons that would start another are disabled (their keys
// click them) and a file dropped on the window is refused.
void TFormMain::showBusy(bool busy) {
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QGuiApplication::restoreOverrideCursor();
    for (QWidget* button : {ui->btnImagenOpen, ui->btnImagenPaste, ui->btnImagenSave, ui->btnPrint})
        button->setEnabled(!busy);
    if (!busy && !pendingLanguage.isEmpty())
        switchLanguage(std::exchange(pendingLanguage, QString()));
}

void TFormMain::adoptDecoded(imaging::Decoded decoded, const QString& path) {
    if (!decoded.ok()) {
        // The fixed headline; a folder, a FIFO or an oversized photo also says why below it.
        QString text = QString::fromUtf8(kOpenError);
        const QString detail = refusalDetailText(decoded);
        if (!detail.isEmpty())
            text += QStringLiteral("\n\n") + detail;
        messages->message(this, text);
        return;
    }
    adoptPhoto(std::move(decoded.image), path, decoded.dicom);
    if (photoDicom)
        applyDicomHeader(*photoDicom);
}

// The eye and, when none is typed, the reference come from the file; a multi-frame file says that
// only its first frame is shown.
void TFormMain::applyDicomHeader(const imaging::DicomSource& dicom) {
    if (dicom.laterality == QLatin1String("R"))
        ui->rbOD->setChecked(true);
    else if (dicom.laterality == QLatin1String("L"))
        ui->rbOI->setChecked(true);
    if (ui->Referencia->text().isEmpty())
        ui->Referencia->setText(dicom.reference());
    if (dicom.frames > 1)
        messages->message(this, i18n::lookup(QString::fromUtf8(kFirstFrameOnly)).arg(dicom.frames));
}

void TFormMain::adoptPhoto(QImage decoded, const QString& path,
                           std::shared_ptr<const imaging::DicomSource> dicom) {
    Photo = std::move(decoded);
    photoDicom = std::move(dicom);
    displaySource = QImage(); // made on the first refit, so a load costs one scaling only
    displaySourceDue = false;
    SourcePath = path;
    // A new photo starts fitted.
    view = ZoomView();
    photoCopies.reset(Photo);
    fittedPixmap = QPixmap();
    // A comparison belongs to the photo it was made on.
    carriedRotation.reset();
    if (compareWindow)
        compareWindow->close();
    if (toricWindow)
        toricWindow->resetRotation();
    FitPhoto();
    DrawOverlay();
    updateZoomIndicator();
    // The copies that zooming draws from are made once the photo is shown, before the first zoom.
    QTimer::singleShot(0, this, [this, key = Photo.cacheKey()] {
        if (Photo.cacheKey() == key)
            photoCopies.prepare(screenPerPhotoPixel(1.0, frame.fitted.size(), Photo.size()) *
                                ui->imgScreen->devicePixelRatioF());
    });
}

void TFormMain::btnImagenOpenClick() {
    const QString filter = toQtNameFilters(i18n::lookup(QString::fromUtf8(kFileTypeList)));
    const QString path = fileChooser->openFile(this, filter);
    if (path.isEmpty())
        return;
    startOpening(path);
}

void TFormMain::btnImagenPasteClick() {
    if (busy())
        return;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!offersPicture(mime)) {
        messages->message(this, QString::fromUtf8(kPasteError));
        return;
    }
    QImage bitmap;
    {
        WaitCursor wait; // the program that holds the clipboard hands its picture over meanwhile
        bitmap = qvariant_cast<QImage>(mime->imageData());
    }
    if (bitmap.isNull()) {
        messages->error(this, withFullStop(QStringLiteral("Unsupported clipboard format")));
        return;
    }
    background->start<imaging::Decoded>(
        [bitmap] { return imaging::decodeBitmap(bitmap); },
        [this](imaging::Decoded decoded) {
            if (!decoded.ok()) {
                messages->error(this, withFullStop(QStringLiteral("The clipboard image cannot be read: ") +
                                                   decoded.error));
                return;
            }
            adoptPhoto(std::move(decoded.image), QString());
        });
}

void TFormMain::FormDropFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    startOpening(paths.constFirst());
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !busy())
        event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    if (busy())
        return;
    event->acceptProposedAction();
    FormDropFiles(droppedFiles(event->mimeData()));
}

void TFormMain::pnlScreenResize() {
    if (Photo.isNull()) {
        ui->imgScreen->setGeometry(0, 0, ui->pnlScreen->width(), ui->pnlScreen->height());
        showPanelHints();
        return;
    }
    // A zoomed view keeps its scale and the photo point under the panel's centre.
    const ZoomFrame after = currentFrame();
    view = resizedView(view, frame, after, maxZoom(after.fitted.size(), Photo.size()));
    FitPhoto();
    DrawOverlay();
    updateZoomIndicator();
}

void TFormMain::FitPhoto() {
    if (Photo.isNull())
        return;
    frame = currentFrame();
    if (!view.fitted()) {
        showZoomedPhoto();
        return;
    }
    const QRect r = frame.fitted;
    view = fittedView(frame);
    if (!fittedPixmap.isNull() && fittedPixmapRect == r &&
        fittedPixmap.devicePixelRatio() == ui->imgScreen->devicePixelRatioF()) {
        ui->imgScreen->setGeometry(r);
        ui->imgScreen->setPixmap(fittedPixmap);
        ui->imgScreen->repaint();
        ui->imgLineas->setGeometry(r);
        return;
    }
    if (displaySourceDue && displaySource.isNull()) {
        const QSize largest = largestDisplaySize();
        if (Photo.width() > largest.width() || Photo.height() > largest.height())
            displaySource = imaging::thumbnail(Photo, largest);
    }
    displaySourceDue = true;
    // Scaled to the screen's device pixels: sharp on high-density screens, placed in logical pixels.
    const qreal ratio = ui->imgScreen->devicePixelRatioF();
    const QSize device = imaging::devicePixelSize(r.size(), ratio);
    const bool reducedSuffices = !displaySource.isNull() && displaySource.width() >= device.width() &&
                                 displaySource.height() >= device.height();
    const QImage& source = reducedSuffices ? displaySource : Photo;
    ui->imgScreen->setGeometry(r);
    fittedPixmap = QPixmap::fromImage(imaging::scaledForScreen(source, r.size(), ratio));
    fittedPixmapRect = r;
    ui->imgScreen->setPixmap(fittedPixmap);
    ui->imgScreen->repaint();
    ui->imgLineas->setGeometry(r);
}

void TFormMain::Button1Click() {
    if (formOpciones && formOpciones->exec() == QDialog::Accepted)
        DrawOverlay();
}

void TFormMain::Image1Click() {
    const QUrl address(QString::fromUtf8(kMakerAddress));
    if (addressOpener)
        addressOpener(address);
    else
        QDesktopServices::openUrl(address);
}

void TFormMain::flag_esClick() {
    switchLanguage(QStringLiteral("es"));
}

void TFormMain::flag_gbClick() {
    switchLanguage(QStringLiteral("en"));
}

// The hidden dialogs are retranslated too, so they open in the new language. While work runs in the
// background the switch waits for its end.
void TFormMain::switchLanguage(const QString& language) {
    if (busy()) { // the work may be reading the catalogue, which a switch must not change under it
        pendingLanguage = language;
        return;
    }
    i18n::SetLanguage(language);
    for (QWidget* window :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(PrintImage), static_cast<QWidget*>(formOpciones),
          static_cast<QWidget*>(compareWindow.data()), static_cast<QWidget*>(toricWindow.data())}) {
        i18n::RetranslateComponent(window);
        // The comparison's labels sit in layouts, which give each caption its room.
        if (window && window != compareWindow)
            fitCaptions(window);
    }
    if (toricWindow)
        toricWindow->refresh();
    refreshShownTexts();
    updateZoomIndicator();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == ui->imgLineas || watched == ui->pnlScreen) && zoomEvent(watched, event))
        return true;
    if (watched == ui->imgLineas)
        return panPointerEvent(event) || overlayPointerEvent(event) || QWidget::eventFilter(watched, event);
    if (watched == ui->pnlScreen && event->type() == QEvent::KeyPress &&
        gaugeKeyPress(static_cast<QKeyEvent*>(event)))
        return true;
    if (event->type() == QEvent::Resize) {
        if (watched == ui->pnlScreen) {
            pnlScreenResize();
        } else if (watched == ui->pnlTools) {
            // The brand picture is docked to the panel's bottom; the flags keep their bottom distance.
            const int h = ui->pnlTools->height();
            ui->Image1->move(2, h - 2 - ui->Image1->height());
            ui->flag_es->move(3, h - 3 - ui->flag_es->height());
            ui->flag_gb->move(40, h - 3 - ui->flag_gb->height());
        }
    }
    return QWidget::eventFilter(watched, event);
}

// The layout position when the window fits there, otherwise the nearest wholly visible place.
void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed) {
        placed = true;
        placeOnScreen();
    }
}

void TFormMain::placeOnScreen() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize extra = frame.size() - size();
    const int w = width() + extra.width();
    const int h = height() + extra.height();
    const int x = std::max(avail.left(), std::min(kLayoutPosition.x(), avail.right() + 1 - w));
    const int y = std::max(avail.top(), std::min(kLayoutPosition.y(), avail.bottom() + 1 - h));
    move(x, y);
}
