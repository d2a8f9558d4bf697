#include "charmodel/Part.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/ImageElement.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "charmodel/TestPartLeaf.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ImageCache.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "platform/OffscreenImage.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using K = PropertyList::Kind;
using test::TestPartLeaf;

// Stands in for a character model: the root of a parts file holding parts, answering its
// identifier by name.
class TestCharacterModel : public Object, public virtual Parent {
public:
    ZDL_PROPERTIES
    QString className() const override { return QStringLiteral("TestCharacterModel"); }
    QString characterId() const { return QStringLiteral("Hero\tAnn"); }

    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        ValueList list;
        for (const ObjectPtr& part : parts)
            list.append(Value(part));
        coder.encodeObject(Value(list), QStringLiteral("parts"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        parts = adoptDecodedElements(coder,
            zdlDecodeElementsOfClasses(coder, { QStringLiteral("Part") }, QStringLiteral("parts")), this);
        return shared_from_this();
    }

    ElementList children() const override { return parts; }
    void setChildren(const ElementList& children) override { parts = children; }
    QRectF getBounds() const override { return {}; }
    QRectF getGeometryBounds() const override { return {}; }
    QString displayName() const override { return {}; }
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    ElementList parts;
};

const PropertyTable& TestCharacterModel::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        { readOnlyProperty<TestCharacterModel>("characterId", &TestCharacterModel::characterId) });
    return table;
}

// Writes a part as files of the time before the scale was folded into the geometry did.
class LegacyScaledPart : public Part {
public:
    LegacyScaledPart(float h, float v)
        : m_h(h)
        , m_v(v)
    {
    }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        Part::encodeWithCoder(coder);
        coder.encodeFloat(m_h, QStringLiteral("hScale"));
        coder.encodeFloat(m_v, QStringLiteral("vScale"));
    }

private:
    float m_h;
    float m_v;
};

// A leaf that costs time on a fake clock to draw and counts its drawings.
class TimedLeaf : public TestPartLeaf {
public:
    TimedLeaf(const QRectF& rect, double* clock)
        : TestPartLeaf(rect)
        , m_clock(clock)
    {
    }
    void drawIn(ZDLContext& context) override
    {
        ++draws;
        *m_clock += 0.010;
        TestPartLeaf::drawIn(context);
    }
    // Moving announces a change, as a moved path does.
    void offsetBy(const QPointF& delta, bool directly) override
    {
        TestPartLeaf::offsetBy(delta, directly);
        flushCachedImage();
    }
    int draws = 0;

private:
    double* m_clock;
};

class FakeView : public ZDLViewInterface {
public:
    float viewScale() const override { return 1.0f; }
    bool scalingViewInteractively() const override { return false; }
    bool needsToDrawRect(const QRectF&) const override { return true; }
    bool isInMainWindow() const override { return true; }
};

std::pair<QStringList, QList<K>> rootKeys(const QByteArray& data)
{
    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root"))];
    QStringList keys;
    QList<K> kinds;
    for (qsizetype i = 0; i < list.count(root); ++i) {
        const QString key = list.string(list.keys(root)[i]);
        if (key != "$class") {
            keys.append(key);
            kinds.append(list.kind(list.values(root)[i]));
        }
    }
    return { keys, kinds };
}

PartPtr decode(const QByteArray& data)
{
    return KeyedUnarchiver::unarchive(data, { QStringLiteral("Part") }).toObject<Part>();
}

PartPathPtr square(const QRectF& r, float lineWeight = 1.0f, float blur = 0.0f)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& p : { r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft() })
        curve->addPoint(p, true);
    curve->setClosed(true);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    path->setLineWeight(lineWeight);
    path->setBlur(blur);
    return path;
}

PartPtr partOf(const ElementList& elements)
{
    auto part = std::make_shared<Part>();
    part->setChildren(elements);
    return part;
}

class PartTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
        TestPartLeaf::registerClass();
        ClassRegistry::shared().registerClass<TestCharacterModel>(
            QStringLiteral("TestCharacterModel"), QStringLiteral("CharacterModel"));
    }
    void TearDown() override { appController()->setWritingPasteboard(false); }
};

