#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool failed(int* error, int code)
{
    if (error) {
        *error = code;
    }
    return false;
}

} // namespace

bool AtomicFile::write(const QString& path, const QByteArray& content, int* error)
{
    // Through a link into the file it leads to: the link stays a link.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty()) {
        target = info.canonicalFilePath();
    }
    const QByteArray finalName = QFile::encodeName(target);
    QByteArray temporaryName = finalName + QByteArrayLiteral(".XXXXXX");
    // mkostemp makes it 0600, before any byte is in it.
    const int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0) {
        return failed(error, errno);
    }
    const auto abandon = [&](int code) {
        ::unlink(temporaryName.constData());
        return failed(error, code);
    };
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int code = written < 0 ? errno : ENOSPC;
            ::close(fd);
            return abandon(code);
        }
        data += written;
        left -= written;
    }
    // Some disks report the lack of room only here.
    if (::fdatasync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        return abandon(code);
    }
    if (::close(fd) != 0) {
        return abandon(errno);
    }
    if (::rename(temporaryName.constData(), finalName.constData()) != 0) {
        return abandon(errno);
    }
    // The rename on the disk too; either file is whole, so a failure here loses nothing.
    const int folder = ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool AtomicFile::isDiskFull(int error)
{
    return error == ENOSPC || error == EDQUOT;
}
