#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Small pictures from the web (profile pictures), fetched in the background with a time-out and kept in
// memory for the life of the process, failures included, so a picture is asked for once. Main thread only;
// nothing here waits for the network.
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

    // The process's cache, made on first use.
    static RemoteImageCache& shared();

    // The web address of a picture address text: "//host/..." is read as https; only http and https
    // addresses with a host are fetched. Empty when the text is no such address.
    static QUrl imageAddress(const QString& text);

    explicit RemoteImageCache(QObject* parent = nullptr);

    // The picture when it has arrived; a null image after a failure; none while it is unknown or on its way.
    std::optional<QImage> cachedImage(const QString& address) const;
    // Starts fetching the picture unless it is cached or on its way. An address that is no web address fails
    // at once (without a fetch).
    void request(const QString& address);
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
    void finish(const QString& address, const QImage& image);

    QHash<QString, QImage> m_images;
    QHash<QString, QList<Waiter>> m_waiting;
    double m_timeout = Timeout;
};
