#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace zandrel {

// Helpers the dialogs and inspectors share with the models.
class UIUtils {
public:
    UIUtils() = delete;

    // A name for item among named items (anything with name()), starting from the requested one:
    // the requested name itself when no other item bears it; otherwise the requested name without a
    // trailing blank-separated number word (1 to 9999, or "0"), followed by " " and the first count
    // from 1 that no item of the list bears, the item itself included.
    template <class T>
    static QString uniqueNameForItem(
        const T* item, const QList<std::shared_ptr<T>>& items, const QString& requested)
    {
        QStringList others;
        QStringList all;
        for (const auto& candidate : items) {
            if (!candidate)
                continue;
            all.append(candidate->name());
            if (candidate.get() != item)
                others.append(candidate->name());
        }
        return uniqueName(others, all, requested);
    }

    // The rule above over the names of the other items and of every item.
    static QString uniqueName(
        const QStringList& otherNames, const QStringList& allNames, const QString& requested);
};

} // namespace zandrel
