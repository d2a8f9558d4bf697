#pragma once

#include "graphics/ColorFill.h"
#include "graphics/ZDLColor.h"
#include "platform/Object.h"

namespace zandrel {

// Paths and balloons hold palette colours: a line colour and, with a colour fill, a fill colour,
// both reached through their property names.
bool holdsColors(const Object* object);
ZDLColorPtr lineColorOf(const Object& object);
ColorFillPtr colorFillOf(const Object& object);
// Null for a gradient fill, which holds no palette colour.
ZDLColorPtr fillColorOf(const Object& object);
// Whether the element holds that very colour as its line or fill colour.
bool holdsColor(const Object& object, const ZDLColor* color);

} // namespace zandrel
