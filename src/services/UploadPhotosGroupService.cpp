#include "UploadPhotosGroupService.h"

#include "common/GoogleServiceConstants.h"
#include "google/GoogleResponseAnalysisService.h"
#include "google/PhotoGoogleService.h"
#include "platform/UrlSession.h"
#include "services/LocalImages.h"

#include <QMutexLocker>
#include <QRegularExpression>

UploadPhotosGroupService::UploadPhotosGroupService(std::shared_ptr<GoogleAuthentificationService> service)
    : m_authentificationService(std::move(service)),
      m_timeoutInterval(GoogleServiceConstants::StandardTimeout)
{
}

std::shared_ptr<UploadPhotosGroupService>
UploadPhotosGroupService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<UploadPhotosGroupService>(new UploadPhotosGroupService(std::move(service)));
}

void UploadPhotosGroupService::uploadPhotos(const QStringList& images)
{
    {
        QMutexLocker locker(&m_mutex);
        m_pending.clear();
        m_uploaded.clear();
        m_cancelled = false;
        for (const QString& image : images) {
            if (!m_pending.contains(image)) {
                m_pending.append(image);
            }
        }
    }
    for (const QString& image : images) {
        if (const std::optional<QString> refusal = LocalImages::uploadRefusal(image)) {
            {
                QMutexLocker locker(&m_mutex);
                m_pending.clear();
            }
            auto me = shared_from_this();
            const QString message = *refusal;
            UrlSession::runOnNetworkThread([me, message] {
                if (!me->isCancelled()) {
                    me->onUploadPhotosError(BloggerSuccessResponse(false, message));
                }
            });
            return;
        }
    }
    uploadNext();
}

bool UploadPhotosGroupService::isCancelled() const
{
    QMutexLocker locker(&m_mutex);
    return m_cancelled;
}

void UploadPhotosGroupService::uploadNext()
{
    QString image;
    QHash<QString, QString> uploaded;
    bool done = false;
    {
        QMutexLocker locker(&m_mutex);
        if (m_cancelled) {
            return;
        }
        if (m_pending.isEmpty()) {
            done = true;
            uploaded = m_uploaded;
        } else {
            image = m_pending.takeFirst();
        }
    }
    if (done) {
        onUploadPhotosSuccess(uploaded);
        return;
    }
    const std::optional<QString> path = LocalImages::filePathForAddress(image);
    if (!path) {
        onUploadPhotosError(BloggerSuccessResponse(false, QStringLiteral("Not a local image: ") + image));
        return;
    }

    auto me = shared_from_this();
    std::shared_ptr<PhotoGoogleService> web = PhotoGoogleService::create(m_authentificationService);
    web->setTimeoutInterval(m_timeoutInterval);
    web->onUploadAlbumPhotoBlockSuccess = [me, image](const QString& address) {
        {
            QMutexLocker locker(&me->m_mutex);
            me->m_uploaded.insert(image, address);
        }
        me->uploadNext();
    };
    web->onUploadAlbumPhotoBlockError = [me](const BloggerSuccessResponse& failure) {
        if (me->isCancelled()) {
            return;
        }
        me->onUploadPhotosError(BloggerSuccessResponse(
            false, GoogleResponseAnalysisService().transformMessageIfCredentialsRelated(failure.details)));
    };
    {
        QMutexLocker locker(&m_mutex);
        if (m_cancelled) {
            return;
        }
        m_current = web;
    }
    web->uploadAlbumPhoto(*path);
}

void UploadPhotosGroupService::cancel()
{
    std::shared_ptr<PhotoGoogleService> current;
    {
        QMutexLocker locker(&m_mutex);
        m_cancelled = true;
        m_pending.clear();
        current = m_current.lock();
    }
    if (current) {
        current->cancelUpload();
    }
}

QString UploadPhotosGroupService::replaceImages(const QString& content,
                                                const QHash<QString, QString>& uploaded)
{
    // Only the sources of image tags, read as the editor collects them, so no other text that happens to
    // hold an address changes.
    static const QRegularExpression imageTag(QStringLiteral("<img[^>]*>"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression source(QStringLiteral("src=\"(.*?)\""),
                                           QRegularExpression::CaseInsensitiveOption);
    QString result;
    result.reserve(content.size());
    qsizetype copied = 0;
    for (const QRegularExpressionMatch& tag : imageTag.globalMatch(content)) {
        const QRegularExpressionMatch match = source.match(content, tag.capturedStart(0));
        if (!match.hasMatch() || match.capturedEnd(0) > tag.capturedEnd(0)) {
            continue;
        }
        const auto replacement = uploaded.constFind(match.captured(1));
        if (replacement == uploaded.constEnd()) {
            continue;
        }
        QString address = *replacement;
        address.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
        address.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
        result += QStringView(content).mid(copied, match.capturedStart(1) - copied);
        result += address;
        copied = match.capturedEnd(1);
    }
    result += QStringView(content).mid(copied);
    return result;
}
