#include "StringServicesLayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>

QSizeF StringServicesLayout::textSizeForWidth(const QString& text, const QFont& font,
                                              const QSizeF& size) const
{
    // The layout breaks lines only at line separators.
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const qreal lineWidth = size.width() > 0 ? size.width() : 1e9;
    const qreal maxHeight = size.height() > 0 ? size.height() : 1e9;
    qreal height = 0;
    qreal usedWidth = 0;
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(lineWidth);
        if (height + line.height() > maxHeight && height > 0) {
            break;
        }
        line.setPosition(QPointF(0, height));
        height += line.height();
        usedWidth = std::max(usedWidth, line.naturalTextWidth());
    }
    layout.endLayout();
    if (text.isEmpty()) {
        // An empty text still takes one line, as a text container reports it.
        height = QFontMetricsF(font).height();
    }
    return {usedWidth, height};
}
