#include "NetworkPictureDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QThreadPool>
#include <QtEndian>

#include <zlib.h>

#include <array>
#include <optional>

namespace {

enum class Format
{
    Other,
    Png,
    Jpeg,
    Gif
};

Format formatOf(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        return Format::Png;
    }
    if (bytes.startsWith("\xff\xd8\xff")) {
        return Format::Jpeg;
    }
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) {
        return Format::Gif;
    }
    return Format::Other;
}

// ---- PNG ----

// The bytes of filtered rows a PNG with this header holds; 0 for a header no PNG has.
qint64 pngDataSize(qint64 width, qint64 height, int depth, int colourType, int interlace)
{
    int channels = 0;
    bool depthFits = depth == 8 || depth == 16;
    switch (colourType) {
    case 0:
        channels = 1;
        depthFits = depthFits || depth == 1 || depth == 2 || depth == 4;
        break;
    case 3:
        channels = 1;
        depthFits = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
    case 2:
        channels = 3;
        break;
    case 4:
        channels = 2;
        break;
    case 6:
        channels = 4;
        break;
    default:
        return 0;
    }
    if (!depthFits || width <= 0 || height <= 0 || interlace > 1) {
        return 0;
    }
    const qint64 bits = qint64(channels) * depth;
    const auto rows = [bits](qint64 w, qint64 h) {
        return w > 0 && h > 0 ? h * (1 + (w * bits + 7) / 8) : 0;
    };
    if (interlace == 0) {
        return rows(width, height);
    }
    // Adam7: first column, first row, column step and row step of the seven passes.
    static constexpr std::array<std::array<int, 4>, 7> passes{
        {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};
    qint64 total = 0;
    for (const auto& [column, row, columnStep, rowStep] : passes) {
        total += rows((width - column + columnStep - 1) / columnStep, (height - row + rowStep - 1) / rowStep);
    }
    return total;
}

// Inflates a PNG's data as it comes, only to count it.
class PngDataCounter
{
public:
    explicit PngDataCounter(qint64 limit) : m_limit(limit) { m_ok = inflateInit(&m_stream) == Z_OK; }
    ~PngDataCounter() { inflateEnd(&m_stream); }
    PngDataCounter(const PngDataCounter&) = delete;
    PngDataCounter& operator=(const PngDataCounter&) = delete;

    // False once the data is no zlib stream or inflates to more than the limit.
    bool add(QByteArrayView data)
    {
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        m_stream.avail_in = uInt(data.size());
        while (m_ok && !m_ended && m_stream.avail_in > 0) {
            m_stream.next_out = m_scratch.data();
            m_stream.avail_out = uInt(m_scratch.size());
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            m_inflated += qint64(m_scratch.size() - m_stream.avail_out);
            m_ended = status == Z_STREAM_END;
            m_ok = (status == Z_OK || m_ended) && m_inflated <= m_limit;
        }
        return m_ok;
    }

private:
    z_stream m_stream{};
    std::array<Bytef, 64 * 1024> m_scratch{};
    qint64 m_limit;
    qint64 m_inflated = 0;
    bool m_ok = false;
    bool m_ended = false;
};

// The PNG with the chunks of its picture alone (header, palette, transparency, data, end), or nothing when
// it is cut short, has more pixels than maximumPixels, or its data inflates to more than its header
// declares: libpng inflates whatever data follows the last row, and every text chunk whole.
std::optional<QByteArray> pngPicture(const QByteArray& bytes, qint64 maximumPixels)
{
    constexpr qsizetype SignatureSize = 8;
    constexpr qsizetype HeaderSize = 13;
    QByteArray kept = bytes.first(SignatureSize);
    std::optional<PngDataCounter> data;
    for (qsizetype at = SignatureSize; bytes.size() - at >= 12;) {
        const char* chunk = bytes.constData() + at;
        const quint32 length = qFromBigEndian<quint32>(chunk);
        if (length > quint64(bytes.size() - at - 12)) {
            return std::nullopt;
        }
        const QByteArrayView type(chunk + 4, 4);
        const QByteArrayView body(chunk + 8, length);
        // The header comes first, and once.
        if ((type == "IHDR") == data.has_value()) {
            return std::nullopt;
        }
        if (type == "IHDR") {
            if (length != HeaderSize) {
                return std::nullopt;
            }
            const qint64 width = qFromBigEndian<quint32>(body.data());
            const qint64 height = qFromBigEndian<quint32>(body.data() + 4);
            if (width == 0 || height == 0 || width > maximumPixels / height) {
                return std::nullopt;
            }
            const qint64 size = pngDataSize(width, height, uchar(body[8]), uchar(body[9]), uchar(body[12]));
            if (size == 0) {
                return std::nullopt;
            }
            data.emplace(size);
        } else if (type == "IDAT") {
            if (!data->add(body)) {
                return std::nullopt;
            }
        } else if (type != "PLTE" && type != "tRNS" && type != "IEND") {
            // An unknown critical chunk (upper-case first letter) would change what the picture is.
            if (type[0] >= 'A' && type[0] <= 'Z') {
                return std::nullopt;
            }
            at += 12 + qsizetype(length);
            continue;
        }
        kept += QByteArrayView(chunk, 12 + qsizetype(length));
        if (type == "IEND") {
            return kept;
        }
        at += 12 + qsizetype(length);
    }
    return std::nullopt;
}

// ---- GIF ----

// Skips a run of data sub-blocks from at; false when the bytes end first.
bool skipSubBlocks(const QByteArray& bytes, qsizetype& at)
{
    while (at < bytes.size()) {
        const int size = uchar(bytes[at]);
        at += 1 + size;
        if (size == 0) {
            return true;
        }
    }
    return false;
}

// The pixels of the first frame of a GIF, when it fits maximumPixels and its codes name no more pixels than
// it holds: the decoder walks every pixel the codes name, inside the frame or not, and a few kilobytes of
// codes can name billions. The lengths of the code table's strings are followed, never the pixels.
std::optional<qint64> gifFramePixels(const QByteArray& bytes, qint64 maximumPixels)
{
    constexpr qsizetype ScreenEnd = 13;
    if (bytes.size() < ScreenEnd) {
        return std::nullopt;
    }
    const auto colourTableSize = [](int flags) { return flags & 0x80 ? 3 * (2 << (flags & 7)) : 0; };
    qsizetype at = ScreenEnd + colourTableSize(uchar(bytes[10]));
    while (at < bytes.size() && bytes[at] == '\x21') {
        at += 2;
        if (!skipSubBlocks(bytes, at)) {
            return std::nullopt;
        }
    }
    if (at + 11 > bytes.size() || bytes[at] != '\x2c') {
        return std::nullopt;
    }
    const auto word = [&bytes](qsizetype i) {
        return qint64(uchar(bytes[i])) | qint64(uchar(bytes[i + 1])) << 8;
    };
    const qint64 framePixels = word(at + 5) * word(at + 7);
    if (framePixels > maximumPixels) {
        return std::nullopt;
    }
    at += 10 + colourTableSize(uchar(bytes[at + 9]));
    if (at >= bytes.size()) {
        return std::nullopt;
    }
    const int minimumCodeSize = uchar(bytes[at++]);
    if (minimumCodeSize < 1 || minimumCodeSize > 8) {
        return std::nullopt;
    }
    constexpr int MaximumCodes = 4096;
    // An honest encoder names exactly the frame's pixels; one string of slack.
    const qint64 limit = framePixels + MaximumCodes;
    const int clear = 1 << minimumCodeSize;
    std::array<qint64, MaximumCodes> lengths;
    lengths.fill(1);
    int next = clear + 2;
    int width = minimumCodeSize + 1;
    int previous = -1;
    qint64 named = 0;
    quint32 bits = 0;
    int bitCount = 0;
    while (at < bytes.size()) {
        const int blockSize = uchar(bytes[at++]);
        if (blockSize == 0) {
            return framePixels;
        }
        for (const qsizetype end = qMin(bytes.size(), at + blockSize); at < end; ++at) {
            bits |= quint32(uchar(bytes[at])) << bitCount;
            bitCount += 8;
            while (bitCount >= width) {
                const int code = int(bits & ((1u << width) - 1));
                bits >>= width;
                bitCount -= width;
                if (code == clear) {
                    next = clear + 2;
                    width = minimumCodeSize + 1;
                    previous = -1;
                    continue;
                }
                if (code == clear + 1) {
                    return framePixels;
                }
                if (previous < 0) {
                    ++named;
                    previous = code;
                    continue;
                }
                // A code not yet in the table is read as the previous string and its first pixel.
                named += code < next ? lengths[code] : lengths[previous] + 1;
                if (named > limit) {
                    return std::nullopt;
                }
                if (next < MaximumCodes) {
                    lengths[next++] = lengths[previous] + 1;
                    if (next == 1 << width && width < 12) {
                        ++width;
                    }
                }
                previous = code;
            }
        }
    }
    return framePixels;
}

// ---- JPEG ----

class DecodingPool : public QThreadPool
{
public:
    DecodingPool() { setMaxThreadCount(1); }
};

} // namespace

