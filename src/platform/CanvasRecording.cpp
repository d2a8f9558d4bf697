#include "platform/CanvasRecording.h"

#include "platform/PainterCanvas.h"
#include "platform/PainterCanvasSupport.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// Antialiasing and the rounding of device rects reach a little beyond exact bounds.
constexpr double kDevicePadding = 2.0;

bool isFiniteRect(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height());
}

} // namespace

CanvasRecording::CanvasRecording(const QTransform& baseToDevice)
    : DryRunCanvas(baseToDevice)
{
}

CanvasRecording::~CanvasRecording() = default;

void CanvasRecording::add(Kind kind, Payload payload)
{
    m_operations.push_back(Operation { kind, std::move(payload), QRectF(), false, -1 });
}

void CanvasRecording::addDrawing(Kind kind, Payload payload, const QRectF& userBounds, double devicePadding)
{
    QRectF device = deviceTransform().mapRect(userBounds.normalized());
    const double padding = kDevicePadding + devicePadding;
    device.adjust(-padding, -padding, padding, padding);
    // What a shadow casts lands away from the shape; bounds that mean nothing cull nothing.
    const bool anywhere = shadow().has_value() || !isFiniteRect(device) || !deviceTransform().isAffine();
    m_operations.push_back(Operation { kind, std::move(payload), device, anywhere, -1 });
    for (const int open : m_open) {
        Operation& block = m_operations[size_t(open)];
        block.device = block.device.united(device);
        block.reachesAnywhere = block.reachesAnywhere || anywhere;
    }
}

void CanvasRecording::closeBlock(Kind opener)
{
    const int end = int(m_operations.size()) - 1;
    if (opener == Kind::Save) {
        // A restore ends the innermost save unless a layer began after it: within a layer, a
        // restore past the layer's own saves does nothing.
        if (!m_open.empty() && m_operations[size_t(m_open.back())].kind == Kind::Save) {
            m_operations[size_t(m_open.back())].end = end;
            m_open.pop_back();
        }
        return;
    }
    // A layer's end also ends the saves left open inside it; those keep no end of their own.
    for (size_t depth = m_open.size(); depth > 0; --depth) {
        if (m_operations[size_t(m_open[depth - 1])].kind == Kind::BeginLayer) {
            m_operations[size_t(m_open[depth - 1])].end = end;
            m_open.resize(depth - 1);
            return;
        }
    }
}

void CanvasRecording::save()
{
    DryRunCanvas::save();
    add(Kind::Save);
    m_open.push_back(int(m_operations.size()) - 1);
}

void CanvasRecording::restore()
{
    DryRunCanvas::restore();
    add(Kind::Restore);
    closeBlock(Kind::Save);
}

void CanvasRecording::setTransform(const QTransform& transform)
{
    DryRunCanvas::setTransform(transform);
    add(Kind::SetTransform, transform);
}

void CanvasRecording::clipToPath(const CanvasPath& path)
{
    DryRunCanvas::clipToPath(path);
    add(Kind::ClipToPath, path);
}

void CanvasRecording::clipToRect(const QRectF& rect)
{
    DryRunCanvas::clipToRect(rect);
    add(Kind::ClipToRect, rect);
}

void CanvasRecording::setAlpha(double alpha)
{
    DryRunCanvas::setAlpha(alpha);
    add(Kind::SetAlpha, alpha);
}

void CanvasRecording::setCompositionMode(CompositionMode mode)
{
    DryRunCanvas::setCompositionMode(mode);
    add(Kind::SetMode, mode);
}

void CanvasRecording::setAntialiasing(bool on)
{
    DryRunCanvas::setAntialiasing(on);
    add(Kind::SetAntialiasing, on);
}

void CanvasRecording::setShadow(const std::optional<CanvasShadow>& shadow)
{
    DryRunCanvas::setShadow(shadow);
    add(Kind::SetShadow, shadow);
}

void CanvasRecording::fillPath(const CanvasPath& path, const CanvasPaint& paint)
{
    DryRunCanvas::fillPath(path, paint);
    addDrawing(Kind::FillPath, PathDrawing { path, paint, &m_slots.emplace_back(), deviceTransform() },
        path.bounds());
    noteOutline(paint);
}

void CanvasRecording::fillRect(const QRectF& rect, const CanvasPaint& paint)
{
    DryRunCanvas::fillRect(rect, paint);
    addDrawing(Kind::FillRect, RectFill { rect, paint }, rect);
}

void CanvasRecording::strokePath(const CanvasPath& path, const CanvasPaint& paint)
{
    DryRunCanvas::strokePath(path, paint);
    const double reach = path.strokeReach();
    addDrawing(Kind::StrokePath, PathDrawing { path, paint, &m_slots.emplace_back(), deviceTransform() },
        path.controlPointBounds().adjusted(-reach, -reach, reach, reach));
    if (!path.isDashed())
        noteOutline(paint);
}

void CanvasRecording::noteOutline(const CanvasPaint& paint)
{
    // A band's layers are bitmaps of its own, whose outlines are not shared; gradients and
    // patterns go through Qt's own fill, which needs none.
    const bool inLayer = std::any_of(m_open.begin(), m_open.end(),
        [&](int open) { return m_operations[size_t(open)].kind == Kind::BeginLayer; });
    if (paint.isColor() && !inLayer)
        m_outlineMakers.push_back(int(m_operations.size()) - 1);
}

