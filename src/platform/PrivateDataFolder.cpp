#include "PrivateDataFolder.h"

#include "ApplicationFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr mode_t GroupAndOthers = S_IRWXG | S_IRWXO;
// Deeper than any profile or cache; a deeper tree is left as it is rather than hold a descriptor per level.
constexpr int MaximumDepth = 32;

// A file with a second name (a hard link) may be a page or picture of the user's somewhere else: not ours.
bool isOurs(const struct stat& info, dev_t device)
{
    return info.st_uid == ::geteuid() && info.st_dev == device &&
           ((S_ISREG(info.st_mode) && info.st_nlink == 1) || S_ISDIR(info.st_mode));
}

bool sameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Clears the group and other bits of the entry `name` in `dirfd` when it is ours, leaving set-id and
// sticky bits. Never through a link: a link is neither followed nor changed. Returns the entry as it is
// after, or nothing when it is not ours to touch.
std::optional<struct stat> restrictAt(int dirfd, const char* name, dev_t device)
{
    struct stat info
    {
    };
    if (::fstatat(dirfd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !isOurs(info, device)) {
        return std::nullopt;
    }
    if ((info.st_mode & GroupAndOthers) == 0) {
        return info;
    }
    const mode_t wanted = info.st_mode & 07777 & ~GroupAndOthers;
    const int fd = ::openat(dirfd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat opened
        {
        };
        // The entry checked above, not one put in its place since.
        const bool changed = ::fstat(fd, &opened) == 0 && sameEntry(opened, info) && isOurs(opened, device) &&
                             ::fchmod(fd, wanted) == 0;
        ::close(fd);
        if (changed) {
            info.st_mode = (info.st_mode & S_IFMT) | wanted;
            return info;
        }
    } else if (errno == EACCES) {
        // One its owner may not read is still theirs to restrict; this call changes no link's target.
        (void)::fchmodat(dirfd, name, wanted, AT_SYMLINK_NOFOLLOW);
    }
    if (::fstatat(dirfd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !isOurs(info, device)) {
        return std::nullopt;
    }
    return info;
}

void restrictTree(int dirfd, const char* name, dev_t device, int depth)
{
    const std::optional<struct stat> info = restrictAt(dirfd, name, device);
    if (!info || !S_ISDIR(info->st_mode) || depth > MaximumDepth) {
        return;
    }
    const int fd = ::openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat opened
    {
    };
    DIR* entries = ::fstat(fd, &opened) == 0 && sameEntry(opened, *info) ? ::fdopendir(fd) : nullptr;
    if (!entries) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        if (entry->d_type == DT_LNK || std::strcmp(entry->d_name, ".") == 0 ||
            std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        restrictTree(::dirfd(entries), entry->d_name, device, depth + 1);
    }
    ::closedir(entries);
}

// The folder itself, opened without following a link in its place; -1 when it is not the user's folder.
int openFolder(const QString& folder, struct stat* info)
{
    const QByteArray path = QFile::encodeName(PrivateDataFolder::resolvedPath(folder));
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && (::fstat(fd, info) != 0 || info->st_uid != ::geteuid())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The user's own group: their primary group, listing no other member (a group of the user's own, as Debian
// makes one per user). Another user with the same primary group would not be listed; that is not looked for.
bool isTheUsersOwnGroup(gid_t group)
{
    if (group != ::getegid()) {
        return false;
    }
    std::vector<char> buffer(16384);
    struct group entry
    {
    };
    struct group* found = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return false;
    }
    struct passwd user
    {
    };
    struct passwd* me = nullptr;
    std::vector<char> userBuffer(16384);
    const bool named = ::getpwuid_r(::geteuid(), &user, userBuffer.data(), userBuffer.size(), &me) == 0 && me;
    for (char** member = found->gr_mem; member && *member; ++member) {
        if (!named || std::strcmp(*member, me->pw_name) != 0) {
            return false;
        }
    }
    return true;
}

// An entry of a folder's access ACL, as the kernel keeps it in an extended attribute (version 2: a 4-byte
// header, then entries of a 2-byte tag, 2-byte permissions and a 4-byte id, little-endian).
struct AclEntry
{
    quint16 tag = 0;
    quint16 permissions = 0;
    quint32 id = 0;
};

constexpr quint16 AclNamedUser = 0x02;
constexpr quint16 AclOwningGroup = 0x04;
constexpr quint16 AclNamedGroup = 0x08;
constexpr quint16 AclMask = 0x10;
constexpr quint16 AclWrite = 0x02;

// Nothing when the folder has no ACL beyond its mode, or one that cannot be read or is of another version:
// its mode bits (the mask's, when it has one) then tell.
std::optional<std::vector<AclEntry>> accessAclOf(const QByteArray& path)
{
    const char* name = "system.posix_acl_access";
    const ssize_t needed = ::getxattr(path.constData(), name, nullptr, 0);
    std::vector<uchar> bytes(needed > 0 ? size_t(needed) : 0);
    const ssize_t size = needed > 0 ? ::getxattr(path.constData(), name, bytes.data(), bytes.size()) : -1;
    if (size < 4 || (size - 4) % 8 != 0 || qFromLittleEndian<quint32>(bytes.data()) != 2) {
        return std::nullopt;
    }
    std::vector<AclEntry> entries;
    for (ssize_t at = 4; at < size; at += 8) {
        entries.push_back({qFromLittleEndian<quint16>(&bytes[at]), qFromLittleEndian<quint16>(&bytes[at + 2]),
                           qFromLittleEndian<quint32>(&bytes[at + 4])});
    }
    return entries;
}

// Whether the ACL lets a user other than this one (or root), or a group not the user's own, write in the
// folder: a named user's or group's grant, or the owning group's, each as far as the mask lets it.
bool aclLetsOthersWrite(const std::vector<AclEntry>& acl, gid_t owningGroup)
{
    for (const AclEntry& entry : acl) {
        if (entry.tag == AclMask && !(entry.permissions & AclWrite)) {
            return false;
        }
    }
    for (const AclEntry& entry : acl) {
        if ((entry.permissions & AclWrite) &&
            ((entry.tag == AclNamedUser && entry.id != ::geteuid() && entry.id != 0) ||
             (entry.tag == AclNamedGroup && !isTheUsersOwnGroup(entry.id)) ||
             (entry.tag == AclOwningGroup && !isTheUsersOwnGroup(owningGroup)))) {
            return true;
        }
    }
    return false;
}

// Whether another user may rename or remove what the folder holds: they own it (an owner always may), or
// they may write in it, by its mode or its ACL, and no sticky bit keeps them to their own entries. Root's
// folders are not another user's: root may do anything anyway.
bool othersMayReplaceEntriesOf(const QByteArray& path, const struct stat& info)
{
    if (info.st_uid != ::geteuid() && info.st_uid != 0) {
        return true;
    }
    if (info.st_mode & S_ISVTX) {
        return false;
    }
    if (info.st_mode & S_IWOTH) {
        return true;
    }
    // With an ACL, the mode's group bits show its mask, not what the owning group may do.
    if (const std::optional<std::vector<AclEntry>> acl = accessAclOf(path)) {
        return aclLetsOthersWrite(*acl, info.st_gid);
    }
    return (info.st_mode & S_IWGRP) && !isTheUsersOwnGroup(info.st_gid);
}

QString above(const QString& path)
{
    return QFileInfo(path).path();
}

} // namespace

QString PrivateDataFolder::parentOpenToOthers(const QString& folder)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // The folders the path names, and where each leads when it is a link: the folder could be put
    // elsewhere from any of them. One not made yet will be made by us.
    QStringList named{absolute};
    while (named.last() != above(named.last())) {
        named << above(named.last());
    }
    QSet<QString> checked;
    for (const QString& name : named) {
        const QString real = QFileInfo(name).canonicalFilePath();
        if (real.isEmpty()) {
            continue;
        }
        // The folder itself is checked as the data folder; everything above it up to the root here.
        for (QString up = name == absolute ? above(real) : real; !checked.contains(up); up = above(up)) {
            checked.insert(up);
            struct stat info
            {
            };
            const QByteArray path = QFile::encodeName(up);
            if (::stat(path.constData(), &info) == 0 && othersMayReplaceEntriesOf(path, info)) {
                return up;
            }
        }
    }
    return {};
}

