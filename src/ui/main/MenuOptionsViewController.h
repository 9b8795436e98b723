#pragma once

#include "platform/gui/ViewController.h"

#include <memory>

namespace Ui {
class MenuOptionsView;
}

// An empty pane with no behaviour of its own; nothing in the application shows it yet.
class MenuOptionsViewController : public ViewController
{
    Q_OBJECT
public:
    explicit MenuOptionsViewController(QObject* parent = nullptr);
    ~MenuOptionsViewController() override;

protected:
    void loadView() override;

private:
    std::unique_ptr<Ui::MenuOptionsView> m_ui;
};
