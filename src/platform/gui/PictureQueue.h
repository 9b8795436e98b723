#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

// When pictures from the web are downloaded and decoded; how is handed in. Main thread only.
//
// At most maximumPending pictures, holding at most maximumPendingBytes of replies (a download counts at
// downloadBytes until it is in), are downloading, waiting to be decoded or decoding; later ones wait
// un-downloaded, the latest asked for first. Of those downloaded the one declaring the fewest pixels is
// decoded next, one at a time on each of two lanes; the small lane takes only pictures of at most
// smallPixels, so a crowd of large ones never holds a small one up. A picture found to hold more pixels than
// it declared comes back undecoded and waits again, ranked by what it holds. Once every context that asked
// for a picture is gone, it is downloaded and decoded no further (one being decoded finishes).
class PictureQueue : public QObject
{
    Q_OBJECT
public:
    enum class Lane
    {
        Small,
        Large
    };
    struct Limits
    {
        int maximumPending = 0;
        qint64 maximumPendingBytes = 0;
        qint64 downloadBytes = 0;
        qint64 smallPixels = 0;
    };
    // A reply and the pixels its header declares to the decoder.
    struct Download
    {
        QByteArray bytes;
        qint64 pixels = 0;
    };
    // The picture; or, for one holding more pixels than it was decoded within, how many it holds.
    struct Decoded
    {
        QImage image;
        qint64 largerPixels = 0;
    };
    using Completion = std::function<void(const QImage& image)>;
    using Cancel = std::function<void()>;
    // Starts a download whose end, cancelled or not, is told later by fetched() with the same ticket.
    using Fetch = std::function<Cancel(const QString& address, quint64 ticket)>;
    // Starts decoding on the lane's thread, within budgetPixels; its end is told later by decoded().
    using Decode = std::function<void(const QString& address, quint64 ticket, const QByteArray& bytes,
                                      Lane lane, qint64 budgetPixels)>;

    PictureQueue(Limits limits, Fetch fetch, Decode decode, QObject* parent = nullptr);
    ~PictureQueue() override;

    // Asks for the picture while the context lives; the completion, if any, is given it.
    void want(const QString& address, const QObject* context, Completion completion = {});
    // A null download for a failure.
    void fetched(const QString& address, quint64 ticket, std::optional<Download> download);
    void decoded(const QString& address, quint64 ticket, const Decoded& result);

Q_SIGNALS:
    // Decoded, or failed with a null image.
    void finished(const QString& address, const QImage& image);

private:
    // What is held; changed only by a Claim, so it cannot drift from what holds it.
    struct Tally
    {
        int count = 0;
        qint64 bytes = 0;
    };
    // One place in a tally, held while it lives.
    class Claim
    {
    public:
        Claim(Tally& tally, qint64 bytes);
        ~Claim();
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;
        void resize(qint64 bytes);

    private:
        Tally& m_tally;
        qint64 m_bytes;
    };
    struct Waiter
    {
        QPointer<const QObject> context;
        Completion completion;
    };
    struct Entry;

    void advance();
    void advanceLater();
    void dropAbandoned();
    void startFetches();
    void startDecode(Lane lane);
    void finish(const QString& address, const QImage& image);

    const Limits m_limits;
    const Fetch m_fetch;
    const Decode m_decode;
    // Before the entries, which hold claims on them.
    Tally m_places;
    std::array<Tally, 2> m_lanes;
    QHash<QString, std::shared_ptr<Entry>> m_entries;
    QSet<const QObject*> m_watched;
    quint64 m_sequence = 0;
    bool m_advanceQueued = false;
};
