#include "PostTopViewController.h"

#include "ui_PostTopView.h"

#include "common/GoogleDateService.h"
#include "platform/Dispatch.h"
#include "platform/gui/ExternalUrlOpener.h"
#include "platform/gui/ImageLibrary.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {

constexpr int TitleWidthReserve = 150;
constexpr int MenuImageSide = 12;
const QString DatesSeparator = QStringLiteral(" \u00b7 ");

void styleLabel(QLabel* label, int pixelSize, bool bold, const QColor& color)
{
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

// Drawn at 12 x 12 whatever the image's own size, sharp on high-density screens too.
QIcon menuIcon(const QString& imageName)
{
    QIcon icon;
    if (!ImageLibrary::hasImage(imageName)) {
        return icon;
    }
    for (const qreal ratio : {1.0, 2.0}) {
        icon.addPixmap(ImageLibrary::pixmap(imageName, QSize(MenuImageSide, MenuImageSide), ratio));
    }
    return icon;
}

// A copy of the closure: the one it calls may replace it.
void raiseRequest(const std::optional<BloggerPost>& post, PostTopViewController::PostIdBlock closure)
{
    if (post && closure) {
        closure(post->postId);
    }
}

} // namespace

PostTopViewController::PostTopViewController(QObject* parent) : ViewController(parent) {}

PostTopViewController::~PostTopViewController() = default;

void PostTopViewController::loadView()
{
    m_ui = std::make_unique<Ui::PostTopView>();
    auto view = viewFromInterface(*m_ui);
    QWidget* pane = view.get();
    setView(std::move(view));

    ViewBackground::setColor(pane, UiColors::paneBackground());
    ViewBackground::setColor(m_ui->delimiterViewOutlet, UiColors::separatorLine());
    styleLabel(m_ui->postTypeLabelOutlet, 11, false, UiColors::normalText());
    styleLabel(m_ui->postTitleLabelOutlet, 15, true, QColor(40, 44, 46));
    styleLabel(m_ui->postCommentsCountLabelOutlet, 11, false, QColor(138, 145, 149));
    styleLabel(m_ui->postDatesLabelOutlet, 11, false, QColor(138, 145, 149));

    // Emptied at once rather than queued: a post queued before the view existed must not be wiped by it.
    applyDefaultView();

    m_ui->menuButtonOutlet->onClick = [this] { showOptionsMenu(); };
    m_ui->menuButtonOutlet->initiate();
    m_ui->operationButton1Outlet->initiate();
    m_ui->operationButton2Outlet->initiate();
    m_ui->operationButton3Outlet->initiate();
    setupMenuOptions();

    // The title's width follows the bar's own width, which moves with the window and with the divider.
    pane->installEventFilter(this);
    didResized();
}

bool PostTopViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_ui) {
        return false;
    }
    if (event->type() == QEvent::Resize && watched == view()) {
        didResized();
    } else if (event->type() == QEvent::KeyPress && watched == m_optionsMenu) {
        return triggerMenuShortcut(m_optionsMenu, static_cast<QKeyEvent*>(event));
    }
    return false;
}

void PostTopViewController::showPost(const BloggerPost& post)
{
    Dispatch::toMainThread(this, [this, post] { applyPost(post); });
}

void PostTopViewController::loadDefaultView()
{
    Dispatch::toMainThread(this, [this] { applyDefaultView(); });
}

void PostTopViewController::applyPost(const BloggerPost& post)
{
    view();
    m_currentPost = post;
    m_ui->postCommentsCountLabelOutlet->setHidden(post.postStatus != PostStatus::Published);
    didResized();
    setupOperationButtons();
    m_ui->postStatusIconOutlet->setHidden(false);
    m_ui->menuButtonOutlet->setHidden(false);
    m_ui->delimiterViewOutlet->setHidden(false);

    m_ui->postTitleLabelOutlet->setText(post.title);
    m_ui->postTitleLabelOutlet->setToolTip(post.title);
    m_ui->postTypeLabelOutlet->setText(rawValue(post.postStatus) + QStringLiteral(" Post"));
    m_ui->postCommentsCountLabelOutlet->setText(QString::number(post.commentsCount) +
                                                QStringLiteral(" Comments"));
    m_ui->postStatusIconOutlet->setImageName(rawValue(post.postStatus) + QStringLiteral("PostStatusIcon"));
    m_ui->postDatesLabelOutlet->setText(GoogleDateService().displayDate(post.publishDate) + DatesSeparator +
                                        GoogleDateService().displayDate(post.updatedDate));
}

