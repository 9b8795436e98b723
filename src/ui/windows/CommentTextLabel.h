#pragma once

#include <QFont>
#include <QLabel>
#include <QSizeF>
#include <QString>

#include <memory>

class QPainter;
class QTextLayout;

// The text of a comment: plain text, never markup, wrapped at word boundaries and, for words longer than
// a line (addresses), anywhere, exactly as measureText measures it. The layouts made for measuring are kept
// for a while, so a row measured for the list is drawn without being laid out again. Main thread only.
class CommentTextLabel : public QLabel
{
    Q_OBJECT
public:
    static constexpr int LayoutsKept = 256;

    explicit CommentTextLabel(QWidget* parent = nullptr);

    // The font comments are shown and measured in.
    static QFont commentFont();
    // The size the text takes in that font inside a box of the width.
    static QSizeF measureText(const QString& text, qreal width);
    // Drops the layouts kept.
    static void forgetLayouts();
    // Draws the text as the label does, into the rectangle of the painter's coordinates.
    static void drawText(QPainter* painter, const QRect& rect, const QString& text, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static std::shared_ptr<QTextLayout> layoutFor(const QString& text, int width);
};
