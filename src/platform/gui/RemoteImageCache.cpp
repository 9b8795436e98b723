#include "RemoteImageCache.h"

#include "NetworkPictureDecoder.h"
#include "platform/Dispatch.h"
#include "platform/UrlSession.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <utility>

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

RemoteImageCache::RemoteImageCache(QObject* parent)
    : QObject(parent),
      m_queue(
          {MaximumPending, MaximumPendingBytes, MaximumBytes, NetworkPictureDecoder::SmallPixels},
          [this](const QString& address, quint64 ticket) { return fetch(address, ticket); },
          [this](const QString& address, quint64 ticket, const QByteArray& bytes, PictureQueue::Lane lane,
                 qint64 budgetPixels) { startDecoding(address, ticket, bytes, lane, budgetPixels); })
{
    m_images.setMaxCost(MaximumCachedBytes);
    connect(&m_queue, &PictureQueue::finished, this, [this](const QString& address, const QImage& image) {
        // A failure costs its key and a little more.
        m_images.insert(address, new QImage(image), image.sizeInBytes() + address.size() * 2 + 64);
        Q_EMIT imageReady(address);
    });
}

RemoteImageCache::~RemoteImageCache() = default;

QImage RemoteImageCache::decode(const QByteArray& bytes)
{
    return NetworkPictureDecoder::decode(bytes, MaximumPixels, MaximumSide);
}

std::optional<QImage> RemoteImageCache::cachedImage(const QString& address) const
{
    if (const QImage* image = m_images.object(address)) {
        return *image;
    }
    return std::nullopt;
}

void RemoteImageCache::request(const QString& address, const QObject* context)
{
    Dispatch::requireMainThread("RemoteImageCache::request");
    if (!m_images.contains(address) && !failsUnfetched(address)) {
        m_queue.want(address, context);
    }
}

void RemoteImageCache::load(const QString& address, const QObject* context, Completion completion)
{
    Dispatch::requireMainThread("RemoteImageCache::load");
    if (!m_images.contains(address)) {
        failsUnfetched(address);
    }
    if (const std::optional<QImage> cached = cachedImage(address)) {
        const QImage image = *cached;
        Dispatch::toMainThread(context, [completion, image] { completion(image); });
        return;
    }
    m_queue.want(address, context, std::move(completion));
}

void RemoteImageCache::clear()
{
    m_images.clear();
}

bool RemoteImageCache::failsUnfetched(const QString& address)
{
    if (!imageAddress(address).isEmpty()) {
        return false;
    }
    m_images.insert(address, new QImage(), address.size() * 2 + 64);
    Dispatch::toMainThread(this, [this, address] { Q_EMIT imageReady(address); });
    return true;
}

PictureQueue::Cancel RemoteImageCache::fetch(const QString& address, quint64 ticket)
{
    UrlSession::Request request;
    request.url = imageAddress(address);
    request.maximumBodySize = MaximumBytes;
    QPointer<RemoteImageCache> self = this;
    const std::shared_ptr<UrlSession::Task> task =
        UrlSession(m_timeout).dataTask(std::move(request), [self, address, ticket](UrlSession::Reply reply) {
            // A page of text or an error reply decodes to nothing.
            std::optional<PictureQueue::Download> download;
            if (reply.body && !reply.error && reply.hasSuccessStatus()) {
                // Its header alone, read here, off the main thread.
                const qint64 pixels = NetworkPictureDecoder::declaredPixels(*reply.body);
                download = PictureQueue::Download{std::move(*reply.body), pixels};
            }
            Dispatch::toMainThread(self, [address, ticket, download](RemoteImageCache* cache) {
                cache->m_queue.fetched(address, ticket, download);
            });
        });
    task->resume();
    return [task] { task->cancel(); };
}

void RemoteImageCache::startDecoding(const QString& address, quint64 ticket, const QByteArray& bytes,
                                     PictureQueue::Lane lane, qint64 budgetPixels)
{
    QPointer<RemoteImageCache> self = this;
    // Decoded on pools of their own: the network thread handles every other reply meanwhile, and the store's
    // queue never waits for a picture.
    QThreadPool& pool = lane == PictureQueue::Lane::Small ? NetworkPictureDecoder::smallPicturePool()
                                                          : NetworkPictureDecoder::pool();
    pool.start([self, address, ticket, bytes = bytes, budgetPixels]() mutable {
        const NetworkPictureDecoder::Outcome outcome =
            NetworkPictureDecoder::decodeWithin(bytes, MaximumPixels, MaximumSide, budgetPixels);
        bytes = QByteArray();
        Dispatch::toMainThread(self, [address, ticket, outcome](RemoteImageCache* cache) {
            cache->m_queue.decoded(address, ticket, {outcome.image, outcome.largerPixels});
        });
    });
}
