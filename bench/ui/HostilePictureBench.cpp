#include "HostilePictures.h"
#include "LocalHttpServer.h"
#include "platform/gui/NetworkPictureDecoder.h"
#include "platform/gui/RemoteImageCache.h"
#include "support/UsedMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>

// How long a profile picture as large as a reply may be takes to be refused, or read when it is a picture:
// hostile ones must be refused at once, and the largest plain ones read well within a second; the size its
// header declares is read in moments. Then a crowd of pictures that are slow to read, or that declare less
// than they hold, requested before a plain one: memory stays bounded and the plain one does not wait for the
// crowd.
namespace {

using namespace HostilePictures;

constexpr qint64 ReplyLimit = RemoteImageCache::MaximumBytes;
constexpr int Crowd = 200;
// Goals for the crowd.
constexpr double MaximumGrowthMegabytes = 128;
constexpr double MaximumPlainWaitMs = 2000;
// More than the cache lets wait at once: memory is watched until it has taken in that many.
constexpr int ObservedDecodes = 20;
bool goalsMet = true;

void decode(benchmark::State& state, const std::function<QByteArray()>& make, bool readable)
{
    const QByteArray bytes = make();
    for (auto _ : state) {
        const QImage image = RemoteImageCache::decode(bytes);
        if (image.isNull() == readable) {
            state.SkipWithError(readable ? "not read" : "not refused");
        }
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

// ---- refused ----

void BM_Svgz(benchmark::State& state)
{
    decode(
        state, [] { return gzipped(svgOfRects(ReplyLimit)); }, false);
}

void BM_Svg(benchmark::State& state)
{
    decode(
        state, [] { return svgOfRects(ReplyLimit); }, false);
}

void BM_IcoHoldingAPngOf25Megapixels(benchmark::State& state)
{
    decode(
        state, [] { return iconOf(plain(Qt::black, 5000, "PNG", false, QImage::Format_Mono)); }, false);
}

void BM_PngDeclaring16x16HoldingGigabytes(benchmark::State& state)
{
    decode(
        state, [] { return pngHolding(16, deflatedZeros(1024)); }, false);
}

void BM_GifNamingBillionsOfPixels(benchmark::State& state)
{
    decode(
        state, [] { return gifNamingBillions(ReplyLimit); }, false);
}

void BM_JpegOfEndlessScans(benchmark::State& state)
{
    decode(
        state,
        [] {
            const QByteArray jpeg = saved(gradient(64), "jpeg", true);
            const qsizetype scan = jpegRepeatingLastScan(jpeg, 1).size() - jpeg.size();
            return jpegRepeatingLastScan(jpeg, int((ReplyLimit - jpeg.size()) / scan));
        },
        false);
}

// ---- read ----

void BM_PngWithGigabytesOfText(benchmark::State& state)
{
    decode(
        state,
        [] {
            const QByteArray text = textChunk(4 * 1000 * 1000);
            return withChunksAfterHeader(pngHolding(16, qCompress(QByteArray(16 * 17, '\0')).mid(4)),
                                         text.repeated(ReplyLimit / text.size() - 1));
        },
        true);
}

void BM_Png2048(benchmark::State& state)
{
    decode(
        state, [] { return saved(gradient(2048), "png"); }, true);
}

void BM_SlowPngAsLargeAsAReply(benchmark::State& state)
{
    decode(
        state, [] { return slowPng(ReplyLimit - 1024); }, true);
}

void BM_ProgressiveJpeg2048(benchmark::State& state)
{
    decode(
        state, [] { return saved(gradient(2048), "jpeg", true); }, true);
}

void BM_PngAvatar(benchmark::State& state)
{
    decode(
        state, [] { return saved(gradient(96), "png"); }, true);
}

// ---- sized from the header ----

void declared(benchmark::State& state, const QByteArray& bytes, qint64 pixels)
{
    for (auto _ : state) {
        const qint64 read = NetworkPictureDecoder::declaredPixels(bytes);
        if (read != pixels) {
            state.SkipWithError("not the size the decoder reads");
        }
        benchmark::DoNotOptimize(read);
    }
}

void BM_SizeOfAJpegFullOfComments(benchmark::State& state)
{
    const QByteArray jpeg = saved(gradient(64), "jpeg");
    QByteArray comment("\xff\xfe\xff\xff", 4);
    comment += QByteArray(0xffff - 2, 'c');
    declared(state,
             jpeg.first(2) + comment.repeated((ReplyLimit - jpeg.size()) / comment.size()) + jpeg.mid(2),
             64 * 64);
}

void BM_SizeOfAJpegDeclaringOnePixelToAScan(benchmark::State& state)
{
    declared(state, jpegDeclaringOnePixel(plain(Qt::blue, 2048, "JPEG", true)), 2048 * 2048);
}

void BM_SizeOfAPngWithGigabytesOfText(benchmark::State& state)
{
    const QByteArray text = textChunk(4 * 1000 * 1000);
    declared(state,
             withChunksAfterHeader(pngHolding(16, qCompress(QByteArray(16 * 17, '\0')).mid(4)),
                                   text.repeated(ReplyLimit / text.size() - 1)),
             16 * 16);
}

void BM_SizeOfAGifNamingBillionsOfPixels(benchmark::State& state)
{
    declared(state, gifNamingBillions(ReplyLimit), 2 * 2);
}

// ---- a crowd ----

// The crowd's pictures, then a plain 8 x 8 one, through the picture cache from a local server: the growth
// of the process's memory until the plain one has come and the cache has decoded more of the crowd than it
// lets wait, and how long the plain one waited.
void plainAfterACrowd(benchmark::State& state, const QByteArray& slow)
{
    LocalHttpServer server;
    if (!server.start()) {
        state.SkipWithError("no server");
        return;
    }
    for (int i = 0; i < Crowd; ++i) {
        server.route("/slow/" + QByteArray::number(i) + ".png", slow, "image/png");
    }
    server.route("/plain.png", plain(Qt::red, 8), "image/png");
    for (auto _ : state) {
        auto cache = std::make_unique<RemoteImageCache>();
        auto crowdRows = std::make_unique<QObject>();
        QObject plainRow;
        const qint64 before = UsedMemory::bytes();
        qint64 peak = before;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&peak] { peak = qMax(peak, UsedMemory::bytes()); });
        sampler.start(1);
        int decoded = 0;
        bool plainCame = false;
        double waitedMs = 0;
        QEventLoop loop;
        const auto doneWhenObserved = [&] {
            if (plainCame && decoded >= ObservedDecodes) {
                loop.quit();
            }
        };
        QObject::connect(cache.get(), &RemoteImageCache::imageReady, [&] {
            ++decoded;
            doneWhenObserved();
        });
        for (int i = 0; i < Crowd; ++i) {
            cache->load(server.url(QStringLiteral("/slow/%1.png").arg(i)).toString(), crowdRows.get(),
                        [](const QImage&) {});
        }
        QElapsedTimer waited;
        waited.start();
        cache->load(server.url("/plain.png").toString(), &plainRow, [&](const QImage& image) {
            waitedMs = double(waited.nsecsElapsed()) / 1e6;
            plainCame = !image.isNull();
            if (!plainCame) {
                loop.quit();
            }
            doneWhenObserved();
        });
        loop.exec();
        peak = qMax(peak, UsedMemory::bytes());
        // The rows are gone: the rest of the crowd is not read.
        crowdRows.reset();
        cache.reset();
        NetworkPictureDecoder::pool().waitForDone();
        NetworkPictureDecoder::smallPicturePool().waitForDone();
        if (!plainCame) {
            state.SkipWithError("the plain picture did not come");
            goalsMet = false;
            break;
        }
        const double growth = double(peak - before) / (1 << 20);
        state.counters["peak_MB"] = double(peak) / (1 << 20);
        state.counters["growth_MB"] = growth;
        state.counters["plain_wait_ms"] = waitedMs;
        std::printf(
            "crowd of %d: memory grew %.0f MB (goal %.0f), the plain picture waited %.0f ms (goal %.0f)\n",
            Crowd, growth, MaximumGrowthMegabytes, waitedMs, MaximumPlainWaitMs);
        goalsMet = goalsMet && growth <= MaximumGrowthMegabytes && waitedMs <= MaximumPlainWaitMs;
    }
}

void BM_PlainAvatarAfterACrowdOfSlowOnes(benchmark::State& state)
{
    plainAfterACrowd(state, slowPng(ReplyLimit - 1024));
}

void BM_PlainAvatarAfterACrowdDeclaringOnePixelToAScan(benchmark::State& state)
{
    plainAfterACrowd(state, jpegDeclaringOnePixel(plain(Qt::blue, 2048, "JPEG", true)));
}

} // namespace

BENCHMARK(BM_Svgz)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Svg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IcoHoldingAPngOf25Megapixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PngDeclaring16x16HoldingGigabytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GifNamingBillionsOfPixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JpegOfEndlessScans)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PngWithGigabytesOfText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Png2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlowPngAsLargeAsAReply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpeg2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngAvatar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SizeOfAJpegFullOfComments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SizeOfAJpegDeclaringOnePixelToAScan)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SizeOfAPngWithGigabytesOfText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SizeOfAGifNamingBillionsOfPixels)->Unit(benchmark::kMicrosecond);
// Once: the memory figure is the process's, and before the bound a run took most of a minute.
BENCHMARK(BM_PlainAvatarAfterACrowdOfSlowOnes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAvatarAfterACrowdDeclaringOnePixelToAScan)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NetworkPictureDecoder::limitAllocations();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return goalsMet ? 0 : 1;
}
