#pragma once

#include <QFont>
#include <QLabel>
#include <QSizeF>
#include <QString>

// The text of a comment: plain text, never markup, wrapped at word boundaries and, for words longer than
// a line (addresses), anywhere, exactly as measureText measures it.
class CommentTextLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CommentTextLabel(QWidget* parent = nullptr);

    // The font comments are shown and measured in.
    static QFont commentFont();
    // The size the text takes in that font inside a box of the width.
    static QSizeF measureText(const QString& text, qreal width);

protected:
    void paintEvent(QPaintEvent* event) override;
};