TEST_F(PartTest, LegacyScaleIsFoldedIntoTheGeometryAboutTheCentre)
{
    struct Case {
        float h, v;
        QRectF bounds;
        float lineWeight, blur;
    };
    const Case cases[] = {
        { 2, 1, QRectF(0, 10, 40, 20), 4, 3 },
        { -1, 1, QRectF(10, 10, 20, 20), 2, 1.5f },
        { 1, 0.5f, QRectF(10, 15, 20, 10), 2, 1.5f },
        // Not a number: ignored, rather than turning every coordinate into NaN.
        { std::numeric_limits<float>::quiet_NaN(), 1, QRectF(10, 10, 20, 20), 2, 1.5f },
    };
    for (const Case& c : cases) {
        auto written = std::make_shared<LegacyScaledPart>(c.h, c.v);
        written->setChildren({ square(QRectF(10, 10, 20, 20), 2, 1.5f) });
        const PartPtr read = decode(KeyedArchiver::archivedDataWithRootObject(written));
        ASSERT_TRUE(read);
        const auto path = std::dynamic_pointer_cast<PartPath>(read->getChildAtIndex(0));
        ASSERT_TRUE(path);
        EXPECT_EQ(read->getGeometryBounds(), c.bounds) << c.h << " " << c.v;
        EXPECT_FLOAT_EQ(path->lineWeight(), c.lineWeight);
        EXPECT_FLOAT_EQ(path->blur(), c.blur);
    }

    // The walks also reach paths inside groups, and each touches its own mark only.
    const PartPathPtr inner = square(QRectF(0, 0, 5, 5), 2, 4);
    auto group = std::make_shared<PartGroup>();
    group->addPartElement(inner);
    const PartPtr part = partOf({ group });
    Part::scaleLineWeightsIn(part, 3);
    Part::scaleBlursIn(part, 0.5f);
    EXPECT_FLOAT_EQ(inner->lineWeight(), 6);
    EXPECT_FLOAT_EQ(inner->blur(), 2);
}

TEST_F(PartTest, NamesPivotAndCentre)
{
    Part part;
    EXPECT_EQ(part.displayName(), "Part");
    part.setPartType(1);
    EXPECT_EQ(part.displayName(), "Part (Head)");
    part.setPartType(4711);
    EXPECT_EQ(part.displayName(), "Part (Other)");
    EXPECT_EQ(Part::displayOrder().mid(0, 3), (QList<PartType> { 0, 1, 14 }));
    EXPECT_EQ(part.getCenter(), QPointF(0, 0));

    const auto leaf = TestPartLeaf::make(QRectF(0, 0, 10, 20));
    part.addPartElement(leaf);
    part.setVisible(false);
    EXPECT_EQ(part.origin(), QPointF(5, 10)) << "the pivot follows the bounds, visible or not";
    EXPECT_EQ(part.getCenter(), QPointF(5, 10));
    EXPECT_EQ(part.getBounds(), QRectF());
    part.setVisible(true);

    leaf->m_rect = QRectF(10, 0, 10, 20);
    EXPECT_EQ(part.origin(), QPointF(15, 10));
    part.setOrigin(QPointF(1, 2));
    leaf->m_rect = QRectF(50, 50, 10, 20);
    EXPECT_EQ(part.appliedOrigin(), QPointF(1, 2));
    part.offsetBy(QPointF(3, 4), true);
    EXPECT_EQ(part.origin(), QPointF(4, 6));
    EXPECT_FALSE(leaf->m_lastDirectly) << "members are moved with directly NO";
    part.transformBy(QTransform().rotate(90));
    EXPECT_NEAR(part.origin().x(), -6, 1e-9);
    EXPECT_NEAR(part.origin().y(), 4, 1e-9);
}

TEST_F(PartTest, ConvertingToOneElement)
{
    const PartPathPtr path = square(QRectF(0, 0, 4, 4));
    const PartPtr single = partOf({ path });
    EXPECT_EQ(single->convertToPartElement(), path);
    EXPECT_EQ(path->parent(), nullptr);

    const auto empty = std::dynamic_pointer_cast<PartGroup>(Part().convertToPartElement());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->numChildren(), 0u);

    const auto a = TestPartLeaf::make(QRectF(0, 0, 1, 1));
    const auto b = TestPartLeaf::make(QRectF(2, 2, 1, 1));
    const auto group = std::dynamic_pointer_cast<PartGroup>(partOf({ a, b })->convertToPartElement());
    ASSERT_TRUE(group);
    EXPECT_EQ(group->children(), (ElementList { a, b }));
    EXPECT_EQ(b->parent(), group.get());
}

