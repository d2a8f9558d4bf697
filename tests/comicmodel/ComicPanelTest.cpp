#include "comicmodel/ComicPanel.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/PanelTestSupport.h"
#include "graphics/ColorFill.h"
#include "graphics/StyleKeys.h"
#include "graphics/ZDLColor.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveBuilder.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "platform/OffscreenImage.h"
#include "platform/PropertyList.h"
#include "platform/UndoManager.h"

#include <QCoreApplication>
#include <QHash>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::makePanel;
using test::TestComicLeaf;
using K = PropertyList::Kind;

class ComicPanelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        test::registerPanelTestClasses();
    }
};

// A comic with gutter 10 holding a page with the 100-point square panel fixed in a row, and the
// same square as a second, free panel on the page.
struct PanelComic {
    ComicDocument document;
    std::shared_ptr<ComicModel> comic = document.model();
    std::shared_ptr<ComicPage> page = std::make_shared<ComicPage>();
    std::shared_ptr<ComicRow> row = std::make_shared<ComicRow>();
    std::shared_ptr<ComicPanel> fixed = makePanel(QRectF(0, 0, 100, 100));
    std::shared_ptr<ComicPanel> free = makePanel(QRectF(0, 0, 100, 100));

    PanelComic()
    {
        comic->setPanelGutter(10);
        comic->setContents({ page });
        page->initWithRect(QRectF(-50, -50, 400, 400), comic.get());
        page->setContents({ row });
        row->setContents({ fixed });
        page->setFloatingPanels({ free });
    }
    ~PanelComic() { QCoreApplication::processEvents(); }
};

std::vector<QPointF> frameCorners(const ComicPanel& panel)
{
    QPointF tl, tr, bl, br;
    panel.calcFrameTopLeft(tl, tr, bl, br);
    return { tl, tr, bl, br };
}

std::vector<QPointF> outsetCorners(const ComicPanel& panel)
{
    QPointF tl, tr, bl, br;
    panel.getOutsetControlPointsTopLeft(tl, tr, bl, br);
    return { tl, tr, bl, br };
}

void expectNear(const QRectF& actual, const QRectF& expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-4);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-4);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-4);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-4);
}

void expectNear(const std::vector<QPointF>& actual, const std::vector<QPointF>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-4) << i;
        EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-4) << i;
    }
}

TEST_F(ComicPanelTest, DefaultsPropertiesAndCopies)
{
    auto panel = makePanel(QRectF(0, 0, 100, 100));
    EXPECT_EQ(panel->shape(), 0);
    EXPECT_EQ(panel->roundness(), 0.0f);
    EXPECT_EQ(panel->weight(), 1.0f);
    EXPECT_EQ(panel->lineStyle(), 0);
    EXPECT_EQ(panel->fill(), nullptr);
    EXPECT_EQ(panel->fillLayer(), 0);
    EXPECT_EQ(panel->fillAlpha(), 1.0f);
    EXPECT_EQ(panel->frontLayer()->parent(), panel.get());
    EXPECT_EQ(panel->backLayer()->parent(), panel.get());
    EXPECT_EQ(panel->currentLayer(), panel->frontLayer());
    EXPECT_EQ(panel->firstPanel(), panel);
    EXPECT_EQ(panel->lastPanel(), panel);

    panel->setValueForKey(Value(3), "shape");
    panel->setValueForKey(Value(2.5), "weight");
    panel->setValueForKey(Value(4), "lineStyle");
    panel->setValueForKey(Value(0.5), "fillAlpha");
    panel->setValueForKey(Value(1), "fillLayer");
    panel->setValueForKey(Value(-1.0), "roundness");
    panel->setFill(std::make_shared<ColorFill>());
    EXPECT_EQ(panel->valueForKey("weight").toDouble(), 2.5);
    EXPECT_EQ(panel->valueForKey("frontLayer").toObject<PanelLayer>(), panel->frontLayer());
    EXPECT_THROW(panel->setValueForKey(Value(), "backLayer"), Exception);

    auto other = makePanel(QRectF(5, 5, 10, 10));
    other->copyPropertiesFrom(*panel);
    EXPECT_EQ(other->shape(), 3);
    EXPECT_EQ(other->roundness(), -1.0f);
    EXPECT_EQ(other->weight(), 2.5f);
    EXPECT_EQ(other->lineStyle(), 4);
    EXPECT_EQ(other->fillAlpha(), 0.5f);
    EXPECT_EQ(other->fillLayer(), 1);
    ASSERT_TRUE(other->fill());
    EXPECT_NE(other->fill(), panel->fill());
    EXPECT_EQ(other->topLeft(), QPointF(5, 5));

    panel->frontLayer()->setChildren({ TestComicLeaf::make(QRectF(1, 1, 2, 2)) });
    auto copy = std::dynamic_pointer_cast<ComicPanel>(panel->initByCopying());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->frontLayer()->parent(), copy.get());
    ASSERT_EQ(copy->frontLayer()->numChildren(), 1u);
    EXPECT_NE(copy->frontLayer()->getChildAtIndex(0), panel->frontLayer()->getChildAtIndex(0));
    EXPECT_NE(copy->fill(), panel->fill());
    EXPECT_EQ(copy->weight(), 2.5f);

    panel->retire();
    EXPECT_EQ(panel->frontLayer(), nullptr);
    EXPECT_EQ(panel->backLayer(), nullptr);
    EXPECT_TRUE(panel->characters().isEmpty());
}

