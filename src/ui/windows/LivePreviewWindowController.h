#pragma once

#include "platform/gui/WindowController.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace Ui {
class LivePreviewWindow;
}
class PreviewPage;
class SpinnerView;
class WebView;

// The post being edited, shown inside its blog's own page. The window displays what it is given: a spinner
// until the page arrives, then the page. Scripts of the page run, but on an origin that reaches no local
// file, and the page cannot move the window to another address; links the user clicks open in the
// browser. A closed window's page is let go at once; opened again, the window loads the latest page anew.
class LivePreviewWindowController : public WindowController
{
    Q_OBJECT
public:
    explicit LivePreviewWindowController(QObject* parent = nullptr);
    ~LivePreviewWindowController() override;

    // Any thread: the title is kept and the window brought to the front on the main thread.
    void openWindow(const QString& title);
    // Any thread: the page and its base address (a text that makes no address gives none) are kept and
    // shown on the main thread; a page given before the window loaded is shown when it loads.
    void setHtmlContent(const QString& content, const QString& baseUrl);

    // Main thread.
    QString title() const { return m_title; }
    std::optional<QString> content() const { return m_content; }
    std::optional<QUrl> baseURL() const { return m_baseURL; }

    SpinnerView* spinningIndicatorOutlet() const;
    WebView* webviewOutlet() const;

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;

private:
    void showContent();

    std::unique_ptr<Ui::LivePreviewWindow> m_ui;
    PreviewPage* m_page = nullptr;
    QString m_title = QStringLiteral("Live Preview");
    std::optional<QString> m_content;
    std::optional<QUrl> m_baseURL;
};
