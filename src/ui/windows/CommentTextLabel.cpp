#include "CommentTextLabel.h"

#include "platform/gui/StringServicesLayout.h"

#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

CommentTextLabel::CommentTextLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFont(commentFont());
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QFont CommentTextLabel::commentFont()
{
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(12);
    return font;
}

QSizeF CommentTextLabel::measureText(const QString& text, qreal width)
{
    return StringServicesLayout().textSizeForWidth(text, commentFont(), QSizeF(width, 0));
}

void CommentTextLabel::paintEvent(QPaintEvent*)
{
    QString laidOut = text();
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(contentsRect().width());
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, contentsRect().topLeft());
}
