#include "imaging/source_file.h"

#include "imaging/imaging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

FileKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    return FileKind::Other;
}

} // namespace

FileKind fileKindOf(const QString& path) {
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return FileKind::Missing;
    return kindOfMode(st.st_mode);
}

OpenedSource openRegularFile(const QString& path) {
    OpenedSource result;
    result.kind = fileKindOf(path);
    if (result.kind != FileKind::Regular) {
        if (result.kind == FileKind::Missing)
            result.error = QString::fromLocal8Bit(std::strerror(path.isEmpty() ? ENOENT : errno));
        return result;
    }
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.kind = FileKind::Missing;
        result.error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    struct stat st;
    result.kind = ::fstat(fd, &st) == 0 ? kindOfMode(st.st_mode) : FileKind::Other;
    if (result.kind != FileKind::Regular) {
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    result.file = std::make_unique<QFile>();
    if (!result.file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.kind = FileKind::Missing;
        result.error = result.file->errorString();
        result.file.reset();
    }
    return result;
}

QString refusalReason(FileKind kind) {
    switch (kind) {
    case FileKind::Folder:
        return QStringLiteral("it is a folder, not a file");
    case FileKind::Fifo:
        return QStringLiteral("it is a named pipe (FIFO), not a regular file");
    case FileKind::Socket:
        return QStringLiteral("it is a socket, not a regular file");
    case FileKind::Device:
        return QStringLiteral("it is a device, not a regular file");
    case FileKind::Other:
        return QStringLiteral("it is not a regular file");
    case FileKind::Missing:
    case FileKind::Regular:
        break;
    }
    return QString();
}

RefusalDetail refusalDetail(FileKind kind) {
    switch (kind) {
    case FileKind::Folder:
        return RefusalDetail::Folder;
    case FileKind::Fifo:
        return RefusalDetail::NamedPipe;
    case FileKind::Socket:
        return RefusalDetail::Socket;
    case FileKind::Device:
        return RefusalDetail::Device;
    case FileKind::Other:
        return RefusalDetail::NotRegularFile;
    case FileKind::Missing:
    case FileKind::Regular:
        break;
    }
    return RefusalDetail::None;
}

} // namespace imaging
