#include "charmodel/PartAlias.h"

#include "charmodel/CharacterModelClasses.h"
#include "charmodel/Part.h"
#include "charmodel/TestPartLeaf.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModelClasses.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using K = PropertyList::Kind;
using test::TestPartLeaf;

class PartAliasTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        TestPartLeaf::registerClass();
    }

    // A part drawn as two squares at opposite corners of (100, 50, 40, 80).
    void SetUp() override
    {
        part = std::make_shared<Part>();
        part->setChildren({ first, second });
        part->setPartType(3);
        part->setOrigin(QPointF(120, 90));
        alias = std::make_shared<PartAlias>(part);
    }

    QImage render(GraphicElement& element)
    {
        OffscreenImage image(QSize(160, 140));
        image.canvas()->fillRect(QRectF(0, 0, 160, 140), QColor(Qt::white));
        CanvasScope current(image.canvas());
        ZDLContext context(1.0f);
        element.drawIn(context);
        return image.takeImage().convertToFormat(QImage::Format_ARGB32);
    }

    std::shared_ptr<TestPartLeaf> first = TestPartLeaf::make(QRectF(100, 50, 10, 10));
    std::shared_ptr<TestPartLeaf> second = TestPartLeaf::make(QRectF(130, 120, 10, 10));
    PartPtr part;
    PartAliasPtr alias;
};

TEST_F(PartAliasTest, ShowsTheRealPartAtTheAliasPlace)
{
    EXPECT_EQ(alias->aliasBounds(), QRectF(100, 50, 40, 80));
    EXPECT_EQ(alias->displayOffset(), QPointF(0, 0));
    alias->offsetBy(QPointF(-99, -49), true);
    EXPECT_EQ(alias->getBounds(), QRectF(1, 1, 40, 80));
    EXPECT_EQ(alias->getGeometryBounds(), QRectF(1, 1, 40, 80));
    EXPECT_EQ(alias->getVisualBounds(), QRectF(0, 0, 42, 82));
    EXPECT_EQ(alias->getBoundsOfPaths(), (QList<QRectF> { QRectF(0, 0, 12, 12), QRectF(30, 70, 12, 12) }));
    EXPECT_EQ(part->getBounds(), QRectF(100, 50, 40, 80));

    const QImage drawn = render(*alias);
    EXPECT_EQ(drawn.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(35, 75), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(105, 55), qRgb(255, 255, 255)) << "the part itself is not drawn where it stands";

    // Hits are the real part's own, moved back: the empty middle of the alias rect is no hit.
    EXPECT_TRUE(alias->containsPt(QPointF(5, 5), 1.0f));
    EXPECT_FALSE(alias->containsPt(QPointF(20, 40), 1.0f));
    EXPECT_TRUE(pointInRect(QPointF(20, 40), alias->getBounds()));

    // Shape changes are ignored; part type and pivot are the real part's.
    alias->transformBy(QTransform().scale(3, 3).rotate(30));
    alias->perspectiveTransformFrom(
        QRectF(0, 0, 10, 10), { QPointF(0, 0), QPointF(50, 0), QPointF(50, 50), QPointF(0, 60) });
    EXPECT_EQ(alias->getBounds(), QRectF(1, 1, 40, 80));
    EXPECT_EQ(part->getBounds(), QRectF(100, 50, 40, 80));
    EXPECT_TRUE(alias->supportsPartType());
    EXPECT_EQ(alias->partType(), 3);
    alias->setPartType(8);
    EXPECT_EQ(part->partType(), 8);
    EXPECT_TRUE(alias->supportsOrigin());
    EXPECT_EQ(alias->appliedOrigin(), QPointF(21, 41));

    const auto copy = copyElement(*alias);
    EXPECT_EQ(copy->realPart(), part);
    EXPECT_EQ(copy->aliasBounds(), alias->aliasBounds());

    EXPECT_EQ(alias->extractPart(), part);
    EXPECT_EQ(part->getBounds(), QRectF(1, 1, 40, 80));
    EXPECT_EQ(first->m_rect, QRectF(1, 1, 10, 10));
}

