#pragma once

#include <QFont>
#include <QLabel>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

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
    // Characters laid out at once; a comment is laid out in pieces of this length, in time linear in its
    // length.
    static constexpr int PieceLength = 1024;

    explicit CommentTextLabel(QWidget* parent = nullptr);

    // The font comments are shown and measured in.
    static QFont commentFont();
    // The size the text takes in that font inside a box of the width.
    static QSizeF measureText(const QString& text, qreal width);
    // The text of each line as laid out in that width (line separators in place of line ends).
    static QStringList lines(const QString& text, qreal width);
    // Drops the layouts kept.
    static void forgetLayouts();
    // Draws the text as the label does, into the rectangle of the painter's coordinates.
    static void drawText(QPainter* painter, const QRect& rect, const QString& text, const QColor& color);

    // The laid-out lines of a text: the first `lines` lines of each piece's layout.
    struct Piece
    {
        std::shared_ptr<QTextLayout> layout;
        int lines = 0;
    };
    struct Layout
    {
        QList<Piece> pieces;
        qreal width = 0;
        qreal height = 0;
    };

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static std::shared_ptr<const Layout> layoutFor(const QString& text, int width);
};
