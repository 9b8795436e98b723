#include "platform/gui/PictureQueue.h"

#include <QtTest>

#include <memory>

namespace {

using Lane = PictureQueue::Lane;

// A queue whose downloads and decodings are only written down; the test ends them. Pictures of at most 10
// pixels are small.
class Harness
{
public:
    explicit Harness(int pending, qint64 pendingBytes = 1 << 20, qint64 downloadBytes = 1)
        : queue(
              {pending, pendingBytes, downloadBytes, 10},
              [this](const QString& address, quint64 ticket) {
                  fetches << address;
                  tickets[address] = ticket;
                  return PictureQueue::Cancel([this, address] { cancelled << address; });
              },
              [this](const QString& address, quint64 ticket, const QByteArray&, Lane lane, qint64 budget) {
                  decodes << address;
                  tickets[address] = ticket;
                  lanes.append({lane, budget});
              })
    {
    }
    void want(const QStringList& addresses, const QObject* context)
    {
        for (const QString& address : addresses) {
            queue.want(address, context);
        }
    }
    void arrive(const QString& address, qint64 pixels, qint64 bytes = 1)
    {
        queue.fetched(address, tickets[address], PictureQueue::Download{QByteArray(bytes, 'x'), pixels});
    }
    void fail(const QString& address) { queue.fetched(address, tickets[address], std::nullopt); }
    void decode(const QString& address, qint64 largerPixels = 0)
    {
        queue.decoded(address, tickets[address], {QImage(), largerPixels});
    }

    QStringList fetches;
    QStringList decodes;
    QList<std::pair<Lane, qint64>> lanes; // and budgets, of the decodings
    QStringList cancelled;
    QHash<QString, quint64> tickets; // of the download or decoding last started
    PictureQueue queue;
};

} // namespace

// The rules of the queue, each checked with downloads and decodings the test ends itself.
class TestPictureQueue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testNinthPictureIsNotDownloadedWhileEightArePending()
    {
        Harness h(8);
        h.want({"0", "1", "2", "3", "4", "5", "6", "7", "8"}, this);
        QCOMPARE(h.fetches.size(), 8);
        // Downloaded and decoding, it keeps its place until it is decoded.
        h.arrive("7", 5);
        QCOMPARE(h.fetches.size(), 8);
        h.decode("7");
        QCOMPARE(h.fetches.size(), 9);
    }

    void testDownloadsHoldNoMoreThanTheirBytes()
    {
        Harness h(8, 250, 100);
        h.want({"a", "b", "c", "d"}, this);
        QCOMPARE(h.fetches.size(), 2);
        // Once in, a reply counts at its size: 150 of 250.
        h.arrive("b", 100, 50);
        QCOMPARE(h.fetches.size(), 3);
    }

    void testLatestAskedIsDownloadedFirst()
    {
        Harness h(1);
        h.want({"0", "1", "2", "3", "4", "5", "6"}, this);
        h.want({"2"}, this); // drawn again
        for (const char* previous : {"0", "2", "6", "5", "4", "3"}) {
            h.arrive(previous, 5);
            h.decode(previous);
        }
        QCOMPARE(h.fetches, QStringList({"0", "2", "6", "5", "4", "3", "1"}));
    }

    void testFewestPixelsAreDecodedFirst()
    {
        Harness h(8);
        h.want({"busy", "a", "b", "c", "d", "e"}, this);
        h.arrive("busy", 100);
        const QList<std::pair<QString, qint64>> waiting{
            {"a", 300}, {"b", 200}, {"c", 500}, {"d", 150}, {"e", 400}};
        for (const auto& [address, pixels] : waiting) {
            h.arrive(address, pixels);
        }
        for (const char* previous : {"busy", "d", "b", "a", "e"}) {
            h.decode(previous);
        }
        QCOMPARE(h.decodes, QStringList({"busy", "d", "b", "a", "e", "c"}));
    }

    void testSmallPictureDecodesWhileTheLargeLaneIsBusy()
    {
        Harness h(8);
        h.want({"large", "small"}, this);
        h.arrive("large", 100);
        h.arrive("small", 10);
        QCOMPARE(h.decodes, QStringList({"large", "small"}));
        QCOMPARE(h.lanes.last().first, Lane::Small);
    }

    void testLargePictureNeverTakesTheSmallLane()
    {
        Harness h(8);
        h.want({"first", "second"}, this);
        h.arrive("first", 100);
        h.arrive("second", 11);
        QCOMPARE(h.decodes, QStringList({"first"}));
    }

    void testPictureOfAGoneContextIsNeitherDownloadedNorDecoded()
    {
        Harness h(3);
        h.want({"busy"}, this);
        h.arrive("busy", 100);
        auto rows = std::make_unique<QObject>();
        h.want({"fetching", "waiting", "queued"}, rows.get());
        h.arrive("waiting", 100);
        rows.reset();
        QTRY_VERIFY2(h.cancelled == QStringList({"fetching"}), qPrintable(h.cancelled.join(",")));
        h.decode("busy");
        h.fail("fetching");
        QCOMPARE(h.decodes, QStringList({"busy"}));
        QCOMPARE(h.fetches, QStringList({"busy", "fetching", "waiting"}));
    }

    // A JPEG declaring 1 pixel to a scan of ours held 4 megapixels for its decoder: two hundred of them held
    // a plain picture on the small lane for most of a minute.
    void testPictureLargerThanDeclaredWaitsBehindCheapOnes()
    {
        Harness h(8);
        h.want({"busy", "liar", "honest"}, this);
        h.arrive("busy", 100);
        h.arrive("liar", 1);
        h.arrive("honest", 4);
        h.decode("liar", 4000);
        h.decode("busy");
        QCOMPARE(h.decodes, QStringList({"busy", "liar", "honest", "liar"}));
        QCOMPARE(h.lanes[2].first, Lane::Small);
        QCOMPARE(h.lanes[3], std::make_pair(Lane::Large, qint64(4000)));
    }

    void testPlacesComeBackHoweverAPictureEnds()
    {
        Harness h(2);
        auto rows = std::make_unique<QObject>();
        h.want({"failed", "gone"}, rows.get());
        h.fail("failed");
        h.want({"liar"}, this);
        h.arrive("liar", 1);
        h.decode("liar", 100);
        h.decode("liar");
        rows.reset();
        QTRY_COMPARE(h.cancelled, QStringList({"gone"}));
        // Asked for again before its cancelled download ends: downloaded anew.
        h.want({"gone"}, this);
        h.fail("gone");
        h.want({"more"}, this);
        QCOMPARE(h.fetches, QStringList({"failed", "gone", "liar", "gone", "more"}));
    }
};

QTEST_GUILESS_MAIN(TestPictureQueue)
#include "TestPictureQueue.moc"
