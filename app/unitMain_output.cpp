// The main window's output: saving and printing the composite.
#include "unitMain.h"

#include "application.h"
#include "platform.h"
#include "toric_window.h"
#include "ui_unitMain.h"

#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "imaging/background_task.h"
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
    if (Photo.isNull() || busy())
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

    // Drawn and written on a thread of its own from the values as they are now; the file appears
    // complete or not at all.
    const CompositeInputs inputs = withLabelsLookedUp(compositeInputs());
    const imaging::DicomMetadata dicom{{}, inputs.leftEye, photoDicom};
    background->start<output::WriteResult>(
        [inputs, chosen, mimeType, dicom] { return output::saveComposite(inputs, chosen, mimeType, dicom); },
        [this](const output::WriteResult& written) {
            if (!written.ok)
                messages->message(this, QString::fromUtf8(kSaveError) + QLatin1Char('\n') + written.error);
        });
}

// The composite is drawn on a thread of its own; the print layout dialog opens once it is there.
void TFormMain::btnPrintClick() {
    if (Photo.isNull() || !PrintImage || busy())
        return;
    const CompositeInputs inputs = withLabelsLookedUp(compositeInputs());
    background->start<CompositeResult>([inputs] { return renderComposite(inputs); },
                                       [this, source = SourcePath](CompositeResult composite) {
                                           if (!composite.ok()) {
                                               messages->error(this, withFullStop(composite.error));
                                               return;
                                           }
                                           PrintImage->setSourcePath(source);
                                           PrintImage->SetImage(composite.image);
                                           PrintImage->exec();
                                           composite = CompositeResult(); // the dialog has let go of it too
                                       });
}
