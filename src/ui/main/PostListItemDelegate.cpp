#include "PostListItemDelegate.h"

#include "PostTableCellView.h"
#include "platform/gui/ImageLibrary.h"
#include "platform/gui/ImageView.h"
#include "ui/UiColors.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QTextOption>

namespace {

// A row keeps its glyphs (about 1.5 KB): a hundred screens' worth stays within a couple of MB.
constexpr int MaximumKeptRows = 1024;

QColor textColor(const QLabel* label)
{
    return label->palette().color(label->foregroundRole());
}

// The lines an ElidedLabel shows: wrapped at words, at most `lines`, the last one elided. Lines drawn as
// laid out keep the layout's glyphs, so they are not shaped a second time when painted.
QList<PostListItemDelegate::Line> elidedLines(const QString& text, const QFont& font, int width, int lines)
{
    QList<PostListItemDelegate::Line> result;
    const QString shown = text.simplified();
    if (shown.isEmpty() || width <= 0) {
        return result;
    }
    // Glyph positions of right-to-left lines depend on alignment: such text is drawn from its characters.
    const bool keepGlyphs = !shown.isRightToLeft();
    const QFontMetrics metrics(font);
    QTextLayout layout(shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (int index = 0; index < lines; ++index) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
        if (index == lines - 1 && line.textStart() + line.textLength() < shown.size()) {
            // This line and the next are wider than the place, so eliding them cuts where eliding the
            // whole rest would, without shaping the rest.
            QTextLine next = layout.createLine();
            next.setLineWidth(width);
            const QString rest = shown.mid(line.textStart(), line.textLength() + next.textLength());
            result.append({metrics.elidedText(rest, Qt::ElideRight, width), {}, 0});
            break;
        }
        PostListItemDelegate::Line shownLine;
        shownLine.text = shown.mid(line.textStart(), line.textLength()).trimmed();
        if (keepGlyphs) {
            shownLine.glyphs = line.glyphRuns();
            shownLine.ascent = line.ascent();
        }
        result.append(shownLine);
    }
    layout.endLayout();
    return result;
}

// Its baseline at `baseline`, where QPainter::drawText puts a text drawn at that point.
void drawLine(QPainter* painter, const PostListItemDelegate::Line& line, int left, int baseline)
{
    if (line.glyphs.isEmpty()) {
        painter->drawText(QPoint(left, baseline), line.text);
        return;
    }
    for (const QGlyphRun& run : line.glyphs) {
        painter->drawGlyphRun(QPointF(left, baseline - line.ascent), run);
    }
}

} // namespace

PostListItemDelegate::PostListItemDelegate(Fill fill, Describe describe, Highlighted highlighted,
                                           QObject* parent)
    : QStyledItemDelegate(parent), m_fill(std::move(fill)), m_describe(std::move(describe)),
      m_highlighted(std::move(highlighted)), m_cell(std::make_unique<PostTableCellView>())
{
    m_cell->setAttribute(Qt::WA_DontShowOnScreen);
    m_cell->ensurePolished();
    // Fonts larger than usual must not be cut off.
    m_rowHeight = qMax(MinimumRowHeight, m_cell->layout()->minimumSize().height());
}

PostListItemDelegate::~PostListItemDelegate() = default;

void PostListItemDelegate::watch(QAbstractItemModel* model)
{
    connect(model, &QAbstractItemModel::modelReset, this, &PostListItemDelegate::forgetRows);
    connect(model, &QAbstractItemModel::dataChanged, this, &PostListItemDelegate::forgetRows);
    connect(model, &QAbstractItemModel::rowsInserted, this, &PostListItemDelegate::forgetRows);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &PostListItemDelegate::forgetRows);
    connect(model, &QAbstractItemModel::rowsMoved, this, &PostListItemDelegate::forgetRows);
    connect(model, &QAbstractItemModel::layoutChanged, this, &PostListItemDelegate::forgetRows);
}

void PostListItemDelegate::forgetRows()
{
    m_rows.clear();
    m_laidOut = 0;
}

PostTableCellView& PostListItemDelegate::filledCell(int row, int width) const
{
    if (m_fill) {
        m_fill(*m_cell, row);
    }
    const QSize size(qMax(1, width), m_rowHeight);
    if (m_cell->size() != size) {
        m_cell->resize(size);
        m_cell->layout()->invalidate();
    }
    m_cell->layout()->activate();
    return *m_cell;
}

int PostListItemDelegate::rowHeight() const
{
    return m_rowHeight;
}

const PostListItemDelegate::Geometry& PostListItemDelegate::geometryFor(int width) const
{
    width = qMax(1, width);
    if (m_geometry.width == width) {
        return m_geometry;
    }
    // The cell laid out once at this width, with a count shown, tells where every part goes.
    m_cell->setPostTitle(QStringLiteral("X"));
    m_cell->setPostDate(QStringLiteral("X"));
    m_cell->setPostPreview(QStringLiteral("X"));
    m_cell->setCommentsCount(0);
    m_cell->resize(width, m_rowHeight);
    m_cell->layout()->invalidate();
    m_cell->layout()->activate();
    Geometry geometry;
    geometry.width = width;
    geometry.marker = m_cell->selectedView()->geometry();
    geometry.icon = m_cell->icon()->geometry();
    geometry.title = m_cell->titleLabel()->geometry();
    geometry.date = m_cell->dateLabel()->geometry();
    geometry.commentsIcon = m_cell->commentsIcon()->geometry();
    geometry.count = m_cell->commentsCountLabel()->geometry();
    geometry.countRight = geometry.count.right();
    geometry.preview = m_cell->previewLabel()->geometry();
    m_geometry = geometry;
    m_rows.clear();
    m_laidOut = 0;
    return m_geometry;
}

