#include "SortPopoverController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class SortPopoverView {}; }
#include <QWidget>
#include <QMenu>
#include <QAction>
SortPopoverController::SortPopoverController(QObject* parent) : ViewController(parent) {}
void SortPopoverController::sortButtonClick() {}
QWidget* SortPopoverController::bannerViewOutlet() const { return nullptr; }
QComboBox* SortPopoverController::sortByComboOutlet() const { return nullptr; }
QComboBox* SortPopoverController::sortOrderComboOutlet() const { return nullptr; }
QPushButton* SortPopoverController::sortButton() const { return nullptr; }
void SortPopoverController::loadView() { setView(std::make_unique<QWidget>()); }
void SortPopoverController::setupView() {}
SortPopoverController::~SortPopoverController() = default;
