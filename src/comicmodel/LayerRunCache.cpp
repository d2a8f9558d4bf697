#include "comicmodel/LayerRunCache.h"

#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace zandrel {

namespace {

// Run bitmaps of every layer together stay under this; the least recently drawn go first.
constexpr qint64 kBudgetBytes = 256LL * 1024 * 1024;
// A run larger than this at a high zoom is drawn directly: most of it would lie off screen.
constexpr qint64 kMaxPixels = 8LL * 1024 * 1024;
// Readings of the blit in a row that decide whether the bitmap pays.
constexpr int kVerdict = 3;
// Antialiasing reaches a pixel beyond the bounds; one more for rounding.
constexpr double kDeviceMargin = 2.0;

thread_local quint64 t_renderingsMade = 0;

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Part* runPart(const ObjectPtr& element)
{
    return dynamic_cast<Part*>(element.get());
}

bool isWholeNumber(double value)
{
    return std::abs(value - std::round(value)) < 1e-6;
}

// Two device transforms whose drawings are the same pixels moved by whole pixels.
bool sameGrid(const QTransform& a, const QTransform& b)
{
    return a.m11() == b.m11() && a.m22() == b.m22() && a.m12() == b.m12() && a.m21() == b.m21()
        && isWholeNumber(a.dx() - b.dx()) && isWholeNumber(a.dy() - b.dy());
}

} // namespace

// Every cache that holds bitmaps, so that their sum stays within the budget. Screen drawing only
// happens on the main thread.
class LayerRunCacheBudget {
public:
    static LayerRunCacheBudget& shared()
    {
        static LayerRunCacheBudget budget;
        return budget;
    }
    quint64 nextUse() { return ++m_uses; }
    void add(LayerRunCache* cache)
    {
        if (std::find(m_caches.begin(), m_caches.end(), cache) == m_caches.end())
            m_caches.push_back(cache);
    }
    void remove(LayerRunCache* cache) { std::erase(m_caches, cache); }
    // Drops the least recently drawn bitmaps until the sum fits.
    void enforce()
    {
        qint64 total = 0;
        std::vector<quint64> uses;
        for (const LayerRunCache* cache : m_caches) {
            total += cache->bitmapBytes();
            for (const auto& run : cache->m_runs) {
                if (!run.image.isNull())
                    uses.push_back(run.lastUse);
            }
        }
        if (total <= kBudgetBytes)
            return;
        std::sort(uses.begin(), uses.end());
        // Half of them, oldest first: the budget is not checked again at once.
        const quint64 before = uses[uses.size() / 2];
        for (LayerRunCache* cache : m_caches)
            cache->dropOldest(before);
    }

private:
    std::vector<LayerRunCache*> m_caches;
    quint64 m_uses = 0;
};

LayerRunCache::LayerRunCache()
    : LayerRunCache(steadySeconds)
{
}

LayerRunCache::LayerRunCache(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(steadySeconds))
{
}

LayerRunCache::~LayerRunCache()
{
    LayerRunCacheBudget::shared().remove(this);
}

void LayerRunCache::reset()
{
    m_runs.clear();
    LayerRunCacheBudget::shared().remove(this);
}

int LayerRunCache::bitmapCount() const
{
    return int(
        std::count_if(m_runs.begin(), m_runs.end(), [](const Run& run) { return !run.image.isNull(); }));
}

qint64 LayerRunCache::bitmapBytes() const
{
    qint64 bytes = 0;
    for (const Run& run : m_runs)
        bytes += run.image.sizeInBytes();
    return bytes;
}

quint64 LayerRunCache::renderingsMade()
{
    return t_renderingsMade;
}

void LayerRunCache::dropOldest(quint64 before)
{
    for (Run& run : m_runs) {
        if (run.lastUse <= before)
            run.image = QImage();
    }
}

