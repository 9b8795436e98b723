#include "ElidedLabel.h"

#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

int ElidedLabel::maximumLines() const
{
    return m_maximumLines;
}

void ElidedLabel::setMaximumLines(int lines)
{
    m_maximumLines = qMax(1, lines);
    updateGeometry();
    update();
}

QSize ElidedLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return QSize(fontMetrics().averageCharWidth() * 20, fontMetrics().lineSpacing() * m_maximumLines) +
           QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    const QString shown = text().simplified();
    if (shown.isEmpty()) {
        return;
    }
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());

    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int y = area.top();
    for (int lineIndex = 0; lineIndex < m_maximumLines; ++lineIndex) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(area.width());
        const bool last = lineIndex == m_maximumLines - 1;
        const QPoint baseline(area.left(), y + metrics.ascent());
        if (last && line.textStart() + line.textLength() < shown.size()) {
            painter.drawText(baseline,
                             metrics.elidedText(shown.mid(line.textStart()), Qt::ElideRight, area.width()));
            break;
        }
        painter.drawText(baseline, shown.mid(line.textStart(), line.textLength()).trimmed());
        y += metrics.lineSpacing();
    }
    layout.endLayout();
}
