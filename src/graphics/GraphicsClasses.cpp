#include "graphics/GraphicsClasses.h"

#include "graphics/Curve.h"
#include "graphics/Fill.h"
#include "graphics/ShapeStyle.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerGraphicsClasses(ClassRegistry& registry)
{
    // Registering a class again only replaces it with the same entry, so direct calls are safe
    // whether or not a caller ran one of these on its own before.
    registerCurveClasses(registry);
    registerColorAndFillClasses(registry);
    registerShapeStyleClasses(registry);
    registerImageClasses(registry);
}

} // namespace zandrel
