#include "comicmodel/Group.h"

#include "BalloonTestSupport.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/TestPartLeaf.h"
#include "comicmodel/PanelLayer.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ArchiveNames.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"

namespace zandrel {
namespace {

using test::TestPartLeaf;

std::shared_ptr<Part> partOf(const ObjectPtr& character, const QRectF& rect)
{
    auto part = std::make_shared<Part>(character);
    part->setChildren({ TestPartLeaf::make(rect) });
    return part;
}

template <class G = Group> std::shared_ptr<G> groupOf(const ElementList& members)
{
    auto group = std::make_shared<G>();
    group->setChildren(members);
    return group;
}

class GroupTest : public test::BalloonTestBase {
protected:
    static void SetUpTestSuite()
    {
        BalloonTestBase::SetUpTestSuite();
        TestPartLeaf::registerClass();
    }
};

TEST_F(GroupTest, CopiesAreDeepAndVisible)
{
    const auto leaf = TestPartLeaf::make(QRectF(0, 0, 10, 10));
    const auto balloon = test::emptyBalloon(50);
    const auto inner = groupOf({ leaf });
    const auto merged = groupOf<BalloonGroup>({ balloon, inner });
    merged->setVisible(false);
    const auto copy = std::dynamic_pointer_cast<BalloonGroup>(merged->initByCopying());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->visible());
    EXPECT_EQ(copy->parent(), nullptr);
    ASSERT_EQ(copy->numChildren(), 2u);
    for (const ObjectPtr& member : copy->children()) {
        EXPECT_NE(member, balloon);
        EXPECT_NE(member, inner);
        EXPECT_EQ(asProtocol<ModelElement>(member)->parent(), copy.get());
    }
    const auto innerCopy = std::dynamic_pointer_cast<Group>(copy->getChildAtIndex(1));
    ASSERT_TRUE(innerCopy);
    EXPECT_NE(innerCopy->getChildAtIndex(0), leaf);
    EXPECT_EQ(copy->displayName(), QStringLiteral("Merged Balloons"));
    EXPECT_EQ(innerCopy->displayName(), QStringLiteral("Group"));
    EXPECT_EQ(balloon->parent(), merged.get()) << "the source keeps its members";
}

TEST_F(GroupTest, ValidationDropsUnusableMembersAndEmptyGroups)
{
    const auto good = TestPartLeaf::make(QRectF(0, 0, 1, 1));
    const auto bad1 = TestPartLeaf::make(QRectF(0, 0, 1, 1), false);
    const auto bad2 = TestPartLeaf::make(QRectF(0, 0, 1, 1), false);
    const auto group = groupOf({ bad1, good, bad2 });
    Log::Capture log;
    EXPECT_TRUE(group->validateData());
    EXPECT_EQ(group->children(), ElementList { good });
    EXPECT_GT(bad1->m_validatedAt, bad2->m_validatedAt) << "last to first";
    EXPECT_EQ(log.lines(), QStringList(2, QStringLiteral("Group validateData removing a ComicElement")));
    EXPECT_EQ(bad1->parent(), nullptr) << "a removed member forgets the group";

    // A group emptied by validation is removed by its own container.
    const auto emptied = groupOf({ groupOf({ TestPartLeaf::make(QRectF(), false) }) });
    const auto layer = PanelLayer::initWithChildren({ emptied, good });
    EXPECT_TRUE(layer->validateData());
    EXPECT_EQ(layer->children(), ElementList { good });
}

TEST_F(GroupTest, TheCharacterOfAllItsParts)
{
    const auto hero = std::make_shared<CharacterModel>();
    const auto villain = std::make_shared<CharacterModel>();
    const auto balloon = std::make_shared<Balloon>();
    EXPECT_EQ(groupOf({ partOf(hero, {}), groupOf({ partOf(hero, {}) }), balloon })->model(), hero.get());
    EXPECT_EQ(groupOf({ partOf(hero, {}), groupOf({ partOf(villain, {}) }) })->model(), nullptr);
    EXPECT_EQ(groupOf({ balloon })->model(), nullptr);
    EXPECT_EQ(groupOf({ partOf(nullptr, {}), partOf(hero, {}) })->model(), nullptr);
    EXPECT_EQ(groupOf({ balloon })->partType(), 0);
}

TEST_F(GroupTest, ConvertedToAPartGroupForPastingIntoAPart)
{
    EXPECT_EQ(groupOf({ std::make_shared<Balloon>(), groupOf({ std::make_shared<Balloon>() }) })
                  ->convertToPartGroup(),
        nullptr);

    QImage pixels(4, 4, QImage::Format_ARGB32);
    pixels.fill(Qt::blue);
    const ImageElementPtr image = ImageElement::initFromImage(pixels);
    image->setCharacterId(QStringLiteral("someone"));
    const auto element = TestPartLeaf::make(QRectF(0, 0, 5, 5));
    auto part = std::make_shared<Part>();
    part->setChildren({ element });
    const auto converted
        = groupOf({ part, std::make_shared<Balloon>(), groupOf({ image }) })->convertToPartGroup();
    ASSERT_TRUE(converted);
    ASSERT_EQ(converted->numChildren(), 2u);
    EXPECT_EQ(converted->getChildAtIndex(0), element);
    EXPECT_EQ(element->parent(), converted.get());
    const auto holder = std::dynamic_pointer_cast<PartGroup>(converted->getChildAtIndex(1));
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->children(), ElementList { image });
    EXPECT_TRUE(image->characterId().isEmpty()) << "the image forgets its character";
}