TEST_F(ComicPanelTest, FrameOutsetAndInvalidationGeometry)
{
    PanelComic c;
    EXPECT_FALSE(c.fixed->isFree());
    EXPECT_TRUE(c.free->isFloating());
    EXPECT_FALSE(c.free->isInset());
    expectNear(frameCorners(*c.fixed), { { 5.5, 5.5 }, { 95.5, 5.5 }, { 5.5, 95.5 }, { 95.5, 95.5 } });
    expectNear(frameCorners(*c.free), { { 0.5, 0.5 }, { 100.5, 0.5 }, { 0.5, 100.5 }, { 100.5, 100.5 } });
    expectNear(outsetCorners(*c.fixed), { { -5, -5 }, { 105, -5 }, { -5, 105 }, { 105, 105 } });
    expectNear(outsetCorners(*c.free), { { -10, -10 }, { 110, -10 }, { -10, 110 }, { 110, 110 } });
    EXPECT_EQ(c.fixed->minimumSize(), QSizeF(34, 34));
    EXPECT_EQ(c.fixed->getBounds(), QRectF(5.5, 5.5, 90, 90));

    EXPECT_EQ(c.fixed->getInvalidationBounds(), QRectF(-5, -5, 110, 110));
    EXPECT_EQ(makePanel(QRectF(0, 0, 100, 100))->getInvalidationBounds(), QRectF(-40, -40, 180, 180));
    c.page->setFloatingPanels({});
    c.page->setInsetPanels({ c.free });
    const QRectF inset = c.free->getInvalidationBounds();
    EXPECT_NEAR(inset.x(), -15, 1e-4);
    EXPECT_NEAR(inset.width(), 130, 1e-4);

    // Rounded outsets keep their distance from the frame.
    c.fixed->setRoundness(4);
    const QRectF outset = c.fixed->outsetFrame()->getBounds();
    EXPECT_NEAR(outset.x(), -5, 0.01);
    EXPECT_NEAR(outset.width(), 110, 0.01);

    // Spikes reach beyond the plain frame; an unknown shape draws plain.
    c.fixed->setRoundness(0);
    c.fixed->setShape(4);
    EXPECT_LT(c.fixed->getBounds().x(), 5.0);
    c.fixed->setShape(99);
    EXPECT_EQ(c.fixed->getBounds(), QRectF(5.5, 5.5, 90, 90));
}

TEST_F(ComicPanelTest, CacheDroppedOnlyByFrameChanges)
{
    auto panel = makePanel(QRectF(0, 0, 100, 100));
    const CurvePtr frame = panel->panelFrame();
    ASSERT_TRUE(frame);
    panel->setShape(0);
    panel->setRoundness(0);
    panel->setWeight(3);
    panel->setFill(std::make_shared<ColorFill>());
    panel->setFillAlpha(0.2f);
    EXPECT_EQ(panel->panelFrame(), frame);
    panel->setShape(1);
    EXPECT_NE(panel->panelFrame(), frame);
    const CurvePtr shaped = panel->panelFrame();
    panel->setRoundness(5);
    EXPECT_NE(panel->panelFrame(), shaped);
    const CurvePtr rounded = panel->panelFrame();
    panel->setBottomRight(QPointF(120, 100));
    EXPECT_NE(panel->panelFrame(), rounded);
}

