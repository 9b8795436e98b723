#include "AppTestMain.h"
#include "ApplicationHarness.h"
#include "TestSupport.h"

#include "common/GoogleServiceConstants.h"
#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/PostsControllerService.h"
#include "google/GoogleAuthentificationService.h"
#include "platform/PrivateDataFolder.h"
#include "platform/UserDefaults.h"
#include "platform/gui/ExternalUrlOpener.h"
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

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
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
    ReadOnlyFolder,
    AnotherUsersFolder,
    ParentOpenToOthers,
    ParentOpenToAnotherGroup,
    ParentOpenToAnotherUserByAcl,
    ParentOpenToAnotherGroupByAcl,
    LinkInAFolderOpenToOthers,
    MissingInAFolderOpenToOthers
};

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The whole mode, set-id and sticky bits too, of the entry itself (a link is not followed).
int modeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

bool setMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
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
    // under umask 022 left the database, the web profiles and the folder readable by every account; an old
    // folder lost its set-group-id and sticky bits with them. The umask stays the user's: what the web
    // engine makes later is out of others' reach inside its 0700 profile folder.
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
        const QFileDevice::Permissions others(0x0077);
        // Open to others: an entry that was there before the start, or one they could reach through the
        // folders between it and the data folder.
        const auto openToOthers = [&](const QStringList& existing) {
            QStringList open;
            for (const QFileInfo& info : entries()) {
                const QString name = folder.relativeFilePath(info.filePath());
                bool reachable = true;
                for (QString up = QFileInfo(name).path(); reachable && up != QLatin1String(".");
                     up = QFileInfo(up).path()) {
                    reachable =
                        QFileInfo(folder.filePath(up)).permissions() & QFileDevice::Permissions(0x0011);
                }
                if ((info.permissions() & others) && (reachable || existing.contains(name))) {
                    open << name;
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
        QVERIFY2(openToOthers({}).isEmpty(), qPrintable(openToOthers({}).join(", ")));

        // A folder an older version left open to all, with a file of the user's own beside ours.
        QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("Applications"))));
        for (const char* name : {"notes.txt", "Applications/C0FFEE-dot.png"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QStringList existing;
        for (const QFileInfo& info : entries()) {
            QVERIFY(QFile::setPermissions(info.filePath(),
                                          QFileDevice::Permissions(info.isDir() ? 0x7755 : 0x6644)));
            existing << folder.relativeFilePath(info.filePath());
        }
        const QString images = folder.filePath(QStringLiteral("Applications"));
        QVERIFY(setMode(folder.path(), 03755) && setMode(images, 02755));
        start();
        QCOMPARE(openToOthers(existing), QStringList{QStringLiteral("notes.txt")});
        QCOMPARE(modeOf(folder.path()), 03700);
        QCOMPARE(modeOf(images), 02700);
        UserDefaults::standardUserDefaults().removeObjectForKey(QStringLiteral("penhollow_test_written"));
    }

    // The images folder or the web profiles linked to a shared photo folder: one start made that folder
    // 0700 and its pictures 0600. Links inside the other one are not followed either. A picture with a
    // second name in the data folder (a hard link, as of a web page in ~/public_html) lost its group and
    // other bits too, in the profiles or beside the database.
    void testLinksBelowTheDataFolderLeaveWhatTheyLeadToAsItWas_data()
    {
        QTest::addColumn<QString>("linked");
        QTest::addColumn<QString>("holdingALink");
        QTest::addColumn<bool>("hardLinks");
        QTest::newRow("images folder a link") << "Applications"
                                              << "QtWebEngine" << false;
        QTest::newRow("web profiles a link") << "QtWebEngine"
                                             << "Applications" << false;
        QTest::newRow("pictures hard-linked into the profiles and beside the database")
            << ""
            << "QtWebEngine" << true;
    }

    void testLinksBelowTheDataFolderLeaveWhatTheyLeadToAsItWas()
    {
        QFETCH(QString, linked);
        QFETCH(QString, holdingALink);
        QFETCH(bool, hardLinks);
        QTemporaryDir shared;
        const QString photos = shared.filePath(QStringLiteral("photos"));
        const QStringList pictures{photos + QStringLiteral("/harbour.jpg"),
                                   photos + QStringLiteral("/2019/quay.jpg")};
        QVERIFY(QDir().mkpath(photos + QStringLiteral("/2019")));
        for (const QString& picture : pictures) {
            QFile file(picture);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(setMode(picture, 0644));
        }
        QVERIFY(setMode(photos, 02775) && setMode(photos + QStringLiteral("/2019"), 0755));
        const auto modes = [&] {
            return QList<int>{modeOf(photos), modeOf(photos + QStringLiteral("/2019")), modeOf(pictures[0]),
                              modeOf(pictures[1])};
        };
        const QList<int> modesBefore = modes();

        QTemporaryDir parent;
        const QString folder = parent.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + holdingALink));
        const QString cover = folder + QLatin1Char('/') + holdingALink + QStringLiteral("/cover.jpg");
        if (hardLinks) {
            // On the same disk, as the walk only changes what is on the data folder's own.
            const QString aside = folder + QStringLiteral("/Preferences.json.unreadable");
            QVERIFY(::link(QFile::encodeName(pictures[0]).constData(),
                           QFile::encodeName(cover).constData()) == 0);
            QVERIFY(::link(QFile::encodeName(pictures[1]).constData(),
                           QFile::encodeName(aside).constData()) == 0);
        } else {
            QVERIFY(QFile::link(photos, folder + QLatin1Char('/') + linked));
            QVERIFY(QFile::link(photos, folder + QLatin1Char('/') + holdingALink + QStringLiteral("/album")));
            QVERIFY(QFile::link(pictures[0], cover));
        }
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(folder));
        auto restore =
            qScopeGuard([this] { qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(m_dataFolder)); });
        {
            ApplicationHarness app;
            QVERIFY(app.launch());
            QVERIFY(app.alerts.isEmpty());
        }
        QCOMPARE(modes(), modesBefore);
        QCOMPARE(modeOf(folder + QLatin1Char('/') + holdingALink), 0700);
    }

    // A data folder that is a link stayed 0755: it is closed where it leads.
    void testLinkedDataFolderIsSecuredWhereItLeads()
    {
        QTemporaryDir parent;
        const QString place = parent.filePath(QStringLiteral("elsewhere"));
        const QString cookies = place + QStringLiteral("/QtWebEngine/SignIn/Cookies");
        QVERIFY(QDir().mkpath(QFileInfo(cookies).path()));
        QFile file(cookies);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(setMode(cookies, 0644) && setMode(place, 0755));
        const QString link = parent.filePath(QStringLiteral("data"));
        QVERIFY(QFile::link(place, link));
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(link));
        auto restore =
            qScopeGuard([this] { qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(m_dataFolder)); });
        {
            ApplicationHarness app;
            QVERIFY(app.launch());
            QVERIFY(app.alerts.isEmpty());
        }
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(modeOf(place), 0700);
        QCOMPARE(modeOf(cookies), 0600);
    }

    // Penhollow's umask (077 for the whole process) and a descriptor it was given (the run script's lock)
    // reached the browser a link opened, for the browser's whole life; so did what was set for Penhollow's
    // own web engine (the run script's QTWEBENGINE_DISABLE_SANDBOX), and what the engine sets in its own
    // process once it runs (force_s3tc_enable).
    void testLinkOpensWithTheStartingUmaskAndNoDescriptorOfOurs()
    {
        QTemporaryDir tools;
        const QString opener = tools.filePath(QStringLiteral("xdg-open"));
        {
            QFile script(opener);
            QVERIFY(script.open(QIODevice::WriteOnly));
            // Redirected by exec: a redirected command would have the shell keep copies of its own.
            script.write("#!/bin/sh\n"
                         "exec >\"$0.fds\"\n"
                         "ls -l /proc/$$/fd\n"
                         "exec >\"$0.umask\"\n"
                         "umask\n"
                         "exec >\"$0.signals\"\n"
                         // Read by the shell itself: a command it starts could see the mask it
                         // blocks while starting it.
                         "while read -r key value; do case $key in SigBlk:|SigIgn:) echo $key $value;; "
                         "esac; done </proc/$$/status\n"
                         "exec >\"$0.env\"\n"
                         "env\n"
                         "echo \"$1\" >\"$0.part\" && mv \"$0.part\" \"$0.url\"\n");
        }
        QVERIFY(setMode(opener, 0755));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(tools.path()) + ':' + path);
        // The engine's variables this process was started with, but those its starter (here CTest, as
        // scripts/run does) names as set for the engine alone; then more set for its own engine, as
        // Penhollow would give it a flag of its own.
        const QByteArrayList startingEnvironment =
            contentOf(QStringLiteral("/proc/self/environ")).split('\0');
        QByteArrayList added;
        for (const QByteArray& entry : startingEnvironment) {
            if (entry.startsWith("PENHOLLOW_ADDED_ENGINE_VARIABLES=")) {
                added = entry.mid(entry.indexOf('=') + 1).simplified().split(' ');
            }
        }
        const auto engineVariables = [](const QByteArrayList& environment, const QByteArrayList& except) {
            QByteArrayList found;
            for (const QByteArray& entry : environment) {
                if ((entry.startsWith("QTWEBENGINE_") || entry.startsWith("QT_WEBENGINE_")) &&
                    !except.contains(entry.left(entry.indexOf('=')))) {
                    found << entry;
                }
            }
            std::sort(found.begin(), found.end());
            return found;
        };
        const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        const bool flagsSet = qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --site-per-process");
        qputenv("QTWEBENGINE_DICTIONARIES_PATH", QFile::encodeName(tools.path()));
        const bool s3tcSet = qEnvironmentVariableIsSet("force_s3tc_enable");
        qputenv("force_s3tc_enable", "true");
        const mode_t umaskBefore = ::umask(027);
        // As the web engine leaves them: a started program must not inherit either.
        const auto pipeBefore = ::signal(SIGPIPE, SIG_IGN);
        sigset_t blocked;
        sigset_t blockedBefore;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &blocked, &blockedBefore);
        // As scripts/run hands its lock to what it starts: without close-on-exec.
        const int given = ::open(QFile::encodeName(tools.filePath(QStringLiteral("run.lock"))).constData(),
                                 O_WRONLY | O_CREAT | O_APPEND, 0600);
        auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            flagsSet ? qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags) : qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
            qunsetenv("QTWEBENGINE_DICTIONARIES_PATH");
            if (!s3tcSet) {
                qunsetenv("force_s3tc_enable");
            }
            ::umask(umaskBefore);
            ::signal(SIGPIPE, pipeBefore);
            ::pthread_sigmask(SIG_SETMASK, &blockedBefore, nullptr);
            ::close(given);
        });
        QVERIFY(given > 2);
        ApplicationHarness app;
        QVERIFY(app.launch());
        QVERIFY(ExternalUrlOpener::openWebAddress(QUrl(QStringLiteral("https://example.com/post.html"))));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener + QStringLiteral(".url")), 20000);
        QCOMPARE(contentOf(opener + QStringLiteral(".url")).trimmed(),
                 QByteArray("https://example.com/post.html"));
        // Standard input, output and error, and the shell's own hold on its script.
        QStringList ours;
        for (const QByteArray& line : contentOf(opener + QStringLiteral(".fds")).split('\n')) {
            const qsizetype arrow = line.indexOf(" -> ");
            if (arrow < 0) {
                continue;
            }
            const int fd = line.left(arrow).split(' ').last().toInt();
            const QString target = QFile::decodeName(line.mid(arrow + 4));
            if (fd > 2 && target != opener) {
                ours << QString::number(fd) + QStringLiteral(" -> ") + target;
            }
        }
        QVERIFY2(ours.isEmpty(), qPrintable(ours.join(QStringLiteral(", "))));
        QCOMPARE(contentOf(opener + QStringLiteral(".umask")).trimmed(), QByteArray("0027"));
        // The shell itself ignores and blocks nothing.
        QCOMPARE(contentOf(opener + QStringLiteral(".signals")),
                 QByteArray("SigBlk: 0000000000000000\nSigIgn: 0000000000000000\n"));
        // The environment as this process started, none of what was set since.
        const QByteArrayList environment = contentOf(opener + QStringLiteral(".env")).split('\n');
        QCOMPARE(engineVariables(environment, {}), engineVariables(startingEnvironment, added));
        QVERIFY(!('\n' + contentOf(opener + QStringLiteral(".env")))
                     .contains("\nPENHOLLOW_ADDED_ENGINE_VARIABLES="));
        QVERIFY(!environment.contains("force_s3tc_enable=true"));
        QVERIFY(environment.contains("PATH=" + path));
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
        // Made open to others after the first launch had secured the folder: the second walks nothing.
        QVERIFY(ApplicationHarness::settle());
        const QString planted = m_dataFolder + QStringLiteral("/QtWebEngine/planted");
        QVERIFY(QDir().mkpath(QFileInfo(planted).path()));
        {
            QFile file(planted);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(setMode(planted, 0644));

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
        QCOMPARE(modeOf(planted), 0644);
        QVERIFY(QFile::remove(planted));
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
        QTest::addColumn<QString>("advice");
        const QString move = QStringLiteral("move");
        QTest::newRow("garbage data.db") << Damage::GarbageDatabase << "data.db" << move;
        QTest::newRow("truncated data.db") << Damage::TruncatedDatabase << "data.db" << move;
        QTest::newRow("another program's data.db") << Damage::ForeignDatabase << "data.db" << move;
        QTest::newRow("data.db a folder") << Damage::DatabaseIsAFolder << "data.db" << move;
        QTest::newRow("unreadable data.db") << Damage::UnreadableDatabase << "data.db" << move;
        QTest::newRow("garbage Preferences.json") << Damage::GarbagePreferences << "Preferences.json" << move;
        QTest::newRow("Preferences.json a folder")
            << Damage::PreferencesIsAFolder << "Preferences.json" << move;
        QTest::newRow("unreadable Preferences.json")
            << Damage::UnreadablePreferences << "Preferences.json" << move;
        QTest::newRow("read-only folder") << Damage::ReadOnlyFolder << ""
                                          << "may write";
        // Not even the lock file is made there.
        QTest::newRow("another user's folder, writable by all") << Damage::AnotherUsersFolder << ""
                                                                << "belongs to another user";
        // Another user renamed the live folder away and put theirs in its place: nothing is written.
        const QString onlyYou = QStringLiteral("only you may change");
        QTest::newRow("in a folder others may write in") << Damage::ParentOpenToOthers << "" << onlyYou;
        QTest::newRow("in a folder a group not the user's own may write in")
            << Damage::ParentOpenToAnotherGroup << "" << onlyYou;
        QTest::newRow("a link to it in a folder others may write in")
            << Damage::LinkInAFolderOpenToOthers << "" << onlyYou;
        // The mode shows the ACL's mask as the group's bits, and the group is the user's own.
        QTest::newRow("in a folder an ACL lets another user write in")
            << Damage::ParentOpenToAnotherUserByAcl << "" << onlyYou;
        QTest::newRow("in a folder an ACL lets another group write in")
            << Damage::ParentOpenToAnotherGroupByAcl << "" << onlyYou;
        // Not even made: an empty folder there would be the other user's to swap.
        QTest::newRow("not made yet, in a folder others may write in")
            << Damage::MissingInAFolderOpenToOthers << "" << onlyYou;
    }

    void testDamagedDataFolderIsToldAndKeptAsItWas()
    {
        QFETCH(Damage, damage);
        QFETCH(QString, fileName);
        QFETCH(QString, advice);
        if (damage == Damage::AnotherUsersFolder && ::geteuid() != 0) {
            QSKIP("Only root can make a folder of another user");
        }
        if (damage == Damage::ParentOpenToAnotherGroup && ::geteuid() != 0) {
            QSKIP("Only root can use a folder as a user outside its group");
        }
        // A folder of its own that another user may enter; the other tests keep theirs.
        QTemporaryDir parent;
        QVERIFY(QFile::setPermissions(parent.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::ExeOther));
        const QString folder = parent.path() + QStringLiteral("/data");
        QVERIFY(QDir().mkpath(folder));
        const QFileDevice::Permissions everyone = QFileDevice::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(folder, everyone));
        // The folder as Penhollow is given it: itself, or a link to it in a folder without the sticky bit.
        QTemporaryDir open;
        QString given = folder;
        if (damage == Damage::ParentOpenToOthers || damage == Damage::MissingInAFolderOpenToOthers) {
            QVERIFY(setMode(parent.path(), 0777));
        } else if (damage == Damage::ParentOpenToAnotherGroup) {
            // Root's group, used as "nobody", whose group is another.
            QVERIFY(setMode(parent.path(), 0775));
        } else if (damage == Damage::LinkInAFolderOpenToOthers) {
            QVERIFY(setMode(open.path(), 0777));
            given = open.filePath(QStringLiteral("data"));
            QVERIFY(QFile::link(folder, given));
        } else if (damage == Damage::ParentOpenToAnotherUserByAcl ||
                   damage == Damage::ParentOpenToAnotherGroupByAcl) {
            // The group of "nobody" (see AsAnotherUser) as root, or the user's own.
            QVERIFY(::geteuid() != 0 || ::chown(QFile::encodeName(parent.path()).constData(), 0, 65534) == 0);
            QVERIFY(setMode(parent.path(), 0755));
            const QString me = QString::number(::geteuid() == 0 ? 65534 : ::geteuid());
            // The user's own grant, and the mask it brings, leave it theirs alone.
            QCOMPARE(QProcess::execute("setfacl", {"-m", "u:" + me + ":rwx", parent.path()}), 0);
            QCOMPARE(modeOf(parent.path()), 0775);
            {
                AsAnotherUser user;
                QCOMPARE(PrivateDataFolder::parentOpenToOthers(folder), QString());
            }
            const QString other =
                damage == Damage::ParentOpenToAnotherUserByAcl ? "u:4242:rwx" : "g:4242:rwx";
            QCOMPARE(QProcess::execute("setfacl", {"-m", other, parent.path()}), 0);
        }
        const bool nothingWritten = damage != Damage::ReadOnlyFolder && fileName.isEmpty();
        if (::geteuid() == 0 && damage != Damage::AnotherUsersFolder) {
            // Used as "nobody" (see AsAnotherUser): the folder is theirs, its files stay root's.
            QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
        }
        if (damage == Damage::MissingInAFolderOpenToOthers) {
            QVERIFY(QDir(folder).removeRecursively());
        }
        const int modeBefore = modeOf(folder);
        const QString file = fileName.isEmpty() ? given : folder + QLatin1Char('/') + fileName;
        writeDamage(damage, file);
        const QStringList entriesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QByteArray bytesBefore = contentOf(file);
        if (damage == Damage::ReadOnlyFolder) {
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        }
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(given));
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
                         alert.message.contains(given),
                     qPrintable(alert.message));
            QVERIFY2(alert.message.contains(advice), qPrintable(alert.message));
            // Answered: the application ends with a failure, and never opened a window.
            QTRY_COMPARE(quit.size(), 1);
            QCOMPARE(app.delegate()->exitStatus(), 1);
            QVERIFY(!app.windowController() && !app.delegate()->welcomeWindowController());
            app.quit();
            QVERIFY(!output.text().contains(QStringLiteral("in use by another Penhollow")));
        }
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(m_dataFolder));
        if (damage == Damage::MissingInAFolderOpenToOthers) {
            QVERIFY(!QFileInfo::exists(folder));
            return;
        }
        if (nothingWritten) {
            QCOMPARE(modeOf(folder), modeBefore);
        }
        QVERIFY(QFile::setPermissions(folder, everyone));
        QCOMPARE(contentOf(file), bytesBefore);
        QStringList entriesAfter = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        // The lock file is the only thing a launch leaves, in a folder of the user's.
        if (!nothingWritten) {
            entriesAfter.removeAll(QStringLiteral("penhollow.lock"));
        }
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
        default: // the folder's own faults
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
