#pragma once

#include <QImage>
#include <QRect>
#include <vector>

class QPainter;

namespace zandrel {

// A premultiplied bitmap kept with the runs of each row that are opaque and those that are partly
// transparent, so that laying it over other pixels copies its opaque runs, blends only the partly
// transparent ones and passes over the rest. A drawing with a filled body (a balloon, a part) is
// mostly opaque runs: laid over, it costs about a copy of what it covers.
class SpanBitmap {
public:
    SpanBitmap() = default;
    // Converted to premultiplied ARGB if it is not.
    explicit SpanBitmap(const QImage& image);

    bool isNull() const { return m_image.isNull(); }
    const QImage& image() const { return m_image; }
    // To draw into: the runs of the rows drawn must then be found again with refreshRows before it
    // is laid over (laid with old runs, pixels next to them may show).
    QImage& image() { return m_image; }
    void refreshRows(int top, int bottom);
    QRect rect() const { return m_image.rect(); }
    qint64 sizeInBytes() const;

    // Lays the part of the bitmap in the rect (its pixels) over the 32-bit premultiplied pixels whose
    // first row starts at the destination, a row every bytes per line.
    void drawOver(uchar* destination, qsizetype bytesPerLine, const QRect& source) const;

    // Copies the rect of a 32-bit bitmap into such pixels.
    static void copyPixels(
        const QImage& from, const QRect& source, uchar* destination, qsizetype bytesPerLine);
    // Writes the rect of an opaque 32-bit bitmap (its pixels) into such pixels with this bitmap laid
    // over it within the clip (the same pixels), its top left at the origin: one pass, in which
    // what this bitmap covers opaquely is never copied from the other.
    // With a bitmap above (the other's size: the caller makes sure), each row is then laid under it
    // while still at hand.
    void drawOverCopyOf(const QImage& under, const QRect& source, const QPoint& origin, const QRect& clip,
        uchar* destination, qsizetype bytesPerLine, const SpanBitmap* above = nullptr) const;

    // The 32-bit premultiplied pixels a painter on a bitmap paints into, when it paints straight
    // into them: no transform of its own but whole device pixels at the ratio, no clip of its own,
    // source-over and opaque. The offset is where the painter's logical origin lies in them, and
    // writable the part Qt lets it paint (its engine's own clip).
    struct Target {
        QImage* image = nullptr;
        QPoint offset;
        QRegion writable;
    };
    static bool directTarget(QPainter& painter, qreal devicePixelRatio, Target& target);
    // The same for a widget's paint event before any painter begins, from where Qt redirects the
    // widget's painting (QWidget::redirected): a bitmap of the raster engine it paints into at the
    // offset, with the engine's clip set to the event's region. For any other device (grab(),
    // printing, a painter shared by render()), false, and a painter finds them.
    static bool directTarget(
        QPaintDevice* device, const QPoint& redirection, const QRegion& region, Target& target);

    // Writes each of count premultiplied pixels laid over the one under it as the runs lay it: a
    // transparent one leaves it, others blend with it rounded as the raster engine rounds (out may be
    // under). Four at a time where the processor has 128-bit integer vectors; the one at a time
    // version gives the same pixels, for any 32-bit values.
    static void layRun(quint32* out, const quint32* over, const quint32* under, int count);
    static void layRunOneByOne(quint32* out, const quint32* over, const quint32* under, int count);

private:
    struct Span {
        int left;
        int right; // past the last pixel
        bool opaque;
    };
    const Span* rowBegin(int y) const { return m_spans.data() + m_rowStart[std::size_t(y)]; }
    const Span* rowEnd(int y) const { return m_spans.data() + m_rowStart[std::size_t(y) + 1]; }
    // Lays the columns from left to right (past the last) of row y (its pixels at in) over the
    // pixels, both indexed as this bitmap's.
    void drawRowOver(quint32* out, const quint32* in, int y, int left, int right) const;

    QImage m_image;
    // The runs of all rows one after the other, those of row y from entry y of the starts to the
    // next: laid over, the runs of neighbouring rows are at hand together.
    std::vector<Span> m_spans;
    std::vector<quint32> m_rowStart;
    // From the first pixel of each row's first run to past the last of its last; none, empty.
    struct Extent {
        int left = 0;
        int right = 0;
    };
    std::vector<Extent> m_rowInk;
};

} // namespace zandrel
