#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Malformed photos made from real ones, for the bad-input sweep.
struct MalformedFile {
    QString path;
    QString what;          // how it was made, for failure messages
    bool mustFail = false; // nothing in it can be a photo
};

// Writes at least `count` malformed variants of the given real image files into dir: truncations,
// flipped header and data bytes, huge and zero declared sizes. Deterministic for one seed.
QVector<MalformedFile> makeMalformedFiles(const QStringList& sources, const QString& dir, int count,
                                          quint32 seed);

// Entries no photo can come from: zero bytes, text named .jpg, a broken link, a FIFO, a socket, a
// folder, devices, a path through a file, and a file whose reading fails.
QVector<MalformedFile> makeSpecialEntries(const QString& dir);

// The given bytes with the declared width and height rewritten, for BMP, PNG, JPEG and TIFF; empty
// when the format is none of these.
QByteArray withDeclaredSize(QByteArray bytes, quint32 width, quint32 height);
