#include "graphics/ImageCache.h"

#include "charmodel/PartElement.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <chrono>
#include <cmath>

namespace zandrel {

namespace {

thread_local quint64 t_renderingsMade = 0;

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

ImageCache::ImageCache()
    : ImageCache(steadySeconds)
{
}

ImageCache::ImageCache(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(steadySeconds))
{
}

void ImageCache::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadySeconds);
}

void ImageCache::resetCache()
{
    m_cache = QImage();
    m_tryCaching = true;
    m_cachedScale = 0.0f;
    m_elementsSize = QSizeF(0, 0);
}

std::optional<QSize> ImageCache::pixelSizeAt(const QRectF& bounds, float scale)
{
    const float width = std::ceil(static_cast<float>(bounds.width()) * scale);
    const float height = std::ceil(static_cast<float>(bounds.height()) * scale);
    // NaN fails these tests too; huge sizes are refused before they reach an int.
    if (!(width >= 1.0f && height >= 1.0f))
        return std::nullopt;
    if (!(width <= OffscreenImage::kMaxSide && height <= OffscreenImage::kMaxSide))
        return std::nullopt;
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    if (qint64(size.width()) * size.height() > kMaxPixels || !OffscreenImage::isAcceptable(size))
        return std::nullopt;
    return size;
}

quint64 ImageCache::renderingsMade()
{
    return t_renderingsMade;
}

void ImageCache::generateCacheImageWithElements(
    const ElementList& elements, const QRectF& bounds, const QSize& pixelSize, float scale)
{
    ++t_renderingsMade;
    m_elementsSize = bounds.size();
    m_provisional = false;
    const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();
    OffscreenImage bitmap(pixelSize);
    Canvas* canvas = bitmap.canvas();
    if (!canvas) {
        m_cache = QImage();
        return;
    }
    {
        CanvasScope current(canvas);
        ZDLContext context(scale);
        context.saveState();
        canvas->translate(-bounds.x() * scale, -bounds.y() * scale);
        canvas->scale(scale, scale);
        drawElements(elements, context);
        context.restoreState();
    }
    m_cache = bitmap.takeImage();
    m_cachedScale = scale;
    m_provisional = ZDLImage::pendingRenderingsDrawn() != pendingBefore;
}

bool ImageCache::renderTimed(
    const ElementList& elements, const QRectF& bounds, const QSize& pixelSize, float scale)
{
    const double start = m_clock();
    generateCacheImageWithElements(elements, bounds, pixelSize, scale);
    return m_clock() - start >= kWorthwhileSeconds;
}

void ImageCache::drawAndOrCache(const ElementList& elements, ZDLContext& context)
{
    if (elements.isEmpty())
        return;
    // Exports neither use nor touch the bitmap: the screen's stays, and bands drawn on several
    // threads at once change nothing here.
    if (context.exporting()) {
        drawElements(elements, context);
        return;
    }
    const float scale = context.scale();
    // While the user zooms continuously the old bitmap is stretched; a new one is made once the
    // zoom settles.
    if (scale != m_cachedScale && !context.scalingViewInteractively())
        resetCache();

    const QRectF bounds = ArrayUtils::getElementsFilteredBounds(elements);
    const std::optional<QSize> pixelSize = pixelSizeAt(bounds, scale);
    // Views outside the main window only use a bitmap they already have, so that background
    // windows do not fill memory with bitmaps.
    const bool useBitmap = m_tryCaching && pixelSize && (context.isInMainWindow() || !m_cache.isNull());
    if (useBitmap) {
        if (bounds.size() != m_elementsSize)
            m_cache = QImage();
        // A bitmap showing a rendering still under way is drawn once, and its time tells nothing.
        if (m_cache.isNull() && !renderTimed(elements, bounds, *pixelSize, scale) && !m_provisional)
            m_tryCaching = false;
        if (!m_cache.isNull()) {
            if (Canvas* canvas = context.canvas())
                canvas->drawImage(
                    m_cache, bounds, QRectF(), context.imageAlpha(), CompositionMode::SourceOver);
            if (!m_tryCaching || m_provisional)
                m_cache = QImage();
            return;
        }
        // The bitmap could not be made: the elements still show.
    }
    drawElements(elements, context);
}

bool ImageCache::cacheIfNeeded(const ElementList& elements, float scale)
{
    if (elements.isEmpty())
        return false;
    if (scale != m_cachedScale)
        resetCache();
    const QRectF bounds = ArrayUtils::getElementsFilteredBounds(elements);
    const std::optional<QSize> pixelSize = pixelSizeAt(bounds, scale);
    if (!m_tryCaching || !pixelSize)
        return false;
    if (bounds.size() != m_elementsSize)
        m_cache = QImage();
    if (!m_cache.isNull())
        return false;
    const bool paid = renderTimed(elements, bounds, *pixelSize, scale);
    if (m_provisional) {
        m_cache = QImage();
        return false;
    }
    if (!paid) {
        m_tryCaching = false;
        m_cache = QImage();
    }
    return true;
}

void ImageCache::drawElements(const ElementList& elements, ZDLContext& context)
{
    if (elements.isEmpty())
        return;
    if (dynamic_cast<const PartElement*>(elements.first().get())) {
        ArrayUtils::drawPartElements(elements, context);
        return;
    }
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->drawIn(context);
    }
}

} // namespace zandrel
