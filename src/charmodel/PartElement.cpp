#include "charmodel/PartElement.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/PartGroup.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <QHash>
#include <QSet>
#include <cmath>

namespace zandrel {

const PropertyTable& PartElement::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<PartElement>("visible", &PartElement::visible, &PartElement::setVisible),
        });
    return table;
}

PartElement::PartElement(const PartElement& other)
    : Object(other)
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

PartElement::~PartElement()
{
    for (const ObjectPtr& child : m_elements) {
        auto* element = asProtocol<ModelElement>(child);
        if (element && element->parent() == this)
            element->setParent(nullptr);
    }
}

QString PartElement::className() const
{
    return QStringLiteral("PartElement");
}

void PartElement::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList children;
    children.reserve(m_elements.size());
    for (const ObjectPtr& child : m_elements)
        children.append(Value(child));
    coder.encodeObject(Value(children), QStringLiteral("children"));
}

ObjectPtr PartElement::initWithCoder(KeyedUnarchiver& coder)
{
    const ElementList decoded
        = zdlDecodeElementsOfClasses(coder, partElementMemberClasses(), QStringLiteral("children"));
    m_elements = adoptDecodedElements(coder, decoded, this);
    m_visible = true;
    return shared_from_this();
}

Parent* PartElement::flattenedParent() const
{
    Parent* ancestor = m_parent;
    while (auto* group = dynamic_cast<PartGroup*>(ancestor))
        ancestor = group->parent();
    return ancestor;
}

ElementList PartElement::children() const
{
    return m_elements;
}

ElementList PartElement::flattenedChildren() const
{
    return ArrayUtils::flattenPartElementsArray(m_elements);
}

std::size_t PartElement::numChildren() const
{
    return static_cast<std::size_t>(m_elements.size());
}

ObjectPtr PartElement::getChildAtIndex(std::size_t index) const
{
    if (index >= static_cast<std::size_t>(m_elements.size()))
        return nullptr;
    return m_elements.at(static_cast<qsizetype>(index));
}

void PartElement::setChildren(const ElementList& children)
{
    ElementList kept;
    kept.reserve(children.size());
    for (const ObjectPtr& child : children) {
        auto* element = asProtocol<GraphicElement>(child);
        if (element && !isSelfOrAncestor(child.get())) {
            element->setParent(this);
            kept.append(child);
        }
    }
    m_elements = std::move(kept);
    flushCachedImage();
}

bool PartElement::hasChild(const Object* element) const
{
    if (!element)
        return false;
    for (const ObjectPtr& child : m_elements) {
        if (child.get() == element)
            return true;
    }
    return false;
}

void PartElement::addPartElement(const ObjectPtr& element)
{
    auto* graphic = asProtocol<GraphicElement>(element);
    if (graphic && !isSelfOrAncestor(element.get())) {
        graphic->setParent(this);
        m_elements.append(element);
    }
}

bool PartElement::isSelfOrAncestor(const Object* candidate) const
{
    const Object* link = this;
    while (link) {
        if (link == candidate)
            return true;
        const auto* element = dynamic_cast<const ModelElement*>(link);
        link = element ? dynamic_cast<const Object*>(element->parent()) : nullptr;
    }
    return false;
}

QString PartElement::displayName() const
{
    return localized("Element");
}

bool PartElement::canEditContents() const
{
    return true;
}

bool PartElement::canSelectContents() const
{
    return true;
}

Parent* PartElement::parent() const
{
    return m_parent;
}

void PartElement::setParent(Parent* parent)
{
    m_parent = parent;
}

ObjectPtr PartElement::initByCopying() const
{
    return std::make_shared<PartElement>(*this);
}

void PartElement::offsetBy(const QPointF& delta, bool /*directly*/)
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->offsetBy(delta, false);
}

void PartElement::transformBy(const QTransform& transform)
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->transformBy(transform);
}

void PartElement::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->perspectiveTransformFrom(source, quad);
}

void PartElement::drawIn(ZDLContext& context)
{
    if (m_visible)
        ArrayUtils::drawPartElements(m_elements, context);
}

bool PartElement::containsPt(const QPointF& point, float viewScale) const
{
    for (const ObjectPtr& child : m_elements) {
        if (asProtocol<GraphicElement>(child)->containsPt(point, viewScale))
            return true;
    }
    return false;
}

void PartElement::flushCachesUsingColor()
{
    for (const ObjectPtr& child : m_elements)
        asProtocol<GraphicElement>(child)->flushCachesUsingColor();
}

QRectF PartElement::getBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getBounds) : QRectF();
}

QRectF PartElement::getBoundsIgnoringVisibility() const
{
    return ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getBoundsIgnoringVisibility);
}