std::vector<LayerRunCache::Member> LayerRunCache::membersOf(const ElementList& run, const BalloonLook* look)
{
    std::vector<Member> members;
    members.reserve(std::size_t(run.size()));
    for (const ObjectPtr& element : run) {
        if (look) {
            members.push_back({ element, 0, look->visible, std::make_shared<const BalloonLook>(*look) });
            continue;
        }
        const Part* part = runPart(element);
        members.push_back({ element, part->renderingStamp(), part->visible(), nullptr });
    }
    return members;
}

QRectF LayerRunCache::boundsOf(const ElementList& run)
{
    QRectF bounds;
    for (const ObjectPtr& element : run) {
        const auto* graphic = asProtocol<GraphicElement>(element);
        if (graphic->visible())
            bounds = unionRect(
                bounds, unionRect(graphic->getFilteredBounds(), graphic->getInvalidationBounds()));
    }
    return bounds;
}

bool LayerRunCache::sameMembers(const std::vector<Member>& a, const std::vector<Member>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const ObjectPtr left = a[i].element.lock();
        if (!left || left != b[i].element.lock() || a[i].stamp != b[i].stamp || a[i].visible != b[i].visible)
            return false;
        if (bool(a[i].look) != bool(b[i].look) || (a[i].look && !(*a[i].look == *b[i].look)))
            return false;
    }
    return true;
}

LayerRunCache::Run* LayerRunCache::findRun(const std::vector<Member>& members, const QTransform& device)
{
    for (Run& run : m_runs) {
        if (sameGrid(run.device, device) && sameMembers(run.members, members))
            return &run;
    }
    return nullptr;
}

void LayerRunCache::drawElements(const ElementList& elements, ZDLContext& context, bool wholeLayer)
{
    Canvas* canvas = context.canvas();
    const QTransform device = canvas ? canvas->deviceTransform() : QTransform();
    // Only a view in the main window keeps bitmaps, and only axis-aligned ones.
    // While the user zooms continuously every frame has a new scale: nothing would be reused.
    const bool caching = canvas && !context.exporting() && context.updatingView() && context.isInMainWindow()
        && !context.scalingViewInteractively() && canvas->target() == CanvasTarget::Screen
        && device.type() <= QTransform::TxScale && device.m11() > 0 && device.m22() > 0;
    if (!caching) {
        drawDirectly(elements, context);
        return;
    }
    std::vector<Run> kept;
    ElementList run;
    const auto flush = [&] {
        if (run.size() >= kMinimumRun)
            drawRun(run, context, kept);
        else
            drawDirectly(run, context);
        run.clear();
    };
    for (const ObjectPtr& element : elements) {
        if (runPart(element)) {
            run.append(element);
            continue;
        }
        flush();
        const auto* balloon = dynamic_cast<const Balloon*>(element.get());
        // A balloon being edited shows its text in the editor, and one with a gradient is drawn.
        const std::optional<BalloonLook> look = balloon ? balloon->look() : std::nullopt;
        if (look && look->visible && !look->editing)
            drawRun({ element }, context, kept, &*look, balloon->origin());
        else
            drawDirectly({ element }, context);
    }
    flush();
    // Runs the layer no longer has go with their bitmaps; a slice keeps those it did not reach (the
    // runs it took have no members left).
    if (!wholeLayer) {
        for (Run& run : m_runs) {
            if (!run.members.empty() && (!run.image.isNull() || run.direct))
                kept.push_back(std::move(run));
        }
    }
    m_runs = std::move(kept);
    if (bitmapCount() > 0) {
        LayerRunCacheBudget::shared().add(this);
        LayerRunCacheBudget::shared().enforce();
    }
}

void LayerRunCache::drawDirectly(const ElementList& elements, ZDLContext& context)
{
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->drawIn(context);
    }
}

