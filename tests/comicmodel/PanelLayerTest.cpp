#include "comicmodel/PanelLayer.h"

#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/Group.h"
#include "comicmodel/PanelTestSupport.h"
#include "platform/ArchiveBuilder.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::TestComicLeaf;

class PanelLayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        test::registerPanelTestClasses();
    }
};

TEST_F(PanelLayerTest, ListAndHitTests)
{
    PanelLayer empty;
    EXPECT_EQ(empty.numChildren(), 0u);
    EXPECT_FALSE(empty.validateData());
    EXPECT_EQ(empty.displayName(), QStringLiteral("Comic"));
    EXPECT_EQ(empty.getBounds(), QRectF());
    EXPECT_EQ(empty.getInvalidationBounds(), QRectF());

    auto lower = TestComicLeaf::make(QRectF(0, 0, 50, 50));
    auto upper = TestComicLeaf::make(QRectF(25, 25, 50, 50));
    upper->setVisible(false);
    auto layer = PanelLayer::initWithChildren({ lower, upper, lower, nullptr });
    EXPECT_EQ(layer->children(), (ElementList { lower, upper }));
    EXPECT_EQ(lower->parent(), layer.get());

    const ElementList before = layer->children();
    layer->setChildren({ upper });
    EXPECT_EQ(before.size(), 2);
    // An element that leaves keeps its link.
    EXPECT_EQ(lower->parent(), layer.get());

    layer->setChildren({ lower, upper });
    // The later element wins where both are, hidden or not.
    EXPECT_EQ(layer->getChildAt(QPointF(30, 30), 1.0f), upper);
    EXPECT_EQ(layer->getChildAt(QPointF(10, 10), 1.0f), lower);
    EXPECT_EQ(layer->getChildAt(QPointF(90, 90), 1.0f), nullptr);
    EXPECT_TRUE(layer->hasChild(upper.get()));
    EXPECT_EQ(layer->getChildAtIndex(1), upper);
}

TEST_F(PanelLayerTest, ElementsOfAClassThroughGroups)
{
    auto part = TestComicLeaf::make(QRectF(0, 0, 1, 1));
    auto first = std::make_shared<Balloon>();
    auto second = std::make_shared<Balloon>();
    auto merged = std::make_shared<BalloonGroup>();
    merged->setChildren({ second });
    auto group = std::make_shared<Group>();
    group->setChildren({ first, merged });
    auto image = TestComicLeaf::make(QRectF(0, 0, 1, 1));
    auto layer = PanelLayer::initWithChildren({ part, group, image });
    EXPECT_EQ(layer->allComicElementsOfClass(Balloon::kClassName), (ElementList { first, second }));
    EXPECT_EQ(layer->allComicElementsOfClass(Part::kClassName), (ElementList { part, image }));
    EXPECT_TRUE(layer->allComicElementsOfClass(Group::kClassName).isEmpty());
}

TEST_F(PanelLayerTest, BoundsAreThePanelsFrame)
{
    auto panel = test::makePanel(QRectF(0, 0, 100, 100));
    panel->frontLayer()->setChildren({ TestComicLeaf::make(QRectF(-50, -50, 300, 300)) });
    // A panel without a parent has no gutter and counts as fixed: the frame is the quad, aligned.
    EXPECT_EQ(panel->frontLayer()->getBounds(), QRectF(0.5, 0.5, 100, 100));
    EXPECT_EQ(panel->backLayer()->getGeometryBounds(), panel->getGeometryBounds());
    EXPECT_EQ(panel->frontLayer()->getInvalidationBounds(), QRectF(-40, -40, 180, 180));
}

TEST_F(PanelLayerTest, ValidationDropsUnusableElementsLastToFirst)
{
    auto good = TestComicLeaf::make(QRectF(0, 0, 1, 1));
    auto bad1 = TestComicLeaf::make(QRectF(0, 0, 1, 1));
    auto bad2 = TestComicLeaf::make(QRectF(0, 0, 1, 1));
    bad1->m_valid = bad2->m_valid = false;
    auto layer = PanelLayer::initWithChildren({ bad1, good, bad2 });
    Log::Capture log;
    EXPECT_TRUE(layer->validateData());
    EXPECT_EQ(layer->children(), ElementList { good });
    EXPECT_EQ(log.lines(),
        (QStringList {
            "Group validateData removing a ComicElement", "Group validateData removing a ComicElement" }));
    EXPECT_GT(bad1->m_validatedAt, bad2->m_validatedAt);
    EXPECT_EQ(bad1->parent(), nullptr);

    good->m_valid = false;
    EXPECT_FALSE(layer->validateData());
    layer->retire();
    EXPECT_EQ(layer->numChildren(), 0u);
    EXPECT_EQ(good->parent(), nullptr);
}

