#include "platform/PainterCanvasSupport.h"

#include "platform/Canvas.h"
#include "platform/PainterCanvas.h"

#include <QLineF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <algorithm>
#include <cmath>

namespace zandrel::canvas_support {

bool isFinite(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height());
}

bool isFinite(const QTransform& t)
{
    for (double v : { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() })
        if (!std::isfinite(v))
            return false;
    return true;
}

CanvasTarget targetOf(QPainter& painter)
{
    switch (painter.device()->devType()) {
    case QInternal::Widget:
    case QInternal::OpenGL:
        return CanvasTarget::Screen;
    case QInternal::Printer:
        return CanvasTarget::Printer;
    case QInternal::Image:
    case QInternal::Pixmap:
        return CanvasTarget::Bitmap;
    default:
        break;
    }
    const QPaintEngine* engine = painter.paintEngine();
    if (engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::Picture))
        return CanvasTarget::Pdf;
    return CanvasTarget::Bitmap;
}

std::optional<CanvasShadow> sanitizedShadow(const std::optional<CanvasShadow>& shadow)
{
    if (!shadow || !shadow->color.isValid() || shadow->color.alpha() == 0
        || !std::isfinite(shadow->offset.x()) || !std::isfinite(shadow->offset.y())
        || !std::isfinite(shadow->blurRadius))
        return std::nullopt;
    CanvasShadow result = *shadow;
    result.blurRadius = std::max(0.0, result.blurRadius);
    return result;
}

