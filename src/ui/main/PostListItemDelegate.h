#pragma once

#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QStyledItemDelegate>

#include <cstdint>
#include <functional>
#include <memory>

class PostTableCellView;
class QAbstractItemModel;

// Draws each row of the post list straight from the row's texts, in the places, fonts and colours of
// one PostTableCellView laid out at the row's width, so a long list costs one widget, not one per row.
// The texts of a row are made, elided and laid out once per row and width, not at every paint.
class PostListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // What a row shows, as the cell would show it.
    struct Row
    {
        QString title;
        QString date;
        QString preview;
        // Negative: no count and no comments icon.
        std::int64_t commentsCount = -1;
        QString imageName;
    };
    // One laid-out line of a text: the glyphs shaped while it was laid out, placed by the line's ascent;
    // or, for a line that had to be elided (or runs right to left), its text.
    struct Line
    {
        QString text;
        QList<QGlyphRun> glyphs;
        qreal ascent = 0;
    };
    using Fill = std::function<void(PostTableCellView& cell, int row)>;
    using Describe = std::function<Row(int row)>;
    using Highlighted = std::function<bool(int row)>;

    PostListItemDelegate(Fill fill, Describe describe, Highlighted highlighted, QObject* parent = nullptr);
    ~PostListItemDelegate() override;

    // The rows' texts are made again after the model changes.
    void watch(QAbstractItemModel* model);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The cell filled for the row and laid out at that width: what a row shows, as a widget.
    PostTableCellView& filledCell(int row, int width) const;
    int rowHeight() const;
    // How many rows had their texts laid out since the list or the width last changed.
    int laidOutRows() const { return m_laidOut; }

    static constexpr int MinimumRowHeight = 76;

private:
    // Where the cell's parts sit at one width, taken from the cell's own layout.
    struct Geometry
    {
        int width = -1;
        QRect marker;
        QRect icon;
        QRect title;
        QRect date;
        QRect commentsIcon;
        int countRight = 0;
        QRect count;
        QRect preview;
    };
    // A row's texts, elided to their places.
    struct LaidOutRow
    {
        Line title;
        QString date;
        QList<Line> preview;
        QString count;
        int countWidth = 0;
        QString imageName;
    };

    const Geometry& geometryFor(int width) const;
    const LaidOutRow& laidOut(int row, int width) const;
    QPixmap image(const QString& name, const QSize& size, qreal ratio) const;
    void forgetRows();

    Fill m_fill;
    Describe m_describe;
    Highlighted m_highlighted;
    std::unique_ptr<PostTableCellView> m_cell;
    int m_rowHeight;
    mutable Geometry m_geometry;
    // By row; dropped when it grows past a few screens' worth times many, so memory stays bounded.
    mutable QHash<int, LaidOutRow> m_rows;
    mutable int m_laidOut = 0;
    mutable QHash<QString, QPixmap> m_images;
};
