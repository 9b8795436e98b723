#pragma once

#include "model/BloggerPostComment.h"

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

#include <optional>

// The comments of the comments list, one row each, in the order given, with each one's text decoded once,
// when it is first asked for. A new list resets the model.
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
    bool isDecoded(int row) const;
    // The comment's date as the list shows it, written once.
    QString displayDate(int row) const;
    // The row of the comment with that id, or -1.
    int rowOfComment(const QString& commentId) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QList<BloggerPostComment> m_comments;
    mutable QList<std::optional<QString>> m_decoded;
    mutable QList<std::optional<QString>> m_dates;
};
