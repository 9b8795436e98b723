#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace TestSupport {

// Points PENHOLLOW_DATA_DIR at a new empty temporary folder that lives until the process exits.
// Call before anything reads the data folder or the preferences store.
QString useFreshDataFolder();

// Sends the sign-in, Google API and Blogger requests of everything made afterwards to base (a stand-in).
void pointGoogleServicesAt(const QUrl& base);

// Path of a file in the fixtures folder (real reply shapes of Google's services).
QString fixturePath(const QString& name);
QByteArray readFixture(const QString& name);

// Barriers for checks that something did NOT happen: they wait for a later event that must come after it.
// True once the main thread has run every job queued on it before the call (posted jobs run in order).
bool mainThreadCaughtUp(int timeoutMs = 20000);
// True once the shared thread pool is idle and the main thread has run what its jobs queued, again and
// again until neither has work left.
bool backgroundWorkDone(int timeoutMs = 20000);

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
