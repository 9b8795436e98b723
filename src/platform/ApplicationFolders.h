#pragma once

#include <QString>

// Where the application keeps its files.
class ApplicationFolders
{
public:
    // PENHOLLOW_DATA_DIR when set, else the application data location; created when missing.
    static QString dataFolder();
    // The resources/ folder installed beside the executable.
    static QString resourcesFolder();
};
