#pragma once

#include <QColor>

#include <optional>

class QWidget;

// The modal colour chooser, behind an interface so tests answer it without a blocking dialog.
class ColourChooser {
public:
    virtual ~ColourChooser() = default;
    // Opens the chooser preset to initial, with its custom colours shown. The chosen opaque RGB
    // colour, or nothing when the user cancels.
    virtual std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) = 0;
};

// The Qt implementation used by the program.
ColourChooser& qtColourChooser();