QGradientStops sanitizedStops(const QGradientStops& stops)
{
    QGradientStops result;
    for (const QGradientStop& stop : stops)
        if (std::isfinite(stop.first) && stop.second.isValid())
            result.append({ std::clamp(stop.first, 0.0, 1.0), stop.second });
    std::stable_sort(
        result.begin(), result.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return result;
}

namespace {

bool isFinite(const QPointF& point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// A length that reaches past the bounds and the gradient's geometry from anywhere in them.
double farReach(const QRectF& bounds, std::initializer_list<QPointF> points)
{
    double reach = std::hypot(bounds.width(), bounds.height()) + 1.0;
    for (const QPointF& point : points)
        reach += QLineF(point, bounds.center()).length();
    return reach;
}

std::optional<QPainterPath> linearLimit(const LinearGradient& gradient, const QRectF& bounds)
{
    const QLineF line(gradient.start, gradient.end);
    if ((gradient.extendStart && gradient.extendEnd) || line.length() <= 0)
        return std::nullopt;
    const QPointF along = (gradient.end - gradient.start) / line.length();
    const QPointF across(-along.y(), along.x());
    const double reach = farReach(bounds, { gradient.start, gradient.end });
    const QPointF from = gradient.extendStart ? gradient.start - along * reach : gradient.start;
    const QPointF to = gradient.extendEnd ? gradient.end + along * reach : gradient.end;
    QPainterPath band;
    band.addPolygon(QPolygonF(
        { from + across * reach, to + across * reach, to - across * reach, from - across * reach }));
    band.closeSubpath();
    return band;
}

std::optional<QPainterPath> radialLimit(const RadialGradient& gradient, const QRectF& bounds)
{
    if (gradient.extendStart && gradient.extendEnd)
        return std::nullopt;
    const double reach = farReach(bounds, { gradient.startCenter, gradient.endCenter }) + gradient.startRadius
        + gradient.endRadius;
    QPainterPath area;
    area.addRect(QRectF(bounds.center() - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)));
    // Beyond the end circle and inside the start circle, for the usual start-inside-end ramps.
    if (!gradient.extendEnd) {
        QPainterPath end;
        end.addEllipse(gradient.endCenter, gradient.endRadius, gradient.endRadius);
        area = area.intersected(end);
    }
    if (!gradient.extendStart && gradient.startRadius > 0) {
        QPainterPath start;
        start.addEllipse(gradient.startCenter, gradient.startRadius, gradient.startRadius);
        area = area.subtracted(start);
    }
    return area;
}

} // namespace

std::optional<PaintBrush> brushFor(
    const CanvasPaint& paint, const QTransform& userToBase, const QRectF& userBounds)
{
    if (const auto* color = std::get_if<QColor>(&paint.value())) {
        if (!color->isValid())
            return std::nullopt;
        return PaintBrush { QBrush(*color), std::nullopt };
    }
    if (const auto* linear = std::get_if<LinearGradient>(&paint.value())) {
        const QGradientStops stops = sanitizedStops(linear->stops);
        if (stops.isEmpty() || !isFinite(linear->start) || !isFinite(linear->end))
            return std::nullopt;
        QLinearGradient gradient(linear->start, linear->end);
        gradient.setStops(stops);
        PaintBrush result { QBrush(gradient), linearLimit(*linear, userBounds) };
        if (result.clip && result.clip->isEmpty())
            return std::nullopt;
        return result;
    }
    if (const auto* radial = std::get_if<RadialGradient>(&paint.value())) {
        const QGradientStops stops = sanitizedStops(radial->stops);
        if (stops.isEmpty() || !isFinite(radial->startCenter) || !isFinite(radial->endCenter)
            || !std::isfinite(radial->startRadius) || !std::isfinite(radial->endRadius)
            || radial->startRadius < 0 || radial->endRadius < 0)
            return std::nullopt;
        QRadialGradient gradient(
            radial->endCenter, radial->endRadius, radial->startCenter, radial->startRadius);
        gradient.setStops(stops);
        PaintBrush result { QBrush(gradient), radialLimit(*radial, userBounds) };
        if (result.clip && result.clip->isEmpty())
            return std::nullopt;
        return result;
    }
    const auto& pattern = std::get<CanvasPattern>(paint.value());
    if (pattern.tile.isNull())
        return std::nullopt;
    const QSizeF tileSize = pattern.tileSize.isEmpty() ? QSizeF(pattern.tile.size()) : pattern.tileSize;
    bool invertible = false;
    const QTransform baseToUser = userToBase.inverted(&invertible);
    if (!invertible || !isFinite(pattern.origin) || !std::isfinite(tileSize.width())
        || !std::isfinite(tileSize.height()))
        return std::nullopt;
    QImage tile = pattern.tile;
    tile.setDevicePixelRatio(1.0);
    QBrush brush(tile);
    brush.setTransform(
        QTransform::fromScale(tileSize.width() / tile.width(), tileSize.height() / tile.height())
        * QTransform::fromTranslate(pattern.origin.x(), pattern.origin.y()) * baseToUser);
    return PaintBrush { brush, std::nullopt, false };
}

namespace {

// The scale the raster engine judges a pen's thickness by (the larger axis), and whether the
// transform keeps angles (a uniform scale, rotation allowed), computed as the engine does.
double engineScale(const QTransform& t, bool* keepsAngles)
{
    const QTransform::TransformationType type = t.type();
    if (type <= QTransform::TxTranslate) {
        *keepsAngles = true;
        return 1.0;
    }
    if (type == QTransform::TxScale) {
        const double sx = std::abs(t.m11());
        const double sy = std::abs(t.m22());
        *keepsAngles = qFuzzyCompare(sx, sy);
        return std::max(sx, sy);
    }
    const double columnX = t.m11() * t.m11() + t.m21() * t.m21();
    const double columnY = t.m12() * t.m12() + t.m22() * t.m22();
    const double rowX = t.m11() * t.m11() + t.m12() * t.m12();
    const double rowY = t.m21() * t.m21() + t.m22() * t.m22();
    const bool byColumns = std::abs(columnX - columnY) > std::abs(rowX - rowY);
    const double a = byColumns ? columnX : rowX;
    const double b = byColumns ? columnY : rowY;
    *keepsAngles = type == QTransform::TxRotate && qFuzzyCompare(a, b);
    return std::sqrt(std::max(a, b));
}

} // namespace

QPen penFor(const CanvasPath& path, const QBrush& brush, const QPainter& painter)
{
    const double width = path.lineWidth();
    const Qt::PenCapStyle cap = path.lineCap() == LineCap::Round ? Qt::RoundCap
        : path.lineCap() == LineCap::Square                      ? Qt::SquareCap
                                                                 : Qt::FlatCap;
    // The SVG-style miter bevels where the miter would reach past the limit times half the width,
    // as strokeReach counts; Qt's own miter join would reach twice as far.
    const Qt::PenJoinStyle join = path.lineJoin() == LineJoin::Round ? Qt::RoundJoin
        : path.lineJoin() == LineJoin::Bevel                         ? Qt::BevelJoin
                                                                     : Qt::SvgMiterJoin;
    QPen pen(brush, width, Qt::SolidLine, cap, join);
    pen.setMiterLimit(path.miterLimit());
    pen.setCosmetic(width <= 0);
    if (!path.isDashed())
        return pen;
    // Qt measures dashes in pen widths, except for lines it draws one device pixel thick: a
    // hairline, and on the raster engine a pen at most one device pixel wide under a transform
    // that keeps angles (or without antialiasing). Those it measures in device pixels, so a
    // half-unit-wide dashed line would otherwise get dashes twice as long.
    const QTransform toDevice = painter.deviceTransform();
    bool keepsAngles = false;
    const double thickScale = engineScale(toDevice, &keepsAngles);
    const QPaintEngine* engine = painter.paintEngine();
    const bool raster = engine && engine->type() == QPaintEngine::Raster;
    const bool onePixel = width <= 0
        || (raster && width * thickScale <= 1
            && (keepsAngles || !painter.testRenderHint(QPainter::Antialiasing)));
    double unit = width;
    if (onePixel) {
        const double pixelsPerUnit = keepsAngles ? thickScale : std::sqrt(std::abs(toDevice.determinant()));
        unit = pixelsPerUnit > 0 && std::isfinite(pixelsPerUnit) ? 1.0 / pixelsPerUnit : 1.0;
    }
    double cycle = 0;
    for (double length : path.dashPattern())
        cycle += length;
    if (!(path.painterPath().length() / cycle <= kMaxDashesPerStroke))
        return pen;
    QList<qreal> pattern;
    for (double length : path.dashPattern())
        pattern.append(std::max(length / unit, 1e-3)); // zero-length dashes still show their caps
    pen.setDashPattern(pattern);
    pen.setDashOffset(path.dashPhase() / unit);
    return pen;
}

QPainter::CompositionMode qtCompositionMode(CompositionMode mode)
{
    switch (mode) {
    case CompositionMode::SourceOver:
        return QPainter::CompositionMode_SourceOver;
    case CompositionMode::PlusDarker:
        return QPainter::CompositionMode_Multiply;
    case CompositionMode::PlusLighter:
        return QPainter::CompositionMode_Plus;
    case CompositionMode::Multiply:
        return QPainter::CompositionMode_Multiply;
    case CompositionMode::Screen:
        return QPainter::CompositionMode_Screen;
    case CompositionMode::Overlay:
        return QPainter::CompositionMode_Overlay;
    case CompositionMode::Darken:
        return QPainter::CompositionMode_Darken;
    case CompositionMode::Lighten:
        return QPainter::CompositionMode_Lighten;
    case CompositionMode::ColorDodge:
        return QPainter::CompositionMode_ColorDodge;
    case CompositionMode::ColorBurn:
        return QPainter::CompositionMode_ColorBurn;
    case CompositionMode::HardLight:
        return QPainter::CompositionMode_HardLight;
    case CompositionMode::SoftLight:
        return QPainter::CompositionMode_SoftLight;
    case CompositionMode::Difference:
        return QPainter::CompositionMode_Difference;
    case CompositionMode::Exclusion:
        return QPainter::CompositionMode_Exclusion;
    case CompositionMode::Copy:
        return QPainter::CompositionMode_Source;
    case CompositionMode::Clear:
        return QPainter::CompositionMode_Clear;
    case CompositionMode::SourceIn:
        return QPainter::CompositionMode_SourceIn;
    case CompositionMode::SourceOut:
        return QPainter::CompositionMode_SourceOut;
    case CompositionMode::SourceAtop:
        return QPainter::CompositionMode_SourceAtop;
    case CompositionMode::DestinationOver:
        return QPainter::CompositionMode_DestinationOver;
    case CompositionMode::DestinationIn:
        return QPainter::CompositionMode_DestinationIn;
    case CompositionMode::DestinationOut:
        return QPainter::CompositionMode_DestinationOut;
    case CompositionMode::DestinationAtop:
        return QPainter::CompositionMode_DestinationAtop;
    case CompositionMode::Xor:
        return QPainter::CompositionMode_Xor;
    }
    return QPainter::CompositionMode_SourceOver;
}

bool supportsMode(QPainter& painter, QPainter::CompositionMode mode)
{
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine)
        return false;
    // Qt numbers the Porter-Duff modes first and the blend modes after them.
    const bool blend = mode >= QPainter::CompositionMode_Plus && mode <= QPainter::CompositionMode_Exclusion;
    return engine->hasFeature(blend ? QPaintEngine::BlendModes : QPaintEngine::PorterDuff);
}

