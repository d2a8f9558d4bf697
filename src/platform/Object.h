#pragma once

#include "platform/PropertyTable.h"
#include "platform/Value.h"

#include <QString>
#include <functional>
#include <memory>

namespace zandrel {

class KeyedArchiver;
class KeyedUnarchiver;

using ObserverToken = quint64;

// Base of archivable model objects: a class name for archives, properties by name through a per-class
// table, and observation of property changes with old and new values.
class Object : public std::enable_shared_from_this<Object> {
public:
    using ObserverCallback = std::function<void(
        Object& object, const QString& key, const Value& oldValue, const Value& newValue)>;

    Object();
    // A copy has the same properties but none of the original's observers.
    Object(const Object& other);
    Object& operator=(const Object& other);
    virtual ~Object();

    // --- Archiving ---
    static inline const QString kClassName = QStringLiteral("Object");
    // The class name written in archives.
    virtual QString className() const;
    virtual void encodeWithCoder(KeyedArchiver& coder) const;
    // Fills a freshly made object from the coder. Returns this object, or a replacement (a shared
    // instance, for example) that every reference to the archived object then resolves to.
    virtual ObjectPtr initWithCoder(KeyedUnarchiver& coder);

    // --- Properties by name ---
    static const PropertyTable& staticPropertyTable();
    virtual const PropertyTable& propertyTable() const;

    // Raises "undefinedKey" for a name the class does not declare.
    Value valueForKey(const QString& key) const;
    // Converts the value to the property's type and notifies observers of the key. Raises
    // "undefinedKey" for an unknown or read-only key and "invalidArgument" for a value of an unusable
    // type. A null value for a scalar property goes to setNilValueForKey.
    void setValueForKey(const Value& value, const QString& key);
    // Raises "invalidArgument"; classes where nil has a meaning for a scalar override it.
    virtual void setNilValueForKey(const QString& key);
    bool respondsToKey(const QString& key) const;
    QStringList propertyKeys() const;

    // Dotted paths through object-valued properties ("model.name"); a nil link reads as null and
    // swallows the write, as messages to nil do.
    Value valueForKeyPath(const QString& keyPath) const;
    void setValueForKeyPath(const Value& value, const QString& keyPath);

    // --- Observation ---
    // Observes one key, or every key when key is empty. The owner only groups tokens for removal.
    ObserverToken addObserver(const QString& key, const void* owner, ObserverCallback callback);
    // Both are safe from inside a callback: a removed observer is not called again, even by the
    // notification under way.
    void removeObserver(ObserverToken token);
    void removeObservers(const void* owner);
    bool hasObservers(const QString& key) const;

    // Runs change, which alters the value of the key, between will and did: the key's observers
    // hear of it once it is made. Pairs nest: only the outermost change of a key notifies, with the
    // value before it and after it. When change throws, the change is abandoned without notifying
    // and the exception goes on.
    template <class Change> void changeValueForKey(const QString& key, Change&& change)
    {
        willChangeValueForKey(key);
        try {
            std::forward<Change>(change)();
        } catch (...) {
            abandonChangeForKey(key);
            throw;
        }
        didChangeValueForKey(key);
    }

protected:
    // For setters that change an observable key themselves. Pairs nest: only the outermost pair of a
    // key notifies, with the value before the first will and after the last did.
    void willChangeValueForKey(const QString& key);
    void didChangeValueForKey(const QString& key);

private:
    struct Observation;
    void abandonChangeForKey(const QString& key);
    Value currentValue(const QString& key) const;
    void notify(const QString& key, const Value& oldValue, const Value& newValue);

    std::unique_ptr<Observation> m_observation;
};

} // namespace zandrel
