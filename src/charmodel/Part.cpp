#include "charmodel/Part.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicManipulator.h"
#include "graphics/GraphicUtils.h"
#include "graphics/ImageCache.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// Archive keys before those of the placement, and the scales of files from before they were folded
// into the geometry.
const QString kElementsArchiveKey = QStringLiteral("elements");
const QString kLegacyHScaleArchiveKey = QStringLiteral("hScale");
const QString kLegacyVScaleArchiveKey = QStringLiteral("vScale");

// Element trees are built only by adoption, which refuses cycles; the bound guards the walk anyway.
constexpr int kMaxTreeDepth = 100000;

// The walk shared by the mark-scaling operations: children first, then the path itself.
void scaleMarks(const ObjectPtr& element, float factor, bool lineWeights, bool blurs, int depth)
{
    if (!element || depth > kMaxTreeDepth)
        return;
    if (const auto* container = asProtocol<Parent>(element)) {
        for (const ObjectPtr& child : container->children())
            scaleMarks(child, factor, lineWeights, blurs, depth + 1);
    }
    if (auto* path = dynamic_cast<PartPath*>(element.get())) {
        if (lineWeights)
            path->setLineWeight(path->lineWeight() * factor);
        if (blurs)
            path->setBlur(path->blur() * factor);
    }
}

} // namespace

const PropertyTable& Part::staticPropertyTable()
{
    static const PropertyTable table(&PartContainer::staticPropertyTable(), placementProperties<Part>());
    return table;
}

Part::Part(const ObjectPtr& characterModel)
{
    setModel(characterModel);
}

Part::Part(const Part& other)
    : PartContainer(other)
    , ComicGraphicElementState(other)
{
    setParent(other.parent());
}

ObjectPtr Part::initByCopying() const
{
    return std::make_shared<Part>(*this);
}

QString Part::className() const
{
    return kClassName;
}

// --- Archiving ---

void Part::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeChildren(coder, kElementsArchiveKey);
    encodePlacement(coder);
}

ObjectPtr Part::initWithCoder(KeyedUnarchiver& coder)
{
    decodeChildren(coder, kElementsArchiveKey);
    decodePlacement(coder);
    resetVisibility();

    const auto scaleForKey = [&coder](const QString& key) {
        return coder.containsValueForKey(key) ? coder.decodeFloatForKey(key) : 1.0f;
    };
    applyLegacyScale(scaleForKey(kLegacyHScaleArchiveKey), scaleForKey(kLegacyVScaleArchiveKey));
    return shared_from_this();
}

void Part::applyLegacyScale(float hScale, float vScale)
{
    // A scale that is not a number would turn every coordinate into NaN; it is taken as no scale.
    if (!std::isfinite(hScale))
        hScale = 1.0f;
    if (!std::isfinite(vScale))
        vScale = 1.0f;
    if (hScale == 1.0f && vScale == 1.0f)
        return;
    const QPointF c = getCenter();
    QTransform transform;
    transform.translate(c.x(), c.y());
    transform.scale(hScale, vScale);
    transform.translate(-c.x(), -c.y());
    transformBy(transform);
    // A mirrored part keeps its line weights: only the size of the scale counts.
    scaleMarksIn(shared_from_this(), std::fabs(hScale));
}

bool Part::validateData()
{
    m_children.removeInvalid(QStringLiteral("Part validateData removing a part element"));
    return !m_children.isEmpty();
}

ObjectPtr Part::convertToPartElement()
{
    if (m_children.size() == 1) {
        ObjectPtr only = m_children.at(0);
        asProtocol<ModelElement>(only)->setParent(nullptr);
        return only;
    }
    auto group = std::make_shared<PartGroup>();
    group->setChildren(m_children.items());
    return group;
}

// --- Names ---

QString Part::singularNameForType(PartType type)
{
    return PartTypes::singularNameForType(type);
}

QString Part::pluralNameForType(PartType type)
{
    return PartTypes::pluralNameForType(type);
}

const QList<PartType>& Part::displayOrder()
{
    return PartTypes::displayOrder();
}

QString Part::displayName() const
{
    if (partType() == 0)
        return localized("Part");
    return localized("Part (%@)").replace(QStringLiteral("%@"), singularNameForType(partType()));
}

QImage Part::pathIcon() const
{
    static const QImage icon(QStringLiteral(":/images/path_part.png"));
    return icon;
}

// --- Pivot ---

QPointF Part::defaultOrigin() const
{
    return centerOfRect(getBoundsIgnoringVisibility());
}

QPointF Part::appliedOrigin() const
{
    return origin();
}

QPointF Part::getCenter() const
{
    if (m_children.isEmpty())
        return QPointF();
    QRectF bounds;
    for (const GraphicElement* child : m_children.graphics())
        bounds = unionRect(bounds, child->getGeometryBounds());
    return centerOfRect(bounds);
}

// --- Links ---

