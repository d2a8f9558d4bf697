#include "graphics/ArrayUtils.h"

#include "charmodel/BlurGroupCollector.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Group.h"
#include "graphics/BandedRendering.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <cmath>
#include <vector>

namespace zandrel {

namespace {

// Flattening with an explicit stack rather than recursion, so that a very deep tree read from a
// file cannot exhaust the call stack. open() answers the children that replace a member, or
// nothing when the member stays; keep() says whether a member that stays is kept at all.
template <class Open, class Keep> ElementList flatten(const ElementList& elements, Open open, Keep keep)
{
    ElementList result;
    std::vector<ObjectPtr> pending(elements.crbegin(), elements.crend());
    while (!pending.empty()) {
        ObjectPtr member = std::move(pending.back());
        pending.pop_back();
        if (!member || !keep(member))
            continue;
        bool replaced = false;
        const ElementList opened = open(member, replaced);
        if (!replaced)
            result.append(member);
        pending.insert(pending.end(), opened.crbegin(), opened.crend());
    }
    return result;
}

void drawAll(const ElementList& elements, ZDLContext& context)
{
    for (const ObjectPtr& member : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(member))
            graphic->drawIn(context);
    }
}

} // namespace

QRectF ArrayUtils::unionOfBounds(const ElementList& elements, QRectF (GraphicElement::*bounds)() const)
{
    QRectF result;
    for (const ObjectPtr& member : elements) {
        if (const auto* graphic = asProtocol<GraphicElement>(member))
            result = unionRect(result, (graphic->*bounds)());
    }
    return result;
}

QRectF ArrayUtils::getElementsBounds(const ElementList& elements)
{
    return unionOfBounds(elements, &GraphicElement::getBounds);
}

QRectF ArrayUtils::getElementsVisualBounds(const ElementList& elements)
{
    return unionOfBounds(elements, &GraphicElement::getVisualBounds);
}

QRectF ArrayUtils::getElementsInvalidationBounds(const ElementList& elements)
{
    return unionOfBounds(elements, &GraphicElement::getInvalidationBounds);
}

QRectF ArrayUtils::getElementsFilteredBounds(const ElementList& elements)
{
    return unionOfBounds(elements, &GraphicElement::getFilteredBounds);
}

QRectF ArrayUtils::getElementsGeometryBounds(const ElementList& elements)
{
    return unionOfBounds(elements, &GraphicElement::getGeometryBounds);
}

QPointF ArrayUtils::getElementsCenter(const ElementList& elements)
{
    const QRectF r = getElementsBounds(elements);
    return QPointF(r.x() + r.width() / 2, r.y() + r.height() / 2);
}

ElementList ArrayUtils::flattenComicElementsArray(const ElementList& elements)
{
    // Balloon groups are groups too.
    return flatten(
        elements,
        [](const ObjectPtr& member, bool& replaced) {
            const auto* group = dynamic_cast<const Group*>(member.get());
            replaced = group != nullptr;
            return group ? group->children() : ElementList();
        },
        [](const ObjectPtr&) { return true; });
}

ElementList ArrayUtils::flattenPartElementsArray(const ElementList& elements)
{
    return flatten(
        elements,
        [](const ObjectPtr& member, bool& replaced) {
            const auto* group = dynamic_cast<const PartGroup*>(member.get());
            replaced = group != nullptr;
            return group ? group->children() : ElementList();
        },
        [](const ObjectPtr& member) {
            const auto* graphic = asProtocol<GraphicElement>(member);
            return !graphic || graphic->visible();
        });
}

ElementList ArrayUtils::flattenContainedPathsArray(const ElementList& elements)
{
    return flatten(
        elements,
        [](const ObjectPtr& member, bool& replaced) {
            if (const auto* group = dynamic_cast<const PartGroup*>(member.get())) {
                replaced = true;
                return group->children();
            }
            replaced = false;
            // A path stays and is followed by its children; paths are known by their archived
            // class, so that this needs nothing of the path class itself.
            const auto* container = asProtocol<Parent>(member);
            if (container && isKindOfClassNamed(member.get(), PartPath::kClassName))
                return container->children();
            return ElementList();
        },
        [](const ObjectPtr&) { return true; });
}

