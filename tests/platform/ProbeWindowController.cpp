#include "ProbeWindowController.h"

#include "ui_ProbeWindow.h"

ProbeWindowController::ProbeWindowController() : m_ui(std::make_unique<Ui::ProbeWindow>()) {}

ProbeWindowController::~ProbeWindowController() = default;

QLabel* ProbeWindowController::messageOutlet() const
{
    return isWindowLoaded() ? m_ui->messageOutlet : nullptr;
}

std::unique_ptr<QWidget> ProbeWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

void ProbeWindowController::windowDidLoad()
{
    ++windowDidLoadCalls;
    connect(m_ui->closeButtonOutlet, &QPushButton::clicked, this, &WindowController::close);
}
