#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>

// Pictures a stranger could serve as a profile picture, for the tests and the benchmark of the picture
// decoder: plain ones, and ones built to cost far more than they declare.
namespace HostilePictures {

QByteArray bigEndian(quint32 value);
QByteArray pngChunk(const QByteArray& type, const QByteArray& data);

// The image in a file of that format.
QByteArray saved(const QImage& image, const char* format, bool progressive = false);
// A side x side picture of one colour in a file of that format.
QByteArray plain(const QColor& color, int side, const char* format = "PNG", bool progressive = false,
                 QImage::Format pixels = QImage::Format_ARGB32);
// Every colour, so that nothing compresses away.
QImage gradient(int side);

// A zlib stream of that many megabytes of zero bytes, made without holding them.
QByteArray deflatedZeros(int megabytes);
QByteArray gzipped(const QByteArray& bytes);

// A grey PNG whose header declares side x side and whose data is the zlib stream given.
QByteArray pngHolding(int side, const QByteArray& data);
// A compressed text chunk that inflates to that many bytes.
QByteArray textChunk(int inflatedBytes);
// The PNG with the chunks given right after its header.
QByteArray withChunksAfterHeader(const QByteArray& png, const QByteArray& chunks);
// A 2048 x 2048 PNG of 16-bit colour and alpha, interlaced, padded to size bytes with a chunk of its own:
// within every bound, and a fifth of a second to decode.
QByteArray slowPng(qint64 size);

// An icon file whose one entry declares 256 x 256 and holds the PNG given.
QByteArray iconOf(const QByteArray& png);
// The progressive JPEG with its last scan repeated that many times: each walks the whole picture again.
QByteArray jpegRepeatingLastScan(const QByteArray& jpeg, int times);
// The JPEG with stray bytes and a segment before its own: a walk of the segments finds a frame of 1 x 1 in
// that segment, which the decoder skips.
QByteArray jpegDeclaringOnePixel(const QByteArray& jpeg);
// A side x side GIF (red and blue) whose frame holds the three-bit codes given, times over, and the end
// code. Each run starts with a clear code (4), which keeps every code at three bits.
QByteArray gifOf(int side, const QList<int>& codes, int times);
// A 2 x 2 GIF whose codes each name one pixel more than the last, to size bytes.
QByteArray gifNamingBillions(qint64 size);
// An SVG of size bytes of half-transparent rectangles.
QByteArray svgOfRects(qint64 size);

} // namespace HostilePictures
