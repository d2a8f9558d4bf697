#include "platform/ClassRegistry.h"

#include "platform/ArchiveNames.h"

namespace zandrel {

namespace {

using C = PlatformClass;

const QString& kRootClass = C::kObject;

// The platform value classes and their superclasses, as standard archives name them.
const std::pair<const QString*, const QString*> kValueClasses[] = {
    { &C::kString, &C::kObject },
    { &C::kMutableString, &C::kString },
    { &C::kData, &C::kObject },
    { &C::kMutableData, &C::kData },
    { &C::kValue, &C::kObject },
    { &C::kNumber, &C::kValue },
    { &C::kArray, &C::kObject },
    { &C::kMutableArray, &C::kArray },
    { &C::kSet, &C::kObject },
    { &C::kMutableSet, &C::kSet },
    { &C::kDictionary, &C::kObject },
    { &C::kMutableDictionary, &C::kDictionary },
    { &C::kColor, &C::kObject },
    { &C::kAffineTransform, &C::kObject },
    { &C::kAttributedString, &C::kObject },
    { &C::kMutableAttributedString, &C::kAttributedString },
    { &C::kTextStorage, &C::kMutableAttributedString },
    { &C::kFont, &C::kObject },
    { &C::kParagraphStyle, &C::kObject },
    { &C::kMutableParagraphStyle, &C::kParagraphStyle },
};

} // namespace

ClassRegistry::ClassRegistry()
{
    m_classes.insert(kRootClass, Entry());
    for (const auto& [name, superclass] : kValueClasses)
        m_classes.insert(*name, Entry { *superclass, nullptr });
}

ClassRegistry& ClassRegistry::shared()
{
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerClass(const QString& name, const QString& superclassName, Factory factory)
{
    std::unique_lock lock(m_mutex);
    m_classes.insert(name, Entry { name == kRootClass ? QString() : superclassName, std::move(factory) });
}

void ClassRegistry::rememberType(std::type_index type, const QString& name)
{
    std::unique_lock lock(m_mutex);
    m_typeNames.try_emplace(type, name);
}

QString ClassRegistry::nameOfType(std::type_index type) const
{
    std::shared_lock lock(m_mutex);
    const auto it = m_typeNames.find(type);
    return it == m_typeNames.end() ? QString() : it->second;
}

void ClassRegistry::registerOnce(Registrations registrations)
{
    std::lock_guard lock(m_onceMutex);
    if (!registrations || !m_done.insert(registrations).second)
        return;
    registrations(*this);
}

bool ClassRegistry::contains(const QString& name) const
{
    std::shared_lock lock(m_mutex);
    return m_classes.contains(name);
}

QString ClassRegistry::superclassName(const QString& name) const
{
    std::shared_lock lock(m_mutex);
    const auto it = m_classes.constFind(name);
    return it == m_classes.cend() ? QString() : it->superclassName;
}

ObjectPtr ClassRegistry::make(const QString& name) const
{
    // Called outside the lock: a constructor may look classes up itself.
    const Factory made = factory(name);
    return made ? made() : nullptr;
}

ClassRegistry::Factory ClassRegistry::factory(const QString& name) const
{
    std::shared_lock lock(m_mutex);
    const auto it = m_classes.constFind(name);
    return it == m_classes.cend() ? Factory() : it->factory;
}

QStringList ClassRegistry::chainLocked(const QString& name) const
{
    QStringList chain { name };
    QString current = name;
    // A mistaken registration could make a loop; no chain is longer than the registry.
    for (qsizetype steps = 0; steps <= m_classes.size(); ++steps) {
        const auto it = m_classes.constFind(current);
        if (it == m_classes.cend() || it->superclassName.isEmpty() || chain.contains(it->superclassName))
            break;
        current = it->superclassName;
        chain.append(current);
    }
    if (chain.last() != kRootClass)
        chain.append(kRootClass);
    return chain;
}

QStringList ClassRegistry::classChain(const QString& name) const
{
    std::shared_lock lock(m_mutex);
    return chainLocked(name);
}

bool ClassRegistry::isKindOf(const QString& className, const QString& ancestorName) const
{
    if (className == ancestorName || ancestorName == kRootClass)
        return true;
    std::shared_lock lock(m_mutex);
    return chainLocked(className).contains(ancestorName);
}

bool ClassRegistry::isKindOfAny(const QString& className, const QStringList& ancestorNames) const
{
    if (ancestorNames.contains(className) || ancestorNames.contains(kRootClass))
        return true;
    std::shared_lock lock(m_mutex);
    const QStringList chain = chainLocked(className);
    for (const QString& ancestor : ancestorNames) {
        if (chain.contains(ancestor))
            return true;
    }
    return false;
}

bool ClassRegistry::isValueClass(const QString& name)
{
    for (const auto& entry : kValueClasses) {
        if (name == *entry.first)
            return true;
    }
    return false;
}

} // namespace zandrel
