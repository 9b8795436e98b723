#pragma once

#include "platform/gui/ViewController.h"

#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class LeftMenuView;
}
class ImageView;
class LeftMenuViewClass;
class QLabel;

// One area entry of the left column: its title and icon, lit while it is the active one.
class LeftMenuViewController : public ViewController
{
    Q_OBJECT
public:
    // Loads the entry's view at once.
    LeftMenuViewController(const QString& title, const QString& icon, const QString& activeIcon, bool active,
                           QObject* parent = nullptr);
    ~LeftMenuViewController() override;

    QLabel* menuLabelOutlet() const;
    ImageView* imageViewOutlet() const;
    ImageView* iconOutlet() const;

    bool isActive() const { return m_isActive; }
    QString menuTitle() const { return m_menuTitle; }
    QString menuIcon() const { return m_menuIcon; }
    QString activeMenuIcon() const { return m_activeMenuIcon; }

    void setActive(bool active);
    void setClickBlock(std::function<void()> block);
    void select();
    void deSelect();

protected:
    void loadView() override;

private:
    void configViewClick();

    std::unique_ptr<Ui::LeftMenuView> m_ui;
    bool m_isActive;
    QString m_menuTitle;
    QString m_menuIcon;
    QString m_activeMenuIcon;
    std::function<void()> m_clickBlock;
};
