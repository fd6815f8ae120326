#pragma once

#include "toric/toric.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class ToricWindow;
}

// The toric lens check beside the main window: the plan and the lens typed in, the marks' axis
// taken live from the guide line on the current photo, the eye's rotation from the comparison (or
// typed), and the results recomputed on every change.
class ToricWindow : public QDialog {
    Q_OBJECT
public:
    explicit ToricWindow(QWidget* parent = nullptr);
    ~ToricWindow() override;

    // The guide line on the current photo, where the user lays it on the marks.
    void setMarks(int guideDegrees);
    // From a comparison with a reference photo: its reference axis is the plan, its rotation the eye's.
    void takeComparison(std::optional<int> referenceAxis, std::optional<double> rotation);
    // The rotation belongs to a pair of photos: a new photo starts from none.
    void resetRotation();

    toric::Inputs inputs() const;
    toric::Result result() const { return toric::evaluate(inputs()); }
    // The rows again in the current language, after a language switch.
    void refresh();

signals:
    void printRequested();

private:
    std::unique_ptr<Ui::ToricWindow> ui;
    int marks = 0;
};
