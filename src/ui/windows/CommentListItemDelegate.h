#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QStyledItemDelegate>

#include <functional>
#include <memory>

class CommentListModel;
class CommentTableCellView;
class QAbstractItemView;

// Draws each row of the comments list by filling one cell and drawing what it shows into the row, so a long
// list costs one widget, not one per row. Each row is as high as its text needs at the list's width.
//
// Measuring text is the dear part of a listing, so a new list measures the rows of its first screens at
// once and gives the others an estimate from their length; those are measured when drawn, or in idle turns
// of the event loop from the next frame on, and the list lays itself out again once when they differ.
class CommentListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using Fill = std::function<void(CommentTableCellView& cell, int row)>;

    // Rows measured in one idle turn.
    static constexpr int MeasuredPerTurn = 40;
    static constexpr int FirstTurnDelayMs = 16;

    CommentListItemDelegate(Fill fill, const CommentListModel* model, QAbstractItemView* view,
                            QObject* parent = nullptr);
    ~CommentListItemDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The width rows are laid out at: the list's inside, less room for its scroll bar, so that the scroll
    // bar coming or going does not change a row's height.
    int layoutWidth() const;
    // The row's height measured.
    int rowHeight(int row) const;
    // What the list is told now: the measured height, or the estimate while the row is not measured.
    int laidOutHeight(int row) const;
    bool isMeasured(int row) const;
    // The cell filled for the row and laid out at the layout width: what paint draws.
    CommentTableCellView& filledCell(int row) const;
    // After the rows changed.
    void forgetHeights();
    // How long after a new list the idle measuring starts.
    void setFirstTurnDelay(int milliseconds) { m_firstTurnDelay = milliseconds; }

private:
    int estimatedHeight(int row) const;
    // Rows up to this one are measured at once: they fill the first screen.
    int rowsMeasuredAtOnce() const;
    void checkWidth() const;
    void measureInIdleTurns();
    void measureSomeRows(quint64 generation);
    void relayoutWhenEstimatesWereWrong() const;

    Fill m_fill;
    QPointer<const CommentListModel> m_model;
    QPointer<QAbstractItemView> m_view;
    std::unique_ptr<CommentTableCellView> m_cell;
    // By row, -1 while not known; for the layout width below.
    mutable QList<int> m_heights;
    mutable QList<int> m_estimates;
    mutable int m_rowsAtOnce = -1;
    mutable int m_heightsWidth = -1;
    mutable bool m_estimatesWrong = false;
    mutable bool m_relayoutQueued = false;
    int m_nextToMeasure = 0;
    int m_scrollBarExtent = 0;
    int m_firstTurnDelay = FirstTurnDelayMs;
    quint64 m_generation = 0;
};
