#pragma once

#include "platform/gui/WindowController.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace Ui {
class MiniBrowserWindow;
}
class PreviewPage;
class WebView;

// A small window with one web view that shows a given HTML text or the page at a given address under a
// given title: the help page and the preview of a post. It shows one page for its whole life; its users
// make a new controller for each page. Closed, it lets its page go; opened again, it loads it anew.
class MiniBrowserWindowController : public WindowController
{
    Q_OBJECT
public:
    explicit MiniBrowserWindowController(QObject* parent = nullptr);
    ~MiniBrowserWindowController() override;

    // Store what they are given at once and bring the window to the front on the main thread, later.
    // For pages of our own (help): relative addresses resolve among the resources.
    void openWindow(const QString& title, const QString& htmlContent);
    // For a page written by others (the preview of a post): it runs no script, has no local base and
    // reaches no local file; of the user's pictures it shows only those named (see LocalPictures).
    void openStrangerPage(const QString& title, const QString& htmlContent,
                          const QStringList& localPictures = {});
    void openWindowWithUrl(const QString& title, const QString& url);
    // The resource "help.html" under the title "Help"; a short page that says so when it cannot be read.
    void openHelp();
    // The same for the help page at the path.
    void openHelp(const QString& path);

    // The page shown in place of a help page that is missing or unreadable.
    static QString missingHelpHtml(const QString& path);

    std::optional<QString> title() const { return m_title; }
    std::optional<QString> htmlContent() const { return m_htmlContent; }
    std::optional<QString> urlToNavigate() const { return m_urlToNavigate; }

    WebView* webviewOutlet() const;

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;

private:
    void bringToFront();

    std::unique_ptr<Ui::MiniBrowserWindow> m_ui;
    PreviewPage* m_page = nullptr;
    std::optional<QString> m_title;
    std::optional<QString> m_htmlContent;
    std::optional<QString> m_urlToNavigate;
    bool m_strangerPage = false;
    QStringList m_localPictures;
};
