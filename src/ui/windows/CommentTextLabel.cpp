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

QHash<LayoutKey, std::shared_ptr<const CommentTextLabel::Layout>>& keptLayouts()
{
    // Never destroyed: layouts hold fonts, which must not outlive the application object.
    static auto* kept = new QHash<LayoutKey, std::shared_ptr<const CommentTextLabel::Layout>>();
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

std::shared_ptr<const CommentTextLabel::Layout> CommentTextLabel::layoutFor(const QString& text, int width)
{
    QHash<LayoutKey, std::shared_ptr<const Layout>>& kept = keptLayouts();
    const LayoutKey key{text, width};
    if (const auto found = kept.constFind(key); found != kept.constEnd()) {
        return *found;
    }
    // Lines break only at line separators.
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);

    // Laid out a piece at a time: for each line, the text layout looks ahead to the next word boundary, so
    // a long text without blanks would take time in the square of its length in one layout. A line that
    // reaches the end of its piece may end differently with the text after it, so it starts the next piece;
    // the lines before it are those one layout of the whole text makes.
    auto layout = std::make_shared<Layout>();
    qreal height = 0;
    qsizetype start = 0;
    while (start < laidOut.size()) {
        qsizetype end = qMin(laidOut.size(), start + PieceLength);
        if (end < laidOut.size() && laidOut.at(end - 1).isHighSurrogate()) {
            --end;
        }
        const bool lastPiece = end == laidOut.size();
        const qsizetype pieceLength = end - start;
        Piece piece{std::make_shared<QTextLayout>(laidOut.mid(start, pieceLength), commentFont()), 0};
        // Keeps the shaped glyphs after the layout, so drawing does not shape the text again.
        piece.layout->setCacheEnabled(true);
        piece.layout->setTextOption(option);
        qsizetype next = end;
        piece.layout->beginLayout();
        while (true) {
            QTextLine line = piece.layout->createLine();
            if (!line.isValid()) {
                break;
            }
            line.setLineWidth(width);
            if (!lastPiece && piece.lines > 0 && line.textStart() + line.textLength() >= pieceLength) {
                next = start + line.textStart();
                break;
            }
            line.setPosition(QPointF(0, height));
            height += line.height();
            layout->width = std::max(layout->width, line.naturalTextWidth());
            ++piece.lines;
        }
        piece.layout->endLayout();
        layout->pieces.append(piece);
        start = next;
    }
    layout->height = height;
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
    const std::shared_ptr<const Layout> layout = layoutFor(text, qMax(1, int(width)));
    return QSizeF(layout->width, layout->height);
}

QStringList CommentTextLabel::lines(const QString& text, qreal width)
{
    QStringList lines;
    if (text.isEmpty()) {
        return lines;
    }
    const std::shared_ptr<const Layout> layout = layoutFor(text, qMax(1, int(width)));
    for (const Piece& piece : layout->pieces) {
        for (int i = 0; i < piece.lines; ++i) {
            const QTextLine line = piece.layout->lineAt(i);
            lines << piece.layout->text().mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

void CommentTextLabel::drawText(QPainter* painter, const QRect& rect, const QString& text,
                                const QColor& color)
{
    if (text.isEmpty()) {
        return;
    }
    const std::shared_ptr<const Layout> layout = layoutFor(text, qMax(1, rect.width()));
    painter->setPen(color);
    // Only the lines in sight (inside the clip, or else on the device): a long comment has thousands.
    QRectF sight = painter->hasClipping() ? painter->clipBoundingRect() : QRectF();
    if (sight.isEmpty() && painter->device()) {
        sight = painter->transform().inverted().mapRect(
            QRectF(0, 0, painter->device()->width(), painter->device()->height()));
    }
    for (const Piece& piece : layout->pieces) {
        for (int i = 0; i < piece.lines; ++i) {
            const QTextLine line = piece.layout->lineAt(i);
            const qreal top = rect.top() + line.y();
            if (!sight.isEmpty() && (top > sight.bottom() || top + line.height() < sight.top())) {
                continue;
            }
            line.draw(painter, rect.topLeft());
        }
    }
}

void CommentTextLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawText(&painter, contentsRect(), text(), palette().color(QPalette::WindowText));
}
