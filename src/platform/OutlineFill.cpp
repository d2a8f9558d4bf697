#include "platform/OutlineFill.h"

#include "platform/DeviceOutlines.h"
#include "platform/PremultipliedPixels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zandrel {

namespace {

// Rows filled together: their running sums fit the caches however wide the image.
constexpr int kStripRows = 32;
// Columns per bit of a row's mask of the columns edges touched; between them a row's coverage
// stays what it was, and a run of them is filled in one go.
constexpr int kBlockShift = 4;
constexpr int kBlock = 1 << kBlockShift;

struct Segment {
    double x0, y0, x1, y1; // y0 < y1
    float direction; // +1 downwards in the outline, -1 upwards
};

// What a thread keeps between fills, so that filling allocates nothing once warm. The running
// sums are left all zero after each fill.
struct Scratch {
    std::vector<float> sums;
    std::vector<std::uint64_t> masks;
    std::vector<int> firstBlock;
    std::vector<int> lastBlock;
    std::vector<Segment> segments;
    std::vector<int> stripChanges;
    std::vector<int> stripStarts;
    std::vector<int> stripSegments;
};

thread_local Scratch t_scratch;

inline void fillRun(QRgb* destination, int count, QRgb color, int coverage)
{
    if (coverage <= 0 || count <= 0)
        return;
    if (count == 1) {
        *destination = blendPixel(
            coverage >= 255 ? color : byteMultiply(color, std::uint32_t(coverage)), *destination);
        return;
    }
    if (coverage >= 255 && qAlpha(color) == 255) {
        std::fill_n(destination, count, color);
        return;
    }
    const QRgb source = coverage >= 255 ? color : byteMultiply(color, std::uint32_t(coverage));
    const std::uint32_t keep = 255 - qAlpha(source);
    for (int i = 0; i < count; ++i)
        destination[i] = source + byteMultiply(destination[i], keep);
}

// The part of a pixel an accumulated winding covers: nonzero counts any winding whole, even-odd
// alternates.
inline float coverageOf(float winding, bool evenOdd)
{
    float a = std::abs(winding);
    if (!evenOdd)
        return a < 1.0f ? a : 1.0f;
    a -= 2.0f * std::floor(a * 0.5f);
    return a > 1.0f ? 2.0f - a : a;
}

// A bit for each of a block's columns whose sum is not zero.
inline unsigned changedColumns(const float* sums)
{
#ifdef __SSE2__
    static_assert(kBlock == 16);
    const __m128 zero = _mm_setzero_ps();
    return unsigned(_mm_movemask_ps(_mm_cmpneq_ps(_mm_loadu_ps(sums), zero)))
        | unsigned(_mm_movemask_ps(_mm_cmpneq_ps(_mm_loadu_ps(sums + 4), zero))) << 4
        | unsigned(_mm_movemask_ps(_mm_cmpneq_ps(_mm_loadu_ps(sums + 8), zero))) << 8
        | unsigned(_mm_movemask_ps(_mm_cmpneq_ps(_mm_loadu_ps(sums + 12), zero))) << 12;
#else
    unsigned changed = 0;
    for (int x = 0; x < kBlock; ++x)
        changed |= unsigned(sums[x] != 0.0f) << x;
    return changed;
#endif
}

inline int alphaOf(float coverage)
{
    return int(coverage * 255.0f + 0.5f);
}

class StripFiller {
public:
    StripFiller(Scratch& scratch, int width, int stride)
        : m_scratch(scratch)
        , m_width(width)
        , m_stride(stride)
        , m_words((stride / kBlock + 63) / 64)
    {
        const size_t sums = size_t(stride) * kStripRows;
        if (scratch.sums.size() < sums)
            scratch.sums.resize(sums, 0.0f);
        const size_t masks = size_t(m_words) * kStripRows;
        if (scratch.masks.size() < masks)
            scratch.masks.resize(masks, 0);
        scratch.firstBlock.assign(kStripRows, INT32_MAX);
        scratch.lastBlock.assign(kStripRows, -1);
    }

