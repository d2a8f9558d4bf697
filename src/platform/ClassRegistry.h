#pragma once

#include "platform/Value.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <typeindex>
#include <unordered_map>

namespace zandrel {

// The classes archives may name: class name -> superclass and a factory for a blank object.
// Decoding checks allowed classes against these chains, never against the chains a file claims.
//
// Registrations are explicit calls, because static initialisers in a static library are dropped
// when nothing refers to their object file. Each library offers a function that registers its
// classes, and code about to decode runs it once:
//
//     void registerGraphicsClasses(ClassRegistry& registry)
//     {
//         registry.registerClass<Curve>("Curve", "NSObject");
//     }
//     ...
//     ClassRegistry::shared().registerOnce(&registerGraphicsClasses);
//
// The platform value classes ("NSString", "NSArray", "NSColor", ...) are registered from the
// start without factories: the unarchiver decodes them into values itself.
class ClassRegistry {
public:
    using Factory = std::function<ObjectPtr()>;
    using Registrations = void (*)(ClassRegistry&);

    ClassRegistry();

    static ClassRegistry& shared();

    // A later registration of the same name replaces the earlier one. A null factory makes a
    // class that only takes part in chains.
    void registerClass(const QString& name, const QString& superclassName, Factory factory);
    template <class T> void registerClass(const QString& name, const QString& superclassName)
    {
        registerClass(name, superclassName, [] { return ObjectPtr(std::make_shared<T>()); });
        rememberType(typeid(T), name);
    }

    // The name a C++ class was first registered under with registerClass<T>, or empty.
    template <class T> QString nameOf() const { return nameOfType(typeid(T)); }

    // Runs a library's registration function the first time it is passed; later calls do nothing.
    // Registration functions may call registerOnce themselves.
    void registerOnce(Registrations registrations);

    bool contains(const QString& name) const;
    QString superclassName(const QString& name) const;
    // A blank object of the class, or null when it is unknown or has no factory.
    ObjectPtr make(const QString& name) const;
    // What make calls for the class (empty when it has none), for readers that make many.
    Factory factory(const QString& name) const;

    // True when the class is the ancestor or inherits from it. Every class is a kind of "NSObject".
    bool isKindOf(const QString& className, const QString& ancestorName) const;
    bool isKindOfAny(const QString& className, const QStringList& ancestorNames) const;

    // The chain written in archives: the class first, then its superclasses, ending "NSObject".
    QStringList classChain(const QString& name) const;

    // True for the platform classes that the unarchiver turns into values.
    static bool isValueClass(const QString& name);

private:
    struct Entry {
        QString superclassName;
        Factory factory;
    };

    QStringList chainLocked(const QString& name) const;
    void rememberType(std::type_index type, const QString& name);
    QString nameOfType(std::type_index type) const;

    mutable std::shared_mutex m_mutex;
    QHash<QString, Entry> m_classes;
    std::unordered_map<std::type_index, QString> m_typeNames;
    // Recursive: a library's registrations may run those of the libraries below it.
    std::recursive_mutex m_onceMutex;
    std::set<Registrations> m_done;
};

} // namespace zandrel
