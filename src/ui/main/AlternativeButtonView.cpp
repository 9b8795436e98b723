#include "AlternativeButtonView.h"

AlternativeButtonView::AlternativeButtonView(QWidget* parent) : PressControl<ImageView>(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void AlternativeButtonView::setAlternativeImage(const QString& name)
{
    const QString shown = imageName();
    m_mainImage = shown.isEmpty() ? std::nullopt : std::optional<QString>(shown);
    m_alternativeImage = name;
}

void AlternativeButtonView::activate(bool active)
{
    const std::optional<QString>& chosen = active ? m_alternativeImage : m_mainImage;
    if (chosen) {
        setImageName(*chosen);
    }
}

void AlternativeButtonView::initiate()
{
    m_initiated = true;
    setAttribute(Qt::WA_Hover, true);
}

void AlternativeButtonView::pressed()
{
    run(onClick);
}

void AlternativeButtonView::enterEvent(QEnterEvent* event)
{
    ImageView::enterEvent(event);
    if (!m_initiated) {
        return;
    }
    activate(true);
    if (onMouseEntered) {
        onMouseEntered();
    }
}

void AlternativeButtonView::leaveEvent(QEvent* event)
{
    ImageView::leaveEvent(event);
    if (!m_initiated) {
        return;
    }
    activate(false);
    if (onMouseExited) {
        onMouseExited();
    }
}
