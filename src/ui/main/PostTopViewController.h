#pragma once

#include "model/BloggerPost.h"
#include "model/PostEnumerations.h"
#include "platform/gui/ViewController.h"

#include <QHash>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class PostTopView;
}
class ImageButtonView;
class ImageView;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QWidget;

// The bar above the selected post: status, type, title, comments, dates, three action buttons and the
// post actions menu.
class PostTopViewController : public ViewController
{
    Q_OBJECT
public:
    using PostIdBlock = std::function<void(const QString& postId)>;

    explicit PostTopViewController(QObject* parent = nullptr);
    ~PostTopViewController() override;

    PostIdBlock onEditPostRequest;
    PostIdBlock onOfflinePostRequest;
    PostIdBlock onDisplayPostCommentsRequest;
    PostIdBlock onAddCommentRequest;
    PostIdBlock onReloadPostFromBloggerRequest;
    PostIdBlock onDeletePostRequest;

    // Any thread; the bar changes on the main thread in call order.
    void showPost(const BloggerPost& post);
    void loadDefaultView();

    // The post whose view changes ran last (main thread).
    std::optional<BloggerPost> currentPost() const;

    // Actions of the buttons and of the menu items.
    void editPostButtonClick();
    void displayPostCommentsButtonClick();
    void offlinePostButtonClick();
    void editPostOptionClick();
    void addCommentClick();
    void viewCommentsClick();
    void reloadPostClick();
    void viewBloggerVersionClick();
    void deletePostClick();
    void sharePostClick();
    void didResized();

    // The menu for the current post's status, opened below the menu button without waiting for it.
    void showOptionsMenu();
    // The menu of the last opening, and the share menu ("Copy Link", "Email Link") once it was opened.
    QMenu* optionsMenu() const;
    QMenu* shareMenu() const;
    const QHash<PostStatus, QList<QAction*>>& menuOptions() const;

    QWidget* delimiterViewOutlet() const;
    ImageView* postStatusIconOutlet() const;
    ImageButtonView* menuButtonOutlet() const;
    ImageButtonView* operationButton1Outlet() const;
    ImageButtonView* operationButton2Outlet() const;
    ImageButtonView* operationButton3Outlet() const;
    QLabel* postTypeLabelOutlet() const;
    QLabel* postTitleLabelOutlet() const;
    QLabel* postCommentsCountLabelOutlet() const;
    QLabel* postDatesLabelOutlet() const;

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyPost(const BloggerPost& post);
    void applyDefaultView();
    void setupOperationButtons();
    void setupMenuOptions();
    QAction* makeMenuItem(const QString& title, const QString& imageName, char key,
                          void (PostTopViewController::*action)());
    bool triggerMenuShortcut(QMenu* menu, QKeyEvent* event);
    QPoint menuLocation(const QMenu* menu) const;
    void copyLinkClick();
    void emailLinkClick();

    std::unique_ptr<Ui::PostTopView> m_ui;
    std::optional<BloggerPost> m_currentPost;
    QPointer<QMenu> m_optionsMenu;
    QPointer<QMenu> m_shareMenu;
    QHash<PostStatus, QList<QAction*>> m_menuOptions;
};
