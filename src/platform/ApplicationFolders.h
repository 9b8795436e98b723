#pragma once

#include <QString>

// Where the application keeps its files.
class ApplicationFolders
{
public:
    // PENHOLLOW_DATA_DIR when set, else the application data location. Not created here: the start-up
    // check makes it (0700) once the folders above it are known to be the user's alone.
    static QString dataFolder();
    // The resources/ folder beside the executable (a build tree), else the installed one, share/penhollow
    // beside the executable's bin/ folder; the first when neither exists.
    static QString resourcesFolder();
    // The user's own applications folder, where images picked for posts are copied:
    // PENHOLLOW_DATA_DIR/Applications when that variable is set, else Applications in the home folder.
    // Not created here.
    static QString applicationsFolder();
};
