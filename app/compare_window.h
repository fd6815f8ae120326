#pragma once

#include "analysis/landmarks.h"
#include "analysis/rotation.h"

#include <QDialog>
#include <QImage>

#include <memory>
#include <optional>

namespace Ui {
class CompareWindow;
}
class FileChooser;
class MessageSink;

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
// user clicks in both), and the reference axis carried across to the current photo.
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    CompareWindow(const QImage& current, int currentGuide, FileChooser& chooser, MessageSink& messages,
                  QWidget* parent = nullptr);
    ~CompareWindow() override;

    // Loads the reference photo and measures; on failure shows "Error al abrir la imagen" and keeps
    // everything as it was.
    bool openReference(const QString& path);
    // The rotation "Aplicar" uses: from the landmarks when any pair is marked, else the measured one.
    std::optional<double> rotation() const;
    const RotationResult& measured() const { return result; }
    std::optional<LandmarkRotation> landmarkRotation() const;

signals:
    void applied(const CarriedGuide& carried);

private:
    void chooseReference();
    void measure();
    void showResult();
    void landmarkClicked(bool inReference, const QPointF& point);
    void apply();

    std::unique_ptr<Ui::CompareWindow> ui;
    FileChooser& chooser;
    MessageSink& messages;
    int currentGuide;
    QString referenceName;
    RotationResult result;
    std::vector<LandmarkPair> pairs;
    std::optional<std::pair<bool, QPointF>> pending; // a landmark clicked in one photo only
};
