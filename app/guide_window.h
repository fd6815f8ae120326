#pragma once

#include <QDialog>

class QTextBrowser;

// The short illustrated guide to the four workflows (measure an axis, carry an axis from a reference
// photo, check a toric lens, print or save), shipped with the program in both languages.
class GuideWindow : public QDialog {
    Q_OBJECT
public:
    explicit GuideWindow(QWidget* parent = nullptr);
    // Shows the guide in the interface's current language and brings it forward.
    void showGuide();
    // The guide's page for a language: English for "en…", Spanish otherwise.
    static QString pageFor(const QString& language);

private:
    QTextBrowser* browser;
};
