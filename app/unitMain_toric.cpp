// The toric lens check: its window opens beside the main window from the photo's context menu and
// on Ctrl+T, reads the guide line as the marks' axis on every redraw, takes the plan and the
// eye's rotation from the comparison, and prints its report through the print layout dialog.
#include "unitMain.h"

#include "application.h"
#include "compare_window.h"
#include "platform.h"
#include "toric_window.h"
#include "ui_unitMain.h"

#include "imaging/background_task.h"
#include "output/composite.h"
#include "output/unitPrintImage.h"
#include "toric/toric_report.h"

#include <QDate>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

namespace {

constexpr int kGap = 8;

// Beside the window on its right, else on its left, and wholly on the screen.
void placeBeside(QWidget* window, const QWidget* main) {
    const QScreen* s = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const QRect frame = main->frameGeometry();
    const QSize size = window->frameGeometry().size();
    int x = frame.right() + 1 + kGap;
    if (x + size.width() > avail.right() + 1)
        x = std::max(avail.left(), frame.left() - kGap - size.width());
    const int y =
        std::clamp(frame.top(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - size.height()));
    window->move(x, y);
}

} // namespace

void TFormMain::setupToric() {
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this), &QShortcut::activated, this,
            &TFormMain::openToric);
}

ToricWindow* TFormMain::toric() const {
    return toricWindow.data();
}

void TFormMain::openToric() {
    if (Photo.isNull())
        return;
    const bool first = !toricWindow;
    if (first) {
        toricWindow = new ToricWindow(this);
        toricWindow->setObjectName(QStringLiteral("ToricWindow"));
        connect(toricWindow, &ToricWindow::printRequested, this, &TFormMain::printToricReport);
        // Later the comparison's values come in as it measures or applies, not over typed ones.
        takeComparisonIntoToric();
    }
    // The marks are read with the guide line, so it is shown.
    if (!ui->GuiaMostrar->isChecked())
        ui->GuiaMostrar->setChecked(true);
    DrawOverlay();
    toricWindow->show();
    if (first) {
        toricWindow->adjustSize();
        placeBeside(toricWindow, this);
    }
    toricWindow->raise();
    toricWindow->activateWindow();
}

// The comparison's reference axis is the plan when a reference photo is open; its rotation (or the
// one carried across last) is the eye's.
void TFormMain::takeComparisonIntoToric() {
    if (!toricWindow)
        return;
    std::optional<int> axis;
    std::optional<double> rotation;
    if (carriedRotation)
        rotation = carriedRotation->rotation;
    if (compareWindow && !compareWindow->referencePhoto().isNull()) {
        axis = compareWindow->referenceAxis();
        if (const auto measured = compareWindow->rotation())
            rotation = measured;
    }
    toricWindow->takeComparison(axis, rotation);
}

// The composite and the report's page are drawn on a thread of their own; the print layout dialog
// opens once the page is there.
void TFormMain::printToricReport() {
    if (Photo.isNull() || !PrintImage || !toricWindow || busy())
        return;
    toric::ReportInputs report;
    if (compareWindow && !compareWindow->referencePhoto().isNull()) {
        report.reference = compareWindow->referencePhoto();
        report.referenceName = compareWindow->referenceFileName();
    }
    report.leftEye = ui->rbOI->isChecked();
    report.referenceText = ui->Referencia->text();
    report.date = QDate::currentDate();
    report.inputs = toricWindow->inputs();
    const CompositeInputs inputs = withLabelsLookedUp(compositeInputs());
    background->start<CompositeResult>(
        [inputs, report]() mutable {
            CompositeResult composite = renderComposite(inputs);
            if (!composite.ok())
                return composite;
            report.current = std::move(composite.image);
            const QImage page = toric::renderReport(report);
            return page.isNull()
                       ? CompositeResult{QImage(), QStringLiteral("Not enough memory for the report")}
                       : CompositeResult{page, QString()};
        },
        [this, source = SourcePath](const CompositeResult& page) {
            if (!page.ok()) {
                messages->error(this, withFullStop(page.error));
                return;
            }
            showToricReport(page.image, source);
        });
}

void TFormMain::showToricReport(const QImage& page, const QString& source) {
    // Its own name, so that the report and the photo printed to PDF do not take each other's file.
    PrintImage->setSourcePath(source, QStringLiteral("_torica"));
    PrintImage->SetImage(page);
    PrintImage->exec();
}