TEST_F(PartTest, OverlapLooksAtThePathsInsideGroups)
{
    auto group = std::make_shared<PartGroup>();
    group->setChildren({ TestPartLeaf::make(QRectF(30, 30, 10, 10)) });
    const PartPtr a = partOf({ TestPartLeaf::make(QRectF(0, 0, 10, 10)), group });
    EXPECT_EQ(a->getTopLevelPaths().size(), 2);
    EXPECT_EQ(a->getBoundsOfPaths(), (QList<QRectF> { QRectF(-1, -1, 12, 12), QRectF(29, 29, 12, 12) }));

    const PartPtr between = partOf({ TestPartLeaf::make(QRectF(15, 15, 5, 5)) });
    EXPECT_FALSE(a->overlaps(*between)) << "inside the bounds, clear of every path";
    const PartPtr touching = partOf({ TestPartLeaf::make(QRectF(35, 5, 5, 30)) });
    EXPECT_TRUE(a->overlaps(*touching));
    touching->setVisible(false);
    EXPECT_FALSE(a->overlaps(*touching));
}

TEST_F(PartTest, ValidationCopiesAndNotices)
{
    const auto good = TestPartLeaf::make(QRectF(0, 0, 1, 1));
    const PartPtr part
        = partOf({ TestPartLeaf::make(QRectF(), false), good, TestPartLeaf::make(QRectF(), false) });
    {
        Log::Capture log;
        EXPECT_TRUE(part->validateData());
        EXPECT_EQ(log.lines(),
            (QStringList {
                "Part validateData removing a part element", "Part validateData removing a part element" }));
    }
    EXPECT_EQ(part->children(), ElementList { good });
    good->m_valid = false;
    Log::Capture quiet;
    EXPECT_FALSE(part->validateData()) << "an empty part is removed by its container";

    const auto character = std::make_shared<TestCharacterModel>();
    const PartPtr source = partOf({ TestPartLeaf::make(QRectF(0, 0, 2, 2)) });
    source->setModel(character);
    source->setCharacterId("id");
    source->setPartType(5);
    source->setOrigin(QPointF(1, 1));
    source->setParent(character.get());
    source->setVisible(false);
    const PartPtr copy = copyElement(*source);
    EXPECT_TRUE(copy->visible());
    EXPECT_EQ(copy->model(), character.get());
    EXPECT_EQ(copy->parent(), character.get());
    EXPECT_EQ(copy->characterId(), "id");
    EXPECT_EQ(copy->partType(), 5);
    EXPECT_EQ(copy->origin(), QPointF(1, 1));
    ASSERT_EQ(copy->numChildren(), 1u);
    EXPECT_NE(copy->getChildAtIndex(0), source->getChildAtIndex(0));
    EXPECT_EQ(asProtocol<ModelElement>(copy->getChildAtIndex(0))->parent(), copy.get());

    // An unlinked part answers the character model it lies in.
    const PartPtr placed = partOf({});
    character->parts = { placed };
    placed->setParent(character.get());
    EXPECT_EQ(placed->model(), character.get());
    // A part refuses to hold itself.
    placed->addPartElement(placed);
    EXPECT_EQ(placed->numChildren(), 0u);
}

TEST_F(PartTest, CachedRenderingSurvivesWholePartMovesOnly)
{
    double now = 0;
    const auto leaf = std::make_shared<TimedLeaf>(QRectF(10, 10, 20, 10), &now);
    const PartPtr part = partOf({ leaf });
    part->imageCache().setClock([&now] { return now; });
    FakeView view;
    const auto draw = [&] {
        OffscreenImage image(QSize(60, 40));
        CanvasScope current(image.canvas());
        ZDLContext context(view);
        part->drawIn(context);
        return image.takeImage().convertToFormat(QImage::Format_ARGB32);
    };
    draw();
    EXPECT_EQ(draw().pixel(20, 15), qRgb(255, 0, 0));
    EXPECT_EQ(leaf->draws, 1) << "drawn twice at one scale, rendered once";

    part->offsetBy(QPointF(1, 0), true);
    ASSERT_TRUE(part->cachedImage());
    EXPECT_FALSE(part->cachedImage()->cache().isNull()) << "a flush from a member under a move is ignored";
    part->setProtectCachedImage(true);
    part->flushCachesUsingColor();
    EXPECT_FALSE(part->cachedImage()) << "colours drop the bitmap even while it is protected";
    part->setProtectCachedImage(false);

    part->imageCache().setClock([&now] { return now; });
    draw();
    leaf->flushCachedImage();
    EXPECT_FALSE(part->cachedImage()) << "a change below the part drops it";
    part->imageCache();
    part->notifyAllGraphicsOf(GraphicNotice::FlushCachedImages, nullptr);
    EXPECT_FALSE(part->cachedImage());

    part->setVisible(false);
    const int before = leaf->draws;
    draw();
    EXPECT_FALSE(part->cacheIfNeededAtScale(1.0f));
    EXPECT_EQ(leaf->draws, before);
}

