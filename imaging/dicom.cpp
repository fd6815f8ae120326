// Reading a DICOM photo: DCMTK parses and decodes; this maps its header and first frame to the
// program's photo.
#include "imaging/dicom_dcmtk.h"

#include "imaging/dicom.h"
#include "imaging/imaging.h"

#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmimage/diregist.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <QFile>
#include <QIODevice>
#include <QImageReader>
#include <QTemporaryFile>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <new>

namespace imaging {

namespace dicom {

bool initialise() {
    static bool dictionaryLoaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        OFLog::configure(OFLogger::OFF_LOG_LEVEL); // failures are reported to the user, not logged
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        DcmRLEDecoderRegistration::registerCodecs();
        dictionaryLoaded = dcmDataDict.isDictionaryLoaded();
    });
    return dictionaryLoaded;
}

} // namespace dicom

namespace {

constexpr int kPreamble = 128;

// Transfer syntaxes DCMTK decodes here. JPEG 2000 is missing: Debian's DCMTK has no decoder for it.
const E_TransferSyntax kReadable[] = {
    EXS_LittleEndianImplicit, EXS_LittleEndianExplicit,
    EXS_BigEndianExplicit,    EXS_DeflatedLittleEndianExplicit,
    EXS_JPEGProcess1,         EXS_JPEGProcess2_4,
    EXS_JPEGProcess14,        EXS_JPEGProcess14SV1,
    EXS_JPEGLSLossless,       EXS_JPEGLSLossy,
    EXS_RLELossless,
};

const char* const kPhotometrics[] = {"MONOCHROME1", "MONOCHROME2", "RGB", "YBR_FULL", "YBR_FULL_422"};

// The Patient, Patient Study and General Study attributes a saved image carries over.
const DcmTagKey kPatientStudyTags[] = {
    DCM_PatientName,
    DCM_PatientID,
    DCM_IssuerOfPatientID,
    DCM_TypeOfPatientID,
    DCM_IssuerOfPatientIDQualifiersSequence,
    DCM_PatientBirthDate,
    DCM_PatientBirthTime,
    DCM_PatientSex,
    DCM_OtherPatientIDsSequence,
    DCM_OtherPatientNames,
    DCM_EthnicGroup,
    DCM_PatientComments,
    DCM_PatientIdentityRemoved,
    DCM_DeidentificationMethod,
    DCM_StudyInstanceUID,
    DCM_StudyDate,
    DCM_StudyTime,
    DCM_ReferringPhysicianName,
    DCM_StudyID,
    DCM_AccessionNumber,
    DCM_IssuerOfAccessionNumberSequence,
    DCM_StudyDescription,
    DCM_PhysiciansOfRecord,
    DCM_NameOfPhysiciansReadingStudy,
    DCM_ReferencedStudySequence,
    DCM_ProcedureCodeSequence,
    DCM_AdmittingDiagnosesDescription,
    DCM_PatientAge,
    DCM_PatientSize,
    DCM_PatientWeight,
    DCM_Occupation,
    DCM_AdditionalPatientHistory,
};

// A class in words, from DCMTK's name for it ("CTImageStorage" -> "CT Image Storage"); the UID
// itself when DCMTK does not know it.
QString classInWords(const OFString& uid) {
    const char* name = dcmFindNameOfUID(uid.c_str(), nullptr);
    if (!name)
        return uid.empty() ? QStringLiteral("no class") : dicom::text(uid);
    QString words;
    for (const char* c = name; *c; ++c) {
        if (c != name && std::isupper(uchar(*c)) && (std::islower(uchar(c[-1])) || std::islower(uchar(c[1]))))
            words += QLatin1Char(' ');
        words += QLatin1Char(*c);
    }
    return words;
}

// The transfer syntax by name, also for those this DCMTK does not know.
QString transferSyntaxName(const OFString& uid) {
    static const struct {
        const char* uid;
        const char* name;
    } later[] = {
        {"1.2.840.10008.1.2.4.201", "High-Throughput JPEG 2000 (Lossless Only)"},
        {"1.2.840.10008.1.2.4.202", "High-Throughput JPEG 2000 with RPCL Options (Lossless Only)"},
        {"1.2.840.10008.1.2.4.203", "High-Throughput JPEG 2000"},
    };
    for (const auto& row : later)
        if (uid == row.uid)
            return QString::fromLatin1(row.name);
    const DcmXfer xfer(uid.c_str());
    return xfer.getXfer() != EXS_Unknown ? QString::fromLatin1(xfer.getXferName()) : dicom::text(uid);
}

Decoded refused(const QString& error, RefusalDetail detail, const QStringList& values = {}) {
    return decodeFailure(DecodeFailure::Undecodable, error, detail, values);
}

Decoded notDecodable(const QString& transferSyntax) {
    return refused(QStringLiteral("pixel data compressed as %1 cannot be decoded").arg(transferSyntax),
                   RefusalDetail::DicomCompression, {transferSyntax});
}

Decoded unreadable(const OFCondition& condition) {
    return refused(QStringLiteral("damaged DICOM file: %1").arg(QString::fromUtf8(condition.text())),
                   RefusalDetail::DicomDamaged);
}

QString stringOf(DcmItem& item, const DcmTagKey& tag) {
    OFString value;
    item.findAndGetOFStringArray(tag, value);
    return dicom::text(value);
}

template <typename T, size_t N> bool listed(const T (&list)[N], const T& value) {
    for (const T& entry : list)
        if (entry == value)
            return true;
    return false;
}

bool listedString(const char* const* begin, const char* const* end, const OFString& value) {
    for (; begin != end; ++begin)
        if (value == *begin)
            return true;
    return false;
}

std::shared_ptr<DicomSource> sourceOf(DcmFileFormat& file, const DcmXfer& xfer, int frames) {
    DcmDataset& ds = *file.getDataset();
    auto source = std::make_shared<DicomSource>();
    for (const DcmTagKey& tag : {DCM_ImageLaterality, DCM_Laterality}) {
        const QString side = stringOf(ds, tag);
        if (side == QLatin1String("R") || side == QLatin1String("L")) {
            source->laterality = side;
            break;
        }
    }
    source->patientName = stringOf(ds, DCM_PatientName);
    source->patientId = stringOf(ds, DCM_PatientID);
    source->studyDate = stringOf(ds, DCM_StudyDate);
    source->frames = frames;
    source->sopClassUid = stringOf(ds, DCM_SOPClassUID).toLatin1();
    source->sopInstanceUid = stringOf(ds, DCM_SOPInstanceUID).toLatin1();
    source->modality = stringOf(ds, DCM_Modality).toLatin1();
    source->lossy = xfer.isLossy() || stringOf(ds, DCM_LossyImageCompression) == QLatin1String("01");
    source->patientStudy = std::make_shared<DcmItem>();
    for (const DcmTagKey& tag : kPatientStudyTags) {
        DcmElement* element = nullptr;
        if (ds.findAndGetElement(tag, element).good() && element)
            source->patientStudy->insert(OFstatic_cast(DcmElement*, element->clone()), true);
    }
    return source;
}

// Uncompressed interleaved RGB and unsigned monochrome samples are already what the photo shows:
// their first frame is copied as stored, about three times faster than DCMTK's rendering.
bool storedAsShown(DcmDataset& ds, const DcmXfer& xfer, const OFString& photometric) {
    Uint16 planar = 0, representation = 0;
    ds.findAndGetUint16(DCM_PlanarConfiguration, planar);
    ds.findAndGetUint16(DCM_PixelRepresentation, representation);
    return !xfer.isEncapsulated() && representation == 0 &&
           (photometric == "MONOCHROME2" || photometric == "MONOCHROME1" ||
            (photometric == "RGB" && planar == 0));
}

// DCMTK's RLE decoder trusts the segment offsets in a frame's header and reads past its fragment
// when they point beyond it; the header of the first frame is checked here first. Empty when sound.
QString rleHeaderProblem(DcmDataset& ds, E_TransferSyntax xfer) {
    DcmElement* element = nullptr;
    ds.findAndGetElement(DCM_PixelData, element);
    auto* pixels = OFdynamic_cast(DcmPixelData*, element);
    DcmPixelSequence* sequence = nullptr;
    DcmPixelItem* first = nullptr;
    Uint8* header = nullptr;
    if (!pixels || pixels->getEncapsulatedRepresentation(xfer, nullptr, sequence).bad() || !sequence ||
        sequence->getItem(first, 1).bad() || !first || first->getLength() < 64 ||
        first->getUint8Array(header).bad() || !header)
        return QStringLiteral("no RLE frame");
    // A frame fills one fragment, or the fragments that follow when the file holds a single frame.
    Sint32 frames = 1;
    ds.findAndGetSint32(DCM_NumberOfFrames, frames);
    Uint64 available = first->getLength();
    DcmPixelItem* item = nullptr;
    for (unsigned long i = 2; frames <= 1 && i < sequence->card() && sequence->getItem(item, i).good(); ++i)
        available += item->getLength();
    const auto word = [&](int at) {
        return Uint32(header[at]) | Uint32(header[at + 1]) << 8 | Uint32(header[at + 2]) << 16 |
               Uint32(header[at + 3]) << 24;
    };
    const Uint32 segments = word(0);
    if (segments < 1 || segments > 15 || word(4) != 64)
        return QStringLiteral("a damaged RLE header");
    for (Uint32 k = 1; k <= segments; ++k)
        if (word(4 * k) >= available || (k > 1 && word(4 * k) <= word(4 * (k - 1))))
            return QStringLiteral("a damaged RLE header");
    return QString();
}

// Whether DCMTK's walk over a JPEG fragment's markers, made to find the bit depth before decoding,
// would never end: it does not move past a TEM marker (0xFF01). The walk is followed here as DCMTK
// takes it, up to the frame header or the first byte that is no marker, where DCMTK stops too.
bool jpegMarkerWalkStalls(const Uint8* data, Uint32 length) {
    Uint64 at = 0;
    while (at + 4 < length) {
        if (data[at] != 0xff)
            return false;
        const Uint8 marker = data[at + 1];
        const bool frameHeader =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (marker == 0x01)
            return true;
        if (frameHeader || marker == 0x00 || marker == 0x02)
            return false;
        if (marker == 0xff)
            at += 1; // a fill byte
        else if (marker < 0xc0 || (marker >= 0xd0 && marker <= 0xd9))
            at += 2; // reserved, restart, start and end of image: no length
        else
            at += Uint64(data[at + 2]) << 8 | data[at + 3], at += 2;
    }
    return false;
}

// A JPEG fragment on which DCMTK would hang is refused here first. Empty when sound.
QString jpegHeaderProblem(DcmDataset& ds, E_TransferSyntax xfer) {
    DcmElement* element = nullptr;
    ds.findAndGetElement(DCM_PixelData, element);
    auto* pixels = OFdynamic_cast(DcmPixelData*, element);
    DcmPixelSequence* sequence = nullptr;
    if (!pixels || pixels->getEncapsulatedRepresentation(xfer, nullptr, sequence).bad() || !sequence)
        return QString(); // DCMTK finds no fragment to walk either
    DcmPixelItem* item = nullptr;
    for (unsigned long i = 1; i < sequence->card(); ++i) {
        Uint8* data = nullptr;
        if (sequence->getItem(item, i).good() && item && item->getUint8Array(data).good() && data &&
            jpegMarkerWalkStalls(data, item->getLength()))
            return QStringLiteral("a damaged JPEG header");
    }
    return QString();
}

// Fills buffer with the first frame as 8-bit samples, interleaved; empty when done, else why not.
QString firstFrameInto(DcmDataset& ds, E_TransferSyntax xfer, bool stored, uchar* buffer, size_t bytes) {
    if (stored) {
        DcmElement* element = nullptr;
        ds.findAndGetElement(DCM_PixelData, element);
        auto* pixels = OFdynamic_cast(DcmPixelData*, element);
        Uint32 start = 0, frameBytes = 0;
        OFString model;
        if (!pixels || pixels->getUncompressedFrameSize(&ds, frameBytes).bad() || frameBytes > bytes)
            return QStringLiteral("the frame size does not match the image");
        // DCMTK asks for a buffer of even size, also for a frame of an odd number of bytes.
        const Uint32 bufferBytes = frameBytes + (frameBytes & 1);
        if (bufferBytes > bytes)
            return QStringLiteral("the frame size does not match the image");
        const OFCondition status = pixels->getUncompressedFrame(&ds, 0, start, buffer, bufferBytes, model);
        return status.good() ? QString() : QString::fromUtf8(status.text());
    }
    DicomImage image(&ds, xfer, CIF_UsePartialAccessToPixelData | CIF_NeverAccessEmbeddedOverlays, 0, 1);
    if (image.getStatus() != EIS_Normal)
        return QString::fromUtf8(DicomImage::getString(image.getStatus()));
    return image.getOutputData(buffer, bytes, 8, 0, 0) ? QString() : QStringLiteral("rendering failed");
}

// The first frame as a 32-bit photo; MONOCHROME1 is inverted so that 0 shows white.
Decoded renderFirstFrame(DcmDataset& ds, E_TransferSyntax xfer, QSize size, bool colour, bool stored,
                         bool inverted) {
    const size_t bytes = size_t(size.width()) * size_t(size.height()) * (colour ? 3 : 1);
    // Rows come without padding, so the buffer is wrapped with that stride; one spare byte for
    // the even length of stored values.
    uchar* buffer = static_cast<uchar*>(std::malloc(bytes + 1));
    if (!buffer)
        return decodeFailure(DecodeFailure::OutOfMemory, QStringLiteral("Not enough memory for the image"));
    QImage frame(buffer, size.width(), size.height(), qsizetype(size.width()) * (colour ? 3 : 1),
                 colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8, std::free, buffer);
    const bool jpeg = xfer == EXS_JPEGProcess1 || xfer == EXS_JPEGProcess2_4 || xfer == EXS_JPEGProcess14 ||
                      xfer == EXS_JPEGProcess14SV1;
    QString why = xfer == EXS_RLELossless ? rleHeaderProblem(ds, xfer)
                  : jpeg                  ? jpegHeaderProblem(ds, xfer)
                                          : QString();
    if (why.isEmpty())
        why = firstFrameInto(ds, xfer, stored, buffer, bytes + 1);
    if (!why.isEmpty())
        return refused(QStringLiteral("DICOM pixel data cannot be decoded: %1").arg(why),
                       RefusalDetail::DicomPixels);
    if (inverted)
        frame.invertPixels();
    QImage photo = copyToPhotoFormat(frame);
    if (photo.isNull())
        return decodeFailure(DecodeFailure::OutOfMemory, QStringLiteral("Not enough memory for the image"));
    Decoded result;
    result.image = std::move(photo);
    return result;
}

Decoded decodeParsed(DcmFileFormat& file) {
    DcmDataset& ds = *file.getDataset();
    OFString sopClass;
    ds.findAndGetOFString(DCM_SOPClassUID, sopClass);
    // Any class is read when its pixels are 8-bit RGB, YBR or monochrome; refusals name the class.
    const QString kind = classInWords(sopClass);
    // A compression DCMTK cannot decode is the reason, whatever the samples are said to be.
    const DcmXfer xfer(ds.getOriginalXfer());
    if (xfer.isEncapsulated() && !listed(kReadable, xfer.getXfer()))
        return notDecodable(QString::fromLatin1(xfer.getXferName()));
    if (!ds.tagExists(DCM_PixelData))
        return refused(QStringLiteral("the DICOM object (%1) holds no image").arg(kind),
                       RefusalDetail::DicomNoImage, {kind});

    Uint16 rows = 0, columns = 0, samples = 0, allocated = 0, stored = 0;
    if (ds.findAndGetUint16(DCM_Rows, rows).bad() || ds.findAndGetUint16(DCM_Columns, columns).bad() ||
        ds.findAndGetUint16(DCM_SamplesPerPixel, samples).bad() ||
        ds.findAndGetUint16(DCM_BitsAllocated, allocated).bad() || rows == 0 || columns == 0)
        return refused(QStringLiteral("the DICOM file does not give the image's size and samples"),
                       RefusalDetail::DicomNoSize);
    if (ds.findAndGetUint16(DCM_BitsStored, stored).bad())
        stored = allocated;
    // Fewer bits stored in 8 are rendered by DCMTK, which scales them to 8 bits.
    if (allocated != 8 || stored < 1 || stored > 8)
        return refused(QStringLiteral("%1-bit samples (%2): only 8-bit photos are read")
                           .arg(qMax(allocated, stored))
                           .arg(kind),
                       RefusalDetail::DicomBitDepth, {QString::number(qMax(allocated, stored)), kind});
    OFString photometric;
    ds.findAndGetOFString(DCM_PhotometricInterpretation, photometric);
    const bool colour = photometric.compare(0, 10, "MONOCHROME") != 0;
    if (!listedString(std::begin(kPhotometrics), std::end(kPhotometrics), photometric) ||
        samples != (colour ? 3 : 1))
        return refused(QStringLiteral("unsupported colour model %1 (%2)").arg(dicom::text(photometric), kind),
                       RefusalDetail::DicomColourModel, {dicom::text(photometric), kind});
    if (!listed(kReadable, xfer.getXfer()))
        return notDecodable(QString::fromLatin1(xfer.getXferName()));

    // Qt's limit too, which a caller may have lowered below the program's.
    const qint64 limitMB = QImageReader::allocationLimit();
    if (!withinAllocationLimit(QSize(columns, rows)) ||
        (limitMB > 0 && qint64(rows) * columns * 4 > limitMB << 20))
        return tooLargeFailure(QSize(columns, rows));

    Sint32 frames = 1;
    if (ds.findAndGetSint32(DCM_NumberOfFrames, frames).bad() || frames < 1)
        frames = 1;
    DcmElement* pixels = nullptr;
    if (ds.findAndGetElement(DCM_PixelData, pixels).bad() || !pixels)
        return refused(QStringLiteral("the DICOM file has no pixel data"), RefusalDetail::DicomNoPixelData);
    if (!xfer.isEncapsulated()) {
        // DCMTK pads a short frame with black; a photo missing part of its pixels is refused.
        const bool halfChroma = photometric == "YBR_FULL_422";
        const quint64 frameBytes = quint64(rows) * columns * (halfChroma ? 2 : samples);
        if (quint64(pixels->getLength()) < frameBytes * quint64(frames))
            return refused(QStringLiteral("the DICOM pixel data is shorter than its header declares"),
                           RefusalDetail::DicomPixelsShort);
    }

    // DCMTK's own MONOCHROME1 inversion is off by one level for most values, so the samples are
    // rendered as MONOCHROME2 and inverted here: 0 white, 255 black.
    const bool inverted = photometric == "MONOCHROME1";
    if (inverted)
        ds.putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    OFString characterSet;
    ds.findAndGetOFStringArray(DCM_SpecificCharacterSet, characterSet);
    const bool utf8 = ds.convertToUTF8().good(); // else the names stay as they are
    const bool asStored = stored == 8 && storedAsShown(ds, xfer, photometric);
    Decoded result = renderFirstFrame(ds, xfer.getXfer(), QSize(columns, rows), colour, asStored, inverted);
    if (result.ok()) {
        auto source = sourceOf(file, xfer, frames);
        if (!utf8)
            source->characterSet = characterSet.c_str();
        result.dicom = std::move(source);
    }
    return result;
}

// A file DCMTK cannot parse may still name a transfer syntax it does not know in its meta header:
// that is the reason to give then.
QString unknownTransferSyntax(const OFFilename& path) {
    DcmMetaInfo meta;
    OFString uid;
    if (meta.loadFile(path).bad() || meta.findAndGetOFString(DCM_TransferSyntaxUID, uid).bad() ||
        uid.empty() || DcmXfer(uid.c_str()).getXfer() != EXS_Unknown)
        return QString();
    return transferSyntaxName(uid);
}

Decoded decodeLoaded(const QString& path, E_FileReadMode mode) {
    if (!dicom::initialise())
        return refused(QStringLiteral("DCMTK's data dictionary is missing"),
                       RefusalDetail::DicomNoDictionary);
    try {
        DcmFileFormat file;
        const OFFilename name(QFile::encodeName(path).constData());
        // Large values, the pixel data above all, stay in the file until DCMTK needs them.
        const OFCondition parsed = file.loadFile(name, EXS_Unknown, EGL_noChange, DCM_MaxReadLength, mode);
        if (parsed.bad() && mode == ERM_dataset)
            return refused(QStringLiteral("no DICOM image"), RefusalDetail::None);
        if (parsed.bad()) {
            const QString syntax = mode == ERM_fileOnly ? unknownTransferSyntax(name) : QString();
            return syntax.isEmpty() ? unreadable(parsed) : notDecodable(syntax);
        }
        if (mode == ERM_dataset && !file.getDataset()->tagExists(DCM_PixelData))
            return refused(QStringLiteral("no DICOM image"), RefusalDetail::None);
        return decodeParsed(file);
    } catch (const std::bad_alloc&) {
        return decodeFailure(DecodeFailure::OutOfMemory, QStringLiteral("Not enough memory for the image"));
    }
}

} // namespace