void NetworkPictureDecoder::limitAllocations()
{
    QImageReader::setAllocationLimit(AllocationLimitMegabytes);
}

QThreadPool& NetworkPictureDecoder::pool()
{
    // Destroyed at exit, after the picture it is decoding.
    static DecodingPool pool;
    return pool;
}

QThreadPool& NetworkPictureDecoder::smallPicturePool()
{
    static DecodingPool pool;
    return pool;
}

qint64 NetworkPictureDecoder::declaredPixels(const QByteArray& bytes)
{
    QByteArray header = bytes;
    const char* format = nullptr;
    switch (formatOf(bytes)) {
    case Format::Png:
        // The reader reads every chunk before the data (texts, profiles): handed the header chunk alone, with
        // the start of an empty data chunk after it, it reads only that.
        header = bytes.first(qMin<qsizetype>(bytes.size(), 8 + 12 + 13)) + QByteArray("\0\0\0\0IDAT", 8);
        format = "png";
        break;
    case Format::Jpeg:
        format = "jpeg";
        break;
    case Format::Gif:
        format = "gif";
        break;
    case Format::Other:
        return 0;
    }
    QBuffer buffer(&header);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

QImage NetworkPictureDecoder::decode(const QByteArray& bytes, qint64 maximumPixels, int maximumSide)
{
    return decodeWithin(bytes, maximumPixels, maximumSide, maximumPixels).image;
}

NetworkPictureDecoder::Outcome NetworkPictureDecoder::decodeWithin(const QByteArray& bytes,
                                                                   qint64 maximumPixels, int maximumSide,
                                                                   qint64 budgetPixels)
{
    QByteArray picture;
    QByteArray format;
    qint64 framePixels = 0;
    switch (formatOf(bytes)) {
    case Format::Png: {
        std::optional<QByteArray> chunks = pngPicture(bytes, maximumPixels);
        if (!chunks) {
            return {};
        }
        picture = std::move(*chunks);
        format = "png";
        break;
    }
    case Format::Jpeg:
        // Inside a scan a 0xff byte is followed by 0 or a restart marker, so this counts every scan.
        if (bytes.count("\xff\xda") > MaximumJpegScans) {
            return {};
        }
        picture = bytes;
        format = "jpeg";
        break;
    case Format::Gif: {
        const std::optional<qint64> frame = gifFramePixels(bytes, maximumPixels);
        if (!frame) {
            return {};
        }
        // Its frame is walked whole, whatever size the picture has.
        framePixels = *frame;
        picture = bytes;
        format = "gif";
        break;
    }
    case Format::Other:
        return {};
    }
    QBuffer buffer(&picture);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    // Sized from the header, before any pixel is decoded: a few kilobytes can declare a picture of
    // gigabytes.
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maximumPixels) {
        return {};
    }
    const qint64 pixels = qMax(qint64(size.width()) * size.height(), framePixels);
    if (pixels > budgetPixels) {
        return {QImage(), pixels};
    }
    if (reader.supportsOption(QImageIOHandler::ScaledSize) &&
        (size.width() > maximumSide || size.height() > maximumSide)) {
        reader.setScaledSize(size.scaled(maximumSide, maximumSide, Qt::KeepAspectRatio));
    }
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > maximumSide || image.height() > maximumSide)) {
        image = image.scaled(maximumSide, maximumSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return {image, 0};
}
