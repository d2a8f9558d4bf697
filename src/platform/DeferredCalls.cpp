#include "platform/DeferredCalls.h"

#include <QObject>
#include <QTimerEvent>
#include <algorithm>
#include <map>

namespace zandrel {

namespace {

// Owns one Qt timer per pending call; calls due at the same time run in the order they were made.
class Scheduler : public QObject {
public:
    struct Call {
        const void* target;
        QString key;
        std::function<void()> call;
    };

    void add(const void* target, const QString& key, int ms, std::function<void()> call)
    {
        const int id = startTimer(std::max(ms, 0), Qt::PreciseTimer);
        if (id != 0)
            m_calls.emplace(id, Call { target, key, std::move(call) });
    }

    template <class Predicate> void cancelIf(Predicate predicate)
    {
        for (auto it = m_calls.begin(); it != m_calls.end();) {
            if (predicate(it->second)) {
                killTimer(it->first);
                it = m_calls.erase(it);
            } else {
                ++it;
            }
        }
    }

    bool contains(const void* target, const QString& key) const
    {
        return std::any_of(m_calls.begin(), m_calls.end(),
            [&](const auto& entry) { return entry.second.target == target && entry.second.key == key; });
    }

protected:
    void timerEvent(QTimerEvent* event) override
    {
        killTimer(event->timerId());
        auto it = m_calls.find(event->timerId());
        if (it == m_calls.end())
            return;
        // Taken out first: the call may perform or cancel others, itself included.
        std::function<void()> call = std::move(it->second.call);
        m_calls.erase(it);
        call();
    }

private:
    std::map<int, Call> m_calls;
};

Scheduler& scheduler()
{
    static Scheduler* instance = new Scheduler;
    return *instance;
}

} // namespace

void DeferredCalls::perform(const void* target, const QString& key, int ms, std::function<void()> call)
{
    if (call)
        scheduler().add(target, key, ms, std::move(call));
}

void DeferredCalls::cancel(const void* target, const QString& key)
{
    scheduler().cancelIf([&](const Scheduler::Call& c) { return c.target == target && c.key == key; });
}

void DeferredCalls::cancelAll(const void* target)
{
    scheduler().cancelIf([&](const Scheduler::Call& c) { return c.target == target; });
}

bool DeferredCalls::isPending(const void* target, const QString& key)
{
    return scheduler().contains(target, key);
}

} // namespace zandrel