const PostListItemDelegate::LaidOutRow& PostListItemDelegate::laidOut(int row, int width) const
{
    const Geometry& geometry = geometryFor(width);
    if (const auto found = m_rows.constFind(row); found != m_rows.cend()) {
        return *found;
    }
    if (m_rows.size() >= MaximumKeptRows) {
        m_rows.clear();
    }
    const Row content = m_describe ? m_describe(row) : Row();
    LaidOutRow laid;
    laid.title = elidedLines(content.title, m_cell->titleLabel()->font(), geometry.title.width(), 1).value(0);
    laid.date = content.date;
    laid.preview = elidedLines(content.preview, m_cell->previewLabel()->font(), geometry.preview.width(), 2);
    if (content.commentsCount >= 0) {
        laid.count = QString::number(content.commentsCount);
        laid.countWidth = QFontMetrics(m_cell->commentsCountLabel()->font()).horizontalAdvance(laid.count);
    }
    laid.imageName = content.imageName;
    ++m_laidOut;
    return *m_rows.insert(row, laid);
}

QPixmap PostListItemDelegate::image(const QString& name, const QSize& size, qreal ratio) const
{
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height()) + QLatin1Char('@') + QString::number(ratio);
    auto found = m_images.constFind(key);
    if (found == m_images.cend()) {
        const int side = qMax(1, qMin(size.width(), size.height()));
        found = m_images.insert(key, ImageLibrary::hasImage(name)
                                         ? ImageLibrary::pixmap(name, QSize(side, side), ratio)
                                         : QPixmap());
    }
    return *found;
}

void PostListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    const int row = index.row();
    const LaidOutRow& laid = laidOut(row, option.rect.width());
    const Geometry& geometry = m_geometry;
    const QPoint origin = option.rect.topLeft();
    const qreal ratio = painter->device()->devicePixelRatioF();
    painter->save();
    if (m_highlighted && m_highlighted(row)) {
        painter->fillRect(QRect(origin, QSize(option.rect.width(), m_rowHeight)), UiColors::selectedRow());
        painter->fillRect(geometry.marker.translated(origin), UiColors::accent());
    }
    const auto drawImage = [&](const QString& name, const QRect& place) {
        const QPixmap pixmap = image(name, place.size(), ratio);
        if (pixmap.isNull()) {
            return;
        }
        const QSize size = (QSizeF(pixmap.size()) / pixmap.devicePixelRatio()).toSize();
        const QRect target =
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, place.translated(origin));
        painter->drawPixmap(target, pixmap);
    };
    drawImage(laid.imageName, geometry.icon);

    painter->setFont(m_cell->titleLabel()->font());
    painter->setPen(textColor(m_cell->titleLabel()));
    const QRect title = geometry.title.translated(origin);
    drawLine(painter, laid.title, title.left(), title.top() + QFontMetrics(painter->font()).ascent());

    painter->setFont(m_cell->dateLabel()->font());
    painter->setPen(textColor(m_cell->dateLabel()));
    QRect date = geometry.date.translated(origin);
    if (!laid.count.isEmpty()) {
        const QRect count(geometry.countRight - laid.countWidth + 1, geometry.count.top(), laid.countWidth,
                          geometry.count.height());
        const int spacing = geometry.count.left() - geometry.commentsIcon.right() - 1;
        const QRect icon(count.left() - spacing - geometry.commentsIcon.width(), geometry.commentsIcon.top(),
                         geometry.commentsIcon.width(), geometry.commentsIcon.height());
        drawImage(QStringLiteral("CommentsCountIcon"), icon);
        painter->setFont(m_cell->commentsCountLabel()->font());
        painter->setPen(textColor(m_cell->commentsCountLabel()));
        painter->drawText(count.translated(origin), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                          laid.count);
        date.setRight(icon.translated(origin).left() - spacing - 1);
        painter->setFont(m_cell->dateLabel()->font());
        painter->setPen(textColor(m_cell->dateLabel()));
    } else {
        date.setRight(origin.x() + geometry.countRight);
    }
    painter->drawText(date, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, laid.date);

    painter->setFont(m_cell->previewLabel()->font());
    painter->setPen(textColor(m_cell->previewLabel()));
    const QRect preview = geometry.preview.translated(origin);
    const QFontMetrics previewMetrics(painter->font());
    int y = preview.top();
    for (const Line& line : laid.preview) {
        drawLine(painter, line, preview.left(), y + previewMetrics.ascent());
        y += previewMetrics.lineSpacing();
    }
    painter->restore();

    const int inset = 16;
    painter->fillRect(QRect(option.rect.left() + inset, option.rect.bottom(), option.rect.width() - inset, 1),
                      UiColors::separatorLine());
}

QSize PostListItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), m_rowHeight);
}
