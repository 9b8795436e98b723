#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class WebView;

// The web view of a window that shows a page it was given (help, previews): the page stays put, links the
// user clicks open in the browser, and HTML of any size loads against its base address. The engine reports
// a script's move to another address as a link click too: only one that follows the user's own input in
// the view opens the browser, at most one for each click or key. In a page that runs scripts that is only
// the link the press was on, as the page stood before its scripts saw the press: under the pointer for a
// mouse button or a touch, focused by the user's own Tab or click for a key.
class PreviewPage : public QObject
{
    Q_OBJECT
public:
    // The engine takes HTML by address, and an address may not be longer than 2 MB once encoded.
    static constexpr qsizetype MaximumInlineHtmlBytes = 1400 * 1024;
    // How long after a press of a key or a release of a mouse button a link counts as the user's.
    static constexpr qint64 UserGestureMs = 1500;

    // Belongs to the view.
    explicit PreviewPage(WebView* view);

    // HTML of the size the engine takes inline loads against its base address; larger HTML is served
    // from memory with a <base> element. A view holding stranger content never gets a file: base.
    void loadHtml(const QString& html, const QUrl& baseAddress);
    void loadAddress(const QUrl& address);

    // The page stops and lets go of everything it holds (its window closed). What was asked to load, then
    // or later, loads on restore().
    void unload();
    void restore();

    // A <base> element for the address, put first into the head, so a page served without a base address
    // resolves its relative addresses against it.
    static QString withBaseElement(const QString& html, const QUrl& baseAddress);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool acceptNavigation(const QUrl& url, int type, bool isMainFrame);
    // Opens the address in the browser if it is the link of the user's latest click or key, and then that
    // click or key opens nothing more. In a page that runs scripts the answer comes later.
    void openIfUsersLink(const QUrl& url);
    bool takeInput();
    void watchInput(QObject* object);
    void connectPage();

    QPointer<WebView> m_view;
    // Main-frame loads this class started and the engine has not asked about yet.
    int m_ownLoads = 0;
    QElapsedTimer m_lastUserInput;
    // Since the latest press of a mouse button, a touch or a key, as it reached the view.
    QElapsedTimer m_lastPress;
    // The last click or key has not opened a link yet.
    bool m_inputUnused = false;
    // The latest load asked for, done again by restore().
    std::function<void()> m_load;
    bool m_unloaded = false;
};
