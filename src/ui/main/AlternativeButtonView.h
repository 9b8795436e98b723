#pragma once

#include "PressControl.h"
#include "platform/gui/ImageView.h"

#include <QString>

#include <functional>
#include <optional>

// An image that acts as a button and shows an alternative image while the pointer is over it or while
// a caller asks for it.
class AlternativeButtonView : public PressControl<ImageView>
{
    Q_OBJECT
public:
    explicit AlternativeButtonView(QWidget* parent = nullptr);

    std::function<void()> onClick;
    std::function<void()> onMouseEntered;
    std::function<void()> onMouseExited;

    // The image shown now becomes the main image; the given one is shown while activated.
    void setAlternativeImage(const QString& name);
    // True shows the alternative image, false the main one; an absent name changes nothing.
    void activate(bool active);
    // Starts following the pointer by itself.
    void initiate();

    std::optional<QString> mainImage() const { return m_mainImage; }
    std::optional<QString> alternativeImage() const { return m_alternativeImage; }

protected:
    void pressed() override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::optional<QString> m_mainImage;
    std::optional<QString> m_alternativeImage;
    bool m_initiated = false;
};
