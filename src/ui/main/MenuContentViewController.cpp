#include "MenuContentViewController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class MenuContentView {}; }
class LeftMenuViewController : public QObject {};
class SettingsAndAccountViewController : public QObject {};
#include <QWidget>
#include <QMenu>
#include <QAction>
MenuContentViewController::MenuContentViewController(QObject* parent) : ViewController(parent) {}
void MenuContentViewController::listUsers(const QList<BloggerUser>& users, const QString& currentUser) {}
void MenuContentViewController::listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog) {}
void MenuContentViewController::publicPostsClicked() {}
void MenuContentViewController::draftPostsClicked() {}
void MenuContentViewController::localPostsClicked() {}
LeftMenuViewController* MenuContentViewController::publicPostsMenuController() const { return nullptr; }
LeftMenuViewController* MenuContentViewController::draftPostsMenuController() const { return nullptr; }
LeftMenuViewController* MenuContentViewController::localPostsMenuController() const { return nullptr; }
SettingsAndAccountViewController* MenuContentViewController::settingsAndAccountViewController() const { return nullptr; }
QWidget* MenuContentViewController::menuViewOutlet() const { return nullptr; }
QWidget* MenuContentViewController::settingsAndAccountContainerViewOutlet() const { return nullptr; }
void MenuContentViewController::loadView() { setView(std::make_unique<QWidget>()); }
void MenuContentViewController::viewSetup() {}
void MenuContentViewController::setEffectsBackground() {}
void MenuContentViewController::buildSettingsAndAccountView() {}
void MenuContentViewController::buildMenu() {}
MenuContentViewController::~MenuContentViewController() = default;
