#pragma once

#include "analysis/round_outline.h"
#include "gauge/gauge_history.h"
#include "gauge/geometry.h"
#include "gauge/overlay.h"
#include "gauge/reference_axis.h"
#include "gauge/zoom_view.h"
#include "imaging/photo_view.h"
#include "remembering_chooser.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TFormMain;
}
class FileChooser;
class MessageSink;
class TPrintImage;
class TformOpciones;
namespace toric {
struct ReportInputs;
}
class QKeyEvent;
class QLabel;
class QMouseEvent;
class QThread;
class QUndoStack;
class QUrl;
class BackgroundTask;
class CompareWindow;
class ToricWindow;
class GuideWindow;
struct CarriedGuide;
struct CompositeInputs;
namespace imaging {
struct Decoded;
struct DicomSource;
} // namespace imaging
struct CompositeResult;

// The main window: tool panel, screen panel with the photo layer and the overlay layer above it.
// Handlers read the controls, call the core and show the result. The implementation is split by
// responsibility: unitMain.cpp (window, photo loading and fitting), unitMain_gauge.cpp (overlay
// and pointer), unitMain_output.cpp (composite and saving), unitMain_desktop.cpp (keyboard
// shortcuts and the clipboard copy).
class TFormMain : public QWidget {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The two dialogs are created after the main window, as at start-up.
    void setDialogs(TPrintImage* printImage, TformOpciones* opciones);
    void setFileChooser(FileChooser* chooser) { fileChooser = chooser; }
    void setMessageSink(MessageSink* sink) { messages = sink; }
    // Opens the maker's web address; the desktop's browser unless replaced.
    void setAddressOpener(std::function<void(const QUrl&)> opener) { addressOpener = std::move(opener); }

    const QImage& photo() const { return Photo; }
    // Path of the file the photo came from; empty after a paste.
    QString sourcePath() const { return SourcePath; }
    // The DICOM header the photo came with; null for other photos.
    const std::shared_ptr<const imaging::DicomSource>& dicomSource() const { return photoDicom; }
    const QImage& brandLogo() const { return BrandLogo; }
    const QImage& brandLettering() const { return BrandLettering; }

    // Decodes the file on a thread of its own and then adopts it; on failure shows "Error al abrir
    // la imagen" and keeps everything as it was. False, doing nothing, while a photo is being opened
    // or the composite saved, copied or readied for printing.
    bool startOpening(const QString& path);
    // startOpening, then waits (the window repainting) until the photo is adopted or refused.
    // Returns whether the photo was replaced.
    bool openPhotoFile(const QString& path);
    // Whether a photo is being opened or the composite saved, copied or readied for printing; the
    // buttons that would start another such step are disabled meanwhile.
    bool busy() const;
    // Processes events until that work, and what its end shows, is done; false on timeout.
    bool waitUntilIdle();

    // The controls and settings a redraw reads, as they stand now; the composite reads the same.
    GaugeInputs gaugeInputs() const;
    int grabTarget() const { return GrabTarget; }
    // Pointer and key changes of the gauge, for Ctrl+Z and Ctrl+Shift+Z.
    QUndoStack* gaugeHistory() const { return gaugeUndo; }
    bool dragging() const { return Dragging; }
    // Whether a double-click's search for a round outline is still running.
    bool findingOutline() const { return !outlineWorkers.isEmpty(); }

    // The composite of the current state at the photo's resolution, and the values it is made
    // from. Callers check that a photo is loaded.
    CompositeInputs compositeInputs() const;
    CompositeResult RenderComposite() const;

    // The photo panel's view of the fitted layer; zoom 1 is the fitted view.
    const ZoomView& zoomView() const { return view; }

    // Gauge centre: offset from the photo's middle in units of its width and height.
    float CentreOffsetX = 0.0f;
    float CentreOffsetY = 0.0f;

public slots:
    void btnImagenOpenClick();
    void btnImagenPasteClick();
    void FormDropFiles(const QStringList& paths);
    void pnlScreenResize();
    void FitPhoto();
    void ClearOverlay();
    void DrawOverlay();
    void tbRadioChange();
    void GuiaGradosChange();
    void Button1Click();
    void Image1Click();
    void btnImagenSaveClick();
    void btnPrintClick();
    void flag_esClick();
    void flag_gbClick();
    // Puts the composite, as it would be saved, on the clipboard (Ctrl+C); nothing without a photo.
    void copyComposite();
    // Opens the window comparing the photo with a reference photo of the same eye (Ctrl+R, and the
    // photo's context menu); nothing without a photo.
    void openComparison();
    // Centres the gauge on the limbus and sets and shows the guide line carried across, one undo step.
    void applyCarriedGuide(const CarriedGuide& carried);
    // Opens the toric lens check beside the main window (Ctrl+T, and the photo's context menu) and
    // shows the guide line that reads the marks; nothing without a photo.
    void openToric();
    // The toric check's report, one page through the print layout dialog.
    void printToricReport();
    // Zoom about the panel's centre (Ctrl++, Ctrl+-) and back to the fitted view (Ctrl+0).
    void zoomIn();
    void zoomOut();
    void zoomFitted();
    // The short illustrated guide in the interface's language (F1).
    void openGuide();

public:
    CompareWindow* comparison() const;
    ToricWindow* toric() const;
    // Whether the reference text is the previous photo's, not yet edited for this one.
    bool referenceCarriedOver() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void setupShortcuts();
    void switchLanguage(const QString& language);
    void adoptPhoto(QImage decoded, const QString& path,
                    std::shared_ptr<const imaging::DicomSource> dicom = nullptr);
    void adoptDecoded(imaging::Decoded decoded, const QString& path);
    // Opening, saving, copying and printing: one at a time on a thread of its own, with a busy cursor.
    BackgroundTask* background = nullptr;
    void showBusy(bool busy);
    QString pendingLanguage; // a flag clicked while the background work may read the catalogue
    void applyDicomHeader(const imaging::DicomSource& dicom);
    void showBrandPicture();
    void placeOnScreen();