TEST_F(GroupTest, BoundsHitsAndMoves)
{
    const auto shown = TestPartLeaf::make(QRectF(0, 0, 10, 10));
    const auto hidden = TestPartLeaf::make(QRectF(50, 50, 10, 10));
    hidden->setVisible(false);
    const auto group = groupOf({ shown, hidden });
    EXPECT_EQ(group->getBounds(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(group->getVisualBounds(), QRectF(-1, -1, 12, 12));
    EXPECT_EQ(group->getInvalidationBounds(), QRectF(-2, -2, 14, 14));
    EXPECT_EQ(group->getFilteredBounds(), QRectF(-3, -3, 16, 16));
    EXPECT_EQ(group->getBoundsIgnoringVisibility(), QRectF(0, 0, 60, 60));
    EXPECT_EQ(group->getBoundsOfPaths(), (QList<QRectF> { QRectF(0, 0, 10, 10), QRectF(50, 50, 10, 10) }));
    EXPECT_EQ(group->getChildAt(QPointF(55, 55), 1), hidden) << "hidden members are hit too";

    group->setVisible(false);
    for (const QRectF& bounds : { group->getBounds(), group->getGeometryBounds(), group->getVisualBounds(),
             group->getInvalidationBounds(), group->getFilteredBounds() })
        EXPECT_EQ(bounds, QRectF());
    EXPECT_EQ(group->getBoundsIgnoringVisibility(), QRectF(0, 0, 60, 60));
    EXPECT_TRUE(group->containsPt(QPointF(5, 5), 1)) << "the group's own visibility is not asked";
    EXPECT_FALSE(group->containsPt(QPointF(30, 30), 1));

    group->offsetBy(QPointF(3, 4), true);
    EXPECT_EQ(shown->m_rect, QRectF(3, 4, 10, 10));
    EXPECT_FALSE(shown->m_lastDirectly) << "members move with directly false";

    const auto balloon = test::emptyBalloon(40, QPointF(100, 100));
    group->addComicElement(balloon);
    group->addComicElement(balloon);
    EXPECT_EQ(group->numChildren(), 3u);
    group->transformBy(QTransform::fromTranslate(10, 0));
    EXPECT_EQ(balloon->origin(), QPointF(110, 100));
    group->perspectiveTransformFrom(
        QRectF(0, 0, 1000, 1000), { QPointF(0, 5), QPointF(1000, 5), QPointF(0, 1005), QPointF(1000, 1005) });
    EXPECT_NEAR(balloon->origin().y(), 105, 1e-4);
}

TEST_F(GroupTest, ArchivesRoundTripAndRefuseCycles)
{
    const auto merged
        = groupOf<BalloonGroup>({ test::emptyBalloon(40), test::emptyBalloon(60, QPointF(30, 10)) });
    const auto group = groupOf({ merged, test::emptyBalloon(20) });
    group->setVisible(false);
    const QByteArray data = test::archived(group);
    test::expectPythonAccepts(R"PY(
import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
def obj(ref): return objects[ref.data]
def cls(record): return obj(record['$class'])['$classname']
root = obj(archive['$top']['root'])
assert [k for k in root if k != '$class'] == ['elements']
members = [obj(m) for m in obj(root['elements'])['NS.objects']]
assert [cls(m) for m in members] == ['BalloonGroup', 'Balloon']
assert obj(members[0]['$class'])['$classes'] == ['BalloonGroup', 'Group', 'NSObject']
assert [cls(obj(m)) for m in obj(members[0]['elements'])['NS.objects']] == ['Balloon', 'Balloon']
print('ok')
)PY",
        data);
    const auto read = KeyedUnarchiver::unarchive(data, { Group::kClassName }).toObject<Group>();
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->visible()) << "visibility is not kept";
    const auto readMerged = std::dynamic_pointer_cast<BalloonGroup>(read->getChildAtIndex(0));
    ASSERT_TRUE(readMerged);
    EXPECT_EQ(readMerged->parent(), read.get());
    EXPECT_EQ(asProtocol<ModelElement>(readMerged->getChildAtIndex(1))->parent(), readMerged.get());
    EXPECT_EQ(test::archived(read), data);

    // A group that lists itself, and one that lists a balloon twice.
    test::ArchiveBuilder b;
    const quint64 groupClass = b.classRecord(QStringLiteral("Group"));
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    const quint64 balloonClass = b.classRecord(QStringLiteral("Balloon"));
    const quint64 self = b.reserve();
    const quint64 twice = b.reserve();
    const quint64 balloon = b.add(b.record(balloonClass, {}));
    const quint64 selfList = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ self }) } }));
    const quint64 twiceList = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ balloon, balloon }) } }));
    b.set(self, b.record(groupClass, { { "elements", b.uid(selfList) } }));
    b.set(twice, b.record(groupClass, { { "elements", b.uid(twiceList) } }));
    const quint64 both = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ self, twice }) } }));
    const ValueList groups
        = KeyedUnarchiver::unarchive(b.finish(both), { PlatformClass::kArray, Group::kClassName }).toList();
    ASSERT_EQ(groups.size(), 2);
    const auto selfGroup = groups[0].toObject<Group>();
    EXPECT_EQ(selfGroup->numChildren(), 0u);
    EXPECT_FALSE(selfGroup->validateData());
    EXPECT_EQ(groups[1].toObject<Group>()->numChildren(), 1u);
}

