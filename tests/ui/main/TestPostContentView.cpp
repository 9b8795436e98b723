#include "HostileContent.h"
#include "LocalHttpServer.h"
#include "ScriptResult.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "model/BloggerPost.h"
#include "platform/ApplicationFolders.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/HtmlSchemeHandler.h"
#include "platform/gui/LocalPictureSchemeHandler.h"
#include "platform/gui/WebPage.h"
#include "platform/gui/WebView.h"
#include "ui/main/PostContentViewController.h"

#include <QColorDialog>
#include <QDir>
#include <QEventLoop>
#include <QFontInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>
#include <QUuid>
#include <QWebEngineScript>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int LoadTimeout = 30000;
const QString DefaultPageTitle = QStringLiteral("Penhollow");

BloggerPost postWithContent(const QString& content)
{
    BloggerPost post;
    post.postId = QStringLiteral("p1");
    post.content = content;
    return post;
}

// Waits for the condition with the event loop running freely: a load takes the engine many turns of the
// loop, and QTest::qWaitFor sleeps between turns, which makes each load take seconds.
bool waitWithRunningLoop(const std::function<bool()>& condition, int timeoutMs)
{
    if (condition()) {
        return true;
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
    return condition();
}

// Page scripts are off in this view; scripts of our own still run in a world of their own.
QVariant evaluate(WebView& view, const QString& script)
{
    return ScriptResult::evaluate(view, script, QWebEngineScript::ApplicationWorld);
}

// Counts the loads that begin and end from now on.
class LoadWatch
{
public:
    explicit LoadWatch(WebView& view)
        : m_view(view), m_started(&view, &QWebEngineView::loadStarted),
          m_finished(&view, &WebView::pageLoaded)
    {
    }

    // True once at least one load began, every load that began has ended, and the page has that title.
    bool waitUntilSettledOn(const QString& title)
    {
        return QTest::qWaitFor(
            [&] {
                return !m_started.isEmpty() && m_finished.size() >= m_started.size() &&
                       !m_view.webPage()->isLoading() && m_view.title() == title;
            },
            LoadTimeout);
    }

private:
    WebView& m_view;
    QSignalSpy m_started;
    QSignalSpy m_finished;
};

// Counts the pop-up menus that open anywhere in the application.
class MenuWatch : public QObject
{
public:
    MenuWatch() { qApp->installEventFilter(this); }
    ~MenuWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMenu*>(watched)) {
            ++shown;
        }
        return false;
    }
};

// Counts the colour dialogs whose window reaches the screen anywhere in the application.
class ColourDialogWatch : public QObject
{
public:
    ColourDialogWatch() { qApp->installEventFilter(this); }
    ~ColourDialogWatch() override { qApp->removeEventFilter(this); }

    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWindowType()) {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                shown += qobject_cast<QColorDialog*>(top) && top->windowHandle() == watched ? 1 : 0;
            }
        }
        return false;
    }
};

} // namespace

class TestPostContentView : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void testStartsOnTheDefaultPage();
    void testPostOfThreeMegabytesShows();
    void testDefaultViewRightAfterAPostEndsOnTheDefaultPage();
    void testPostRightAfterDefaultViewEndsOnThePost();
    void testQuickLoadsEndOnTheLastPost();
    void testNextPostKeepsTheRendererProcess();
    void testPostScriptsDoNotRun();
    void testPostFramesAndPicturesReachNoLocalFileButTheUsersPictures();
    void testLinkClickOpensInBrowserAndViewStays();
    void testRelativeLinkOpensNothing();
    void testLinkToNewWindowOpensInBrowser();
    void testContextMenuOnlyOverSelectedText();
    void testColourInputOverThePaneOpensNoDialog();
    void testDefaultStyleOnlyWhereThePostSetsNone();

