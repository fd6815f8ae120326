#pragma once

#include "analysis/landmarks.h"
#include "analysis/rotation.h"

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
};

// Compares the current photo with a reference photo of the same eye: both side by side with their
// limbus rings and 0 degree directions, the rotation measured between them (or from landmarks the
// user clicks in both), and the reference axis carried across to the current photo. The measure runs
// on a worker thread; a newer measure or Cancel drops the result of the one running.
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    CompareWindow(const QImage& current, int currentGuide, FileChooser& chooser, MessageSink& messages,
                  QWidget* parent = nullptr);
    ~CompareWindow() override;

    // Loads the reference photo and starts measuring; on failure shows "Error al abrir la imagen" and
    // keeps everything as it was.
    bool openReference(const QString& path);
    // The rotation "Aplicar" uses: the one chosen when both exist (the landmarks unless the user
    // chose the measure), else whichever exists.
    std::optional<double> rotation() const;
    const RotationResult& measured() const { return result; }
    std::optional<LandmarkRotation> landmarkRotation() const;
    bool measuring() const { return running != nullptr; }
    // The reference photo (null before one is opened), its file name and the axis set on it.
    const QImage& referencePhoto() const;
    QString referenceFileName() const { return referenceName; }
    int referenceAxis() const;

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

    std::unique_ptr<Ui::CompareWindow> ui;
    FileChooser& chooser;
    MessageSink& messages;
    int currentGuide;
    QString referenceName;
    RotationResult result;
    std::shared_ptr<Job> running;  // the measure whose result is awaited
    std::vector<QThread*> workers; // threads still running, waited for on destruction
    bool cancelled = false;        // the last measure was cancelled: say so until the next one
    bool preferMeasured = false;   // the user chose the measure over the landmarks
    std::vector<LandmarkPair> pairs;
    std::optional<std::pair<bool, QPointF>> pending; // a landmark clicked in one photo only
};
