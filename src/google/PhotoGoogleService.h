#pragma once

#include "google/BlockProperty.h"
#include "google/GoogleRequestServiceBase.h"

#include <QString>

#include <cstdint>

// Images uploaded to the user's default photo album, one file per request, the file's bytes as the body.
// Only a regular file of at most MaximumPhotoSize whose bytes are a PNG, JPEG, GIF or TIFF picture is
// sent; anything else fails without a request. The token is refreshed first. Blocks run on the network
// thread; exactly one of the pair per upload.
class PhotoGoogleService : public GoogleRequestServiceBase
{
public:
    static std::shared_ptr<PhotoGoogleService> create(std::shared_ptr<GoogleAuthentificationService> service);

    // The address of the uploaded image, as the album's reply names it.
    BlockProperty<void(QString)> onUploadAlbumPhotoBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onUploadAlbumPhotoBlockError;

    // The file at filePath, read when the request is made; its name goes along as the photo's title.
    void uploadAlbumPhoto(const QString& filePath);
    // Ends the upload that runs, also one still waiting for its token refresh.
    void cancelUpload();

    static constexpr qint64 MaximumPhotoSize = 20 * 1024 * 1024;

    static QString albumFeedAddress();
    // The media type of a picture the album takes, from its first bytes; empty for anything else.
    static QByteArray sniffedContentType(const QByteArray& head);
    static QString unreadableFileMessage(const QString& filePath, const QString& reason);
    static QString notAPictureMessage(const QString& filePath);
    static QString tooLargeMessage(const QString& filePath);
    // The album refused the picture: said in plain words, with the status that may call for a new sign-in.
    static QString refusedMessage(const QString& filePath, int statusCode);

private:
    explicit PhotoGoogleService(std::shared_ptr<GoogleAuthentificationService> service);

    void upload(const QString& filePath, std::uint64_t generation);
    void failLater(const QString& message);

    QMutex m_stateMutex;
    std::shared_ptr<UrlSession::Task> m_task;
    std::uint64_t m_generation = 0;
    std::uint64_t m_cancelledUpTo = 0;
};