TEST_F(ComicPanelTest, CornerValuesOK)
{
    ValueMap corners { { "topLeft", Value(QPointF(0, 0)) }, { "topRight", Value(QPointF(100, 0)) },
        { "bottomLeft", Value(QPointF(0, 100)) }, { "bottomRight", Value(QPointF(100, 100)) } };
    EXPECT_TRUE(ComicPanel::cornerValuesOK(corners));
    corners["topLeft"] = Value(QPointF(100, 0));
    corners["topRight"] = Value(QPointF(0, 0));
    EXPECT_FALSE(ComicPanel::cornerValuesOK(corners));
    // A dent: the bottom-right corner pushed inside.
    corners["topLeft"] = Value(QPointF(0, 0));
    corners["topRight"] = Value(QPointF(100, 0));
    corners["bottomRight"] = Value(QPointF(20, 20));
    EXPECT_FALSE(ComicPanel::cornerValuesOK(corners));
}

QStringList archivedKeys(const QByteArray& data, QList<K>* kinds)
{
    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root"))];
    QStringList keys;
    for (qsizetype i = 0; i < list.count(root); ++i) {
        const QString key = list.string(list.keys(root)[i]);
        if (key == "$class" || key == "contents" || key.size() == 3)
            continue;
        keys.append(key);
        kinds->append(list.kind(list.values(root)[i]));
    }
    return keys;
}

TEST_F(ComicPanelTest, ArchiveRoundTrip)
{
    auto panel = makePanel(QRectF(10, 20, 100, 50));
    panel->setShape(2);
    panel->setRoundness(3.25f);
    panel->setLineStyle(5);
    panel->setWeight(0.1f);
    panel->setFillLayer(1);
    panel->setFillAlpha(0.75f);
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(ZDLColor::colorFromHexNamed("336699", "Sky"));
    panel->setFill(fill);
    panel->backLayer()->setChildren({ TestComicLeaf::make(QRectF(1, 2, 3, 4)) });

    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(panel);
    QList<K> kinds;
    EXPECT_EQ(archivedKeys(data, &kinds),
        (QStringList { "frontLayer", "backLayer", "shape", "roundness", "dash", "weight", "fill", "fillLayer",
            "fillAlpha" }));
    EXPECT_EQ(kinds,
        (QList<K> { K::Uid, K::Uid, K::Int, K::Real32, K::Int, K::Real32, K::Uid, K::Int, K::Real32 }));

    auto read = KeyedUnarchiver::unarchive(data, { "ComicPanel" }).toObject<ComicPanel>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->shape(), 2);
    EXPECT_EQ(read->roundness(), 3.25f);
    EXPECT_EQ(read->lineStyle(), 5);
    EXPECT_EQ(read->weight(), 0.1f);
    EXPECT_EQ(read->fillLayer(), 1);
    EXPECT_EQ(read->fillAlpha(), 0.75f);
    ASSERT_TRUE(std::dynamic_pointer_cast<ColorFill>(read->fill()));
    EXPECT_EQ(read->bottomRight(), QPointF(110, 70));
    EXPECT_EQ(read->frontLayer()->numChildren(), 0u);
    ASSERT_EQ(read->backLayer()->numChildren(), 1u);
    EXPECT_EQ(read->backLayer()->parent(), read.get());

    panel->setFill(nullptr);
    kinds.clear();
    EXPECT_FALSE(archivedKeys(KeyedArchiver::archivedDataWithRootObject(panel), &kinds).contains("fill"));
}

