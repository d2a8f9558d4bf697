#include "graphics/CoderExtensions.h"

#include "platform/ArchiveNames.h"

namespace zandrel {

Value zdlDecodeObjectOfClass(KeyedUnarchiver& coder, const QString& className, const QString& key)
{
    return coder.decodeObjectOfClass(className, key);
}

Value zdlDecodeObjectOfClasses(KeyedUnarchiver& coder, const QStringList& classNames, const QString& key)
{
    return coder.decodeObjectOfClasses(classNames, key);
}

ElementList zdlDecodeElementsOfClasses(
    KeyedUnarchiver& coder, const QStringList& memberClassNames, const QString& key)
{
    QStringList allowed = memberClassNames;
    const QString arrayClass = PlatformClass::kArray;
    if (!allowed.contains(arrayClass))
        allowed.prepend(arrayClass);
    const Value decoded = coder.decodeObjectOfClasses(allowed, key);
    ElementList elements;
    for (const Value& member : decoded.toList()) {
        // A member whose own decoder gave nothing (an unreadable image, say) is dropped, not kept as
        // a hole that every walk of the tree would have to step over.
        if (ObjectPtr object = member.toObject())
            elements.append(std::move(object));
    }
    return elements;
}

} // namespace zandrel
