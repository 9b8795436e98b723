#pragma once

#include "model/BloggerPost.h"
#include "platform/gui/ViewController.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <optional>

namespace Ui {
class PostContentView;
}
class QTimer;
class QWebEngineLoadingInfo;
class WebView;

// The selected post's content in a web view, or the default page when no post is shown.
class PostContentViewController : public ViewController
{
    Q_OBJECT
public:
    explicit PostContentViewController(QObject* parent = nullptr);
    ~PostContentViewController() override;

    // Main thread: loads the HTML, with no base address.
    void loadHtml(const QString& html);
    // Any thread; loads on the main thread in call order. The post's content is taken at the call.
    void loadHtmlOnMainThread(const BloggerPost& post);
    void loadDefaultView();

    WebView* webviewOutlet() const;

protected:
    void loadView() override;

private:
    // What the pane is to show: a post's HTML, or else the page at an address.
    struct Load
    {
        std::optional<QString> html;
        QUrl address;
        // The user's own pictures the post may show.
        QStringList pictures;
        int attempt = 0;
    };

    void viewSetup();
    void showDefaultPage();
    // One load at a time: the engine may drop a load that begins while another is under way, which left
    // the pane on an older post than the header. The latest load asked for waits for the current one.
    void requestLoad(Load load);
    void scheduleLoad();
    void startWantedLoad();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void checkLoadUnderWay();
    void endCurrentLoad(bool shown, bool failed);

    std::unique_ptr<Ui::PostContentView> m_ui;
    // The load under way and the address that names it.
    std::optional<Load> m_current;
    QUrl m_currentAddress;
    // The latest load asked for and not begun; a later request replaces it.
    std::optional<Load> m_wanted;
    bool m_loadScheduled = false;
    QTimer* m_loadWatch = nullptr;
};
