#include "graphics/GraphicsClasses.h"

#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Documents name these classes; a registry that misses one would decode that object as nil.
TEST(GraphicsClasses, EveryArchivedClassIsRegisteredWithItsChain)
{
    ClassRegistry registry;
    registerGraphicsClasses(registry);
    for (const char* name :
        { "Curve", "CurvePoint", "ZDLColor", "ColorFill", "GradientFill", "Gradient", "GradientColorStop",
            "ShapeStyle", "NamedShapeStyle", "ZDLImage", "ZDLBitmapImageRep", "ZDLPDFImageRep" }) {
        EXPECT_TRUE(registry.contains(name)) << name;
        EXPECT_NE(registry.make(name), nullptr) << name;
    }
    EXPECT_TRUE(registry.isKindOf("NamedShapeStyle", "ShapeStyle"));
    EXPECT_TRUE(registry.isKindOf("ZDLImage", "NSImage"));
    EXPECT_TRUE(registry.isKindOf("ZDLPDFImageRep", "NSImageRep"));
}

} // namespace
} // namespace zandrel
