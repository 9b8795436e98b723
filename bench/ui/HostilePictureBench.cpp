#include "platform/gui/NetworkPictureDecoder.h"
#include "platform/gui/RemoteImageCache.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageWriter>
#include <QtEndian>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <functional>

// How long a profile picture as large as a reply may be takes to be refused, or read when it is a picture:
// hostile ones must be refused at once, and the largest plain ones read well within a second.
namespace {

constexpr qint64 ReplyLimit = RemoteImageCache::MaximumBytes;

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    const QByteArray typed = type + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()));
    return bigEndian(quint32(data.size())) + typed + bigEndian(quint32(crc));
}

QByteArray pngStart(int side)
{
    return QByteArray("\x89PNG\r\n\x1a\n") +
           pngChunk("IHDR",
                    bigEndian(quint32(side)) + bigEndian(quint32(side)) + QByteArray("\x08\0\0\0\0", 5));
}

// A zlib stream of megabytes zero bytes.
QByteArray zeros(int megabytes)
{
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    const QByteArray block(1 << 20, '\0');
    QByteArray out(1 << 20, '\0');
    QByteArray compressed;
    for (int i = 0; i < megabytes; ++i) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.constData()));
        stream.avail_in = uInt(block.size());
        const int flush = i + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            compressed += out.first(out.size() - qsizetype(stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return compressed;
}

QByteArray gzipped(const QByteArray& bytes)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray saved(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QImage gradient(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            line[x] = qRgb(x & 0xff, y & 0xff, (x + y) & 0xff);
        }
    }
    return image;
}

QByteArray svgOfRects()
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>";
    const QByteArray rect = "<rect x='1' y='1' width='8' height='8' fill='red' opacity='0.5'/>";
    svg += rect.repeated((ReplyLimit - svg.size() - 6) / rect.size());
    return svg + "</svg>";
}

QByteArray icoHoldingPng(int side)
{
    QImage image(side, side, QImage::Format_Mono);
    image.fill(0);
    const QByteArray png = saved(image, "png");
    QByteArray entry(16, '\0');
    entry[4] = 1;
    entry[6] = 32;
    qToLittleEndian(quint32(png.size()), entry.data() + 8);
    qToLittleEndian(quint32(22), entry.data() + 12);
    return QByteArray("\0\0\x01\0\x01\0", 6) + entry + png;
}

// A 2 x 2 GIF whose codes each name one pixel more than the last, to the reply limit.
QByteArray gifNamingBillions()
{
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    int width = 3;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += width;
        for (; count >= 8; count -= 8, bits >>= 8) {
            data += char(bits & 0xff);
        }
    };
    put(4);
    put(0);
    for (int next = 6; data.size() < ReplyLimit - 64 * 1024;) {
        put(qMin(next, 4095));
        if (next < 4096 && ++next == 1 << width && width < 12) {
            ++width;
        }
    }
    put(5);
    data += char(bits & 0xff);
    QByteArray gif("GIF89a\x02\0\x02\0\x81\0\0", 13);
    gif += QByteArray(12, '\0') + QByteArray(",\0\0\0\0\x02\0\x02\0\0\x02", 11);
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif += char(block.size()) + block;
    }
    return gif + QByteArray("\0;", 2);
}

QByteArray jpegOfEndlessScans()
{
    const QByteArray jpeg = saved(gradient(64), "jpeg", true);
    const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
    const qsizetype end = jpeg.lastIndexOf("\xff\xd9");
    const QByteArray scan = jpeg.mid(lastScan, end - lastScan);
    return jpeg.left(end) + scan.repeated((ReplyLimit - jpeg.size()) / scan.size()) + jpeg.mid(end);
}

QByteArray pngWithTextChunks()
{
    const QByteArray text = pngChunk("zTXt", QByteArray("Comment\0\0", 9) +
                                                 qCompress(QByteArray(4 * 1000 * 1000, 'a'), 9).mid(4));
    const QByteArray rows = qCompress(QByteArray(16 * 17, '\0')).mid(4);
    return pngStart(16) + text.repeated(ReplyLimit / text.size() - 1) + pngChunk("IDAT", rows) +
           pngChunk("IEND", {});
}

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
        state, [] { return gzipped(svgOfRects()); }, false);
}

void BM_Svg(benchmark::State& state)
{
    decode(state, svgOfRects, false);
}

void BM_IcoHoldingAPngOf25Megapixels(benchmark::State& state)
{
    decode(
        state, [] { return icoHoldingPng(5000); }, false);
}

void BM_PngDeclaring16x16HoldingGigabytes(benchmark::State& state)
{
    decode(
        state, [] { return pngStart(16) + pngChunk("IDAT", zeros(1024)) + pngChunk("IEND", {}); }, false);
}

void BM_GifNamingBillionsOfPixels(benchmark::State& state)
{
    decode(state, gifNamingBillions, false);
}

void BM_JpegOfEndlessScans(benchmark::State& state)
{
    decode(state, jpegOfEndlessScans, false);
}

// ---- read ----

void BM_PngWithGigabytesOfText(benchmark::State& state)
{
    decode(state, pngWithTextChunks, true);
}

void BM_Png2048(benchmark::State& state)
{
    decode(
        state, [] { return saved(gradient(2048), "png"); }, true);
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

} // namespace

BENCHMARK(BM_Svgz)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Svg)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IcoHoldingAPngOf25Megapixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PngDeclaring16x16HoldingGigabytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GifNamingBillionsOfPixels)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JpegOfEndlessScans)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PngWithGigabytesOfText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Png2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpeg2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngAvatar)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NetworkPictureDecoder::limitAllocations();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
