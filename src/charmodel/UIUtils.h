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
    // the requested name itself when no other item bears it; otherwise the stem of the requested
    // name (countedName) followed by " " and the first count from the stem's first count that no
    // item of the list bears, the item itself included: "Red 5" gives "Red 6" when that is free.
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

    // How a taken name goes on counting: a trailing blank-separated number word n (1 to 9999, or
    // "0") is dropped and counting starts after it, at n + 1 for n below 11 and at 1 otherwise;
    // any other name is the stem itself and counting starts at 1.
    struct CountedName {
        QString stem;
        qsizetype firstCount = 1;
    };
    static CountedName countedName(const QString& requested);

    // The rule above over the names of the other items and of every item.
    static QString uniqueName(
        const QStringList& otherNames, const QStringList& allNames, const QString& requested);
};

} // namespace zandrel