void PostTopViewController::applyDefaultView()
{
    m_ui->postStatusIconOutlet->setHidden(true);
    m_ui->menuButtonOutlet->setHidden(true);
    m_ui->operationButton1Outlet->setHidden(true);
    m_ui->operationButton2Outlet->setHidden(true);
    m_ui->operationButton3Outlet->setHidden(true);
    m_ui->delimiterViewOutlet->setHidden(true);
    m_ui->postTitleLabelOutlet->clear();
    m_ui->postTitleLabelOutlet->setToolTip(QString());
    m_ui->postTypeLabelOutlet->clear();
    m_ui->postCommentsCountLabelOutlet->clear();
    m_ui->postDatesLabelOutlet->clear();
}

void PostTopViewController::setupOperationButtons()
{
    const bool published = m_currentPost && m_currentPost->postStatus == PostStatus::Published;
    ImageButtonView* button1 = m_ui->operationButton1Outlet;
    ImageButtonView* button2 = m_ui->operationButton2Outlet;
    ImageButtonView* button3 = m_ui->operationButton3Outlet;
    button1->setHidden(!published);
    button2->setHidden(false);
    button3->setHidden(false);
    if (published) {
        button1->setImageName(QStringLiteral("EditPost"));
        button1->setToolTip(QStringLiteral("Edit Post"));
        button2->setImageName(QStringLiteral("CommentsIcon"));
        button2->setToolTip(QStringLiteral("Show Comments"));
        button1->onClick = [this] { editPostButtonClick(); };
        button2->onClick = [this] { displayPostCommentsButtonClick(); };
    } else {
        button2->setImageName(QStringLiteral("EditPost"));
        button2->setToolTip(QStringLiteral("Edit Post"));
        button2->onClick = [this] { editPostButtonClick(); };
    }
    button3->setImageName(QStringLiteral("OfflineIcon"));
    button3->setToolTip(QStringLiteral("Keep Offline"));
    button3->onClick = [this] { offlinePostButtonClick(); };
}

std::optional<BloggerPost> PostTopViewController::currentPost() const
{
    Dispatch::requireMainThread("PostTopViewController::currentPost");
    return m_currentPost;
}

void PostTopViewController::editPostButtonClick()
{
    raiseRequest(m_currentPost, onEditPostRequest);
}

void PostTopViewController::displayPostCommentsButtonClick()
{
    raiseRequest(m_currentPost, onDisplayPostCommentsRequest);
}

void PostTopViewController::offlinePostButtonClick()
{
    raiseRequest(m_currentPost, onOfflinePostRequest);
}

void PostTopViewController::editPostOptionClick()
{
    raiseRequest(m_currentPost, onEditPostRequest);
}

void PostTopViewController::addCommentClick()
{
    raiseRequest(m_currentPost, onAddCommentRequest);
}

void PostTopViewController::viewCommentsClick()
{
    raiseRequest(m_currentPost, onDisplayPostCommentsRequest);
}

void PostTopViewController::reloadPostClick()
{
    raiseRequest(m_currentPost, onReloadPostFromBloggerRequest);
}

void PostTopViewController::deletePostClick()
{
    raiseRequest(m_currentPost, onDeletePostRequest);
}

void PostTopViewController::viewBloggerVersionClick()
{
    if (m_currentPost) {
        ExternalUrlOpener::openWebAddress(QUrl(m_currentPost->url, QUrl::StrictMode));
    }
}

