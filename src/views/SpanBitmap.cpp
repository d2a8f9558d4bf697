#include "views/SpanBitmap.h"

#include "platform/PremultipliedPixels.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zandrel {

namespace {

// What a run leaves of a pixel: a transparent one (whatever else it holds) leaves it as it was.
Q_ALWAYS_INLINE quint32 layPixel(quint32 over, quint32 under)
{
    return (over >> 24) ? blendPixel(over, under) : under;
}

#if defined(__SSE2__)
Q_ALWAYS_INLINE __m128i load(const quint32* pixels)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
}

Q_ALWAYS_INLINE void store(quint32* pixels, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), value);
}

// byteMultiply's sums stay below 2^16, so each channel can take a 16-bit lane of its own; the
// pixels are then added as 32-bit numbers, as one at a time.
Q_ALWAYS_INLINE __m128i blendFour(__m128i over, __m128i under)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(0x80);
    __m128i inverse = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(over, 24));
    inverse = _mm_or_si128(inverse, _mm_slli_epi32(inverse, 16));
    const auto scaled = [&](__m128i channels, __m128i by) {
        const __m128i t = _mm_mullo_epi16(channels, by);
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
    };
    const __m128i low = scaled(_mm_unpacklo_epi8(under, zero), _mm_unpacklo_epi32(inverse, inverse));
    const __m128i high = scaled(_mm_unpackhi_epi8(under, zero), _mm_unpackhi_epi32(inverse, inverse));
    return _mm_add_epi32(over, _mm_packus_epi16(low, high));
}

Q_ALWAYS_INLINE __m128i layFour(__m128i over, __m128i under)
{
    const __m128i transparent = _mm_cmpeq_epi32(_mm_srli_epi32(over, 24), _mm_setzero_si128());
    return _mm_or_si128(
        _mm_and_si128(transparent, under), _mm_andnot_si128(transparent, blendFour(over, under)));
}
#endif

// Lays the runs of a row of a bitmap (its pixels at over) over the pixels at under into out, within
// the columns from left to right (past the last); all are indexed by the bitmap's x plus the shift.
// Laying a pixel over is right whatever the bitmap holds there, so four at a time may reach past a
// run, up to the right; no pixel is laid twice, for out may be under. Where a run is opaque its
// pixels are copied.
template <typename Span>
Q_ALWAYS_INLINE void layRuns(quint32* out, const quint32* over, const quint32* under, const Span* span,
    const Span* last, int shift, int left, int right)
{
    int done = left;
    for (; span != last; ++span) {
        const int spanLeft = span->left + shift;
        if (spanLeft >= right)
            break;
        const int from = std::max(spanLeft, done);
        const int to = std::min(span->right + shift, right);
        if (from >= to)
            continue;
        int x = from;
#if defined(__SSE2__)
        if (span->opaque && to - from >= 4) {
            // A long run is worth memcpy's call and wider moves; a short one is copied in blocks,
            // the last ending where the run ends.
            if (to - from >= 16) {
                std::memcpy(out + from, over + from, std::size_t(to - from) * sizeof(quint32));
            } else {
                for (; x + 4 < to; x += 4)
                    store(out + x, load(over + x));
                store(out + to - 4, load(over + to - 4));
            }
            done = to;
            continue;
        }
        for (; x < to && x + 4 <= right; x += 4)
            store(out + x, layFour(load(over + x), load(under + x)));
#endif
        for (; x < to; ++x)
            out[x] = layPixel(over[x], under[x]);
        done = x;
    }
}

bool isWhole(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

} // namespace

SpanBitmap::SpanBitmap(const QImage& image)
    : m_image(image.format() == QImage::Format_ARGB32_Premultiplied
            ? image
            : image.convertToFormat(QImage::Format_ARGB32_Premultiplied))
{
    refreshRows(0, m_image.height() - 1);
}

void SpanBitmap::layRun(quint32* out, const quint32* over, const quint32* under, int count)
{
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4)
        store(out + i, layFour(load(over + i), load(under + i)));
#endif
    for (; i < count; ++i)
        out[i] = layPixel(over[i], under[i]);
}

void SpanBitmap::layRunOneByOne(quint32* out, const quint32* over, const quint32* under, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = layPixel(over[i], under[i]);
}

