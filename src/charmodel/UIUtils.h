#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

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

// The rule of UIUtils::uniqueName for many names at once, in time linear in the names' length:
// asking uniqueName item by item takes quadratic time, which a hostile palette of many equal names
// turns into a hang. Every name given out counts as taken, and names only accumulate (an item is
// renamed only away from a name another item keeps), so the search of each stem and first count
// resumes where it last stopped and never tries a candidate twice. Each candidate made is charged
// to the current decoding budget.
class UniqueNames {
public:
    // The names the items bear now, repeats included.
    explicit UniqueNames(const QStringList& names = {});

    // How many items bear the name.
    qsizetype holders(const QString& name) const { return m_holders.value(name); }
    // The name for an item not counted yet that asks for requested; it counts from now on.
    QString add(const QString& requested);
    // For an item counted under requested, which another item bears too: its new name, counted in
    // the place of the old one.
    QString rename(const QString& requested);
    // The stem of requested (UIUtils::countedName), a blank and the first count from the stem's
    // first count that no name bears; it counts from now on.
    QString freeName(const QString& requested);

private:
    QHash<QString, qsizetype> m_holders;
    // Per stem and first count, the count its search resumes at.
    QHash<std::pair<QString, qsizetype>, qsizetype> m_nextCount;
};

} // namespace zandrel
