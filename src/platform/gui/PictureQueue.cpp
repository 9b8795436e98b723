#include "PictureQueue.h"

#include "platform/Dispatch.h"

#include <QCoreApplication>

#include <algorithm>
#include <utility>

struct PictureQueue::Entry
{
    enum class Stage
    {
        Queued,
        Fetching,
        Waiting, // downloaded, waiting to be decoded
        Decoding
    };
    Stage stage = Stage::Queued;
    QList<Waiter> waiters;
    quint64 order = 0;  // when it was last asked for
    quint64 ticket = 0; // of the download or decoding under way
    Cancel cancel;      // the download under way, until it is cancelled
    QByteArray bytes;
    qint64 pixels = 0;
    std::optional<Claim> place; // from its download until it is decoded
    std::optional<Claim> lane;  // while it is decoded
};

PictureQueue::Claim::Claim(Tally& tally, qint64 bytes) : m_tally(tally), m_bytes(bytes)
{
    ++m_tally.count;
    m_tally.bytes += m_bytes;
}

PictureQueue::Claim::~Claim()
{
    --m_tally.count;
    m_tally.bytes -= m_bytes;
}

void PictureQueue::Claim::resize(qint64 bytes)
{
    m_tally.bytes += bytes - m_bytes;
    m_bytes = bytes;
}

PictureQueue::PictureQueue(Limits limits, Fetch fetch, Decode decode, QObject* parent)
    : QObject(parent), m_limits(limits), m_fetch(std::move(fetch)), m_decode(std::move(decode))
{
}

PictureQueue::~PictureQueue()
{
    // At exit the network thread has stopped already, with what it was fetching.
    if (QCoreApplication::closingDown()) {
        return;
    }
    for (const std::shared_ptr<Entry>& entry : std::as_const(m_entries)) {
        if (entry->cancel) {
            std::exchange(entry->cancel, {})();
        }
    }
}

void PictureQueue::want(const QString& address, const QObject* context, Completion completion)
{
    Dispatch::requireMainThread("PictureQueue::want");
    std::shared_ptr<Entry>& entry = m_entries[address];
    if (!entry) {
        entry = std::make_shared<Entry>();
    }
    // Asked for again: the rows just drawn go first.
    entry->order = ++m_sequence;
    // A row is drawn again and again while its picture is on its way.
    const bool asked = !completion && std::any_of(entry->waiters.cbegin(), entry->waiters.cend(),
                                                  [context](const Waiter& w) {
                                                      return w.context == context && !w.completion;
                                                  });
    if (!asked) {
        entry->waiters.append(Waiter{context, std::move(completion)});
    }
    if (context && !m_watched.contains(context)) {
        m_watched.insert(context);
        connect(context, &QObject::destroyed, this, [this, context] {
            m_watched.remove(context);
            advanceLater();
        });
    }
    advance();
}

void PictureQueue::advanceLater()
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

void PictureQueue::advance()
{
    dropAbandoned();
    startFetches();
    startDecode(Lane::Small);
    startDecode(Lane::Large);
}

void PictureQueue::dropAbandoned()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        Entry& entry = **it;
        entry.waiters.removeIf([](const Waiter& waiter) { return !waiter.context; });
        if (!entry.waiters.isEmpty() || entry.stage == Entry::Stage::Decoding) {
            ++it;
            continue;
        }
        if (entry.stage == Entry::Stage::Fetching) {
            // Its place is given back when the cancelled download ends.
            if (entry.cancel) {
                std::exchange(entry.cancel, {})();
            }
            ++it;
            continue;
        }
        it = m_entries.erase(it);
    }
}

void PictureQueue::startFetches()
{
    while (m_places.count < m_limits.maximumPending &&
           m_places.bytes + m_limits.downloadBytes <= m_limits.maximumPendingBytes) {
        QString address;
        Entry* next = nullptr;
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            Entry& entry = **it;
            if (entry.stage == Entry::Stage::Queued && (!next || entry.order > next->order)) {
                address = it.key();
                next = &entry;
            }
        }
        if (!next) {
            return;
        }
        next->stage = Entry::Stage::Fetching;
        next->ticket = ++m_sequence;
        next->place.emplace(m_places, m_limits.downloadBytes);
        next->cancel = m_fetch(address, next->ticket);
    }
}

void PictureQueue::fetched(const QString& address, quint64 ticket, std::optional<Download> download)
{
    const auto found = m_entries.constFind(address);
    if (found == m_entries.constEnd() || (*found)->ticket != ticket ||
        (*found)->stage != Entry::Stage::Fetching) {
        return;
    }
    Entry& entry = **found;
    if (!entry.cancel) {
        // Cancelled, then asked for again meanwhile: downloaded anew in its turn.
        entry.stage = Entry::Stage::Queued;
        entry.place.reset();
    } else if (!download) {
        finish(address, QImage());
    } else {
        entry.cancel = {};
        entry.stage = Entry::Stage::Waiting;
        entry.bytes = std::move(download->bytes);
        entry.pixels = download->pixels;
        entry.place->resize(entry.bytes.size());
    }
    advance();
}

void PictureQueue::startDecode(Lane lane)
{
    Tally& busy = m_lanes[size_t(lane)];
    if (busy.count > 0) {
        return;
    }
    QString address;
    Entry* next = nullptr;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        Entry& entry = **it;
        if (entry.stage == Entry::Stage::Waiting &&
            (lane == Lane::Large || entry.pixels <= m_limits.smallPixels) &&
            (!next || entry.pixels < next->pixels ||
             (entry.pixels == next->pixels && entry.order > next->order))) {
            address = it.key();
            next = &entry;
        }
    }
    if (!next) {
        return;
    }
    next->stage = Entry::Stage::Decoding;
    next->ticket = ++m_sequence;
    next->lane.emplace(busy, 0);
    // One at a time is handed over, so that the next is chosen late.
    m_decode(address, next->ticket, next->bytes, lane, next->pixels);
}

void PictureQueue::decoded(const QString& address, quint64 ticket, const Decoded& result)
{
    const auto found = m_entries.constFind(address);
    if (found == m_entries.constEnd() || (*found)->ticket != ticket ||
        (*found)->stage != Entry::Stage::Decoding) {
        return;
    }
    Entry& entry = **found;
    entry.lane.reset();
    if (result.largerPixels > entry.pixels) {
        // It declared less than it holds: it waits again by what it holds, behind the cheap ones.
        entry.pixels = result.largerPixels;
        entry.stage = Entry::Stage::Waiting;
    } else {
        finish(address, result.image);
    }
    advance();
}

void PictureQueue::finish(const QString& address, const QImage& image)
{
    const std::shared_ptr<Entry> entry = m_entries.take(address);
    Q_EMIT finished(address, image);
    if (entry) {
        for (const Waiter& waiter : std::as_const(entry->waiters)) {
            if (waiter.context && waiter.completion) {
                waiter.completion(image);
            }
        }
    }
}