bool ArrayUtils::object(const ObjectPtr& a, const ObjectPtr& b)
{
    const auto* first = asProtocol<GraphicElement>(a);
    const auto* second = asProtocol<GraphicElement>(b);
    if (!first || !second || !intersectsRect(first->getVisualBounds(), second->getVisualBounds()))
        return false;
    const QList<QRectF> secondRects = second->getBoundsOfPaths();
    for (const QRectF& r : first->getBoundsOfPaths()) {
        for (const QRectF& s : secondRects) {
            if (intersectsRect(r, s))
                return true;
        }
    }
    return false;
}

const Object* ArrayUtils::getAncestorOfClassNamed(const ModelElement* element, const QString& className)
{
    constexpr int kMaxDepth = 100000;
    const ModelElement* link = element;
    for (int depth = 0; link && depth < kMaxDepth; ++depth) {
        Parent* ancestor = link->parent();
        const auto* object = dynamic_cast<const Object*>(ancestor);
        if (!object)
            return nullptr;
        if (isKindOfClassNamed(object, className))
            return object;
        link = dynamic_cast<const ModelElement*>(ancestor);
    }
    return nullptr;
}

bool ArrayUtils::isKindOfClassNamed(const Object* object, const QString& className)
{
    return object && ClassRegistry::shared().isKindOf(object->className(), className);
}

QImage ArrayUtils::getImageForElements(const ElementList& elements, float scale)
{
    const QRectF r = integralRect(getElementsFilteredBounds(elements));
    // At scale 2 the image is exactly twice the one at scale 1, whatever rounding would give.
    const bool doubled = scale == 2.0f;
    const double width = doubled ? 2 * std::ceil(r.width()) : std::ceil(r.width() * scale);
    const double height = doubled ? 2 * std::ceil(r.height()) : std::ceil(r.height() * scale);
    // A size beyond what a bitmap can hold is refused here rather than wrapped into an int.
    if (!(width <= OffscreenImage::kMaxSide && height <= OffscreenImage::kMaxSide))
        return QImage();
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    // The bitmap is y-down already, so r's top-left goes to the origin without a flip. Large
    // images are drawn in bands on every core.
    const QTransform toPixels
        = QTransform::fromTranslate(-r.x(), -r.y()) * QTransform::fromScale(scale, scale);
    return BandedRendering::render(
        size, toPixels, scale, r, [&](ZDLContext& context, const QRectF&) { drawAll(elements, context); });
}

QImage ArrayUtils::getNSImageForElements(const ElementList& elements, float scale)
{
    if (elements.isEmpty())
        return QImage();
    const QRectF r = getElementsFilteredBounds(elements);
    if (isEmptyRect(r))
        return QImage();
    OffscreenImage image(OffscreenImage::pixelSizeFor(r.size(), scale));
    Canvas* canvas = image.canvas();
    if (!canvas)
        return QImage();
    CanvasScope current(canvas);
    ZDLContext context(scale);
    context.saveState();
    canvas->translate(-r.x() * scale, -r.y() * scale);
    canvas->scale(scale, scale);
    drawAll(elements, context);
    context.restoreState();
    return image.takeImage();
}

void ArrayUtils::drawPartElements(const ElementList& elements, ZDLContext& context)
{
    const ElementList flat = flattenPartElementsArray(elements);
    collectBlurGroups(flat, context);
    drawAll(flat, context);
}

void ArrayUtils::collectBlurGroups(const ElementList& flatElements, ZDLContext& context)
{
    BlurGroupCollector collector(context);
    for (const ObjectPtr& member : flatElements)
        collector.collect(member);
    collector.flush();
}

} // namespace zandrel