TEST_F(ComicPanelTest, LegacyElementArraysAndMissingKeys)
{
    test::ArchiveBuilder b;
    const quint64 panelClass = b.classRecord("ComicPanel", "ComicStructureElement");
    const quint64 leafClass = b.classRecord("TestComicLeaf", "Part");
    const quint64 arrayClass = b.classRecord("NSArray");
    const quint64 front = b.add(b.record(leafClass, {}));
    const quint64 back1 = b.add(b.record(leafClass, {}));
    const quint64 back2 = b.add(b.record(leafClass, {}));
    const quint64 elements = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ front }) } }));
    const quint64 backElements = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ back1, back2 }) } }));
    const quint64 legacy = b.add(
        b.record(panelClass, { { "elements", b.uid(elements) }, { "backElements", b.uid(backElements) } }));
    auto read = KeyedUnarchiver::unarchive(b.finish(legacy), { "ComicPanel" }).toObject<ComicPanel>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frontLayer()->numChildren(), 1u);
    EXPECT_EQ(read->backLayer()->numChildren(), 2u);
    EXPECT_EQ(read->backLayer()->parent(), read.get());
    // Missing scalars take the defaults.
    EXPECT_EQ(read->weight(), 1.0f);
    EXPECT_EQ(read->roundness(), 0.0f);
    EXPECT_EQ(read->fillLayer(), 0);
    EXPECT_EQ(read->fillAlpha(), 1.0f);
    EXPECT_EQ(read->fill(), nullptr);

    test::ArchiveBuilder s;
    const quint64 bare = s.add(s.record(s.classRecord("ComicPanel", "ComicStructureElement"), {}));
    read = KeyedUnarchiver::unarchive(s.finish(bare), { "ComicPanel" }).toObject<ComicPanel>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frontLayer()->numChildren(), 0u);
    EXPECT_EQ(read->backLayer()->numChildren(), 0u);
    EXPECT_EQ(read->backLayer()->parent(), read.get());
}

TEST_F(ComicPanelTest, PlacingElementsInThePanel)
{
    auto panel = makePanel(QRectF(0, 0, 100, 100)); // frame bounds (0.5, 0.5, 100, 100)
    struct Case {
        QRectF element;
        QPointF offset;
    };
    const Case cases[] = {
        { QRectF(-50, 40, 20, 20), QPointF(50.5, 0) },
        { QRectF(150, 150, 20, 20), QPointF(-69.5, -69.5) },
        { QRectF(40, -80, 10, 10), QPointF(0, 80.5) },
        { QRectF(90, 90, 30, 30), QPointF(0, 0) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(panel->getOffsetToEnsureInPanel(TestComicLeaf::make(c.element)), c.offset) << c.element.x();
    // Nothing stands for the zero rect, which lies just outside the frame's aligned corner.
    EXPECT_EQ(panel->getOffsetToEnsureInPanel(nullptr), QPointF(0.5, 0.5));

    auto touching = TestComicLeaf::make(QRectF(90, 90, 30, 30));
    auto inside = TestComicLeaf::make(QRectF(10, 10, 10, 10));
    panel->adjustPastedObjects({ touching, inside });
    EXPECT_EQ(touching->m_offsets + inside->m_offsets, 0);

    // One element outside: the block is centred on the panel, then each brought to it.
    auto far = TestComicLeaf::make(QRectF(300, 0, 10, 10));
    panel->adjustPastedObjects({ inside, far });
    // Centred: (-109.5, 40.5) for both; then each edge meets the panel's.
    EXPECT_EQ(inside->m_rect, QRectF(0.5, 50.5, 10, 10));
    EXPECT_EQ(far->m_rect, QRectF(90.5, 40.5, 10, 10));
    EXPECT_TRUE(far->m_lastDirectly);
}

TEST_F(ComicPanelTest, CornerChangesMoveEachCharacterAsABlock)
{
    PanelComic c;
    Object alice;
    Object bob;
    auto hand = TestComicLeaf::make(QRectF(10, 40, 10, 20), &alice);
    auto head = TestComicLeaf::make(QRectF(30, 40, 10, 20), &alice);
    auto balloon = TestComicLeaf::make(QRectF(70, 10, 20, 10));
    auto tree = TestComicLeaf::make(QRectF(40, 70, 20, 20), &bob);
    c.fixed->frontLayer()->setChildren({ hand, balloon });
    c.fixed->backLayer()->setChildren({ tree, head });
    EXPECT_EQ(c.fixed->characters(), (QList<Object*> { &alice, &bob }));
    EXPECT_EQ(c.fixed->toplevelContentsFromCharacter(&alice), (ElementList { hand, head }));
    EXPECT_EQ(c.fixed->toplevelContentsFromCharacter(nullptr), ElementList { balloon });
    auto aliceModel = std::make_shared<Object>();
    auto part = std::make_shared<Part>(aliceModel);
    c.fixed->backLayer()->setChildren({ tree, head, part });
    EXPECT_EQ(c.fixed->partsFromCharacter(aliceModel.get()), ElementList { part });
    c.fixed->backLayer()->setChildren({ tree, head });

    c.fixed->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0, 0), QPointF(200, 0), QPointF(0, 100), QPointF(200, 100));
    EXPECT_EQ(c.fixed->bottomRight(), QPointF(200, 100));
    // Alice's centre (25, 50) goes to (50, 50): both pieces move by 25 and keep their spacing.
    expectNear(hand->m_rect, QRectF(35, 40, 10, 20));
    expectNear(head->m_rect, QRectF(55, 40, 10, 20));
    expectNear(tree->m_rect, QRectF(90, 70, 20, 20));
    expectNear(balloon->m_rect, QRectF(150, 10, 20, 10));
    EXPECT_EQ(c.fixed->getBounds().width(), 190);

    c.document.undoManager()->undo();
    EXPECT_EQ(c.fixed->bottomRight(), QPointF(100, 100));
    expectNear(hand->m_rect, QRectF(10, 40, 10, 20));
    EXPECT_EQ(c.fixed->getBounds().width(), 90);
}

