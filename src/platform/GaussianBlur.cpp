#include "platform/GaussianBlur.h"

#include "platform/OffscreenImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace zandrel {

namespace {

// Intermediate values keep 8 fractional bits (value << 8) so that the six passes do not pile up
// rounding errors; window sums stay below 2^25 and fit in 32 bits.
using Sample = std::uint16_t;
constexpr int kChannels = 4;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr int kAlpha = 3;
#else
constexpr int kAlpha = 0;
#endif

struct Box {
    int radius; // the window is 2 * radius + 1 wide
    float reciprocal; // 1 / width: a multiply instead of a division per sample
};

// Three box widths whose repeated application has the variance of the Gaussian (the usual
// construction: the two odd widths around the ideal one, mixed to match sigma^2).
std::array<Box, 3> boxesForSigma(double sigma)
{
    constexpr int n = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double mIdeal
        = (12.0 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) / (-4.0 * lower - 4.0);
    const int m = static_cast<int>(std::lround(mIdeal));
    std::array<Box, 3> boxes {};
    for (int i = 0; i < n; ++i) {
        const int width = i < m ? lower : upper;
        boxes[i].radius = (width - 1) / 2;
        boxes[i].reciprocal = static_cast<float>(1.0 / width);
    }
    return boxes;
}

// Four channels at a time through the compiler's vector extensions (SSE2 on x86-64, NEON on
// ARM). Window sums stay below 2^25, so the float multiply that replaces the division is off by
// far less than a level.
using Lanes = std::int32_t __attribute__((vector_size(16)));
using FloatLanes = float __attribute__((vector_size(16)));
using SampleLanes = Sample __attribute__((vector_size(8)));

inline Lanes load(const Sample* p)
{
    SampleLanes v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, Lanes);
}

inline void store(Sample* p, Lanes v)
{
    const SampleLanes s = __builtin_convertvector(v, SampleLanes);
    std::memcpy(p, &s, sizeof s);
}

inline Lanes average(Lanes sum, float reciprocal)
{
    return __builtin_convertvector(__builtin_convertvector(sum, FloatLanes) * reciprocal + 0.5f, Lanes);
}

// One box pass along a row of pixels. The input has a margin of zero pixels wider than the
// radius on both sides, so that the window never needs a bounds check.
void boxRow(const Sample* in, Sample* out, int width, const Box& box)
{
    const int r = box.radius;
    Lanes sum = {};
    for (int x = -r; x <= r; ++x)
        sum += load(in + x * kChannels);
    for (int x = 0; x < width; ++x) {
        store(out + x * kChannels, average(sum, box.reciprocal));
        sum += load(in + (x + r + 1) * kChannels);
        sum -= load(in + (x - r) * kChannels);
    }
}

// Work on the padded image: the source lies at (pad, pad) inside width x height.
struct BlurJob {
    const QImage* source;
    int pad;
    int width;
    int height;
    std::array<Box, 3> boxes;
    int margin; // zero pixels around a row buffer, more than the largest radius
    Sample* first; // width * height * 4 samples each
    Sample* second;
    const Sample* zeroRow;
    QImage* output;
};

// Horizontal passes for rows [y0, y1) of the padded image, into job.first.
void horizontalPasses(const BlurJob& job, int y0, int y1)
{
    const std::size_t rowSamples = std::size_t(job.width) * kChannels;
    const std::size_t marginSamples = std::size_t(job.margin) * kChannels;
    std::vector<Sample> a(rowSamples + 2 * marginSamples, 0), b(rowSamples + 2 * marginSamples, 0);
    Sample* aRow = a.data() + marginSamples;
    Sample* bRow = b.data() + marginSamples;
    const int sourceSamples = job.source->width() * kChannels;
    Sample* sourceStart = aRow + job.pad * kChannels;
    for (int y = y0; y < y1; ++y) {
        Sample* target = job.first + y * rowSamples;
        const int sy = y - job.pad;
        if (sy < 0 || sy >= job.source->height()) {
            std::memset(target, 0, rowSamples * sizeof(Sample));
            continue;
        }
        // The padding of aRow stays zero; only the source part is rewritten per row.
        const uchar* line = job.source->constScanLine(sy);
        for (int i = 0; i < sourceSamples; ++i)
            sourceStart[i] = static_cast<Sample>(line[i] << 8);
        boxRow(aRow, bRow, job.width, job.boxes[0]);
        boxRow(bRow, aRow, job.width, job.boxes[1]);
        boxRow(aRow, target, job.width, job.boxes[2]);
        std::fill(aRow, sourceStart, 0);
        std::fill(sourceStart + sourceSamples, aRow + rowSamples, 0);
    }
}

// One vertical box pass over the pixel columns [x0, x1), walking down the rows with one running
// sum per column so that memory is read row by row. Rows beyond the image read as zero.
template <typename Sink>
void verticalPass(const BlurJob& job, const Sample* in, const Box& box, int x0, int x1, Sink sink)
{
    const std::size_t stride = std::size_t(job.width) * kChannels;
    const int r = box.radius;
    const int count = x1 - x0;
    std::vector<Lanes> sums(count, Lanes {});
    auto row
        = [&](int y) { return y < 0 || y >= job.height ? job.zeroRow : in + y * stride + x0 * kChannels; };
    for (int y = 0; y <= std::min(r, job.height - 1); ++y) {
        const Sample* entering = row(y);
        for (int i = 0; i < count; ++i)
            sums[i] += load(entering + i * kChannels);
    }
    for (int y = 0; y < job.height; ++y) {
        const Sample* entering = row(y + r + 1);
        const Sample* leaving = row(y - r);
        sink(y, sums.data());
        for (int i = 0; i < count; ++i)
            sums[i] += load(entering + i * kChannels) - load(leaving + i * kChannels);
    }
}

