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

QByteArray PhotoGoogleService::contentTypeForFile(const QString& filePath)
{
    const QString extension = QFileInfo(filePath).suffix().toLower();
    if (extension == QLatin1StringView("png")) {
        return "image/png";
    }
    if (extension == QLatin1StringView("jpg") || extension == QLatin1StringView("jpeg")) {
        return "image/jpeg";
    }
    if (extension == QLatin1StringView("gif")) {
        return "image/gif";
    }
    if (extension == QLatin1StringView("tif") || extension == QLatin1StringView("tiff")) {
        return "image/tiff";
    }
    return "application/octet-stream";
}

QString PhotoGoogleService::unreadableFileMessage(const QString& filePath, const QString& reason)
{
    return QStringLiteral("Cannot read the image ") + filePath + QStringLiteral(": ") + reason;
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
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        failLater(unreadableFileMessage(filePath, file.errorString()));
        return;
    }
    UrlSession::Request request;
    request.url = QUrl(albumFeedAddress(), QUrl::StrictMode);
    if (!request.url.isValid()) {
        failLater(invalidUrlMessage());
        return;
    }
    request.method = "POST";
    request.addValue(contentTypeForFile(filePath), "Content-Type");
    request.addValue(QUrl::toPercentEncoding(QFileInfo(filePath).fileName()), "Slug");
    request.addValue("2", "GData-Version");
    request.addValue(authorizationValue(), "Authorization");
    request.body = file.readAll();
    if (request.body.isEmpty()) {
        failLater(unreadableFileMessage(filePath, QStringLiteral("the file is empty.")));
        return;
    }

    auto me = self<PhotoGoogleService>();
    auto handler = [me](UrlSession::Reply reply) {
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
            // The album's own words, when it refused the image.
            me->onUploadAlbumPhotoBlockError(
                BloggerSuccessResponse(false, text.isEmpty() ? statusMessage(reply.statusCode) : text));
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
