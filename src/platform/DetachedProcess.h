#pragma once

#include <QString>
#include <QStringList>

// Starts one of the user's programs (the browser, the mail program) on its own: it is nobody's child here,
// keeps running after Penhollow ends, gets the umask Penhollow has and the environment it was started with
// (less the web engine's variables, QTWEBENGINE_* and QT_WEBENGINE_*, that its starter named in
// PENHOLLOW_ADDED_ENGINE_VARIABLES as set for Penhollow alone, and that list), and inherits none of
// Penhollow's descriptors but standard input, output and error (not the database, sockets, lock files,
// nor one Penhollow was itself given by whoever started it).
class DetachedProcess
{
public:
    // The program is looked up in PATH. False when it is not there or could not be started.
    static bool start(const QString& program, const QStringList& arguments);
};
