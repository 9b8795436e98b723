#pragma once

#include "model/BloggerPostComment.h"

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

// The comments of the comments list, one row each, in the order given, with each one's text decoded once.
// A new list resets the model.
class CommentListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int CommentIdRole = Qt::UserRole + 1;

    explicit CommentListModel(QObject* parent = nullptr);

    const QList<BloggerPostComment>& comments() const;
    void setComments(const QList<BloggerPostComment>& comments);
    // The comment's HTML as the plain text the list shows.
    QString decodedContent(int row) const;
    // The row of the comment with that id, or -1.
    int rowOfComment(const QString& commentId) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<BloggerPostComment> m_comments;
    QStringList m_decoded;
};
