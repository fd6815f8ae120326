#pragma once

#include <QString>

#include <memory>

class QFile;

// Opening a photo file without ever blocking: only regular files are opened, so a FIFO, a socket,
// a device or a folder picked by mistake is refused instead of freezing or flooding the reader.
namespace imaging {

enum class FileKind { Missing, Regular, Folder, Fifo, Socket, Device, Other };

// What the path names, following symbolic links; never opens the file.
FileKind fileKindOf(const QString& path);

struct OpenedSource {
    std::unique_ptr<QFile> file; // open for reading when kind is Regular
    FileKind kind = FileKind::Missing;
    QString error; // the system's reason when the file could not be opened
};

// Opens path for reading if it is a regular file. The type is checked again on the open file, so a
// file swapped for a FIFO between the check and the open is refused too.
OpenedSource openRegularFile(const QString& path);

// Why a file of this kind is not read, in English (command line) and as the window's detail.
QString refusalReason(FileKind kind);
enum class RefusalDetail;
RefusalDetail refusalDetail(FileKind kind);

} // namespace imaging
