#include "charmodel/UIUtils.h"

#include "platform/DecodingBudget.h"

#include <algorithm>

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
    return UniqueNames(allNames).freeName(requested);
}

UniqueNames::UniqueNames(const QStringList& names)
{
    m_holders.reserve(names.size());
    for (const QString& name : names)
        ++m_holders[name];
}

QString UniqueNames::add(const QString& requested)
{
    qsizetype& count = m_holders[requested];
    if (count == 0) {
        count = 1;
        return requested;
    }
    return freeName(requested);
}

QString UniqueNames::rename(const QString& requested)
{
    const auto held = m_holders.find(requested);
    if (held != m_holders.end() && held.value() > 0)
        --held.value();
    return freeName(requested);
}

QString UniqueNames::freeName(const QString& requested)
{
    const UIUtils::CountedName counted = UIUtils::countedName(requested);
    // One search per stem and first count: "Red 5" counts from 6 while "Red" counts from 1, and
    // neither may skip the counts the other gave out. A name blocks one count of its stem, so
    // with at most eleven first counts a stem has, the searches together try at most eleven
    // candidates per name plus one per call.
    qsizetype& next = m_nextCount[{ counted.stem, counted.firstCount }];
    next = std::max(next, counted.firstCount);
    for (;; ++next) {
        // A blank and at most 19 digits.
        DecodingBudget::charge(DecodingBudget::stringCost(counted.stem.size() + 20));
        QString candidate = counted.stem + QLatin1Char(' ') + QString::number(next);
        qsizetype& holders = m_holders[candidate];
        if (holders == 0) {
            holders = 1;
            ++next;
            return candidate;
        }
    }
}

} // namespace zandrel
