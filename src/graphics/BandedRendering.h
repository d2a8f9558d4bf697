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
// The model is drawn once, on the calling thread, into a recording canvas that paints nothing:
// that runs every lazy step of drawing (blur groups and their blurred bitmaps, outlines, text
// layout, path bounds), keeps each drawing operation with the device pixels it can touch, and
// estimates the work on each row. The image is then cut into many more bands than threads, of
// about equal work and with their edges where they cut the cheapest paths; the threads take the
// bands from a shared queue, the costliest first, and each replays the recording into its rows:
// what lies outside them is skipped, and the outline of a path crossing several bands is made
// once. Each band draws with the whole image's transform under a system clip of its rows, and
// fills and strokes reach the device as outlines flattened by us in the single pass as well, so
// the result is the single pass's, up to the rounding of antialiased edges at clip paths. The
// model must not change while render() runs: call it from the thread that owns the model (the
// interface thread).
class BandedRendering {
public:
    // Called once, with the area to draw as dirty rect.
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
    // How many bands an image of so many rows is cut into for so many threads; 1 is one pass.
    static int bandsFor(int rows, int threads);
    // The first row of each of so many bands of equal height, and the row count at the end.
    static std::vector<int> bandEdges(int rows, int bands);
    // The same for an image whose estimated work per row is known: bands of equal work.
    // edgeCosts holds, for each row, what an edge above it would cost (work both bands repeat).
    static std::vector<int> bandEdges(
        const std::vector<double>& rowCosts, const std::vector<double>& edgeCosts, int bands);
};

} // namespace zandrel