private:
    // Waits until the view has finished a load with that title and shows it.
    bool waitForTitle(const QString& title);
    void showPost(const QString& html, const QString& title);
    // A press and release of the mouse on the element, as a user clicks it.
    void clickElement(const QString& id, Qt::MouseButton button = Qt::LeftButton);

    std::unique_ptr<PostContentViewController> m_pane;
    WebView* m_webview = nullptr;
    QList<QUrl> m_opened;
};

void TestPostContentView::initTestCase()
{
    TestSupport::useFreshDataFolder();
}

void TestPostContentView::init()
{
    m_opened.clear();
    ExternalUrlOpener::setOpener([this](const QUrl& url) {
        m_opened.append(url);
        return true;
    });
    m_pane = std::make_unique<PostContentViewController>();
    QWidget* view = m_pane->view();
    view->resize(640, 480);
    view->show();
    m_webview = m_pane->webviewOutlet();
    QVERIFY(m_webview);
    QVERIFY(waitForTitle(DefaultPageTitle));
}

void TestPostContentView::cleanup()
{
    m_pane.reset();
    ExternalUrlOpener::setOpener(nullptr);
}

bool TestPostContentView::waitForTitle(const QString& title)
{
    return waitWithRunningLoop(
        [&] { return m_webview->title() == title && !m_webview->webPage()->isLoading(); }, LoadTimeout);
}

void TestPostContentView::showPost(const QString& html, const QString& title)
{
    m_pane->loadHtmlOnMainThread(postWithContent(html));
    QVERIFY(waitForTitle(title));
}

void TestPostContentView::clickElement(const QString& id, Qt::MouseButton button)
{
    const QVariantList centre =
        evaluate(*m_webview, QStringLiteral("(function() { const r = document.getElementById('%1')"
                                            ".getBoundingClientRect(); return [r.x + r.width / 2, "
                                            "r.y + r.height / 2]; })()")
                                 .arg(id))
            .toList();
    QCOMPARE(centre.size(), 2);
    QWidget* input = m_webview->focusProxy();
    QVERIFY(input);
    QTest::mouseClick(input, button, {}, QPoint(centre[0].toInt(), centre[1].toInt()));
}

void TestPostContentView::testStartsOnTheDefaultPage()
{
    QCOMPARE(m_webview->url().fileName(), QStringLiteral("default.html"));
    QVERIFY(!evaluate(*m_webview, QStringLiteral("document.body.innerText")).toString().isEmpty());
    // Its style comes with it: the view lets a local page load no other local file.
    QCOMPARE(evaluate(*m_webview, QStringLiteral("getComputedStyle(document.body).textAlign")).toString(),
             QStringLiteral("center"));
}

void TestPostContentView::testPostOfThreeMegabytesShows()
{
    const int size = 3 * 1024 * 1024;
    m_pane->loadHtmlOnMainThread(postWithContent(QStringLiteral("<title>Big</title><body><p id='text'>") +
                                                 QString(size, QLatin1Char('x')) + QStringLiteral("</p>")));
    QVERIFY(waitForTitle(QStringLiteral("Big")));
    QCOMPARE(
        evaluate(*m_webview, QStringLiteral("document.getElementById('text').textContent.length")).toInt(),
        size);
}

void TestPostContentView::testDefaultViewRightAfterAPostEndsOnTheDefaultPage()
{
    showPost(QStringLiteral("<title>Before</title>"), QStringLiteral("Before"));
    LoadWatch watch(*m_webview);
    m_pane->loadHtmlOnMainThread(postWithContent(QStringLiteral("<title>Post</title><p>text</p>")));
    m_pane->loadDefaultView();
    QVERIFY(watch.waitUntilSettledOn(DefaultPageTitle));
    QCOMPARE(m_webview->url().fileName(), QStringLiteral("default.html"));
}

