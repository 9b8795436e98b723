#include "CommentListItemDelegate.h"

#include "CommentListModel.h"
#include "CommentTableCellView.h"
#include "CommentTextLabel.h"
#include "ui/UiColors.h"
#include "ui/main/KeyboardFocus.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <cmath>

namespace {

struct LineMetrics
{
    qreal lineHeight;
    qreal charWidth;
};

const LineMetrics& lineMetrics()
{
    static const LineMetrics metrics = [] {
        const QFontMetricsF font(CommentTextLabel::commentFont());
        return LineMetrics{CommentTextLabel::measureText(QStringLiteral("X"), 1000).height(),
                           font.averageCharWidth()};
    }();
    return metrics;
}

} // namespace

CommentListItemDelegate::CommentListItemDelegate(Fill fill, const CommentListModel* model,
                                                 QAbstractItemView* view, QObject* parent)
    : QStyledItemDelegate(parent), m_fill(std::move(fill)), m_model(model), m_view(view),
      m_cell(std::make_unique<CommentTableCellView>())
{
    m_cell->setAttribute(Qt::WA_DontShowOnScreen);
    m_cell->ensurePolished();
    if (m_view) {
        m_scrollBarExtent =
            m_view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_view->verticalScrollBar());
    }
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, &CommentListItemDelegate::forgetHeights);
        connect(model, &QAbstractItemModel::modelReset, this, &CommentListItemDelegate::measureInIdleTurns);
    }
}

CommentListItemDelegate::~CommentListItemDelegate() = default;

int CommentListItemDelegate::layoutWidth() const
{
    if (!m_view) {
        return m_cell->width();
    }
    return qMax(1, m_view->width() - 2 * m_view->frameWidth() - m_scrollBarExtent);
}

void CommentListItemDelegate::forgetHeights()
{
    m_heights.clear();
    m_estimates.clear();
    m_rowsAtOnce = -1;
    m_estimatesWrong = false;
}

void CommentListItemDelegate::checkWidth() const
{
    const int width = layoutWidth();
    const qsizetype rows = m_model ? m_model->rowCount() : 0;
    if (width != m_heightsWidth || m_heights.size() != rows) {
        const bool widthChanged = width != m_heightsWidth && m_heightsWidth >= 0;
        m_heights = QList<int>(rows, -1);
        m_estimates = QList<int>(rows, -1);
        m_heightsWidth = width;
        m_rowsAtOnce = -1;
        if (widthChanged) {
            QTimer::singleShot(0, const_cast<CommentListItemDelegate*>(this),
                               &CommentListItemDelegate::measureInIdleTurns);
        }
    }
}

int CommentListItemDelegate::rowHeight(int row) const
{
    checkWidth();
    if (row < 0 || row >= m_heights.size()) {
        return CommentTableCellView::heightForText(QString(), m_heightsWidth);
    }
    if (m_heights.at(row) >= 0) {
        return m_heights.at(row);
    }
    const int height = CommentTableCellView::heightForText(m_model->decodedContent(row), m_heightsWidth);
    m_heights[row] = height;
    if (height != estimatedHeight(row)) {
        m_estimatesWrong = true;
    }
    return height;
}

bool CommentListItemDelegate::isMeasured(int row) const
{
    checkWidth();
    return row >= 0 && row < m_heights.size() && m_heights.at(row) >= 0;
}

int CommentListItemDelegate::estimatedHeight(int row) const
{
    checkWidth();
    if (row < 0 || row >= m_estimates.size()) {
        return CommentTableCellView::ChromeHeight;
    }
    if (m_estimates.at(row) >= 0) {
        return m_estimates.at(row);
    }
    const LineMetrics& metrics = lineMetrics();
    const qreal width = qMax(1, m_heightsWidth - CommentTableCellView::ContentWidthInset);
    // From the length alone, without reading the text: the row is measured soon anyway.
    const qsizetype length = m_model->isDecoded(row) ? m_model->decodedContent(row).size()
                                                     : m_model->comments().at(row).content.size();
    const int lines = qMax(1, int(std::ceil(length * metrics.charWidth / width)));
    const int height = int(std::ceil(lines * metrics.lineHeight)) + CommentTableCellView::ChromeHeight;
    m_estimates[row] = height;
    return height;
}

