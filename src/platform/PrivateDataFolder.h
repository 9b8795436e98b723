#pragma once

#include <QString>

// The data folder holds drafts, posts, comments, tokens and the sign-in profile: it is its user's alone.
// The folder is 0700 and the files Penhollow makes there are owner-only when they are made; the process's
// umask stays the user's, so the programs it starts make their files as the user wants. An existing folder
// (one of an older version, or one the user opened) is brought to that at start. Securing clears group and
// other bits only, and only of what belongs to the user running Penhollow, on the folder's own disk: a
// link is never followed below the folder, nothing reached through one is changed, and a file with another
// name too (a hard link) is left as it is.
class PrivateDataFolder
{
public:
    enum class Access
    {
        // The user's own, and now closed to others.
        Private,
        // Another user's folder (or one the link leads to): nothing is changed or written there.
        AnotherUsers,
        // Still writable by group or others after its bits were cleared (a disk that keeps no modes).
        OpenToOthers,
        // Missing or not reachable: the folder check says why.
        Unreachable
    };

    // The folder itself, at the place a link leads to: its group and other bits cleared when it is the
    // user's. Changes nothing inside it.
    static Access secureFolder(const QString& folder);
    // The first folder above the data folder (on its path as given, or where a link on it leads) in which
    // another user may rename or remove entries: one they own, or may write in without the sticky bit, by
    // its mode or its ACL (or through a group that is not the user's own). Empty when there is none, up to
    // the root.
    static QString parentOpenToOthers(const QString& folder);
    // Where the folder is once links are resolved; the path itself when it cannot be resolved.
    static QString resolvedPath(const QString& folder);
    // Once this process owns the folder: its database (with its journal, -wal and -shm), preferences and
    // lock files. A few calls: before anything opens them.
    static void secureFiles(const QString& folder);
    // The web engine's profiles and, when it lies there, the images folder, each walked whole: as long as
    // they are large, so off the main thread.
    static void secureFolders(const QString& folder);

    // A folder of ours made 0700 when missing (the folders above it as the umask makes them).
    static bool makeFolder(const QString& path);
    // A copy that is owner-only from the moment it exists; `to` must not exist yet.
    static bool copyFile(const QString& from, const QString& to, QString* error = nullptr);
};
