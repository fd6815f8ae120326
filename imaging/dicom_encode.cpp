// Writing the composite as a DICOM Secondary Capture image: uncompressed RGB, explicit VR little
// endian, in the patient's study when the photo came from a DICOM file.
#include "imaging/dicom_dcmtk.h"

#include "imaging/dicom.h"

#include <dcmtk/dcmdata/dcostrmb.h>

#include <QDateTime>
#include <QIODevice>
#include <QUuid>

#include <algorithm>
#include <new>

namespace imaging {

namespace {

const char kDerivation[] = "angle gauge overlay";
const char kSoftware[] = "Pelvanor";

// Type 2 attributes of the Patient, General Study, General Series and General Image modules: present,
// empty when nothing is known.
const DcmTagKey kTypeTwo[] = {
    DCM_PatientName,     DCM_PatientID,          DCM_PatientBirthDate,       DCM_PatientSex,
    DCM_StudyDate,       DCM_StudyTime,          DCM_ReferringPhysicianName, DCM_StudyID,
    DCM_AccessionNumber, DCM_PatientOrientation,
};

// A UID under 2.25 from a random UUID, the way to make UIDs without a registered root.
QByteArray newUid() {
    const QByteArray hex = QUuid::createUuid().toRfc4122().toHex();
    unsigned __int128 value = 0;
    for (const char c : hex)
        value = value * 16 + unsigned(c <= '9' ? c - '0' : c - 'a' + 10);
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(value % 10)));
        value /= 10;
    } while (value != 0);
    return "2.25." + digits;
}

