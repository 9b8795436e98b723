#include "CommentListModel.h"

#include "common/GoogleDateService.h"
#include "common/StringServices.h"

CommentListModel::CommentListModel(QObject* parent) : QAbstractListModel(parent) {}

const QList<BloggerPostComment>& CommentListModel::comments() const
{
    return m_comments;
}

void CommentListModel::setComments(const QList<BloggerPostComment>& comments)
{
    beginResetModel();
    m_comments = comments;
    m_decoded = QList<std::optional<QString>>(comments.size());
    m_dates = QList<std::optional<QString>>(comments.size());
    endResetModel();
}

QString CommentListModel::decodedContent(int row) const
{
    if (row < 0 || row >= m_decoded.size()) {
        return QString();
    }
    std::optional<QString>& decoded = m_decoded[row];
    if (!decoded) {
        decoded = StringServices().decodeCommentHtml(m_comments.at(row).content);
    }
    return *decoded;
}

QString CommentListModel::displayDate(int row) const
{
    if (row < 0 || row >= m_dates.size()) {
        return QString();
    }
    std::optional<QString>& date = m_dates[row];
    if (!date) {
        date = GoogleDateService().displayDate(m_comments.at(row).publishDate);
    }
    return *date;
}

bool CommentListModel::isDecoded(int row) const
{
    return row >= 0 && row < m_decoded.size() && m_decoded.at(row).has_value();
}

int CommentListModel::rowOfComment(const QString& commentId) const
{
    for (int row = 0; row < m_comments.size(); ++row) {
        if (m_comments.at(row).commentId == commentId) {
            return row;
        }
    }
    return -1;
}

int CommentListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_comments.size());
}

QVariant CommentListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_comments.size()) {
        return {};
    }
    const BloggerPostComment& comment = m_comments.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return comment.author.userName + QStringLiteral(": ") + decodedContent(index.row());
    case CommentIdRole:
        return comment.commentId;
    default:
        return {};
    }
}
