#include "graphics/GraphicsClasses.h"

#include "graphics/Curve.h"
#include "graphics/Fill.h"
#include "graphics/ShapeStyle.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerGraphicsClasses(ClassRegistry& registry)
{
    // Direct calls: this function itself runs under registerOnce, whose lock does not nest.
    // Registering a class again only replaces it with the same entry.
    registerCurveClasses(registry);
    registerColorAndFillClasses(registry);
    registerShapeStyleClasses(registry);
    registerImageClasses(registry);
}

} // namespace zandrel
