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
// the view opens the browser, at most one for each click or key, and in a page that runs scripts only a
// link the pointer is on (a script cannot take the user's click elsewhere).
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
    // Whether an address the page asks to open comes from the user's own click on a link at this moment;
    // if so, that click or key opens nothing more.
    bool takeUsersLink(const QUrl& url);
    void watchInput(QObject* object);
    void connectPage();

    QPointer<WebView> m_view;
    // Main-frame loads this class started and the engine has not asked about yet.
    int m_ownLoads = 0;
    QElapsedTimer m_lastUserInput;
    // The last click or key has not opened a link yet.
    bool m_inputUnused = false;
    QUrl m_hoveredLink;
    // The latest load asked for, done again by restore().
    std::function<void()> m_load;
    bool m_unloaded = false;
};
