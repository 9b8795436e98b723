#include "NewCommentWindowController.h"

#include "AvatarImage.h"
#include "ui_NewCommentWindow.h"

#include "common/GoogleServiceConstants.h"
#include "platform/Dispatch.h"
#include "platform/gui/ImageLibrary.h"
#include "platform/gui/RemoteImageCache.h"
#include "platform/gui/ViewBackground.h"
#include "ui/UiColors.h"
#include "ui/main/SpinnerView.h"

#include <QPlainTextEdit>

namespace {

constexpr int PictureSide = 44;

} // namespace

NewCommentWindowController::NewCommentWindowController(QObject* parent)
    : WindowController(parent), m_ui(std::make_unique<Ui::NewCommentWindow>()),
      m_postId(GoogleServiceConstants::NoId())
{
}

NewCommentWindowController::~NewCommentWindowController() = default;

QString NewCommentWindowController::windowTitleFor(const QString& postTitle)
{
    return QStringLiteral("New comment  \u00B7 ") + postTitle;
}

QString NewCommentWindowController::postLineFor(const QString& postTitle)
{
    return QStringLiteral("New comment for ") + postTitle;
}

std::unique_ptr<QWidget> NewCommentWindowController::loadWindow()
{
    return windowFromInterface(*m_ui);
}

void NewCommentWindowController::windowDidLoad()
{
    closeWithKeys();
    setupWindow();
    setupView();
    connect(m_ui->publishCommentButtonOutlet, &QPushButton::clicked, this,
            &NewCommentWindowController::publishCommentButtonClick);
    m_ui->spinningIndicatorOutlet->hide();
    restoreUnsentText();
    connect(m_ui->textFieldOutlet, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = m_ui->textFieldOutlet->toPlainText();
        if (text.isEmpty()) {
            m_unsentTexts.remove(m_postId);
        } else {
            m_unsentTexts.insert(m_postId, text);
        }
    });
}

void NewCommentWindowController::restoreUnsentText()
{
    m_ui->textFieldOutlet->setPlainText(m_unsentTexts.value(m_postId));
    // Typing goes on where it stopped.
    m_ui->textFieldOutlet->moveCursor(QTextCursor::End);
}

void NewCommentWindowController::setupWindow()
{
    ViewBackground::setColor(window(), UiColors::banner());
}

void NewCommentWindowController::setupView()
{
    m_ui->textFieldOutlet->setFrameShape(QFrame::StyledPanel);
    if (m_user) {
        remotePicture(m_user->userPicture);
        m_ui->userNameLabelOutlet->setText(m_user->userName);
    } else if (m_ui->imageViewOutlet->pixmap().isNull()) {
        showDefaultPicture();
    }
    if (m_post) {
        m_ui->postTitleLabelOutlet->setText(postLineFor(m_post->title));
        window()->setWindowTitle(windowTitleFor(m_post->title));
    }
}

void NewCommentWindowController::showDefaultPicture()
{
    m_shownPictureAddress.clear();
    m_ui->imageViewOutlet->setPixmap(ImageLibrary::pixmap(QStringLiteral("UserAvatar"),
                                                          QSize(PictureSide, PictureSide),
                                                          m_ui->imageViewOutlet->devicePixelRatioF()));
}

void NewCommentWindowController::remotePicture(const QString& address)
{
    m_requestedPictureAddress = address;
    if (address == m_shownPictureAddress && !address.isEmpty()) {
        return;
    }
    // Until the picture arrives, and for good when it cannot be had.
    showDefaultPicture();
    RemoteImageCache::shared().load(address, this, [this, address](const QImage& image) {
        if (address != m_requestedPictureAddress || image.isNull()) {
            return;
        }
        m_ui->imageViewOutlet->setPixmap(
            AvatarImage::roundPixmap(image, PictureSide, m_ui->imageViewOutlet->devicePixelRatioF()));
        m_shownPictureAddress = address;
    });
}

void NewCommentWindowController::prepare(const BloggerPost& post, const std::optional<BloggerUser>& user)
{
    Dispatch::toMainThread(this, [this, post, user] {
        m_postId = post.postId;
        m_user = user;
        m_post = post;
        if (isWindowLoaded()) {
            restoreUnsentText();
            setupView();
        }
    });
}

void NewCommentWindowController::commentSent(const QString& postId)
{
    m_unsentTexts.remove(postId);
    if (isWindowLoaded() && postId == m_postId) {
        m_ui->textFieldOutlet->clear();
    }
}

void NewCommentWindowController::loading(bool flag)
{
    Dispatch::toMainThread(this, [this, flag] {
        if (!isWindowLoaded()) {
            return;
        }
        m_ui->spinningIndicatorOutlet->setVisible(flag);
        m_ui->publishCommentButtonOutlet->setEnabled(!flag);
    });
}

void NewCommentWindowController::publishCommentButtonClick()
{
    BloggerPostComment comment;
    comment.content = m_ui->textFieldOutlet->toPlainText();
    comment.postId = m_postId;
    if (onPublishCommentRequest) {
        onPublishCommentRequest(comment);
    }
}

QPlainTextEdit* NewCommentWindowController::textFieldOutlet() const
{
    return isWindowLoaded() ? m_ui->textFieldOutlet : nullptr;
}

QLabel* NewCommentWindowController::imageViewOutlet() const
{
    return isWindowLoaded() ? m_ui->imageViewOutlet : nullptr;
}

QLabel* NewCommentWindowController::userNameLabelOutlet() const
{
    return isWindowLoaded() ? m_ui->userNameLabelOutlet : nullptr;
}

QLabel* NewCommentWindowController::postTitleLabelOutlet() const
{
    return isWindowLoaded() ? m_ui->postTitleLabelOutlet : nullptr;
}

SpinnerView* NewCommentWindowController::spinningIndicatorOutlet() const
{
    return isWindowLoaded() ? m_ui->spinningIndicatorOutlet : nullptr;
}

QPushButton* NewCommentWindowController::publishCommentButtonOutlet() const
{
    return isWindowLoaded() ? m_ui->publishCommentButtonOutlet : nullptr;
}
