#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUuid>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace TestSupport {

QString useFreshDataFolder()
{
    // Removed at exit, after the stores that write into it at exit have been destroyed.
    static QTemporaryDir dir;
    const QString path = dir.path() + "/data-" + QUuid::createUuid().toString(QUuid::Id128);
    QDir().mkpath(path);
    qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(path));
    return path;
}

void pointGoogleServicesAt(const QUrl& base)
{
    const QByteArray address = base.toString().toUtf8();
    qputenv("PENHOLLOW_OAUTH_URL", address);
    qputenv("PENHOLLOW_GOOGLE_API_URL", address);
    qputenv("PENHOLLOW_BLOGGER_URL", address);
}

bool mainThreadCaughtUp(int timeoutMs)
{
    auto reached = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [reached] { *reached = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&] { return *reached; }, timeoutMs);
}

bool backgroundWorkDone(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QThreadPool* pool = QThreadPool::globalInstance();
    do {
        if (!pool->waitForDone(int(qMax<qint64>(0, deadline.remainingTime()))) ||
            !mainThreadCaughtUp(int(qMax<qint64>(1, deadline.remainingTime())))) {
            return false;
        }
    } while (pool->activeThreadCount() > 0 && !deadline.hasExpired());
    return pool->activeThreadCount() == 0;
}

QString fixturePath(const QString& name)
{
    return QString::fromLocal8Bit(qgetenv("PENHOLLOW_FIXTURES_DIR")) + "/" + name;
}

QByteArray readFixture(const QString& name)
{
    QFile file(fixturePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("missing fixture %s", qPrintable(name));
    }
    return file.readAll();
}

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    m_path = QDir::tempPath() + "/penhollow-stdout-" + QUuid::createUuid().toString(QUuid::Id128);
    m_savedFd = ::dup(STDOUT_FILENO);
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
}

StdoutCapture::~StdoutCapture()
{
    const QString captured = text();
    restore();
    // QTest prints its failure report on standard output too: do not swallow it.
    if (QTest::currentTestFailed()) {
        std::fputs(qUtf8Printable(captured), stdout);
        std::fflush(stdout);
    }
    QFile::remove(m_path);
}

void StdoutCapture::restore()
{
    if (m_restored) {
        return;
    }
    std::fflush(stdout);
    ::dup2(m_savedFd, STDOUT_FILENO);
    ::close(m_savedFd);
    m_restored = true;
}

QString StdoutCapture::text()
{
    std::fflush(stdout);
    QFile file(m_path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

} // namespace TestSupport
