#pragma once

#include "output/composite.h"

#include <QImage>
#include <QString>
#include <QStringList>

// The command-line renderer: the composite of a photo file written to an image file, without a
// window. Exit codes: 0 done, 1 the photo cannot be read or the output cannot be written,
// 2 a usage error (unknown option, value out of range, extension outside the table).
namespace output {

enum RenderExit { kRenderOk = 0, kRenderFailed = 1, kRenderUsage = 2 };

struct RenderJob {
    QString photoPath;
    QString outputPath;
    QString language; // "es", "en", or empty to choose from the environment
    bool help = false;
    bool version = false;
    bool eyeGiven = false;       // --eye was given: a DICOM photo's laterality does not override it
    bool referenceGiven = false; // likewise --reference and the DICOM patient and study
    CompositeInputs inputs;      // everything but the photo and the brand images
};

struct ParsedCommand {
    RenderJob job;
    QString error; // a usage error when not empty
};

// arguments without the program name.
ParsedCommand parseRenderCommand(const QStringList& arguments);
QString renderUsage();

// Decodes, renders and writes; on failure returns kRenderFailed with the reason in error. notice
// receives a remark for the user when the photo is one frame of several.
int runRenderJob(RenderJob job, const QImage& brandLogo, const QImage& brandLettering, QString* error,
                 QString* notice = nullptr);

} // namespace output
