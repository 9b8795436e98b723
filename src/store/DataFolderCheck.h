#pragma once

#include <QString>

#include <optional>

// What is wrong with the data folder at start-up, before anything reads or writes it: a folder that cannot
// be written or is not the user's alone, a "data.db" that is not a Penhollow database that SQLite can
// open, a "Preferences.json" that cannot be read. Nothing is changed: the user is told and decides what to
// do with the file.
struct DataFolderProblem
{
    // The file at fault, or the folder itself.
    QString path;
    // A whole message for the user: the file, the folder, what is wrong and what to do.
    QString message;
};

class DataFolderCheck
{
public:
    // The folder itself: it exists (or is made, 0700), it is the user's own and closed to others (its
    // group and other bits are cleared, at the place a link leads to), and a file can be made in it. Another
    // user's folder, or one others may still write in, is refused before anything is written there; so is
    // one in a folder another user may change (see PrivateDataFolder::parentOpenToOthers).
    static std::optional<DataFolderProblem> checkFolder(const QString& folder);
    // Its two files; a missing one is no problem (a first start).
    static std::optional<DataFolderProblem> checkFiles(const QString& folder);

    static std::optional<DataFolderProblem> checkDatabase(const QString& folder);
    static std::optional<DataFolderProblem> checkPreferences(const QString& folder);
};
