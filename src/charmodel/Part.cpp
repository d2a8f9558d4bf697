#include "charmodel/Part.h"

#include "charmodel/PartElement.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GraphicManipulator.h"
#include "graphics/GraphicUtils.h"
#include "graphics/ImageCache.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// Parent links are set only by adoption, which refuses cycles; the bound guards the walks anyway.
constexpr int kMaxAncestorDepth = 100000;

const Object* ancestorOfClassNamed(const ModelElement* element, const QString& className)
{
    const ModelElement* link = element;
    for (int depth = 0; link && depth < kMaxAncestorDepth; ++depth) {
        Parent* ancestor = link->parent();
        const auto* object = dynamic_cast<const Object*>(ancestor);
        if (!object)
            return nullptr;
        if (ArrayUtils::isKindOfClassNamed(object, className))
            return object;
        link = dynamic_cast<const ModelElement*>(ancestor);
    }
    return nullptr;
}

// The walk shared by the mark-scaling operations: children first, then the path itself.
void scaleMarks(const ObjectPtr& element, float factor, bool lineWeights, bool blurs, int depth)
{
    if (!element || depth > kMaxAncestorDepth)
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
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<Part>("visible", &Part::visible, &Part::setVisible),
            property<Part>("partType", &Part::partType, &Part::setPartType),
            property<Part>("origin", &Part::origin, &Part::setOrigin),
            property<Part>("hasOrigin", &Part::hasOrigin, &Part::setHasOrigin),
        });
    return table;
}

Part::Part() = default;

Part::Part(const ObjectPtr& characterModel)
    : m_model(characterModel)
{
}

Part::Part(const Part& other)
    : Object(other)
    , m_parent(other.m_parent)
    , m_model(other.m_model)
    , m_characterId(other.m_characterId)
    , m_origin(other.m_origin)
    , m_hasOrigin(other.m_hasOrigin)
    , m_partType(other.m_partType)
{
    m_elements.reserve(other.m_elements.size());
    for (const ObjectPtr& child : other.m_elements) {
        ObjectPtr copy = asProtocol<GraphicElement>(child)->initByCopying();
        if (auto* element = asProtocol<GraphicElement>(copy)) {
            element->setParent(this);
            m_elements.append(std::move(copy));
        }
    }
}

Part::~Part()
{
    for (const ObjectPtr& child : m_elements) {
        auto* element = asProtocol<ModelElement>(child);
        if (element && element->parent() == this)
            element->setParent(nullptr);
    }
}

ObjectPtr Part::initByCopying() const
{
    return std::make_shared<Part>(*this);
}

QString Part::className() const
{
    return QStringLiteral("Part");
}

// --- Archiving ---

void Part::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList elements;
    elements.reserve(m_elements.size());
    for (const ObjectPtr& child : m_elements)
        elements.append(Value(child));
    coder.encodeObject(Value(elements), QStringLiteral("elements"));
    coder.encodeInteger(m_partType, QStringLiteral("type"));
    encodePivot(coder, m_hasOrigin, m_origin);
    if (const ObjectPtr model = m_model.lock())
        coder.encodeObject(model, QStringLiteral("model"));
    encodeCharacterIdForPasteboard(coder, model());
}

ObjectPtr Part::initWithCoder(KeyedUnarchiver& coder)
{
    const ElementList decoded
        = zdlDecodeElementsOfClasses(coder, partElementMemberClasses(), QStringLiteral("elements"));
    m_elements = adoptDecodedElements(coder, decoded, this);

    const qint64 type = coder.decodeIntegerForKey(QStringLiteral("type"));
    m_partType = static_cast<int>(
        std::clamp<qint64>(type, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));

    m_origin = QPointF();
    m_hasOrigin = decodePivot(coder, m_origin);

    decodeCharacterLink(coder, m_model, m_characterId);
    m_visible = true;

    const auto scaleForKey = [&coder](const QString& key) {
        return coder.containsValueForKey(key) ? coder.decodeFloatForKey(key) : 1.0f;
    };
    applyLegacyScale(scaleForKey(QStringLiteral("hScale")), scaleForKey(QStringLiteral("vScale")));
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
    for (qsizetype i = m_elements.size() - 1; i >= 0; --i) {
        if (!asProtocol<GraphicElement>(m_elements.at(i))->validateData()) {
            m_elements.removeAt(i);
            zdlLog(QStringLiteral("Part validateData removing a part element"));
        }
    }
    return !m_elements.isEmpty();
}

ObjectPtr Part::convertToPartElement()
{
    if (m_elements.size() == 1) {
        ObjectPtr only = m_elements.first();
        asProtocol<ModelElement>(only)->setParent(nullptr);
        return only;
    }
    auto group = std::make_shared<PartGroup>();
    group->setChildren(m_elements);
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
    if (m_partType == 0)
        return localized("Part");
    return localized("Part (%@)").replace(QStringLiteral("%@"), singularNameForType(m_partType));
}

QImage Part::pathIcon() const
{
    static const QImage icon(QStringLiteral(":/images/path_part.png"));
    return icon;
}

// --- Pivot ---

