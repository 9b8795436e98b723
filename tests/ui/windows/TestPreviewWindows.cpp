#include "HostileContent.h"
#include "LocalHttpServer.h"
#include "ScriptResult.h"
#include "TestSupport.h"
#include "WebTestMain.h"

#include "platform/ApplicationFolders.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/HtmlSchemeHandler.h"
#include "platform/gui/LocalPictureSchemeHandler.h"
#include "platform/gui/WebView.h"
#include "ui/main/SpinnerView.h"
#include "ui/windows/LivePreviewWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"
#include "ui/windows/PreviewPage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEngineScript>

#include <memory>

namespace {

constexpr int LoadTimeout = 20000;

QVariant evaluate(WebView* view, const QString& script)
{
    return ScriptResult::evaluate(*view, script);
}

// The text of the page's body once the page has finished loading (pictures and style sheets too) and holds
// the expected text; else what it holds when the wait gave up, saying so.
QString waitForText(WebView* view, const QString& expected)
{
    QString text;
    const bool loaded = QTest::qWaitFor(
        [&] {
            text = evaluate(view, QStringLiteral("document.readyState + '|' + "
                                                 "(document.body ? document.body.innerText : '')"))
                       .toString();
            return text.startsWith(QStringLiteral("complete|")) && text.contains(expected);
        },
        LoadTimeout);
    text = text.mid(text.indexOf(QLatin1Char('|')) + 1);
    return loaded ? text
                  : QStringLiteral("<gave up waiting for a loaded page with \"%1\">: %2").arg(expected, text);
}

// Loads a frame from the server after whatever the page asked for so far: once the server sees it, the
// window has decided on every earlier navigation of the page (the engine hands them over in order).
bool navigationsDecided(LocalHttpServer& server, WebView* view)
{
    static int barriers = 0;
    const QByteArray path = "/barrier-" + QByteArray::number(++barriers);
    evaluate(view, QStringLiteral("var f = document.createElement('iframe'); f.src = '%1'; "
                                  "document.body.appendChild(f); true")
                       .arg(server.url(QString::fromLatin1(path)).toString()));
    return QTest::qWaitFor([&] { return !server.requestsFor(path).isEmpty(); }, LoadTimeout);
}

// A press and release of the mouse on the element, as a user clicks it.
bool clickElement(WebView* view, const QString& selector, bool linkExpected = true)
{
    const QVariantList centre =
        evaluate(view, QStringLiteral(
                           "(function() { const r = document.querySelector(\"%1\")"
                           ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")
                           .arg(selector))
            .toList();
    QWidget* input = view->focusProxy();
    if (centre.size() != 2 || !input) {
        return false;
    }
    const QPoint point(centre[0].toInt(), centre[1].toInt());
    // The pointer goes there first, as a user's does; over a link the page says so.
    QSignalSpy hovered(view->webPage(), &QWebEnginePage::linkHovered);
    QTest::mouseMove(input, point);
    if (linkExpected && !QTest::qWaitFor([&] { return !hovered.isEmpty(); }, LoadTimeout)) {
        return false;
    }
    QTest::mouseClick(input, Qt::LeftButton, {}, point);
    return true;
}

// The view's window is active and its page has the keyboard, as when the user types in it.
bool focusView(WebView* view)
{
    view->window()->activateWindow();
    if (!QTest::qWaitForWindowActive(view->window())) {
        return false;
    }
    view->setFocus();
    return QTest::qWaitFor([&] { return evaluate(view, "document.hasFocus()").toBool(); }, LoadTimeout);
}

// The renderer has exited (or is only waiting to be reaped).
bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

// A page that asks the server for the address every 50 ms as long as it runs: from a worker, whose timers a
// hidden page does not slow down.
QString tickingPage(const QString& text, const QUrl& address)
{
    return QStringLiteral("<html><body><p>%1</p><script>new Worker(URL.createObjectURL(new Blob(["
                          "\"let n = 0; setInterval(function () { fetch('%2?' + n++); }, 50);\"])));"
                          "</script></body></html>")
        .arg(text, address.toString());
}

} // namespace

// The live preview and the help and preview browser: titles, contents, base addresses, and pages that
// cannot take the window elsewhere.
class TestPreviewWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        m_server = std::make_unique<LocalHttpServer>();
        QVERIFY(m_server->start());
        m_server->route("/blog/style.css", "h1 { color: rgb(1, 2, 3); }", "text/css");
        m_server->route("/other", "<html><head><title>Other</title></head><body>Elsewhere</body></html>");
        ExternalUrlOpener::setOpener([this](const QUrl& url) {
            m_opened << url;
            return true;
        });
    }

    void cleanupTestCase() { ExternalUrlOpener::setOpener({}); }

    void init() { m_opened.clear(); }

    // ---- live preview ----

    void testEscapeAndCtrlWCloseEachWindow()
    {
        auto closesWith = [](QWidget* window, QKeyCombination keys) {
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window)) {
                return false;
            }
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : window, keys.key(), keys.keyboardModifiers());
            return QTest::qWaitFor([window] { return !window->isVisible(); }, 20000);
        };
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live Preview \u00B7 Low tide"));
        QTRY_VERIFY(live.isWindowLoaded() && live.window()->isVisible());
        QVERIFY2(closesWith(live.window(), QKeyCombination(Qt::Key_Escape)), "Live Preview, Escape");

        MiniBrowserWindowController preview;
        preview.openWindow(QStringLiteral("Preview \u00B7 Low tide"), QStringLiteral("<p>x</p>"));
        QTRY_VERIFY(preview.isWindowLoaded() && preview.window()->isVisible());
        QVERIFY2(closesWith(preview.window(), QKeyCombination(Qt::ControlModifier, Qt::Key_W)),
                 "Preview, Ctrl+W");

        MiniBrowserWindowController help;
        help.openHelp();
        QTRY_VERIFY(help.isWindowLoaded() && help.window()->isVisible());
        QVERIFY2(closesWith(help.window(), QKeyCombination(Qt::Key_Escape)), "Help, Escape");
    }

    void testLivePreviewShowsTitleItWasOpenedWith()
    {
        LivePreviewWindowController live;
        QCOMPARE(live.title(), QStringLiteral("Live Preview"));
        live.openWindow(QStringLiteral("Live Preview \u00B7 Low tide"));
        QVERIFY(!live.isWindowLoaded()); // opened later, on the main thread
        QTRY_VERIFY(live.isWindowLoaded() && live.window()->isVisible());
        QCOMPARE(live.window()->windowTitle(), QStringLiteral("Live Preview \u00B7 Low tide"));
        // Until the page comes, the spinner turns.
        QVERIFY(live.spinningIndicatorOutlet()->isVisible());
        QVERIFY(live.spinningIndicatorOutlet()->isAnimating());
    }

    void testContentGivenAfterLoadReplacesPageAndHidesSpinner()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        live.setHtmlContent(QStringLiteral("<html><body><h1>First</h1></body></html>"),
                            m_server->url("/blog/").toString());
        QVERIFY(waitForText(live.webviewOutlet(), "First").contains("First"));
        QVERIFY(!live.spinningIndicatorOutlet()->isVisible());
        live.setHtmlContent(QStringLiteral("<html><body><h1>Second</h1></body></html>"),
                            m_server->url("/blog/").toString());
        QVERIFY(waitForText(live.webviewOutlet(), "Second").contains("Second"));
    }

    void testContentGivenBeforeLoadIsShownWhenWindowLoads()
    {
        LivePreviewWindowController live;
        // From another thread, as the template reply arrives.
        std::unique_ptr<QThread> thread(QThread::create([&live, this] {
            live.setHtmlContent(QStringLiteral("<html><head><link rel='stylesheet' href='style.css'></head>"
                                               "<body><h1>Early</h1></body></html>"),
                                m_server->url("/blog/").toString());
        }));
        thread->start();
        QVERIFY(thread->wait(5000));
        QTRY_VERIFY(live.content().has_value());
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        QVERIFY(waitForText(live.webviewOutlet(), "Early").contains("Early"));
        QVERIFY(!live.spinningIndicatorOutlet()->isVisible());
        // Relative addresses resolve against the blog's address.
        QTRY_COMPARE(
            evaluate(live.webviewOutlet(), "getComputedStyle(document.querySelector('h1')).color").toString(),
            QStringLiteral("rgb(1, 2, 3)"));
    }

    void testBaseThatIsNoAddressLoadsWithoutBase()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        live.setHtmlContent(QStringLiteral("<html><body><p>Loose</p></body></html>"),
                            QStringLiteral("not an address"));
        QVERIFY(waitForText(live.webviewOutlet(), "Loose").contains("Loose"));
        QVERIFY(!live.baseURL().has_value());
    }

    void testScriptsRunButCannotTakeTheWindowElsewhere()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        const QString other = m_server->url("/other").toString();
        live.setHtmlContent(QStringLiteral("<html><body><p id='p'>Stay</p><script>"
                                           "document.getElementById('p').textContent += ' here';"
                                           "setTimeout(function () { location.href = '") +
                                other +
                                QStringLiteral("'; document.body.dataset.tried = 'yes'; }, 50);"
                                               "</script></body></html>"),
                            m_server->url("/blog/").toString());
        QVERIFY(waitForText(live.webviewOutlet(), "Stay here").contains("Stay here"));
        QTRY_COMPARE(evaluate(live.webviewOutlet(), "document.body.dataset.tried").toString(),
                     QStringLiteral("yes"));
        QVERIFY(navigationsDecided(*m_server, live.webviewOutlet()));
        QCOMPARE(waitForText(live.webviewOutlet(), "Stay here"), QStringLiteral("Stay here"));
        QVERIFY(m_server->requestsFor("/other").isEmpty());
        QVERIFY(m_opened.isEmpty());
    }

    void testClickedOrTabbedLinkOpensInBrowserAndPageStays()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        live.setHtmlContent(QStringLiteral("<html><body><a id='a' href='/other'>Read on</a> "
                                           "<a id='s' href='/scripted'>Scripted</a> <svg height='20'>"
                                           "<a id='v' href='/drawn'><text y='15'>Drawn</text></a></svg>"
                                           "</body></html>"),
                            m_server->url("/blog/").toString());
        WebView* web = live.webviewOutlet();
        QVERIFY(waitForText(web, "Read on").contains("Read on"));
        QVERIFY(focusView(web));
        // A script's own click is no user's: nothing opens.
        evaluate(web, "document.getElementById('s').click(); true");
        QVERIFY(navigationsDecided(*m_server, web));
        QVERIFY(m_opened.isEmpty());
        QVERIFY(clickElement(web, "#a"));
        QTRY_COMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first(), m_server->url("/other"));
        // From the clicked link the user's Tab goes on to the next, and Return opens that one.
        QTest::keyClick(web->focusProxy(), Qt::Key_Tab);
        QTRY_COMPARE(evaluate(web, "document.activeElement.id").toString(), QStringLiteral("s"));
        QTest::keyClick(web->focusProxy(), Qt::Key_Return);
        QTRY_COMPARE(m_opened.size(), 2);
        QCOMPARE(m_opened.last(), m_server->url("/scripted"));
        QVERIFY(clickElement(web, "#v"));
        QTRY_COMPARE(m_opened.size(), 3);
        QCOMPARE(m_opened.last(), m_server->url("/drawn"));
        // The links were handed on while the page's navigations were refused: the page stays.
        QCOMPARE(waitForText(web, "Read on"), QStringLiteral("Read on Scripted \nDrawn"));
        QVERIFY(m_server->requestsFor("/other").isEmpty() && m_server->requestsFor("/scripted").isEmpty() &&
                m_server->requestsFor("/drawn").isEmpty());
    }

    void testPageLargerThanAnAddressCanHoldStillLoadsWithItsBase()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        const QString filler =
            QStringLiteral("<p>%1</p>").arg(QString(200, QLatin1Char('x'))).repeated(10000);
        QVERIFY(filler.size() > PreviewPage::MaximumInlineHtmlBytes);
        live.setHtmlContent(QStringLiteral("<html><head><link rel='stylesheet' href='style.css'></head><body>"
                                           "<h1>Big</h1>") +
                                filler + QStringLiteral("<p>The end</p></body></html>"),
                            m_server->url("/blog/").toString());
        QVERIFY(waitForText(live.webviewOutlet(), "The end").contains("The end"));
        QTRY_COMPARE(
            evaluate(live.webviewOutlet(), "getComputedStyle(document.querySelector('h1')).color").toString(),
            QStringLiteral("rgb(1, 2, 3)"));
    }

    // ---- help and preview browser ----

    void testHelpOpensWithTitleStylesAndPictures()
    {
        MiniBrowserWindowController browser;
        browser.openHelp();
        QTRY_VERIFY(browser.isWindowLoaded() && browser.window()->isVisible());
        QCOMPARE(browser.window()->windowTitle(), QStringLiteral("Help"));
        WebView* web = browser.webviewOutlet();
        QVERIFY(waitForText(web, "Keyboard shortcuts").contains("Ctrl"));
        QCOMPARE(evaluate(web, "document.title").toString(), QStringLiteral("Penhollow Help"));
        QTRY_COMPARE(
            evaluate(web, "getComputedStyle(document.querySelector('header')).backgroundColor").toString(),
            QStringLiteral("rgb(240, 240, 240)"));
        // Every picture of the page resolves among the resources.
        QTRY_COMPARE(evaluate(web,
                              "Array.from(document.images).filter(i => !i.complete || i.naturalWidth == 0)"
                              ".map(i => i.getAttribute('src')).join(',')")
                         .toString(),
                     QString());
        QVERIFY(evaluate(web, "document.images.length").toInt() > 10);
    }

    void testHelpAnchorStaysInPageAndWebLinksOpenInBrowser()
    {
        MiniBrowserWindowController browser;
        browser.openHelp();
        QTRY_VERIFY(browser.isWindowLoaded());
        WebView* web = browser.webviewOutlet();
        QVERIFY(waitForText(web, "Keyboard shortcuts").contains("Ctrl"));
        evaluate(web, "document.querySelector(\"nav a[href='#comments']\").click(); true");
        QTRY_COMPARE(evaluate(web, "location.hash").toString(), QStringLiteral("#comments"));
        QVERIFY(m_opened.isEmpty());
        evaluate(
            web,
            "var a = document.createElement('a'); a.id = 'web'; a.textContent = 'Elsewhere'; a.href = '" +
                m_server->url("/other").toString() + "'; document.body.prepend(a); scrollTo(0, 0); true");
        QVERIFY(clickElement(web, "#web"));
        QTRY_COMPARE(m_opened.size(), 1);
        QCOMPARE(evaluate(web, "document.title").toString(), QStringLiteral("Penhollow Help"));
    }

    void testMissingHelpPageShowsShortPageThatSaysSo()
    {
        QTemporaryDir dir;
        MiniBrowserWindowController browser;
        browser.openHelp(dir.filePath("help.html"));
        QTRY_VERIFY(browser.isWindowLoaded());
        QCOMPARE(browser.window()->windowTitle(), QStringLiteral("Help"));
        QVERIFY(waitForText(browser.webviewOutlet(), "Help is not available")
                    .contains(dir.filePath("help.html")));
    }

    void testHelpPageThatIsNoUtf8ShowsShortPage()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("help.html"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><body>Caf\xe9 \xff\xfe</body></html>");
        file.close();
        MiniBrowserWindowController browser;
        browser.openHelp(file.fileName());
        QTRY_VERIFY(browser.isWindowLoaded());
        QVERIFY(
            waitForText(browser.webviewOutlet(), "Help is not available").contains("Help is not available"));
    }

    void testPreviewWithEmptyHtmlShowsEmptyPageUnderTitle()
    {
        MiniBrowserWindowController browser;
        browser.openWindow(QStringLiteral("Preview \u00B7 Nothing yet"), QString());
        QTRY_VERIFY(browser.isWindowLoaded() && browser.window()->isVisible());
        QCOMPARE(browser.window()->windowTitle(), QStringLiteral("Preview \u00B7 Nothing yet"));
        QTRY_COMPARE(
            evaluate(browser.webviewOutlet(), "document.body ? document.body.innerText : 'none'").toString(),
            QString());
    }

    void testSecondOpenKeepsFirstPageAndTitle()
    {
        MiniBrowserWindowController browser;
        browser.openWindow(QStringLiteral("First"), QStringLiteral("<p>One</p>"));
        QTRY_VERIFY(browser.isWindowLoaded());
        QVERIFY(waitForText(browser.webviewOutlet(), "One").contains("One"));
        const QUrl first = browser.webviewOutlet()->url();
        browser.openWindow(QStringLiteral("Second"), QStringLiteral("<p>Two</p>"));
        // The window is brought to front by a job on the main thread; a load would have begun in it.
        QVERIFY(TestSupport::mainThreadCaughtUp());
        QCOMPARE(browser.webviewOutlet()->url(), first);
        QCOMPARE(browser.window()->windowTitle(), QStringLiteral("First"));
        QCOMPARE(waitForText(browser.webviewOutlet(), "One"), QStringLiteral("One"));
        QCOMPARE(browser.htmlContent(), std::optional<QString>(QStringLiteral("<p>Two</p>")));
    }

    void testPreviewRunsNoScriptAndShowsOnlyTheNamedPicturesOfTheImagesFolder()
    {
        const QString folder = ApplicationFolders::applicationsFolder();
        QDir().mkpath(folder);
        QVERIFY(
            HostileContent::writeFile(folder + QStringLiteral("/D07-dot.png"), HostileContent::pngBytes()));
        QVERIFY(
            HostileContent::writeFile(folder + QStringLiteral("/D08-other.png"), HostileContent::pngBytes()));
        MiniBrowserWindowController browser;
        browser.openStrangerPage(
            QStringLiteral("Preview"),
            QStringLiteral("<p id='p'>Pic</p><img id='i' src='penhollow-picture://pictures/D07-dot.png'>"
                           "<img id='j' src='penhollow-picture://pictures/D08-other.png'>"
                           "<script>document.getElementById('p').textContent = 'ran';</script>"),
            {QStringLiteral("D07-dot.png")});
        QTRY_VERIFY(browser.isWindowLoaded());
        WebView* web = browser.webviewOutlet();
        const auto own = [web](const QString& script) {
            return ScriptResult::evaluate(*web, script, QWebEngineScript::ApplicationWorld);
        };
        QTRY_COMPARE_WITH_TIMEOUT(own("document.getElementById('i').naturalWidth").toInt(), 1, LoadTimeout);
        QTRY_VERIFY(own("document.getElementById('j').complete").toBool());
        QCOMPARE(own("document.getElementById('j').naturalWidth").toInt(), 0);
        QCOMPARE(own("document.getElementById('p').textContent").toString(), QStringLiteral("Pic"));
        QVERIFY(!web->url().isLocalFile());
    }

    void testScriptCannotTurnAClickElsewhereIntoAnOpening()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        const QString other = m_server->url("/other").toString();
        // A click on the text makes the page's script open a window, then follow a link, of its own.
        live.setHtmlContent(
            QStringLiteral(
                "<html><body><p id='p' style='height: 80px'>Text</p><a id='a' href='/blog/next'>Next</a>"
                "<a id='b' href='%1' style='display: none'>x</a>"
                "<script>document.addEventListener('click', function (e) {"
                " if (e.target.id !== 'p') { return; } window.open('%1');"
                " document.getElementById('b').click(); document.body.dataset.tried = 'yes'; });"
                "</script></body></html>")
                .arg(other),
            m_server->url("/blog/").toString());
        QVERIFY(waitForText(live.webviewOutlet(), "Next").contains("Next"));
        QVERIFY(clickElement(live.webviewOutlet(), "#p", false));
        QTRY_COMPARE(evaluate(live.webviewOutlet(), "document.body.dataset.tried").toString(),
                     QStringLiteral("yes"));
        // The user's own click on a link comes after the script's attempts, and is the only one that opens.
        QVERIFY(clickElement(live.webviewOutlet(), "#a"));
        QTRY_COMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened, QList<QUrl>{m_server->url("/blog/next")});
        QVERIFY(waitForText(live.webviewOutlet(), "Next").startsWith(QStringLiteral("Text")));
        QVERIFY(m_server->requestsFor("/other").isEmpty());
    }

    // A template's script cancels the user's click, or answers a key, by clicking the link under the pointer
    // again and again.
    void testOneClickOrKeyOpensAtMostOneLink()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        live.setHtmlContent(
            QStringLiteral(
                "<html><body><a id='a' href='/blog/post'>Post</a> <a id='b' href='/blog/after'>After</a>"
                "<script>let bursts = 0; function burst() { const copy = document.getElementById('a')"
                ".cloneNode(true); copy.id = ''; document.body.appendChild(copy); let n = 0;"
                " (function again() { copy.click(); if (++n < 30) { setTimeout(again, 10); }"
                " else { document.body.dataset.bursts = ++bursts; } })(); }"
                "document.addEventListener('click', function (e) { if (e.isTrusted && e.target.id === 'a') {"
                " e.preventDefault(); burst(); } });"
                "document.addEventListener('keydown', function (e) { if (e.isTrusted) { burst(); } });"
                "</script></body></html>"),
            m_server->url("/blog/").toString());
        WebView* web = live.webviewOutlet();
        QVERIFY(waitForText(web, "After").contains("After"));
        QVERIFY(clickElement(web, "#a"));
        QTRY_COMPARE(evaluate(web, "document.body.dataset.bursts").toString(), QStringLiteral("1"));
        // The click left the link focused: the key is on it.
        QTest::keyClick(web->focusProxy(), Qt::Key_Down);
        QTRY_COMPARE(evaluate(web, "document.body.dataset.bursts").toString(), QStringLiteral("2"));
        // The user's next click comes after every click of the script's.
        QVERIFY(clickElement(web, "#b"));
        QTRY_VERIFY(m_opened.contains(m_server->url("/blog/after")));
        const QUrl post = m_server->url("/blog/post");
        QCOMPARE(m_opened, (QList<QUrl>{post, post, m_server->url("/blog/after")}));
    }

    // A template answers a click on its text by laying a transparent link under the still pointer, each key
    // by opening a window and focusing a link of its own (made for the first key, already focused at the
    // second), and a click in its frame by clicking a link whose own click it cancelled before; it clicks
    // each link after the input.
    void testLinkThePageLaysOrFocusesAfterAnInputOpensNothing()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        live.setHtmlContent(
            QStringLiteral(
                "<html><body><p id='p' style='height: 80px'>Text</p><a id='a' href='/blog/real'>Real</a>"
                " <a id='k' href='/blog/kept'>Kept</a><iframe id='f' srcdoc='<p>Frame</p>'></iframe>"
                "<script>const evil = 'http://evil.example/phish'; function later(link, ms) {"
                " setTimeout(function () { link.click();"
                " document.body.dataset.tricks = (+document.body.dataset.tricks || 0) + 1; }, ms); }"
                "const k = document.getElementById('k'), f = document.getElementById('f');"
                "k.addEventListener('click', function (e) { if (e.isTrusted) { e.preventDefault(); } });"
                "f.onload = function () { f.contentDocument.addEventListener('mouseup', function () {"
                " later(k, 100); }); };"
                "document.addEventListener('mouseup', function (e) {"
                " if (!e.isTrusted || e.target.id !== 'p') { return; } const a = document.createElement('a');"
                " a.href = evil; a.style.cssText = 'position: fixed; inset: 0; opacity: 0';"
                " document.body.appendChild(a); later(a, 300);"
                " setTimeout(function () { a.remove(); }, 600); });"
                "document.addEventListener('keydown', function (e) { if (!e.isTrusted) { return; }"
                " let a = document.getElementById('e'); if (!a) { a = document.createElement('a');"
                " a.id = 'e'; a.href = evil; a.textContent = 'x'; document.body.appendChild(a); a.focus(); }"
                " window.open(evil); later(a, 150); });"
                "</script></body></html>"),
            m_server->url("/blog/").toString());
        WebView* web = live.webviewOutlet();
        QVERIFY(waitForText(web, "Real").contains("Real"));
        // The page has the keyboard, so focus moves in it as the user sees it.
        QVERIFY(focusView(web));
        QVERIFY(clickElement(web, "#k"));
        QVERIFY(clickElement(web, "#f", false));
        QTRY_COMPARE(evaluate(web, "document.body.dataset.tricks").toString(), QStringLiteral("1"));
        QVERIFY(clickElement(web, "#p", false));
        QTRY_COMPARE(evaluate(web, "document.body.dataset.tricks").toString(), QStringLiteral("2"));
        QTRY_VERIFY(!evaluate(web, "document.querySelector('a[style]')").isValid());
        QTest::keyClick(web->focusProxy(), Qt::Key_Down);
        QTRY_COMPARE(evaluate(web, "document.body.dataset.tricks").toString(), QStringLiteral("3"));
        QTest::keyClick(web->focusProxy(), Qt::Key_Down);
        QTRY_COMPARE(evaluate(web, "document.body.dataset.tricks").toString(), QStringLiteral("4"));
        // The user's own click on a link comes after every trick, and is the only one that opens.
        QVERIFY(clickElement(web, "#a"));
        QTRY_VERIFY(!m_opened.isEmpty());
        QCOMPARE(m_opened, QList<QUrl>{m_server->url("/blog/real")});
    }

    // A template's scripts keep running while its window is kept: a closed live preview lets its page go,
    // loads nothing it is given while closed, and opened again shows the latest page.
    void testClosedLivePreviewStopsItsPageAndOpensItAgain()
    {
        LivePreviewWindowController live;
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(live.isWindowLoaded());
        live.setHtmlContent(tickingPage(QStringLiteral("First"), m_server->url("/blog/first")),
                            m_server->url("/blog/").toString());
        QTRY_VERIFY(m_server->requestsFor("/blog/first").size() >= 3);
        const qint64 renderer = live.webviewOutlet()->webPage()->renderProcessPid();
        QVERIFY(renderer > 0);
        live.close();
        QTRY_VERIFY(processGone(renderer));

        // A second page ticks on: ten of its ticks are ten the closed page would have made.
        LivePreviewWindowController probe;
        probe.openWindow(QStringLiteral("Probe"));
        QTRY_VERIFY(probe.isWindowLoaded());
        probe.setHtmlContent(tickingPage(QStringLiteral("Probe"), m_server->url("/blog/probe")),
                             m_server->url("/blog/").toString());
        const auto probeTicked = [this](int times) {
            const qsizetype before = m_server->requestsFor("/blog/probe").size();
            return QTest::qWaitFor(
                [&] { return m_server->requestsFor("/blog/probe").size() >= before + times; }, LoadTimeout);
        };
        QVERIFY(probeTicked(5));
        const qsizetype first = m_server->requestsFor("/blog/first").size();
        QVERIFY(probeTicked(10));
        QCOMPARE(m_server->requestsFor("/blog/first").size(), first);
        live.setHtmlContent(tickingPage(QStringLiteral("Second"), m_server->url("/blog/second")),
                            m_server->url("/blog/").toString());
        QVERIFY(TestSupport::mainThreadCaughtUp());
        QVERIFY(probeTicked(10));
        QVERIFY(m_server->requestsFor("/blog/second").isEmpty());

        // Scripts evaluated before the page loads would wait for nothing.
        QSignalSpy loaded(live.webviewOutlet(), &WebView::pageLoaded);
        live.openWindow(QStringLiteral("Live"));
        QTRY_VERIFY(!loaded.isEmpty());
        QVERIFY(waitForText(live.webviewOutlet(), "Second").contains("Second"));
        QTRY_VERIFY(!m_server->requestsFor("/blog/second").isEmpty());
        QCOMPARE(m_server->requestsFor("/blog/first").size(), first);
    }

    // The help window lets its page go when closed, and asked again shows it anew.
    void testClosedHelpLetsItsPageGoAndShowsItAgain()
    {
        MiniBrowserWindowController browser;
        browser.openHelp();
        QTRY_VERIFY(browser.isWindowLoaded());
        QVERIFY(waitForText(browser.webviewOutlet(), "Keyboard shortcuts").contains("Ctrl"));
        const qint64 renderer = browser.webviewOutlet()->webPage()->renderProcessPid();
        QVERIFY(renderer > 0);
        browser.close();
        QTRY_VERIFY(processGone(renderer));
        QSignalSpy loaded(browser.webviewOutlet(), &WebView::pageLoaded);
        browser.openHelp();
        QTRY_VERIFY(!loaded.isEmpty());
        QVERIFY(browser.window()->isVisible());
        QVERIFY(waitForText(browser.webviewOutlet(), "Keyboard shortcuts").contains("Ctrl"));
        QCOMPARE(browser.window()->windowTitle(), QStringLiteral("Help"));
    }

    void testAddressOpensThatPage()
    {
        MiniBrowserWindowController browser;
        browser.openWindowWithUrl(QStringLiteral("Other"), m_server->url("/other").toString());
        QTRY_VERIFY(browser.isWindowLoaded());
        QVERIFY(waitForText(browser.webviewOutlet(), "Elsewhere").contains("Elsewhere"));
        QCOMPARE(browser.window()->windowTitle(), QStringLiteral("Other"));
    }

private:
    std::unique_ptr<LocalHttpServer> m_server;
    QList<QUrl> m_opened;
};

PENHOLLOW_WEB_TEST_MAIN_PREPARED(TestPreviewWindows, (HtmlSchemeHandler::registerScheme(),
                                                      LocalPictureSchemeHandler::registerScheme()))

#include "TestPreviewWindows.moc"