TEST_F(PartTest, ArchiveKeysAndTheModelBackReference)
{
    QImage pixels(4, 4, QImage::Format_ARGB32);
    pixels.fill(Qt::blue);
    auto image = std::make_shared<ImageElement>();
    image->setImage(ZDLImage::initWithData(ZDLImage::encodedBitmapData(pixels, true, 1.0f)));
    const PartPtr part = partOf({ square(QRectF(0, 0, 8, 8), 3), image });
    part->setPartType(4);
    part->setVisible(false);
    EXPECT_EQ(rootKeys(KeyedArchiver::archivedDataWithRootObject(part)),
        (std::pair<QStringList, QList<K>> { { "elements", "type" }, { K::Uid, K::Int } }));
    const PartPtr read = decode(KeyedArchiver::archivedDataWithRootObject(part));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->visible());
    EXPECT_FALSE(read->hasOrigin());
    EXPECT_EQ(read->partType(), 4);
    ASSERT_EQ(read->numChildren(), 2u);
    EXPECT_EQ(read->getChildAtIndex(0)->className(), "PartPath");
    EXPECT_EQ(read->getChildAtIndex(1)->className(), "ImageElement");
    EXPECT_EQ(asProtocol<ModelElement>(read->getChildAtIndex(1))->parent(), read.get());
    EXPECT_EQ(read->getBoundsIgnoringVisibility(), part->getBoundsIgnoringVisibility());

    // A part inside its character: "model" refers back to the root of the file.
    const auto character = std::make_shared<TestCharacterModel>();
    character->parts = { part };
    part->setParent(character.get());
    part->setModel(character);
    part->setOrigin(QPointF(0.1, 2));
    const QStringList inFile { "elements", "type", "originX", "originY", "model" };
    EXPECT_EQ(rootKeys(KeyedArchiver::archivedDataWithRootObject(part)).first, inFile);
    const auto file = KeyedUnarchiver::unarchive(
        KeyedArchiver::archivedDataWithRootObject(character), { QStringLiteral("TestCharacterModel") })
                          .toObject<TestCharacterModel>();
    ASSERT_TRUE(file);
    ASSERT_EQ(file->parts.size(), 1);
    const auto back = std::dynamic_pointer_cast<Part>(file->parts.first());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->model(), file.get());
    EXPECT_EQ(back->parent(), file.get());
    EXPECT_EQ(back->origin(), QPointF(0.1f, 2));
    EXPECT_TRUE(back->characterId().isEmpty());

    appController()->setWritingPasteboard(true);
    const auto [keys, kinds] = rootKeys(KeyedArchiver::archivedDataWithRootObject(part));
    EXPECT_EQ(keys, inFile + QStringList { "characterId" });
    EXPECT_EQ(kinds.mid(2, 2), (QList<K> { K::Real32, K::Real32 }));
    const PartPtr pasted = decode(KeyedArchiver::archivedDataWithRootObject(part));
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->characterId(), "Hero\tAnn");
}

TEST_F(PartTest, HostileArchivesDecodeSafely)
{
    test::ArchiveBuilder b;
    const quint64 partClass = b.classRecord(QStringLiteral("Part"));
    const quint64 groupClass = b.classRecord(QStringLiteral("PartGroup"));
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    const quint64 root = b.reserve();
    // The part lists itself and a group that lists the part; the model is the part itself.
    const quint64 inner = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ root }) } }));
    const quint64 group = b.add(b.record(groupClass, { { "children", b.uid(inner) } }));
    const quint64 elements
        = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ root, group, group }) } }));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    b.set(root,
        b.record(partClass,
            { { "elements", b.uid(elements) }, { "type", b.integer(-(1LL << 40)) },
                { "originX", b.real32(nan) }, { "originY", b.real32(1) }, { "model", b.uid(root) },
                { "characterId", b.uid(group) }, { "hScale", b.real32(nan) },
                { "vScale", b.real32(std::numeric_limits<float>::infinity()) } }));
    const PartPtr read = decode(b.finish(root));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->numChildren(), 1u) << "the group once, without the part inside it";
    EXPECT_EQ(read->getChildAtIndex(0)->className(), "PartGroup");
    EXPECT_EQ(asProtocol<Parent>(read->getChildAtIndex(0))->numChildren(), 0u);
    EXPECT_EQ(read->partType(), std::numeric_limits<int>::min());
    EXPECT_FALSE(read->hasOrigin());
    EXPECT_EQ(read->model(), nullptr);
    EXPECT_TRUE(read->characterId().isEmpty());
    EXPECT_EQ(read->getBounds(), QRectF());
}

} // namespace
} // namespace zandrel
