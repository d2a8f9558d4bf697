#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <optional>

namespace zandrel {

class ZDLContext;

// A bitmap of a group of elements (the contents of one part, or everything the part-elements view
// shows) drawn at one scale, drawn instead of the elements while nothing has changed. Rendering is
// timed: when drawing directly is about as cheap (under 5 ms), caching is given up until the next
// reset, so simple parts never hold bitmaps. Exports never use or fill the bitmap.
//
// The cache keeps no elements: every call passes them in. An owning part makes the cache on first
// use, draws through drawAndOrCache from its drawIn, fills it ahead from its views' idle timer with
// cacheIfNeeded, and calls resetCache when its rendering must change (flushCachedImage), except
// while it moves as a whole.
class ImageCache : public Object {
public:
    // Seconds on a clock that only has to advance; tests inject their own.
    using Clock = std::function<double()>;

    // Rendering faster than this makes caching not pay.
    static constexpr double kWorthwhileSeconds = 0.005;
    // Larger bitmaps (a big part at a high zoom) are not kept; the elements are drawn directly.
    static constexpr qint64 kMaxPixels = 32LL * 1024 * 1024;

    ImageCache();
    explicit ImageCache(Clock clock);

    void setClock(Clock clock);

    // Drops the bitmap and tries caching again.
    void resetCache();
    // Draws the elements through the bitmap, rendering it first when needed, or directly.
    void drawAndOrCache(const ElementList& elements, ZDLContext& context);
    // Renders the bitmap ahead of drawing; true exactly when this call rendered one. A bitmap that
    // would show a PDF image's rendering still under way is not kept (and answers false).
    bool cacheIfNeeded(const ElementList& elements, float scale);
    // Renders the elements' bounds at the scale into a bitmap of the pixel size and keeps it.
    void generateCacheImageWithElements(
        const ElementList& elements, const QRectF& bounds, const QSize& pixelSize, float scale);
    // Part elements together, so that neighbouring paths share blur groups; anything else one by one.
    static void drawElements(const ElementList& elements, ZDLContext& context);

    // How many bitmaps this thread has rendered, for benchmarks and tests that check that a redraw
    // came from bitmaps already made.
    static quint64 renderingsMade();

    const QImage& cache() const { return m_cache; }
    bool tryCaching() const { return m_tryCaching; }
    float cachedScale() const { return m_cachedScale; }
    QSizeF elementsSize() const { return m_elementsSize; }

private:
    // ceilf of the bounds at the scale, when both sides are at least one pixel and a bitmap of
    // that size may be kept.
    static std::optional<QSize> pixelSizeAt(const QRectF& bounds, float scale);
    // Renders and answers whether it took long enough for the bitmap to pay.
    bool renderTimed(const ElementList& elements, const QRectF& bounds, const QSize& pixelSize, float scale);

    QImage m_cache;
    // The last bitmap drew a PDF image whose rendering was still under way.
    bool m_provisional = false;
    bool m_tryCaching = true;
    float m_cachedScale = 0.0f;
    QSizeF m_elementsSize;
    Clock m_clock;
};

} // namespace zandrel
