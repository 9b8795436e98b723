#pragma once

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>
#include <memory>

class CommentListModel;
class CommentTableCellView;
class QAbstractItemView;

// Draws each row of the comments list by filling one cell and rendering it into the row, so a long list
// costs one widget, not one per row. Each row is as high as its text needs at the list's width; heights
// are measured once per width.
class CommentListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using Fill = std::function<void(CommentTableCellView& cell, int row)>;

    CommentListItemDelegate(Fill fill, const CommentListModel* model, QAbstractItemView* view,
                            QObject* parent = nullptr);
    ~CommentListItemDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The width rows are laid out at: the list's inside, less room for its scroll bar, so that the scroll
    // bar coming or going does not change a row's height.
    int layoutWidth() const;
    int rowHeight(int row) const;
    // The cell filled for the row and laid out at the layout width: what paint draws.
    CommentTableCellView& filledCell(int row) const;
    // After the rows changed.
    void forgetHeights();

private:
    Fill m_fill;
    QPointer<const CommentListModel> m_model;
    QPointer<QAbstractItemView> m_view;
    std::unique_ptr<CommentTableCellView> m_cell;
    mutable QImage m_image;
    mutable QHash<int, int> m_heights;
    mutable int m_heightsWidth = -1;
};
