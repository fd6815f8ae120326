// The ImageDescription entry of a classic TIFF file. The first directory is copied to the end of
// the file with the entry added (entries stay sorted by tag) and the header is pointed at the copy;
// every other offset in the file stays valid, so nothing else is touched.
#include "output/save.h"

#include <QtEndian>

#include <map>

namespace output {

namespace {

constexpr quint16 kImageDescription = 270;
constexpr quint16 kAsciiType = 2;
constexpr int kEntrySize = 12;

class TiffBytes {
public:
    TiffBytes(QByteArray& bytes, bool littleEndian) : bytes(bytes), little(littleEndian) {}

    quint16 u16(qsizetype at) const {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
        return little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    }
    quint32 u32(qsizetype at) const {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
        return little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }
    void put16(QByteArray& out, quint16 v) const {
        uchar b[2];
        little ? qToLittleEndian(v, b) : qToBigEndian(v, b);
        out.append(reinterpret_cast<const char*>(b), 2);
    }
    void put32(QByteArray& out, quint32 v) const {
        uchar b[4];
        little ? qToLittleEndian(v, b) : qToBigEndian(v, b);
        out.append(reinterpret_cast<const char*>(b), 4);
    }

private:
    QByteArray& bytes;
    bool little;
};

} // namespace

bool addTiffDescription(QByteArray& tiff, const QByteArray& description) {
    if (tiff.size() < 8 || description.contains('\0'))
        return false;
    const bool little = tiff.startsWith("II");
    if (!little && !tiff.startsWith("MM"))
        return false;
    TiffBytes t(tiff, little);
    if (t.u16(2) != 42)
        return false; // BigTIFF or no TIFF
    const quint32 ifd = t.u32(4);
    if (ifd < 8 || qsizetype(ifd) + 2 > tiff.size())
        return false;
    const quint16 count = t.u16(ifd);
    const qsizetype entriesEnd = qsizetype(ifd) + 2 + qsizetype(count) * kEntrySize;
    if (entriesEnd + 4 > tiff.size())
        return false;
    const quint32 nextIfd = t.u32(entriesEnd);

    std::map<quint16, QByteArray> entries; // by tag, raw 12-byte entries
    for (int i = 0; i < count; ++i) {
        const qsizetype at = qsizetype(ifd) + 2 + qsizetype(i) * kEntrySize;
        entries[t.u16(at)] = tiff.mid(at, kEntrySize);
    }

    QByteArray value = description;
    value.append('\0');
    QByteArray tail;
    if (tiff.size() % 2)
        tail.append('\0'); // offsets are word-aligned
    quint32 valueField = 0;
    if (value.size() > 4) {
        valueField = quint32(tiff.size() + tail.size());
        tail.append(value);
        if (tail.size() % 2)
            tail.append('\0');
    }
    QByteArray entry;
    t.put16(entry, kImageDescription);
    t.put16(entry, kAsciiType);
    t.put32(entry, quint32(value.size()));
    if (value.size() > 4)
        t.put32(entry, valueField);
    else
        entry.append(value.leftJustified(4, '\0'));
    entries[kImageDescription] = entry;
    if (entries.size() > 0xFFFF)
        return false;

    const qint64 newIfd = tiff.size() + tail.size();
    if (newIfd + 6 + qint64(entries.size()) * kEntrySize > 0xFFFFFFFFLL)
        return false;
    t.put16(tail, quint16(entries.size()));
    for (const auto& [tag, raw] : entries)
        tail.append(raw);
    t.put32(tail, nextIfd);

    tiff.append(tail);
    QByteArray header;
    t.put32(header, quint32(newIfd));
    tiff.replace(4, 4, header);
    return true;
}

} // namespace output
