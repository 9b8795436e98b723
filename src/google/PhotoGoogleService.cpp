#include "PhotoGoogleService.h"

#include "google/GoogleServiceEndpoints.h"
#include "google/PhotoXMLParser.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStringDecoder>
#include <QUrl>

PhotoGoogleService::PhotoGoogleService(std::shared_ptr<GoogleAuthentificationService> service)
    : GoogleRequestServiceBase(std::move(service))
{
}

std::shared_ptr<PhotoGoogleService>
PhotoGoogleService::create(std::shared_ptr<GoogleAuthentificationService> service)
{
    return std::shared_ptr<PhotoGoogleService>(new PhotoGoogleService(std::move(service)));
}

QString PhotoGoogleService::albumFeedAddress()
{
    return GoogleServiceEndpoints::googleApiUrl() +
           QStringLiteral("/data/feed/api/user/default/albumid/default");
}

QByteArray PhotoGoogleService::sniffedContentType(const QByteArray& head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n")) {
        return "image/png";
    }
    if (head.startsWith("\xff\xd8\xff")) {
        return "image/jpeg";
    }
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) {
        return "image/gif";
    }
    if (head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4))) {
        return "image/tiff";
    }
    return QByteArray();
}

QString PhotoGoogleService::unreadableFileMessage(const QString& filePath, const QString& reason)
{
    return QStringLiteral("Cannot read the image ") + filePath + QStringLiteral(": ") + reason;
}

QString PhotoGoogleService::notAPictureMessage(const QString& filePath)
{
    return QStringLiteral("%1 is not a PNG, JPEG, GIF or TIFF picture, so it cannot be uploaded.")
        .arg(filePath);
}

QString PhotoGoogleService::tooLargeMessage(const QString& filePath)
{
    return QStringLiteral("The picture %1 is larger than %2 MB, the most Penhollow uploads.")
        .arg(filePath)
        .arg(MaximumPhotoSize / (1024 * 1024));
}

QString PhotoGoogleService::refusedMessage(const QString& filePath, int statusCode)
{
    const QString name = QFileInfo(filePath).fileName();
    if (statusCode >= 200 && statusCode <= 299) {
        return QStringLiteral("The photo album did not accept the picture %1.").arg(name);
    }
    return QStringLiteral("The photo album did not accept the picture %1 (HTTP status %2).")
        .arg(name)
        .arg(statusCode);
}

void PhotoGoogleService::failLater(const QString& message)
{
    auto me = self<PhotoGoogleService>();
    later([me, message] { me->onUploadAlbumPhotoBlockError(BloggerSuccessResponse(false, message)); });
}

void PhotoGoogleService::uploadAlbumPhoto(const QString& filePath)
{
    std::uint64_t generation = 0;
    {
        QMutexLocker locker(&m_stateMutex);
        generation = ++m_generation;
    }
    auto me = self<PhotoGoogleService>();
    afterTokenRefresh([me, filePath, generation] { me->upload(filePath, generation); },
                      [me](BloggerSuccessResponse failure) { me->onUploadAlbumPhotoBlockError(failure); });
}

void PhotoGoogleService::upload(const QString& filePath, std::uint64_t generation)
{
    // Devices, pipes and folders are never read: /dev/zero has no end.
    if (!QFileInfo(filePath).isFile()) {
        failLater(notAPictureMessage(filePath));
        return;
    }
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        failLater(unreadableFileMessage(filePath, file.errorString()));
        return;
    }
    // Read with a bound: the file may have changed since it was looked at.
    QByteArray body = file.read(MaximumPhotoSize + 1);
    if (body.size() > MaximumPhotoSize) {
        failLater(tooLargeMessage(filePath));
        return;
    }
    if (body.isEmpty()) {
        failLater(unreadableFileMessage(filePath, QStringLiteral("the file is empty.")));
        return;
    }
    const QByteArray contentType = sniffedContentType(body.first(qMin<qsizetype>(body.size(), 16)));
    if (contentType.isEmpty()) {
        failLater(notAPictureMessage(filePath));
        return;
    }
    UrlSession::Request request;
    request.url = QUrl(albumFeedAddress(), QUrl::StrictMode);
    if (!request.url.isValid()) {
        failLater(invalidUrlMessage());
        return;
    }
    request.method = "POST";
    request.addValue(contentType, "Content-Type");
    request.addValue(QUrl::toPercentEncoding(QFileInfo(filePath).fileName()), "Slug");
    request.addValue("2", "GData-Version");
    request.addValue(authorizationValue(), "Authorization");
    request.body = std::move(body);

    auto me = self<PhotoGoogleService>();
    auto handler = [me, filePath](UrlSession::Reply reply) {
        if (!reply.body) {
            me->onUploadAlbumPhotoBlockError(noBodyFailure(reply));
            return;
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(*reply.body);
        if (decoder.hasError()) {
            me->onUploadAlbumPhotoBlockError(BloggerSuccessResponse(false, noResponseMessage()));
            return;
        }
        const auto [response, address] = PhotoXMLParser(text).parse();
        if (!reply.hasSuccessStatus() || !response.success || !address || address->isEmpty()) {
            // The album's reply is its own markup, not words for the user.
            me->onUploadAlbumPhotoBlockError(
                BloggerSuccessResponse(false, refusedMessage(filePath, reply.statusCode)));
            return;
        }
        me->onUploadAlbumPhotoBlockSuccess(*address);
    };

    std::shared_ptr<UrlSession::Task> task;
    {
        // Checked and stored together, so a cancel either sees this task or stops it here.
        QMutexLocker locker(&m_stateMutex);
        if (generation <= m_cancelledUpTo) {
            locker.unlock();
            failLater(noResponseMessage());
            return;
        }
        task = send(std::move(request), std::move(handler), false);
        m_task = task;
    }
    task->resume();
}

void PhotoGoogleService::cancelUpload()
{
    std::shared_ptr<UrlSession::Task> task;
    {
        QMutexLocker locker(&m_stateMutex);
        m_cancelledUpTo = m_generation;
        task = m_task;
    }
    if (task) {
        task->cancel();
    }
}
