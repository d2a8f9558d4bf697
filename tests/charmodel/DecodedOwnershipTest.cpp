// Curves and points decoded from a file belong to one owner each: the first owner to claim a
// decoded object takes it, every later claim takes a copy, so an edit of one owner never reaches
// another however the file shares them.
#include "TestCharacters.h"
#include "charmodel/CharacterModelClasses.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Paths and masks that hand the same curve to the archiver, as a damaged file would name it.
struct SharingPath : PartPath {
    using PathSegments::takeCurves;
};
struct SharingMask : MaskingPath {
    using PathSegments::takeCurves;
};

TEST(DecodedOwnership, CurvesNamedByTwoOwnersAreCopiedOnTheSecondClaim)
{
    ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
    const CurvePtr shared = test::rectCurve(QRectF(0, 0, 10, 10));
    auto first = std::make_shared<SharingPath>();
    first->takeCurves({ shared, shared });
    auto second = std::make_shared<SharingPath>();
    second->takeCurves({ shared });
    auto mask = std::make_shared<SharingMask>();
    mask->takeCurves({ shared });
    const QByteArray bytes = KeyedArchiver::archivedData(Value(ValueList { first, second, mask }));

    const ValueList read = KeyedUnarchiver::unarchive(
        bytes, { PlatformClass::kArray, PartPath::kClassName, MaskingPath::kClassName })
                               .toList();
    ASSERT_EQ(read.size(), 3);
    std::vector<const Curve*> curves;
    std::vector<const CurvePoint*> points;
    for (const Value& item : read) {
        const auto* owner = dynamic_cast<const PathSegments*>(item.toObject().get());
        ASSERT_TRUE(owner);
        for (std::size_t i = 0; i < owner->numSegments(); ++i) {
            const CurvePtr curve = owner->getSegmentAtIndex(i);
            curves.push_back(curve.get());
            EXPECT_EQ(curve->getBounds(), QRectF(0, 0, 10, 10));
            for (const CurvePointPtr& point : curve->points())
                points.push_back(point.get());
        }
    }
    // Twice in the first path, once in the second and once in the mask: four curves of their own.
    ASSERT_EQ(curves.size(), 4u);
    std::sort(curves.begin(), curves.end());
    EXPECT_EQ(std::unique(curves.begin(), curves.end()), curves.end());
    ASSERT_EQ(points.size(), 16u);
    std::sort(points.begin(), points.end());
    EXPECT_EQ(std::unique(points.begin(), points.end()), points.end());
}

TEST(DecodedOwnership, ClaimIsTrueOnlyOnce)
{
    KeyedUnarchiver coder(KeyedArchiver::archivedData(Value(qint64(1))));
    const ObjectPtr a = std::make_shared<Object>();
    const ObjectPtr b = std::make_shared<Object>();
    EXPECT_FALSE(coder.claim(nullptr));
    EXPECT_TRUE(coder.claim(a));
    EXPECT_TRUE(coder.claim(b));
    EXPECT_FALSE(coder.claim(a));
    EXPECT_FALSE(coder.claim(b));
}

} // namespace
} // namespace zandrel
