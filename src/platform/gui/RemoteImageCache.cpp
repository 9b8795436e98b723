#include "RemoteImageCache.h"

#include "NetworkPictureDecoder.h"
#include "platform/Dispatch.h"
#include "platform/UrlSession.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <algorithm>
#include <utility>

struct RemoteImageCache::Pending
{
    enum class Stage
    {
        Queued,
        Fetching,
        Waiting, // downloaded, waiting to be decoded
        Decoding,
        Failing // no web address: fails at the next turn
    };
    Stage stage = Stage::Queued;
    QList<Waiter> waiters;
    quint64 order = 0; // when it was last asked for
    quint64 fetch = 0; // the download its reply must come from
    std::shared_ptr<UrlSession::Task> task;
    QByteArray body;
    qint64 pixels = 0; // as the reply's header declares them
};

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

RemoteImageCache::RemoteImageCache(QObject* parent) : QObject(parent)
{
    m_images.setMaxCost(MaximumCachedBytes);
}

RemoteImageCache::~RemoteImageCache()
{
    // At exit the network thread has stopped already, with what it was fetching.
    if (QCoreApplication::closingDown()) {
        return;
    }
    for (const std::shared_ptr<Pending>& pending : std::as_const(m_pending)) {
        if (pending->task) {
            pending->task->cancel();
        }
    }
}

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
    if (m_images.contains(address)) {
        return;
    }
    Pending& pending = want(address, context);
    // A row is drawn again and again while its picture is on its way.
    const bool asked =
        std::any_of(pending.waiters.cbegin(), pending.waiters.cend(),
                    [context](const Waiter& w) { return w.context == context && !w.completion; });
    if (!asked) {
        pending.waiters.append(Waiter{context, {}});
    }
    advance();
}

void RemoteImageCache::load(const QString& address, const QObject* context, Completion completion)
{
    Dispatch::requireMainThread("RemoteImageCache::load");
    if (const std::optional<QImage> cached = cachedImage(address)) {
        const QImage image = *cached;
        Dispatch::toMainThread(context, [completion, image] { completion(image); });
        return;
    }
    want(address, context).waiters.append(Waiter{context, std::move(completion)});
    advance();
}

void RemoteImageCache::clear()
{
    m_images.clear();
}

RemoteImageCache::Pending& RemoteImageCache::want(const QString& address, const QObject* context)
{
    std::shared_ptr<Pending>& pending = m_pending[address];
    if (!pending) {
        pending = std::make_shared<Pending>();
        if (imageAddress(address).isEmpty()) {
            pending->stage = Pending::Stage::Failing;
            Dispatch::toMainThread(this, [this, address] { finish(address, QImage()); });
        }
    }
    // Asked for again: the rows just drawn go first.
    pending->order = ++m_lastOrder;
    if (context && !m_watched.contains(context)) {
        m_watched.insert(context);
        connect(context, &QObject::destroyed, this, [this, context] {
            m_watched.remove(context);
            advanceLater();
        });
    }
    return *pending;
}

void RemoteImageCache::advanceLater()
{
    if (m_advanceQueued) {
        return;
    }
    m_advanceQueued = true;
    Dispatch::toMainThread(this, [this] {
        m_advanceQueued = false;
        advance();
    });
}

void RemoteImageCache::advance()
{
    dropAbandoned();
    startFetches();
    startDecode(true);
    startDecode(false);
}

void RemoteImageCache::dropAbandoned()
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        Pending& pending = **it;
        pending.waiters.removeIf([](const Waiter& waiter) { return !waiter.context; });
        if (!pending.waiters.isEmpty() || pending.stage == Pending::Stage::Decoding ||
            pending.stage == Pending::Stage::Failing) {
            ++it;
            continue;
        }
        if (pending.stage == Pending::Stage::Fetching) {
            // Its place is given back when the cancelled download ends.
            pending.task->cancel();
        } else if (pending.stage == Pending::Stage::Waiting) {
            --m_pendingCount;
            m_pendingBytes -= pending.body.size();
        }
        it = m_pending.erase(it);
    }
}

