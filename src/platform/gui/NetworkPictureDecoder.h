#pragma once

#include <QByteArray>
#include <QImage>

class QThreadPool;

// Pictures that strangers send (commenters' profile pictures). Only PNG, JPEG and GIF are read, the format
// told by the first bytes and fixed for the reader; anything else is refused unread. Before decoding, the
// bytes must not be able to make the decoder work far beyond the size they declare: a PNG is handed over
// with its picture's chunks alone (text and profiles are never inflated) and is refused when its data
// inflates to more than its header declares, a JPEG of more than MaximumJpegScans scans is refused, and
// so is a GIF whose first frame's codes name more pixels than the frame holds.
class NetworkPictureDecoder
{
public:
    // What QImageReader may allocate for one picture, in the whole process: a picture at the pixel cap
    // below with 16 bits a channel.
    static constexpr int AllocationLimitMegabytes = 32;
    // Encoders write about ten; each scan walks the whole picture again.
    static constexpr int MaximumJpegScans = 100;

    // Sets the allocation limit; at start, before any picture is read.
    static void limitAllocations();
    // The pool pictures are decoded on: one thread of its own, so that no picture holds up the store's
    // queue or other work of the global pool.
    static QThreadPool& pool();
    // Pictures of at most SmallPixels, which decode in moments, go on a thread of their own: a crowd of
    // large ones on the other never holds them up.
    static constexpr qint64 SmallPixels = 256 * 256;
    static QThreadPool& smallPicturePool();

    // The pixels the picture's header declares to the reader that decodes it, read without decoding anything:
    // what decoding it will cost. 0 for bytes refused at once.
    static qint64 declaredPixels(const QByteArray& bytes);

    // The picture, scaled down to maximumSide; a null image when the bytes hold none, one of another
    // format, one of more than maximumPixels or one refused above. Any thread.
    static QImage decode(const QByteArray& bytes, qint64 maximumPixels, int maximumSide);
    // The same, unless decoding would walk more than budgetPixels pixels: then a null image and how many it
    // would walk, found before any pixel is decoded.
    struct Outcome
    {
        QImage image;
        qint64 largerPixels = 0;
    };
    static Outcome decodeWithin(const QByteArray& bytes, qint64 maximumPixels, int maximumSide,
                                qint64 budgetPixels);
};