TEST_F(PartAliasTest, ElementsWithoutPartTypeOrPivot)
{
    // A balloon: neither a part nor an image. It is shown, archived and read back all the same.
    const auto balloon = Balloon::initAt(QPointF(10, 20), 80);
    PartAlias other(balloon);
    EXPECT_FALSE(other.supportsPartType());
    EXPECT_FALSE(other.supportsOrigin());
    other.setPartType(4);
    EXPECT_EQ(other.partType(), 0);
    EXPECT_EQ(balloon->partType(), Balloon::kTextPartType);
    EXPECT_EQ(other.appliedOrigin(), QPointF());
    EXPECT_FALSE(other.cacheIfNeededAtScale(1.0f));
    other.offsetBy(QPointF(30, 5), true);
    const auto read = KeyedUnarchiver::unarchive(
        KeyedArchiver::archivedDataWithRootObject(other.initByCopying()), { PartAlias::kClassName })
                          .toObject<PartAlias>();
    ASSERT_TRUE(read);
    ASSERT_TRUE(std::dynamic_pointer_cast<Balloon>(read->realPart()));
    EXPECT_EQ(read->getBounds(), other.getBounds());
    EXPECT_EQ(read->getVisualBounds(), offsetRect(balloon->getVisualBounds(), 30, 5));

    PartAlias empty;
    EXPECT_EQ(empty.getBounds(), QRectF());
    EXPECT_EQ(empty.getVisualBounds(), QRectF());
    EXPECT_TRUE(empty.getBoundsOfPaths().isEmpty());
    EXPECT_FALSE(empty.containsPt(QPointF(), 1.0f));
    EXPECT_EQ(empty.partType(), 0);
    EXPECT_EQ(empty.extractPart(), nullptr);
    EXPECT_EQ(render(empty).pixel(0, 0), qRgb(255, 255, 255));
    alias->setVisible(false);
    EXPECT_EQ(render(*alias).pixel(105, 55), qRgb(255, 255, 255));
}

TEST_F(PartAliasTest, ArchiveBringsTheRealPart)
{
    alias->offsetBy(QPointF(-99.5, -49), true);
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(alias);
    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root"))];
    QStringList keys;
    QList<K> kinds;
    for (qsizetype i = 0; i < list.count(root); ++i) {
        if (list.string(list.keys(root)[i]) != "$class") {
            keys.append(list.string(list.keys(root)[i]));
            kinds.append(list.kind(list.values(root)[i]));
        }
    }
    EXPECT_EQ(keys, (QStringList { "part", "left", "top" }));
    EXPECT_EQ(kinds, (QList<K> { K::Uid, K::Real32, K::Real32 }));

    const auto read = KeyedUnarchiver::unarchive(data, { QStringLiteral("PartAlias") }).toObject<PartAlias>();
    ASSERT_TRUE(read);
    const auto real = std::dynamic_pointer_cast<Part>(read->realPart());
    ASSERT_TRUE(real);
    EXPECT_EQ(real->numChildren(), 2u);
    EXPECT_EQ(read->realPartBoundsOrigin(), QPointF(100, 50));
    EXPECT_EQ(read->aliasBounds(), QRectF(0.5, 1, 40, 80));
    EXPECT_EQ(read->getGeometryBounds(), QRectF(0.5, 1, 40, 80));
}

TEST_F(PartAliasTest, HostileArchivesDecodeSafely)
{
    test::ArchiveBuilder b;
    const quint64 aliasClass = b.classRecord(QStringLiteral("PartAlias"));
    const quint64 partClass = b.classRecord(QStringLiteral("Part"));
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    const quint64 root = b.reserve();
    const quint64 part = b.add(b.record(partClass, { { "type", b.integer(2) } }));
    const quint64 list = b.add(b.record(arrayClass, { { "NS.objects", b.uids({ part, root }) } }));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A list of parts is not one element; the position is not a number.
    b.set(root,
        b.record(aliasClass, { { "part", b.uid(list) }, { "left", b.real32(nan) }, { "top", b.real32(3) } }));
    auto read
        = KeyedUnarchiver::unarchive(b.finish(root), { QStringLiteral("PartAlias") }).toObject<PartAlias>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->realPart(), nullptr);
    EXPECT_EQ(read->aliasBounds(), QRectF());

    // The alias naming itself as its element.
    test::ArchiveBuilder s;
    const quint64 selfClass = s.classRecord(QStringLiteral("PartAlias"));
    const quint64 self = s.reserve();
    s.set(self,
        s.record(selfClass, { { "part", s.uid(self) }, { "left", s.real32(1) }, { "top", s.real32(2) } }));
    read = KeyedUnarchiver::unarchive(s.finish(self), { QStringLiteral("PartAlias") }).toObject<PartAlias>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->realPart(), nullptr);
    EXPECT_EQ(read->aliasBounds(), QRectF(1, 2, 0, 0));
}

} // namespace
} // namespace zandrel
