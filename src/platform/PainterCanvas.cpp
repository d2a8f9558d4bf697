#include "platform/PainterCanvas.h"

#include "platform/DeviceOutlines.h"
#include "platform/GaussianBlur.h"
#include "platform/OutlineFill.h"
#include "platform/PainterCanvasSupport.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zandrel {

using namespace canvas_support;

namespace {

bool isWholeNumber(double value)
{
    return std::abs(value - std::round(value)) < 1e-9;
}

// The rect a path encloses when it is one drawn with four lines along the axes (a panel's frame).
std::optional<QRectF> rectangleOf(const QPainterPath& path)
{
    const int count = path.elementCount();
    if (count != 4 && count != 5)
        return std::nullopt;
    QPointF corners[5];
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element& element = path.elementAt(i);
        if (element.type != (i == 0 ? QPainterPath::MoveToElement : QPainterPath::LineToElement))
            return std::nullopt;
        corners[i] = element;
    }
    if (count == 5 && corners[4] != corners[0])
        return std::nullopt;
    for (int i = 0; i < 4; ++i) {
        const QPointF& a = corners[i];
        const QPointF& b = corners[(i + 1) % 4];
        const QPointF& c = corners[(i + 2) % 4];
        // Each side along an axis, and turning at every corner.
        const bool along = a.x() == b.x() ? b.y() == c.y() : a.y() == b.y() && b.x() == c.x();
        if (!along)
            return std::nullopt;
    }
    const QRectF rect = QRectF(corners[0], corners[2]).normalized();
    return isFinite(rect) ? std::optional(rect) : std::nullopt;
}

} // namespace

struct PainterCanvas::Surface {
    QPainter* painter = nullptr;
    std::unique_ptr<QPainter> ownedPainter;
    QImage image; // a layer's bitmap
    QRect deviceRect; // the area the surface covers, in root device pixels
    QTransform deviceToPainter; // root device pixels to this painter's coordinates
    std::vector<SurfaceState> states { SurfaceState {} };
    double layerAlpha = 1.0;
    bool passThrough = false; // a layer that draws straight onto the surface below
    bool discard = false; // a layer with nothing visible
};

PainterCanvas::PainterCanvas(QPainter* painter, std::optional<CanvasTarget> target)
{
    start(painter, target);
}

PainterCanvas::PainterCanvas(QPaintDevice* device, std::optional<CanvasTarget> target)
    : m_ownedPainter(std::make_unique<QPainter>())
{
    if (device && m_ownedPainter->begin(device))
        start(m_ownedPainter.get(), target);
}

void PainterCanvas::start(QPainter* painter, std::optional<CanvasTarget> target)
{
    if (!painter || !painter->isActive() || !painter->device())
        return;
    m_base = painter->worldTransform();
    m_devicePixelRatio = std::max(1e-6, painter->device()->devicePixelRatio());
    m_target = target ? *target : targetOf(*painter);
    // Everything the canvas changes on a borrowed painter is undone by finish().
    painter->save();
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
        | QPainter::TextAntialiasing | QPainter::LosslessImageRendering);
    auto root = std::make_unique<Surface>();
    root->painter = painter;
    const QPaintDevice* device = painter->device();
    root->deviceRect = QRect(0, 0, int(std::ceil(device->width() * m_devicePixelRatio)),
        int(std::ceil(device->height() * m_devicePixelRatio)));
    root->deviceToPainter = QTransform::fromScale(1.0 / m_devicePixelRatio, 1.0 / m_devicePixelRatio);
    m_surfaces.push_back(std::move(root));
}

void PainterCanvas::limitToDeviceRect(const QRect& pixels)
{
    if (!m_surfaces.empty())
        m_surfaces.front()->deviceRect &= pixels;
}

PainterCanvas::~PainterCanvas()
{
    finish();
}

bool PainterCanvas::isActive() const
{
    return !m_surfaces.empty() && painter()->isActive();
}

void PainterCanvas::finish()
{
    if (m_surfaces.empty())
        return;
    while (m_surfaces.size() > 1)
        endLayer();
    QPainter* root = painter();
    for (std::size_t i = 1; i < top().states.size(); ++i)
        root->restore();
    root->restore();
    m_surfaces.clear();
    if (m_ownedPainter && m_ownedPainter->isActive())
        m_ownedPainter->end();
}

