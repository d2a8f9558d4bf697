#include "graphics/BandedRendering.h"

#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/DryRunCanvas.h"
#include "platform/GaussianBlur.h"
#include "platform/OffscreenImage.h"
#include "platform/PainterCanvas.h"

#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zandrel {

namespace {

// More bands than threads, so that a thread done with an empty band takes another.
constexpr int kBandsPerThread = 4;

void drawPass(Canvas& canvas, const QTransform& userToPixels, float scale, const QRectF& dirtyRect,
    const BandedRendering::Draw& draw, bool shared)
{
    canvas.concatenate(userToPixels);
    CanvasScope current(&canvas);
    ZDLContext context(scale);
    context.setBlurThreshold(0);
    context.setExporting(true);
    context.setSharedDrawing(shared);
    draw(context, dirtyRect);
}

} // namespace

int BandedRendering::availableThreads()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

std::vector<int> BandedRendering::bandEdges(int rows, int threads)
{
    const int bands = std::clamp(std::max(threads, 1) * kBandsPerThread, 1, std::max(1, rows / kMinBandRows));
    const int count = threads > 1 ? bands : 1;
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
    const std::vector<int> edges = bandEdges(pixels.height(), threads);
    const int bands = int(edges.size()) - 1;
    if (bands < 2) {
        OffscreenImage bitmap(pixels);
        if (!bitmap.canvas())
            return QImage();
        drawPass(*bitmap.canvas(), toPixels, scale, area, draw, false);
        return bitmap.takeImage();
    }

    // Settle the model on this thread: everything drawing would build gets built now.
    {
        DryRunCanvas dryRun;
        drawPass(dryRun, toPixels, scale, area, draw, false);
    }

    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return QImage();
    image.fill(Qt::transparent);
    uchar* const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();

    std::atomic<int> nextBand { 0 };
    std::mutex failureMutex;
    std::exception_ptr failure;
    auto work = [&] {
        const SingleThreadedBlurScope blurHere;
        for (int band = nextBand++; band < bands; band = nextBand++) {
            const int top = edges[size_t(band)];
            const int bottom = edges[size_t(band) + 1];
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
                canvas.limitToDeviceRect(rowsRect);
                // The whole area stays the dirty rect: structures test it against bounds that
                // leave out line widths; elements cull themselves by the band's clip instead.
                drawPass(canvas, toPixels, scale, area, draw, true);
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
