#pragma once

#include "analysis/landmarks.h"
#include "analysis/rotation.h"
#include "gauge/reference_axis.h"

#include <QDialog>
#include <QImage>

#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class CompareWindow;
}
class FileChooser;
class MessageSink;
class QThread;

// What "Aplicar" hands to the main window: where to centre the gauge and the guide line carried
// across from the reference photo.
struct CarriedGuide {
    QPointF limbusCentre; // in the current photo's pixels
    int guide = 0;        // whole degrees, 0..179
    double rotation = 0;  // degrees, counter-clockwise on the screen positive
    QString referenceName;
    bool unchecked = false; // a measured rotation below the reliable confidence
};

// Compares the current photo with a reference photo of the same eye: both side by side with their
// limbus rings and 0 degree directions, the rotation measured between them (or from landmarks the
// user clicks in both), and the reference axis carried across to the current photo. The measure runs
// on a worker thread; a newer measure or Cancel drops the result of the one running.
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    // guideLine: the main window's guide line, offered as the reference axis when the reference file
    // records none; none while it holds an axis carried from a reference photo.
    CompareWindow(const QImage& current, std::optional<int> guideLine, FileChooser& chooser,
                  MessageSink& messages, QWidget* parent = nullptr);
    ~CompareWindow() override;

    // Loads the reference photo and starts measuring; on failure shows "Error al abrir la imagen" and
    // keeps everything as it was.
    bool openReference(const QString& path);
    // Where the reference photos' axes are kept; the window's own until the main window gives one
    // that outlives the window.
    void setReferenceAxes(ReferenceAxes* kept) { axes = kept; }
    // Brings what the window shows into the current language after a switch, keeping the result.
    void refresh();
    // The rotation "Aplicar" uses: the one chosen when both exist (the landmarks unless the user
    // chose the measure), else whichever exists.
    std::optional<double> rotation() const;
    const RotationResult& measured() const { return result; }
    std::optional<LandmarkRotation> landmarkRotation() const;
    bool measuring() const { return running != nullptr; }
    // The reference photo (null before one is opened), its file name and the axis set on it.
    const QImage& referencePhoto() const;
    QString referenceFileName() const { return referenceName; }
    // None until one is known or typed.
    std::optional<int> referenceAxis() const;
    ReferenceAxisSource referenceAxisSource() const { return axisSource; }

signals:
    void applied(const CarriedGuide& carried);
    // A measure's result has been shown (not emitted for a cancelled or superseded one).
    void measureFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Job;
    void chooseReference();
    void measure();
    void cancelMeasure();
    void finishMeasure(const std::shared_ptr<Job>& job);
    void showMeasuring(bool on);
    void showResult();
    void showLandmarks();
    void landmarkClicked(bool inReference, const QPointF& point);
    bool usesLandmarks() const;
    void apply();
    void setReferenceAxis(const ReferenceAxis& axis);
    void axisTyped(int value);
    void showAxisLines();

    std::unique_ptr<Ui::CompareWindow> ui;
    FileChooser& chooser;
    MessageSink& messages;
    std::optional<int> guideLine;
    QString referenceName;
    QString referencePath;
    ReferenceAxes ownAxes;
    ReferenceAxes* axes = &ownAxes;
    ReferenceAxisSource axisSource = ReferenceAxisSource::None;
    std::optional<int> appliedAxis; // the carried axis last applied, while it is what Aplicar gives
    RotationResult result;
    std::shared_ptr<Job> running;  // the measure whose result is awaited
    std::vector<QThread*> workers; // threads still running, waited for on destruction
    bool cancelled = false;        // the last measure was cancelled: say so until the next one
    bool preferMeasured = false;   // the user chose the measure over the landmarks
    std::vector<LandmarkPair> pairs;
    std::optional<std::pair<bool, QPointF>> pending; // a landmark clicked in one photo only
};
