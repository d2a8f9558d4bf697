#include "graphics/DefaultsExtensions.h"

#include "platform/UserDefaults.h"

namespace zandrel {

void zdlSetColor(UserDefaults& defaults, const QColor& color, const QString& key)
{
    // An invalid colour would read back as nothing; store nothing rather than a value that lies.
    if (!color.isValid()) {
        defaults.remove(key);
        return;
    }
    defaults.setColor(key, color);
}

std::optional<QColor> zdlColorForKey(const UserDefaults& defaults, const QString& key)
{
    return defaults.color(key);
}

} // namespace zandrel