PainterCanvas::Surface& PainterCanvas::top() const
{
    return *m_surfaces.back();
}

QPainter* PainterCanvas::painter() const
{
    return top().painter;
}

void PainterCanvas::save()
{
    if (!isActive())
        return;
    painter()->save();
    top().states.push_back(top().states.back());
}

void PainterCanvas::restore()
{
    // A layer's saves end with it: restoring past its start does nothing.
    if (!isActive() || top().states.size() <= 1)
        return;
    painter()->restore();
    top().states.pop_back();
}

int PainterCanvas::saveDepth() const
{
    int depth = 0;
    for (const auto& surface : m_surfaces)
        depth += int(surface->states.size()) - 1;
    return depth;
}

QTransform PainterCanvas::transform() const
{
    if (!isActive())
        return QTransform();
    return painter()->worldTransform() * (baseToDevice() * top().deviceToPainter).inverted();
}

void PainterCanvas::setTransform(const QTransform& transform)
{
    if (!isActive() || !isFinite(transform))
        return;
    painter()->setWorldTransform(transform * baseToDevice() * top().deviceToPainter);
}

void PainterCanvas::clipToPath(const CanvasPath& path)
{
    if (!isActive())
        return;
    const std::optional<QRectF> rect = rectangleOf(path.painterPath());
    const bool clipped = painter()->hasClipping();
    if (m_drawsSharedModel)
        painter()->setClipPath(path.detached().painterPath(), Qt::IntersectClip);
    else
        painter()->setClipPath(path.painterPath(), Qt::IntersectClip);
    noteClip(rect, clipped);
}

void PainterCanvas::clipToRect(const QRectF& rect)
{
    if (!isActive())
        return;
    const QRectF clip = isFinite(rect) ? rect.normalized() : QRectF();
    const bool clipped = painter()->hasClipping();
    painter()->setClipRect(clip, Qt::IntersectClip);
    noteClip(clip, clipped);
}

void PainterCanvas::noteClip(const std::optional<QRectF>& userRect, bool clippedBefore)
{
    SurfaceState& state = top().states.back();
    const QTransform& toDevice = painter()->worldTransform();
    const bool known = !clippedBefore || state.deviceClip;
    if (!known || !userRect || toDevice.type() > QTransform::TxScale) {
        state.deviceClip.reset();
        return;
    }
    const QRectF rect = toDevice.mapRect(*userRect);
    state.deviceClip = clippedBefore ? state.deviceClip->intersected(rect) : rect;
}

QRectF PainterCanvas::visibleDeviceRect() const
{
    QRectF visible = top().deviceRect;
    if (painter()->hasClipping()) {
        const QTransform userToDevice = painter()->worldTransform() * top().deviceToPainter.inverted();
        visible = visible.intersected(userToDevice.mapRect(painter()->clipBoundingRect()));
    }
    return visible;
}

QRectF PainterCanvas::clipBounds() const
{
    if (!isActive())
        return QRectF();
    const QRectF visible = visibleDeviceRect();
    bool invertible = false;
    const QTransform deviceToUser = deviceTransform().inverted(&invertible);
    return invertible && !visible.isEmpty() ? deviceToUser.mapRect(visible) : QRectF();
}

QRectF PainterCanvas::userToDeviceBounds(const QRectF& userRect) const
{
    const QRectF mapped = deviceTransform().mapRect(userRect.normalized());
    return isFinite(mapped) ? mapped : QRectF();
}

void PainterCanvas::setAlpha(double alpha)
{
    if (isActive() && !std::isnan(alpha))
        painter()->setOpacity(std::clamp(alpha, 0.0, 1.0));
}

double PainterCanvas::alpha() const
{
    return isActive() ? painter()->opacity() : 1.0;
}

void PainterCanvas::setCompositionMode(CompositionMode mode)
{
    if (isActive())
        top().states.back().mode = mode;
}

CompositionMode PainterCanvas::compositionMode() const
{
    return isActive() ? top().states.back().mode : CompositionMode::SourceOver;
}