void SpanBitmap::refreshRows(int top, int bottom)
{
    const int height = m_image.height();
    if (m_rowStart.size() != std::size_t(height) + 1) {
        m_spans.clear();
        m_rowStart.assign(std::size_t(height) + 1, 0);
        m_rowInk.assign(std::size_t(height), Extent());
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, height - 1);
    if (top > bottom)
        return;
    const int width = m_image.width();
    std::vector<Span> fresh;
    std::vector<quint32> counts;
    counts.reserve(std::size_t(bottom - top + 1));
    for (int y = top; y <= bottom; ++y) {
        const std::size_t before = fresh.size();
        const auto* line = reinterpret_cast<const quint32*>(m_image.constScanLine(y));
        int x = 0;
        while (x < width) {
            const quint32 alpha = line[x] >> 24;
            int end = x + 1;
            if (alpha == 0) {
                while (end < width && !(line[end] >> 24))
                    ++end;
            } else if (alpha == 0xff) {
                while (end < width && (line[end] >> 24) == 0xff)
                    ++end;
                fresh.push_back({ x, end, true });
            } else {
                while (end < width && (line[end] >> 24) != 0 && (line[end] >> 24) != 0xff)
                    ++end;
                fresh.push_back({ x, end, false });
            }
            x = end;
        }
        counts.push_back(quint32(fresh.size() - before));
        m_rowInk[std::size_t(y)]
            = fresh.size() == before ? Extent() : Extent { fresh[before].left, fresh.back().right };
    }
    // The rows' runs take the place of those they had; the starts of the rows below move by the
    // difference.
    const auto first = m_spans.begin() + m_rowStart[std::size_t(top)];
    const auto last = m_spans.begin() + m_rowStart[std::size_t(bottom) + 1];
    const qint64 shift = qint64(fresh.size()) - qint64(last - first);
    const auto at = m_spans.erase(first, last);
    m_spans.insert(at, fresh.begin(), fresh.end());
    quint32 start = m_rowStart[std::size_t(top)];
    for (int y = top; y <= bottom; ++y) {
        start += counts[std::size_t(y - top)];
        m_rowStart[std::size_t(y) + 1] = start;
    }
    for (std::size_t y = std::size_t(bottom) + 2; y < m_rowStart.size(); ++y)
        m_rowStart[y] = quint32(qint64(m_rowStart[y]) + shift);
}

qint64 SpanBitmap::sizeInBytes() const
{
    return m_image.sizeInBytes() + qint64(m_spans.capacity() * sizeof(Span))
        + qint64(m_rowStart.capacity() * sizeof(quint32)) + qint64(m_rowInk.capacity() * sizeof(Extent));
}

void SpanBitmap::drawOver(uchar* destination, qsizetype bytesPerLine, const QRect& source) const
{
    const QRect area = source & m_image.rect();
    const uchar* const bits = m_image.constBits();
    const qsizetype inLine = m_image.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* out = reinterpret_cast<quint32*>(destination + qsizetype(y - source.top()) * bytesPerLine)
            - source.left();
        drawRowOver(out, reinterpret_cast<const quint32*>(bits + qsizetype(y) * inLine), y, area.left(),
            area.right() + 1);
    }
}

void SpanBitmap::drawRowOver(quint32* out, const quint32* in, int y, int left, int right) const
{
    const Extent ink = m_rowInk[std::size_t(y)];
    if (ink.left >= right || ink.right <= left)
        return;
    layRuns(out, in, out, rowBegin(y), rowEnd(y), 0, left, right);
}

void SpanBitmap::copyPixels(
    const QImage& from, const QRect& source, uchar* destination, qsizetype bytesPerLine)
{
    const QRect area = source & from.rect();
    if (area.isEmpty() || from.depth() != 32)
        return;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        std::memcpy(destination + qsizetype(y - source.top()) * bytesPerLine
                + qsizetype(area.left() - source.left()) * 4,
            from.constScanLine(y) + qsizetype(area.left()) * 4, std::size_t(area.width()) * 4);
    }
}

