#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "model/PostEnumerations.h"
#include "platform/gui/ViewController.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class MenuContentView;
}
class LeftMenuViewController;
class QWidget;
class SettingsAndAccountViewController;

// The left column below the top bar: the three areas and the settings and account panel.
class MenuContentViewController : public ViewController
{
    Q_OBJECT
public:
    explicit MenuContentViewController(QObject* parent = nullptr);
    ~MenuContentViewController() override;

    std::function<void(PostArea area)> onAreaChangeRequest;
    std::function<void(const QString& account, const QString& blog)> onAccountAndBlogChangeRequest;
    std::function<void(const QString& userId)> onAccountChangeRequest;
    std::function<void()> onReauthentificateCurrentAccountRequest;
    std::function<void()> onRefreshCurrentAccountRequest;
    std::function<void()> onAddNewAccountRequest;
    std::function<void()> onAccountsAndBlogsSettingsPopupOpen;
    std::function<void()> onHelpRequest;

    // Any thread: handed on to the accounts popover.
    void listUsers(const QList<BloggerUser>& users, const QString& currentUser);
    void listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog);

    void publicPostsClicked();
    void draftPostsClicked();
    void localPostsClicked();

    LeftMenuViewController* publicPostsMenuController() const;
    LeftMenuViewController* draftPostsMenuController() const;
    LeftMenuViewController* localPostsMenuController() const;
    SettingsAndAccountViewController* settingsAndAccountViewController() const;
    QWidget* menuViewOutlet() const;
    QWidget* settingsAndAccountContainerViewOutlet() const;

    // Rows of the area entries, anchored to the top of the menu view.
    static constexpr int EntryHeight = 55;

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewSetup();
    void setEffectsBackground();
    void buildSettingsAndAccountView();
    void buildMenu();
    // The entry's view is framed in the parent, its bottom edge `offset` below the parent's top, but not
    // yet added to it.
    std::unique_ptr<LeftMenuViewController> createMenuView(int offset, const QString& title,
                                                           const QString& icon, const QString& activeIcon,
                                                           const QString& toolTip, bool active,
                                                           QWidget* parent);
    void entryClicked(LeftMenuViewController* entry);

    std::unique_ptr<Ui::MenuContentView> m_ui;
    std::unique_ptr<LeftMenuViewController> m_publicPostsMenuController;
    std::unique_ptr<LeftMenuViewController> m_draftPostsMenuController;
    std::unique_ptr<LeftMenuViewController> m_localPostsMenuController;
    // Made with the pane rather than with its view, so the lists can be handed on from any thread
    // without reading a pointer that the main thread is writing.
    std::unique_ptr<SettingsAndAccountViewController> m_settingsAndAccountViewController;
};
