#include "comicmodel/Group.h"

#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartGroup.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicElementClassNames.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/Localization.h"

namespace zandrel {

namespace {

const QString kElementsArchiveKey = QStringLiteral("elements");
// The application images shown beside the editing level.
const QString kGroupIconName = QStringLiteral("path_group");
const QString kBalloonGroupIconName = QStringLiteral("path_balloongroup");

} // namespace

Group::Group(const Group& other)
    : GraphicElementBase(other)
    , m_elements(this, other.m_elements)
{
}

QString Group::className() const
{
    return kClassName;
}

void Group::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList elements;
    elements.reserve(m_elements.items().size());
    for (const ObjectPtr& element : m_elements.items())
        elements.append(Value(element));
    coder.encodeObject(Value(elements), kElementsArchiveKey);
}

ObjectPtr Group::initWithCoder(KeyedUnarchiver& coder)
{
    m_elements.clear();
    m_elements.adoptDecoded(
        coder, zdlDecodeElementsOfClasses(coder, comicElementClassNames(), kElementsArchiveKey));
    resetVisibility();
    return shared_from_this();
}

ObjectPtr Group::initByCopying() const
{
    return std::make_shared<Group>(*this);
}

std::shared_ptr<PartGroup> Group::convertToPartGroup() const
{
    ElementList converted;
    for (const ObjectPtr& member : m_elements.items()) {
        if (auto* image = dynamic_cast<ImageElement*>(member.get())) {
            image->stripIdentity();
            converted.append(member);
        } else if (auto* part = dynamic_cast<Part*>(member.get())) {
            if (ObjectPtr element = part->convertToPartElement())
                converted.append(element);
        } else if (const auto* group = dynamic_cast<const Group*>(member.get())) {
            if (std::shared_ptr<PartGroup> partGroup = group->convertToPartGroup())
                converted.append(partGroup);
        }
    }
    if (converted.isEmpty())
        return nullptr;
    auto partGroup = std::make_shared<PartGroup>();
    partGroup->setChildren(converted);
    return partGroup;
}

Object* Group::model() const
{
    Object* character = nullptr;
    bool first = true;
    for (const ObjectPtr& member : ArrayUtils::flattenComicElementsArray(m_elements.items())) {
        const auto* part = dynamic_cast<const Part*>(member.get());
        if (!part)
            continue;
        if (first) {
            character = part->model();
            first = false;
            if (!character)
                return nullptr;
        } else if (part->model() != character) {
            return nullptr;
        }
    }
    return character;
}

bool Group::validateData()
{
    // The group may not outlive a member it no longer lists.
    m_elements.removeInvalid(QStringLiteral("Group validateData removing a ComicElement"),
        GraphicElementChildren::Leaving::ClearLinks);
    return !m_elements.isEmpty();
}

void Group::setChildren(const ElementList& children)
{
    m_elements.adopt(m_elements.acceptable(children, GraphicElementChildren::Repeats::Refused));
}

ObjectPtr Group::getChildAt(const QPointF& point, float viewScale) const
{
    return topmostContaining(m_elements.items(), point, viewScale);
}

QString Group::displayName() const
{
    return localized("Group");
}

QImage Group::pathIcon() const
{
    return PartElement::applicationIcon(kGroupIconName);
}

void Group::addComicElement(const ObjectPtr& element)
{
    for (const ObjectPtr& accepted :
        m_elements.acceptable({ element }, GraphicElementChildren::Repeats::Refused)) {
        if (!m_elements.contains(accepted.get()))
            m_elements.append(accepted);
    }
}

void Group::offsetBy(const QPointF& delta, bool /*directly*/)
{
    for (GraphicElement* member : m_elements.graphics())
        member->offsetBy(delta, false);
}

void Group::transformBy(const QTransform& transform)
{
    for (GraphicElement* member : m_elements.graphics())
        member->transformBy(transform);
}

void Group::recordGeometry(GeometryRecord& record) const
{
    recordMembers(m_elements.graphics(), record);
}

void Group::restoreGeometry(GeometryReader& reader)
{
    restoreMembers(m_elements.graphics(), reader);
}

void Group::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (GraphicElement* member : m_elements.graphics())
        member->perspectiveTransformFrom(source, quad);
}

void Group::drawIn(ZDLContext& context)
{
    if (!visible())
        return;
    for (GraphicElement* member : m_elements.graphics())
        member->drawIn(context);
}

bool Group::containsPt(const QPointF& point, float viewScale) const
{
    for (const GraphicElement* member : m_elements.graphics()) {
        if (member->containsPt(point, viewScale))
            return true;
    }
    return false;
}

void Group::flushCachesUsingColor()
{
    for (GraphicElement* member : m_elements.graphics())
        member->flushCachesUsingColor();
}

QRectF Group::boundsOfKind(BoundsKind kind) const
{
    return visible() ? unionOfBounds(m_elements.graphics(), kind) : QRectF();
}

QRectF Group::getBoundsIgnoringVisibility() const
{
    return unionOfBounds(m_elements.graphics(), &GraphicElement::getBoundsIgnoringVisibility);
}

QList<QRectF> Group::getBoundsOfPaths() const
{
    QList<QRectF> rects;
    for (const GraphicElement* member : m_elements.graphics())
        rects.append(member->getBoundsOfPaths());
    return rects;
}

// --- BalloonGroup ---

QString BalloonGroup::className() const
{
    return kClassName;
}

ObjectPtr BalloonGroup::initByCopying() const
{
    return std::make_shared<BalloonGroup>(*this);
}

QString BalloonGroup::displayName() const
{
    return localized("Merged Balloons");
}

QImage BalloonGroup::pathIcon() const
{
    return PartElement::applicationIcon(kBalloonGroupIconName);
}

void BalloonGroup::drawIn(ZDLContext& context)
{
    if (!visible())
        return;
    QList<const Balloon*> balloons;
    QList<GraphicElement*> others;
    for (GraphicElement* member : m_elements.graphics()) {
        if (const auto* balloon = dynamic_cast<const Balloon*>(member))
            balloons.append(balloon);
        else
            others.append(member);
    }
    for (const Balloon* balloon : balloons)
        balloon->drawOutlineIn(context);
    for (const Balloon* balloon : balloons)
        balloon->drawFillIn(context);
    for (const Balloon* balloon : balloons)
        balloon->drawTextIn(context);
    for (GraphicElement* other : others)
        other->drawIn(context);
}

void registerGroupClasses(ClassRegistry& registry)
{
    registry.registerClass<Group>(Group::kClassName, PlatformClass::kObject);
    registry.registerClass<BalloonGroup>(BalloonGroup::kClassName, Group::kClassName);
}

} // namespace zandrel