void PainterCanvas::setAntialiasing(bool on)
{
    if (isActive())
        painter()->setRenderHint(QPainter::Antialiasing, on);
}

bool PainterCanvas::antialiasing() const
{
    return isActive() && painter()->testRenderHint(QPainter::Antialiasing);
}

void PainterCanvas::setShadow(const std::optional<CanvasShadow>& shadow)
{
    if (isActive())
        top().states.back().shadow = sanitizedShadow(shadow);
}

std::optional<CanvasShadow> PainterCanvas::shadow() const
{
    return isActive() ? top().states.back().shadow : std::nullopt;
}

double PainterCanvas::deviceScale() const
{
    return std::sqrt(std::abs(baseToDevice().determinant()));
}

QTransform PainterCanvas::baseToDevice() const
{
    return m_base * QTransform::fromScale(m_devicePixelRatio, m_devicePixelRatio);
}

void PainterCanvas::fillWith(
    const QRectF& userBounds, const CanvasPaint& paint, const std::function<void(QPainter&)>& shape)
{
    if (!isActive())
        return;
    const std::optional<PaintBrush> brush = brushFor(paint, transform(), userBounds);
    if (!brush)
        return;
    draw(
        userToDeviceBounds(userBounds),
        [&](QPainter& p, const QTransform&) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(brush->brush);
            p.setRenderHint(QPainter::SmoothPixmapTransform, brush->smooth);
            if (brush->clip)
                p.setClipPath(*brush->clip, Qt::IntersectClip);
            shape(p);
            p.restore();
        },
        top().states.back().mode);
}

void PainterCanvas::fillPath(const CanvasPath& path, const CanvasPaint& paint)
{
    fillPath(path, paint, nullptr);
}

void PainterCanvas::fillPath(const CanvasPath& path, const CanvasPaint& paint, OutlineSlot* slot)
{
    if (path.isEmpty())
        return;
    // Outlines only read the path; what Qt draws itself gets a copy of its own.
    if (m_drawsSharedModel && !m_drawsOutlines && !m_copyingPath) {
        m_copyingPath = true;
        fillPath(path.detached(), paint, slot);
        m_copyingPath = false;
        return;
    }
    if (fillStraight(path, paint, nullptr, slot))
        return;
    const QRectF bounds = path.bounds();
    // A path within the device rect is drawn once: Qt's own fill paints the same pixels, faster,
    // unless its outline was made ahead.
    if (slot && !slot->ready() && !reachesBeyondDevice(userToDeviceBounds(bounds)))
        slot = nullptr;
    fillWith(bounds, paint, [&](QPainter& p) {
        if (!drawOutline(p, path.painterPath(), nullptr, slot))
            p.drawPath(m_drawsSharedModel ? path.detached().painterPath() : path.painterPath());
    });
}

void PainterCanvas::fillRect(const QRectF& rect, const CanvasPaint& paint)
{
    if (!isFinite(rect) || rect.isNull())
        return;
    const QRectF normalized = rect.normalized();
    fillWith(normalized, paint, [&](QPainter& p) { p.drawRect(normalized); });
}

void PainterCanvas::strokePath(const CanvasPath& path, const CanvasPaint& paint)
{
    strokePath(path, paint, nullptr);
}

