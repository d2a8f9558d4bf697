#include "charmodel/MaskingPath.h"

#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicManipulator.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <QSet>
#include <cmath>

namespace zandrel {

MaskingPath::MaskingPath(const MaskingPath& other) = default;

std::shared_ptr<MaskingPath> MaskingPath::initByCopying(const MaskingPath& other)
{
    return std::make_shared<MaskingPath>(other);
}

ObjectPtr MaskingPath::initByCopying() const
{
    return initByCopying(*this);
}

QString MaskingPath::className() const
{
    return kClassName;
}

void MaskingPath::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(archivedCurves(), kSegmentsArchiveKey);
}

ObjectPtr MaskingPath::initWithCoder(KeyedUnarchiver& coder)
{
    const ElementList decoded = zdlDecodeElementsOfClasses(coder, { Curve::kClassName }, kSegmentsArchiveKey);
    // A curve named twice would be edited twice by every move and drawn twice: it is kept once.
    QSet<const Object*> seen;
    ValueList curves;
    for (const ObjectPtr& object : decoded) {
        if (!seen.contains(object.get())) {
            seen.insert(object.get());
            curves.append(Value(object));
        }
    }
    takeCurves(decodedCurves(coder, curves));
    resetVisibility();
    return shared_from_this();
}

CanvasPath MaskingPath::createCGPath() const
{
    CanvasPath path = createCGPathFromDrawCommands(getDrawCommands());
    path.setWindingRule(WindingRule::EvenOdd);
    return path;
}

void MaskingPath::flushCache()
{
}

void MaskingPath::flushCachesUsingColor()
{
}

void MaskingPath::flushCachedImage()
{
    // The part holding the image keeps a bitmap of it clipped by this outline.
    GraphicElementBase::flushCachedImage();
}

void MaskingPath::changeSegments(const std::function<void()>& change)
{
    change();
    flushCachedImage();
}

bool MaskingPath::validateData()
{
    return true;
}

void MaskingPath::offsetBy(const QPointF& delta, bool /*directly*/)
{
    offsetCurves(delta);
    flushCachedImage();
}

void MaskingPath::transformBy(const QTransform& transform)
{
    transformCurves(transform);
    flushCachedImage();
}

void MaskingPath::recordGeometry(GeometryRecord& record) const
{
    recordCurves(record);
}

void MaskingPath::restoreGeometry(GeometryReader& reader)
{
    restoreCurves(reader);
    flushCachedImage();
}

void MaskingPath::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    perspectiveTransformCurves(source, quad);
}

void MaskingPath::drawIn(ZDLContext& context)
{
    Canvas* canvas = context.canvas();
    if (!visible() || !canvas)
        return;
    CanvasPath path = createCGPath();
    // One screen point at every zoom; a scale that cannot divide gives the thinnest device line.
    const float scale = context.scale();
    path.setLineWidth(scale > 0.0f && std::isfinite(scale) ? 1.0f / scale : 0.0);
    canvas->save();
    canvas->strokePath(path, CanvasPaint(outlineColor()));
    canvas->restore();
}

bool MaskingPath::containsPt(const QPointF& point, float /*viewScale*/) const
{
    return createCGPath().contains(point);
}

void MaskingPath::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    if (notice == GraphicNotice::ApplyManipulator && object)
        object->manipulate(*this);
}

QRectF MaskingPath::getBoundsIgnoringVisibility() const
{
    return unionOfCurves(&Curve::getBounds);
}

QRectF MaskingPath::getInvalidationBounds() const
{
    return insetRect(getBounds(), -kInvalidationMargin, -kInvalidationMargin);
}

QRectF MaskingPath::getGeometryBounds() const
{
    return unionOfCurves(&Curve::getGeometryBounds);
}

void registerMaskingPathClasses(ClassRegistry& registry)
{
    registry.registerClass<MaskingPath>(MaskingPath::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