void LayerRunCache::drawRun(const ElementList& elements, ZDLContext& context, std::vector<Run>& kept,
    const BalloonLook* look, const QPointF& origin)
{
    Canvas* canvas = context.canvas();
    std::vector<Member> members = membersOf(elements, look);
    const QTransform device = canvas->deviceTransform();
    const QTransform placement = QTransform::fromTranslate(origin.x(), origin.y()) * device;
    Run* found = findRun(members, placement);
    Run run;
    if (found) {
        run = std::move(*found);
        found->members.clear();
    } else {
        run.members = std::move(members);
        run.bounds = boundsOf(elements);
        run.origin = origin;
    }
    const QRectF bounds = run.bounds.translated(origin - run.origin);
    const auto keep = [&] {
        if (!run.image.isNull() || run.direct)
            kept.push_back(std::move(run));
    };
    // Outside the dirty area: nothing to draw, and the bitmap stays for later.
    if (isEmptyRect(bounds) || !context.canShow(bounds)) {
        keep();
        return;
    }
    run.lastUse = LayerRunCacheBudget::shared().nextUse();
    if (!run.direct && run.image.isNull()) {
        run.bounds = bounds;
        run.origin = origin;
        renderRun(run, elements, bounds, device, placement, context);
    }
    if (run.image.isNull()) {
        // Measured dearer, too large, or a rendering still under way shows in it.
        drawDirectly(elements, context);
        keep();
        return;
    }
    // The same pixels, moved by the whole pixels the view scrolled since they were rendered.
    const QPoint shift(
        int(std::round(placement.dx() - run.device.dx())), int(std::round(placement.dy() - run.device.dy())));
    const bool measuring = run.cheaperBlits < kVerdict;
    const double start = measuring ? m_clock() : 0;
    canvas->save();
    canvas->setTransform(canvas->baseToDevice().inverted());
    canvas->drawImage(run.image, QRectF(run.pixels.translated(shift)));
    canvas->restore();
    if (measuring) {
        // One reading can be off (the thread was preempted): a verdict takes several in a row.
        if (m_clock() - start < run.renderSeconds) {
            ++run.cheaperBlits;
            run.dearerBlits = 0;
        } else if (++run.dearerBlits >= kVerdict) {
            // Blitting costs what drawing does: the run draws directly until it changes.
            run.image = QImage();
            run.direct = true;
        }
    }
    keep();
}

void LayerRunCache::renderRun(Run& run, const ElementList& elements, const QRectF& bounds,
    const QTransform& device, const QTransform& placement, const ZDLContext& pass)
{
    const float scale = pass.scale();
    run.image = QImage();
    const QRectF area
        = device.mapRect(bounds).adjusted(-kDeviceMargin, -kDeviceMargin, kDeviceMargin, kDeviceMargin);
    const QRect pixels(QPoint(int(std::floor(area.left())), int(std::floor(area.top()))),
        QPoint(int(std::ceil(area.right())) - 1, int(std::ceil(area.bottom())) - 1));
    if (pixels.isEmpty() || qint64(pixels.width()) * pixels.height() > kMaxPixels
        || !OffscreenImage::isAcceptable(pixels.size()))
        return;
    const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();
    const double start = m_clock();
    OffscreenImage bitmap(pixels.size());
    Canvas* canvas = bitmap.canvas();
    if (!canvas)
        return;
    {
        CanvasScope current(canvas);
        canvas->setTransform(
            device * QTransform::fromTranslate(-pixels.x(), -pixels.y()) * canvas->baseToDevice().inverted());
        // No view: every part is drawn whole, from the bitmaps it already has.
        ZDLContext context(scale);
        context.shareWorkOf(pass);
        for (const ObjectPtr& element : elements)
            asProtocol<GraphicElement>(element)->drawIn(context);
    }
    run.image = bitmap.takeImage();
    run.renderSeconds = m_clock() - start;
    run.pixels = pixels;
    run.device = placement;
    ++t_renderingsMade;
    if (ZDLImage::pendingRenderingsDrawn() != pendingBefore)
        run.image = QImage();
}

} // namespace zandrel
