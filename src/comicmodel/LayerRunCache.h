#pragma once

#include "comicmodel/Balloon.h"
#include "graphics/ElementProtocols.h"

#include <QImage>
#include <QRect>
#include <QTransform>
#include <functional>
#include <memory>
#include <vector>

namespace zandrel {

class ZDLContext;

// On screen, a panel layer's consecutive parts (a character's) drawn from one bitmap, and each
// balloon from one of its own. A part that
// draws in under the image cache's threshold keeps no bitmap of its own, so a crowded area was
// drawn path by path on every redraw, however small the dirty rect; this keeps one bitmap for each
// run of two or more parts, unless blitting it measured as dear as drawing the run three times in
// a row.
//
// The bitmap lies on the device pixel grid, rendered with the view's own transform shifted by whole
// pixels, so that it holds the very pixels the parts would draw, and it stays valid while the view
// scrolls by whole pixels. It is kept while the run has the same parts with the same rendering
// stamps (which moves change too) and visibility, at the same scale; a balloon's while its look is
// the same and it moved by whole pixels. Anything else renders it again. Exports,
// bands drawn on several threads, bitmaps and background windows draw the elements directly.
class LayerRunCache {
public:
    // Seconds on a clock that only has to advance; tests inject their own.
    using Clock = std::function<double()>;
    // Runs shorter than this draw directly: a single part has its own cache.
    static constexpr int kMinimumRun = 2;

    LayerRunCache();
    explicit LayerRunCache(Clock clock);
    ~LayerRunCache();
    LayerRunCache(const LayerRunCache&) = delete;
    LayerRunCache& operator=(const LayerRunCache&) = delete;

    // Draws the elements in order, runs of parts from their bitmaps when the context allows. Runs the
    // elements no longer have are dropped, unless they are only a slice of the layer (a view's
    // pass that draws below, at or above its selection), which keeps the others' bitmaps.
    void drawElements(const ElementList& elements, ZDLContext& context, bool wholeLayer = true);
    // Drops every bitmap.
    void reset();

    // For tests and memory accounting.
    int bitmapCount() const;
    qint64 bitmapBytes() const;
    // How many run bitmaps this thread has rendered.
    static quint64 renderingsMade();

private:
    struct Member {
        std::weak_ptr<Object> element;
        quint64 stamp = 0;
        bool visible = false;
        // A balloon's, which has no stamp.
        std::shared_ptr<const BalloonLook> look;
    };
    struct Run {
        std::vector<Member> members;
        // What the visible members may cover, in user space when the run lay at origin.
        QRectF bounds;
        QPointF origin;
        QImage image;
        // The device pixels the image covers under the placement it was rendered with: the device
        // transform, after a balloon's origin.
        QRect pixels;
        QTransform device;
        // Blitting measured dearer than drawing: the run draws directly until it changes.
        bool direct = false;
        double renderSeconds = 0;
        int cheaperBlits = 0;
        int dearerBlits = 0;
        quint64 lastUse = 0;
    };

    static std::vector<Member> membersOf(const ElementList& run, const BalloonLook* look);
    static QRectF boundsOf(const ElementList& run);
    static bool sameMembers(const std::vector<Member>& a, const std::vector<Member>& b);
    // The kept run for these members under the device transform, else null.
    Run* findRun(const std::vector<Member>& members, const QTransform& device);
    static void drawDirectly(const ElementList& elements, ZDLContext& context);
    // A run of parts, or a balloon with its look and origin.
    void drawRun(const ElementList& run, ZDLContext& context, std::vector<Run>& kept,
        const BalloonLook* look = nullptr, const QPointF& origin = QPointF());
    void renderRun(Run& run, const ElementList& elements, const QRectF& bounds, const QTransform& device,
        const QTransform& placement, const ZDLContext& pass);
    friend class LayerRunCacheBudget;
    void dropOldest(quint64 before);

    std::vector<Run> m_runs;
    Clock m_clock;
};

} // namespace zandrel