// Digits in components without leading zeros, at most 64 characters.
bool validUid(const OFString& uid) {
    if (uid.empty() || uid.size() > 64)
        return false;
    for (const QByteArray& part : QByteArray(uid.c_str()).split('.'))
        if (part.isEmpty() || (part.size() > 1 && part[0] == '0') ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
    return true;
}

// A copied value as this file may carry it: dates and times in the old dotted and colon forms are
// repaired; false when the value is invalid for its VR and is to be left out. Only values whose form
// the VR fixes are checked; names and texts pass as they are, in whatever character set they came.
bool validOrRepaired(DcmElement& element) {
    OFString value;
    element.getOFStringArray(value);
    if (value.empty())
        return true;
    switch (element.ident()) {
    case EVR_UI:
        return validUid(value);
    case EVR_DA:
    case EVR_TM: {
        const char separator = element.ident() == EVR_DA ? '.' : ':';
        if (value.find(separator) != OFString_npos) {
            OFString repaired;
            for (const char c : value)
                if (c != separator)
                    repaired += c;
            element.putOFStringArray(repaired);
            element.getOFStringArray(value);
        }
        // Validators take a year before 1900 for a broken value ("0095" for 1995), as it mostly is.
        return element.checkValue().good() && (element.ident() == EVR_TM || value.compare(0, 4, "1900") >= 0);
    }
    case EVR_DT:
    case EVR_AS:
    case EVR_CS:
    case EVR_DS:
    case EVR_IS:
        return element.checkValue().good();
    default:
        return true;
    }
}

// A copy of the copied attribute fit to write, or null. In a sequence an item with an empty or invalid
// UID refers to nothing and is left out, and a sequence left with no item is left out.
DcmElement* validCopy(const DcmElement& original) {
    auto* copy = OFstatic_cast(DcmElement*, original.clone());
    if (auto* sequence = OFdynamic_cast(DcmSequenceOfItems*, copy)) {
        for (unsigned long i = sequence->card(); i-- > 0;) {
            DcmItem* item = sequence->getItem(i);
            bool keep = true;
            for (unsigned long k = item->card(); k-- > 0 && keep;) {
                DcmElement* element = item->getElement(k);
                OFString uid;
                if (element->ident() == EVR_UI && (element->getOFStringArray(uid).bad() || uid.empty()))
                    keep = false;
                else if (DcmElement* valid = validCopy(*element))
                    item->insert(valid, true);
                else if (element->ident() == EVR_UI || element->ident() == EVR_SQ)
                    keep = false;
                else
                    delete item->remove(element);
            }
            if (!keep)
                delete sequence->remove(i);
        }
        if (sequence->card() > 0)
            return copy;
    } else if (validOrRepaired(*copy)) {
        return copy;
    }
    delete copy;
    return nullptr;
}

class Writer {
public:
    explicit Writer(DcmDataset& ds) : ds(ds) {}
    void put(const DcmTagKey& tag, const QByteArray& value) {
        check(ds.putAndInsertString(tag, value.constData()));
    }
    void check(const OFCondition& condition) {
        if (condition.bad() && error.isEmpty())
            error = QString::fromUtf8(condition.text());
    }
    QString error;

private:
    DcmDataset& ds;
};

void putIdentity(DcmDataset& ds, Writer& w, const DicomMetadata& m) {
    const QDateTime now = QDateTime::currentDateTime();
    const QByteArray date = now.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    const QByteArray time = now.toString(QStringLiteral("HHmmss")).toLatin1();
    // The copied names keep their character set when they could not be converted to UTF-8.
    const bool asCopied = m.source && !m.source->characterSet.isEmpty();
    w.put(DCM_SpecificCharacterSet, asCopied ? m.source->characterSet : QByteArray("ISO_IR 192"));
    w.put(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
    w.put(DCM_SOPInstanceUID, newUid());
    w.put(DCM_InstanceCreationDate, date);
    w.put(DCM_InstanceCreationTime, time);
    if (m.source && m.source->patientStudy) {
        DcmItem& copied = *m.source->patientStudy;
        // Values invalid for their VR are left out (a new study UID replaces an invalid one), so that
        // the file is valid whatever the source held.
        for (unsigned long i = 0; i < copied.card(); ++i)
            if (DcmElement* valid = validCopy(*copied.getElement(i)))
                w.check(ds.insert(valid, true));
    }
    OFString study;
    if (ds.findAndGetOFString(DCM_StudyInstanceUID, study).bad() || study.empty())
        w.put(DCM_StudyInstanceUID, newUid());
    for (const DcmTagKey& tag : kTypeTwo)
        if (!ds.tagExists(tag))
            w.check(ds.insertEmptyElement(tag));
    const QByteArray modality = m.source ? m.source->modality : QByteArray();
    w.put(DCM_Modality, modality.isEmpty() ? QByteArray("OT") : modality);
    w.put(DCM_SeriesInstanceUID, newUid());
    w.put(DCM_SeriesNumber, "1"); // each save makes a series of its own with this one image
    w.put(DCM_Laterality, m.leftEye ? "L" : "R");
    w.put(DCM_ConversionType, "WSD");
    w.put(DCM_SecondaryCaptureDeviceManufacturer, kSoftware);
    w.put(DCM_DateOfSecondaryCapture, date);
    w.put(DCM_TimeOfSecondaryCapture, time);
    w.put(DCM_ContentDate, date);
    w.put(DCM_ContentTime, time);
}

void putDerivation(DcmDataset& ds, Writer& w, const DicomMetadata& m) {
    w.put(DCM_InstanceNumber, "1");
    w.put(DCM_ImageType, "DERIVED\\SECONDARY");
    w.put(DCM_DerivationDescription, kDerivation);
    w.put(DCM_BurnedInAnnotation, "YES"); // the reference, often the patient's name, is in the pixels
    QByteArray comments = m.imageComments.toUtf8();
    if (m.source && !m.source->characterSet.isEmpty()) { // in the copies' character set: ASCII only
        comments.clear();
        for (const QChar c : m.imageComments)
            comments += c.unicode() < 0x80 ? char(c.unicode()) : '?';
    }
    w.put(DCM_ImageComments, comments);
    if (!m.source)
        return;
    if (m.source->lossy)
        w.put(DCM_LossyImageCompression, "01");
    // A source without a valid class and instance UID cannot be referred to.
    if (!validUid(m.source->sopClassUid.constData()) || !validUid(m.source->sopInstanceUid.constData()))
        return;
    DcmItem* reference = nullptr;
    w.check(ds.findOrCreateSequenceItem(DCM_SourceImageSequence, reference, -2));
    if (!reference)
        return;
    w.check(reference->putAndInsertString(DCM_ReferencedSOPClassUID, m.source->sopClassUid.constData()));
    w.check(
        reference->putAndInsertString(DCM_ReferencedSOPInstanceUID, m.source->sopInstanceUid.constData()));
    // Only a class with the multi-frame module may have its frame named.
    const QByteArray& referenced = m.source->sopClassUid;
    if (m.source->frames > 1 && (referenced == UID_MultiframeTrueColorSecondaryCaptureImageStorage ||
                                 referenced == UID_MultiframeGrayscaleByteSecondaryCaptureImageStorage ||
                                 referenced == UID_OphthalmicPhotography8BitImageStorage))
        w.check(reference->putAndInsertString(DCM_ReferencedFrameNumber, "1"));
}

// Copies the pixels as interleaved RGB and lets go of the image; false when memory runs out.
bool putPixels(DcmDataset& ds, Writer& w, QImage& image) {
    const int width = image.width(), height = image.height();
    w.put(DCM_SamplesPerPixel, "3");
    w.put(DCM_PhotometricInterpretation, "RGB");
    w.put(DCM_PlanarConfiguration, "0");
    w.put(DCM_Rows, QByteArray::number(height));
    w.put(DCM_Columns, QByteArray::number(width));
    w.put(DCM_BitsAllocated, "8");
    w.put(DCM_BitsStored, "8");
    w.put(DCM_HighBit, "7");
    w.put(DCM_PixelRepresentation, "0");
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    const unsigned long bytes = 3ul * unsigned(width) * unsigned(height);
    auto* element = new DcmPixelData(DCM_PixelData);
    element->setVR(EVR_OB); // bytes, as 8-bit samples are usually written
    Uint8* out = nullptr;
    if (element->createUint8Array(bytes + (bytes & 1), out).bad() || !out) {
        delete element;
        return false;
    }
    w.check(ds.insert(element, true));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            *out++ = uchar(qRed(row[x]));
            *out++ = uchar(qGreen(row[x]));
            *out++ = uchar(qBlue(row[x]));
        }
    }
    if (bytes & 1)
        *out = 0; // values have even lengths
    image = QImage();
    return true;
}