TEST_F(GroupTest, MergedBalloonsDrawAsOneBalloon)
{
    // Two balloons side by side that overlap: where the second's outline crosses the first's
    // body, a plain group shows the line and merged balloons show the fill.
    const auto make = [] {
        auto left = test::emptyBalloon(80, QPointF(20, 30));
        auto right = test::emptyBalloon(80, QPointF(80, 30));
        for (const BalloonPtr& balloon : { left, right }) {
            balloon->setLineWeight(2);
            balloon->setPointers({});
        }
        return ElementList { left, right };
    };
    // The second balloon's left edge runs at about x = 73 across the first balloon's body.
    const auto drawn = [](const GroupPtr& group) {
        return test::rendered(QSize(200, 100), 1, [&](ZDLContext& context) { group->drawIn(context); });
    };
    const QImage plain = drawn(groupOf(make()));
    const QImage merged = drawn(groupOf<BalloonGroup>(make()));
    const auto darkestAcross = [](const QImage& image, int y) {
        int darkest = 255;
        for (int x = 66; x <= 80; ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        return darkest;
    };
    EXPECT_LT(darkestAcross(plain, 40), 60) << "the second outline crosses the first body";
    EXPECT_GT(darkestAcross(merged, 40), 240) << "merged: fill, not line";
    // The outer outline of the merged balloon still shows.
    EXPECT_LT(qGray(merged.pixel(11, 40)), 100);
    EXPECT_EQ(merged.pixel(11, 40), plain.pixel(11, 40));

    // Hidden: nothing drawn; members that are not balloons draw after the merged balloons.
    const auto hiddenGroup = groupOf<BalloonGroup>(make());
    hiddenGroup->setVisible(false);
    QImage white(plain.size(), plain.format());
    white.fill(Qt::white);
    EXPECT_EQ(drawn(hiddenGroup), white);
    ElementList withLeaf = make();
    withLeaf.append(TestPartLeaf::make(QRectF(60, 35, 5, 5)));
    const QImage over = drawn(groupOf<BalloonGroup>(withLeaf));
    EXPECT_EQ(over.pixel(62, 37), qRgb(255, 0, 0));
}

} // namespace
} // namespace zandrel
