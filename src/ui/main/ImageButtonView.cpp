#include "ImageButtonView.h"

#include "PressControl.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <cmath>

ImageButtonView::ImageButtonView(QWidget* parent) : ImageView(parent)
{
    setCursor(Qt::PointingHandCursor);
    PressControl::makeFocusable(this);
}

void ImageButtonView::initiate()
{
    m_originalWidth = width();
    m_originalHeight = height();
    setAttribute(Qt::WA_Hover, true);
}

double ImageButtonView::alphaValue() const
{
    return m_alpha;
}

void ImageButtonView::setAlpha(double alpha)
{
    m_alpha = alpha;
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(graphicsEffect());
    if (alpha >= 1.0) {
        setGraphicsEffect(nullptr);
        return;
    }
    if (!effect) {
        effect = new QGraphicsOpacityEffect(this);
        setGraphicsEffect(effect);
    }
    effect->setOpacity(alpha);
}

void ImageButtonView::fadeAnimationStart()
{
    setAlpha(0.3);
    QTimer::singleShot(FadeMs, this, &ImageButtonView::fadeAnimationStop);
}

void ImageButtonView::fadeAnimationStop()
{
    setAlpha(1.0);
}

void ImageButtonView::startFrameAnimation()
{
    if (m_frameAnimated || !isInitiated()) {
        return;
    }
    const QSize grown(int(std::lround(*m_originalWidth * 1.2)), int(std::lround(*m_originalHeight * 1.2)));
    if (QWidget* holder = parentWidget(); holder && isVisible()) {
        if (!m_pulseView) {
            m_pulseView = new ImageView(holder);
            m_pulseView->setObjectName(QStringLiteral("pulseView"));
            m_pulseView->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        m_pulseView->setImageName(imageName());
        // The origin stays, so the picture grows towards the far edges, as the frame would.
        m_pulseView->setGeometry(QRect(pos(), grown));
        m_pulseView->raise();
        m_pulseView->show();
    }
    m_frameAnimated = true;
    update();
    QTimer::singleShot(PulseMs, this, &ImageButtonView::endFrameAnimation);
}

void ImageButtonView::endFrameAnimation()
{
    if (!m_frameAnimated) {
        return;
    }
    if (m_pulseView) {
        m_pulseView->hide();
    }
    m_frameAnimated = false;
    update();
}

void ImageButtonView::paintEvent(QPaintEvent* event)
{
    // While the grown picture shows, the resting one would show through its transparent parts.
    if (m_frameAnimated && m_pulseView && m_pulseView->isVisible()) {
        return;
    }
    ImageView::paintEvent(event);
    PressControl::paintFocusRing(this);
}

void ImageButtonView::mousePressEvent(QMouseEvent* event)
{
    // Only the primary button acts; the others go on to whatever lies below.
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    fadeAnimationStart();
    if (onClick) {
        // A copy: the handler may replace this button's closure while it runs.
        auto click = onClick;
        click();
    }
}

void ImageButtonView::enterEvent(QEnterEvent* event)
{
    ImageView::enterEvent(event);
    if (isInitiated()) {
        startFrameAnimation();
    }
}

void ImageButtonView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first press of the double-click has acted already.
    event->accept();
}

void ImageButtonView::keyPressEvent(QKeyEvent* event)
{
    if (!PressControl::isPressKey(event)) {
        ImageView::keyPressEvent(event);
        return;
    }
    event->accept();
    fadeAnimationStart();
    if (onClick) {
        auto click = onClick;
        click();
    }
}

void ImageButtonView::focusInEvent(QFocusEvent* event)
{
    ImageView::focusInEvent(event);
    update();
}

void ImageButtonView::focusOutEvent(QFocusEvent* event)
{
    ImageView::focusOutEvent(event);
    update();
}