void TestPostContentView::testPostRightAfterDefaultViewEndsOnThePost()
{
    showPost(QStringLiteral("<title>Before</title>"), QStringLiteral("Before"));
    LoadWatch watch(*m_webview);
    m_pane->loadDefaultView();
    m_pane->loadHtmlOnMainThread(postWithContent(QStringLiteral("<title>Post</title><p>text</p>")));
    QVERIFY(watch.waitUntilSettledOn(QStringLiteral("Post")));
    QCOMPARE(m_webview->url().scheme(), QString::fromLatin1(HtmlSchemeHandler::schemeName()));
}

void TestPostContentView::testQuickLoadsEndOnTheLastPost()
{
    // Posts reach the pane as fast as a user moves through the list; the gaps are what the user does.
    const QList<int> gaps{0, 20, 40, 80};
    for (int round = 0; round < 100; ++round) {
        QString last;
        for (int i = 0; i < 5; ++i) {
            if (i > 0) {
                QTest::qWait(gaps.at((round + i) % gaps.size()));
            }
            last = QStringLiteral("Round %1 post %2").arg(round).arg(i);
            m_pane->loadHtmlOnMainThread(
                postWithContent(QStringLiteral("<title>%1</title><p id='text'>%1</p>").arg(last)));
        }
        QVERIFY2(waitForTitle(last), qPrintable(QStringLiteral("the pane never showed ") + last));
        QCOMPARE(
            evaluate(*m_webview, QStringLiteral("document.getElementById('text').textContent")).toString(),
            last);
    }
}

void TestPostContentView::testNextPostKeepsTheRendererProcess()
{
    // A process started for every post is slow, and on a busy machine one that never started left the pane
    // on the post before.
    showPost(QStringLiteral("<title>First</title>"), QStringLiteral("First"));
    const qint64 process = m_webview->webPage()->renderProcessPid();
    QVERIFY(process > 0);
    showPost(QStringLiteral("<title>Second</title>"), QStringLiteral("Second"));
    QCOMPARE(m_webview->webPage()->renderProcessPid(), process);
}

void TestPostContentView::testPostScriptsDoNotRun()
{
    m_pane->loadHtmlOnMainThread(postWithContent(
        QStringLiteral("<title>Quiet</title><p id='p'>before</p>"
                       "<script>document.title = 'ran'; document.getElementById('p').textContent = 'after';"
                       "</script>")));
    QVERIFY(waitForTitle(QStringLiteral("Quiet")));
    QCOMPARE(evaluate(*m_webview, QStringLiteral("document.getElementById('p').textContent")).toString(),
             QStringLiteral("before"));
    QCOMPARE(m_webview->title(), QStringLiteral("Quiet"));
}

void TestPostContentView::testPostFramesAndPicturesReachNoLocalFileButTheUsersPictures()
{
    const QString data = ApplicationFolders::dataFolder();
    const QString secret = QStringLiteral("secret-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    QVERIFY(HostileContent::writeFile(data + QStringLiteral("/secret.txt"), secret.toUtf8()));
    QVERIFY(HostileContent::writeFile(data + QStringLiteral("/elsewhere.png"), HostileContent::pngBytes()));
    const QString folder = ApplicationFolders::applicationsFolder();
    QDir().mkpath(folder);
    QVERIFY(HostileContent::writeFile(folder + QStringLiteral("/B0A7-dot.png"), HostileContent::pngBytes()));
    // A post kept on this computer with a picture the user added, and a stranger's frames on local files.
    showPost(
        QStringLiteral("<title>Framed</title><p>Harbour view</p><img id='mine' src='file://%1/B0A7-dot.png'>"
                       "<img id='elsewhere' src='file://%2/elsewhere.png'>")
                .arg(folder, data) +
            HostileContent::fileFramesAndMarkers(
                {data + QStringLiteral("/secret.txt"), data + QStringLiteral("/Preferences.json")}),
        QStringLiteral("Framed"));
    QVERIFY(HostileContent::occurrences(*m_webview, QStringLiteral("Harbour view")) >= 1);
    QCOMPARE(HostileContent::occurrences(*m_webview, secret), 0);
    QTRY_COMPARE(evaluate(*m_webview, QStringLiteral("document.getElementById('mine').naturalWidth")).toInt(),
                 1);
    QCOMPARE(
        evaluate(*m_webview, QStringLiteral("document.getElementById('elsewhere').naturalWidth")).toInt(), 0);
    QVERIFY(!m_webview->url().isLocalFile());
}

void TestPostContentView::testLinkClickOpensInBrowserAndViewStays()
{
    LocalHttpServer server;
    QVERIFY(server.start());
    server.route("/next", "<title>Next</title>");
    const QUrl target = server.url(QStringLiteral("/next"));
    showPost(QStringLiteral("<title>Post</title><a id='go' href='") + target.toString() +
                 QStringLiteral("'>next</a>"),
             QStringLiteral("Post"));
    const QUrl shown = m_webview->url();

    LoadWatch watch(*m_webview);
    clickElement(QStringLiteral("go"));
    QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{target}, LoadTimeout);
    // A refused navigation still ends as a load: once it has, the view shows what it will keep showing.
    QVERIFY(watch.waitUntilSettledOn(QStringLiteral("Post")));
    QCOMPARE(m_webview->url(), shown);
    QVERIFY(server.requestsFor("/next").isEmpty());
}

