#pragma once

#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"
#include "platform/gui/ViewController.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class AccountsAndBlogsPopoverView;
}
class QComboBox;

// The content of the accounts and blogs popover: the signed-in accounts and the blogs of one, with the
// current ones preselected, and the requests to apply, sign in again, add an account and refresh.
class AccountsAndBlogsPopoverViewController : public ViewController
{
    Q_OBJECT
public:
    explicit AccountsAndBlogsPopoverViewController(QObject* parent = nullptr);
    ~AccountsAndBlogsPopoverViewController() override;

    std::function<void(const QString& account, const QString& blog)> onAccountAndBlogChangeRequest;
    std::function<void(const QString& userId)> onAccountChangeRequest;
    std::function<void()> onReauthentificateCurrentAccountRequest;
    std::function<void()> onRefreshCurrentAccountRequest;
    std::function<void()> onAddNewAccountRequest;

    // Any thread: the lists and ids are taken over on the main thread, in the order of the calls.
    void listUsers(const QList<BloggerUser>& users, const QString& currentUser);
    void listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog);

    // Main thread: what was last taken over.
    QString currentAccount() const { return m_currentAccount; }
    QString currentBlog() const { return m_currentBlog; }
    QList<BloggerUser> users() const { return m_users; }
    QList<BloggerBlog> blogs() const { return m_blogs; }

    QWidget* bannerViewOutlet() const;
    QComboBox* activeAccountComboBoxOutlet() const;
    QComboBox* activeBlogComboBoxOutlet() const;

    void activeAccountOutletChanged();
    void reauthentificateAccountButtonClick();
    void addNewAccountButtonClick();
    void refreshAccountAndBlogsButtonClick();
    void applySelectionButtonClick();
    void triggerConfigurationChange();

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupView();
    void fillAccounts();
    void fillBlogs();

    std::unique_ptr<Ui::AccountsAndBlogsPopoverView> m_ui;
    QString m_currentAccount;
    QString m_currentBlog;
    QList<BloggerUser> m_users;
    QList<BloggerBlog> m_blogs;
};