void PainterCanvas::strokePath(const CanvasPath& path, const CanvasPaint& paint, OutlineSlot* slot)
{
    if (!isActive() || path.isEmpty())
        return;
    if (m_drawsSharedModel && !m_drawsOutlines && !m_copyingPath) {
        m_copyingPath = true;
        strokePath(path.detached(), paint, slot);
        m_copyingPath = false;
        return;
    }
    if (!path.isDashed() && m_drawsOutlines && paint.isColor()) {
        const QPen pen = penFor(path, QBrush(), *painter()); // its shape: the colour is the paint's
        if (fillStraight(path, paint, &pen, slot))
            return;
    }
    const QRectF bounds = path.controlPointBounds();
    const std::optional<PaintBrush> brush = brushFor(paint, transform(), bounds);
    if (!brush)
        return;
    const double reach = path.strokeReach();
    const QRectF deviceBounds
        = userToDeviceBounds(bounds.adjusted(-reach, -reach, reach, reach)).adjusted(-2, -2, 2, 2);
    if (slot && !slot->ready() && !reachesBeyondDevice(deviceBounds))
        slot = nullptr;
    draw(
        deviceBounds,
        [&](QPainter& p, const QTransform&) {
            p.save();
            // Made for each painter: the shadow's and a layer's bitmaps have resolutions of
            // their own, and the dash units depend on them.
            const QPen pen = penFor(path, brush->brush, p);
            p.setRenderHint(QPainter::SmoothPixmapTransform, brush->smooth);
            if (brush->clip)
                p.setClipPath(*brush->clip, Qt::IntersectClip);
            if (!drawOutline(p, path.painterPath(), &pen, slot)) {
                p.setPen(pen);
                p.setBrush(Qt::NoBrush);
                p.drawPath(m_drawsSharedModel ? path.detached().painterPath() : path.painterPath());
            }
            p.restore();
        },
        top().states.back().mode);
}

bool PainterCanvas::reachesBeyondDevice(const QRectF& deviceBounds) const
{
    return !QRectF(m_surfaces.front()->deviceRect).contains(deviceBounds.adjusted(-2, -2, 2, 2));
}

bool PainterCanvas::drawOutline(QPainter& p, const QPainterPath& path, const QPen* pen, OutlineSlot* slot)
{
    if (!m_drawsOutlines)
        return false;
    if (!drawsAsOutline(p, pen))
        return false;
    const Surface& root = *m_surfaces.front();
    const bool onRoot = &p == root.painter;
    // Outlines paint what Qt paints, except dashes. Filled straight into the pixels they are the
    // quickest route; otherwise Qt's own is quicker for the rest unless the outline is shared.
    const bool dashed = pen && pen->style() != Qt::SolidLine;
    const std::optional<DirectFill> direct = directFill(p, pen ? pen->brush() : p.brush());
    if (!dashed && !(slot && onRoot) && !direct)
        return false;
    const std::shared_ptr<const DeviceOutline> outline = outlineOf(p, path, pen, slot);
    if (direct) {
        fillOutline(*direct->image, direct->clip, *outline, direct->color);
        return true;
    }
    QBrush brush = pen ? pen->brush() : p.brush();
    if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush)
        brush.setTransform(brush.transform() * p.worldTransform()); // gradients and patterns stay put
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.resetTransform();
    const QPainterPath area = onRoot
        ? outline->pathForRows(root.deviceRect.top(), root.deviceRect.bottom() + 1.0)
        : outline->path();
    if (!area.isEmpty())
        p.drawPath(area);
    return true;
}

bool PainterCanvas::fillStraight(
    const CanvasPath& path, const CanvasPaint& paint, const QPen* pen, OutlineSlot* slot)
{
    // What the general route would come to when it fills an outline straight (see drawOutline),
    // without the brushes, pens and saved painter states it makes on the way.
    if (!m_drawsOutlines || !paint.isColor() || !paint.color().isValid() || top().states.back().shadow
        || top().states.back().mode != CompositionMode::SourceOver)
        return false;
    QPainter& p = *painter();
    if (!drawsAsOutline(p, pen))
        return false;
    const std::optional<DirectFill> direct = directFill(p, paint.color());
    if (!direct)
        return false;
    const bool onRoot = &p == m_surfaces.front()->painter;
    if (slot && onRoot && !slot->ready()) {
        const double reach = pen ? path.strokeReach() : 0.0;
        const QRectF bounds = pen ? path.controlPointBounds() : path.bounds();
        if (!reachesBeyondDevice(userToDeviceBounds(bounds.adjusted(-reach, -reach, reach, reach))))
            slot = nullptr;
    }
    fillOutline(*direct->image, direct->clip, *outlineOf(p, path.painterPath(), pen, slot), direct->color);
    return true;
}

bool PainterCanvas::drawsAsOutline(const QPainter& p, const QPen* pen)
{
    // Outlines are in device pixels, which the painter's coordinates are once its transform is
    // reset (not so on a window's backing store at a device pixel ratio).
    const QTransform toDevice = p.deviceTransform();
    return toDevice.isAffine() && p.worldTransform() == toDevice
        && (!pen || DeviceOutline::strokesAsOutline(*pen, toDevice));
}