// The 100-point panel (frame 5.5 to 95.5) gets new corners: each block of elements moves by the
// move of its centre from the old corner bounds to the new ones, and keeps its size; only a block
// that showed and would miss the new frame altogether is brought back to reach in as far as before.
TEST_F(ComicPanelTest, CornerChangesMoveEachBlockByItsMappedCentre)
{
    struct Case {
        const char* name;
        QRectF corners;
        QList<QRectF> figure;
        QList<QRectF> expected;
    };
    const QList<Case> cases {
        { "twice as wide", QRectF(0, 0, 200, 100), { QRectF(10, 40, 10, 20), QRectF(30, 40, 10, 20) },
            { QRectF(35, 40, 10, 20), QRectF(55, 40, 10, 20) } },
        { "halved and moved", QRectF(50, 20, 50, 50), { QRectF(40, 40, 20, 20), QRectF(80, 80, 10, 10) },
            { QRectF(57.5, 27.5, 20, 20), QRectF(97.5, 67.5, 10, 10) } },
        // Centre (75, 50) goes to (37.5, 50): the block reaches out of the new frame by 7.
        { "a figure may reach out of a smaller frame", QRectF(0, 0, 50, 100), { QRectF(60, 40, 30, 20) },
            { QRectF(22.5, 40, 30, 20) } },
        { "nothing shrinks", QRectF(0, 0, 30, 30), { QRectF(10, 10, 80, 80) }, { QRectF(-25, -25, 80, 80) } },
        // Centre (-10, 50) goes to (-20, 100): x from -40 to 0 would miss the frame (5.5 on); it
        // reached 4.5 into the old frame and does so again.
        { "brought back to show", QRectF(0, 0, 200, 200), { QRectF(-30, 40, 40, 20) },
            { QRectF(-30, 90, 40, 20) } },
        { "left outside, it stays outside", QRectF(0, 0, 200, 200), { QRectF(-50, 40, 20, 20) },
            { QRectF(-90, 90, 20, 20) } },
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        PanelComic c;
        Object figure;
        ElementList leaves;
        for (const QRectF& r : each.figure)
            leaves.append(TestComicLeaf::make(r, &figure));
        c.fixed->frontLayer()->setChildren(leaves);
        const QRectF& r = each.corners;
        c.fixed->setTopLeftTopRightBottomLeftBottomRight(
            r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight());
        for (qsizetype i = 0; i < leaves.size(); ++i)
            expectNear(std::static_pointer_cast<TestComicLeaf>(leaves.at(i))->m_rect, each.expected.at(i));
        c.document.undoManager()->undo();
        for (qsizetype i = 0; i < leaves.size(); ++i)
            EXPECT_EQ(std::static_pointer_cast<TestComicLeaf>(leaves.at(i))->m_rect, each.figure.at(i));
    }

    // A balloon moves with the other elements in the comic's colours, and keeps its width.
    PanelComic c;
    auto balloon = Balloon::initAt(QPointF(60, 10), 30);
    auto sign = TestComicLeaf::make(QRectF(10, 60, 10, 10), c.comic->comicColorsModel().get());
    c.fixed->frontLayer()->setChildren({ balloon, sign });
    // The block's centre doubles its distance from the left edge.
    const double dx = unionRect(balloon->getBounds(), sign->m_rect).center().x();
    c.fixed->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0, 0), QPointF(200, 0), QPointF(0, 100), QPointF(200, 100));
    expectNear(sign->m_rect, QRectF(10 + dx, 60, 10, 10));
    EXPECT_NEAR(balloon->origin().x(), 60 + dx, 1e-4);
    EXPECT_EQ(balloon->width(), 30.0f);
}

