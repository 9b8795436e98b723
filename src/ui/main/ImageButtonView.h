#pragma once

#include "PressControl.h"
#include "platform/gui/ImageView.h"

#include <QPointer>
#include <QSize>

#include <functional>
#include <optional>

// An image that acts as a button: a press raises onClick at once with a short fade, and the pointer
// entering it gives a short growth pulse. The pulse is drawn over the neighbours by a picture of its
// own: the button's geometry, and so the layout around it, never changes on hover.
class ImageButtonView : public PressControl<ImageView>
{
    Q_OBJECT
public:
    explicit ImageButtonView(QWidget* parent = nullptr);

    std::function<void()> onClick;

    // Keeps the current size as the resting one and starts following the pointer.
    void initiate();
    bool isInitiated() const { return m_originalWidth.has_value(); }
    std::optional<double> originalWidth() const { return m_originalWidth; }
    std::optional<double> originalHeight() const { return m_originalHeight; }

    bool frameAnimated() const { return m_frameAnimated; }
    void setFrameAnimated(bool animated) { m_frameAnimated = animated; }

    void fadeAnimationStart();
    void fadeAnimationStop();
    void startFrameAnimation();
    void endFrameAnimation();
    // The current opacity of the fade, 1.0 when resting.
    double alphaValue() const;

    static constexpr int FadeMs = 150;
    static constexpr int PulseMs = 100;

protected:
    void pressed() override;
    void enterEvent(QEnterEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setAlpha(double alpha);

    std::optional<double> m_originalWidth;
    std::optional<double> m_originalHeight;
    bool m_frameAnimated = false;
    // The grown picture shown during a pulse, a sibling outside any layout.
    QPointer<ImageView> m_pulseView;
    double m_alpha = 1.0;
};
