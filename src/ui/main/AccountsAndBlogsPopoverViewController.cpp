#include "AccountsAndBlogsPopoverViewController.h"

#include "ui_AccountsAndBlogsPopoverView.h"

#include "common/GoogleServiceConstants.h"
#include "platform/Dispatch.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QComboBox>
#include <QEvent>
#include <QPushButton>

AccountsAndBlogsPopoverViewController::AccountsAndBlogsPopoverViewController(QObject* parent)
    : ViewController(parent), m_currentAccount(GoogleServiceConstants::NoId()),
      m_currentBlog(GoogleServiceConstants::NoId())
{
}

AccountsAndBlogsPopoverViewController::~AccountsAndBlogsPopoverViewController() = default;

QWidget* AccountsAndBlogsPopoverViewController::bannerViewOutlet() const
{
    return isViewLoaded() ? m_ui->bannerViewOutlet : nullptr;
}

QComboBox* AccountsAndBlogsPopoverViewController::activeAccountComboBoxOutlet() const
{
    return isViewLoaded() ? m_ui->activeAccountComboBoxOutlet : nullptr;
}

QComboBox* AccountsAndBlogsPopoverViewController::activeBlogComboBoxOutlet() const
{
    return isViewLoaded() ? m_ui->activeBlogComboBoxOutlet : nullptr;
}

void AccountsAndBlogsPopoverViewController::loadView()
{
    m_ui = std::make_unique<Ui::AccountsAndBlogsPopoverView>();
    setView(viewFromInterface(*m_ui));
    setupView();
    fillAccounts();
    fillBlogs();
}

void AccountsAndBlogsPopoverViewController::setupView()
{
    ViewBackground::setColor(m_ui->bannerViewOutlet, UiColors::banner());
    ViewBackground::setColor(view(), UiColors::paneBackground());

    // Only a choice the user makes counts, not the refills.
    connect(m_ui->activeAccountComboBoxOutlet, &QComboBox::activated, this,
            &AccountsAndBlogsPopoverViewController::activeAccountOutletChanged);
    connect(m_ui->reauthentificateAccountButton, &QPushButton::clicked, this,
            &AccountsAndBlogsPopoverViewController::reauthentificateAccountButtonClick);
    connect(m_ui->addNewAccountButton, &QPushButton::clicked, this,
            &AccountsAndBlogsPopoverViewController::addNewAccountButtonClick);
    connect(m_ui->refreshAccountAndBlogsButton, &QPushButton::clicked, this,
            &AccountsAndBlogsPopoverViewController::refreshAccountAndBlogsButtonClick);
    connect(m_ui->applySelectionButton, &QPushButton::clicked, this,
            &AccountsAndBlogsPopoverViewController::applySelectionButtonClick);
    // Return presses the button that has the focus, as Space does.
    for (QPushButton* button : {m_ui->reauthentificateAccountButton, m_ui->addNewAccountButton,
                                m_ui->refreshAccountAndBlogsButton, m_ui->applySelectionButton}) {
        button->setAutoDefault(true);
    }
    // Auto-default also makes the button the focus reaches the default one, drawn framed and tinted until the
    // focus moves to another control; the popover closing under it (Add Account) would leave it so for good.
    for (QPushButton* button : {m_ui->reauthentificateAccountButton, m_ui->addNewAccountButton,
                                m_ui->refreshAccountAndBlogsButton}) {
        button->installEventFilter(this);
    }
}

bool AccountsAndBlogsPopoverViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (auto* button = qobject_cast<QPushButton*>(watched)) {
            button->setDefault(false);
        }
    }
    return ViewController::eventFilter(watched, event);
}

void AccountsAndBlogsPopoverViewController::listUsers(const QList<BloggerUser>& users,
                                                      const QString& currentUser)
{
    Dispatch::toMainThread(this, [this, users, currentUser] {
        m_currentAccount = currentUser;
        m_users = users;
        if (isViewLoaded()) {
            fillAccounts();
        }
    });
}

void AccountsAndBlogsPopoverViewController::listBlogs(const QList<BloggerBlog>& blogs,
                                                      const QString& currentBlog)
{
    Dispatch::toMainThread(this, [this, blogs, currentBlog] {
        m_currentBlog = currentBlog;
        m_blogs = blogs;
        if (isViewLoaded()) {
            fillBlogs();
        }
    });
}

// Preselection goes by id: names repeat (two blogs with one title), and apply must send the item shown.
void AccountsAndBlogsPopoverViewController::fillAccounts()
{
    QComboBox* box = m_ui->activeAccountComboBoxOutlet;
    box->clear();
    int selected = -1;
    for (int i = 0; i < m_users.size(); ++i) {
        box->addItem(m_users[i].userName);
        if (selected < 0 && m_users[i].userId == m_currentAccount) {
            selected = i;
        }
    }
    box->setCurrentIndex(selected);
}

void AccountsAndBlogsPopoverViewController::fillBlogs()
{
    QComboBox* box = m_ui->activeBlogComboBoxOutlet;
    box->clear();
    int selected = -1;
    for (int i = 0; i < m_blogs.size(); ++i) {
        box->addItem(m_blogs[i].blogName);
        if (selected < 0 && m_blogs[i].blogId == m_currentBlog) {
            selected = i;
        }
    }
    if (selected < 0 && !m_blogs.isEmpty()) {
        selected = 0;
    }
    box->setCurrentIndex(selected);
}

void AccountsAndBlogsPopoverViewController::activeAccountOutletChanged()
{
    if (!isViewLoaded()) {
        return;
    }
    const int index = m_ui->activeAccountComboBoxOutlet->currentIndex();
    if (index < 0 || index >= m_users.size() || !onAccountChangeRequest) {
        return;
    }
    auto request = onAccountChangeRequest;
    request(m_users[index].userId);
}

void AccountsAndBlogsPopoverViewController::reauthentificateAccountButtonClick()
{
    if (onReauthentificateCurrentAccountRequest) {
        auto request = onReauthentificateCurrentAccountRequest;
        request();
    }
}

void AccountsAndBlogsPopoverViewController::addNewAccountButtonClick()
{
    if (onAddNewAccountRequest) {
        auto request = onAddNewAccountRequest;
        request();
    }
}

void AccountsAndBlogsPopoverViewController::refreshAccountAndBlogsButtonClick()
{
    if (onRefreshCurrentAccountRequest) {
        auto request = onRefreshCurrentAccountRequest;
        request();
    }
}

void AccountsAndBlogsPopoverViewController::applySelectionButtonClick()
{
    triggerConfigurationChange();
}

void AccountsAndBlogsPopoverViewController::triggerConfigurationChange()
{
    const int accountIndex = isViewLoaded() ? m_ui->activeAccountComboBoxOutlet->currentIndex() : -1;
    const int blogIndex = isViewLoaded() ? m_ui->activeBlogComboBoxOutlet->currentIndex() : -1;
    QString account = GoogleServiceConstants::NoId();
    QString blog = GoogleServiceConstants::NoId();
    if (accountIndex >= 0 && accountIndex < m_users.size()) {
        account = m_users[accountIndex].userId;
    }
    if (blogIndex >= 0 && blogIndex < m_blogs.size()) {
        blog = m_blogs[blogIndex].blogId;
    }
    if (onAccountAndBlogChangeRequest) {
        auto request = onAccountAndBlogChangeRequest;
        request(account, blog);
    }
}
