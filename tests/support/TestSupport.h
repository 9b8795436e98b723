#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {

// Points PENHOLLOW_DATA_DIR at a new empty temporary folder that lives until the process exits.
// Call before anything reads the data folder or the preferences store.
QString useFreshDataFolder();

// Path of a file in the fixtures folder (real reply shapes of Google's services).
QString fixturePath(const QString& name);
QByteArray readFixture(const QString& name);

// Captures what the code prints on standard output while alive.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    QString text();

private:
    int m_savedFd = -1;
    QString m_path;
    bool m_restored = false;
    void restore();
};

} // namespace TestSupport
