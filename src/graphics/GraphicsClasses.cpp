#include "graphics/GraphicsClasses.h"

#include "graphics/Curve.h"
#include "graphics/Fill.h"
#include "graphics/ShapeStyle.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerGraphicsClasses(ClassRegistry& registry)
{
    registry.registerOnce(&registerCurveClasses);
    registry.registerOnce(&registerColorAndFillClasses);
    registry.registerOnce(&registerShapeStyleClasses);
}

} // namespace zandrel
