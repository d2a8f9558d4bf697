#include "charmodel/PartElement.h"

#include "charmodel/PartGroup.h"
#include "graphics/ArrayUtils.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/Localization.h"

#include <QHash>

namespace zandrel {

namespace {

// Archive key.
const QString kChildrenArchiveKey = QStringLiteral("children");

} // namespace

QString PartElement::className() const
{
    return kClassName;
}

void PartElement::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeChildren(coder, kChildrenArchiveKey);
}

ObjectPtr PartElement::initWithCoder(KeyedUnarchiver& coder)
{
    decodeChildren(coder, kChildrenArchiveKey);
    resetVisibility();
    return shared_from_this();
}

Parent* PartElement::flattenedParent() const
{
    Parent* ancestor = parent();
    while (auto* group = dynamic_cast<PartGroup*>(ancestor))
        ancestor = group->parent();
    return ancestor;
}

void PartElement::setChildren(const ElementList& children)
{
    adoptChildren(children);
    flushCachedImage();
}

QString PartElement::displayName() const
{
    return localized("Element");
}

ObjectPtr PartElement::initByCopying() const
{
    return std::make_shared<PartElement>(*this);
}

void PartElement::drawIn(ZDLContext& context)
{
    if (visible())
        ArrayUtils::drawPartElements(m_children.items(), context);
}

QList<QRectF> PartElement::getBoundsOfPaths() const
{
    QList<QRectF> rects;
    for (const GraphicElement* child : m_children.graphics())
        rects.append(child->getBoundsOfPaths());
    return rects;
}

bool PartElement::validateData()
{
    m_children.removeInvalid(QStringLiteral("PartElement validateData removing a child element"));
    return true;
}

void PartElement::visibilityChanged()
{
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

void registerPartElementClasses(ClassRegistry& registry)
{
    registry.registerClass<PartElement>(PartElement::kClassName, PlatformClass::kObject);
    registry.registerClass<PartGroup>(PartGroup::kClassName, PartElement::kClassName);
}

} // namespace zandrel
