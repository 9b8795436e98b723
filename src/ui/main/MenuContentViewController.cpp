#include "MenuContentViewController.h"

#include "ui_MenuContentView.h"

#include "LeftMenuViewController.h"
#include "SettingsAndAccountViewController.h"
#include "common/SystemConfiguration.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QEvent>
#include <QVBoxLayout>

MenuContentViewController::MenuContentViewController(QObject* parent)
    : ViewController(parent),
      m_settingsAndAccountViewController(std::make_unique<SettingsAndAccountViewController>())
{
}

MenuContentViewController::~MenuContentViewController() = default;

LeftMenuViewController* MenuContentViewController::publicPostsMenuController() const
{
    return m_publicPostsMenuController.get();
}

LeftMenuViewController* MenuContentViewController::draftPostsMenuController() const
{
    return m_draftPostsMenuController.get();
}

LeftMenuViewController* MenuContentViewController::localPostsMenuController() const
{
    return m_localPostsMenuController.get();
}

SettingsAndAccountViewController* MenuContentViewController::settingsAndAccountViewController() const
{
    return m_settingsAndAccountViewController.get();
}

QWidget* MenuContentViewController::menuViewOutlet() const
{
    return isViewLoaded() ? m_ui->menuViewOutlet : nullptr;
}

QWidget* MenuContentViewController::settingsAndAccountContainerViewOutlet() const
{
    return isViewLoaded() ? m_ui->settingsAndAccountContainerViewOutlet : nullptr;
}

void MenuContentViewController::loadView()
{
    m_ui = std::make_unique<Ui::MenuContentView>();
    setView(viewFromInterface(*m_ui));
    viewSetup();
}

void MenuContentViewController::viewSetup()
{
    setEffectsBackground();
    buildSettingsAndAccountView();
    buildMenu();
}

void MenuContentViewController::setEffectsBackground()
{
    if (SystemConfiguration().isAtLeastYosemite()) {
        // The window's material shows through.
        ViewBackground::clear(view());
    } else {
        ViewBackground::setColor(view(), UiColors::paneBackground());
    }
}

void MenuContentViewController::buildSettingsAndAccountView()
{
    SettingsAndAccountViewController& panel = *m_settingsAndAccountViewController;
    QWidget* container = m_ui->settingsAndAccountContainerViewOutlet;
    QWidget* panelView = panel.view();
    // Its width follows the container; its height stays.
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    panelView->setFixedHeight(90);
    layout->addWidget(panelView, 0, Qt::AlignTop);
    panelView->show();

    panel.onAccountsAndBlogsSettingsPopupOpen = [this] {
        if (onAccountsAndBlogsSettingsPopupOpen) {
            auto request = onAccountsAndBlogsSettingsPopupOpen;
            request();
        }
    };
    panel.onHelpRequest = [this] {
        if (onHelpRequest) {
            auto request = onHelpRequest;
            request();
        }
    };
    // Apply, refresh and add-account close the popover first, whether or not anybody listens.
    panel.onAccountAndBlogChangeRequest = [this](const QString& account, const QString& blog) {
        m_settingsAndAccountViewController->close();
        if (onAccountAndBlogChangeRequest) {
            auto request = onAccountAndBlogChangeRequest;
            request(account, blog);
        }
    };
    panel.onAccountChangeRequest = [this](const QString& userId) {
        if (onAccountChangeRequest) {
            auto request = onAccountChangeRequest;
            request(userId);
        }
    };
    panel.onReauthentificateCurrentAccountRequest = [this] {
        if (onReauthentificateCurrentAccountRequest) {
            auto request = onReauthentificateCurrentAccountRequest;
            request();
        }
    };
    panel.onRefreshCurrentAccountRequest = [this] {
        m_settingsAndAccountViewController->close();
        if (onRefreshCurrentAccountRequest) {
            auto request = onRefreshCurrentAccountRequest;
            request();
        }
    };
    panel.onAddNewAccountRequest = [this] {
        m_settingsAndAccountViewController->close();
        if (onAddNewAccountRequest) {
            auto request = onAddNewAccountRequest;
            request();
        }
    };
}

