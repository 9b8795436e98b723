#include "LeftMenuViewController.h"

#include "ui_LeftMenuView.h"

#include "LeftMenuViewClass.h"
#include "platform/gui/ImageView.h"
#include "ui/UiColors.h"

#include <QLabel>
#include <QPalette>

LeftMenuViewController::LeftMenuViewController(const QString& title, const QString& icon,
                                               const QString& activeIcon, bool active, QObject* parent)
    : ViewController(parent), m_isActive(active), m_menuTitle(title), m_menuIcon(icon),
      m_activeMenuIcon(activeIcon)
{
    configViewClick();
}

LeftMenuViewController::~LeftMenuViewController() = default;

QLabel* LeftMenuViewController::menuLabelOutlet() const
{
    return isViewLoaded() ? m_ui->menuLabelOutlet : nullptr;
}

ImageView* LeftMenuViewController::imageViewOutlet() const
{
    return isViewLoaded() ? m_ui->imageViewOutlet : nullptr;
}

ImageView* LeftMenuViewController::iconOutlet() const
{
    return isViewLoaded() ? m_ui->iconOutlet : nullptr;
}

void LeftMenuViewController::configViewClick()
{
    auto* entryView = static_cast<LeftMenuViewClass*>(view());
    // The entry's block is read at the moment of the press, so one set later counts.
    entryView->setClickBloc([this] {
        if (m_clickBlock) {
            auto block = m_clickBlock;
            block();
        }
    });
}

void LeftMenuViewController::loadView()
{
    m_ui = std::make_unique<Ui::LeftMenuView>();
    setView(viewFromInterface<LeftMenuViewClass>(*m_ui));
    m_ui->menuLabelOutlet->setText(m_menuTitle);
    // The entry's tool tip is empty: screen readers take its title.
    view()->setAccessibleName(m_menuTitle);
    m_ui->iconOutlet->setImageName(m_menuIcon);
    setActive(m_isActive);
}

void LeftMenuViewController::setActive(bool active)
{
    m_isActive = active;
    if (active) {
        select();
    } else {
        deSelect();
    }
}

void LeftMenuViewController::setClickBlock(std::function<void()> block)
{
    m_clickBlock = std::move(block);
}

void LeftMenuViewController::select()
{
    if (!isViewLoaded()) {
        return;
    }
    m_ui->iconOutlet->setImageName(m_activeMenuIcon);
    QPalette palette = m_ui->menuLabelOutlet->palette();
    palette.setColor(QPalette::WindowText, UiColors::accent());
    m_ui->menuLabelOutlet->setPalette(palette);
}

void LeftMenuViewController::deSelect()
{
    if (!isViewLoaded()) {
        return;
    }
    m_ui->iconOutlet->setImageName(m_menuIcon);
    QPalette palette = m_ui->menuLabelOutlet->palette();
    palette.setColor(QPalette::WindowText, UiColors::normalText());
    m_ui->menuLabelOutlet->setPalette(palette);
}
