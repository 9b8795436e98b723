#pragma once

#include "model/PostEnumerations.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ui {
class PostTableCellView;
}
class ImageView;
class QLabel;

// One post in the post list: title, date, preview, status icon, comment count and the selected look.
// Passive: the list fills it and sets its look, and it raises nothing.
class PostTableCellView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString postTitle READ postTitle WRITE setPostTitle)
    Q_PROPERTY(QString postDate READ postDate WRITE setPostDate)
    Q_PROPERTY(QString postPreview READ postPreview WRITE setPostPreview)
    Q_PROPERTY(QString postImage READ postImage WRITE setPostImage)
    Q_PROPERTY(qint64 commentsCount READ commentsCount WRITE setCommentsCount)

public:
    explicit PostTableCellView(QWidget* parent = nullptr);
    ~PostTableCellView() override;

    // The image that stands for a status: its raw text followed by "PostStatusIcon".
    static QString statusImageName(PostStatus status);

    QString postTitle() const;
    void setPostTitle(const QString& title);
    QString postDate() const;
    void setPostDate(const QString& date);
    QString postPreview() const;
    void setPostPreview(const QString& preview);
    // Empty while the icon shows no image.
    QString postImage() const;
    void setPostImage(const QString& imageName);
    // Nothing is stored: reading always gives -1.
    std::int64_t commentsCount() const;
    // A negative count hides the number and its icon.
    void setCommentsCount(std::int64_t count);

    void selectRow(bool selected);

    QLabel* titleLabel() const;
    QLabel* dateLabel() const;
    QLabel* previewLabel() const;
    QWidget* selectedView() const;
    ImageView* icon() const;
    QLabel* commentsCountLabel() const;
    ImageView* commentsIcon() const;

private:
    std::unique_ptr<Ui::PostTableCellView> m_ui;
};
