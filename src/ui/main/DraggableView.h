#pragma once

#include <QPointF>
#include <QSplitter>

#include <functional>
#include <optional>

class QMouseEvent;

// The main window's split view that lets the user move the window by pressing and dragging on it. It
// remembers where a press began and reports each drag that follows; the window moves itself.
class DraggableView : public QSplitter
{
    Q_OBJECT
public:
    // The drag event and where the press was, both in window coordinates.
    using MouseDraggedBlock = std::function<void(QMouseEvent* theEvent, QPointF windowInitialLocation)>;

    explicit DraggableView(QWidget* parent = nullptr);

    MouseDraggedBlock onMouseDragged;

    std::optional<QPointF> initialLocation() const { return m_initialLocation; }
    bool isOnMouseDown() const { return m_isOnMouseDown; }
    bool isAtLeastYosemite() const { return m_isAtLeastYosemite; }
    // Height of the band at the top where presses are left alone when the title bar is transparent.
    static constexpr double TitleBarBand = 22.0;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

protected:
    QSplitterHandle* createHandle() override;

private:
    std::optional<QPointF> m_initialLocation;
    bool m_isOnMouseDown = false;
    bool m_isAtLeastYosemite;
};
