#include "charmodel/ImageElement.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/PartGroup.h"
#include "graphics/BigEndianReader.h"
#include "graphics/GraphicManipulator.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"
#include "platform/PropertyList.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using K = PropertyList::Kind;

// Stands in for a character: it answers its identifier by name, as the character model does.
class TestCharacter : public Object {
public:
    ZDL_PROPERTIES
    QString className() const override { return QStringLiteral("TestCharacter"); }
    QString characterId() const { return QStringLiteral("Hero\tAnn"); }
};

const PropertyTable& TestCharacter::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        { readOnlyProperty<TestCharacter>("characterId", &TestCharacter::characterId) });
    return table;
}

// A PNG picture whose top half is blue and bottom half red, both opaque, except the columns from
// transparentFrom on, which are clear.
ZDLImagePtr picture(int width, int height, int transparentFrom = -1)
{
    QImage pixels(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.setPixel(x, y,
                transparentFrom >= 0 && x >= transparentFrom ? 0
                    : y < height / 2                         ? 0xff0000ff
                                                             : 0xffff0000);
    return ZDLImage::initWithData(ZDLImage::encodedBitmapData(pixels, true, 1.0f));
}

ImageElementPtr element(int width, int height, int transparentFrom = -1)
{
    auto made = std::make_shared<ImageElement>();
    made->setImage(picture(width, height, transparentFrom));
    return made;
}

MaskingPathPtr squareMask(const QRectF& rect)
{
    auto mask = std::make_shared<MaskingPath>();
    mask->setSegments({ Curve::initWithRect(rect, 0) });
    return mask;
}

bool near(const QRectF& a, const QRectF& b, double tolerance = 1e-3)
{
    return std::abs(a.x() - b.x()) < tolerance && std::abs(a.y() - b.y()) < tolerance
        && std::abs(a.width() - b.width()) < tolerance && std::abs(a.height() - b.height()) < tolerance;
}

// The keys of the archived root object in writing order, with their stored kinds.
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

ImageElementPtr decode(const QByteArray& data)
{
    return KeyedUnarchiver::unarchive(data, { QStringLiteral("ImageElement") }).toObject<ImageElement>();
}

class ImageElementTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }
    void TearDown() override { appController()->setWritingPasteboard(false); }
};

TEST_F(ImageElementTest, BoundsAndPivotFollowTheAppendedTransform)
{
    const double h = 150 / std::sqrt(2.0); // half the side of the box of a 200 x 100 rect turned 45 degrees
    const struct {
        const char* name;
        std::function<void(ImageElement&)> change;
        QRectF bounds;
        QPointF appliedPivot;
    } rows[] = {
        { "identity", [](ImageElement&) {}, QRectF(0, 0, 200, 100), QPointF(100, 50) },
        { "offset", [](ImageElement& e) { e.offsetBy(QPointF(5, 7), true); }, QRectF(5, 7, 200, 100),
            QPointF(105, 57) },
        // The move is appended after the scale, so it is not scaled, and the other way round.
        { "scale then offset",
            [](ImageElement& e) {
                e.transformBy(QTransform::fromScale(2, 2));
                e.offsetBy(QPointF(10, 0), false);
            },
            QRectF(10, 0, 400, 200), QPointF(210, 100) },
        { "offset then scale",
            [](ImageElement& e) {
                e.offsetBy(QPointF(10, 0), false);
                e.transformBy(QTransform::fromScale(2, 2));
            },
            QRectF(20, 0, 400, 200), QPointF(220, 100) },
        { "rotate 45 about the centre",
            [](ImageElement& e) {
                e.offsetBy(QPointF(-100, -50), true);
                e.transformBy(QTransform().rotate(45));
            },
            QRectF(-h, -h, 2 * h, 2 * h), QPointF(0, 0) },
        { "masked", [](ImageElement& e) { e.setChildren({ squareMask(QRectF(20, 10, 30, 40)) }); },
            QRectF(20, 10, 30, 40), QPointF(100, 50) },
    };
    for (const auto& row : rows) {
        const ImageElementPtr e = element(200, 100);
        row.change(*e);
        EXPECT_TRUE(near(e->getBounds(), row.bounds, 1e-2)) << row.name;
        EXPECT_TRUE(near(QRectF(e->appliedOrigin(), QSizeF()), QRectF(row.appliedPivot, QSizeF()), 1e-6))
            << row.name;
    }

    const ImageElementPtr e = element(200, 100);
    EXPECT_FALSE(e->hasOrigin());
    e->setOrigin(QPointF(10, 10));
    e->offsetBy(QPointF(3, 4), true);
    EXPECT_TRUE(e->hasOrigin());
    EXPECT_EQ(e->appliedOrigin(), QPointF(13, 14));

    e->setVisible(false);
    EXPECT_EQ(e->getBounds(), QRectF());
    EXPECT_EQ(e->getBoundsIgnoringVisibility(), QRectF(3, 4, 200, 100));
    const ImageElement empty;
    EXPECT_EQ(empty.getBoundsIgnoringVisibility(), QRectF());
    EXPECT_FALSE(empty.containsPt(QPointF(0, 0), 1));
}