std::shared_ptr<const DeviceOutline> PainterCanvas::outlineOf(
    const QPainter& p, const QPainterPath& path, const QPen* pen, OutlineSlot* slot) const
{
    // Layers and shadows are bitmaps of each band's own: their outlines are not shared.
    const QTransform toDevice = p.deviceTransform();
    if (slot && &p == m_surfaces.front()->painter)
        return slot->outline(path, toDevice, pen);
    return std::make_shared<const DeviceOutline>(DeviceOutline::of(path, toDevice, pen));
}

std::optional<PainterCanvas::DirectFill> PainterCanvas::directFill(QPainter& p, const QBrush& brush) const
{
    if (brush.style() != Qt::SolidPattern)
        return std::nullopt;
    return directFill(p, brush.color());
}

std::optional<PainterCanvas::DirectFill> PainterCanvas::directFill(QPainter& p, const QColor& solid) const
{
    if (p.compositionMode() != QPainter::CompositionMode_SourceOver
        || !p.testRenderHint(QPainter::Antialiasing))
        return std::nullopt;
    QPaintEngine* engine = p.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return std::nullopt;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied)
        return std::nullopt;
    QRectF clip(image->rect());
    const QRegion systemClip = engine->systemClip();
    if (!systemClip.isEmpty()) {
        if (systemClip.rectCount() != 1)
            return std::nullopt;
        clip &= QRectF(systemClip.boundingRect());
    }
    if (p.hasClipping()) {
        // Only this canvas's own painter has a clip it knows the shape of.
        const std::optional<QRectF>& known = top().states.back().deviceClip;
        if (&p != painter() || !known)
            return std::nullopt;
        clip &= *known;
    }
    QColor color = solid;
    color.setAlphaF(float(std::clamp(color.alphaF() * p.opacity(), 0.0, 1.0)));
    return DirectFill { image, clip, qPremultiply(color.rgba()) };
}

void PainterCanvas::drawImage(
    const QImage& image, const QRectF& target, const QRectF& source, double opacity, CompositionMode mode)
{
    if (!isActive() || image.isNull() || !isFinite(target) || target.isEmpty() || !(opacity > 0))
        return;
    const QRectF whole(0, 0, image.width(), image.height());
    const QRectF from
        = source.isEmpty() || !isFinite(source) ? whole : source.normalized().intersected(whole);
    if (from.isEmpty())
        return;
    const QRectF to = target.normalized();
    draw(
        userToDeviceBounds(to),
        [&](QPainter& p, const QTransform&) {
            // Pixels onto pixels (a cached bitmap on the grid it was drawn on) need no filtering, and
            // without the smoothing hint Qt blits them on its fast path.
            const QTransform& t = p.worldTransform();
            const bool pixelExact = t.type() <= QTransform::TxTranslate && to.size() == from.size()
                && isWholeNumber(t.dx() + to.x()) && isWholeNumber(t.dy() + to.y());
            if (pixelExact)
                p.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p.drawImage(to, image, from);
            if (pixelExact)
                p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        },
        mode, std::min(opacity, 1.0));
}

void PainterCanvas::drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color)
{
    if (!isActive() || !color.isValid() || run.glyphIndexes().isEmpty()
        || !isFinite(QRectF(position, QSizeF())))
        return;
    // Glyph caches and font faces are shared between threads and unguarded.
    const std::lock_guard oneAtATime(fontEngineMutex());
    const QRectF bounds = run.boundingRect().translated(position).adjusted(-1, -1, 1, 1);
    draw(
        userToDeviceBounds(bounds),
        [&](QPainter& p, const QTransform&) {
            p.setPen(color);
            p.drawGlyphRun(position, run);
        },
        top().states.back().mode);
}

void PainterCanvas::draw(const QRectF& deviceBounds, const DrawFn& fn, CompositionMode mode, double opacity)
{
    if (top().states.back().shadow)
        drawShadow(deviceBounds, fn, opacity);
    if (mode == CompositionMode::PlusDarker && drawPlusDarker(deviceBounds, fn, opacity))
        return;
    drawDirect(fn, mode, opacity);
}

