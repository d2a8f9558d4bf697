#include "charmodel/ColorHolders.h"

#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "graphics/StyleKeys.h"

namespace zandrel {

bool holdsColors(const Object* object)
{
    return dynamic_cast<const PartPath*>(object) || dynamic_cast<const Balloon*>(object);
}

ZDLColorPtr lineColorOf(const Object& object)
{
    return object.respondsToKey(stylekeys::kLineColor)
        ? object.valueForKey(stylekeys::kLineColor).toObject<ZDLColor>()
        : nullptr;
}

ColorFillPtr colorFillOf(const Object& object)
{
    return object.respondsToKey(stylekeys::kFill) ? object.valueForKey(stylekeys::kFill).toObject<ColorFill>()
                                                  : nullptr;
}

ZDLColorPtr fillColorOf(const Object& object)
{
    const ColorFillPtr fill = colorFillOf(object);
    return fill ? fill->fillColor() : nullptr;
}

bool holdsColor(const Object& object, const ZDLColor* color)
{
    return holdsColors(&object) && (lineColorOf(object).get() == color || fillColorOf(object).get() == color);
}

} // namespace zandrel