TEST_F(ImageElementTest, FittingAndCropOffsets)
{
    ImageElementPtr big = element(400, 400);
    big->fitInPanel(QRectF(0, 0, 200, 100)); // the larger ratio, 0.5
    EXPECT_TRUE(near(big->getBounds(), QRectF(0, -50, 200, 200)));

    ImageElementPtr small = element(100, 50);
    small->fitInPanel(QRectF(0, 0, 200, 100)); // never enlarged, only centred
    EXPECT_TRUE(near(small->getBounds(), QRectF(50, 25, 100, 50)));

    ImageElementPtr wide = element(400, 200);
    wide->fitToSize(100, QPointF(0, 0)); // the smaller ratio, 0.25
    EXPECT_TRUE(near(wide->getBounds(), QRectF(-50, -25, 100, 50)));

    ImageElementPtr placed = element(200, 100);
    placed->centerOn(QPointF(0, 0));
    EXPECT_TRUE(near(placed->getBounds(), QRectF(-100, -50, 200, 100)));
    placed->transformBy(QTransform::fromScale(2, 2));
    EXPECT_EQ(placed->getOffsetForCrop(QRectF(10, 20, 50, 50)), QPointF(20, 40));

    // Perspective moves the picture's centre into the quad without distorting it.
    ImageElementPtr moved = element(200, 100);
    const std::array<QPointF, 4> quad { QPointF(50, 50), QPointF(250, 50), QPointF(50, 150),
        QPointF(250, 150) };
    moved->perspectiveTransformFrom(QRectF(0, 0, 200, 100), quad);
    EXPECT_TRUE(near(moved->getBounds(), QRectF(50, 50, 200, 100)));
}

TEST_F(ImageElementTest, FitScalesAreTakenInSinglePrecision)
{
    const struct {
        const char* name;
        QSize pixels;
        std::function<void(ImageElement&)> fit;
        double scale;
    } rows[] = {
        { "panel, larger ratio", QSize(300, 300),
            [](ImageElement& e) { e.fitInPanel(QRectF(0, 0, 100, 70)); }, double(float(100.0 / 300.0)) },
        { "panel, exact half", QSize(400, 400), [](ImageElement& e) { e.fitInPanel(QRectF(0, 0, 200, 100)); },
            0.5 },
        { "panel, never enlarged", QSize(100, 50),
            [](ImageElement& e) { e.fitInPanel(QRectF(0, 0, 200, 100)); }, 1.0 },
        { "size, smaller ratio", QSize(700, 300), [](ImageElement& e) { e.fitToSize(100, QPointF(0, 0)); },
            double(float(100.0 / 700.0)) },
        { "size, quarter", QSize(400, 200), [](ImageElement& e) { e.fitToSize(100, QPointF(0, 0)); }, 0.25 },
        { "size, never enlarged", QSize(40, 20), [](ImageElement& e) { e.fitToSize(100, QPointF(0, 0)); },
            1.0 },
    };
    for (const auto& row : rows) {
        const ImageElementPtr e = element(row.pixels.width(), row.pixels.height());
        row.fit(*e);
        EXPECT_EQ(e->transform().m11(), row.scale) << row.name;
        EXPECT_EQ(e->transform().m22(), row.scale) << row.name;
    }

    // A mask without any outline still gives a box, at least 0.1 on each side, where (0, 0) lands.
    const ImageElementPtr e = element(40, 20);
    e->offsetBy(QPointF(5, 6), true);
    e->setChildren({ std::make_shared<MaskingPath>() });
    EXPECT_EQ(e->getBounds(), QRectF(5, 6, double(0.1f), double(0.1f)));
}

