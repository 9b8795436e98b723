#include "PostListModel.h"

#include "common/GoogleDateService.h"

PostListModel::PostListModel(QObject* parent) : QAbstractListModel(parent) {}

const QList<BloggerPost>& PostListModel::posts() const
{
    return m_posts;
}

void PostListModel::setPosts(const QList<BloggerPost>& posts)
{
    beginResetModel();
    m_posts = posts;
    endResetModel();
}

int PostListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_posts.size());
}

QVariant PostListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_posts.size()) {
        return {};
    }
    const BloggerPost& post = m_posts.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return post.title;
    case Qt::AccessibleTextRole:
        // What a screen reader says for the row: what the cell shows but the preview.
        return QStringLiteral("%1, %2, %3")
            .arg(post.title, rawValue(post.postStatus), GoogleDateService().displayDate(post.updatedDate));
    case PostIdRole:
        return post.postId;
    default:
        return {};
    }
}