void RemoteImageCache::startFetches()
{
    while (m_pendingCount < MaximumPending && m_pendingBytes + MaximumBytes <= MaximumPendingBytes) {
        QString address;
        Pending* next = nullptr;
        for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
            Pending& pending = **it;
            if (pending.stage == Pending::Stage::Queued && (!next || pending.order > next->order)) {
                address = it.key();
                next = &pending;
            }
        }
        if (!next) {
            return;
        }
        next->stage = Pending::Stage::Fetching;
        next->fetch = ++m_lastOrder;
        ++m_pendingCount;
        m_pendingBytes += MaximumBytes;
        UrlSession::Request request;
        request.url = imageAddress(address);
        request.maximumBodySize = MaximumBytes;
        QPointer<RemoteImageCache> self = this;
        next->task = UrlSession(m_timeout).dataTask(
            std::move(request), [self, address, fetch = next->fetch](UrlSession::Reply reply) {
                // A page of text or an error reply decodes to nothing.
                std::optional<QByteArray> body;
                if (reply.body && !reply.error && reply.hasSuccessStatus()) {
                    body = std::move(reply.body);
                }
                Dispatch::toMainThread(self, [address, fetch, body](RemoteImageCache* cache) {
                    cache->fetched(address, fetch, body);
                });
            });
        next->task->resume();
    }
}

void RemoteImageCache::fetched(const QString& address, quint64 fetch, std::optional<QByteArray> body)
{
    --m_pendingCount;
    m_pendingBytes -= MaximumBytes;
    const auto found = m_pending.constFind(address);
    if (found != m_pending.constEnd() && (*found)->fetch == fetch &&
        (*found)->stage == Pending::Stage::Fetching) {
        Pending& pending = **found;
        pending.task.reset();
        if (!body) {
            finish(address, QImage());
        } else {
            pending.stage = Pending::Stage::Waiting;
            pending.pixels = NetworkPictureDecoder::declaredPixels(*body);
            pending.body = std::move(*body);
            ++m_pendingCount;
            m_pendingBytes += pending.body.size();
        }
    }
    advance();
}

void RemoteImageCache::startDecode(bool small)
{
    bool& decoding = small ? m_decodingSmall : m_decodingLarge;
    if (decoding) {
        return;
    }
    QString address;
    Pending* next = nullptr;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        Pending& pending = **it;
        if (pending.stage == Pending::Stage::Waiting &&
            (!small || pending.pixels <= NetworkPictureDecoder::SmallPixels) &&
            (!next || pending.pixels < next->pixels ||
             (pending.pixels == next->pixels && pending.order > next->order))) {
            address = it.key();
            next = &pending;
        }
    }
    if (!next) {
        return;
    }
    next->stage = Pending::Stage::Decoding;
    decoding = true;
    QByteArray body = std::exchange(next->body, QByteArray());
    const qint64 size = body.size();
    QPointer<RemoteImageCache> self = this;
    // Decoded on pools of their own: the network thread handles every other reply meanwhile, and the store's
    // queue never waits for a picture. One at a time is handed over, so that the next is chosen late.
    QThreadPool& pool = small ? NetworkPictureDecoder::smallPicturePool() : NetworkPictureDecoder::pool();
    pool.start([self, address, size, small, body]() mutable {
        const QImage image = decode(body);
        body = QByteArray();
        Dispatch::toMainThread(self, [address, size, small, image](RemoteImageCache* cache) {
            cache->decoded(address, size, small, image);
        });
    });
}

void RemoteImageCache::decoded(const QString& address, qint64 bodySize, bool small, const QImage& image)
{
    (small ? m_decodingSmall : m_decodingLarge) = false;
    --m_pendingCount;
    m_pendingBytes -= bodySize;
    finish(address, image);
    advance();
}

void RemoteImageCache::finish(const QString& address, const QImage& image)
{
    // A failure costs its key and a little more.
    m_images.insert(address, new QImage(image), image.sizeInBytes() + address.size() * 2 + 64);
    const std::shared_ptr<Pending> pending = m_pending.take(address);
    if (pending) {
        for (const Waiter& waiter : std::as_const(pending->waiters)) {
            if (waiter.context && waiter.completion) {
                waiter.completion(image);
            }
        }
    }
    Q_EMIT imageReady(address);
}