    // Adds the signed area the segment leaves to the right of it in each row of the strip
    // (rows top to top + kStripRows, those of the strip under fill only). Each row's share is
    // worked out from the segment alone, never carried from the row before, so that a row gets
    // the same sums whichever strip or band it is filled in.
    void accumulate(const Segment& segment, int stripTop, int stripBottom, double left)
    {
        const double slope = (segment.x1 - segment.x0) / (segment.y1 - segment.y0);
        if (!std::isfinite(slope))
            return; // all but level: it covers no height worth a thing
        const int first = int(std::floor(std::max(segment.y0, double(stripTop))));
        const int last = int(std::ceil(std::min(segment.y1, double(stripBottom))));
        for (int row = first; row < last; ++row) {
            const double top = std::max(segment.y0, double(row));
            const double bottom = std::min(segment.y1, double(row) + 1.0);
            if (!(bottom > top))
                continue;
            const double xTop = segment.x0 + (top - segment.y0) * slope - left;
            const double xBottom = segment.x0 + (bottom - segment.y0) * slope - left;
            addClipped(row - stripTop, xTop, xBottom, (bottom - top) * segment.direction);
        }
    }

    // Fills the strip's rows into the image and leaves the sums zero again.
    void fill(uchar* bits, qsizetype bytesPerLine, int stripTop, int rows, int left, const QRectF& clip,
        QRgb color, bool evenOdd)
    {
        const double leftPart = std::min(double(left) + 1.0, clip.right()) - clip.left();
        const double rightPart = clip.right() - std::max(double(left + m_width - 1), clip.left());
        for (int r = 0; r < rows; ++r) {
            const int firstBlock = m_scratch.firstBlock[size_t(r)];
            const int lastBlock = m_scratch.lastBlock[size_t(r)];
            if (lastBlock < 0)
                continue;
            m_scratch.firstBlock[size_t(r)] = INT32_MAX;
            m_scratch.lastBlock[size_t(r)] = -1;
            const int y = stripTop + r;
            const double rowPart = std::min(double(y) + 1.0, clip.bottom()) - std::max(double(y), clip.top());
            const float rowScale = float(std::clamp(rowPart, 0.0, 1.0));
            float* sums = m_scratch.sums.data() + size_t(r) * size_t(m_stride);
            std::uint64_t* mask = m_scratch.masks.data() + size_t(r) * size_t(m_words);
            QRgb* line = reinterpret_cast<QRgb*>(bits + qsizetype(y) * bytesPerLine) + left;
            // Partly clipped columns at either end take their share of the colour.
            const auto scaleAt = [&](int x) {
                float scale = rowScale;
                if (x == 0)
                    scale *= float(std::clamp(leftPart, 0.0, 1.0));
                if (x == m_width - 1)
                    scale *= float(std::clamp(rightPart, 0.0, 1.0));
                return scale;
            };
            // Between the columns whose sums an edge changed, the coverage stays as it is: the
            // row is filled in runs, each ending where the next change is.
            float winding = 0.0f;
            int runFrom = firstBlock * kBlock;
            const auto flush = [&](int from, int to) {
                to = std::min(to, m_width);
                const float coverage = coverageOf(winding, evenOdd);
                if (!(coverage > 0.0f) || from >= to)
                    return;
                if (from == 0) {
                    fillRun(line, 1, color, alphaOf(coverage * scaleAt(0)));
                    ++from;
                }
                if (to == m_width && from < to) {
                    --to;
                    fillRun(line + to, 1, color, alphaOf(coverage * scaleAt(to)));
                }
                fillRun(line + from, to - from, color, alphaOf(coverage * rowScale));
            };
            for (int word = firstBlock >> 6; word <= lastBlock >> 6; ++word) {
                std::uint64_t bitsLeft = mask[word];
                mask[word] = 0;
                while (bitsLeft) {
                    const int block = word * 64 + __builtin_ctzll(bitsLeft);
                    bitsLeft &= bitsLeft - 1;
                    float* blockSums = sums + block * kBlock;
                    for (unsigned changed = changedColumns(blockSums); changed; changed &= changed - 1) {
                        const int x = block * kBlock + __builtin_ctz(changed);
                        flush(runFrom, x);
                        winding += sums[x];
                        sums[x] = 0.0f;
                        runFrom = x;
                    }
                }
            }
            flush(runFrom, (lastBlock + 1) * kBlock);
        }
    }

private:
    // A piece of a segment within one row, cut where it leaves the columns: what lies left of
    // them covers every column from the first, as an edge along the first column's left side
    // would; what lies right of them covers none (it is kept just past the last column, so that
    // a row's coverage runs up to there).
    void addClipped(int row, double xTop, double xBottom, double height)
    {
        const double width = m_width;
        if (xTop >= 0 && xTop <= width && xBottom >= 0 && xBottom <= width) {
            addLine(row, xTop, xBottom, height);
            return;
        }
        double cuts[4] = { 0.0, 1.0, 1.0, 1.0 };
        int count = 1;
        for (const double edge : { 0.0, width }) {
            if ((xTop < edge) != (xBottom < edge))
                cuts[count++] = (edge - xTop) / (xBottom - xTop);
        }
        cuts[count++] = 1.0;
        std::sort(cuts, cuts + count);
        for (int i = 0; i + 1 < count; ++i) {
            if (!(cuts[i + 1] > cuts[i]))
                continue;
            const double from = std::clamp(xTop + (xBottom - xTop) * cuts[i], 0.0, width);
            const double to = std::clamp(xTop + (xBottom - xTop) * cuts[i + 1], 0.0, width);
            addLine(row, from, to, height * (cuts[i + 1] - cuts[i]));
        }
    }

