#include "platform/NotificationCenter.h"

#include <algorithm>

namespace zandrel {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationToken NotificationCenter::addObserver(
    const void* observer, const QString& name, const void* object, Callback callback)
{
    const NotificationToken token = m_nextToken++;
    m_entries.push_back({ token, observer, name, object, std::make_shared<Callback>(std::move(callback)) });
    return token;
}

void NotificationCenter::removeObserver(const void* observer)
{
    std::erase_if(m_entries, [observer](const Entry& e) { return e.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name, const void* object)
{
    // As with registration, an empty name or a null object widens the match.
    std::erase_if(m_entries, [&](const Entry& e) {
        return e.observer == observer && (name.isEmpty() || e.name == name)
            && (!object || e.object == object);
    });
}

void NotificationCenter::removeObserverToken(NotificationToken token)
{
    std::erase_if(m_entries, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const QString& name, const void* object, const ValueMap& userInfo)
{
    post(Notification { name, object, userInfo });
}

void NotificationCenter::post(const Notification& notification)
{
    // A snapshot, because observers add and remove observers while they are called.
    std::vector<std::pair<NotificationToken, std::shared_ptr<Callback>>> targets;
    for (const Entry& e : m_entries) {
        if ((e.name.isEmpty() || e.name == notification.name)
            && (!e.object || e.object == notification.object))
            targets.emplace_back(e.token, e.callback);
    }
    for (const auto& [token, callback] : targets) {
        if (isRegistered(token))
            (*callback)(notification);
    }
}

bool NotificationCenter::isRegistered(NotificationToken token) const
{
    // Tokens increase with registration, so the entries are sorted by token.
    auto it = std::lower_bound(m_entries.begin(), m_entries.end(), token,
        [](const Entry& e, NotificationToken t) { return e.token < t; });
    return it != m_entries.end() && it->token == token;
}

} // namespace zandrel
