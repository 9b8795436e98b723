#include "MenuOptionsViewController.h"

#include "ui_MenuOptionsView.h"

MenuOptionsViewController::MenuOptionsViewController(QObject* parent) : ViewController(parent) {}

MenuOptionsViewController::~MenuOptionsViewController() = default;

void MenuOptionsViewController::loadView()
{
    m_ui = std::make_unique<Ui::MenuOptionsView>();
    setView(viewFromInterface(*m_ui));
}