void TestPostContentView::testRelativeLinkOpensNothing()
{
    // Without a base address the link names no web page; the web address after it shows the click went
    // through.
    m_pane->loadHtmlOnMainThread(postWithContent(
        QStringLiteral("<title>Post</title><a id='relative' href='2015/06/other.html'>other</a><br>"
                       "<a id='web' href='https://blog.example.com/'>web</a>")));
    QVERIFY(waitForTitle(QStringLiteral("Post")));
    clickElement(QStringLiteral("relative"));
    clickElement(QStringLiteral("web"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_opened.isEmpty(), LoadTimeout);
    QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("https://blog.example.com/"))});
    QCOMPARE(m_webview->title(), QStringLiteral("Post"));
}

void TestPostContentView::testLinkToNewWindowOpensInBrowser()
{
    const QUrl target(QStringLiteral("https://blog.example.com/elsewhere"));
    showPost(QStringLiteral("<title>Post</title><a id='go' target='_blank' href='") + target.toString() +
                 QStringLiteral("'>elsewhere</a>"),
             QStringLiteral("Post"));
    clickElement(QStringLiteral("go"));
    QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{target}, LoadTimeout);
    QCOMPARE(m_webview->title(), QStringLiteral("Post"));
}

void TestPostContentView::testContextMenuOnlyOverSelectedText()
{
    showPost(QStringLiteral("<title>Post</title><p id='plain'>Plain words</p><p id='chosen'>Chosen words</p>"
                            "<p><a id='link' href='https://blog.example.com/'>a link</a></p>"),
             QStringLiteral("Post"));
    MenuWatch menus;
    clickElement(QStringLiteral("plain"), Qt::RightButton);
    clickElement(QStringLiteral("link"), Qt::RightButton);
    evaluate(*m_webview,
             QStringLiteral("window.getSelection().selectAllChildren(document.getElementById('chosen'))"));
    clickElement(QStringLiteral("chosen"), Qt::RightButton);
    // Menus open in the order of the clicks: once the selection's menu is up, the others had their chance.
    QTRY_COMPARE_WITH_TIMEOUT(menus.shown, 1, LoadTimeout);
    QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QVERIFY(!menu->actions().isEmpty());
    menu->close();
}

