#include "graphics/BandedRendering.h"

#include "graphics/ZDLContext.h"
#include "platform/CanvasRecording.h"
#include "platform/CurrentCanvas.h"
#include "platform/GaussianBlur.h"
#include "platform/LargeBlocks.h"
#include "platform/OffscreenImage.h"
#include "platform/PainterCanvas.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace zandrel {

namespace {

// Many more bands than threads, taken from a shared queue: a thread done with a cheap band takes
// the next, so that the threads end together however unevenly the estimate spread the work.
// Each band costs little more than its rows (it replays a recording, its paths' outlines shared).
constexpr int kBandsPerThread = 4;

void drawPass(Canvas& canvas, const QTransform& userToPixels, float scale, const QRectF& dirtyRect,
    const BandedRendering::Draw& draw)
{
    canvas.concatenate(userToPixels);
    CanvasScope current(&canvas);
    ZDLContext context(scale);
    context.setBlurThreshold(0);
    context.setExporting(true);
    draw(context, dirtyRect);
}

// The bands in the order of their estimated work, the costliest first, so that the cheap ones fill
// the gaps at the end.
std::vector<int> costliestFirst(const std::vector<int>& edges, const std::vector<double>& rowCosts)
{
    const size_t bands = edges.size() - 1;
    std::vector<int> order(bands, 0);
    std::vector<double> costs(bands, 0.0);
    for (size_t band = 0; band < bands; ++band) {
        order[band] = int(band);
        for (int row = edges[band]; row < edges[band + 1]; ++row)
            costs[band] += rowCosts[size_t(row)];
    }
    std::stable_sort(
        order.begin(), order.end(), [&](int a, int b) { return costs[size_t(a)] > costs[size_t(b)]; });
    return order;
}

// The bitmap the bands share, in a large block: a page at print resolution is tens of megabytes,
// which fresh from the heap the bands would fault in 4 KiB at a time, and which the next page of
// an export can reuse. The bands clear their own rows.
QImage bandedImage(const QSize& pixels)
{
    struct Block {
        void* data;
        size_t bytes;
    };
    const qsizetype bytesPerLine = qsizetype(pixels.width()) * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(pixels.height());
    if (bytes < largeblocks::kMinBytes)
        return QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    void* data = nullptr;
    try {
        data = largeblocks::allocate(bytes);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
    auto* block = new Block { data, bytes };
    QImage image(
        static_cast<uchar*>(data), pixels.width(), pixels.height(), bytesPerLine,
        QImage::Format_ARGB32_Premultiplied,
        [](void* info) {
            const auto* given = static_cast<Block*>(info);
            largeblocks::deallocate(given->data, given->bytes);
            delete given;
        },
        block);
    if (image.isNull()) {
        largeblocks::deallocate(data, bytes);
        delete block;
    }
    return image;
}

} // namespace

int BandedRendering::availableThreads()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

int BandedRendering::bandsFor(int rows, int threads)
{
    return threads > 1 ? std::clamp(threads * kBandsPerThread, 1, std::max(1, rows / kMinBandRows)) : 1;
}

std::vector<int> BandedRendering::bandEdges(
    const std::vector<double>& rowCosts, const std::vector<double>& edgeCosts, int bands)
{
    const int rows = int(rowCosts.size());
    bands = std::clamp(bands, 1, std::max(1, rows / kMinBandRows));
    std::vector<double> before(size_t(rows) + 1, 0.0); // the work above each row
    for (int row = 0; row < rows; ++row)
        before[size_t(row) + 1] = before[size_t(row)] + rowCosts[size_t(row)];
    const double total = before.back();
    if (bands < 2 || !(total > 0) || !std::isfinite(total))
        return bandEdges(rows, bands);
    const auto cutCost
        = [&](int row) { return size_t(row) < edgeCosts.size() ? edgeCosts[size_t(row)] : 0.0; };
    // Each edge goes where the work above it comes nearest to its share of what is left, moved
    // by up to a third of a share to a row that cuts cheaper paths (a gutter between panels).
    std::vector<int> edges { 0 };
    for (int band = 1; band < bands; ++band) {
        const int top = edges.back();
        const double share = (total - before[size_t(top)]) / (bands - band + 1);
        const double target = before[size_t(top)] + share;
        const double slack = share / 3;
        const int earliest = top + kMinBandRows;
        const int latest = rows - (bands - band) * kMinBandRows;
        int best = std::clamp(
            int(std::lower_bound(before.begin(), before.end(), target) - before.begin()), earliest, latest);
        double bestScore = cutCost(best) + std::abs(before[size_t(best)] - target);
        for (int row = earliest; row <= latest; ++row) {
            const double off = std::abs(before[size_t(row)] - target);
            if (off > slack) {
                if (before[size_t(row)] > target)
                    break;
                continue;
            }
            const double score = cutCost(row) + off;
            if (score < bestScore) {
                best = row;
                bestScore = score;
            }
        }
        edges.push_back(best);
    }
    edges.push_back(rows);
    return edges;
}

std::vector<int> BandedRendering::bandEdges(int rows, int bands)
{
    const int count = std::clamp(bands, 1, std::max(1, rows / kMinBandRows));
    std::vector<int> edges;
    for (int band = 0; band <= count; ++band)
        edges.push_back(int(qint64(rows) * band / count));
    return edges;
}

QImage BandedRendering::render(const QRectF& area, float scale, const Draw& draw, int threads)
{
    const float width = std::ceil(float(area.width()) * scale);
    const float height = std::ceil(float(area.height()) * scale);
    if (!(width >= 1.0f && height >= 1.0f && width <= OffscreenImage::kMaxSide
            && height <= OffscreenImage::kMaxSide))
        return QImage();
    // Translate, then scale, as the one-pass exports always did.
    const QTransform toPixels = QTransform::fromScale(scale, scale)
        * QTransform::fromTranslate(-area.x() * scale, -area.y() * scale);
    return render(QSize(int(width), int(height)), toPixels, scale, area, draw, threads);
}

QImage BandedRendering::render(const QSize& pixels, const QTransform& toPixels, float scale,
    const QRectF& area, const Draw& draw, int threads)
{
    if (!OffscreenImage::isAcceptable(pixels))
        return QImage();
    const bool small = qint64(pixels.width()) * pixels.height() < kMinPixelsForBands;
    if (threads <= 0)
        threads = small ? 1 : availableThreads();
    if (bandsFor(pixels.height(), threads) < 2) {
        OffscreenImage bitmap(pixels);
        auto* canvas = dynamic_cast<PainterCanvas*>(bitmap.canvas());
        if (!canvas)
            return QImage();
        // Through outlines as the bands draw, so that the image is the same however it is cut.
        canvas->setDrawsOutlines(true);
        drawPass(*canvas, toPixels, scale, area, draw);
        return bitmap.takeImage();
    }

    // Draw once on this thread into a recording: everything drawing would build in the model gets
    // built now, the recording tells where the work lies, and the bands replay it without the
    // model.
    CanvasRecording recording;
    recording.estimateRowCosts(pixels.height());
    drawPass(recording, toPixels, scale, area, draw);
    const std::vector<double> rowCosts = recording.rowCosts();
    const std::vector<int> edges
        = bandEdges(rowCosts, recording.edgeCosts(), bandsFor(pixels.height(), threads));
    const int bands = int(edges.size()) - 1;
    const std::vector<int> order = costliestFirst(edges, rowCosts);

    QImage image = bandedImage(pixels);
    if (image.isNull())
        return QImage();
    uchar* const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();

    std::atomic<size_t> nextOutline { 0 };
    std::atomic<int> nextBand { 0 };
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto work = [&] {
        const SingleThreadedBlurScope blurHere;
        // The outlines first, shared out finely, so that no band waits for another's.
        try {
            recording.makeOutlines(nextOutline, QRect(QPoint(0, 0), pixels));
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
        }
        for (int next = nextBand++; next < bands; next = nextBand++) {
            const int band = order[size_t(next)];
            const int top = edges[size_t(band)];
            const int bottom = edges[size_t(band) + 1];
            // Each band clears its own rows: the first touch of a large bitmap's pages costs
            // more than drawing into them, and this way it happens on every core.
            std::memset(bits + top * bytesPerLine, 0, size_t(bottom - top) * size_t(bytesPerLine));
            try {
                // A view of the whole bitmap over the same memory whose engine paints the band's
                // rows only: the transform of one pass, and a system clip rather than a clip of
                // the painter, under which clip paths rasterise as in one pass.
                QImage view(bits, pixels.width(), pixels.height(), bytesPerLine, image.format());
                const QRect rowsRect(0, top, pixels.width(), bottom - top);
                view.paintEngine()->setSystemClip(QRegion(rowsRect));
                QPainter painter(&view);
                PainterCanvas canvas(&painter, CanvasTarget::Bitmap);
                canvas.setDrawsSharedModel(true);
                canvas.setDrawsOutlines(true);
                canvas.limitToDeviceRect(rowsRect);
                recording.replay(canvas, rowsRect);
                canvas.finish();
            } catch (...) {
                const std::lock_guard lock(failureMutex);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    std::vector<std::thread> helpers;
    const int helperCount = std::min(threads, bands) - 1;
    helpers.reserve(size_t(helperCount));
    for (int i = 0; i < helperCount; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
    return image;
}

} // namespace zandrel
