#include "StandinClient.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The google-standin program as started by hand or by scripts.
class TestStandinProgram : public QObject
{
    Q_OBJECT

private:
    QString program() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/google-standin");
    }

    // Starts the program and reads the port from its first line; 0 when it did not come.
    quint16 startProgram(QProcess& process, const QStringList& arguments)
    {
        process.start(program(), arguments);
        if (!process.waitForStarted(30000))
            return 0;
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return 0;
        }
        const QString first = QString::fromUtf8(process.readLine()).trimmed();
        static const QRegularExpression re(QStringLiteral("^Listening on port (\\d+)$"));
        const QRegularExpressionMatch m = re.match(first);
        return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    }
    void stopProgram(QProcess& process)
    {
        process.terminate();
        if (!process.waitForFinished(30000))
            process.kill();
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        QVERIFY2(QFileInfo::exists(program()), qPrintable(program()));
    }

    void testStartsOnFreePortAndPrintsIt()
    {
        QProcess process;
        const quint16 port = startProgram(process, {QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(port != 0);
        StandinClient client(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
        const StandinClient::Reply page = client.send("GET", QStringLiteral("/tidetables/"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("Tide Tables"));
        stopProgram(process);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void testSeedFileIsServed()
    {
        QTemporaryDir dir;
        QFile seed(dir.filePath(QStringLiteral("seed.json")));
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write(R"({"accounts": [{"id": "1", "name": "Solo"}], "blogs": [{"id": "9", "owner": "1",
            "name": "Seeded by file", "path": "seeded", "published": "2015-01-01T00:00:00Z",
            "updated": "2015-01-01T00:00:00Z"}]})");
        seed.close();
        QProcess process;
        const quint16 port = startProgram(process, {QStringLiteral("--port"), QStringLiteral("0"),
                                                    QStringLiteral("--seed"), seed.fileName()});
        QVERIFY(port != 0);
        StandinClient client(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
        QVERIFY(client.send("GET", QStringLiteral("/seeded/")).body.contains("Seeded by file"));
        QCOMPARE(client.send("GET", QStringLiteral("/tidetables/")).status, 404);
        stopProgram(process);
    }

    void testBadArgumentsExitWithMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("missing seed")
            << QStringList{QStringLiteral("--seed"), QStringLiteral("/nonexistent/seed.json")};
        QTest::newRow("port text") << QStringList{QStringLiteral("--port"), QStringLiteral("eighty")};
        QTest::newRow("port too large") << QStringList{QStringLiteral("--port"), QStringLiteral("70000")};
    }
    void testBadArgumentsExitWithMessage()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(program(), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().startsWith("google-standin: "));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStandinProgram)
#include "TestStandinProgram.moc"
