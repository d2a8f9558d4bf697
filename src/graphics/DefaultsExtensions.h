#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace zandrel {

class UserDefaults;

// Colours kept in the user defaults: the default text colour of new balloons ("defaultTextColor")
// and the colours last chosen for a new character ("hairColor", "skinColor", "topColor",
// "bottomColor", "shoesColor").
void zdlSetColor(UserDefaults& defaults, const QColor& color, const QString& key);
// Nullopt when nothing, or nothing readable, is stored under the key.
std::optional<QColor> zdlColorForKey(const UserDefaults& defaults, const QString& key);

} // namespace zandrel
