#include "ImageButtonView.h"

#include <QGraphicsOpacityEffect>
#include <QTimer>

#include <cmath>

ImageButtonView::ImageButtonView(QWidget* parent) : PressControl<ImageView>(parent)
{
    setCursor(Qt::PointingHandCursor);
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
    PressControl<ImageView>::paintEvent(event);
}

void ImageButtonView::pressed()
{
    fadeAnimationStart();
    run(onClick);
}

void ImageButtonView::enterEvent(QEnterEvent* event)
{
    ImageView::enterEvent(event);
    if (isInitiated()) {
        startFrameAnimation();
    }
}
