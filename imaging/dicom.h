#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

class DcmItem;
class QIODevice;

// DICOM photos in and out through DCMTK. Reading maps a DICOM file (with preamble and meta header,
// or an older bare data set) whose pixels are 8-bit RGB, YBR or monochrome to a 32-bit photo plus what the
// window and a later save need from its header; writing makes a Secondary Capture image of the composite.
namespace imaging {

struct Decoded;

// What a DICOM photo's header tells the program besides its pixels.
struct DicomSource {
    QString laterality; // "R", "L", or empty when the file does not say
    QString patientName, patientId, studyDate;
    int frames = 1;
    QByteArray sopClassUid, sopInstanceUid;
    bool lossy = false;                    // the pixels went through lossy compression
    QByteArray modality;                   // the source's modality, empty when absent
    std::shared_ptr<DcmItem> patientStudy; // copies of the Patient and Study modules' attributes
    // The copies' Specific Character Set when DCMTK could not convert them to UTF-8; empty when they
    // are UTF-8.
    QByteArray characterSet;

    // "name, ID, date" for the reference field, leaving out what is empty.
    QString reference() const;
};

// True when the bytes at the device's current position begin a DICOM file (128-byte
// preamble and "DICM"); the position is left where it was.
bool looksLikeDicom(QIODevice& device);
bool looksLikeDicom(const QByteArray& head);

// True when the bytes could begin a bare DICOM data set, as older files without preamble and meta
// header do; only worth trying where no image decoder knows the bytes.
bool looksLikeBareDataset(const QByteArray& head);

// Decodes the first frame of a DICOM image. The path must name a regular file. A bare data set that
// holds no image is refused with the error "no DICOM image", for the caller to give its own reason.
Decoded decodeDicomFile(const QString& path);
Decoded decodeBareDicomFile(const QString& path);
Decoded decodeDicomBytes(const QByteArray& bytes, bool bare = false);

// What goes into a saved DICOM file besides the pixels.
struct DicomMetadata {
    QString imageComments; // the measurement text
    bool leftEye = false;
    std::shared_ptr<const DicomSource> source; // the DICOM file the photo came from, if any
};

// Writes the image as an uncompressed RGB Secondary Capture image to an open device (a file);
// the image is released as soon as its pixels are copied. Returns an empty string on success,
// else the reason.
QString encodeDicom(QImage image, QIODevice& device, const DicomMetadata& metadata);

} // namespace imaging
