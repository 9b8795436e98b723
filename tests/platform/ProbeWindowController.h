#pragma once

#include "platform/gui/WindowController.h"

#include <memory>

class QLabel;
namespace Ui {
class ProbeWindow;
}

// A window controller made only to exercise the shared mechanism.
class ProbeWindowController : public WindowController
{
    Q_OBJECT
public:
    ProbeWindowController();
    ~ProbeWindowController() override;

    QLabel* messageOutlet() const;
    int windowDidLoadCalls = 0;

protected:
    std::unique_ptr<QWidget> loadWindow() override;
    void windowDidLoad() override;

private:
    std::unique_ptr<Ui::ProbeWindow> m_ui;
};
