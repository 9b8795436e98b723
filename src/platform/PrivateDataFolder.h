#pragma once

#include <QString>

// The data folder holds drafts, posts, comments, tokens and the sign-in profile: it is its user's alone.
// New files and folders of this process are made owner-only whatever umask it was started with, and an
// existing folder (one of an older version, or made under umask 022) is brought to that at start. Only
// what Penhollow writes there is changed, and only when it belongs to the user running it; links are not
// followed.
class PrivateDataFolder
{
public:
    // From now on, whatever this process or its helpers make is readable by its user only (umask 077).
    static void restrictNewFiles();
    // The folder 0700, and its database (with its journal, -wal and -shm), preferences and their lock,
    // lock file, web engine profiles and, when it lies there, the images folder, owner-only.
    static void secure(const QString& folder);
};
