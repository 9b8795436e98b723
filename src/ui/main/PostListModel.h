#pragma once

#include "model/BloggerPost.h"

#include <QAbstractListModel>
#include <QList>

// The posts of the post list, one row each, in the order given. A new list resets the model.
class PostListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int PostIdRole = Qt::UserRole + 1;

    explicit PostListModel(QObject* parent = nullptr);

    const QList<BloggerPost>& posts() const;
    void setPosts(const QList<BloggerPost>& posts);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<BloggerPost> m_posts;
};