Object* Part::model() const
{
    if (Object* linked = linkedModel())
        return linked;
    return const_cast<Object*>(ArrayUtils::getAncestorOfClassNamed(this, CharacterModel::kClassName));
}

// --- Children ---

void Part::setChildren(const ElementList& children)
{
    adoptChildren(children);
}

// --- Drawing and caching ---

ImageCache& Part::imageCache()
{
    if (!m_cachedImage)
        m_cachedImage = std::make_shared<ImageCache>();
    return *m_cachedImage;
}

void Part::drawIn(ZDLContext& context)
{
    if (!visible())
        return;
    // On screen the part shows through its bitmap, which holds its filtered bounds; an export
    // leaves it to each path, whose miter joins may reach further.
    if (!context.exporting() && !context.canShow(getFilteredBounds()))
        return;
    imageCache().drawAndOrCache(m_children.items(), context);
}

bool Part::cacheIfNeededAtScale(float scale)
{
    return visible() && imageCache().cacheIfNeeded(m_children.items(), scale);
}

quint64 Part::nextRenderingStamp()
{
    // Parts are made on loading threads too.
    static std::atomic<quint64> counter { 0 };
    return ++counter;
}

void Part::flushCachedImage()
{
    if (m_protectCachedImage)
        return;
    m_cachedImage.reset();
    m_renderingStamp = nextRenderingStamp();
}

void Part::flushCachesUsingColor()
{
    PartContainer::flushCachesUsingColor();
    m_cachedImage.reset();
    m_renderingStamp = nextRenderingStamp();
}

void Part::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    GraphicElement::notifyAllGraphicsOf(notice, object);
    if (notice == GraphicNotice::ParentChanged || notice == GraphicNotice::FlushCachedImages)
        flushCachedImage();
}

// --- Hit testing and overlap ---

QList<QRectF> Part::getBoundsOfPaths() const
{
    QList<QRectF> rects;
    for (const ObjectPtr& path : getTopLevelPaths())
        rects.append(asProtocol<GraphicElement>(path)->getVisualBounds());
    return rects;
}

ElementList Part::getTopLevelPaths() const
{
    ElementList paths;
    // An explicit stack keeps a deeply nested file from exhausting the call stack.
    const ElementList& elements = m_children.items();
    QList<ObjectPtr> pending(elements.crbegin(), elements.crend());
    while (!pending.isEmpty()) {
        const ObjectPtr element = pending.takeLast();
        if (const auto* group = dynamic_cast<const PartGroup*>(element.get())) {
            const ElementList members = group->children();
            for (auto it = members.crbegin(); it != members.crend(); ++it)
                pending.append(*it);
        } else {
            paths.append(element);
        }
    }
    return paths;
}

bool Part::overlaps(const GraphicElement& other) const
{
    if (!intersectsRect(getVisualBounds(), other.getVisualBounds()))
        return false;
    const QList<QRectF> otherRects = other.getBoundsOfPaths();
    for (const QRectF& r : getBoundsOfPaths()) {
        for (const QRectF& s : otherRects) {
            if (intersectsRect(r, s))
                return true;
        }
    }
    return false;
}

// --- Moving and transforming ---

void Part::offsetBy(const QPointF& delta, bool directly)
{
    // The drawing moves unchanged, so the bitmap stays whatever flushes the elements send up.
    m_protectCachedImage = true;
    PartContainer::offsetBy(delta, directly);
    moveOrigin([&](const QPointF& origin) { return origin + delta; });
    m_protectCachedImage = false;
    // Drawings of the part kept elsewhere hold its place too.
    m_renderingStamp = nextRenderingStamp();
}

void Part::transformBy(const QTransform& transform)
{
    PartContainer::transformBy(transform);
    moveOrigin([&](const QPointF& origin) { return transform.map(origin); });
}

void Part::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    PartContainer::perspectiveTransformFrom(source, quad);
    moveOrigin([&](const QPointF& origin) { return mapPointIntoQuad(quad.data(), source, origin); });
}

void Part::recordGeometry(GeometryRecord& record) const
{
    PartContainer::recordGeometry(record);
    recordOrigin(record);
}

void Part::restoreGeometry(GeometryReader& reader)
{
    // Unlike a move, this may undo a transform: the bitmap goes with whatever the elements flush.
    PartContainer::restoreGeometry(reader);
    restoreOrigin(reader);
}

// --- Element trees ---

void Part::scaleMarksIn(const ObjectPtr& element, float factor)
{
    scaleMarks(element, factor, true, true, 0);
}

void Part::scaleLineWeightsIn(const ObjectPtr& element, float factor)
{
    scaleMarks(element, factor, true, false, 0);
}

void Part::scaleBlursIn(const ObjectPtr& element, float factor)
{
    scaleMarks(element, factor, false, true, 0);
}

void registerPartClasses(ClassRegistry& registry)
{
    registry.registerClass<Part>(Part::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
