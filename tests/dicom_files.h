#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// DICOM files made at test time from the project's own photos with DCMTK's and GDCM's tools.

// Runs a tool; empty when it exits with 0, else what it said. stdout goes to output when given.
QString runTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr);

// The eye photo as a 24-bit BMP in dir, and a DICOM file made from it by img2dcm (uncompressed,
// explicit VR little endian) with extra img2dcm arguments; empty when img2dcm failed.
QString eyeBmp(const QString& dir);
QString eyeDicom(const QString& dir, const QString& name, const QStringList& img2dcmArguments = {});

// A DICOM file whose data set nests sequences `depth` deep.
QByteArray nestedSequences(int depth);
