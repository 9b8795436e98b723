#include "MenuTopViewController.h"

#include "ui_MenuTopView.h"

#include "ClickAreaView.h"
#include "KeyboardFocus.h"
#include "common/SystemConfiguration.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

#include <QEvent>
#include <QLabel>
#include <QPalette>

MenuTopViewController::MenuTopViewController(QObject* parent) : ViewController(parent) {}

MenuTopViewController::~MenuTopViewController()
{
    // The view goes after this class's members, and its entry may lose the focus as it goes.
    if (isViewLoaded()) {
        m_ui->hitAreaViewOutlet->removeEventFilter(this);
        disconnect(KeyboardFocus::of(m_ui->hitAreaViewOutlet), nullptr, this, nullptr);
    }
}

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
    connect(KeyboardFocus::of(m_ui->hitAreaViewOutlet), &KeyboardFocus::ringShownChanged, this,
            &MenuTopViewController::followPointerAndKeyboard);
}

bool MenuTopViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (isViewLoaded() && watched == m_ui->hitAreaViewOutlet &&
        (event->type() == QEvent::Enter || event->type() == QEvent::Leave)) {
        followPointerAndKeyboard();
    }
    return ViewController::eventFilter(watched, event);
}

void MenuTopViewController::followPointerAndKeyboard()
{
    // Lit while the pointer is over the entry or the keyboard has brought the focus to it; a focus given
    // any other way (the window's first) shows nothing.
    ClickAreaView* area = m_ui->hitAreaViewOutlet;
    if (area->underMouse() || KeyboardFocus::ringShown(area)) {
        mouseEntered();
    } else {
        mouseExited();
    }
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