// Vertical passes for the pixel columns [x0, x1): first -> second -> first -> output.
void verticalPasses(const BlurJob& job, int x0, int x1)
{
    const std::size_t stride = std::size_t(job.width) * kChannels;
    const int count = x1 - x0;
    auto intoBuffer = [&](Sample* target, const Box& box) {
        return [&, target, reciprocal = box.reciprocal](int y, const Lanes* sums) {
            Sample* out = target + y * stride + x0 * kChannels;
            for (int i = 0; i < count; ++i)
                store(out + i * kChannels, average(sums[i], reciprocal));
        };
    };
    verticalPass(job, job.first, job.boxes[0], x0, x1, intoBuffer(job.second, job.boxes[0]));
    verticalPass(job, job.second, job.boxes[1], x0, x1, intoBuffer(job.first, job.boxes[1]));
    const float reciprocal = job.boxes[2].reciprocal;
    verticalPass(job, job.first, job.boxes[2], x0, x1, [&](int y, const Lanes* sums) {
        uchar* out = job.output->scanLine(y) + x0 * kChannels;
        for (int i = 0; i < count; ++i) {
            Lanes value = (average(sums[i], reciprocal) + 128) >> 8;
            // Rounding may leave a colour a level above its alpha, which premultiplied data forbids.
            const Lanes alpha = Lanes {} + value[kAlpha];
            value = value < alpha ? value : alpha;
            const auto bytes = __builtin_convertvector(value, uchar __attribute__((vector_size(4))));
            std::memcpy(out + i * kChannels, &bytes, kChannels);
        }
    });
}

// Runs work(begin, end) over [0, total) split into contiguous ranges, one per thread.
template <typename Work> void runSplit(int total, int threads, Work work)
{
    threads = std::clamp(threads, 1, std::max(1, total));
    if (threads == 1) {
        work(0, total);
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work, total * t / threads, total * (t + 1) / threads);
    work(0, total / threads);
    for (std::thread& thread : pool)
        thread.join();
}

} // namespace

namespace {

thread_local bool blurOnOneThread = false;
// Below this a blur takes a few milliseconds on one thread, about what starting threads costs.
constexpr qint64 kPixelsWorthThreads = 512 * 512;

} // namespace

int gaussianBlurThreadsFor(qint64 pixels)
{
    if (blurOnOneThread || pixels < kPixelsWorthThreads)
        return 1;
    return std::clamp(int(std::thread::hardware_concurrency()), 1, 16);
}

SingleThreadedBlurScope::SingleThreadedBlurScope()
    : m_previous(blurOnOneThread)
{
    blurOnOneThread = true;
}

SingleThreadedBlurScope::~SingleThreadedBlurScope()
{
    blurOnOneThread = m_previous;
}

int gaussianBlurPadding(double sigma)
{
    if (!(sigma > 0))
        return 0;
    return static_cast<int>(std::ceil(3.0 * std::min(sigma, kMaxBlurSigma)));
}

BlurredImage gaussianBlur(const QImage& source, double sigma, int threads)
{
    if (source.isNull())
        return {};
    QImage premultiplied = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    premultiplied.setDevicePixelRatio(1.0);
    if (!(sigma > 0))
        return { premultiplied.copy(), QPoint(0, 0) };
    sigma = std::min(sigma, kMaxBlurSigma);

    const int pad = gaussianBlurPadding(sigma);
    const qint64 width = qint64(premultiplied.width()) + 2 * pad;
    const qint64 height = qint64(premultiplied.height()) + 2 * pad;
    if (width > OffscreenImage::kMaxSide || height > OffscreenImage::kMaxSide
        || width * height > OffscreenImage::kMaxPixels)
        return {};

    QImage output(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (output.isNull())
        return {};
    const std::size_t samples = std::size_t(width) * std::size_t(height) * kChannels;
    std::unique_ptr<Sample[]> first(new (std::nothrow) Sample[samples]);
    std::unique_ptr<Sample[]> second(new (std::nothrow) Sample[samples]);
    if (!first || !second)
        return {};

    const std::array<Box, 3> boxes = boxesForSigma(sigma);
    int largestRadius = 0;
    for (const Box& box : boxes)
        largestRadius = std::max(largestRadius, box.radius);
    const std::vector<Sample> zeroRow(std::size_t(width) * kChannels, 0);
    const BlurJob job { &premultiplied, pad, int(width), int(height), boxes, largestRadius + 1, first.get(),
        second.get(), zeroRow.data(), &output };
    runSplit(job.height, threads, [&job](int y0, int y1) { horizontalPasses(job, y0, y1); });
    runSplit(job.width, threads, [&job](int x0, int x1) { verticalPasses(job, x0, x1); });
    return { output, QPoint(-pad, -pad) };
}

} // namespace zandrel
