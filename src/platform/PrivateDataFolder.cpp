#include "PrivateDataFolder.h"

#include "ApplicationFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isOurs(const struct stat& info)
{
    return info.st_uid == ::geteuid() && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode));
}

// Clears the group and other bits. Through a descriptor opened without following links, so a link put in
// the entry's place never passes our change to its target.
void restrict(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info
    {
    };
    if (fd >= 0) {
        if (::fstat(fd, &info) == 0 && isOurs(info) && (info.st_mode & (S_IRWXG | S_IRWXO))) {
            (void)::fchmod(fd, info.st_mode & S_IRWXU);
        }
        ::close(fd);
        return;
    }
    // A file its owner cannot read (mode 0 or write-only) is still theirs to restrict.
    if (errno == EACCES && ::lstat(name.constData(), &info) == 0 && isOurs(info) &&
        (info.st_mode & (S_IRWXG | S_IRWXO))) {
        (void)::chmod(name.constData(), info.st_mode & S_IRWXU);
    }
}

void restrictTree(const QString& path)
{
    restrict(path);
    // Links are neither listed nor entered.
    QDirIterator entries(
        path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System | QDir::NoSymLinks,
        QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        restrict(entries.next());
    }
}

} // namespace

void PrivateDataFolder::restrictNewFiles()
{
    ::umask(S_IRWXG | S_IRWXO);
}

void PrivateDataFolder::secure(const QString& folder)
{
    const QString base = QDir::cleanPath(folder);
    restrict(base);
    for (const char* name : {"data.db", "data.db-journal", "data.db-wal", "data.db-shm", "Preferences.json",
                             "Preferences.json.lock", "penhollow.lock"}) {
        restrict(base + QLatin1Char('/') + QLatin1String(name));
    }
    restrictTree(base + QStringLiteral("/QtWebEngine"));
    // In the home folder, Applications is the user's own folder of programs: not ours to change.
    const QString images = QDir::cleanPath(ApplicationFolders::applicationsFolder());
    if (images.startsWith(base + QLatin1Char('/'))) {
        restrictTree(images);
    }
}