QString DicomSource::reference() const {
    QStringList parts;
    const QString name = QString(patientName).replace(QLatin1Char('^'), QLatin1Char(' ')).simplified();
    if (!name.isEmpty())
        parts << name;
    if (!patientId.isEmpty())
        parts << patientId;
    if (studyDate.size() == 8)
        parts << studyDate.left(4) + QLatin1Char('-') + studyDate.mid(4, 2) + QLatin1Char('-') +
                     studyDate.right(2);
    else if (!studyDate.isEmpty())
        parts << studyDate;
    return parts.join(QStringLiteral(", "));
}

bool looksLikeDicom(const QByteArray& head) {
    return head.size() >= kPreamble + 4 && head.mid(kPreamble, 4) == "DICM";
}

bool looksLikeDicom(QIODevice& device) {
    return looksLikeDicom(device.peek(kPreamble + 4));
}

bool looksLikeBareDataset(const QByteArray& head) {
    if (head.size() < 8)
        return false;
    // The first tag of an old file without meta header: a group up to 0008, little or big endian.
    const auto byte = [&](int i) { return uint(uchar(head[i])); };
    const uint little = byte(0) | byte(1) << 8, big = byte(0) << 8 | byte(1);
    return (little <= 8 && little % 2 == 0) || (big <= 8 && big % 2 == 0);
}

Decoded decodeDicomFile(const QString& path) {
    return decodeLoaded(path, ERM_fileOnly);
}

Decoded decodeBareDicomFile(const QString& path) {
    return decodeLoaded(path, ERM_dataset);
}

Decoded decodeDicomBytes(const QByteArray& bytes, bool bare) {
    // Read from memory, DCMTK allocates a value at its declared length before it checks that the
    // bytes are there, so a few damaged bytes could claim gigabytes; read from a file, it skips large
    // values and finds the short file first. So the bytes go through a temporary file.
    QTemporaryFile file;
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return decodeFailure(DecodeFailure::Unreadable, file.errorString());
    return bare ? decodeBareDicomFile(file.fileName()) : decodeDicomFile(file.fileName());
}

} // namespace imaging
