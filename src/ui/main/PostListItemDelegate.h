#pragma once

#include <QImage>
#include <QStyledItemDelegate>

#include <functional>
#include <memory>

class PostTableCellView;

// Draws each row of the post list by filling one cell and rendering it into the row, so a long list
// costs one widget, not one per row.
class PostListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using Fill = std::function<void(PostTableCellView& cell, int row)>;

    explicit PostListItemDelegate(Fill fill, QObject* parent = nullptr);
    ~PostListItemDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The cell filled for the row and laid out at that width: what paint draws.
    PostTableCellView& filledCell(int row, int width) const;
    int rowHeight() const;

    static constexpr int MinimumRowHeight = 76;

private:
    Fill m_fill;
    std::unique_ptr<PostTableCellView> m_cell;
    mutable QImage m_image;
    int m_rowHeight;
};
