#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// Small pictures from the web (profile pictures), fetched in the background with a time-out and kept in
// memory, failures included, so a picture is asked for once while it is kept. Main thread only; nothing
// here waits for the network.
//
// Strangers choose these pictures, so what they may cost is bounded: at most MaximumPending pictures, and
// MaximumPendingBytes of their replies, are downloading or waiting to be decoded; later ones wait
// un-downloaded, the latest asked for first (the rows just drawn). Of those downloaded the one declaring
// the fewest pixels is decoded next, and small ones have a decoding thread of their own, so a crowd of slow
// pictures holds up a small one only until one of them is decoded and its place is free. A picture is asked
// for on behalf of a context (a window, the rows on screen); once every context that asked for it is gone, it
// is no longer downloaded or decoded. Decoded pictures are kept up to MaximumCachedBytes, the least recently
// used going first.
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
    // Pictures downloading or waiting to be decoded; a download counts at MaximumBytes until it is in.
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
    struct Waiter
    {
        QPointer<const QObject> context;
        Completion completion;
    };
    struct Pending;

    Pending& want(const QString& address, const QObject* context);
    // Drops what no one waits for any more, then starts what the bounds allow.
    void advance();
    void dropAbandoned();
    void startFetches();
    // On the lane for small pictures, or the other.
    void startDecode(bool small);
    void fetched(const QString& address, quint64 fetch, std::optional<QByteArray> body);
    void decoded(const QString& address, qint64 bodySize, bool small, const QImage& image);
    void finish(const QString& address, const QImage& image);
    void advanceLater();

    // By the bytes of their pixels; failures cost little but something, so they go too.
    QCache<QString, QImage> m_images;
    QHash<QString, std::shared_ptr<Pending>> m_pending;
    QSet<const QObject*> m_watched;
    quint64 m_lastOrder = 0;
    int m_pendingCount = 0;    // downloading, waiting or decoding
    qint64 m_pendingBytes = 0; // their replies, each download at MaximumBytes
    bool m_decodingLarge = false;
    bool m_decodingSmall = false;
    bool m_advanceQueued = false;
    double m_timeout = Timeout;
};
