#pragma once

#include "platform/gui/ViewController.h"

#include <functional>
#include <memory>

namespace Ui {
class MenuTopView;
}
class AlternativeButtonView;
class ClickAreaView;
class QLabel;

// The top bar of the left column: the new-post button, the bar's title and a wider hit area.
class MenuTopViewController : public ViewController
{
    Q_OBJECT
public:
    explicit MenuTopViewController(QObject* parent = nullptr);
    ~MenuTopViewController() override;

    std::function<void()> onNewPostRequest;

    AlternativeButtonView* avatarImageViewOutlet() const;
    QLabel* titleLabelOutlet() const;
    ClickAreaView* hitAreaViewOutlet() const;

    void mouseEntered();
    void mouseExited();

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewSetup();
    void setEffectsBackground();
    void setupView();
    void followPointerAndKeyboard();

    std::unique_ptr<Ui::MenuTopView> m_ui;
};