TEST_F(ComicPanelTest, MovingAFreePanelAndItsGripBand)
{
    PanelComic c;
    auto leaf = TestComicLeaf::make(QRectF(10, 10, 10, 10));
    c.free->backLayer()->setChildren({ leaf });
    c.free->offsetBy(QPointF(20, 30));
    EXPECT_EQ(c.free->topLeft(), QPointF(20, 30));
    EXPECT_EQ(c.free->bottomRight(), QPointF(120, 130));
    EXPECT_EQ(c.free->getBounds(), QRectF(20.5, 30.5, 100, 100));
    EXPECT_EQ(leaf->m_rect, QRectF(30, 40, 10, 10));
    EXPECT_TRUE(leaf->m_lastDirectly);

    // The band: within 5.5 points of the frame, outside it; only for the current free panel.
    const QPointF outside(17, 80);
    EXPECT_FALSE(c.free->currentPanelFrameContains(outside));
    c.comic->setCurrentPanel(c.free);
    EXPECT_TRUE(c.free->currentPanelFrameContains(outside));
    EXPECT_FALSE(c.free->currentPanelFrameContains(QPointF(24, 80)));
    EXPECT_FALSE(c.free->currentPanelFrameContains(QPointF(10, 80)));
    c.comic->setCurrentPanel(c.fixed);
    EXPECT_FALSE(c.fixed->currentPanelFrameContains(QPointF(3, 50)));

    auto over = TestComicLeaf::make(QRectF(110, 110, 30, 30));
    auto away = TestComicLeaf::make(QRectF(200, 0, 10, 10));
    c.page->setChildren({ away, over });
    EXPECT_EQ(c.free->overlappingFloatingElements(), ElementList { over });

    // Free panels hit by their frame, fixed ones by their quad.
    EXPECT_TRUE(c.free->contains(QPointF(21, 31)));
    EXPECT_FALSE(c.free->contains(QPointF(20.2, 31)));
    EXPECT_TRUE(c.fixed->contains(QPointF(1, 1)));
}

TEST_F(ComicPanelTest, ValidationMergesTheFillColourIntoTheComicPalette)
{
    auto panel = makePanel(QRectF(0, 0, 100, 100));
    auto fill = std::make_shared<ColorFill>();
    const auto loose = ZDLColor::colorFromHexNamed("336699", "Sky");
    fill->setFillColor(loose);
    panel->setFill(fill);
    auto bad = TestComicLeaf::make(QRectF(0, 0, 1, 1));
    bad->m_valid = false;
    panel->frontLayer()->setChildren({ bad });
    {
        Log::Capture log;
        EXPECT_TRUE(panel->validateData());
        EXPECT_EQ(log.lines(),
            (QStringList { "Panel can't find owner model", "Group validateData removing a ComicElement" }));
        EXPECT_EQ(fill->fillColor(), loose);
        // The emptied layer stays.
        EXPECT_TRUE(panel->frontLayer());
    }

    auto comic = std::make_shared<ComicModel>();
    const auto sky = ZDLColor::colorFromHexNamed("336699", "Sky");
    comic->comicColorsModel()->addColor(sky);
    comic->setContents({ panel });
    Log::Capture log;
    EXPECT_TRUE(panel->validateData());
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(fill->fillColor(), sky);

    // Images in a layer find the comic's colour set through it.
    auto image = std::make_shared<ImageElement>();
    panel->backLayer()->setChildren({ image });
    EXPECT_EQ(image->model(), comic->comicColorsModel().get());
}

