#include "TestSupport.h"
#include "platform/SingleInstance.h"

#include <QDir>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

int openFiles()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

} // namespace

// The single-instance socket under a flood of connections from another program of the same user.
class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testFloodOfHeldConnectionsStaysBoundedAndALaterLaunchStillRaises()
    {
        const QString folder = TestSupport::useFreshDataFolder();
        SingleInstance owner(folder);
        QVERIFY(owner.acquire());
        QSignalSpy raised(&owner, &SingleInstance::raiseRequested);
        const int filesBefore = openFiles();

        QProcess flood;
        flood.start(QStringLiteral(PENHOLLOW_SOCKET_FLOOD),
                    {QDir::tempPath() + QLatin1Char('/') + owner.serverName(), QStringLiteral("1010")});
        int mostFiles = 0;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&] { mostFiles = qMax(mostFiles, openFiles()); });
        sampler.start(2);
        // The owner keeps serving its event loop (one accepted connection per turn) while the flood connects.
        QByteArray said;
        QEventLoop loop;
        connect(&flood, &QProcess::readyReadStandardOutput, &loop, [&] {
            said += flood.readAllStandardOutput();
            if (said.contains("held 1010")) {
                loop.quit();
            }
        });
        connect(&flood, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY2(said.contains("held 1010"), "the flood never held its 1010 connections");
        QCOMPARE(flood.state(), QProcess::Running);
        // The held connections are dropped after their time-out, while the flood still holds them.
        QTRY_COMPARE(owner.openConnections(), 0);
        mostFiles = qMax(mostFiles, openFiles());
        // The flood's own pipes and the connections being read; without a bound it would be a thousand more.
        QVERIFY2(mostFiles <= filesBefore + SingleInstance::maximumConnections + 16,
                 qPrintable(QStringLiteral("%1 files open, %2 before").arg(mostFiles).arg(filesBefore)));
        QVERIFY(raised.isEmpty());

        SingleInstance second(folder);
        QVERIFY(!second.acquire());
        QVERIFY(!second.lockFileUnusable());
        QTRY_COMPARE(raised.size(), 1);
        flood.closeWriteChannel();
        QVERIFY(flood.waitForFinished(10000));
    }

    void testPartialOrWrongMessagesRaiseNothing()
    {
        const QString folder = TestSupport::useFreshDataFolder();
        SingleInstance owner(folder);
        QVERIFY(owner.acquire());
        QSignalSpy raised(&owner, &SingleInstance::raiseRequested);
        QLocalSocket partial;
        partial.connectToServer(owner.serverName());
        QVERIFY(partial.waitForConnected(2000));
        partial.write("rais");
        QLocalSocket wrong;
        wrong.connectToServer(owner.serverName());
        QVERIFY(wrong.waitForConnected(2000));
        wrong.write("raised\n");
        // Both end without a raise: the wrong one at once, the partial one at its time-out.
        QTRY_COMPARE(wrong.state(), QLocalSocket::UnconnectedState);
        QTRY_COMPARE(partial.state(), QLocalSocket::UnconnectedState);
        QTRY_COMPARE(owner.openConnections(), 0);
        // A later launch is still heard, and is the only one.
        SingleInstance second(folder);
        QVERIFY(!second.acquire());
        QTRY_COMPARE(raised.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "TestSingleInstance.moc"
