#include "app/colour_chooser.h"

#include <QColorDialog>

namespace {

class QtColourChooser : public ColourChooser {
public:
    std::optional<QColor> chooseColour(QWidget* parent, const QColor& initial) override {
        // Qt's own dialog always shows the custom-colour wells; no alpha: the settings are RGB.
        QColorDialog dialog(initial, parent);
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        dialog.setOption(QColorDialog::ShowAlphaChannel, false);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const QColor chosen = dialog.selectedColor();
        if (!chosen.isValid())
            return std::nullopt;
        return QColor(chosen.red(), chosen.green(), chosen.blue());
    }
};

} // namespace

ColourChooser& qtColourChooser() {
    static QtColourChooser chooser;
    return chooser;
}
