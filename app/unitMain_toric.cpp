// The toric lens check: its window opens beside the main window from the photo's context menu and
// on Ctrl+T, reads the guide line as the marks' axis on every redraw, takes the plan and the
// eye's rotation from the comparison, and prints its report through the print layout dialog.
#include "unitMain.h"

#include "application.h"
#include "compare_window.h"
#include "platform.h"
#include "toric_window.h"
#include "ui_unitMain.h"

#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "imaging/background_task.h"
#include "output/composite.h"
#include "toric/toric_report.h"

#include <QDate>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QShortcut>

namespace {

constexpr int kGap = 8;
const char kNoPhotoForToric[] = "Abra primero una foto para comprobar en ella una lente tórica.";

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
    if (Photo.isNull()) {
        messages->message(this, i18n::lookup(QString::fromUtf8(kNoPhotoForToric)));
        return;
    }
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

namespace {

// The report drawn off the interface thread: its page for the preview, and its inputs with the
// current photo's composite, from which the page is drawn again as text on the printer.
struct ReportPage {
    QImage page;
    toric::ReportInputs report;
    QString error;
};

} // namespace

// The composite and the report's page are drawn on a thread of their own; the print layout dialog
// opens once the page is there.
void TFormMain::printToricReport() {
    if (Photo.isNull() || !PrintImage || !toricWindow || busy())
        return;
    if (const auto problem = toric::inputError(toricWindow->inputs())) {
        messages->error(this, withFullStop(i18n::lookup(problem->reason)));
        return;
    }
    toric::ReportInputs report;
    if (!SourcePath.isEmpty()) {
        report.currentName = QFileInfo(SourcePath).fileName();
        report.currentDate = QFileInfo(SourcePath).lastModified();
    }
    if (compareWindow && !compareWindow->referencePhoto().isNull()) {
        report.reference = compareWindow->referencePhoto();
        report.referenceName = compareWindow->referenceFileName();
        const QString referencePath = referenceChooser.pathOf(report.referenceName);
        if (!referencePath.isEmpty())
            report.referenceDate = QFileInfo(referencePath).lastModified();
    }
    report.leftEye = ui->rbOI->isChecked();
    report.referenceText = ui->Referencia->text();
    report.date = QDate::currentDate();
    report.inputs = toricWindow->inputs();
    const CompositeInputs inputs = withLabelsLookedUp(compositeInputs());
    background->start<ReportPage>(
        [inputs, report]() mutable {
            CompositeResult composite = renderComposite(inputs);
            if (!composite.ok())
                return ReportPage{QImage(), report, composite.error};
            report.current = std::move(composite.image);
            const QImage page = toric::renderReport(report);
            return ReportPage{page, report,
                              page.isNull() ? QStringLiteral("Not enough memory for the report") : QString()};
        },
        [this, source = SourcePath](const ReportPage& done) {
            if (!done.error.isEmpty()) {
                messages->error(this, withFullStop(done.error));
                return;
            }
            showToricReport(done.page, done.report, source);
        });
}

void TFormMain::showToricReport(const QImage& page, const toric::ReportInputs& report,
                                const QString& source) {
    // Its own name, so that the report and the photo printed to PDF do not take each other's file.
    PrintImage->setSourcePath(source, QStringLiteral("_torica"));
    PrintImage->SetImage(page, [report](QPainter& painter) { toric::paintReport(painter, report); });
    PrintImage->exec();
}
