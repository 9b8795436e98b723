#include "PostListItemDelegate.h"

#include "PostTableCellView.h"
#include "ui/UiColors.h"

#include <QImage>
#include <QLayout>
#include <QPainter>

PostListItemDelegate::PostListItemDelegate(Fill fill, QObject* parent)
    : QStyledItemDelegate(parent), m_fill(std::move(fill)), m_cell(std::make_unique<PostTableCellView>())
{
    m_cell->setAttribute(Qt::WA_DontShowOnScreen);
    m_cell->ensurePolished();
    // Fonts larger than usual must not be cut off.
    m_rowHeight = qMax(MinimumRowHeight, m_cell->layout()->minimumSize().height());
}

PostListItemDelegate::~PostListItemDelegate() = default;

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

void PostListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    PostTableCellView& cell = filledCell(index.row(), option.rect.width());
    // Through an image: rendering straight into the view's painter lands off by the view's place in
    // its window.
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QSize pixels = (QSizeF(cell.size()) * ratio).toSize();
    if (m_image.size() != pixels) {
        m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    }
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::transparent);
    cell.render(&m_image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    painter->drawImage(option.rect.topLeft(), m_image);
    const int inset = 16;
    painter->fillRect(QRect(option.rect.left() + inset, option.rect.bottom(), option.rect.width() - inset, 1),
                      UiColors::separatorLine());
}

QSize PostListItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), m_rowHeight);
}