QString PrivateDataFolder::resolvedPath(const QString& folder)
{
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(folder) : resolved;
}

PrivateDataFolder::Access PrivateDataFolder::secureFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(resolvedPath(folder));
    struct stat info
    {
    };
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Access::Unreachable;
    }
    if (info.st_uid != ::geteuid()) {
        return Access::AnotherUsers;
    }
    (void)restrictAt(AT_FDCWD, path.constData(), info.st_dev);
    // Read again: some disks accept the change and keep their fixed modes.
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Access::Unreachable;
    }
    return (info.st_mode & (S_IWGRP | S_IWOTH)) ? Access::OpenToOthers : Access::Private;
}

void PrivateDataFolder::secureFiles(const QString& folder)
{
    struct stat root
    {
    };
    const int fd = openFolder(folder, &root);
    if (fd < 0) {
        return;
    }
    for (const char* name : {"data.db", "data.db-journal", "data.db-wal", "data.db-shm", "Preferences.json",
                             "Preferences.json.lock", "Preferences.json.unreadable", "penhollow.lock"}) {
        (void)restrictAt(fd, name, root.st_dev);
    }
    ::close(fd);
}

void PrivateDataFolder::secureFolders(const QString& folder)
{
    struct stat root
    {
    };
    const int fd = openFolder(folder, &root);
    if (fd < 0) {
        return;
    }
    restrictTree(fd, "QtWebEngine", root.st_dev, 0);
    // In the home folder, Applications is the user's own folder of programs: not ours to change.
    if (QDir::cleanPath(ApplicationFolders::applicationsFolder()) ==
        QDir::cleanPath(folder) + QStringLiteral("/Applications")) {
        restrictTree(fd, "Applications", root.st_dev, 0);
    }
    ::close(fd);
}

