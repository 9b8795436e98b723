#include "ApplicationHarness.h"
#include "GoogleStandin.h"
#include "TestSupport.h"

#include "store/PersistentAccessTokens.h"
#include "store/PostsLocalAccessAppService.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QString Blog = QStringLiteral("4120843728710463922");
constexpr int Kills = 20;

QList<BloggerPost> autosavedPosts()
{
    return PostsLocalAccessAppService().listFilteredPostsForBlog(Blog, PostSortOptions::Title,
                                                                 PostSortOrderOptions::Ascending,
                                                                 PostFilterOptions::ByStatus, "Autosaved");
}

// What one run of the child said, line by line, until it was killed.
struct Run
{
    QProcess process;
    QStringList lines;
    int recovered = -2; // -1: recovered without words, -2: not (yet) said
    int lastSaved = -1;
    int lastTyped = -1;
    bool begun = false;
    // Autosaves after the post was offered back (or started).
    int savedSinceStart = 0;

    void read()
    {
        while (process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine()).trimmed();
            lines << line;
            const QStringList parts = line.split(' ');
            if (line == "NEW") {
                begun = true;
            }
            if (parts.size() != 2) {
                continue;
            }
            if (parts[0] == "RECOVERED") {
                recovered = parts[1] == "none" ? -1 : parts[1].toInt();
                begun = true;
            } else if (parts[0] == "SAVED") {
                lastSaved = qMax(lastSaved, parts[1].toInt());
                savedSinceStart += begun ? 1 : 0;
            } else if (parts[0] == "TYPED") {
                lastTyped = qMax(lastTyped, parts[1].toInt());
            }
        }
    }
};

} // namespace

// The application is killed (SIGKILL) again and again while a post is being edited, each time at a random
// moment after its first autosave; every restart must offer the post back with the text of its last
// autosave, and the store must hold it once.
class TestAutosaveCrashSafety : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testKilledWhileEditingEveryRestartOffersLastAutosave()
    {
        const QString dataFolder = TestSupport::useFreshDataFolder();
        // Sign-in and token refresh stay on this machine.
        GoogleStandin standin;
        QVERIFY(standin.start(0) != 0);
        const QByteArray base = standin.serverUrl().toString().toUtf8();
        const QString user = standin.defaultAccountId();
        ApplicationHarness::storeAccount(
            BloggerUser(user, "Mara Quill", "", ""),
            {BloggerBlog(Blog, user, "Tide Tables", QString::fromUtf8(base), "LIVE")}, Blog);
        PersistentAccessTokens tokens(user);
        tokens.setAccessToken(standin.issueAccessToken(user));
        tokens.setRefreshToken(standin.issueRefreshToken(user));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PENHOLLOW_DATA_DIR", dataFolder);
        for (const char* variable :
             {"PENHOLLOW_OAUTH_URL", "PENHOLLOW_GOOGLE_API_URL", "PENHOLLOW_BLOGGER_URL"}) {
            environment.insert(variable, QString::fromUtf8(base));
        }
        const QString child = QCoreApplication::applicationDirPath() + "/AutosaveCrashChild";

        int lastSaved = -1;
        int lastTyped = -1;
        for (int kill = 0; kill <= Kills; ++kill) {
            Run run;
            run.process.setProcessEnvironment(environment);
            run.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            run.process.start(child, kill == 0 ? QStringList{"--first"} : QStringList{});
            QVERIFY2(run.process.waitForStarted(10000), qPrintable(run.process.errorString()));
            // Until the post is back (or started) and autosaved at least once in this run.
            const bool ready = QTest::qWaitFor(
                [&] {
                    run.read();
                    return run.savedSinceStart > 0 || run.process.state() == QProcess::NotRunning;
                },
                30000);
            QVERIFY2(ready && run.process.state() == QProcess::Running, qPrintable(run.lines.join(" | ")));
            if (kill == 0) {
                QVERIFY(run.lines.contains("NEW"));
            } else {
                // Offered back with the words of the last autosave, and no word typed after the kill.
                QVERIFY2(run.recovered >= lastSaved && run.recovered <= lastTyped,
                         qPrintable(QStringLiteral("restart %1 recovered %2, saved %3, typed %4")
                                        .arg(kill)
                                        .arg(run.recovered)
                                        .arg(lastSaved)
                                        .arg(lastTyped)));
            }
            if (kill == Kills) {
                run.process.kill();
                run.process.waitForFinished(10000);
                break;
            }
            QTest::qWait(int(QRandomGenerator::global()->bounded(600)));
            run.read();
            run.process.kill();
            QVERIFY(run.process.waitForFinished(10000));
            run.read();
            // A run that typed or saved nothing new leaves the last word where the earlier runs left it.
            lastSaved = qMax(lastSaved, run.lastSaved);
            lastTyped = qMax(lastTyped, qMax(run.lastTyped, run.recovered));
            // One record of the post, never two, never none.
            const QList<BloggerPost> records = autosavedPosts();
            QCOMPARE(records.size(), 1);
            QCOMPARE(records.first().title, QStringLiteral("Written until killed"));
        }
    }
};

QTEST_GUILESS_MAIN(TestAutosaveCrashSafety)
#include "TestAutosaveCrashSafety.moc"
