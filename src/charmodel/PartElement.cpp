#include "charmodel/PartElement.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/PartGroup.h"
#include "graphics/ArrayUtils.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/Localization.h"

#include <QHash>

namespace zandrel {

QString PartElement::className() const
{
    return QStringLiteral("PartElement");
}

void PartElement::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeChildren(coder, QStringLiteral("children"));
}

ObjectPtr PartElement::initWithCoder(KeyedUnarchiver& coder)
{
    decodeChildren(coder, QStringLiteral("children"));
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
    for (const ObjectPtr& child : m_children.items())
        rects.append(asProtocol<GraphicElement>(child)->getBoundsOfPaths());
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

} // namespace zandrel
