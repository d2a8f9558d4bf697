#pragma once

#include <QImage>
#include <QRectF>
#include <QTransform>
#include <functional>
#include <vector>

namespace zandrel {

class ZDLContext;

// Draws a large export image (a page, a panel, a character at print resolution) in horizontal
// bands on several threads, each band through a canvas of its own on its rows of one bitmap.
//
// The model is settled first: one dry run through a canvas that paints nothing runs, on the
// calling thread, every lazy step of drawing (blur groups and their blurred bitmaps, outlines,
// text layout, path bounds), and estimates the work on each row, so that the bands can be cut to
// equal work with their edges where they cut the fewest paths (each band strokes and flattens the
// paths crossing it whole). The bands then draw with ZDLContext::sharedDrawing() set, in which
// the model builds and drops nothing, and the calling thread waits for them. Each band draws with
// the whole image's transform under a system clip of its rows, so the result is the one pass's up
// to the rounding of antialiased edges. The model must not change while render() runs: call it from the
// thread that owns the model (the interface thread).
class BandedRendering {
public:
    // Called once for the dry run and once for each band, with the area to draw as dirty rect.
    using Draw = std::function<void(ZDLContext& context, const QRectF& dirtyRect)>;

    // Images smaller than this draw in one pass: starting threads would cost more.
    static constexpr qint64 kMinPixelsForBands = 1024 * 1024;
    // Bands are at least this many rows high.
    static constexpr int kMinBandRows = 32;

    // A bitmap of the pixel size, transparent at first, drawn for export (blur threshold 0) at the
    // scale with the transform from user space to its pixels; area (user space) is the dirty rect
    // handed to every pass. threads 0 uses the machine's cores; 1
    // draws in one pass on the calling thread, as does threads 0 for an image under
    // kMinPixelsForBands. A null image when the size is refused.
    static QImage render(const QSize& pixels, const QTransform& userToPixels, float scale, const QRectF& area,
        const Draw& draw, int threads = 0);
    // The area at the scale in ceil(size * scale) pixels, its top-left at the bitmap's origin.
    static QImage render(const QRectF& area, float scale, const Draw& draw, int threads = 0);

    // The machine's cores, at least one.
    static int availableThreads();
    // The first row of each band of an image of so many rows drawn by so many threads, and the
    // row count at the end; a single band means one pass.
    static std::vector<int> bandEdges(int rows, int threads);
    // The same for an image whose estimated work per row is known: bands of equal work.
    // edgeCosts holds, for each row, what an edge above it would cost (work both bands repeat).
    static std::vector<int> bandEdges(
        const std::vector<double>& rowCosts, const std::vector<double>& edgeCosts, int threads);
};

} // namespace zandrel
