#pragma once

#include "google/BlockProperty.h"
#include "model/BloggerSuccessResponse.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

class GoogleAuthentificationService;
class PhotoGoogleService;

// The local images of a post, uploaded to the photo album one after another. Each distinct address is
// uploaded once. Every address is checked first (LocalImages::uploadRefusal): one that may not be
// uploaded ends the group before anything is sent. The first failure ends the group: nothing more is uploaded
// and the error block is told why; what was already uploaded stays in the album. Blocks run on the network
// thread, exactly one per started group, none after cancel.
class UploadPhotosGroupService : public std::enable_shared_from_this<UploadPhotosGroupService>
{
public:
    static std::shared_ptr<UploadPhotosGroupService>
    create(std::shared_ptr<GoogleAuthentificationService> service);

    // Each local image address ("file://" and the path) with the address of its uploaded copy.
    BlockProperty<void(QHash<QString, QString>)> onUploadPhotosSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onUploadPhotosError;

    void uploadPhotos(const QStringList& images);
    // Stops the group: the upload that runs is ended and no block is called.
    void cancel();

    // Every occurrence of each local address in the content replaced by its uploaded address.
    static QString replaceImages(const QString& content, const QHash<QString, QString>& uploaded);

    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

private:
    explicit UploadPhotosGroupService(std::shared_ptr<GoogleAuthentificationService> service);

    void uploadNext();
    bool isCancelled() const;

    const std::shared_ptr<GoogleAuthentificationService> m_authentificationService;
    double m_timeoutInterval;
    mutable QMutex m_mutex;
    QStringList m_pending;
    QHash<QString, QString> m_uploaded;
    // Weak: its closures hold this service; the pending upload keeps it.
    std::weak_ptr<PhotoGoogleService> m_current;
    bool m_cancelled = false;
};
