#include "charmodel/UIUtils.h"

#include <QSet>

namespace zandrel {

namespace {

// A word that counts a name: digits only, 1 to 9999, or exactly "0".
bool isNumberWord(const QString& word)
{
    if (word.isEmpty() || word.size() > 4)
        return false;
    for (const QChar c : word) {
        if (c < u'0' || c > u'9')
            return false;
    }
    const int value = word.toInt();
    return word == QStringLiteral("0") || (value >= 1 && value <= 9999);
}

} // namespace

UIUtils::CountedName UIUtils::countedName(const QString& requested)
{
    // Counts of 11 and above are taken as part of the name rather than continued.
    constexpr int kHighestContinuedCount = 10;
    const qsizetype blank = requested.lastIndexOf(u' ');
    const QString word = blank >= 0 ? requested.mid(blank + 1) : QString();
    if (!isNumberWord(word))
        return { requested, 1 };
    const int n = word.toInt();
    return { requested.left(blank), n <= kHighestContinuedCount ? n + 1 : 1 };
}

QString UIUtils::uniqueName(
    const QStringList& otherNames, const QStringList& allNames, const QString& requested)
{
    if (!otherNames.contains(requested))
        return requested;
    const CountedName counted = countedName(requested);
    const QSet<QString> taken(allNames.begin(), allNames.end());
    // Every name of the list blocks at most one count, so a free one is found within size + 1 tries.
    for (qsizetype count = counted.firstCount;; ++count) {
        const QString candidate = QStringLiteral("%1 %2").arg(counted.stem).arg(count);
        if (!taken.contains(candidate))
            return candidate;
    }
}

} // namespace zandrel