// Remembers which elements it was handed, in order.
class VisitRecorder : public GraphicManipulator {
public:
    void manipulate(GraphicElement& graphic) override { visited.push_back(&graphic); }
    std::vector<const GraphicElement*> visited;
};

TEST_F(ImageElementTest, ManipulatorReachesTheElementBeforeItsMasks)
{
    const ImageElementPtr e = element(40, 20);
    const MaskingPathPtr first = squareMask(QRectF(0, 0, 10, 10));
    const MaskingPathPtr second = squareMask(QRectF(5, 5, 10, 10));
    e->setChildren({ first, second });

    VisitRecorder recorder;
    e->notifyAllGraphicsOf(GraphicNotice::FlushCachedImages, &recorder);
    EXPECT_TRUE(recorder.visited.empty());
    e->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, &recorder);
    EXPECT_EQ(recorder.visited, (std::vector<const GraphicElement*> { e.get(), first.get(), second.get() }));

    BreakdownModelManipulator breakdown;
    e->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, &breakdown);
    EXPECT_EQ(first->parent(), nullptr);
    EXPECT_EQ(second->parent(), nullptr);
}

TEST_F(ImageElementTest, HitsOpaquePixelsOrTheMaskRegionOnly)
{
    const ImageElementPtr e = element(200, 100, 100); // the right half is clear
    e->offsetBy(QPointF(10, 0), true);
    EXPECT_TRUE(e->containsPt(QPointF(60, 50), 1));
    EXPECT_FALSE(e->containsPt(QPointF(160, 50), 1)) << "transparent pixel";
    EXPECT_FALSE(e->containsPt(QPointF(5, 50), 1)) << "outside";

    // Two masks, one inside the other, cut a hole; a hit inside the hole misses even on paint.
    const MaskingPathPtr outer = squareMask(QRectF(0, 0, 100, 100));
    const MaskingPathPtr inner = squareMask(QRectF(25, 25, 50, 50));
    e->setChildren({ outer, inner });
    EXPECT_EQ(outer->parent(), e.get());
    EXPECT_TRUE(e->containsPt(QPointF(20, 50), 1));
    EXPECT_FALSE(e->containsPt(QPointF(60, 50), 1));
    EXPECT_EQ(e->getChildAt(QPointF(50, 50), 1), inner);
    EXPECT_EQ(e->getChildAt(QPointF(10, 50), 1), outer);
    EXPECT_EQ(e->getChildAt(QPointF(150, 50), 1), nullptr);

    // A flattened transform cannot be inverted: nothing is hit, nothing breaks.
    e->transformBy(QTransform::fromScale(0, 1));
    EXPECT_FALSE(e->containsPt(QPointF(0, 50), 1));
}

TEST_F(ImageElementTest, DrawsUprightAndClippedToTheMasks)
{
    const auto render = [](ImageElement& e, float alpha) {
        OffscreenImage offscreen(QSize(120, 120));
        ZDLContext context(1.0f);
        context.setCanvas(offscreen.canvas());
        context.setImageAlpha(alpha);
        e.drawIn(context);
        return offscreen.takeImage();
    };

    const ImageElementPtr e = element(100, 100);
    e->offsetBy(QPointF(10, 20), true);
    QImage image = render(*e, 1.0f);
    EXPECT_EQ(image.pixel(50, 30), qRgb(0, 0, 255)) << "the top row of the picture at the top";
    EXPECT_EQ(image.pixel(50, 110), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(image.pixel(5, 30)), 0);

    // The mask is in image coordinates, so it follows the placement.
    e->setChildren({ squareMask(QRectF(0, 0, 50, 50)) });
    image = render(*e, 1.0f);
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) > 127;
    EXPECT_NEAR(painted, 2500, 110);
    EXPECT_EQ(qAlpha(image.pixel(30, 40)), 255);
    EXPECT_EQ(qAlpha(image.pixel(70, 40)), 0);
    EXPECT_EQ(qAlpha(image.pixel(30, 80)), 0);

    image = render(*e, 0.5f);
    EXPECT_NEAR(qAlpha(image.pixel(30, 40)), 128, 2);

    // A hidden mask still clips: it only stops showing its outline in the editor.
    e->maskPaths().first()->setVisible(false);
    image = render(*e, 1.0f);
    EXPECT_EQ(qAlpha(image.pixel(30, 40)), 255);
    EXPECT_EQ(qAlpha(image.pixel(70, 40)), 0);

    e->setVisible(false);
    image = render(*e, 1.0f);
    EXPECT_EQ(qAlpha(image.pixel(30, 40)), 0);
}