void MenuContentViewController::buildMenu()
{
    QWidget* menu = m_ui->menuViewOutlet;
    struct Entry
    {
        int offset;
        const char* objectName;
        const char* title;
        const char* icon;
        const char* activeIcon;
        bool active;
        std::unique_ptr<LeftMenuViewController> MenuContentViewController::*property;
    };
    const Entry entries[] = {
        {80, "publicPostsMenuView", "Published", "LeftPublishedGray", "LeftPublishedBlue", true,
         &MenuContentViewController::m_publicPostsMenuController},
        {140, "draftPostsMenuView", "Draft", "LeftDraftGray", "LeftDraftBlue", false,
         &MenuContentViewController::m_draftPostsMenuController},
        {200, "localPostsMenuView", "Offline", "LeftOfflineGray", "LeftOfflineBlue", false,
         &MenuContentViewController::m_localPostsMenuController},
    };
    for (const Entry& entry : entries) {
        auto controller =
            createMenuView(entry.offset, QString::fromLatin1(entry.title), QString::fromLatin1(entry.icon),
                           QString::fromLatin1(entry.activeIcon), QString(), entry.active, menu);
        LeftMenuViewController* created = controller.get();
        this->*entry.property = std::move(controller);
        created->view()->setObjectName(QString::fromLatin1(entry.objectName));
        created->view()->setParent(menu);
        created->view()->show();
        created->setClickBlock([this, created] { entryClicked(created); });
    }
    // Rows keep their distance from the top; their width follows the menu view.
    menu->installEventFilter(this);
}

std::unique_ptr<LeftMenuViewController>
MenuContentViewController::createMenuView(int offset, const QString& title, const QString& icon,
                                          const QString& activeIcon, const QString& toolTip, bool active,
                                          QWidget* parent)
{
    auto controller = std::make_unique<LeftMenuViewController>(title, icon, activeIcon, active);
    QWidget* entryView = controller->view();
    entryView->setGeometry(0, offset - EntryHeight, parent->width(), EntryHeight);
    entryView->setToolTip(toolTip);
    return controller;
}

bool MenuContentViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && isViewLoaded() && watched == m_ui->menuViewOutlet) {
        const int width = m_ui->menuViewOutlet->width();
        for (LeftMenuViewController* entry :
             {m_publicPostsMenuController.get(), m_draftPostsMenuController.get(),
              m_localPostsMenuController.get()}) {
            if (entry && entry->isViewLoaded()) {
                entry->view()->resize(width, EntryHeight);
            }
        }
    }
    return ViewController::eventFilter(watched, event);
}

void MenuContentViewController::entryClicked(LeftMenuViewController* entry)
{
    if (entry->isActive()) {
        return;
    }
    m_publicPostsMenuController->setActive(entry == m_publicPostsMenuController.get());
    m_draftPostsMenuController->setActive(entry == m_draftPostsMenuController.get());
    m_localPostsMenuController->setActive(entry == m_localPostsMenuController.get());
    if (entry == m_publicPostsMenuController.get()) {
        publicPostsClicked();
    } else if (entry == m_draftPostsMenuController.get()) {
        draftPostsClicked();
    } else {
        localPostsClicked();
    }
}

void MenuContentViewController::publicPostsClicked()
{
    if (onAreaChangeRequest) {
        auto request = onAreaChangeRequest;
        request(PostArea::Published);
    }
}

void MenuContentViewController::draftPostsClicked()
{
    if (onAreaChangeRequest) {
        auto request = onAreaChangeRequest;
        request(PostArea::Draft);
    }
}

void MenuContentViewController::localPostsClicked()
{
    if (onAreaChangeRequest) {
        auto request = onAreaChangeRequest;
        request(PostArea::Offline);
    }
}

void MenuContentViewController::listUsers(const QList<BloggerUser>& users, const QString& currentUser)
{
    m_settingsAndAccountViewController->listUsers(users, currentUser);
}

void MenuContentViewController::listBlogs(const QList<BloggerBlog>& blogs, const QString& currentBlog)
{
    m_settingsAndAccountViewController->listBlogs(blogs, currentBlog);
}