    void mark(int row, int from, int to)
    {
        const int firstBlock = from >> kBlockShift;
        const int lastBlock = to >> kBlockShift;
        std::uint64_t* mask = m_scratch.masks.data() + size_t(row) * size_t(m_words);
        for (int block = firstBlock; block <= lastBlock; ++block)
            mask[block >> 6] |= std::uint64_t(1) << (block & 63);
        int& first = m_scratch.firstBlock[size_t(row)];
        int& last = m_scratch.lastBlock[size_t(row)];
        first = std::min(first, firstBlock);
        last = std::max(last, lastBlock);
    }

    // The exact area right of the line from (xa, top of the row) to (xb, bottom), times its
    // height and direction, spread over the pixels it crosses as increments of a running sum.
    void addLine(int row, double xa, double xb, double height)
    {
        float* sums = m_scratch.sums.data() + size_t(row) * size_t(m_stride);
        const double l = std::min(xa, xb);
        const double r = std::max(xa, xb);
        const int li = int(l);
        if (r <= double(li) + 1.0) {
            const double middle = 0.5 * (l + r) - li;
            sums[li] += float(height * (1.0 - middle));
            sums[li + 1] += float(height * middle);
            mark(row, li, li + 1);
            return;
        }
        const double s = 1.0 / (r - l);
        const double lf = l - li;
        const double a0 = 0.5 * s * (1.0 - lf) * (1.0 - lf);
        const int ri = int(std::ceil(r));
        const double rf = r - ri + 1.0;
        const double am = 0.5 * s * rf * rf;
        sums[li] += float(height * a0);
        if (ri == li + 2) {
            sums[li + 1] += float(height * (1.0 - a0 - am));
        } else {
            const double a1 = s * (1.5 - lf);
            sums[li + 1] += float(height * (a1 - a0));
            for (int x = li + 2; x < ri - 1; ++x)
                sums[x] += float(height * s);
            const double a2 = a1 + (ri - li - 3) * s;
            sums[ri - 1] += float(height * (1.0 - a2 - am));
        }
        sums[ri] += float(height * am);
        mark(row, li, ri);
    }

    Scratch& m_scratch;
    int m_width;
    int m_stride;
    int m_words;
};

} // namespace

