#pragma once

#include "platform/Value.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace zandrel {

struct Notification {
    QString name;
    // The sender; compared by address only, never dereferenced by the centre.
    const void* object = nullptr;
    ValueMap userInfo;
};

using NotificationToken = quint64;

// Synchronous broadcast of named notifications from a sender to whoever asked for them, so that
// models can tell views about changes without knowing them.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // An empty name matches every name; a null object matches every sender. The observer pointer
    // only groups registrations for removal.
    NotificationToken addObserver(
        const void* observer, const QString& name, const void* object, Callback callback);
    // All safe during dispatch: a removed observer is not called again, not even for the
    // notification being delivered.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const QString& name, const void* object);
    void removeObserverToken(NotificationToken token);

    // Delivers to the matching observers in the order they were added, before returning.
    void post(const QString& name, const void* object, const ValueMap& userInfo = {});
    void post(const Notification& notification);

private:
    struct Entry {
        NotificationToken token;
        const void* observer;
        QString name;
        const void* object;
        std::shared_ptr<Callback> callback;
    };
    bool isRegistered(NotificationToken token) const;

    std::vector<Entry> m_entries;
    NotificationToken m_nextToken = 1;
};

} // namespace zandrel
