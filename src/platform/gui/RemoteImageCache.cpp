#include "RemoteImageCache.h"

#include "NetworkPictureDecoder.h"
#include "platform/Dispatch.h"
#include "platform/UrlSession.h"

#include <QCoreApplication>
#include <QThreadPool>

RemoteImageCache& RemoteImageCache::shared()
{
    Dispatch::requireMainThread("RemoteImageCache::shared");
    // Parented to the application, so it goes before the application does.
    static QPointer<RemoteImageCache> cache;
    if (!cache) {
        cache = new RemoteImageCache(QCoreApplication::instance());
    }
    return *cache;
}

QUrl RemoteImageCache::imageAddress(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed.startsWith(QLatin1StringView("//")) ? QStringLiteral("https:") + trimmed : trimmed,
                   QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1StringView("http") && scheme != QLatin1StringView("https"))) {
        return QUrl();
    }
    return url;
}

RemoteImageCache::RemoteImageCache(QObject* parent) : QObject(parent) {}

QImage RemoteImageCache::decode(const QByteArray& bytes)
{
    return NetworkPictureDecoder::decode(bytes, MaximumPixels, MaximumSide);
}

std::optional<QImage> RemoteImageCache::cachedImage(const QString& address) const
{
    const auto found = m_images.constFind(address);
    if (found == m_images.constEnd()) {
        return std::nullopt;
    }
    return *found;
}

void RemoteImageCache::request(const QString& address)
{
    Dispatch::requireMainThread("RemoteImageCache::request");
    if (m_images.contains(address) || m_waiting.contains(address)) {
        return;
    }
    m_waiting.insert(address, {});
    const QUrl url = imageAddress(address);
    if (url.isEmpty()) {
        Dispatch::toMainThread(this, [this, address] { finish(address, QImage()); });
        return;
    }
    UrlSession::Request request;
    request.url = url;
    request.maximumBodySize = MaximumBytes;
    QPointer<RemoteImageCache> self = this;
    std::shared_ptr<UrlSession::Task> task =
        UrlSession(m_timeout).dataTask(std::move(request), [self, address](UrlSession::Reply reply) {
            // A page of text or an error reply decodes to nothing.
            std::optional<QByteArray> body;
            if (reply.body && !reply.error && reply.hasSuccessStatus()) {
                body = std::move(reply.body);
            }
            // Decoded on a pool of its own: the network thread handles every other reply meanwhile, and
            // the store's queue never waits for a picture.
            NetworkPictureDecoder::pool().start([self, address, body = std::move(body)] {
                const QImage image = body ? decode(*body) : QImage();
                Dispatch::toMainThread(
                    self, [address, image](RemoteImageCache* cache) { cache->finish(address, image); });
            });
        });
    task->resume();
}

void RemoteImageCache::load(const QString& address, const QObject* context, Completion completion)
{
    Dispatch::requireMainThread("RemoteImageCache::load");
    if (const std::optional<QImage> cached = cachedImage(address)) {
        const QImage image = *cached;
        Dispatch::toMainThread(context, [completion, image] { completion(image); });
        return;
    }
    request(address);
    m_waiting[address].append(Waiter{context, std::move(completion)});
}

void RemoteImageCache::clear()
{
    m_images.clear();
}

void RemoteImageCache::finish(const QString& address, const QImage& image)
{
    m_images.insert(address, image);
    const QList<Waiter> waiters = m_waiting.take(address);
    for (const Waiter& waiter : waiters) {
        if (waiter.context) {
            waiter.completion(image);
        }
    }
    Q_EMIT imageReady(address);
}
