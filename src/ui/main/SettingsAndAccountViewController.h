#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "platform/gui/ViewController.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class SettingsAndAccountView;
}
class AccountsAndBlogsPopoverViewController;
class AlternativeButtonView;
class Popover;

// The help and settings images of the left column; the settings image opens the accounts and blogs
// popover, whose requests this panel relays upward.
class SettingsAndAccountViewController : public ViewController
{
    Q_OBJECT
public:
    explicit SettingsAndAccountViewController(QObject* parent = nullptr);
    ~SettingsAndAccountViewController() override;

    std::function<void(const QString& account, const QString& blog)> onAccountAndBlogChangeRequest;
    std::function<void(const QString& userId)> onAccountChangeRequest;
    std::function<void()> onReauthentificateCurrentAccountRequest;
    std::function<void()> onRefreshCurrentAccountRequest;
    std::function<void()> onAddNewAccountRequest;
    std::function<void()> onAccountsAndBlogsSettingsPopupOpen;
    std::function<void()> onHelpRequest;

    AlternativeButtonView* helpImageOutlet() const;
    AlternativeButtonView* avatarImageOutlet() const;
    // The popover's content, one for the panel's whole life.
    AccountsAndBlogsPopoverViewController* controller() const;
    // The popover opened last; null before the first opening.
    Popover* popover() const;

    // Closes the popover opened last.
    void close();
    // Any thread: handed on to the popover's content.
    void listUsers(const QList<BloggerUser>& users, const QString& currentUser);
    void listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog);

protected:
    void loadView() override;

private:
    void setupView();
    void setupEvents();
    void helpClick();
    void settingsClick();

    std::unique_ptr<Ui::SettingsAndAccountView> m_ui;
    // Declared before the popover, which hands the content's view back when it goes.
    std::unique_ptr<AccountsAndBlogsPopoverViewController> m_controller;
    std::unique_ptr<Popover> m_popover;
};