// The panel drawn as an export draws it, over (-10, -10)-(110, 110).
QImage drawn(ComicPanel& panel)
{
    OffscreenImage image(QSize(120, 120));
    {
        CanvasScope scope(image.canvas());
        image.canvas()->translate(10, 10);
        ZDLContext context(1.0f);
        context.setExporting(true);
        panel.drawIn(context, QRectF(-10, -10, 120, 120));
    }
    return image.takeImage();
}

// Walks the panel's declared fields: each one that can be set is set through the document, shows
// in the file when archived and in the drawing when drawn, and undoes and redoes to the bytes and
// the pixels. A field declared without a value to try here fails, so that a new field is tested as
// it is added.
TEST_F(ComicPanelTest, EveryDeclaredFieldIsArchivedDrawnAndUndoneAsDeclared)
{
    PanelComic c;
    UndoManager& undo = *c.document.undoManager();
    undo.setGroupsByEvent(false);
    const std::shared_ptr<ComicPanel> panel = c.fixed;
    // A green block in the back layer, which an opaque fill between the layers hides.
    panel->backLayer()->setChildren(
        { TestComicLeaf::make(QRectF(20, 20, 30, 60), nullptr, QColor(0, 255, 0)) });
    auto blue = std::make_shared<ColorFill>();
    blue->setFillColor(ZDLColor::colorFromHexNamed("0000FF", "Blue"));

    const QHash<QString, Value> samples {
        { ComicPanel::kShapeKey, Value(int(PanelShapeSpikes)) },
        { ComicPanel::kRoundnessKey, Value(12.0f) },
        { ComicPanel::kLineStyleKey, Value(qint64(2)) },
        { ComicPanel::kWeightKey, Value(2.0f) },
        { stylekeys::kFill, Value(ObjectPtr(blue)) },
        { ComicPanel::kFillLayerKey, Value(int(PanelFillBetweenLayers)) },
        { stylekeys::kFillAlpha, Value(0.5f) },
    };
    QList<QByteArray> history { KeyedArchiver::archivedDataWithRootObject(panel) };
    QList<QImage> images { drawn(*panel) };
    for (const ElementField<ComicPanel>& field : ComicPanel::fields()) {
        const QString& name = field.property.name;
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(panel->propertyTable().find(name)->name, name) << "the property table holds the field";
        if (field.sheetChoices) {
            EXPECT_FALSE(field.sheetLabel().isEmpty());
            EXPECT_FALSE(field.sheetChoices().isEmpty());
        }
        if (!field.property.setter)
            continue;
        ASSERT_TRUE(samples.contains(name)) << "a declared field has a value to try here";
        undo.beginUndoGrouping();
        c.document.undoableSetPropertyFor(panel, name, samples.value(name), Value());
        undo.endUndoGrouping();
        history.append(KeyedArchiver::archivedDataWithRootObject(panel));
        images.append(drawn(*panel));
        if (field.encode) {
            EXPECT_NE(history.last(), history[history.size() - 2]) << "the edit shows in the file";
        }
        if (field.drawn) {
            EXPECT_NE(images.last(), images[images.size() - 2]) << "the edit shows in the drawing";
        }
    }
    for (qsizetype i = history.size() - 1; i > 0; --i) {
        undo.undo();
        EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(panel), history[i - 1])
            << "undone to step " << i - 1;
        EXPECT_EQ(drawn(*panel), images[i - 1]) << "undone to step " << i - 1;
    }
    for (qsizetype i = 1; i < history.size(); ++i) {
        undo.redo();
        EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(panel), history[i]) << "redone to step " << i;
        EXPECT_EQ(drawn(*panel), images[i]) << "redone to step " << i;
    }
}

} // namespace
} // namespace zandrel
