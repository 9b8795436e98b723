#include "PostTopViewController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class PostTopView {}; }
#include <QWidget>
#include <QMenu>
#include <QAction>
PostTopViewController::PostTopViewController(QObject* parent) : ViewController(parent) {}
void PostTopViewController::showPost(const BloggerPost& post) {}
void PostTopViewController::loadDefaultView() {}
std::optional<BloggerPost> PostTopViewController::currentPost() const { return std::nullopt; }
void PostTopViewController::editPostButtonClick() {}
void PostTopViewController::displayPostCommentsButtonClick() {}
void PostTopViewController::offlinePostButtonClick() {}
void PostTopViewController::editPostOptionClick() {}
void PostTopViewController::addCommentClick() {}
void PostTopViewController::viewCommentsClick() {}
void PostTopViewController::reloadPostClick() {}
void PostTopViewController::viewBloggerVersionClick() {}
void PostTopViewController::deletePostClick() {}
void PostTopViewController::sharePostClick() {}
void PostTopViewController::didResized() {}
void PostTopViewController::showOptionsMenu() {}
QMenu* PostTopViewController::optionsMenu() const { return nullptr; }
const QHash<PostStatus, QList<QAction*>>& PostTopViewController::menuOptions() const { static QHash<PostStatus, QList<QAction*>> e; return e; }
QWidget* PostTopViewController::delimiterViewOutlet() const { return nullptr; }
ImageView* PostTopViewController::postStatusIconOutlet() const { return nullptr; }
ImageButtonView* PostTopViewController::menuButtonOutlet() const { return nullptr; }
ImageButtonView* PostTopViewController::operationButton1Outlet() const { return nullptr; }
ImageButtonView* PostTopViewController::operationButton2Outlet() const { return nullptr; }
ImageButtonView* PostTopViewController::operationButton3Outlet() const { return nullptr; }
QLabel* PostTopViewController::postTypeLabelOutlet() const { return nullptr; }
QLabel* PostTopViewController::postTitleLabelOutlet() const { return nullptr; }
QLabel* PostTopViewController::postCommentsCountLabelOutlet() const { return nullptr; }
QLabel* PostTopViewController::postDatesLabelOutlet() const { return nullptr; }
void PostTopViewController::loadView() { setView(std::make_unique<QWidget>()); }
bool PostTopViewController::eventFilter(QObject* watched, QEvent* event) { return false; }
void PostTopViewController::setupOperationButtons() {}
void PostTopViewController::setupMenuOptions() {}
PostTopViewController::~PostTopViewController() = default;