void PainterCanvas::drawDirect(const DrawFn& fn, CompositionMode mode, double opacity)
{
    QPainter& p = *painter();
    const double savedOpacity = p.opacity();
    p.setOpacity(savedOpacity * opacity);
    const QPainter::CompositionMode qtMode = qtCompositionMode(mode);
    const bool modeSet = qtMode != QPainter::CompositionMode_SourceOver && supportsMode(p, qtMode);
    if (modeSet)
        p.setCompositionMode(qtMode);
    fn(p, top().deviceToPainter);
    if (modeSet)
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setOpacity(savedOpacity);
}

void PainterCanvas::drawShadow(const QRectF& deviceBounds, const DrawFn& fn, double opacity)
{
    const CanvasShadow& shadow = *top().states.back().shadow;
    const QTransform toDevice = baseToDevice();
    const QPointF offset = toDevice.map(shadow.offset) - toDevice.map(QPointF());
    const double sigma = shadow.blurRadius / 2 * deviceScale();
    const int pad = gaussianBlurPadding(sigma);
    // Only the part of the shape whose shadow can land in the visible area is rendered.
    const QRectF reach = visibleDeviceRect().translated(-offset).adjusted(-pad, -pad, pad, pad);
    const QRect area = deviceBounds.intersected(reach).toAlignedRect();
    if (area.isEmpty())
        return;
    const double resolution = offscreenResolution(area, m_target, *painter());
    QImage mask = newTransparentImage(area, resolution);
    if (mask.isNull())
        return;
    const QTransform deviceToMask
        = QTransform::fromTranslate(-area.x(), -area.y()) * QTransform::fromScale(resolution, resolution);
    {
        QPainter p(&mask);
        p.setRenderHints(painter()->renderHints());
        p.setWorldTransform(deviceTransform() * deviceToMask);
        fn(p, deviceToMask);
        // Keep the coverage, take the shadow's colour.
        p.resetTransform();
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(mask.rect(), shadow.color);
    }
    const BlurredImage blurred = gaussianBlur(
        mask, sigma * resolution, gaussianBlurThreadsFor(qint64(mask.width()) * mask.height()));
    if (blurred.image.isNull())
        return;
    const QRectF target(QPointF(area.topLeft()) + offset + QPointF(blurred.offset) / resolution,
        QSizeF(blurred.image.size()) / resolution);
    QPainter& p = *painter();
    p.save();
    p.setOpacity(p.opacity() * opacity);
    p.setWorldTransform(top().deviceToPainter);
    p.drawImage(target, blurred.image);
    p.restore();
}

bool PainterCanvas::drawPlusDarker(const QRectF& deviceBounds, const DrawFn& fn, double opacity)
{
    // The mode reads the destination, so it needs the pixels: a bitmap or a raster window.
    QPainter& p = *painter();
    QPaintEngine* engine = p.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return false;
    auto* destination = static_cast<QImage*>(device);
    if (destination->format() != QImage::Format_ARGB32_Premultiplied
        && destination->format() != QImage::Format_RGB32)
        return false;

    // Engine pixels may differ from root device pixels by a window's offset in its backing store.
    const QTransform userToEngine = p.deviceTransform();
    bool invertible = false;
    const QTransform deviceToUser = deviceTransform().inverted(&invertible);
    if (!invertible)
        return true;
    QRect area = (deviceToUser * userToEngine)
                     .mapRect(deviceBounds)
                     .toAlignedRect()
                     .intersected(destination->rect());
    const QRegion systemClip = engine->systemClip();
    if (!systemClip.isEmpty())
        area = area.intersected(systemClip.boundingRect());
    if (p.hasClipping())
        area = area.intersected(userToEngine.mapRect(p.clipBoundingRect()).toAlignedRect());
    if (area.isEmpty())
        return true;

    QImage source = newTransparentImage(area, 1.0);
    if (source.isNull())
        return true;
    {
        const QTransform engineToSource = QTransform::fromTranslate(-area.x(), -area.y());
        QPainter s(&source);
        s.setRenderHints(p.renderHints());
        if (!systemClip.isEmpty()) {
            s.setWorldTransform(engineToSource);
            s.setClipRegion(systemClip);
        }
        s.setWorldTransform(userToEngine * engineToSource);
        if (p.hasClipping())
            s.setClipPath(p.clipPath(), Qt::IntersectClip);
        s.setOpacity(p.opacity() * opacity);
        fn(s, deviceTransform().inverted() * userToEngine * engineToSource);
    }
    p.beginNativePainting();
    blendPlusDarker(*destination, area.topLeft(), source);
    p.endNativePainting();
    return true;
}

