#include "PostTableCellView.h"

#include "ui_PostTableCellView.h"

#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"

PostTableCellView::PostTableCellView(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::PostTableCellView>())
{
    m_ui->setupUi(this);
    UiColors::setTextColor(m_ui->titleLabel, QColor(45, 52, 54));
    UiColors::setTextColor(m_ui->dateLabel, QColor(140, 146, 150));
    UiColors::setTextColor(m_ui->commentsCountLabel, QColor(140, 146, 150));
    UiColors::setTextColor(m_ui->previewLabel, UiColors::normalText());
    selectRow(false);
}

PostTableCellView::~PostTableCellView() = default;

QString PostTableCellView::statusImageName(PostStatus status)
{
    return rawValue(status) + QStringLiteral("PostStatusIcon");
}

QString PostTableCellView::postTitle() const
{
    return m_ui->titleLabel->text();
}

void PostTableCellView::setPostTitle(const QString& title)
{
    m_ui->titleLabel->setText(title);
}

QString PostTableCellView::postDate() const
{
    return m_ui->dateLabel->text();
}

void PostTableCellView::setPostDate(const QString& date)
{
    m_ui->dateLabel->setText(date);
}

QString PostTableCellView::postPreview() const
{
    return m_ui->previewLabel->text();
}

void PostTableCellView::setPostPreview(const QString& preview)
{
    m_ui->previewLabel->setText(preview);
}

QString PostTableCellView::postImage() const
{
    return m_ui->icon->imageName();
}

void PostTableCellView::setPostImage(const QString& imageName)
{
    // The list fills this cell for every row it draws: skip the look-up when nothing changes.
    if (!imageName.isEmpty() && imageName == m_ui->icon->imageName()) {
        return;
    }
    m_ui->icon->setImageName(imageName);
}

std::int64_t PostTableCellView::commentsCount() const
{
    return -1;
}

void PostTableCellView::setCommentsCount(std::int64_t count)
{
    if (count < 0) {
        m_ui->commentsCountLabel->clear();
        m_ui->commentsCountLabel->setVisible(false);
        m_ui->commentsIcon->setVisible(false);
        return;
    }
    m_ui->commentsCountLabel->setText(QString::number(count));
    m_ui->commentsCountLabel->setVisible(true);
    m_ui->commentsIcon->setVisible(true);
}

void PostTableCellView::selectRow(bool selected)
{
    if (selected) {
        ViewBackground::setColor(this, UiColors::selectedRow());
        ViewBackground::setColor(m_ui->selectedView, UiColors::accent());
    } else {
        ViewBackground::clear(this);
        ViewBackground::clear(m_ui->selectedView);
    }
}

QLabel* PostTableCellView::titleLabel() const
{
    return m_ui->titleLabel;
}

QLabel* PostTableCellView::dateLabel() const
{
    return m_ui->dateLabel;
}

QLabel* PostTableCellView::previewLabel() const
{
    return m_ui->previewLabel;
}

QWidget* PostTableCellView::selectedView() const
{
    return m_ui->selectedView;
}

ImageView* PostTableCellView::icon() const
{
    return m_ui->icon;
}

QLabel* PostTableCellView::commentsCountLabel() const
{
    return m_ui->commentsCountLabel;
}

ImageView* PostTableCellView::commentsIcon() const
{
    return m_ui->commentsIcon;
}