QRectF PartElement::getVisualBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getVisualBounds) : QRectF();
}

QRectF PartElement::getInvalidationBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getInvalidationBounds) : QRectF();
}

QRectF PartElement::getGeometryBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getGeometryBounds) : QRectF();
}

QRectF PartElement::getFilteredBounds() const
{
    return m_visible ? ArrayUtils::unionOfBounds(m_elements, &GraphicElement::getFilteredBounds) : QRectF();
}

QList<QRectF> PartElement::getBoundsOfPaths() const
{
    QList<QRectF> rects;
    for (const ObjectPtr& child : m_elements)
        rects.append(asProtocol<GraphicElement>(child)->getBoundsOfPaths());
    return rects;
}

bool PartElement::validateData()
{
    for (qsizetype i = m_elements.size() - 1; i >= 0; --i) {
        if (!asProtocol<GraphicElement>(m_elements.at(i))->validateData()) {
            m_elements.removeAt(i);
            zdlLog(QStringLiteral("PartElement validateData removing a child element"));
        }
    }
    return true;
}

bool PartElement::visible() const
{
    return m_visible;
}

void PartElement::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    KeyChange change(*this, QStringLiteral("visible"));
    m_visible = visible;
    flushCachedImage();
}

QImage PartElement::applicationIcon(const QString& name)
{
    static QHash<QString, QImage> loaded;
    auto it = loaded.find(name);
    if (it == loaded.end())
        it = loaded.insert(name, QImage(QStringLiteral(":/images/%1.png").arg(name)));
    return it.value();
}

ElementList adoptDecodedElements(KeyedUnarchiver& coder, const ElementList& decoded, Parent* adopter)
{
    ElementList kept;
    kept.reserve(decoded.size());
    QSet<const Object*> seen;
    for (const ObjectPtr& child : decoded) {
        auto* element = asProtocol<GraphicElement>(child);
        if (!element || coder.isDecoding(child))
            continue;
        // Copying a member named twice instead would let a small file describe an exponential tree.
        if (element->parent() || seen.contains(child.get()))
            continue;
        seen.insert(child.get());
        element->setParent(adopter);
        kept.append(child);
    }
    return kept;
}

QStringList partElementMemberClasses()
{
    return { QStringLiteral("PartElement"), QStringLiteral("ImageElement") };
}

void registerPartElementClasses(ClassRegistry& registry)
{
    registry.registerClass<PartElement>(QStringLiteral("PartElement"), QStringLiteral("NSObject"));
    registry.registerClass<PartGroup>(QStringLiteral("PartGroup"), QStringLiteral("PartElement"));
}

void encodeCharacterIdForPasteboard(KeyedArchiver& coder, const Object* characterModel)
{
    const ZDLAppController* controller = appController();
    if (!controller || !controller->writingPasteboard() || !characterModel)
        return;
    // The identifier belongs to the character, which answers it by name.
    if (!characterModel->respondsToKey(QStringLiteral("characterId")))
        return;
    const Value id = characterModel->valueForKey(QStringLiteral("characterId"));
    if (id.type() == Value::Type::String)
        coder.encodeObject(id, QStringLiteral("characterId"));
}

void encodePivot(KeyedArchiver& coder, bool hasOrigin, const QPointF& origin)
{
    if (!hasOrigin)
        return;
    coder.encodeFloat(static_cast<float>(origin.x()), QStringLiteral("originX"));
    coder.encodeFloat(static_cast<float>(origin.y()), QStringLiteral("originY"));
}

bool decodePivot(KeyedUnarchiver& coder, QPointF& origin)
{
    if (!coder.containsValueForKey(QStringLiteral("originX")))
        return false;
    const float x = coder.decodeFloatForKey(QStringLiteral("originX"));
    const float y = coder.decodeFloatForKey(QStringLiteral("originY"));
    // A pivot that is not finite would throw every rotation off.
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    origin = QPointF(x, y);
    return true;
}

void decodeCharacterLink(KeyedUnarchiver& coder, std::weak_ptr<Object>& model, QString& characterId)
{
    // Only a link: in a parts file this is the root still being decoded, which must not be owned.
    model.reset();
    if (coder.containsValueForKey(QStringLiteral("model")))
        model = zdlDecodeObjectOfClass(coder, QStringLiteral("CharacterModel"), QStringLiteral("model")).toObject();
    characterId.clear();
    if (coder.containsValueForKey(QStringLiteral("characterId")))
        characterId
            = zdlDecodeObjectOfClass(coder, QStringLiteral("NSString"), QStringLiteral("characterId")).toString();
}

} // namespace zandrel
