#pragma once

// The least work that lists a blog's posts: raw sqlite3 rows of what a row shows, into a bare list model
// and a list view drawing plain text. The floor of the post list benchmarks.
#include <QAbstractListModel>
#include <QListView>
#include <QPainter>
#include <QString>
#include <QStyledItemDelegate>

#include <sqlite3.h>

#include <vector>

namespace BareList {

struct Row
{
    QString title;
    QString preview;
    QString updated;
    qint64 comments = 0;
    // The status the row's icon shows.
    QString status;
};

// One area of one blog, newest first, read straight off the statement.
inline std::vector<Row> read(sqlite3* db, const QString& blogId, const QString& area,
                             const char* order = "UpdatedDate DESC")
{
    std::vector<Row> rows;
    const QByteArray sql =
        QByteArray("SELECT Title, ContentPreview, UpdatedDate, CommentsCount, PostStatus FROM POSTS "
                   "WHERE BlogId = ? AND PostArea = ? COLLATE NOCASE ORDER BY ") +
        order;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) != SQLITE_OK) {
        return rows;
    }
    const QByteArray blog = blogId.toUtf8();
    const QByteArray which = area.toUtf8();
    sqlite3_bind_text(statement, 1, blog.constData(), int(blog.size()), SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, which.constData(), int(which.size()), SQLITE_STATIC);
    const auto text = [&](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                                 sqlite3_column_bytes(statement, column));
    };
    while (sqlite3_step(statement) == SQLITE_ROW) {
        rows.push_back({text(0), text(1), text(2), sqlite3_column_int64(statement, 3), text(4)});
    }
    sqlite3_finalize(statement);
    return rows;
}

class Model : public QAbstractListModel
{
public:
    void setRows(std::vector<Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const std::vector<Row>& rows() const { return m_rows; }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || index.row() >= int(m_rows.size())) {
            return {};
        }
        return m_rows[size_t(index.row())].title;
    }

private:
    std::vector<Row> m_rows;
};

// Title, date and count, and preview as three plain lines.
class Delegate : public QStyledItemDelegate
{
public:
    explicit Delegate(const Model* model, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), m_model(model)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const Row& row = m_model->rows()[size_t(index.row())];
        const QRect r = option.rect.adjusted(16, 7, -14, -7);
        painter->drawText(QRect(r.left(), r.top(), r.width(), 18), Qt::TextSingleLine, row.title);
        painter->drawText(QRect(r.left(), r.top() + 18, r.width(), 16), Qt::TextSingleLine,
                          row.updated + QLatin1Char(' ') + QString::number(row.comments));
        painter->drawText(QRect(r.left(), r.top() + 34, r.width(), 28), Qt::TextWordWrap, row.preview);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), 76);
    }

private:
    const Model* m_model;
};

inline void attach(QListView& view, Model& model)
{
    view.setUniformItemSizes(true);
    // Scrolled by pixels as the post list is, not a row per step.
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setModel(&model);
    view.setItemDelegate(new Delegate(&model, &view));
}

} // namespace BareList
