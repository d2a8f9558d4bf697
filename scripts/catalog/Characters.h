#pragma once

#include "charmodel/CharacterModel.h"

#include <QList>

namespace zandrel::catalogart {

// The characters of the built-in catalog, each a sheet of interchangeable parts: a figure put
// together at the left, and beside it the other heads, hair, bodies, arms, legs and feet.
QList<CharacterModelPtr> makeCharacters();

} // namespace zandrel::catalogart