bool fillOutline(QImage& image, const QRectF& clipRect, const DeviceOutline& outline, QRgb color)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QRectF clip = clipRect.intersected(QRectF(image.rect()));
    if (qAlpha(color) == 0 || outline.points.empty() || !(clip.width() > 0) || !(clip.height() > 0))
        return true;
    double outlineTop = clip.bottom();
    double outlineBottom = clip.top();
    for (const auto& [lowest, highest] : outline.contourRows) {
        outlineTop = std::min(outlineTop, lowest);
        outlineBottom = std::max(outlineBottom, highest);
    }
    const int left = int(std::floor(clip.left()));
    const int width = int(std::ceil(clip.right())) - left;
    // The outline may reach far beyond the image: its extent counts only within the clip.
    const int top = int(std::floor(std::max(clip.top(), outlineTop)));
    const int bottom = int(std::ceil(std::min(clip.bottom(), outlineBottom)));
    if (top >= bottom || width <= 0)
        return true;

    Scratch& scratch = t_scratch;
    // The segments that reach the rows, each once.
    std::vector<Segment>& segments = scratch.segments;
    segments.clear();
    const std::vector<QPointF>& points = outline.points;
    const auto add = [&](const QPointF& a, const QPointF& b) {
        if (a.y() == b.y())
            return;
        const bool down = a.y() < b.y();
        const QPointF& upper = down ? a : b;
        const QPointF& lower = down ? b : a;
        if (lower.y() <= top || upper.y() >= bottom)
            return;
        segments.push_back(Segment { upper.x(), upper.y(), lower.x(), lower.y(), down ? 1.0f : -1.0f });
    };
    int start = 0;
    for (size_t contour = 0; contour < outline.contourEnds.size(); ++contour) {
        const int end = outline.contourEnds[contour];
        const auto& [contourTop, contourBottom] = outline.contourRows[contour];
        if (contourBottom <= top || contourTop >= bottom) {
            start = end;
            continue;
        }
        for (int i = start; i < end; ++i) {
            // A run of points wholly above or below the rows: only its last segment, which
            // leaves the run, can reach them.
            if (i % DeviceOutline::kChunk == 0 && i + DeviceOutline::kChunk <= end) {
                const auto& [lowest, highest] = outline.chunkRows[size_t(i / DeviceOutline::kChunk)];
                if (highest <= top || lowest >= bottom)
                    i += DeviceOutline::kChunk - 1;
            }
            add(points[size_t(i)], points[size_t(i + 1 < end ? i + 1 : start)]);
        }
        start = end;
    }
    if (segments.empty())
        return true;

    // Each strip's segments, in the outline's order; a strip takes a segment whole (its rows
    // alone count). Should the strips' lists together grow far beyond the outline (a great many
    // long upright edges), each strip looks through all the segments instead.
    const int strips = (bottom - top + kStripRows - 1) / kStripRows;
    const auto stripRange = [&](const Segment& segment) {
        const int first = int(std::floor(std::max(segment.y0, double(top))));
        const int last = int(std::ceil(std::min(segment.y1, double(bottom)))) - 1;
        return std::pair((first - top) / kStripRows, (last - top) / kStripRows);
    };
    std::vector<int>& changes = scratch.stripChanges;
    changes.assign(size_t(strips) + 1, 0);
    size_t entries = 0;
    for (const Segment& segment : segments) {
        const auto [first, last] = stripRange(segment);
        entries += size_t(last - first + 1);
        ++changes[size_t(first)];
        --changes[size_t(last) + 1];
    }
    const bool listed = entries <= std::max<size_t>(segments.size() * 8, size_t(1) << 16);
    std::vector<int>& starts = scratch.stripStarts;
    std::vector<int>& members = scratch.stripSegments;
    if (listed) {
        starts.assign(size_t(strips) + 1, 0);
        int count = 0;
        for (int strip = 0; strip < strips; ++strip) {
            count += changes[size_t(strip)];
            starts[size_t(strip) + 1] = starts[size_t(strip)] + count;
        }
        members.resize(entries);
        std::vector<int> cursor(starts.begin(), starts.begin() + strips);
        for (size_t index = 0; index < segments.size(); ++index) {
            const auto [first, last] = stripRange(segments[index]);
            for (int strip = first; strip <= last; ++strip)
                members[size_t(cursor[size_t(strip)]++)] = int(index);
        }
    }

    const int stride = (width + 2 + kBlock - 1) / kBlock * kBlock;
    StripFiller filler(scratch, width, stride);
    const bool evenOdd = outline.rule == Qt::OddEvenFill;
    uchar* bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    for (int strip = 0; strip < strips; ++strip) {
        const int stripTop = top + strip * kStripRows;
        const int stripBottom = std::min(bottom, stripTop + kStripRows);
        if (listed) {
            for (int member = starts[size_t(strip)]; member < starts[size_t(strip) + 1]; ++member)
                filler.accumulate(segments[size_t(members[size_t(member)])], stripTop, stripBottom, left);
        } else {
            for (const Segment& segment : segments) {
                if (segment.y1 > stripTop && segment.y0 < stripBottom)
                    filler.accumulate(segment, stripTop, stripBottom, left);
            }
        }
        filler.fill(bits, bytesPerLine, stripTop, stripBottom - stripTop, left, clip, color, evenOdd);
    }
    // A thread that once filled an enormous outline does not keep its lists for good.
    if (members.capacity() > (size_t(1) << 22) || segments.capacity() > (size_t(1) << 22)) {
        members = {};
        segments = {};
    }
    return true;
}

} // namespace zandrel
