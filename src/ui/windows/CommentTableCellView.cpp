#include "CommentTableCellView.h"

#include "AvatarImage.h"
#include "CommentTextLabel.h"
#include "ui_CommentTableCellView.h"

#include "common/StringServices.h"
#include "platform/gui/RemoteImageCache.h"
#include "ui/UiColors.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

CommentTableCellView::CommentTableCellView(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::CommentTableCellView>())
{
    m_ui->setupUi(this);
    UiColors::setTextColor(m_ui->nameLabelOutlet, QColor(45, 52, 54));
    UiColors::setTextColor(m_ui->dateAndTimeLabelOutlet, QColor(140, 146, 150));
    UiColors::setTextColor(m_ui->contentLabelOutlet, UiColors::normalText());
}

CommentTableCellView::~CommentTableCellView() = default;

int CommentTableCellView::heightForText(const QString& decodedText, int cellWidth)
{
    const qreal width = qMax(1, cellWidth - ContentWidthInset);
    return int(std::ceil(CommentTextLabel::measureText(decodedText, width).height())) + ChromeHeight;
}

QString CommentTableCellView::commentUserName() const
{
    return m_ui->nameLabelOutlet->text();
}

void CommentTableCellView::setCommentUserName(const QString& name)
{
    m_ui->nameLabelOutlet->setText(name);
}

QString CommentTableCellView::commentDateAndTime() const
{
    return m_ui->dateAndTimeLabelOutlet->text();
}

void CommentTableCellView::setCommentDateAndTime(const QString& text)
{
    m_ui->dateAndTimeLabelOutlet->setText(text);
}

QString CommentTableCellView::commentContent() const
{
    return m_ui->contentLabelOutlet->text();
}

void CommentTableCellView::setCommentContent(const QString& html)
{
    setDecodedContent(StringServices().decodeCommentHtml(html));
}

void CommentTableCellView::setDecodedContent(const QString& text, int knownTextHeight)
{
    m_ui->contentLabelOutlet->setText(text);
    fitToContent(knownTextHeight);
}

void CommentTableCellView::fitToContent(int /*knownTextHeight*/)
{
    const int cellWidth = width();
    m_laidOutWidth = cellWidth;
    const int textLeft = m_ui->nameLabelOutlet->x();
    const int textWidth = qMax(1, cellWidth - textLeft - 8);
    m_ui->nameLabelOutlet->resize(textWidth, m_ui->nameLabelOutlet->height());
    m_ui->dateAndTimeLabelOutlet->resize(textWidth, m_ui->dateAndTimeLabelOutlet->height());

    const int contentWidth = qMax(1, cellWidth - ContentWidthInset);
    const int textHeight = int(
        std::ceil(CommentTextLabel::measureText(m_ui->contentLabelOutlet->text(), contentWidth).height()));
    m_ui->contentLabelOutlet->setGeometry(ContentX, ChromeHeight - 10, contentWidth, textHeight + 10);
    const QSize size(cellWidth, textHeight + ChromeHeight);
    if (this->size() != size) {
        resize(size);
    }
}

void CommentTableCellView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (width() != m_laidOutWidth) {
        fitToContent();
    }
}

QString CommentTableCellView::commentUserAvatar() const
{
    return QString();
}

void CommentTableCellView::setCommentUserAvatar(const QString& address)
{
    RemoteImageCache& cache = RemoteImageCache::shared();
    const std::optional<QImage> image = cache.cachedImage(address);
    if (!image) {
        cache.request(address, m_avatarRequester ? m_avatarRequester.data() : this);
    }
    const QString shown = image && !AvatarImage::standsForNoPicture(*image) ? address : QString();
    // The list fills this cell for every row it draws: skip the drawing when nothing changes.
    if (shown == m_avatarShown && !m_ui->avatarOutlet->pixmap().isNull()) {
        return;
    }
    m_avatarShown = shown;
    if (shown.isEmpty()) {
        // No gap where an author has no picture (or it has not come yet).
        m_ui->avatarOutlet->setPixmap(AvatarImage::placeholder(AvatarSide, devicePixelRatioF()));
    } else {
        auto round = m_roundAvatars.constFind(shown);
        if (round == m_roundAvatars.constEnd()) {
            if (m_roundAvatars.size() >= 256) {
                m_roundAvatars.clear();
            }
            round = m_roundAvatars.insert(shown,
                                          AvatarImage::roundPixmap(*image, AvatarSide, devicePixelRatioF()));
        }
        m_ui->avatarOutlet->setPixmap(*round);
    }
}

void CommentTableCellView::paintContents(QPainter* painter, const QPoint& topLeft) const
{
    painter->save();
    painter->translate(topLeft);
    const QLabel* avatar = m_ui->avatarOutlet;
    const QPixmap picture = avatar->pixmap();
    if (!picture.isNull()) {
        const QSize size = picture.deviceIndependentSize().toSize();
        QRect target(QPoint(), size);
        target.moveCenter(avatar->geometry().center());
        painter->drawPixmap(target, picture);
    }
    for (const QLabel* label : {m_ui->nameLabelOutlet, m_ui->dateAndTimeLabelOutlet}) {
        // One line, left and vertically centred, as the label shows it; drawn from its baseline, which
        // spares the text the line breaking of a drawing into a rectangle.
        const QFontMetricsF metrics(label->font());
        const QRect box = label->geometry();
        painter->setFont(label->font());
        painter->setPen(label->palette().color(QPalette::WindowText));
        painter->drawText(
            QPointF(box.left(), box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent()),
            label->text());
    }
    const CommentTextLabel* content = m_ui->contentLabelOutlet;
    CommentTextLabel::drawText(painter, content->geometry(), content->text(),
                               content->palette().color(QPalette::WindowText));
    painter->restore();
}

QLabel* CommentTableCellView::nameLabelOutlet() const
{
    return m_ui->nameLabelOutlet;
}

QLabel* CommentTableCellView::dateAndTimeLabelOutlet() const
{
    return m_ui->dateAndTimeLabelOutlet;
}

CommentTextLabel* CommentTableCellView::contentLabelOutlet() const
{
    return m_ui->contentLabelOutlet;
}

QLabel* CommentTableCellView::avatarOutlet() const
{
    return m_ui->avatarOutlet;
}
