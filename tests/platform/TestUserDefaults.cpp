#include "TestSupport.h"
#include "platform/Alert.h"
#include "platform/ApplicationFolders.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cmath>
#include <limits>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TestUserDefaults : public QObject
{
    Q_OBJECT

private:
    QString m_folder;
    QString path() const { return m_folder + "/Preferences.json"; }

    static void writeFile(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private Q_SLOTS:
    void init() { m_folder = TestSupport::useFreshDataFolder(); }

    void testAbsentKeysReadAsNothing()
    {
        UserDefaults defaults(path());
        QVERIFY(!defaults.stringForKey("missing").has_value());
        QVERIFY(!defaults.boolForKey("missing"));
        QCOMPARE(defaults.integerForKey("missing"), 0);
        QVERIFY(!defaults.objectForKey("missing").isValid());
    }

    void testValuesSurviveARestart()
    {
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(1425722700123LL);
        {
            UserDefaults defaults(path());
            defaults.setObject(QStringLiteral("token ü ✓"), "text");
            defaults.setBool(true, "flag");
            defaults.setInteger(9007199254740993LL, "big"); // not representable as a double
            defaults.setObject(when, "date");
            defaults.setObject(2.5, "number");
            QVERIFY(defaults.synchronize());
        }
        UserDefaults reopened(path());
        QCOMPARE(reopened.stringForKey("text").value(), QStringLiteral("token ü ✓"));
        QVERIFY(reopened.boolForKey("flag"));
        QCOMPARE(reopened.integerForKey("big"), 9007199254740993LL);
        QCOMPARE(reopened.objectForKey("date").metaType().id(), QMetaType::QDateTime);
        QCOMPARE(reopened.objectForKey("date").toDateTime().toMSecsSinceEpoch(), when.toMSecsSinceEpoch());
        QCOMPARE(reopened.objectForKey("number").toDouble(), 2.5);
        // A date is not a text.
        QVERIFY(!reopened.stringForKey("date").has_value());
    }

    void testUnsynchronisedChangesAreWrittenAtExit()
    {
        {
            UserDefaults defaults(path());
            defaults.setObject(QStringLiteral("v"), "k");
        }
        QCOMPARE(UserDefaults(path()).stringForKey("k").value(), QStringLiteral("v"));
    }

    void testChangesReachDiskWithoutSynchronize()
    {
        UserDefaults defaults(path());
        defaults.setObject(QStringLiteral("access"), "_DEV_penhollowbloggermac_42");
        defaults.setBool(true, "flag");
        // Read by another instance while the first is still alive, as after a crash.
        QCOMPARE(UserDefaults(path()).stringForKey("_DEV_penhollowbloggermac_42").value_or("absent"),
                 QStringLiteral("access"));
        defaults.removeObjectForKey("flag");
        QVERIFY(!UserDefaults(path()).objectForKey("flag").isValid());
    }

    void testBookkeepingRidesOnTheNextWrite()
    {
        UserDefaults defaults(path());
        defaults.setObjectWithNextWrite(QStringLiteral("later"), "kept");
        QVERIFY(!UserDefaults(path()).objectForKey("kept").isValid());
        defaults.setObject(QStringLiteral("now"), "written");
        QCOMPARE(UserDefaults(path()).stringForKey("kept").value_or("absent"), QStringLiteral("later"));
        // Also written when the store goes away with nothing else to write.
        {
            UserDefaults other(path());
            other.setObjectWithNextWrite(QStringLiteral("last"), "atExit");
        }
        QCOMPARE(UserDefaults(path()).stringForKey("atExit").value_or("absent"), QStringLiteral("last"));
    }

    void testKeysAreKeptExactly()
    {
        const QStringList keys{"https://blog.example.com/",
                               "https://blog.example.com",
                               "R__DEV_penhollowbloggermac_1",
                               "_DEV_penhollowbloggermac_1",
                               "",
                               "key with spaces",
                               "ключ",
                               "a.b/c?d=e&f"};
        {
            UserDefaults defaults(path());
            for (int i = 0; i < keys.size(); ++i) {
                defaults.setObject(QString::number(i), keys[i]);
            }
            defaults.synchronize();
        }
        UserDefaults reopened(path());
        for (int i = 0; i < keys.size(); ++i) {
            QCOMPARE(reopened.stringForKey(keys[i]).value_or("absent"), QString::number(i));
        }
    }

    void testSettingNothingRemovesTheKey()
    {
        UserDefaults defaults(path());
        defaults.setObject(QStringLiteral("x"), "k");
        defaults.setObject(QVariant(), "k");
        QVERIFY(!defaults.stringForKey("k").has_value());
        defaults.synchronize();
        QVERIFY(!UserDefaults(path()).objectForKey("k").isValid());
    }

    void testInvalidDateRemovesTheKeyInsteadOfStoring1970()
    {
        UserDefaults defaults(path());
        defaults.setObject(QDateTime::currentDateTime(), "d");
        defaults.setObject(QDateTime(), "d");
        QVERIFY(!defaults.objectForKey("d").isValid());
        defaults.synchronize();
        QVERIFY(!UserDefaults(path()).objectForKey("d").isValid());
    }

    void testHugeOrNanNumberReadsAsClampedInteger()
    {
        UserDefaults defaults(path());
        defaults.setObject(1e300, "huge");
        defaults.setObject(-1e300, "tiny");
        defaults.setObject(std::nan(""), "nan");
        defaults.setObject(41.9, "plain");
        QCOMPARE(defaults.integerForKey("huge"), std::numeric_limits<std::int64_t>::max());
        QCOMPARE(defaults.integerForKey("tiny"), std::numeric_limits<std::int64_t>::min());
        QCOMPARE(defaults.integerForKey("nan"), 0);
        QCOMPARE(defaults.integerForKey("plain"), 41);
    }

    void testFileIsPrivateToTheUser()
    {
        UserDefaults defaults(path());
        defaults.setObject(QStringLiteral("secret"), "token");
        QVERIFY(defaults.synchronize());
        struct stat info
        {
        };
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0600);
        // And stays so when rewritten.
        defaults.setObject(QStringLiteral("secret2"), "token");
        QVERIFY(defaults.synchronize());
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0600);
    }

    void testUnreadableStoreIsSetAsideNotOverwritten()
    {
        {
            QFile file(path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("{ not json");
        }
        TestSupport::StdoutCapture capture;
        UserDefaults defaults(path());
        QVERIFY(!defaults.stringForKey("anything").has_value());
        QVERIFY(QFile::exists(path() + ".unreadable"));
        QVERIFY(capture.text().contains("UserDefaults - unreadable store moved to"));
    }

    void testWriteFailureIsReportedNotSilent()
    {
        if (::geteuid() == 0) {
            QSKIP("root ignores folder permissions");
        }
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        UserDefaults defaults(dir.path() + "/Preferences.json");
        defaults.setObject(QStringLiteral("v"), "k");
        QVERIFY(!defaults.synchronize());
        QCOMPARE(defaults.stringForKey("k").value(), QStringLiteral("v")); // kept in memory for a later try
        QFile::setPermissions(dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void testFullDiskKeepsThePreferencesAndTellsOnce()
    {
        QTemporaryDir dir;
        const QByteArray disk = QFile::encodeName(dir.path());
        if (::mount("tmpfs", disk.constData(), "tmpfs", 0, "size=64k") != 0) {
            QSKIP(qPrintable("a small disk needs root and mount rights: " + qt_error_string(errno)));
        }
        const auto unmount = qScopeGuard([&] { ::umount2(disk.constData(), MNT_DETACH); });
        const QString file = dir.path() + "/Preferences.json";
        const QString token = "_DEV_penhollowbloggermac_42";
        UserDefaults(file).setObjects({{token, "refresh"}, {"CurrentBlog", "first"}});
        const auto content = [&] {
            QFile saved(file);
            return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray("unreadable");
        };
        const QByteArray before = content();
        QFile filler(dir.path() + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'x')) > 0) {
        }
        QList<AlertRequest> alerts;
        Alert::setPresenter([&](const AlertRequest& request) { alerts.append(request); });
        const auto restore = qScopeGuard([] { Alert::setPresenter({}); });
        {
            UserDefaults defaults(file);
            defaults.setObject(QStringLiteral("second"), "CurrentBlog");
            QVERIFY(!defaults.synchronize());
            QCOMPARE(defaults.stringForKey("CurrentBlog").value(), QStringLiteral("second"));
        }
        QCOMPARE(content(), before);
        QVERIFY(TestSupport::mainThreadCaughtUp());
        QCOMPARE(alerts.size(), 1);
        QVERIFY(alerts.first().message.contains("full"));
        // The next start is still signed in.
        QCOMPARE(UserDefaults(file).stringForKey(token).value_or("signed out"), QStringLiteral("refresh"));
    }

    void testConcurrentWritersLoseNothing()
    {
        UserDefaults defaults(path());
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([&defaults, t] {
                for (int i = 0; i < 200; ++i) {
                    defaults.setInteger(i, QString("t%1-%2").arg(t).arg(i));
                    if (i % 50 == 0) {
                        defaults.synchronize();
                    }
                }
            });
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            thread->wait();
            delete thread;
        }
        defaults.synchronize();
        UserDefaults reopened(path());
        for (int t = 0; t < 4; ++t) {
            QCOMPARE(reopened.integerForKey(QString("t%1-199").arg(t)), 199);
        }
    }

    // ---- a second writer on the same file ----

    void testKeyWrittenByAnotherWriterSurvives()
    {
        UserDefaults first(path());
        UserDefaults second(path());
        first.setObject(QStringLiteral("token of first"), "token");
        second.setObject(QStringLiteral("blog of second"), "blog");

        UserDefaults reopened(path());
        QCOMPARE(reopened.stringForKey("token").value_or(QString()), QStringLiteral("token of first"));
        QCOMPARE(reopened.stringForKey("blog").value_or(QString()), QStringLiteral("blog of second"));
        // The merged file is what the second writer holds now.
        QCOMPARE(second.stringForKey("token").value_or(QString()), QStringLiteral("token of first"));
    }

    void testStaleValueOfAnUnchangedKeyDoesNotOverwriteAnotherWriters()
    {
        UserDefaults(path()).setObject(QStringLiteral("old"), "token");
        UserDefaults first(path());
        UserDefaults second(path());
        first.setObject(QStringLiteral("new"), "token");
        second.setBool(true, "queried");

        UserDefaults reopened(path());
        QCOMPARE(reopened.stringForKey("token").value_or(QString()), QStringLiteral("new"));
        QVERIFY(reopened.boolForKey("queried"));
    }

    void testRemovalByAnotherWriterIsNotUndone()
    {
        {
            UserDefaults seed(path());
            seed.setObject(QStringLiteral("t"), "token");
            seed.setObject(QStringLiteral("b"), "blog");
        }
        UserDefaults first(path());
        UserDefaults second(path());
        first.removeObjectForKey("token");
        second.setObject(QStringLiteral("b2"), "blog");

        UserDefaults reopened(path());
        QVERIFY(!reopened.objectForKey("token").isValid());
        QCOMPARE(reopened.stringForKey("blog").value_or(QString()), QStringLiteral("b2"));
    }

    void testRemovingAKeyOnlyAnotherWriterHadRemovesIt()
    {
        UserDefaults first(path());
        UserDefaults second(path());
        first.setObject(QStringLiteral("t"), "token");
        second.removeObjectForKey("token");

        QVERIFY(!UserDefaults(path()).objectForKey("token").isValid());
    }

    void testLastWriterOfTheSameKeyWins()
    {
        UserDefaults first(path());
        UserDefaults second(path());
        first.setObject(QStringLiteral("first"), "token");
        second.setObject(QStringLiteral("second"), "token");
        first.setBool(true, "other");

        UserDefaults reopened(path());
        QCOMPARE(reopened.stringForKey("token").value_or(QString()), QStringLiteral("second"));
        QVERIFY(reopened.boolForKey("other"));
    }

    // ---- temporary files a cut-short write left behind ----

    void testStaleTemporaryFilesAreRemovedAtStart()
    {
        const QStringList stale = {"Preferences.json.AbCdEf", "Preferences.json.x1Y2z3"};
        const QStringList others = {"Preferences.json.unreadable", "Preferences.json.AbCdEfG",
                                    "Preferences.json.Ab-dEf", "Other.json.AbCdEf",
                                    "Preferences.jsonXAbCdEf"};
        for (const QString& name : stale + others) {
            writeFile(m_folder + "/" + name, "{\"token\": {\"type\": \"string\", \"value\": \"t\"}}");
        }
        UserDefaults defaults(path());
        for (const QString& name : stale) {
            QVERIFY2(!QFile::exists(m_folder + "/" + name), qPrintable(name));
        }
        for (const QString& name : others) {
            QVERIFY2(QFile::exists(m_folder + "/" + name), qPrintable(name));
        }
    }

    void testTemporaryFileOfAWriterAtWorkIsKept()
    {
        const QString temporary = path() + ".QwErTy";
        writeFile(temporary, "{}");
        {
            QLockFile writer(path() + ".lock");
            QVERIFY(writer.tryLock(0));
            UserDefaults defaults(path());
            QVERIFY(QFile::exists(temporary));
        }
        UserDefaults defaults(path());
        QVERIFY(!QFile::exists(temporary));
    }

    // Named, not made: the start-up check makes it once the folders above it are known to be safe.
    void testDataFolderIsNamedByTheEnvironmentAndNotMadeThere()
    {
        const QString folder = m_folder + "/nested/deeper";
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(folder));
        QCOMPARE(ApplicationFolders::dataFolder(), folder);
        QVERIFY(!QFileInfo::exists(m_folder + "/nested"));
    }
};

QTEST_GUILESS_MAIN(TestUserDefaults)
#include "TestUserDefaults.moc"