QPointF Part::origin() const
{
    return m_hasOrigin ? m_origin : centerOfRect(getBoundsIgnoringVisibility());
}

void Part::setOrigin(const QPointF& origin)
{
    m_origin = origin;
    m_hasOrigin = true;
}

QPointF Part::appliedOrigin() const
{
    return origin();
}

QPointF Part::getCenter() const
{
    if (m_elements.isEmpty())
        return QPointF();
    QRectF bounds;
    for (const ObjectPtr& child : m_elements)
        bounds = unionRect(bounds, asProtocol<GraphicElement>(child)->getGeometryBounds());
    return centerOfRect(bounds);
}

// --- Links ---

Object* Part::model() const
{
    if (const ObjectPtr stored = m_model.lock())
        return stored.get();
    return const_cast<Object*>(ancestorOfClassNamed(this, QStringLiteral("CharacterModel")));
}

void Part::setModel(const ObjectPtr& model)
{
    m_model = model;
}

// --- Children ---

ElementList Part::children() const
{
    return m_elements;
}

ElementList Part::flattenedChildren() const
{
    return ArrayUtils::flattenPartElementsArray(m_elements);
}

std::size_t Part::numChildren() const
{
    return static_cast<std::size_t>(m_elements.size());
}

ObjectPtr Part::getChildAtIndex(std::size_t index) const
{
    if (index >= static_cast<std::size_t>(m_elements.size()))
        return nullptr;
    return m_elements.at(static_cast<qsizetype>(index));
}

bool Part::hasChild(const Object* element) const
{
    return element && std::any_of(m_elements.cbegin(), m_elements.cend(), [element](const ObjectPtr& child) {
        return child.get() == element;
    });
}

ElementList Part::adoptable(const ElementList& elements)
{
    ElementList kept;
    kept.reserve(elements.size());
    for (const ObjectPtr& child : elements) {
        auto* element = asProtocol<GraphicElement>(child);
        if (!element)
            continue;
        // Taking the part itself or one of its containers in would make every walk endless.
        bool cycle = false;
        const Object* link = this;
        for (int depth = 0; link && !cycle && depth < kMaxAncestorDepth; ++depth) {
            cycle = link == child.get();
            const auto* linked = dynamic_cast<const ModelElement*>(link);
            link = linked ? dynamic_cast<const Object*>(linked->parent()) : nullptr;
        }
        if (!cycle) {
            element->setParent(this);
            kept.append(child);
        }
    }
    return kept;
}

void Part::setChildren(const ElementList& children)
{
    m_elements = adoptable(children);
}

void Part::addPartElement(const ObjectPtr& element)
{
    m_elements.append(adoptable({ element }));
}

ObjectPtr Part::getChildAt(const QPointF& point, float viewScale) const
{
    return Parent::getChildAt(point, viewScale);
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
    if (m_visible)
        imageCache().drawAndOrCache(m_elements, context);
}

bool Part::cacheIfNeededAtScale(float scale)
{
    return m_visible && imageCache().cacheIfNeeded(m_elements, scale);
}

void Part::flushCachedImage()
{
    if (!m_protectCachedImage)
        m_cachedImage.reset();
}

void Part::flushCachesUsingColor()
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->flushCachesUsingColor();
    m_cachedImage.reset();
}

void Part::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    GraphicElement::notifyAllGraphicsOf(notice, object);
    if (notice == GraphicNotice::ParentChanged || notice == GraphicNotice::FlushCachedImages)
        flushCachedImage();
}

// --- Hit testing and overlap ---

bool Part::containsPt(const QPointF& point, float viewScale) const
{
    return std::any_of(m_elements.cbegin(), m_elements.cend(), [&](const ObjectPtr& child) {
        return asProtocol<GraphicElement>(child)->containsPt(point, viewScale);
    });
}

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
    QList<ObjectPtr> pending(m_elements.crbegin(), m_elements.crend());
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

void Part::offsetBy(const QPointF& delta, bool /*directly*/)
{
    // The drawing moves unchanged, so the bitmap stays whatever flushes the elements send up.
    m_protectCachedImage = true;
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->offsetBy(delta, false);
    if (m_hasOrigin)
        m_origin += delta;
    m_protectCachedImage = false;
}

void Part::transformBy(const QTransform& transform)
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->transformBy(transform);
    if (m_hasOrigin)
        m_origin = transform.map(m_origin);
}

void Part::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->perspectiveTransformFrom(source, quad);
    if (m_hasOrigin)
        m_origin = mapPointIntoQuad(quad.data(), source, m_origin);
}

// --- Bounds ---

QRectF Part::getBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getBounds) : QRectF();
}

QRectF Part::getBoundsIgnoringVisibility() const
{
    return ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getBoundsIgnoringVisibility);
}

QRectF Part::getVisualBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getVisualBounds) : QRectF();
}

QRectF Part::getInvalidationBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getInvalidationBounds) : QRectF();
}

QRectF Part::getGeometryBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getGeometryBounds) : QRectF();
}

QRectF Part::getFilteredBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getFilteredBounds) : QRectF();
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
    registry.registerClass<Part>(QStringLiteral("Part"), QStringLiteral("NSObject"));
}

} // namespace zandrel