// Streams the file through a small buffer, so the pixels are not held twice.
QString writeTo(DcmFileFormat& file, QIODevice& device) {
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    DcmOutputBufferStream stream(buffer.data(), buffer.size());
    auto drain = [&]() {
        void* data = nullptr;
        offile_off_t length = 0;
        stream.flushBuffer(data, length);
        return length <= 0 || device.write(static_cast<const char*>(data), length) == length;
    };
    file.transferInit();
    OFCondition status = EC_StreamNotifyClient;
    bool written = true;
    while (written && status == EC_StreamNotifyClient) {
        status = file.write(stream, EXS_LittleEndianExplicit, EET_ExplicitLength, nullptr, EGL_recalcGL,
                            EPD_withoutPadding);
        if (status.good())
            stream.flush();
        written = drain();
    }
    file.transferEnd();
    if (!written)
        return device.errorString();
    return status.good() ? QString() : QString::fromUtf8(status.text());
}

} // namespace

QString encodeDicom(QImage image, QIODevice& device, const DicomMetadata& metadata) {
    if (image.isNull())
        return QStringLiteral("There is no image to write");
    if (!dicom::initialise())
        return QStringLiteral("DCMTK's data dictionary is missing");
    try {
        DcmFileFormat file;
        DcmDataset& ds = *file.getDataset();
        Writer writer(ds);
        putIdentity(ds, writer, metadata);
        putDerivation(ds, writer, metadata);
        if (!putPixels(ds, writer, image))
            return QStringLiteral("Not enough memory to encode the image");
        if (!writer.error.isEmpty())
            return writer.error;
        return writeTo(file, device);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Not enough memory to encode the image");
    }
}

} // namespace imaging
