#include "HostilePictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <array>

namespace HostilePictures {

namespace {

// A zlib stream of that many zero bytes.
QByteArray deflatedZeroBytes(qint64 count)
{
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    const QByteArray block(1 << 20, '\0');
    QByteArray out(1 << 20, '\0');
    QByteArray compressed;
    for (qint64 left = count;;) {
        const qint64 now = qMin<qint64>(left, block.size());
        left -= now;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.constData()));
        stream.avail_in = uInt(now);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            compressed += out.first(out.size() - qsizetype(stream.avail_out));
        } while (stream.avail_out == 0);
        if (left == 0) {
            break;
        }
    }
    deflateEnd(&stream);
    return compressed;
}

QByteArray pngStart(quint32 side, const QByteArray& depthAndType)
{
    return QByteArray("\x89PNG\r\n\x1a\n") +
           pngChunk("IHDR", bigEndian(side) + bigEndian(side) + depthAndType);
}

} // namespace

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

QByteArray saved(const QImage& image, const char* format, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QByteArray plain(const QColor& color, int side, const char* format, bool progressive, QImage::Format pixels)
{
    QImage image(side, side, pixels);
    image.fill(color);
    return saved(image, format, progressive);
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

QByteArray deflatedZeros(int megabytes)
{
    return deflatedZeroBytes(qint64(megabytes) << 20);
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

QByteArray pngHolding(int side, const QByteArray& data)
{
    return pngStart(quint32(side), QByteArray("\x08\0\0\0\0", 5)) + pngChunk("IDAT", data) +
           pngChunk("IEND", {});
}

QByteArray textChunk(int inflatedBytes)
{
    return pngChunk("zTXt",
                    QByteArray("Comment\0\0", 9) + qCompress(QByteArray(inflatedBytes, 'a'), 9).mid(4));
}

QByteArray withChunksAfterHeader(const QByteArray& png, const QByteArray& chunks)
{
    const qsizetype afterHeader = 8 + 12 + 13;
    return png.left(afterHeader) + chunks + png.mid(afterHeader);
}

QByteArray slowPng(qint64 size)
{
    constexpr qint64 Side = 2048;
    constexpr qint64 PixelBytes = 8;
    // Adam7: first column, first row, column step and row step of the seven passes.
    static constexpr std::array<std::array<qint64, 4>, 7> passes{
        {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    qint64 rows = 0;
    for (const auto& [column, row, columnStep, rowStep] : passes) {
        rows += (Side - row + rowStep - 1) / rowStep *
                (1 + (Side - column + columnStep - 1) / columnStep * PixelBytes);
    }
    const QByteArray start = pngStart(quint32(Side), QByteArray("\x10\x06\0\0\x01", 5));
    const QByteArray end = pngChunk("IDAT", deflatedZeroBytes(rows)) + pngChunk("IEND", {});
    const qint64 padding = qMax<qint64>(0, size - start.size() - end.size() - 12);
    return start + pngChunk("prVt", QByteArray(qsizetype(padding), '\0')) + end;
}

QByteArray iconOf(const QByteArray& png)
{
    QByteArray icon("\0\0\x01\0\x01\0"
                    "\0\0\0\0\x01\0\x20\0"
                    "sizeoffs",
                    22);
    qToLittleEndian(quint32(png.size()), icon.data() + 14);
    qToLittleEndian(quint32(icon.size()), icon.data() + 18);
    return icon + png;
}

QByteArray jpegRepeatingLastScan(const QByteArray& jpeg, int times)
{
    const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
    const qsizetype end = jpeg.lastIndexOf("\xff\xd9");
    return jpeg.left(end) + jpeg.mid(lastScan, end - lastScan).repeated(times) + jpeg.mid(end);
}

QByteArray jpegDeclaringOnePixel(const QByteArray& jpeg)
{
    // A walk of the segments takes FF 00 for a marker and jumps 10 bytes, into the comment segment, where it
    // finds a frame header of 1 x 1; the decoder skips the stray bytes and the whole segment.
    const QByteArray fakeFrame("\xff\xc0\x00\x0b\x08\x00\x01\x00\x01\x01\x01\x11\x00", 13);
    const QByteArray segment = QByteArray("\xff\xe1\x00\x13", 4) + "Fake" + fakeFrame;
    return jpeg.first(2) + QByteArray("\xff\x00\x00\x0a", 4) + segment + jpeg.mid(2);
}

QByteArray gifOf(int side, const QList<int>& codes, int times)
{
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8) {
            data += char(bits & 0xff);
        }
    };
    for (int i = 0; i < times; ++i) {
        std::for_each(codes.cbegin(), codes.cend(), put);
    }
    put(5);
    data += char(bits & 0xff);
    QByteArray sides(4, '\0');
    sides[0] = sides[2] = char(side);
    QByteArray gif = "GIF89a" + sides +
                     QByteArray("\x81\0\0"
                                "\xff\0\0"
                                "\0\0\xff"
                                "\0\0\0"
                                "\0\0\0",
                                15) +
                     QByteArray(",\0\0\0\0", 5) + sides + QByteArray("\0\x02", 2);
    for (qsizetype at = 0; at < data.size(); at += 255) {
        gif += char(qMin<qsizetype>(255, data.size() - at)) + data.mid(at, 255);
    }
    return gif + QByteArray("\0;", 2);
}

QByteArray gifNamingBillions(qint64 size)
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
    for (int next = 6; data.size() < size - 64 * 1024;) {
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

QByteArray svgOfRects(qint64 size)
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'>";
    const QByteArray rect = "<rect x='1' y='1' width='8' height='8' fill='red' opacity='0.5'/>";
    svg += rect.repeated((size - svg.size() - 6) / rect.size());
    return svg + "</svg>";
}

} // namespace HostilePictures
