#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedUnarchiver.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace zandrel {

// The decoding helpers every initWithCoder of the model uses for its object-valued keys, with
// exactly the classes the key may hold: an object of another class decodes as null, and the class's
// own fallback for a missing value applies. Classes are checked against our class registry (the
// class or a subclass), never against the class chain a file claims.

// A missing key, null, or an object of another class gives null.
Value zdlDecodeObjectOfClass(KeyedUnarchiver& coder, const QString& className, const QString& key);
// For a collection, pass the collection class ("NSArray") and every class its members may have.
Value zdlDecodeObjectOfClasses(KeyedUnarchiver& coder, const QStringList& classNames, const QString& key);

// For a class registered with ClassRegistry::registerClass<T>.
template <class T> std::shared_ptr<T> zdlDecodeObjectOfClass(KeyedUnarchiver& coder, const QString& key)
{
    return coder.decodeObjectOfClass<T>(key);
}

// An array of elements whose members may be of the given classes (the array class is added). A
// missing key or a refused array gives an empty list; members that are not objects are left out.
ElementList zdlDecodeElementsOfClasses(
    KeyedUnarchiver& coder, const QStringList& memberClassNames, const QString& key);

} // namespace zandrel