int CommentListItemDelegate::rowsMeasuredAtOnce() const
{
    checkWidth();
    if (m_rowsAtOnce < 0) {
        // The rows that fill the first screen by their estimates.
        const int screen = m_view ? m_view->viewport()->height() : 600;
        int height = 0;
        int rows = 0;
        while (rows < m_estimates.size() && height <= screen) {
            height += estimatedHeight(rows);
            ++rows;
        }
        m_rowsAtOnce = rows;
    }
    return m_rowsAtOnce;
}

int CommentListItemDelegate::laidOutHeight(int row) const
{
    if (isMeasured(row) || row < rowsMeasuredAtOnce()) {
        return rowHeight(row);
    }
    return estimatedHeight(row);
}

void CommentListItemDelegate::relayoutWhenEstimatesWereWrong() const
{
    if (!m_estimatesWrong || m_relayoutQueued) {
        return;
    }
    m_relayoutQueued = true;
    // Not from inside a paint or a layout: the list lays itself out again on its next turn.
    QPointer<const CommentListItemDelegate> self = this;
    QTimer::singleShot(0, const_cast<CommentListItemDelegate*>(this), [self] {
        if (!self) {
            return;
        }
        auto* me = const_cast<CommentListItemDelegate*>(self.data());
        me->m_relayoutQueued = false;
        me->m_estimatesWrong = false;
        Q_EMIT me->sizeHintChanged(QModelIndex());
    });
}

void CommentListItemDelegate::measureInIdleTurns()
{
    const quint64 generation = ++m_generation;
    m_nextToMeasure = 0;
    // After the first frame of the new list has been drawn.
    QTimer::singleShot(m_firstTurnDelay, this, [this, generation] { measureSomeRows(generation); });
}

void CommentListItemDelegate::measureSomeRows(quint64 generation)
{
    // A newer list or width has its own turns.
    if (generation != m_generation || !m_model) {
        return;
    }
    const int rows = m_model->rowCount();
    const int end = qMin(rows, m_nextToMeasure + MeasuredPerTurn);
    for (; m_nextToMeasure < end; ++m_nextToMeasure) {
        rowHeight(m_nextToMeasure);
    }
    if (m_nextToMeasure < rows) {
        QTimer::singleShot(0, this, [this, generation] { measureSomeRows(generation); });
        return;
    }
    relayoutWhenEstimatesWereWrong();
}

CommentTableCellView& CommentListItemDelegate::filledCell(int row) const
{
    const int width = layoutWidth();
    if (m_cell->width() != width) {
        m_cell->resize(width, m_cell->height());
    }
    if (m_fill) {
        m_fill(*m_cell, row);
    }
    return *m_cell;
}

void CommentListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    if (!isMeasured(index.row())) {
        rowHeight(index.row());
        relayoutWhenEstimatesWereWrong();
    }
    // The list's current comment, which Return opens the menu of, shows while the keyboard is in the list.
    if (option.state.testFlag(QStyle::State_HasFocus) && m_view && KeyboardFocus::ringShown(m_view)) {
        painter->fillRect(option.rect, UiColors::selectedRow());
    }
    CommentTableCellView& cell = filledCell(index.row());
    cell.paintContents(painter, option.rect.topLeft());
    painter->fillRect(QRect(option.rect.left() + 8, option.rect.bottom(), option.rect.width() - 16, 1),
                      UiColors::separatorLine());
}

QSize CommentListItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    return QSize(layoutWidth(), laidOutHeight(index.row()));
}
