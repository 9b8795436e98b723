#pragma once

#include "PictureQueue.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Small pictures from the web (profile pictures), fetched in the background with a time-out and kept in
// memory, failures included, so a picture is asked for once while it is kept. Main thread only; nothing
// here waits for the network.
//
// Strangers choose these pictures, so what they may cost is bounded: PictureQueue decides when each is
// downloaded and decoded, within the bounds below; a picture is ranked by the pixels the decoder reads from
// its header. A picture is asked for on behalf of a context (a window, the rows on screen); once every
// context that asked for it is gone, it is no longer downloaded or decoded. Decoded pictures are kept up to
// MaximumCachedBytes, the least recently used going first.
class RemoteImageCache : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(const QImage& image)>;

    static constexpr double Timeout = 15.0;                 // seconds
    static constexpr qint64 MaximumBytes = 4 * 1024 * 1024; // larger replies are not pictures we show
    static constexpr int MaximumSide = 256;                 // kept pictures are scaled down to this
    // Pictures that declare more pixels are refused unread (4 megapixels, 16 MB decoded).
    static constexpr qint64 MaximumPixels = 2048 * 2048;
    // Pictures downloading, waiting or decoding; a download counts at MaximumBytes until it is in.
    static constexpr int MaximumPending = 8;
    static constexpr qint64 MaximumPendingBytes = 4 * MaximumBytes;
    // Decoded pictures kept: 128 at the largest side.
    static constexpr qint64 MaximumCachedBytes = 128 * MaximumSide * MaximumSide * 4;

    // The process's cache, made on first use.
    static RemoteImageCache& shared();

    // The web address of a picture address text: "//host/..." is read as https; only http and https
    // addresses with a host are fetched. Empty when the text is no such address.
    static QUrl imageAddress(const QString& text);

    explicit RemoteImageCache(QObject* parent = nullptr);
    ~RemoteImageCache() override;

    // The picture when it has arrived; a null image after a failure; none while it is unknown or on its way.
    std::optional<QImage> cachedImage(const QString& address) const;
    // Asks for the picture while the context lives, unless it is cached; imageReady tells when it is. An
    // address that is no web address fails at once (without a fetch).
    void request(const QString& address, const QObject* context);
    // The picture, or a null image when it cannot be had, to the completion on the main thread, later, and
    // only while the context lives. A cached picture is handed over at the next turn of the event loop.
    void load(const QString& address, const QObject* context, Completion completion);

    void setTimeout(double seconds) { m_timeout = seconds; }
    // Forgets every picture (tests); fetches on their way still land.
    void clear();

    // The picture in the bytes, scaled down to MaximumSide; a null image when they hold none, or one of
    // more than MaximumPixels or that NetworkPictureDecoder refuses. Any thread.
    static QImage decode(const QByteArray& bytes);

Q_SIGNALS:
    // The picture of the address has arrived or has failed.
    void imageReady(const QString& address);

private:
    PictureQueue::Cancel fetch(const QString& address, quint64 ticket);
    void startDecoding(const QString& address, quint64 ticket, const QByteArray& bytes,
                       PictureQueue::Lane lane, qint64 budgetPixels);
    // Whether the address is no web address: then its failure is kept at once, without a fetch, and told
    // by imageReady at the next turn.
    bool failsUnfetched(const QString& address);

    // By the bytes of their pixels; failures cost little but something, so they go too.
    QCache<QString, QImage> m_images;
    double m_timeout = Timeout;
    PictureQueue m_queue;
};