TEST_F(ImageElementTest, ArchiveKeysAndRoundTrip)
{
    const ImageElementPtr e = element(40, 20);
    e->setPartType(7);
    e->transformBy(QTransform(0.5, 0.25, -0.25, 0.5, 12, -3));
    e->setChildren({ squareMask(QRectF(1, 2, 10, 8)) });
    e->maskPaths().first()->setVisible(false);
    e->setVisible(false);
    EXPECT_EQ(rootKeys(KeyedArchiver::archivedDataWithRootObject(e->maskPaths().first())).first,
        QStringList { "segments" });
    EXPECT_EQ(rootKeys(KeyedArchiver::archivedDataWithRootObject(e)),
        (std::pair<QStringList, QList<K>> {
            { "image", "transform", "masks", "type" }, { K::Uid, K::Uid, K::Uid, K::Int } }));

    const ImageElementPtr read = decode(KeyedArchiver::archivedDataWithRootObject(e));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->visible());
    EXPECT_FALSE(read->hasOrigin());
    EXPECT_EQ(read->partType(), 7);
    EXPECT_EQ(read->transform(), e->transform());
    ASSERT_TRUE(read->image());
    EXPECT_EQ(read->image()->savedData(), e->image()->savedData());
    ASSERT_EQ(read->numChildren(), 1u);
    EXPECT_EQ(read->maskPaths().first()->getBounds(), QRectF(1, 2, 10, 8));
    EXPECT_EQ(read->maskPaths().first()->parent(), read.get());
    EXPECT_TRUE(read->maskPaths().first()->visible());

    // The pivot, the model and, on the pasteboard only, the character's identifier.
    const auto character = std::make_shared<TestCharacter>();
    e->setOrigin(QPointF(2.5, 3.25));
    e->setModel(character);
    const QStringList withModel { "image", "transform", "masks", "type", "originX", "originY", "model" };
    EXPECT_EQ(rootKeys(KeyedArchiver::archivedDataWithRootObject(e)).first, withModel);
    appController()->setWritingPasteboard(true);
    const auto [keys, kinds] = rootKeys(KeyedArchiver::archivedDataWithRootObject(e));
    EXPECT_EQ(keys, withModel + QStringList { "characterId" });
    EXPECT_EQ(kinds.mid(4, 2), (QList<K> { K::Real32, K::Real32 }));
    const ImageElementPtr pasted = decode(KeyedArchiver::archivedDataWithRootObject(e));
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->characterId(), QStringLiteral("Hero\tAnn"));
    EXPECT_TRUE(pasted->hasOrigin());
    EXPECT_EQ(pasted->origin(), QPointF(2.5, 3.25));
    EXPECT_EQ(pasted->model(), nullptr) << "only a character model is taken as the model";

    pasted->stripIdentity();
    EXPECT_TRUE(pasted->characterId().isEmpty());
    e->stripIdentity();
    EXPECT_EQ(e->model(), nullptr);
}

TEST_F(ImageElementTest, CopiesShareThePictureButNotTheMasks)
{
    const ImageElementPtr source = element(40, 20);
    const auto character = std::make_shared<TestCharacter>();
    source->setModel(character);
    source->setPartType(3);
    source->setOrigin(QPointF(1, 2));
    source->setChildren({ squareMask(QRectF(0, 0, 10, 10)) });
    source->setVisible(false);
    auto group = std::make_shared<PartGroup>();
    group->addPartElement(source);

    const auto copy = copyElement(*source);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->image(), source->image());
    EXPECT_EQ(copy->model(), character.get());
    EXPECT_EQ(copy->partType(), 3);
    EXPECT_EQ(copy->origin(), QPointF(1, 2));
    EXPECT_TRUE(copy->visible());
    EXPECT_EQ(copy->parent(), nullptr);
    ASSERT_EQ(copy->numChildren(), 1u);
    EXPECT_NE(copy->maskPaths().first(), source->maskPaths().first());
    EXPECT_EQ(copy->maskPaths().first()->parent(), copy.get());
    copy->maskPaths().first()->offsetBy(QPointF(50, 0), true);
    EXPECT_EQ(source->maskPaths().first()->getBounds(), QRectF(0, 0, 10, 10));
}

