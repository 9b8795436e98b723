#include "PostContentViewController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class PostContentView {}; }
#include <QWidget>
#include <QMenu>
#include <QAction>
PostContentViewController::PostContentViewController(QObject* parent) : ViewController(parent) {}
void PostContentViewController::loadHtml(const QString& html) {}
void PostContentViewController::loadHtmlOnMainThread(const BloggerPost& post) {}
void PostContentViewController::loadDefaultView() {}
WebView* PostContentViewController::webviewOutlet() const { return nullptr; }
void PostContentViewController::loadView() { setView(std::make_unique<QWidget>()); }
void PostContentViewController::viewSetup() {}
PostContentViewController::~PostContentViewController() = default;