void SpanBitmap::drawOverCopyOf(const QImage& under, const QRect& source, const QPoint& origin,
    const QRect& clip, uchar* destination, qsizetype bytesPerLine, const SpanBitmap* above) const
{
    const QRect area = source & under.rect();
    if (area.isEmpty() || under.depth() != 32)
        return;
    // Where this bitmap may show, in the other's pixels.
    const QRect shown = clip & m_image.rect().translated(origin) & area;
    const uchar* const underBits = under.constBits();
    const qsizetype underLine = under.bytesPerLine();
    const uchar* const overBits = m_image.constBits();
    const qsizetype overLine = m_image.bytesPerLine();
    const uchar* const aboveBits = above ? above->m_image.constBits() : nullptr;
    const qsizetype aboveLine = above ? above->m_image.bytesPerLine() : 0;
    const int left = area.left();
    const int end = area.right() + 1;
    const std::size_t width = std::size_t(end - left) * sizeof(quint32);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* out = reinterpret_cast<quint32*>(destination + qsizetype(y - source.top()) * bytesPerLine)
            - source.left();
        const auto* below = reinterpret_cast<const quint32*>(underBits + qsizetype(y) * underLine);
        // The whole row is copied, then this bitmap's row laid over what it has: one copy of the
        // same length a row costs less than one a gap between runs.
        std::memcpy(out + left, below + left, width);
        if (y >= shown.top() && y <= shown.bottom()) {
            const int row = y - origin.y();
            // This bitmap's row, indexed by the other's x.
            const auto* over
                = reinterpret_cast<const quint32*>(overBits + qsizetype(row) * overLine) - origin.x();
            layRuns(
                out, over, below, rowBegin(row), rowEnd(row), origin.x(), shown.left(), shown.right() + 1);
        }
        if (above)
            above->drawRowOver(
                out, reinterpret_cast<const quint32*>(aboveBits + qsizetype(y) * aboveLine), y, left, end);
    }
}

namespace {

// A bitmap a painter could paint straight into: premultiplied 32-bit, not shared.
QImage* writableImage(QPaintDevice* device)
{
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    // A shared bitmap would be copied by the first write, away from the painter's.
    if ((image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied)
        || !image->isDetached())
        return nullptr;
    return image;
}

} // namespace

bool SpanBitmap::directTarget(
    QPaintDevice* device, const QPoint& redirection, const QRegion& region, Target& target)
{
    QImage* image = writableImage(device);
    if (!image)
        return false;
    QPaintEngine* engine = image->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || engine->isActive())
        return false;
    // Qt clips the device to the region it asked to be painted: the widget lies at minus the
    // redirection in it, in logical pixels, and the clip is in device pixels. Any other clip (none,
    // or another place, or edges between device pixels) is not one this can trust.
    const qreal ratio = image->devicePixelRatio();
    const QPointF origin = -QPointF(redirection) * ratio;
    if (!isWhole(origin.x()) || !isWhole(origin.y()))
        return false;
    const QPoint offset(int(std::round(origin.x())), int(std::round(origin.y())));
    const QRect bounds = region.boundingRect();
    const QRegion system = engine->systemClip();
    if (system.isEmpty()
        || system.boundingRect()
            != QRectF(QPointF(bounds.topLeft()) * ratio + origin, QSizeF(bounds.size()) * ratio)
                   .toAlignedRect())
        return false;
    target.image = image;
    target.offset = offset;
    if (image->rect().contains(system.boundingRect()))
        target.writable = system;
    else
        target.writable = system & image->rect();
    return true;
}

bool SpanBitmap::directTarget(QPainter& painter, qreal devicePixelRatio, Target& target)
{
    QPaintEngine* engine = painter.paintEngine();
    QImage* image = writableImage(engine ? engine->paintDevice() : nullptr);
    if (!image || engine->type() != QPaintEngine::Raster)
        return false;
    if (painter.hasClipping() || painter.compositionMode() != QPainter::CompositionMode_SourceOver
        || painter.opacity() != 1.0 || !painter.worldTransform().isIdentity())
        return false;
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxScale || toDevice.m11() != devicePixelRatio
        || toDevice.m22() != devicePixelRatio || !isWhole(toDevice.dx()) || !isWhole(toDevice.dy()))
        return false;
    target.image = image;
    target.offset = QPoint(int(std::round(toDevice.dx())), int(std::round(toDevice.dy())));
    const QRegion system = engine->systemClip();
    // Qt's clip lies within the bitmap as a rule: then it is taken as it is, shared, not copied.
    if (system.isEmpty())
        target.writable = QRegion(image->rect());
    else if (image->rect().contains(system.boundingRect()))
        target.writable = system;
    else
        target.writable = system & image->rect();
    return true;
}

} // namespace zandrel
