#include "CommentListItemDelegate.h"

#include "CommentListModel.h"
#include "CommentTableCellView.h"
#include "ui/UiColors.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

CommentListItemDelegate::CommentListItemDelegate(Fill fill, const CommentListModel* model,
                                                 QAbstractItemView* view, QObject* parent)
    : QStyledItemDelegate(parent), m_fill(std::move(fill)), m_model(model), m_view(view),
      m_cell(std::make_unique<CommentTableCellView>())
{
    m_cell->setAttribute(Qt::WA_DontShowOnScreen);
    m_cell->ensurePolished();
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, &CommentListItemDelegate::forgetHeights);
    }
}

CommentListItemDelegate::~CommentListItemDelegate() = default;

int CommentListItemDelegate::layoutWidth() const
{
    if (!m_view) {
        return m_cell->width();
    }
    const int scrollBar =
        m_view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_view->verticalScrollBar());
    return qMax(1, m_view->width() - 2 * m_view->frameWidth() - scrollBar);
}

void CommentListItemDelegate::forgetHeights()
{
    m_heights.clear();
}

int CommentListItemDelegate::rowHeight(int row) const
{
    const int width = layoutWidth();
    if (width != m_heightsWidth) {
        m_heights.clear();
        m_heightsWidth = width;
    }
    const auto found = m_heights.constFind(row);
    if (found != m_heights.constEnd()) {
        return *found;
    }
    const int height =
        CommentTableCellView::heightForText(m_model ? m_model->decodedContent(row) : QString(), width);
    m_heights.insert(row, height);
    return height;
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
    CommentTableCellView& cell = filledCell(index.row());
    // Through an image: rendering straight into the view's painter lands off by the view's place in
    // its window.
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QSize pixels = (QSizeF(cell.size()) * ratio).toSize();
    if (m_image.size() != pixels) {
        m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::transparent);
    cell.render(&m_image, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->drawImage(option.rect.topLeft(), m_image);
    painter->fillRect(QRect(option.rect.left() + 8, option.rect.bottom(), option.rect.width() - 16, 1),
                      UiColors::separatorLine());
}

QSize CommentListItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const
{
    return QSize(layoutWidth(), rowHeight(index.row()));
}