void TestPostContentView::testColourInputOverThePaneOpensNoDialog()
{
    // A transparent colour input over the whole pane: any click opened the engine's colour dialog.
    const QUrl after(QStringLiteral("https://blog.example.com/after"));
    showPost(QStringLiteral("<title>Colours</title><input id='colour' type='color' style='position: fixed; "
                            "left: 0; top: 0; width: 100%; height: 100%; opacity: 0'><a id='after' href='%1' "
                            "style='position: fixed; right: 0; bottom: 0; z-index: 1'>after</a>")
                 .arg(after.toString()),
             QStringLiteral("Colours"));
    ColourDialogWatch dialogs;
    clickElement(QStringLiteral("colour"));
    // The link's click comes after: once it has reached the browser, the first one had its answer.
    clickElement(QStringLiteral("after"));
    QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{after}, LoadTimeout);
    QCOMPARE(dialogs.shown, 0);
    // The dialog is refused and gone, and it left no window blocked behind it.
    const auto colourDialogs = [] {
        const QWidgetList tops = QApplication::topLevelWidgets();
        return std::count_if(tops.cbegin(), tops.cend(),
                             [](QWidget* top) { return qobject_cast<QColorDialog*>(top); });
    };
    QTRY_COMPARE(colourDialogs(), 0);
    QVERIFY(!QGuiApplication::modalWindow());
}

void TestPostContentView::testDefaultStyleOnlyWhereThePostSetsNone()
{
    // A picture twice as wide as high and far wider than the pane.
    showPost(QStringLiteral("<!DOCTYPE html><title>Wide</title><p id='p'>Sand</p>"
                            "<img id='wide' width='3000' height='1500' src='data:image/png;base64,%1'>")
                 .arg(QLatin1String("iVBORw0KGgoAAAANSUhEUgAAAAQAAAACCAIAAADwyuo0AAAAEElEQVR4nGP4z8AARwzIHABv"
                                    "qgf5gNwAKAAAAABJRU5ErkJggg==")),
             QStringLiteral("Wide"));
    auto style = [this](const QString& id, const QString& property) {
        return evaluate(
                   *m_webview,
                   QStringLiteral("getComputedStyle(document.getElementById('%1'))['%2']").arg(id, property))
            .toString();
    };
    // The doctype stays first, so the page is in standards mode.
    QCOMPARE(evaluate(*m_webview, QStringLiteral("document.compatMode")).toString(),
             QStringLiteral("CSS1Compat"));
    QVERIFY2(style("p", "fontFamily").contains(QFontInfo(m_pane->view()->font()).family()),
             qPrintable(style("p", "fontFamily")));
    QCOMPARE(style("p", "fontSize"), QString::number(QFontInfo(m_pane->view()->font()).pixelSize()) + "px");
    QCOMPARE(evaluate(*m_webview, QStringLiteral("getComputedStyle(document.body).marginLeft")).toString(),
             QStringLiteral("52px"));
    QTRY_VERIFY(evaluate(*m_webview, QStringLiteral("document.getElementById('wide').complete")).toBool());
    const QVariantList box =
        evaluate(*m_webview, QStringLiteral("(function() { const r = document.getElementById("
                                            "'wide').getBoundingClientRect(); return [r.right, "
                                            "r.width, r.height, document.documentElement."
                                            "clientWidth, document.documentElement.scrollWidth]"
                                            "; })()"))
            .toList();
    QCOMPARE(box.size(), 5);
    QVERIFY2(box[0].toDouble() <= box[3].toDouble(), "the picture ends inside the pane");
    QCOMPARE(box[4].toInt(), box[3].toInt()); // no horizontal scrolling
    QVERIFY(qAbs(box[1].toDouble() - 2 * box[2].toDouble()) <= 1.0);

    // The post's own rules win.
    showPost(QStringLiteral(
                 "<title>Own</title><style>body { margin: 3px; font-family: serif }</style><p id='p'>x</p>"),
             QStringLiteral("Own"));
    QCOMPARE(evaluate(*m_webview, QStringLiteral("getComputedStyle(document.body).marginLeft")).toString(),
             QStringLiteral("3px"));
    QCOMPARE(style("p", "fontFamily"), QStringLiteral("serif"));
}

PENHOLLOW_WEB_TEST_MAIN_PREPARED(TestPostContentView, (HtmlSchemeHandler::registerScheme(),
                                                       LocalPictureSchemeHandler::registerScheme()))
#include "TestPostContentView.moc"
