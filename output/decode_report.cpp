#include "output/decode_report.h"

#include "i18n/catalogue.h"

namespace {

using imaging::RefusalDetail;

const char* sentenceOf(RefusalDetail detail) {
    switch (detail) {
    case RefusalDetail::None:
        return nullptr;
    case RefusalDetail::Folder:
        return "Es una carpeta, no un archivo.";
    case RefusalDetail::NamedPipe:
        return "Es una tubería con nombre (FIFO), no un archivo normal.";
    case RefusalDetail::Socket:
        return "Es un socket, no un archivo normal.";
    case RefusalDetail::Device:
        return "Es un dispositivo, no un archivo normal.";
    case RefusalDetail::NotRegularFile:
        return "No es un archivo normal.";
    case RefusalDetail::TooLarge:
        return "La imagen declara %1 × %2 píxeles, más de lo que admite el límite de %3 MB.";
    case RefusalDetail::DicomCompression:
        return "No se puede descodificar la compresión «%1».";
    case RefusalDetail::DicomDamaged:
        return "El archivo DICOM está dañado.";
    case RefusalDetail::DicomPixels:
        return "Los píxeles del archivo DICOM no se pueden descodificar.";
    case RefusalDetail::DicomNoImage:
        return "El objeto DICOM (%1) no contiene ninguna imagen.";
    case RefusalDetail::DicomNoSize:
        return "El archivo DICOM no indica el tamaño ni las muestras de la imagen.";
    case RefusalDetail::DicomBitDepth:
        return "Muestras de %1 bits (%2): solo se leen fotografías de 8 bits.";
    case RefusalDetail::DicomColourModel:
        return "Modelo de color no admitido: %1 (%2).";
    case RefusalDetail::DicomNoPixelData:
        return "El archivo DICOM no tiene píxeles.";
    case RefusalDetail::DicomPixelsShort:
        return "Los píxeles del archivo DICOM son menos de los que declara su cabecera.";
    case RefusalDetail::DicomNoDictionary:
        return "Falta el diccionario de datos de DCMTK.";
    }
    return nullptr;
}

} // namespace

QString refusalDetailText(const imaging::Decoded& decoded) {
    const char* sentence = sentenceOf(decoded.detail);
    if (!sentence)
        return QString();
    QString text = i18n::lookup(QString::fromUtf8(sentence));
    for (const QString& value : decoded.detailValues)
        text = text.arg(value);
    return text;
}
