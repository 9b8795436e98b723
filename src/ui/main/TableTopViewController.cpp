#include "TableTopViewController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class TableTopView {}; }
#include "SortPopoverController.h"
#include "platform/gui/Popover.h"
#include <QWidget>
#include <QMenu>
#include <QAction>
TableTopViewController::TableTopViewController(QObject* parent) : ViewController(parent) {}
void TableTopViewController::loading(bool flag) {}
void TableTopViewController::displayPostsInfo(qsizetype count, PostArea area, std::optional<QDateTime> lastUpdate) {}
void TableTopViewController::openSortPopup() {}
ImageButtonView* TableTopViewController::sortButtonOutlet() const { return nullptr; }
ImageButtonView* TableTopViewController::downloadPostsButtonOutlet() const { return nullptr; }
QWidget* TableTopViewController::delimiterViewOutlet() const { return nullptr; }
QLabel* TableTopViewController::postsTypeLabelOutlet() const { return nullptr; }
QProgressBar* TableTopViewController::spinningIndicatorOutlet() const { return nullptr; }
QLabel* TableTopViewController::lastUpdatedLabelOutlet() const { return nullptr; }
Popover* TableTopViewController::popover() const { return nullptr; }
SortPopoverController* TableTopViewController::sortPopoverController() const { return nullptr; }
void TableTopViewController::loadView() { setView(std::make_unique<QWidget>()); }
void TableTopViewController::viewSetup() {}
void TableTopViewController::eventsSetup() {}
TableTopViewController::~TableTopViewController() = default;
