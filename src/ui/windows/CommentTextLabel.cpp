#include "CommentTextLabel.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {

struct LayoutKey
{
    QString text;
    int width;
    bool operator==(const LayoutKey&) const = default;
};

size_t qHash(const LayoutKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.text, key.width);
}

QHash<LayoutKey, std::shared_ptr<QTextLayout>>& keptLayouts()
{
    // Never destroyed: layouts hold fonts, which must not outlive the application object.
    static auto* kept = new QHash<LayoutKey, std::shared_ptr<QTextLayout>>();
    return *kept;
}

} // namespace

CommentTextLabel::CommentTextLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setFont(commentFont());
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QFont CommentTextLabel::commentFont()
{
    // Made once, as a fresh font is matched against the system's fonts at each use; never destroyed, as a
    // font must not outlive the application object.
    static const QFont* font = [] {
        // The window's own face and size, as the rest of the desktop reads.
        return new QFont(QApplication::font("QWidget"));
    }();
    return *font;
}

std::shared_ptr<QTextLayout> CommentTextLabel::layoutFor(const QString& text, int width)
{
    QHash<LayoutKey, std::shared_ptr<QTextLayout>>& kept = keptLayouts();
    const LayoutKey key{text, width};
    if (const auto found = kept.constFind(key); found != kept.constEnd()) {
        return *found;
    }
    // Lines break only at line separators.
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    auto layout = std::make_shared<QTextLayout>(laidOut, commentFont());
    // Keeps the shaped glyphs after the layout, so drawing does not shape the text again.
    layout->setCacheEnabled(true);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    qreal height = 0;
    layout->beginLayout();
    while (true) {
        QTextLine line = layout->createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout->endLayout();
    if (kept.size() >= LayoutsKept) {
        kept.clear();
    }
    kept.insert(key, layout);
    return layout;
}

void CommentTextLabel::forgetLayouts()
{
    keptLayouts().clear();
}

QSizeF CommentTextLabel::measureText(const QString& text, qreal width)
{
    if (text.isEmpty()) {
        // An empty text still takes one line, as a text container reports it.
        return QSizeF(0, QFontMetricsF(commentFont()).height());
    }
    const std::shared_ptr<QTextLayout> layout = layoutFor(text, qMax(1, int(width)));
    qreal usedWidth = 0;
    for (int i = 0; i < layout->lineCount(); ++i) {
        usedWidth = std::max(usedWidth, layout->lineAt(i).naturalTextWidth());
    }
    return QSizeF(usedWidth, layout->boundingRect().height());
}

void CommentTextLabel::drawText(QPainter* painter, const QRect& rect, const QString& text,
                                const QColor& color)
{
    if (text.isEmpty()) {
        return;
    }
    const std::shared_ptr<QTextLayout> layout = layoutFor(text, qMax(1, rect.width()));
    painter->setPen(color);
    layout->draw(painter, rect.topLeft());
}

void CommentTextLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawText(&painter, contentsRect(), text(), palette().color(QPalette::WindowText));
}