void CanvasRecording::makeOutlines(std::atomic<size_t>& next, const QRect& deviceRect) const
{
    const QRectF area(deviceRect);
    const QPainter noPainter; // solid pens take nothing from a painter
    for (size_t index = next++; index < m_outlineMakers.size(); index = next++) {
        const Operation& operation = m_operations[size_t(m_outlineMakers[index])];
        if (!operation.reachesAnywhere && !operation.device.intersects(area))
            continue;
        const auto& drawing = std::get<PathDrawing>(operation.payload);
        if (operation.kind == Kind::FillPath) {
            drawing.slot->outline(drawing.path.painterPath(), drawing.toDevice, nullptr);
            continue;
        }
        const QPen pen = canvas_support::penFor(drawing.path, QBrush(), noPainter);
        if (DeviceOutline::strokesAsOutline(pen, drawing.toDevice))
            drawing.slot->outline(drawing.path.painterPath(), drawing.toDevice, &pen);
    }
}

void CanvasRecording::drawImage(
    const QImage& image, const QRectF& target, const QRectF& source, double opacity, CompositionMode mode)
{
    DryRunCanvas::drawImage(image, target, source, opacity, mode);
    addDrawing(Kind::DrawImage, ImageDrawing { image, target, source, opacity, mode }, target);
}

void CanvasRecording::drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color)
{
    DryRunCanvas::drawGlyphRun(position, run, color);
    const QRectF bounds = run.boundingRect().translated(position);
    // Glyph boxes come from the font's metrics, and ink may stray past them (italics, accents):
    // a band takes a run that comes within a line's height of it.
    const double lineHeight = deviceTransform().mapRect(bounds).height();
    addDrawing(Kind::DrawGlyphs, GlyphDrawing { position, run, color }, bounds,
        std::isfinite(lineHeight) ? lineHeight : 0.0);
}

void CanvasRecording::beginTransparencyLayer(double alpha, const QRectF& bounds)
{
    // The layer is composited with the shadow in force now.
    const bool shadowed = shadow().has_value();
    DryRunCanvas::beginTransparencyLayer(alpha, bounds);
    add(Kind::BeginLayer, Layer { alpha, bounds });
    m_operations.back().reachesAnywhere = shadowed;
    for (const int open : m_open)
        m_operations[size_t(open)].reachesAnywhere = m_operations[size_t(open)].reachesAnywhere || shadowed;
    m_open.push_back(int(m_operations.size()) - 1);
}

void CanvasRecording::endTransparencyLayer()
{
    DryRunCanvas::endTransparencyLayer();
    add(Kind::EndLayer);
    closeBlock(Kind::BeginLayer);
}

void CanvasRecording::replay(PainterCanvas& canvas, const QRect& deviceRect) const
{
    const QRectF area(deviceRect);
    const auto outside = [&](const Operation& operation) {
        return !operation.reachesAnywhere && !operation.device.intersects(area);
    };
    for (size_t index = 0; index < m_operations.size(); ++index) {
        const Operation& operation = m_operations[index];
        switch (operation.kind) {
        case Kind::Save:
        case Kind::BeginLayer:
            // A saved state or layer with nothing for this area changes nothing in it.
            if (operation.end >= 0 && outside(operation)) {
                index = size_t(operation.end);
                continue;
            }
            if (operation.kind == Kind::Save) {
                canvas.save();
            } else {
                const auto& layer = std::get<Layer>(operation.payload);
                canvas.beginTransparencyLayer(layer.alpha, layer.bounds);
            }
            break;
        case Kind::Restore:
            canvas.restore();
            break;
        case Kind::EndLayer:
            canvas.endTransparencyLayer();
            break;
        case Kind::SetTransform:
            canvas.setTransform(std::get<QTransform>(operation.payload));
            break;
        case Kind::ClipToPath:
            canvas.clipToPath(std::get<CanvasPath>(operation.payload));
            break;
        case Kind::ClipToRect:
            canvas.clipToRect(std::get<QRectF>(operation.payload));
            break;
        case Kind::SetAlpha:
            canvas.setAlpha(std::get<double>(operation.payload));
            break;
        case Kind::SetMode:
            canvas.setCompositionMode(std::get<CompositionMode>(operation.payload));
            break;
        case Kind::SetAntialiasing:
            canvas.setAntialiasing(std::get<bool>(operation.payload));
            break;
        case Kind::SetShadow:
            canvas.setShadow(std::get<std::optional<CanvasShadow>>(operation.payload));
            break;
        case Kind::FillPath:
        case Kind::StrokePath: {
            if (outside(operation))
                continue;
            const auto& drawing = std::get<PathDrawing>(operation.payload);
            if (operation.kind == Kind::FillPath)
                canvas.fillPath(drawing.path, drawing.paint, drawing.slot);
            else
                canvas.strokePath(drawing.path, drawing.paint, drawing.slot);
            break;
        }
        case Kind::FillRect: {
            if (outside(operation))
                continue;
            const auto& fill = std::get<RectFill>(operation.payload);
            canvas.fillRect(fill.rect, fill.paint);
            break;
        }
        case Kind::DrawImage: {
            if (outside(operation))
                continue;
            const auto& image = std::get<ImageDrawing>(operation.payload);
            canvas.drawImage(image.image, image.target, image.source, image.opacity, image.mode);
            break;
        }
        case Kind::DrawGlyphs: {
            if (outside(operation))
                continue;
            const auto& glyphs = std::get<GlyphDrawing>(operation.payload);
            canvas.drawGlyphRun(glyphs.position, glyphs.run, glyphs.color);
            break;
        }
        }
    }
}

} // namespace zandrel
