#pragma once

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class CommentTableCellView;
}
class CommentTextLabel;
class QLabel;
class QPainter;

// One row of the comments list: the author's name and picture, the date and time, and the comment's text
// decoded from its HTML and shown as plain text. The cell sizes itself to its text; the picture comes from
// the picture cache and is never waited for.
class CommentTableCellView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString commentUserName READ commentUserName WRITE setCommentUserName)
    Q_PROPERTY(QString commentDateAndTime READ commentDateAndTime WRITE setCommentDateAndTime)
    Q_PROPERTY(QString commentContent READ commentContent WRITE setCommentContent)
    Q_PROPERTY(QString commentUserAvatar READ commentUserAvatar WRITE setCommentUserAvatar)

public:
    // Room around the text: the cell is the text's height and this much more.
    static constexpr int ChromeHeight = 55;
    static constexpr int ContentX = 7;
    // The text is as wide as the cell less this.
    static constexpr int ContentWidthInset = 16;
    static constexpr int AvatarSide = 30;

    explicit CommentTableCellView(QWidget* parent = nullptr);
    ~CommentTableCellView() override;

    // The height of a cell of that width for a comment whose decoded text is given.
    static int heightForText(const QString& decodedText, int cellWidth);

    QString commentUserName() const;
    void setCommentUserName(const QString& name);
    QString commentDateAndTime() const;
    void setCommentDateAndTime(const QString& text);
    // The decoded text.
    QString commentContent() const;
    // Decodes the comment's HTML into the text and fits the cell to it at its present width.
    void setCommentContent(const QString& html);
    // The same with text decoded already, and its height at the cell's width when the caller measured it.
    void setDecodedContent(const QString& text, int knownTextHeight = -1);
    // Always empty: the address is not kept.
    QString commentUserAvatar() const;
    // Shows the picture at the address when the cache holds it, else none and asks the cache for it on
    // behalf of the requester.
    void setCommentUserAvatar(const QString& address);
    // Who the pictures are asked for: the list's rows on screen; the cell itself until set. Once it is gone,
    // pictures it alone asked for are no longer fetched.
    void setAvatarRequester(const QObject* requester) { m_avatarRequester = requester; }

    // Draws what the cell shows with its top left corner at the point, as rendering the cell would, without
    // going through its widgets: the list draws every row this way.
    void paintContents(QPainter* painter, const QPoint& topLeft) const;

    QLabel* nameLabelOutlet() const;
    QLabel* dateAndTimeLabelOutlet() const;
    CommentTextLabel* contentLabelOutlet() const;
    QLabel* avatarOutlet() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToContent(int knownTextHeight = -1);

    std::unique_ptr<Ui::CommentTableCellView> m_ui;
    QString m_avatarShown;
    QPointer<const QObject> m_avatarRequester;
    // Round pictures made for this cell, by address: the list fills it for one row after another.
    QHash<QString, QPixmap> m_roundAvatars;
    int m_laidOutWidth = -1;
};