bool PrivateDataFolder::makeFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (QFileInfo(clean).isDir()) {
        return true;
    }
    if (!QDir().mkpath(QFileInfo(clean).absolutePath())) {
        return false;
    }
    return ::mkdir(QFile::encodeName(clean).constData(), S_IRWXU) == 0 || QFileInfo(clean).isDir();
}

bool PrivateDataFolder::copyFile(const QString& from, const QString& to, QString* error)
{
    QFile source(from);
    // A temporary file is made 0600, and the rename keeps that mode.
    QTemporaryFile copy(to + QStringLiteral(".XXXXXX"));
    copy.setAutoRemove(false);
    const auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
        }
        if (!copy.fileName().isEmpty() && copy.fileName() != to) {
            copy.remove();
        }
        return false;
    };
    if (!source.open(QIODevice::ReadOnly)) {
        return fail(source.errorString());
    }
    if (!copy.open()) {
        return fail(copy.errorString());
    }
    while (!source.atEnd()) {
        const QByteArray block = source.read(1 << 20);
        if (block.isEmpty() && source.error() != QFileDevice::NoError) {
            return fail(source.errorString());
        }
        if (copy.write(block) != block.size()) {
            return fail(copy.errorString());
        }
    }
    if (!copy.flush()) {
        return fail(copy.errorString());
    }
    // On the disk before it has its name: some disks report the lack of room only here.
    if (::fdatasync(copy.handle()) != 0) {
        return fail(qt_error_string(errno));
    }
    if (!copy.rename(to)) {
        return fail(copy.errorString());
    }
    return true;
}