TEST_F(PanelLayerTest, ArchiveRoundTripAndCopy)
{
    auto layer = PanelLayer::initWithChildren(
        { TestComicLeaf::make(QRectF(1, 2, 3, 4)), TestComicLeaf::make(QRectF(5, 6, 7, 8)) });
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(layer);
    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root"))];
    QStringList keys;
    for (const auto key : list.keys(root))
        keys.append(list.string(key));
    keys.sort();
    EXPECT_EQ(keys, (QStringList { "$class", "elements" }));

    auto read = KeyedUnarchiver::unarchive(data, { "PanelLayer" }).toObject<PanelLayer>();
    ASSERT_TRUE(read);
    ASSERT_EQ(read->numChildren(), 2u);
    const auto second = read->getChildAtIndex(1);
    EXPECT_EQ(std::dynamic_pointer_cast<TestComicLeaf>(second)->m_rect, QRectF(5, 6, 7, 8));
    EXPECT_EQ(std::dynamic_pointer_cast<TestComicLeaf>(second)->parent(), read.get());
    EXPECT_EQ(read->parent(), nullptr);

    auto copy = read->initByCopying();
    ASSERT_EQ(copy->numChildren(), 2u);
    EXPECT_NE(copy->getChildAtIndex(0), read->getChildAtIndex(0));
    EXPECT_EQ(std::dynamic_pointer_cast<TestComicLeaf>(copy->getChildAtIndex(0))->parent(), copy.get());
}

TEST_F(PanelLayerTest, HostileLayersTakeNoForeignOwners)
{
    // A layer listing its own panel, itself, a leaf twice, and a leaf its panel's other layer holds.
    test::ArchiveBuilder b;
    const quint64 panelClass = b.classRecord("ComicPanel", "ComicStructureElement");
    const quint64 layerClass = b.classRecord("PanelLayer");
    const quint64 leafClass = b.classRecord("TestComicLeaf", "Part");
    const quint64 arrayClass = b.classRecord("NSArray");
    const quint64 panel = b.reserve();
    const quint64 front = b.reserve();
    const quint64 back = b.reserve();
    const quint64 leaf = b.add(b.record(leafClass, {}));
    const quint64 frontList
        = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ panel, front, leaf, leaf }) } }));
    const quint64 backList = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ leaf, back }) } }));
    b.set(front, b.record(layerClass, { { "elements", b.uid(frontList) } }));
    b.set(back, b.record(layerClass, { { "elements", b.uid(backList) } }));
    b.set(panel,
        b.record(panelClass,
            { { "frontLayer", b.uid(front) }, { "backLayer", b.uid(back) }, { "weight", b.real32(NAN) },
                { "contents",
                    b.uid(b.add(b.record(arrayClass, { { "NS.objects", b.uids({ panel }) } }))) } }));
    auto read = KeyedUnarchiver::unarchive(b.finish(panel), { "ComicPanel" }).toObject<ComicPanel>();
    ASSERT_TRUE(read);
    ASSERT_EQ(read->frontLayer()->numChildren(), 1u);
    EXPECT_EQ(read->backLayer()->numChildren(), 0u);
    EXPECT_EQ(read->numContents(), 0u);
    EXPECT_EQ(read->weight(), 0.0f);
    EXPECT_EQ(read->frontLayer()->parent(), read.get());
    EXPECT_EQ(read->backLayer()->parent(), read.get());
    // All corners at the origin: no frame, and nothing of NaN anywhere.
    EXPECT_EQ(read->panelFrame(), nullptr);
    EXPECT_EQ(read->getBounds(), QRectF());
    EXPECT_FALSE(read->frameContains(QPointF()));

    // One layer under both keys: the back key gets a layer of its own.
    test::ArchiveBuilder s;
    const quint64 sPanelClass = s.classRecord("ComicPanel", "ComicStructureElement");
    const quint64 sLayerClass = s.classRecord("PanelLayer");
    const quint64 shared = s.add(s.record(sLayerClass, {}));
    const quint64 sPanel
        = s.add(s.record(sPanelClass, { { "frontLayer", s.uid(shared) }, { "backLayer", s.uid(shared) } }));
    read = KeyedUnarchiver::unarchive(s.finish(sPanel), { "ComicPanel" }).toObject<ComicPanel>();
    ASSERT_TRUE(read);
    EXPECT_NE(read->frontLayer(), read->backLayer());
    EXPECT_EQ(read->backLayer()->parent(), read.get());
}

} // namespace
} // namespace zandrel