double offscreenResolution(const QRect& area, CanvasTarget target, QPainter& painter)
{
    double resolution = 1.0;
    // Vector output is measured in fine device units; 300 per inch is enough for the soft
    // and translucent parts that have to become bitmaps.
    if (target == CanvasTarget::Pdf || target == CanvasTarget::Printer) {
        const int dpi = painter.device()->logicalDpiX();
        if (dpi > 300)
            resolution = 300.0 / dpi;
    }
    const double pixels = double(area.width()) * area.height() * resolution * resolution;
    if (pixels > double(PainterCanvas::kMaxOffscreenPixels))
        resolution *= std::sqrt(double(PainterCanvas::kMaxOffscreenPixels) / pixels);
    return resolution;
}

QImage newTransparentImage(const QRect& area, double resolution)
{
    if (area.isEmpty() || !(resolution > 0))
        return QImage();
    const QSize size(std::max(1, int(std::ceil(area.width() * resolution))),
        std::max(1, int(std::ceil(area.height() * resolution))));
    if (qint64(size.width()) * size.height() > PainterCanvas::kMaxOffscreenPixels)
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (!image.isNull())
        image.fill(Qt::transparent);
    return image;
}

void blendPlusDarker(QImage& destination, const QPoint& at, const QImage& source)
{
    const QRect area = QRect(at, source.size()).intersected(destination.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* from
            = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y())) + (area.left() - at.x());
        auto* to = reinterpret_cast<QRgb*>(destination.scanLine(y)) + area.left();
        for (int x = 0; x < area.width(); ++x) {
            const int sa = qAlpha(from[x]);
            if (sa == 0)
                continue;
            const int da = qAlpha(to[x]);
            // Darkness (alpha minus colour) adds up, limited by the covered alpha.
            const int ra = sa + da - (sa * da + 127) / 255;
            auto channel = [&](int s, int d) { return std::max(0, ra - ((sa - s) + (da - d))); };
            to[x] = qRgba(channel(qRed(from[x]), qRed(to[x])), channel(qGreen(from[x]), qGreen(to[x])),
                channel(qBlue(from[x]), qBlue(to[x])), ra);
        }
    }
}

} // namespace zandrel::canvas_support
