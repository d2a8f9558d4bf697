#include "platform/Object.h"

#include "platform/Exception.h"
#include "platform/Log.h"

#include <QHash>
#include <atomic>
#include <vector>

namespace zandrel {

namespace {

// Observers that keep setting values from their callbacks could otherwise recurse until the stack
// overflows; past this depth further notifications of the object are dropped and logged.
constexpr int kMaxDispatchDepth = 64;

ObserverToken nextToken()
{
    static std::atomic<ObserverToken> counter { 0 };
    return ++counter;
}

} // namespace

struct Object::Observation {
    struct Entry {
        ObserverToken token;
        QString key;
        const void* owner;
        std::shared_ptr<ObserverCallback> callback;
    };
    struct Pending {
        int depth = 0;
        bool observed = false;
        Value oldValue;
    };

    std::vector<Entry> entries;
    QHash<QString, Pending> pending;
    int dispatchDepth = 0;

    bool isRegistered(ObserverToken token) const
    {
        for (const Entry& e : entries) {
            if (e.token == token)
                return true;
        }
        return false;
    }
};

Object::Object() = default;

Object::Object(const Object&)
    : std::enable_shared_from_this<Object>()
{
}

Object& Object::operator=(const Object&)
{
    // Observers belong to the object, not to the values it holds.
    return *this;
}

Object::~Object() = default;

QString Object::className() const
{
    return kClassName;
}

void Object::encodeWithCoder(KeyedArchiver&) const
{
}

ObjectPtr Object::initWithCoder(KeyedUnarchiver&)
{
    return shared_from_this();
}

const PropertyTable& Object::staticPropertyTable()
{
    static const PropertyTable table(nullptr, {});
    return table;
}

const PropertyTable& Object::propertyTable() const
{
    return staticPropertyTable();
}

Value Object::valueForKey(const QString& key) const
{
    const Property* p = propertyTable().find(key);
    if (!p)
        Exception::raise(
            kUndefinedKeyException, QStringLiteral("%1 has no property named \"%2\"").arg(className(), key));
    return p->getter(*this);
}

void Object::setValueForKey(const Value& value, const QString& key)
{
    const Property* p = propertyTable().find(key);
    if (!p)
        Exception::raise(
            kUndefinedKeyException, QStringLiteral("%1 has no property named \"%2\"").arg(className(), key));
    if (!p->setter)
        Exception::raise(kUndefinedKeyException,
            QStringLiteral("The property \"%2\" of %1 is read-only").arg(className(), key));
    if (value.isNull() && p->scalar) {
        setNilValueForKey(key);
        return;
    }
    // A callback may drop the last owner of this object; keep it alive until the change is told.
    const ObjectPtr keepAlive = weak_from_this().lock();
    changeValueForKey(key, [&] { p->setter(*this, value); });
}

void Object::setNilValueForKey(const QString& key)
{
    Exception::raise(kInvalidArgumentException,
        QStringLiteral("The property \"%2\" of %1 cannot be set to nil").arg(className(), key));
}

bool Object::respondsToKey(const QString& key) const
{
    return propertyTable().find(key) != nullptr;
}

QStringList Object::propertyKeys() const
{
    return propertyTable().keys();
}

Value Object::valueForKeyPath(const QString& keyPath) const
{
    const QStringList keys = keyPath.split(QLatin1Char('.'));
    ObjectPtr holder;
    const Object* object = this;
    for (int i = 0; i < keys.size() - 1; ++i) {
        holder = object->valueForKey(keys[i]).toObject();
        if (!holder)
            return Value();
        object = holder.get();
    }
    return object->valueForKey(keys.last());
}

void Object::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    const QStringList keys = keyPath.split(QLatin1Char('.'));
    ObjectPtr holder;
    Object* object = this;
    for (int i = 0; i < keys.size() - 1; ++i) {
        holder = object->valueForKey(keys[i]).toObject();
        if (!holder)
            return;
        object = holder.get();
    }
    object->setValueForKey(value, keys.last());
}

ObserverToken Object::addObserver(const QString& key, const void* owner, ObserverCallback callback)
{
    if (!m_observation)
        m_observation = std::make_unique<Observation>();
    const ObserverToken token = nextToken();
    m_observation->entries.push_back(
        { token, key, owner, std::make_shared<ObserverCallback>(std::move(callback)) });
    return token;
}

void Object::removeObserver(ObserverToken token)
{
    if (!m_observation)
        return;
    std::erase_if(m_observation->entries, [token](const Observation::Entry& e) { return e.token == token; });
}

void Object::removeObservers(const void* owner)
{
    if (!m_observation)
        return;
    std::erase_if(m_observation->entries, [owner](const Observation::Entry& e) { return e.owner == owner; });
}

bool Object::hasObservers(const QString& key) const
{
    if (!m_observation)
        return false;
    for (const Observation::Entry& e : m_observation->entries) {
        if (e.key.isEmpty() || e.key == key)
            return true;
    }
    return false;
}

void Object::willChangeValueForKey(const QString& key)
{
    if (!m_observation)
        return;
    auto it = m_observation->pending.find(key);
    if (it != m_observation->pending.end()) {
        ++it->depth;
        return;
    }
    Observation::Pending pending;
    pending.depth = 1;
    pending.observed = hasObservers(key);
    if (pending.observed)
        pending.oldValue = currentValue(key);
    m_observation->pending.insert(key, pending);
}

void Object::didChangeValueForKey(const QString& key)
{
    if (!m_observation)
        return;
    auto it = m_observation->pending.find(key);
    if (it == m_observation->pending.end())
        return;
    if (--it->depth > 0)
        return;
    const bool observed = it->observed;
    const Value oldValue = it->oldValue;
    // Erased before notifying, so that a callback setting the key again starts a change of its own.
    m_observation->pending.erase(it);
    if (observed && hasObservers(key))
        notify(key, oldValue, currentValue(key));
}

Value Object::currentValue(const QString& key) const
{
    // Keys changed by hand need not be properties; their observers then see null values.
    const Property* p = propertyTable().find(key);
    return p ? p->getter(*this) : Value();
}

void Object::abandonChangeForKey(const QString& key)
{
    if (!m_observation)
        return;
    auto it = m_observation->pending.find(key);
    if (it != m_observation->pending.end() && --it->depth <= 0)
        m_observation->pending.erase(it);
}

void Object::notify(const QString& key, const Value& oldValue, const Value& newValue)
{
    Observation& observation = *m_observation;
    if (observation.dispatchDepth >= kMaxDispatchDepth) {
        zdlLog(QStringLiteral("Observers of \"%1\" on %2 keep changing it; notification dropped")
                   .arg(key, className()));
        return;
    }
    const ObjectPtr keepAlive = weak_from_this().lock();

    // A snapshot, because callbacks may add or remove observers; removed ones are skipped below.
    std::vector<std::pair<ObserverToken, std::shared_ptr<ObserverCallback>>> targets;
    for (const Observation::Entry& e : observation.entries) {
        if (e.key.isEmpty() || e.key == key)
            targets.emplace_back(e.token, e.callback);
    }

    struct DepthGuard {
        int& depth;
        explicit DepthGuard(int& d)
            : depth(d)
        {
            ++depth;
        }
        ~DepthGuard() { --depth; }
    } guard(observation.dispatchDepth);

    for (const auto& [token, callback] : targets) {
        if (observation.isRegistered(token))
            (*callback)(*this, key, oldValue, newValue);
    }
}

} // namespace zandrel
