#include "platform/DynamicCast.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace zandrel {
namespace {

// Interfaces adopted through virtual bases, as the model classes adopt theirs.
struct Root {
    virtual ~Root() = default;
    int rootValue = 1;
};
struct Face {
    virtual ~Face() = default;
    int faceValue = 2;
};
struct Side : virtual Face {
    int sideValue = 3;
};
struct Mid : Root, virtual Side {
    // What the cast answers while a Mid is being built, alone or inside a larger object (where the
    // virtual bases lie elsewhere), beside what the runtime answers.
    Mid()
    {
        Root* self = this;
        whileBuilding = { dynamicCast<Face>(self), dynamic_cast<Face*>(self) };
    }
    std::pair<Face*, Face*> whileBuilding;
};
struct Pad {
    virtual ~Pad() = default;
    char padding[40] = {};
};
struct Leaf : Pad, Mid, virtual Face {
    int leafValue = 4;
};
struct Other : Root { };

TEST(DynamicCastTest, AnswersAsTheRuntimeDoesEveryTimeAndWhileObjectsAreBuilt)
{
    Mid mid;
    Leaf leaf;
    Other other;
    const std::vector<Root*> objects { &mid, &leaf, &other, nullptr, &leaf, &mid };
    // Twice over, so that remembered answers are asked as well.
    for (int round = 0; round < 2; ++round) {
        for (Root* object : objects) {
            EXPECT_EQ(dynamicCast<Face>(object), dynamic_cast<Face*>(object));
            EXPECT_EQ(dynamicCast<Side>(object), dynamic_cast<Side*>(object));
            EXPECT_EQ(dynamicCast<Leaf>(object), dynamic_cast<Leaf*>(object));
            const Root* constant = object;
            EXPECT_EQ(dynamicCast<const Mid>(constant), dynamic_cast<const Mid*>(constant));
        }
    }
    EXPECT_EQ(dynamicCast<Face>(static_cast<Root*>(&leaf))->faceValue, 2);
    EXPECT_EQ(dynamicCast<Root>(static_cast<Face*>(&leaf))->rootValue, 1);
    const Leaf another;
    for (const Mid* built : std::vector<const Mid*> { &mid, &leaf, &another }) {
        EXPECT_NE(built->whileBuilding.first, nullptr);
        EXPECT_EQ(built->whileBuilding.first, built->whileBuilding.second);
    }
}

} // namespace
} // namespace zandrel