void PostTopViewController::sharePostClick()
{
    if (!m_currentPost || !m_ui) {
        return;
    }
    if (!m_shareMenu) {
        m_shareMenu = new QMenu(view());
        m_shareMenu->setObjectName(QStringLiteral("shareMenu"));
        QAction* copy = m_shareMenu->addAction(QStringLiteral("Copy Link"));
        copy->setObjectName(QStringLiteral("copyLinkAction"));
        connect(copy, &QAction::triggered, this, &PostTopViewController::copyLinkClick);
        QAction* email = m_shareMenu->addAction(QStringLiteral("Email Link"));
        email->setObjectName(QStringLiteral("emailLinkAction"));
        connect(email, &QAction::triggered, this, &PostTopViewController::emailLinkClick);
    }
    // Only a real web address is worth passing on.
    const bool shareable = ExternalUrlOpener::isWebAddress(QUrl(m_currentPost->url, QUrl::StrictMode));
    for (QAction* action : m_shareMenu->actions()) {
        action->setEnabled(shareable);
    }
    m_shareMenu->popup(menuLocation(m_shareMenu));
}

void PostTopViewController::copyLinkClick()
{
    if (m_currentPost && ExternalUrlOpener::isWebAddress(QUrl(m_currentPost->url, QUrl::StrictMode))) {
        QApplication::clipboard()->setText(m_currentPost->url);
    }
}

void PostTopViewController::emailLinkClick()
{
    if (!m_currentPost || !ExternalUrlOpener::isWebAddress(QUrl(m_currentPost->url, QUrl::StrictMode))) {
        return;
    }
    // Everything but the unreserved characters is escaped, so "&", "#", "+" and "%" in a title survive.
    const QByteArray mail = "mailto:?subject=" + QUrl::toPercentEncoding(m_currentPost->title) +
                            "&body=" + QUrl::toPercentEncoding(m_currentPost->url);
    ExternalUrlOpener::open(QUrl::fromEncoded(mail, QUrl::StrictMode));
}

void PostTopViewController::didResized()
{
    if (!m_ui) {
        return;
    }
    // Longer titles are cut with an ellipsis by the label itself.
    m_ui->postTitleLabelOutlet->setMaximumWidth(qMax(0, view()->width() - TitleWidthReserve));
}

QPoint PostTopViewController::menuLocation(const QMenu* menu) const
{
    ImageButtonView* button = m_ui->menuButtonOutlet;
    QPoint location =
        button->mapToGlobal(QPoint(button->width() / 2, button->height() + button->height() / 4));
    // The button sits at the window's right edge: a menu that would leave the window opens to the left.
    const int windowRight = button->window()->geometry().right();
    const int width = menu->sizeHint().width();
    if (location.x() + width > windowRight) {
        location.setX(qMax(button->window()->geometry().left(), windowRight - width));
    }
    return location;
}

QAction* PostTopViewController::makeMenuItem(const QString& title, const QString& imageName, char key,
                                             void (PostTopViewController::*action)())
{
    auto* item = new QAction(this);
    item->setIcon(menuIcon(imageName));
    item->setText(title);
    connect(item, &QAction::triggered, this, [this, action] { (this->*action)(); });
    item->setShortcut(QKeySequence(QString(QChar::fromLatin1(key)).toUpper()));
    // The letter acts only while the menu is open, so it is not shown as a shortcut: in the window
    // letters search the post list, and Ctrl with C or V copies and pastes.
    item->setShortcutVisibleInContextMenu(false);
    item->setIconVisibleInMenu(true);
    return item;
}

