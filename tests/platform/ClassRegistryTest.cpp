#include "platform/ClassRegistry.h"

#include "platform/Object.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

int lowerRuns = 0;
int upperRuns = 0;

void registerLower(ClassRegistry& registry)
{
    ++lowerRuns;
    registry.registerClass<Object>(QStringLiteral("LowerThing"), QStringLiteral("NSObject"));
}

void registerUpper(ClassRegistry& registry)
{
    ++upperRuns;
    registry.registerOnce(&registerLower);
    registry.registerClass<Object>(QStringLiteral("UpperThing"), QStringLiteral("LowerThing"));
}

// A library's registrations run those of the libraries below it; each runs once, and nesting
// must not deadlock.
TEST(ClassRegistry, RegistrationsNestAndRunOnce)
{
    ClassRegistry registry;
    registry.registerOnce(&registerUpper);
    registry.registerOnce(&registerUpper);
    registry.registerOnce(&registerLower);
    EXPECT_EQ(upperRuns, 1);
    EXPECT_EQ(lowerRuns, 1);
    EXPECT_EQ(registry.classChain(QStringLiteral("UpperThing")),
        (QStringList { "UpperThing", "LowerThing", "NSObject" }));
}

} // namespace
} // namespace zandrel
