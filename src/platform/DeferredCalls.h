#pragma once

#include <QString>
#include <functional>

namespace zandrel {

// Calls run from the event loop after a delay ("after a delay of 0" included), identified by a target
// and a key so that a pending call can be cancelled and replaced; a target that can die before its
// calls run must cancel them in its destructor.
class DeferredCalls {
public:
    // Every perform runs; to coalesce, cancel the pending call for the key first.
    static void perform(const void* target, const QString& key, int ms, std::function<void()> call);
    static void cancel(const void* target, const QString& key);
    static void cancelAll(const void* target);
    static bool isPending(const void* target, const QString& key);
};

} // namespace zandrel
