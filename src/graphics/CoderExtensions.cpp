#include "graphics/CoderExtensions.h"

#include "platform/ArchiveNames.h"
#include "platform/DecodingBudget.h"

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
    // A list the file names in many places is decoded once but listed anew for each: what the
    // copies hold is charged, so that naming a long list many times runs out of budget.
    DecodingBudget::charge(qint64(decoded.toList().size()) * qint64(sizeof(ObjectPtr)));
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
