#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/PostsControllerService.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/UserDefaults.h"
#include "platform/gui/WebView.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/SQLiteDB.h"
#include "ui/windows/PostEditorWindowController.h"
#include "ui/windows/WelcomeWindowController.h"

#include <QAction>
#include <QDirIterator>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// As root, file modes bind only other users: the folder is then used as "nobody" would use it.
class AsAnotherUser
{
public:
    AsAnotherUser()
    {
        if (::geteuid() == 0) {
            m_switched = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
        }
    }
    ~AsAnotherUser()
    {
        if (m_switched) {
            QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);
        }
    }

private:
    bool m_switched = false;
};

enum class Damage
{
    GarbageDatabase,
    TruncatedDatabase,
    ForeignDatabase,
    DatabaseIsAFolder,
    UnreadableDatabase,
    GarbagePreferences,
    PreferencesIsAFolder,
    UnreadablePreferences,
    ReadOnlyFolder
};

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

Q_DECLARE_METATYPE(Damage)

// Start-up and shutdown of the whole application, in this process, on a data folder of its own.
class TestApplicationStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_dataFolder = TestSupport::useFreshDataFolder(); }

    // First: the store and the preferences are bound to the data folder at their first use. A start
    // under umask 022 left the database, the web profiles and the folder readable by every account.
    void testDataFolderIsItsUsersAloneAfterFirstStartAndOnAnOldFolder()
    {
        const mode_t umaskBefore = ::umask(022);
        auto restore = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
        QVERIFY(QDir(m_dataFolder).removeRecursively());
        const QDir folder(m_dataFolder);
        const auto entries = [&folder] {
            QList<QFileInfo> all{QFileInfo(folder.path())};
            QDirIterator it(folder.path(),
                            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                it.next();
                if (!it.fileInfo().isSymLink()) {
                    all << it.fileInfo();
                }
            }
            return all;
        };
        const auto openToOthers = [&] {
            QStringList open;
            for (const QFileInfo& info : entries()) {
                if (info.permissions() & QFileDevice::Permissions(0x0077)) {
                    open << folder.relativeFilePath(info.filePath());
                }
            }
            return open;
        };
        const auto start = [] {
            ApplicationHarness app;
            QVERIFY(app.launch());
            UserDefaults::standardUserDefaults().setBool(true, QStringLiteral("penhollow_test_written"));
            WebView signIn;
            signIn.setPersistentProfileName(QStringLiteral("SignIn"));
            QSignalSpy loaded(&signIn, &WebView::pageLoaded);
            signIn.loadHtml(QStringLiteral("<p>Sign in</p>"),
                            QUrl(QStringLiteral("https://accounts.example/")));
            QVERIFY(loaded.wait(30000));
        };
        start();
        QVERIFY(folder.exists(QStringLiteral("data.db")) &&
                folder.exists(QStringLiteral("Preferences.json")) &&
                folder.exists(QStringLiteral("QtWebEngine/SignIn")));
        QCOMPARE(openToOthers(), QStringList());

        // A folder an older version left open to all, with a file of the user's own beside ours.
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("Applications"))));
        for (const char* name : {"notes.txt", "Applications/C0FFEE-dot.png"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        for (const QFileInfo& info : entries()) {
            QVERIFY(QFile::setPermissions(info.filePath(),
                                          QFileDevice::Permissions(info.isDir() ? 0x7755 : 0x6644)));
        }
        start();
        QCOMPARE(openToOthers(), QStringList{QStringLiteral("notes.txt")});
        UserDefaults::standardUserDefaults().removeObjectForKey(QStringLiteral("penhollow_test_written"));
    }

    void testWithoutAccountOpensWelcomeWindowAndNoMainWindow()
    {
        ApplicationHarness app;
        QVERIFY(app.launch());
        WelcomeWindowController* welcome = app.delegate()->welcomeWindowController();
        QVERIFY(welcome);
        QTRY_VERIFY(welcome->window()->isVisible());
        QVERIFY(!app.windowController());
        QVERIFY(ApplicationHarness::settle());
        QVERIFY(app.alerts.isEmpty());
    }

    void testAccountWithoutStoredRefreshTokenOpensWelcomeWindow()
    {
        storeMara();
        PersistentAccessTokens(QStringLiteral("mara")).setRefreshToken(std::nullopt);
        ApplicationHarness app;
        QVERIFY(app.launch());
        QVERIFY(app.delegate()->welcomeWindowController());
        QVERIFY(!app.windowController());
    }

    void testStoredAccountOpensMainWindowOnItsBlog()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QVERIFY(app.windowController());
        QVERIFY(!app.delegate()->welcomeWindowController());
        QMainWindow* window = app.windowController()->windowOutlet();
        QVERIFY(window);
        QTRY_VERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Penhollow for Blogger"));
        QVERIFY(window->width() >= 900 && window->height() >= 560);
        QCOMPARE(window->minimumSize(), QSize(900, 560));
        const DynamicServiceState& state = app.delegate()->authentificationService()->dynamicServiceState();
        QCOMPARE(state.userId(), QStringLiteral("mara"));
        QCOMPARE(state.blogId(), QStringLiteral("travel"));
        QVERIFY(app.alerts.isEmpty());
    }

    void testMenuBarOffersNewPostQuitAndHelpWithTheirKeys()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QMainWindow* window = app.windowController()->windowOutlet();
        auto* newPost = window->menuBar()->findChild<QAction*>(QStringLiteral("newPostAction"));
        auto* quit = window->menuBar()->findChild<QAction*>(QStringLiteral("quitAction"));
        auto* help = window->menuBar()->findChild<QAction*>(QStringLiteral("helpAction"));
        QVERIFY(newPost && quit && help);
        QCOMPARE(newPost->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
        QCOMPARE(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
        QCOMPARE(help->shortcut(), QKeySequence(Qt::Key_F1));
    }

    void testClosingTheMainWindowAsksTheApplicationToQuit()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QMainWindow* window = app.windowController()->windowOutlet();
        QTRY_VERIFY(window->isVisible());
        QSignalSpy quit(app.delegate(), &AppDelegate::quitRequested);
        QVERIFY(window->close());
        QTRY_COMPARE(quit.size(), 1);
    }

    void testSecondLaunchRaisesTheFirstAndExits()
    {
        storeMara();
        ApplicationHarness app;
        QVERIFY(app.launch());
        QMainWindow* window = app.windowController()->windowOutlet();
        QTRY_VERIFY(window->isVisible());
        // A post being written, its editor put away too.
        PostEditorWindowController* editor =
            app.windowController()->applicationControllerService()->postsControllerService()->postEditor();
        app.delegate()->newPost();
        QTRY_VERIFY_WITH_TIMEOUT(editor->isWindowOpened(), 30000);
        editor->window()->showMinimized();
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized() && editor->window()->isMinimized());

        QProcess second;
        second.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/penhollow"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PENHOLLOW_DATA_DIR"), m_dataFolder);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(env);
        second.start();
        // The first instance must keep serving its event loop while the second one asks.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_VERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());
        // The editor comes back in front of it.
        QTRY_VERIFY(!editor->window()->isMinimized());
        QVERIFY(QTest::qWaitForWindowActive(editor->window()));
        editor->close();
    }

    void testTwoLaunchesInOneFolderNeverBothOwnIt()
    {
        storeMara();
        ApplicationHarness first;
        QVERIFY(first.launch());
        ApplicationHarness second;
        QVERIFY(!second.launch());
        QVERIFY(!second.windowController());
    }

    void testDamagedDataFolderIsToldAndKeptAsItWas_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("garbage data.db") << Damage::GarbageDatabase << "data.db";
        QTest::newRow("truncated data.db") << Damage::TruncatedDatabase << "data.db";
        QTest::newRow("another program's data.db") << Damage::ForeignDatabase << "data.db";
        QTest::newRow("data.db a folder") << Damage::DatabaseIsAFolder << "data.db";
        QTest::newRow("unreadable data.db") << Damage::UnreadableDatabase << "data.db";
        QTest::newRow("garbage Preferences.json") << Damage::GarbagePreferences << "Preferences.json";
        QTest::newRow("Preferences.json a folder") << Damage::PreferencesIsAFolder << "Preferences.json";
        QTest::newRow("unreadable Preferences.json") << Damage::UnreadablePreferences << "Preferences.json";
        QTest::newRow("read-only folder") << Damage::ReadOnlyFolder << "";
    }

    void testDamagedDataFolderIsToldAndKeptAsItWas()
    {
        QFETCH(Damage, damage);
        QFETCH(QString, fileName);
        // A folder of its own that another user may enter; the other tests keep theirs.
        QTemporaryDir parent;
        QVERIFY(QFile::setPermissions(parent.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
        const QString folder = parent.path() + QStringLiteral("/data");
        QVERIFY(QDir().mkpath(folder));
        const QFileDevice::Permissions everyone = QFileDevice::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(folder, everyone));
        const QString file = fileName.isEmpty() ? folder : folder + QLatin1Char('/') + fileName;
        writeDamage(damage, file);
        const QStringList entriesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QByteArray bytesBefore = contentOf(file);
        if (damage == Damage::ReadOnlyFolder) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        }
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(folder));
        {
            AsAnotherUser user;
            TestSupport::StdoutCapture output;
            ApplicationHarness app;
            QVERIFY(app.launch());
            QSignalSpy quit(app.delegate(), &AppDelegate::quitRequested);
            QCOMPARE(app.alerts.size(), 1);
            const AlertRequest alert = app.alerts.first();
            QCOMPARE(alert.style, AlertStyle::Critical);
            QVERIFY2(alert.message.contains(QLatin1Char('"') + file + QLatin1Char('"')) &&
                         alert.message.contains(folder),
                     qPrintable(alert.message));
            QVERIFY2(alert.message.contains(fileName.isEmpty() ? QStringLiteral("may write")
                                                               : QStringLiteral("move")),
                     qPrintable(alert.message));
            // Answered: the application ends with a failure, and never opened a window.
            QTRY_COMPARE(quit.size(), 1);
            QCOMPARE(app.delegate()->exitStatus(), 1);
            QVERIFY(!app.windowController() && !app.delegate()->welcomeWindowController());
            app.quit();
            QVERIFY(!output.text().contains(QStringLiteral("in use by another Penhollow")));
        }
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(m_dataFolder));
        QVERIFY(QFile::setPermissions(folder, everyone));
        QCOMPARE(contentOf(file), bytesBefore);
        QStringList entriesAfter = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        // The lock file is the only thing a launch leaves.
        entriesAfter.removeAll(QStringLiteral("penhollow.lock"));
        QCOMPARE(entriesAfter, entriesBefore);
    }

