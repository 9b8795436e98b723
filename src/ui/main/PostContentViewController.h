#pragma once

#include "model/BloggerPost.h"
#include "platform/gui/ViewController.h"

#include <memory>

namespace Ui {
class PostContentView;
}
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
    void viewSetup();
    void showDefaultPage();

    std::unique_ptr<Ui::PostContentView> m_ui;
};
