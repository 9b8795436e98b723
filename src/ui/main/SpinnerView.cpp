#include "SpinnerView.h"

#include "ui/UiColors.h"

#include <QPainter>

SpinnerView::SpinnerView(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    m_timer.setInterval(40);
    connect(&m_timer, &QTimer::timeout, this, &SpinnerView::advance);
}

bool SpinnerView::isAnimating() const
{
    return m_timer.isActive();
}

QSize SpinnerView::sizeHint() const
{
    return QSize(16, 16);
}

QSize SpinnerView::minimumSizeHint() const
{
    return QSize(8, 8);
}

bool SpinnerView::isBusy() const
{
    return minimum() == maximum();
}

void SpinnerView::updateAnimation()
{
    if (isVisible() && isBusy()) {
        if (!m_timer.isActive()) {
            m_timer.start();
        }
    } else {
        m_timer.stop();
    }
}

void SpinnerView::advance()
{
    // setRange is not virtual: a range that is no longer empty is noticed here.
    if (!isBusy()) {
        m_timer.stop();
        return;
    }
    m_angle = (m_angle + 30) % 360;
    update();
}

void SpinnerView::showEvent(QShowEvent* event)
{
    QProgressBar::showEvent(event);
    updateAnimation();
}

void SpinnerView::hideEvent(QHideEvent* event)
{
    QProgressBar::hideEvent(event);
    m_timer.stop();
}

void SpinnerView::paintEvent(QPaintEvent*)
{
    if (!isBusy()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = qMax(1.5, qMin(width(), height()) / 8.0);
    const qreal side = qMin(width(), height()) - pen;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    QColor track = UiColors::normalText();
    track.setAlpha(50);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(circle);
    painter.setPen(QPen(UiColors::normalText(), pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, -m_angle * 16, 100 * 16);
}
