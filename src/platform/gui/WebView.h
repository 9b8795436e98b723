#pragma once

#include <QSet>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

class HtmlSchemeHandler;
class LocalPictureSchemeHandler;
class QWebEngineContextMenuRequest;
class QWebEngineProfile;
class QWebEngineUrlRequestInfo;
class UrlRequestInterceptor;
class WebPage;

// The web view every window stands on. Each view has its own page and, unless it names a persistent
// profile, its own private profile, so interceptors and cookies never leak from one view to another.
// Everything here runs on the main thread and nothing waits: results come back through closures.
class WebView : public QWebEngineView
{
    Q_OBJECT
    // Set from an interface file to keep cookies and storage under the data folder (see WebEngineProfiles).
    Q_PROPERTY(QString persistentProfileName READ persistentProfileName WRITE setPersistentProfileName)

public:
    using ScriptCallback = std::function<void(const QVariant& result)>;
    using LoadFinishedBlock = std::function<void(bool ok, const QString& title)>;
    using NavigationPolicy =
        std::function<bool(const QUrl& url, QWebEnginePage::NavigationType type, bool isMainFrame)>;
    using RequestInterception = std::function<void(QWebEngineUrlRequestInfo& info)>;
    // Whether the engine's own context menu may open for this request; unset always allows it.
    using ContextMenuFilter = std::function<bool(const QWebEngineContextMenuRequest& request)>;

    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    // Empty: a private in-memory profile. Switching profiles makes a new page, so do it before loading;
    // the closures set on the view are kept.
    QString persistentProfileName() const;
    void setPersistentProfileName(const QString& name);
    // An empty page takes the current one's place. The old page follows no link and goes, with everything
    // its document holds, once the event being handled is over (it may be handing us a script's result
    // now). A private profile goes with it, so the new page never shares the old one's renderer process
    // and a page that stopped answering never answers again; a persistent profile (its cookies and
    // storage) stays. The view's closures, stranger-content settings and local pictures carry over;
    // settings made on the page itself and its web channel do not.
    void replacePage();

    // The page shows what strangers wrote (posts, blog templates): it reaches no local file but those of
    // the resources folder (the pane's own default page), opens no window and runs scripts only when
    // asked. Keeps across pages; set it before the first load.
    void holdStrangerContent(bool runScripts);
    bool holdsStrangerContent() const { return m_strangerContent; }
    // None until setLocalPictures named some.
    LocalPictureSchemeHandler* localPictureSchemeHandler() const { return m_pictureSchemeHandler; }
    // File names in the images folder that the page may show through the picture scheme (see
    // LocalPictures); needs LocalPictureSchemeHandler::registerScheme() before the application object.
    // Only a view holding stranger content without scripts shows any: where scripts run, the engine
    // would let them read the pictures back (those pages get them from LocalPictureServer).
    void setLocalPictures(const QStringList& names);

    void loadAddress(const QUrl& address);
    // Relative addresses in the HTML resolve against baseAddress, which is also the page's origin.
    // The engine passes the HTML as a data address, so it cannot be larger than 2 MB. A view holding
    // stranger content never takes a file: base: the page would be a local one.
    void loadHtml(const QString& html, const QUrl& baseAddress);
    // HTML of any size, served from memory; it has no base address, so relative addresses stay unresolved.
    // Needs HtmlSchemeHandler::registerScheme() before the application object was made. Returns the address
    // the document loads from, which names this load alone.
    QUrl loadDocument(const QString& html);

    // The callback runs later on the main thread with the script's value (invalid when the script gave
    // nothing or failed), and never once the view is gone.
    void evaluateScript(const QString& script, ScriptCallback callback,
                        quint32 worldId = QWebEngineScript::MainWorld);

    enum class ScriptAnswer
    {
        Answered,
        NoAnswer,
        PageEnded
    };
    using DeadlineCallback = std::function<void(ScriptAnswer answer, const QVariant& result)>;
    // The same, for a page that may never answer (a script of its own that never ends holds every later
    // one): the callback runs once, with the value, or with NoAnswer when scriptDeadlineMs passed first, or
    // with PageEnded when the page's renderer process ended (crashed or was killed) first. Never once the
    // view is gone or the page was replaced.
    void evaluateScriptWithin(const QString& script, DeadlineCallback callback,
                              quint32 worldId = QWebEngineScript::MainWorld);
    int scriptDeadlineMs() const { return m_scriptDeadlineMs; }
    // Tests shorten it.
    void setScriptDeadlineMs(int milliseconds) { m_scriptDeadlineMs = milliseconds; }

    // Called after every finished load with the page title as it stands then.
    void setLoadFinishedBlock(LoadFinishedBlock block);
    // Asked before every navigation; unset accepts everything.
    void setNavigationPolicy(NavigationPolicy policy);
    // Sees every request the page makes (documents, scripts, images, XHR); unset changes nothing.
    void setRequestInterception(RequestInterception interception);
    void setContextMenuFilter(ContextMenuFilter filter);
    // When set, the page reaches no local file outside these folders (after the interception above).
    void setLocalFolders(std::optional<QStringList> folders);

    WebPage* webPage() const;
    QWebEngineProfile* webProfile() const;

Q_SIGNALS:
    void pageLoaded(bool ok, const QString& title);

protected:
    // The engine's colour chooser (the dialog an <input type=color> opens) never shows: a page could lay a
    // colour input under every click. It is the only dialog the engine still puts on a view, and nothing of
    // ours puts one there, so every dialog made on the view is kept off the screen and refused at once.
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Also how the engine hands the keyboard on when Tab leaves the page.
    bool focusNextPrevChild(bool next) override;

private:
    void usePage(std::shared_ptr<QWebEngineProfile> profile);
    void releasePage();
    // Shown in the view; the page in m_page is still the old one.
    WebPage* putInNewPage(QWebEngineProfile* profile);
    // Settings of the view for the page just put in.
    void setUpPage();
    void onLoadFinished(bool ok);
    void applyStrangerSettings();

    QString m_persistentProfileName;
    std::shared_ptr<QWebEngineProfile> m_profile;
    WebPage* m_page = nullptr;
    UrlRequestInterceptor* m_interceptor = nullptr;
    std::shared_ptr<bool> m_alive;
    LoadFinishedBlock m_loadFinishedBlock;
    NavigationPolicy m_navigationPolicy;
    ContextMenuFilter m_contextMenuFilter;
    HtmlSchemeHandler* m_htmlSchemeHandler = nullptr;
    LocalPictureSchemeHandler* m_pictureSchemeHandler = nullptr;
    QSet<QString> m_localPictures;
    bool m_strangerContent = false;
    bool m_runScripts = true;
    int m_scriptDeadlineMs = 5000;
    // The page's renderer process ended; a new page of the view starts without.
    bool m_pageEnded = false;
};
