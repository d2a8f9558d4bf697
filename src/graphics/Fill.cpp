#include "graphics/Fill.h"

#include "graphics/ColorFill.h"
#include "graphics/Gradient.h"
#include "graphics/GradientColorStop.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLColor.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

QStringList fillClassNames()
{
    return { ColorFill::kClassName, GradientFill::kClassName };
}

void registerColorAndFillClasses(ClassRegistry& registry)
{
    const QString base = PlatformClass::kObject;
    registry.registerClass<ZDLColor>(ZDLColor::kClassName, base);
    registry.registerClass<ColorFill>(ColorFill::kClassName, base);
    registry.registerClass<GradientFill>(GradientFill::kClassName, base);
    registry.registerClass<Gradient>(Gradient::kClassName, base);
    registry.registerClass<GradientColorStop>(GradientColorStop::kClassName, base);
}

} // namespace zandrel
