#include "graphics/Fill.h"

#include "graphics/ColorFill.h"
#include "graphics/Gradient.h"
#include "graphics/GradientColorStop.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLColor.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerColorAndFillClasses(ClassRegistry& registry)
{
    const QString base = QStringLiteral("NSObject");
    registry.registerClass<ZDLColor>(QStringLiteral("ZDLColor"), base);
    registry.registerClass<ColorFill>(QStringLiteral("ColorFill"), base);
    registry.registerClass<GradientFill>(QStringLiteral("GradientFill"), base);
    registry.registerClass<Gradient>(QStringLiteral("Gradient"), base);
    registry.registerClass<GradientColorStop>(QStringLiteral("GradientColorStop"), base);
}

} // namespace zandrel
