#include "app/core/DocumentDialogs.h"

#include <QHash>

namespace zandrel {

namespace {

QHash<QString, DocumentDialogs::Opener>& openers()
{
    static QHash<QString, DocumentDialogs::Opener> table;
    return table;
}

} // namespace

void DocumentDialogs::install(const QString& action, Opener opener)
{
    if (opener)
        openers().insert(action, std::move(opener));
    else
        openers().remove(action);
}

bool DocumentDialogs::isInstalled(const QString& action)
{
    return openers().contains(action);
}

bool DocumentDialogs::open(const QString& action, ZDLDocument& document, QObject* window)
{
    const auto it = openers().constFind(action);
    if (it == openers().cend())
        return false;
    // A copy: the opener may install or remove openers while it runs.
    const Opener opener = it.value();
    opener(document, window);
    return true;
}

} // namespace zandrel
