#pragma once

#include <QByteArray>
#include <QString>

// A file written whole in place of another. The new content takes the old one's place only once every
// byte of it is written and on the disk; when any step fails (a full disk, a read-only folder) the old
// file stays as it was, byte for byte. The new file is owner-only; it is made beside the old one under
// its name, a dot and six letters or digits, and removed again when it cannot be finished.
class AtomicFile
{
public:
    // False when the file was left as it was; `error` then holds the errno of the step that failed.
    static bool write(const QString& path, const QByteArray& content, int* error = nullptr);
    // A failure that more room on the disk would mend.
    static bool isDiskFull(int error);
};
