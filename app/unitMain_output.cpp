// The main window's output: saving and printing the composite.
#include "unitMain.h"

#include "application.h"
#include "platform.h"
#include "toric_window.h"
#include "ui_unitMain.h"
#include "wait_cursor.h"

#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "imaging/file_types.h"
#include "output/composite.h"
#include "output/save.h"
#include "toric/toric_text.h"

#include <QFileInfo>

namespace {

const char kExtensionError[] = "Error, no entiendo esa extension";
const char kSaveError[] = "Error al guardar la imagen";
// The save dialog adds ".jpg" to a name typed without extension while "Todo" is the type chosen.
const char kDefaultSuffix[] = "jpg";

} // namespace

// The gauge as the overlay reads it, plus what only the composite shows.
CompositeInputs TFormMain::compositeInputs() const {
    const GaugeInputs gauge = gaugeInputs();
    CompositeInputs in;
    in.photo = Photo;
    in.centreOffsetX = gauge.offsetX;
    in.centreOffsetY = gauge.offsetY;
    in.centreSize = gauge.centreSize;
    in.settings = gauge.settings;
    in.guideShown = gauge.guideShown;
    in.guideDegrees = gauge.guide;
    in.sectorShown = gauge.sectorShown;
    in.sectorStart = gauge.sectorStart;
    in.sectorEnd = gauge.sectorEnd;
    in.sectorReadout = ui->SectorGrados->text();
    in.leftEye = ui->rbOI->isChecked();
    in.reference = ui->Referencia->text();
    if (carriedRotation) {
        in.rotationDegrees = carriedRotation->rotation;
        in.rotationReference = carriedRotation->referenceName;
    }
    if (toricWindow && toricWindow->isVisible())
        in.toricCheck = toric::measurementPart(toricWindow->inputs(), toricWindow->result());
    in.brandLogo = BrandLogo;
    in.brandLettering = BrandLettering;
    in.translate = i18n::lookup;
    return in;
}

CompositeResult TFormMain::RenderComposite() const {
    return renderComposite(compositeInputs());
}

void TFormMain::btnImagenSaveClick() {
    if (Photo.isNull())
        return;
    lastSaveName = output::proposedSaveName(sourcePath(), lastSaveName);
    if (!sourcePath().isEmpty())
        fileChooser->setFallbackFolder(QFileInfo(sourcePath()).absolutePath());
    const QString filter = toQtNameFilters(i18n::lookup(QString::fromUtf8(kFileTypeList)));
    const QString chosen = fileChooser->saveFile(this, filter, saveFilterIndex, lastSaveName,
                                                 QString::fromLatin1(kDefaultSuffix));
    if (chosen.isEmpty())
        return;
    lastSaveName = chosen;
    const QByteArray mimeType = output::mimeTypeForExtension(output::extensionOf(chosen));
    if (mimeType.isEmpty()) {
        messages->message(this, QString::fromUtf8(kExtensionError));
        return;
    }

    WaitCursor wait;
    const CompositeInputs inputs = compositeInputs();
    CompositeResult composite = renderComposite(inputs);
    output::WriteResult written;
    if (composite.ok())
        written = output::writeImageFile(std::move(composite.image), chosen, mimeType,
                                         output::measurementText(inputs), {{}, inputs.leftEye, photoDicom});
    else
        written.error = composite.error;
    wait.release();
    if (!written.ok)
        messages->message(this, QString::fromUtf8(kSaveError) + QLatin1Char('\n') + written.error);
}

void TFormMain::btnPrintClick() {
    if (Photo.isNull() || !PrintImage)
        return;
    WaitCursor wait;
    CompositeResult composite = RenderComposite();
    if (!composite.ok()) {
        wait.release();
        messages->error(this, withFullStop(composite.error));
        return;
    }
    PrintImage->setSourcePath(SourcePath);
    PrintImage->SetImage(composite.image);
    wait.release();
    PrintImage->exec();
    composite = CompositeResult(); // the dialog has let go of it too
}