void PainterCanvas::beginTransparencyLayer(double alpha, const QRectF& bounds)
{
    if (!isActive())
        return;
    alpha = std::isnan(alpha) ? 1.0 : std::clamp(alpha, 0.0, 1.0);
    const SurfaceState& current = top().states.back();
    auto layer = std::make_unique<Surface>();
    layer->layerAlpha = alpha;
    // On vector output, fully opaque source-over without a shadow draws straight through, which
    // keeps the PDF's vectors; composition modes used inside such a layer then act on what lies
    // below it. Bitmaps always get a real layer, so that a mode inside a layer (an erase, say)
    // only touches the layer, at any alpha.
    if (!isDrawingToScreen() && alpha >= 1.0 && painter()->opacity() >= 1.0
        && current.mode == CompositionMode::SourceOver && !current.shadow) {
        layer->passThrough = true;
        layer->states.front().deviceClip = current.deviceClip;
        layer->painter = painter();
        layer->deviceRect = top().deviceRect;
        layer->deviceToPainter = top().deviceToPainter;
        layer->painter->save();
        m_surfaces.push_back(std::move(layer));
        return;
    }

    QRectF area = visibleDeviceRect();
    if (!bounds.isEmpty() && isFinite(bounds))
        area = area.intersected(userToDeviceBounds(bounds));
    layer->deviceRect = area.toAlignedRect();
    const double resolution = offscreenResolution(layer->deviceRect, m_target, *painter());
    if (!layer->deviceRect.isEmpty())
        layer->image = newTransparentImage(layer->deviceRect, resolution);
    if (layer->image.isNull()) {
        // Nothing visible: the drawing goes to a tiny bitmap that is thrown away.
        layer->discard = true;
        layer->image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
    }
    layer->deviceToPainter = QTransform::fromTranslate(-layer->deviceRect.x(), -layer->deviceRect.y())
        * QTransform::fromScale(resolution, resolution);
    layer->ownedPainter = std::make_unique<QPainter>(&layer->image);
    layer->painter = layer->ownedPainter.get();
    QPainter& parent = *painter();
    layer->painter->setRenderHints(parent.renderHints());
    layer->painter->setFont(parent.font());
    layer->painter->setWorldTransform(deviceTransform() * layer->deviceToPainter);
    if (layer->discard)
        layer->painter->setClipRect(QRectF());
    else if (parent.hasClipping())
        layer->painter->setClipPath(parent.clipPath());
    m_surfaces.push_back(std::move(layer));
}

void PainterCanvas::endTransparencyLayer()
{
    if (m_surfaces.size() > 1)
        endLayer();
}

void PainterCanvas::endLayer()
{
    std::unique_ptr<Surface> layer = std::move(m_surfaces.back());
    m_surfaces.pop_back();
    for (std::size_t i = 1; i < layer->states.size(); ++i)
        layer->painter->restore();
    if (layer->passThrough) {
        layer->painter->restore();
        return;
    }
    layer->ownedPainter->end();
    if (layer->discard)
        return;
    // The surface below kept the alpha, mode and shadow it had at the start of the layer.
    const QRectF target(layer->deviceRect);
    const QImage& image = layer->image;
    draw(
        target,
        [&](QPainter& p, const QTransform& deviceToPainter) {
            p.save();
            p.setWorldTransform(deviceToPainter);
            p.drawImage(target, image);
            p.restore();
        },
        top().states.back().mode, layer->layerAlpha);
}

} // namespace zandrel
