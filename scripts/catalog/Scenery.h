#pragma once

#include "charmodel/CharacterModel.h"

#include <QList>

namespace zandrel::catalogart {

// The scenery sets of the built-in catalog: outdoor things (trees, a house, a lamp, clouds) and
// a room's furniture, and things to put about (a car, a cat, an umbrella, a ball, a mug, a book).
QList<CharacterModelPtr> makeScenery();

} // namespace zandrel::catalogart
