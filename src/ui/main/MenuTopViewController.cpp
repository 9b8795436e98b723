#include "MenuTopViewController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class MenuTopView {}; }
#include <QWidget>
#include <QMenu>
#include <QAction>
MenuTopViewController::MenuTopViewController(QObject* parent) : ViewController(parent) {}
AlternativeButtonView* MenuTopViewController::avatarImageViewOutlet() const { return nullptr; }
QLabel* MenuTopViewController::titleLabelOutlet() const { return nullptr; }
ClickAreaView* MenuTopViewController::hitAreaViewOutlet() const { return nullptr; }
void MenuTopViewController::mouseEntered() {}
void MenuTopViewController::mouseExited() {}
void MenuTopViewController::loadView() { setView(std::make_unique<QWidget>()); }
bool MenuTopViewController::eventFilter(QObject* watched, QEvent* event) { return false; }
void MenuTopViewController::viewSetup() {}
void MenuTopViewController::setEffectsBackground() {}
void MenuTopViewController::setupView() {}
MenuTopViewController::~MenuTopViewController() = default;