    // Overlay layer: pointer events (true when handled) and the image it shows.
    bool overlayPointerEvent(QEvent* event);
    void showOverlay(const QImage& overlay);
    QImage shownOverlay; // what the overlay layer shows now
    void imgLineasMouseDown(QMouseEvent* event);
    void imgLineasMouseMove(QMouseEvent* event);
    void imgLineasMouseUp(QMouseEvent* event);

    std::unique_ptr<Ui::TFormMain> ui;
    QImage Photo;
    // A reduced copy of a large photo, made on the first refit after a load, that refits scale from.
    QImage displaySource;
    bool displaySourceDue = false;
    QImage BrandLogo;
    QImage BrandLettering;
    QString SourcePath;
    std::shared_ptr<const imaging::DicomSource> photoDicom;
    TPrintImage* PrintImage = nullptr;
    TformOpciones* formOpciones = nullptr;
    FileChooser* fileChooser;
    RememberingChooser referenceChooser{fileChooser}; // the comparison's, to date its reference photo
    MessageSink* messages;
    std::function<void(const QUrl&)> addressOpener;
    bool placed = false;

    // Pointer state of a drag on the overlay layer.
    bool Dragging = false;
    int DownX = 0;
    int DownY = 0;
    int GrabTarget = 0; // GaugeGrab: kept through a drag, set anew by each hover move
    int overlayRedraws = 0;

    QString lastSaveName;    // what the save dialog last held: the last choice, or the last proposal
    int saveFilterIndex = 2; // the save dialog's filter, "Archivos JPG" until the user picks another

    // Precise placement (unitMain_precise.cpp): centring on a round outline, arrow-key nudges,
    // the gauge's undo history and the loupe shown while dragging.
    void setupPrecisePlacement();
    void imgLineasDoubleClick(QMouseEvent* event);
    void centreOnOutline(const OutlineSearch& search);
    bool gaugeKeyPress(QKeyEvent* event);
    GaugePlacement gaugePlacement() const;
    void applyGaugePlacement(const GaugePlacement& placement);
    void recordGaugeChange(const GaugePlacement& before);
    void showLoupe(const QPointF& globalPos);
    void hideLoupe();
    QUndoStack* gaugeUndo = nullptr;
    QLabel* loupe = nullptr;
    std::optional<GaugePlacement> dragStart; // the placement when the current drag began
    QList<QThread*> outlineWorkers;          // double-click searches still running
    int outlineSearches = 0;                 // double-click searches started

    // Zoom and pan (unitMain_zoom.cpp). frame is where the fitted layer lies on the panel; the
    // photo and overlay layers cover the part of the panel the zoomed layer covers.
    void setupZoom();
    ZoomFrame currentFrame() const;
    QSize layerSize() const; // the fitted layer's W x H, which the gauge is drawn for
    double mostZoom() const;
    void setView(const ZoomView& next);
    void zoomBy(double factor, const QPointF& panelPoint);
    void showZoomedPhoto();
    OverlayView overlayView() const;
    QTransform photoToOverlay() const;
    PointerGeometry pointerGeometryAt(const QPoint& onOverlay) const;
    void updateZoomIndicator();
    void showPanCursor();
    bool zoomEvent(QObject* watched, QEvent* event);
    bool panPointerEvent(QEvent* event);
    ZoomView view;
    ZoomFrame frame;
    imaging::ScaledCopies photoCopies;
    QLabel* zoomIndicator = nullptr;
    bool spaceHeld = false;
    bool panning = false;
    QPointF panLast; // global position of the last pan move
    // The fitted view's photo, kept while the panel's size stays, so that coming back to it
    // shows the very same pixels.
    QPixmap fittedPixmap;
    QRect fittedPixmapRect;

    // Comparison with a reference photo (unitMain_compare.cpp).
    struct CarriedRotation {
        double rotation = 0;
        QString referenceName;
        int guide = 0;          // the axis carried onto the guide line
        bool unchecked = false; // a measured rotation of low confidence
    };
    void setupComparison();
    // The note over the photo of what was carried, shown while the gauge stays as "Aplicar" left it.
    void showCarriedNote();
    QRect photoPanelOnScreen() const;
    QPointer<CompareWindow> compareWindow;
    std::optional<CarriedRotation> carriedRotation; // recorded in the saved file's measurement text
    std::optional<GaugePlacement> carriedPlacement; // the gauge as the last "Aplicar" left it
    std::optional<int> lastCarriedGuide;            // never offered back as a reference axis
    ReferenceAxes referenceAxes;                    // kept with each reference photo for the session

    // The toric lens check (unitMain_toric.cpp); its results are recorded while it is open.
    void setupToric();
    void takeComparisonIntoToric();
    void showToricReport(const QImage& page, const toric::ReportInputs& report, const QString& source);
    QPointer<ToricWindow> toricWindow;

    // Help for finding the commands (unitMain_help.cpp).
    void setupHelp();
    void showPanelHints();
    // The texts the program set while it ran, in the language just chosen.
    void refreshShownTexts();
    QLabel* startHint = nullptr;  // over the empty photo panel
    qint64 referencePhotoKey = 0; // the photo the reference text was typed or read for
    QPointer<GuideWindow> guideWindow;
};
