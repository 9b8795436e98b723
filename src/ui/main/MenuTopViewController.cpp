#include "MenuTopViewController.h"

#include "ui_MenuTopView.h"

#include "ClickAreaView.h"
#include "common/SystemConfiguration.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QEvent>
#include <QLabel>
#include <QPalette>

MenuTopViewController::MenuTopViewController(QObject* parent) : ViewController(parent) {}

MenuTopViewController::~MenuTopViewController() = default;

AlternativeButtonView* MenuTopViewController::avatarImageViewOutlet() const
{
    return isViewLoaded() ? m_ui->avatarImageViewOutlet : nullptr;
}

QLabel* MenuTopViewController::titleLabelOutlet() const
{
    return isViewLoaded() ? m_ui->titleLabelOutlet : nullptr;
}

ClickAreaView* MenuTopViewController::hitAreaViewOutlet() const
{
    return isViewLoaded() ? m_ui->hitAreaViewOutlet : nullptr;
}

void MenuTopViewController::loadView()
{
    m_ui = std::make_unique<Ui::MenuTopView>();
    setView(viewFromInterface(*m_ui));
    viewSetup();
}

void MenuTopViewController::viewSetup()
{
    setEffectsBackground();
    setupView();
}

void MenuTopViewController::setEffectsBackground()
{
    if (SystemConfiguration().isAtLeastYosemite()) {
        // The window's material shows through.
        ViewBackground::clear(view());
    } else {
        ViewBackground::setColor(view(), UiColors::paneBackground());
    }
}

void MenuTopViewController::setupView()
{
    m_ui->avatarImageViewOutlet->setAlternativeImage(QStringLiteral("NewPostOrange"));
    // The closure is read at the moment of the click, so one set after loading counts.
    auto request = [this] {
        if (onNewPostRequest) {
            auto closure = onNewPostRequest;
            closure();
        }
    };
    m_ui->avatarImageViewOutlet->onClick = request;
    m_ui->hitAreaViewOutlet->onClick = request;
    // The hit area covers the picture and the title: it alone takes the focus, for both.
    m_ui->avatarImageViewOutlet->setFocusPolicy(Qt::NoFocus);
    UiColors::setTextColor(m_ui->titleLabelOutlet, UiColors::normalText());
    // Enter and leave follow the hit area's geometry of the moment, whatever the window's size.
    m_ui->hitAreaViewOutlet->installEventFilter(this);
}

bool MenuTopViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (isViewLoaded() && watched == m_ui->hitAreaViewOutlet) {
        // The keyboard's focus lights the entry as the pointer does.
        if (event->type() == QEvent::Enter || event->type() == QEvent::FocusIn) {
            mouseEntered();
        } else if ((event->type() == QEvent::Leave && !m_ui->hitAreaViewOutlet->hasFocus()) ||
                   (event->type() == QEvent::FocusOut && !m_ui->hitAreaViewOutlet->underMouse())) {
            mouseExited();
        }
    }
    return ViewController::eventFilter(watched, event);
}

void MenuTopViewController::mouseEntered()
{
    if (!isViewLoaded()) {
        return;
    }
    m_ui->avatarImageViewOutlet->activate(true);
    UiColors::setTextColor(m_ui->titleLabelOutlet, UiColors::accent());
}

void MenuTopViewController::mouseExited()
{
    if (!isViewLoaded()) {
        return;
    }
    m_ui->avatarImageViewOutlet->activate(false);
    UiColors::setTextColor(m_ui->titleLabelOutlet, UiColors::normalText());
}