// Containers standing in for a character and a comic panel layer, known by their class chains.
class NamedGroup : public PartGroup {
public:
    explicit NamedGroup(QString name = {})
        : m_name(std::move(name))
    {
    }
    QString className() const override { return m_name; }
    QString m_name;
};

TEST_F(ImageElementTest, UnlinkedElementsAnswerTheModelTheyLieIn)
{
    ClassRegistry::shared().registerClass<NamedGroup>("TestCharacterModel", "CharacterModel");
    ClassRegistry::shared().registerClass<NamedGroup>("TestPanelLayer", "PanelLayer");
    auto character = std::make_shared<NamedGroup>("TestCharacterModel");
    auto layer = std::make_shared<NamedGroup>("TestPanelLayer");
    auto group = std::make_shared<PartGroup>();
    const ImageElementPtr e = element(10, 10);
    group->addPartElement(e);
    character->addPartElement(group);
    EXPECT_EQ(e->model(), character.get());

    // Inside a panel layer the comic's colour set wins over any character around it.
    const auto colours = std::make_shared<TestCharacter>();
    ImageElement::setPanelLayerModelLookup(
        [&](const Object& found) { return &found == layer.get() ? colours.get() : nullptr; });
    layer->addPartElement(character);
    EXPECT_EQ(e->model(), colours.get());
    const auto linked = std::make_shared<TestCharacter>();
    e->setModel(linked);
    EXPECT_EQ(e->model(), linked.get());
    ImageElement::setPanelLayerModelLookup(nullptr);
}

TEST_F(ImageElementTest, HostileArchivesDecodeSafely)
{
    test::ArchiveBuilder b;
    const quint64 elementClass = b.classRecord(QStringLiteral("ImageElement"));
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    const quint64 transformClass = b.classRecord(QStringLiteral("NSAffineTransform"));
    const quint64 root = b.reserve();
    // The masks list holds the element itself; the transform and the pivot are not numbers.
    const quint64 masks = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ root, root }) } }));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const quint64 transform = b.add(b.record(transformClass,
        { { "m11", b.real(nan) }, { "m12", b.real(0) }, { "m21", b.real(0) }, { "m22", b.real(1) },
            { "tX", b.real(std::numeric_limits<double>::infinity()) }, { "tY", b.real(0) } }));
    b.set(root,
        b.record(elementClass,
            { { "transform", b.uid(transform) }, { "masks", b.uid(masks) }, { "type", b.integer(1LL << 40) },
                { "originX", b.real32(float(nan)) }, { "originY", b.real32(1) },
                { "image", b.uid(masks) } }));
    const ImageElementPtr read = decode(b.finish(root));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->numChildren(), 0u);
    EXPECT_TRUE(read->transform().isIdentity());
    EXPECT_FALSE(read->hasOrigin());
    EXPECT_EQ(read->image(), nullptr);
    EXPECT_EQ(read->partType(), std::numeric_limits<int>::max());
    EXPECT_EQ(read->getBounds(), QRectF());
}

TEST_F(ImageElementTest, LegacyRecordPlacesTheBitmap)
{
    // rowBytes 1, height 2, width 8, top -5, left 10, two literal PackBits rows, a rectangular region.
    const QByteArray pixels = QByteArray::fromHex("01ff00");
    const QByteArray region = QByteArray::fromHex("000a00000208");
    QByteArray record = QByteArray::fromHex("000100020008fffb000a");
    record += QByteArray::fromHex("00000003") + QByteArray::fromHex("00000006") + pixels + region;

    BigEndianReader reader(record + QByteArray("tail"));
    const ImageElementPtr e = ImageElement::initFromParts86Reader(reader);
    ASSERT_TRUE(e && e->image());
    EXPECT_EQ(e->image()->pixelSize(), QSizeF(8, 2));
    EXPECT_EQ(e->transform(), QTransform::fromTranslate(10, -5));
    EXPECT_EQ(reader.bytesRemaining(), 4u);

    BigEndianReader shortReader(record.left(record.size() - 1));
    EXPECT_THROW(ImageElement::initFromParts86Reader(shortReader), Exception);
}

} // namespace
} // namespace zandrel