private:
    static void writeDamage(Damage damage, const QString& path)
    {
        auto write = [&path](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(bytes), bytes.size());
        };
        switch (damage) {
        case Damage::GarbageDatabase:
            write(QByteArray("This is no database at all.\n").repeated(400));
            break;
        case Damage::TruncatedDatabase:
        case Damage::ForeignDatabase: {
            {
                SQLiteDB db(path, nullptr, QString());
                const QString table = damage == Damage::ForeignDatabase ? "PLACES" : "POSTS";
                QVERIFY(db.execute("CREATE TABLE " + table + " (Id INTEGER PRIMARY KEY, Content BLOB)"));
                QVERIFY(db.execute("INSERT INTO " + table + " (Content) VALUES (?)",
                                   {QByteArray(200 * 1024, 'p')}));
            }
            if (damage == Damage::TruncatedDatabase) {
                QVERIFY(QFile::resize(path, QFileInfo(path).size() / 2));
            }
            break;
        }
        case Damage::DatabaseIsAFolder:
        case Damage::PreferencesIsAFolder:
            QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
            break;
        case Damage::UnreadableDatabase:
        case Damage::UnreadablePreferences:
            write(damage == Damage::UnreadablePreferences ? QByteArray("{}") : QByteArray());
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
            break;
        case Damage::GarbagePreferences:
            write(QByteArray("{\"penhollowbloggermac_userId\": {\"type\": \"string\", \"val"));
            break;
        case Damage::ReadOnlyFolder:
            break;
        }
        if (QFileInfo(path).isFile() && damage != Damage::UnreadableDatabase &&
            damage != Damage::UnreadablePreferences) {
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(0x6666)));
        }
    }

    static void storeMara()
    {
        ApplicationHarness::storeAccount(
            BloggerUser("mara", "Mara Quill", "https://profiles/mara", ""),
            {BloggerBlog("travel", "mara", "Travel Notes", "https://travel/", "LIVE")}, "travel");
    }

    QString m_dataFolder;
};

PENHOLLOW_APP_TEST_MAIN(TestApplicationStartup)
#include "TestApplicationStartup.moc"
