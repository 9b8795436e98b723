#include "ApplicationHarness.h"
#include "GoogleStandin.h"
#include "TestSupport.h"

#include "store/PersistentAccessTokens.h"
#include "store/PostsLocalAccessAppService.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>

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
    int publishedAfterMs = -1;

    bool said(const QString& prefix) const
    {
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&](const QString& l) { return l.startsWith(prefix); });
    }

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
            } else if (parts[0] == "PUBLISHED") {
                publishedAfterMs = parts[1].toInt();
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

    QString m_dataFolder;

    // The data folder, with no post and signed in to the stand-in; the environment the child runs in.
    QProcessEnvironment prepare(GoogleStandin& standin)
    {
        if (m_dataFolder.isEmpty()) {
            m_dataFolder = TestSupport::useFreshDataFolder();
        }
        const QString dataFolder = m_dataFolder;
        ApplicationHarness::removeAllPosts(Blog);
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
        return environment;
    }

private Q_SLOTS:
    void testKilledWhileEditingEveryRestartOffersLastAutosave()
    {
        // Sign-in and token refresh stay on this machine.
        GoogleStandin standin;
        QVERIFY(standin.start(0) != 0);
        const QProcessEnvironment environment = prepare(standin);
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

    // Killed at each step of a publish (just pressed, the picture reaching the album, the post reaching
    // Blogger, a moment after) and at random moments: the stand-in never holds a post twice, and a post that
    // is not on it is offered back with its text. The post offered back is published again; once on Blogger
    // it is updated, never added a second time. The first run publishes to the end and times a publish.
    void testKilledWhilePublishingEachPostOnceAndItsTextRecoverable()
    {
        GoogleStandin standin;
        QVERIFY(standin.start(0) != 0);
        const QProcessEnvironment environment = prepare(standin);
        const QString child = QCoreApplication::applicationDirPath() + "/AutosaveCrashChild";
        const auto count = [&](const QString& title) {
            int n = 0;
            const auto blog = standin.blog(Blog);
            for (const StandinPost& post : blog->posts) {
                n += post.title == title ? 1 : 0;
            }
            return n;
        };

        // Requests of the publish that reached the stand-in.
        const auto sent = [&](const QByteArray& prefix) {
            qsizetype n = 0;
            for (const QByteArray& method : {QByteArray("POST"), QByteArray("PUT")}) {
                n += standin.requests(method, prefix).size();
            }
            return n;
        };

        QStringList titles;
        int publishMs = 1;
        for (int kill = 0; kill <= Kills + 1; ++kill) {
            const bool last = kill == Kills + 1;
            const QString title = QStringLiteral("Kill %1").arg(kill);
            QStringList arguments{"--publish", title};
            if (autosavedPosts().isEmpty()) {
                arguments << "--first";
                titles << title;
            }
            Run run;
            run.process.setProcessEnvironment(environment);
            run.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            run.process.start(child, arguments);
            QVERIFY2(run.process.waitForStarted(10000), qPrintable(run.process.errorString()));
            const bool pressed = QTest::qWaitFor(
                [&] {
                    run.read();
                    return run.said("PUBLISHING") || run.process.state() == QProcess::NotRunning;
                },
                60000);
            QVERIFY2(pressed && run.said("PUBLISHING"), qPrintable(run.lines.join(" | ")));
            if (kill == 0 || last) {
                const bool published = QTest::qWaitFor(
                    [&] {
                        run.read();
                        return run.said("PUBLISHED") || run.said("FAILED") ||
                               run.process.state() == QProcess::NotRunning;
                    },
                    60000);
                QVERIFY2(published && run.publishedAfterMs >= 0, qPrintable(run.lines.join(" | ")));
                publishMs = qMax(1, run.publishedAfterMs);
            } else if (kill % 4 == 0) {
                // Anywhere from the press to a little after the editor closed.
                QTest::qWait(int(QRandomGenerator::global()->bounded(publishMs * 3 / 2 + 1)));
            } else {
                // As the picture reaches the album, as the post reaches Blogger, or a moment after.
                const QByteArray feed =
                    kill % 4 == 1 ? QByteArray("/data/feed") : "/feeds/" + Blog.toUtf8() + "/posts";
                const qsizetype before = sent(feed);
                const bool reached = QTest::qWaitFor(
                    [&] {
                        run.read();
                        return sent(feed) > before || run.said("PUBLISHED") ||
                               run.process.state() == QProcess::NotRunning;
                    },
                    60000);
                QVERIFY2(reached, qPrintable(run.lines.join(" | ")));
                if (kill % 4 == 3) {
                    QTest::qWait(int(QRandomGenerator::global()->bounded(30)));
                }
            }
            run.process.kill();
            QVERIFY(run.process.waitForFinished(10000));
            run.read();
            QVERIFY2(!run.said("FAILED"), qPrintable(run.lines.join(" | ")));

            for (const QString& t : titles) {
                QList<BloggerPost> records;
                for (const BloggerPost& record : autosavedPosts()) {
                    if (record.title == t) {
                        records << record;
                    }
                }
                const QString state = QStringLiteral("after run %1, %2: %3 on Blogger, %4 offered back; %5")
                                          .arg(kill)
                                          .arg(t)
                                          .arg(count(t))
                                          .arg(records.size())
                                          .arg(run.lines.join(" | "));
                QVERIFY2(count(t) <= 1 && records.size() <= 1, qPrintable(state));
                QVERIFY2(count(t) == 1 || (records.size() == 1 && records.first().content.contains("w2")),
                         qPrintable(state));
            }
        }
        // All settled: each post once on Blogger, nothing left to offer back.
        QVERIFY(autosavedPosts().isEmpty());
        for (const QString& t : titles) {
            QCOMPARE(count(t), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestAutosaveCrashSafety)
#include "TestAutosaveCrashSafety.moc"