void PostTopViewController::setupMenuOptions()
{
    using C = PostTopViewController;
    QAction* edit = makeMenuItem(QStringLiteral("Edit Post"), QStringLiteral("EditMenuOption"), 'e',
                                 &C::editPostOptionClick);
    QAction* addComment = makeMenuItem(QStringLiteral("Add Comment"), QStringLiteral("CommentsMenuOption"),
                                       'c', &C::addCommentClick);
    QAction* viewComments =
        makeMenuItem(QStringLiteral("Show Comments"), QStringLiteral("ViewCommentsMenuOption"), 'v',
                     &C::viewCommentsClick);
    QAction* reload = makeMenuItem(QStringLiteral("Reload from Blogger"), QStringLiteral("ReloadMenuOption"),
                                   'r', &C::reloadPostClick);
    QAction* online = makeMenuItem(QStringLiteral("Show Post on Blogger"), QStringLiteral("OnlineMenuOption"),
                                   'b', &C::viewBloggerVersionClick);
    QAction* share = makeMenuItem(QStringLiteral("Share Post"), QStringLiteral("ShareMenuOption"), 's',
                                  &C::sharePostClick);
    QAction* remove = makeMenuItem(QStringLiteral("Delete Post"), QStringLiteral("DeleteColoredMenuOption"),
                                   'd', &C::deletePostClick);

    m_menuOptions.insert(PostStatus::Published,
                         {edit, addComment, viewComments, reload, online, share, remove});
    m_menuOptions.insert(PostStatus::Scheduled, {edit, reload, remove});
    m_menuOptions.insert(PostStatus::Draft, {edit, reload, remove});
    m_menuOptions.insert(PostStatus::Deleted, {edit, remove});
    m_menuOptions.insert(PostStatus::Autosaved, {edit, remove});
    m_menuOptions.insert(PostStatus::SyncedCopy, {edit, remove});
    m_menuOptions.insert(PostStatus::Offline, {edit, remove});
}

void PostTopViewController::showOptionsMenu()
{
    if (!m_currentPost || !m_ui) {
        return;
    }
    if (m_optionsMenu) {
        m_optionsMenu->close();
        // It may be the menu whose event is being handled right now.
        m_optionsMenu->deleteLater();
    }
    auto* menu = new QMenu(view());
    menu->setObjectName(QStringLiteral("postOptionsMenu"));
    menu->installEventFilter(this);
    m_optionsMenu = menu;
    menu->addActions(m_menuOptions.value(m_currentPost->postStatus));
    menu->popup(menuLocation(menu));
}

bool PostTopViewController::triggerMenuShortcut(QMenu* menu, QKeyEvent* event)
{
    // A menu that pops up on its own does not run its items' shortcuts: the letters shown are ours to act on.
    if (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) {
        return false;
    }
    const QKeySequence pressed(event->key());
    for (QAction* action : menu->actions()) {
        if (action->isEnabled() && action->shortcut() == pressed) {
            menu->close();
            action->trigger();
            return true;
        }
    }
    return false;
}

QMenu* PostTopViewController::optionsMenu() const
{
    return m_optionsMenu;
}

QMenu* PostTopViewController::shareMenu() const
{
    return m_shareMenu;
}

const QHash<PostStatus, QList<QAction*>>& PostTopViewController::menuOptions() const
{
    return m_menuOptions;
}

QWidget* PostTopViewController::delimiterViewOutlet() const
{
    return m_ui ? m_ui->delimiterViewOutlet : nullptr;
}

ImageView* PostTopViewController::postStatusIconOutlet() const
{
    return m_ui ? m_ui->postStatusIconOutlet : nullptr;
}

ImageButtonView* PostTopViewController::menuButtonOutlet() const
{
    return m_ui ? m_ui->menuButtonOutlet : nullptr;
}

ImageButtonView* PostTopViewController::operationButton1Outlet() const
{
    return m_ui ? m_ui->operationButton1Outlet : nullptr;
}

ImageButtonView* PostTopViewController::operationButton2Outlet() const
{
    return m_ui ? m_ui->operationButton2Outlet : nullptr;
}

ImageButtonView* PostTopViewController::operationButton3Outlet() const
{
    return m_ui ? m_ui->operationButton3Outlet : nullptr;
}

QLabel* PostTopViewController::postTypeLabelOutlet() const
{
    return m_ui ? m_ui->postTypeLabelOutlet : nullptr;
}

QLabel* PostTopViewController::postTitleLabelOutlet() const
{
    return m_ui ? m_ui->postTitleLabelOutlet : nullptr;
}

QLabel* PostTopViewController::postCommentsCountLabelOutlet() const
{
    return m_ui ? m_ui->postCommentsCountLabelOutlet : nullptr;
}

QLabel* PostTopViewController::postDatesLabelOutlet() const
{
    return m_ui ? m_ui->postDatesLabelOutlet : nullptr;
}
