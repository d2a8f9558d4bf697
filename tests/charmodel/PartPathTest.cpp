#include "charmodel/PartPath.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/TestPartLeaf.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/ShapeStyle.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class PartPathTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
        ClassRegistry::shared().registerOnce(&registerPartPathClasses);
        test::TestPartLeaf::registerClass();
    }

    static CurvePtr curve(const QList<QPointF>& points, bool closed)
    {
        auto made = std::make_shared<Curve>();
        for (const QPointF& p : points)
            made->addPoint(p, true);
        made->setClosed(closed);
        return made;
    }
    // A closed square from (10, 10) to (30, 30).
    static PartPathPtr square()
    {
        auto path = std::make_shared<PartPath>();
        path->setSegments({ curve({ { 10, 10 }, { 30, 10 }, { 30, 30 }, { 10, 30 } }, true) });
        return path;
    }
};

// Writes what a path archive of another version holds: any subset of the keys.
class HandWrittenPath : public Object {
public:
    explicit HandWrittenPath(std::function<void(KeyedArchiver&)> write)
        : m_write(std::move(write))
    {
    }
    QString className() const override { return QStringLiteral("PartPath"); }
    void encodeWithCoder(KeyedArchiver& coder) const override { m_write(coder); }

private:
    std::function<void(KeyedArchiver&)> m_write;
};

TEST_F(PartPathTest, ArchiveRoundTripWithExactKeysAndTypes)
{
    auto red = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    auto path = square();
    path->addPartElement(test::TestPartLeaf::make(QRectF(12, 12, 4, 4)));
    path->setLineColor(red);
    path->setFillColor(red);
    path->setLineAlpha(0.5f);
    path->setLineDash(3);
    path->setLineColorAdjust(-0.25f);
    path->setFillAlpha(0.75f);
    path->setLineWeight(2.5f);
    path->setBlur(1.5f);
    path->setContentVisible(false);
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(path);

    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root"))];
    QStringList keys;
    QList<PropertyList::Kind> kinds;
    for (qsizetype i = 0; i < list.count(root); ++i) {
        const QString key = list.string(list.keys(root)[i]);
        if (key != "$class") {
            keys.append(key);
            kinds.append(list.kind(list.values(root)[i]));
        }
    }
    using K = PropertyList::Kind;
    EXPECT_EQ(keys,
        (QStringList { "children", "segments", "lineColor", "lineAlpha", "dash", "fill", "lineColorAdjust",
            "fillAlpha", "lineWeight", "blur" }));
    EXPECT_EQ(kinds,
        (QList<K> {
            K::Uid, K::Uid, K::Uid, K::Real32, K::Int, K::Uid, K::Real32, K::Real32, K::Real32, K::Real32 }));

    auto read = KeyedUnarchiver::unarchive(data, { "PartPath" }).toObject<PartPath>();
    ASSERT_TRUE(read);
    ASSERT_EQ(read->numSegments(), 1u);
    EXPECT_EQ(read->getSegmentAtIndex(0)->numPoints(), 4);
    EXPECT_TRUE(read->getSegmentAtIndex(0)->closed());
    EXPECT_EQ(read->numChildren(), 1u);
    ASSERT_TRUE(read->lineColor());
    EXPECT_EQ(read->lineColor()->name(), "Red");
    EXPECT_EQ(read->fillColor(), read->lineColor()); // one palette entry, read back as one instance
    EXPECT_EQ(read->lineAlpha(), 0.5f);
    EXPECT_EQ(read->lineDash(), 3);
    EXPECT_EQ(read->lineColorAdjust(), -0.25f);
    EXPECT_EQ(read->fillAlpha(), 0.75f);
    EXPECT_EQ(read->lineWeight(), 2.5f);
    EXPECT_EQ(read->blur(), 1.5f);
    EXPECT_TRUE(read->contentVisible());
}

TEST_F(PartPathTest, OldFilesWithoutFillAndMissingKeys)
{
    auto old = std::make_shared<HandWrittenPath>([](KeyedArchiver& coder) {
        coder.encodeObject(ZDLColor::colorFromHexNamed("#00FF00", "Green"), "fillColor");
        coder.encodeFloat(0.5f, "fillColorAdjust");
    });
    auto read = KeyedUnarchiver::unarchive(KeyedArchiver::archivedDataWithRootObject(old), { "PartPath" })
                    .toObject<PartPath>();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->fillType(), FillTypeColor);
    ASSERT_TRUE(read->fillColor());
    EXPECT_EQ(read->fillColor()->name(), "Green");
    EXPECT_EQ(read->fillColorAdjust(), 0.5f);
    // Only the line opacity defaults to opaque.
    EXPECT_EQ(read->lineAlpha(), 1.0f);
    EXPECT_EQ(read->fillAlpha(), 0.0f);
    EXPECT_EQ(read->lineWeight(), 0.0f);
    EXPECT_EQ(read->numSegments(), 0u);

    // A fill of a refused class and non-finite numbers read like a missing fill and 0.
    auto odd = std::make_shared<HandWrittenPath>([](KeyedArchiver& coder) {
        coder.encodeObject(std::make_shared<Curve>(), "fill");
        coder.encodeFloat(std::numeric_limits<float>::quiet_NaN(), "lineWeight");
        coder.encodeFloat(std::numeric_limits<float>::infinity(), "blur");
    });
    read = KeyedUnarchiver::unarchive(KeyedArchiver::archivedDataWithRootObject(odd), { "PartPath" })
               .toObject<PartPath>();
    ASSERT_TRUE(read);
    ASSERT_TRUE(read->fill());
    EXPECT_TRUE(read->fill()->isNone());
    EXPECT_EQ(read->lineWeight(), 0.0f);
    EXPECT_EQ(read->blur(), 0.0f);
}

TEST_F(PartPathTest, StyleCopiedAndAppliedByName)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    auto source = square();
    source->setLineColor(blue);
    source->setLineWeight(4);
    source->setLineDash(2);
    source->setFillAlpha(0.25f);
    source->setBlur(2);
    source->setFillType(FillTypeGradient);

    ShapeStyle style;
    style.copyFrom(source.get());
    EXPECT_EQ(style.lineColor(), blue);
    EXPECT_EQ(style.lineWeight(), 4.0f);
    EXPECT_EQ(style.lineDash(), 2);
    EXPECT_EQ(style.fillAlpha(), 0.25f);
    EXPECT_EQ(style.blur(), 2.0f);
    EXPECT_EQ(style.fillType(), FillTypeGradient);

    auto target = square();
    style.applyTo(target.get());
    EXPECT_EQ(target->lineColor(), blue);
    EXPECT_EQ(target->lineWeight(), 4.0f);
    EXPECT_EQ(target->lineDash(), 2);
    EXPECT_EQ(target->fillAlpha(), 0.25f);
    EXPECT_EQ(target->blur(), 2.0f);
    EXPECT_EQ(target->fillType(), FillTypeGradient);
    // The path keeps a copy of the fill, not the style's.
    EXPECT_NE(target->fill(), style.fill());

    target->setValueForKey(Value(blue), "fillColor");
    EXPECT_EQ(target->fillType(), FillTypeColor);
    EXPECT_EQ(target->fillColor(), blue);

    // "segments" set by name keeps copies and tells observers before and after.
    int notices = 0;
    target->addObserver(
        "segments", this, [&](Object&, const QString&, const Value&, const Value&) { ++notices; });
    auto given = curve({ { 0, 0 }, { 5, 5 } }, false);
    target->setValueForKey(Value(ValueList { Value(given) }), "segments");
    EXPECT_EQ(notices, 1);
    EXPECT_NE(target->getSegmentAtIndex(0), given);
    given->offsetBy({ 100, 0 });
    EXPECT_EQ(target->getSegmentAtIndex(0)->getPointAtIndex(0)->x(), 0.0f);
    target->deleteCurvePoint(0, 0);
    target->offsetBy({ 1, 1 }, true);
    target->transformBy(QTransform::fromScale(2, 2));
    EXPECT_EQ(notices, 4);
    target->perspectiveTransformFrom(
        QRectF(0, 0, 10, 10), { QPointF(0, 0), QPointF(20, 0), QPointF(20, 20), QPointF(0, 20) });
    EXPECT_EQ(notices, 5);
}

TEST_F(PartPathTest, FillTypeChanges)
{
    auto path = square();
    auto red = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    path->setFillColor(red);
    path->setFillType(FillTypeGradient);
    auto gradientFill = std::dynamic_pointer_cast<GradientFill>(path->fillGradient());
    ASSERT_TRUE(gradientFill);
    EXPECT_EQ(gradientFill->peekGradient()->colorOfStopAtIndex(0), RgbColor(1, 0, 0));
    EXPECT_EQ(gradientFill->peekGradient()->colorOfStopAtIndex(1), RgbColor(1, 1, 1));
    EXPECT_FALSE(path->fillColor());
    EXPECT_EQ(path->fillColorAdjust(), 0.0f);
    const FillPtr before = path->fill();
    path->setFillType(FillTypeGradient); // already a gradient: nothing
    EXPECT_EQ(path->fill(), before);
    path->setFillColorAdjust(0.5f);
    EXPECT_EQ(path->fillType(), FillTypeColor);
    EXPECT_EQ(path->fillColorAdjust(), 0.5f);
}

TEST_F(PartPathTest, HitTesting)
{
    // Unfilled, with no line colour or the none colour: only a band of 3 screen points along the
    // curves, at any zoom.
    for (const ZDLColorPtr& line : { ZDLColorPtr(), ZDLColor::noneColor() }) {
        auto unstroked = square();
        unstroked->setFillColor(ZDLColor::noneColor());
        unstroked->setLineColor(line);
        unstroked->setLineWeight(0.5f); // thinner than the band at every scale below
        for (float scale : { 0.25f, 0.5f, 1.0f, 4.0f }) {
            EXPECT_TRUE(unstroked->containsPt({ 20, 10 + 1.4 / scale }, scale)) << scale;
            EXPECT_FALSE(unstroked->containsPt({ 20, 10 + 1.6 / scale }, scale)) << scale;
            EXPECT_FALSE(unstroked->containsPt({ 20, 20 }, scale)) << scale;
        }
    }
    auto bare = square();
    bare->setFillColor(ZDLColor::noneColor());
    bare->setLineWeight(0);
    // Inside, only a child is hit.
    bare->addPartElement(test::TestPartLeaf::make(QRectF(18, 18, 4, 4)));
    EXPECT_TRUE(bare->containsPt({ 20, 20 }, 1));
    EXPECT_FALSE(bare->containsPt({ 14, 14 }, 1));

    // Filled with a line weight of 0: inside only.
    auto filled = square();
    filled->setLineColor(ZDLColor::blackColor());
    filled->setLineWeight(0);
    EXPECT_TRUE(filled->containsPt({ 20, 20 }, 1));
    EXPECT_FALSE(filled->containsPt({ 20, 9.5 }, 1));
    filled->setLineWeight(4);
    EXPECT_TRUE(filled->containsPt({ 20, 8.5 }, 1));
    EXPECT_FALSE(filled->containsPt({ 20, 7.5 }, 1));
}

TEST_F(PartPathTest, BoundsFamily)
{
    const QRectF curveBounds(10, 10, 20, 20);
    const QRectF grown(8, 8, 24, 24);
    // Weight 4 grows by 2 on every side while the outline shows: never for no line colour, the
    // none colour or a transparent line.
    struct LineCase {
        const char* name;
        ZDLColorPtr color;
        float alpha;
        QRectF visual;
    };
    for (const LineCase& c : { LineCase { "no colour", nullptr, 1, curveBounds },
             LineCase { "none colour", ZDLColor::noneColor(), 1, curveBounds },
             LineCase { "transparent", ZDLColor::blackColor(), 0, curveBounds },
             LineCase { "shown", ZDLColor::blackColor(), 1, grown } }) {
        auto styled = square();
        styled->setLineWeight(4);
        styled->setLineColor(c.color);
        styled->setLineAlpha(c.alpha);
        EXPECT_EQ(styled->getVisualBounds(), c.visual) << c.name;
        EXPECT_EQ(styled->getBoundsOfPaths(), QList<QRectF> { c.visual }) << c.name;
    }
    auto path = square();
    path->setLineWeight(4);
    path->setLineColor(ZDLColor::blackColor());

    struct Case {
        float blur;
        double invalidationGrowth;
        double filteredGrowth;
    };
    for (const Case& c : { Case { 0, 3, 0 }, Case { 0.4f, 3, 3 }, Case { 1.2f, 6, 6 } }) {
        path->setBlur(c.blur);
        const QRectF visual = path->getVisualBounds();
        EXPECT_EQ(
            path->getInvalidationBounds(), insetRect(visual, -c.invalidationGrowth, -c.invalidationGrowth));
        EXPECT_EQ(path->getFilteredBounds(), insetRect(visual, -c.filteredGrowth, -c.filteredGrowth));
    }

    // Children never count; hidden paths and paths without curves are empty.
    path->addPartElement(test::TestPartLeaf::make(QRectF(0, 0, 100, 100)));
    EXPECT_EQ(path->getBounds(), curveBounds);
    path->setVisible(false);
    EXPECT_TRUE(isEmptyRect(path->getBounds()));
    EXPECT_TRUE(isEmptyRect(path->getInvalidationBounds()));
    EXPECT_EQ(path->getBoundsIgnoringVisibility(), curveBounds);
    // The rectangles of the curves do not consult visibility either.
    path->setBlur(0);
    EXPECT_EQ(path->getBoundsOfPaths(), QList<QRectF> { grown });
    EXPECT_TRUE(isEmptyRect(PartPath().getInvalidationBounds()));
    EXPECT_TRUE(PartPath().getBoundsOfPaths().isEmpty());
}

TEST_F(PartPathTest, PixelAlignment)
{
    // Odd widths of a shown outline snap to pixel centres, anything else to pixel edges.
    const ZDLColorPtr black = ZDLColor::blackColor();
    struct Case {
        float weight;
        ZDLColorPtr line;
        float alpha;
        float expectedY;
    };
    for (const Case& c : { Case { 1, black, 1, 10.5f }, Case { 2, black, 1, 10.0f },
             Case { 1, nullptr, 1, 10.0f }, Case { 1, ZDLColor::noneColor(), 1, 10.0f },
             Case { 1, black, 0, 10.0f }, Case { 3, black, 1, 10.5f }, Case { 0.2f, black, 1, 10.5f } }) {
        auto path = std::make_shared<PartPath>();
        path->setSegments({ curve({ { 0.3, 10.3 }, { 20.7, 10.3 } }, false) });
        path->setLineWeight(c.weight);
        path->setLineColor(c.line);
        path->setLineAlpha(c.alpha);
        path->alignPathPointsWithUndoDocument(nullptr);
        const CurvePtr aligned = path->getSegmentAtIndex(0);
        EXPECT_EQ(aligned->getPointAtIndex(0)->y(), c.expectedY) << c.weight;
        EXPECT_EQ(aligned->getPointAtIndex(1)->y(), c.expectedY) << c.weight;
        // A horizontal line leaves x alone.
        EXPECT_EQ(aligned->getPointAtIndex(0)->x(), 0.3f);
    }
    // With a document the snap is one undoable change of "segments".
    ZDLDocument document;
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve({ { 0.3, 10.3 }, { 20.7, 10.3 } }, false) });
    path->alignPathPointsWithUndoDocument(&document);
    EXPECT_EQ(path->getSegmentAtIndex(0)->getPointAtIndex(1)->y(), 10.0f);
    QCoreApplication::processEvents(); // ends the event pass and so the undo group
    ASSERT_TRUE(document.undoManager()->canUndo());
    document.undoManager()->undo();
    EXPECT_EQ(path->getSegmentAtIndex(0)->getPointAtIndex(1)->y(), 10.3f);

    // A diagonal line is left as it is, and observers hear nothing.
    auto diagonal = std::make_shared<PartPath>();
    diagonal->setSegments({ curve({ { 0.3, 0.3 }, { 20.7, 20.2 } }, false) });
    int notices = 0;
    diagonal->addObserver(
        "segments", this, [&](Object&, const QString&, const Value&, const Value&) { ++notices; });
    diagonal->alignPathPointsWithUndoDocument(nullptr);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(diagonal->getSegmentAtIndex(0)->getPointAtIndex(1)->y(), 20.2f);
}

TEST_F(PartPathTest, ValidationAndCopying)
{
    auto path = square();
    path->setSegments({ curve({ { 0, 0 } }, false), path->getSegmentAtIndex(0), curve({}, false) });
    path->addPartElement(test::TestPartLeaf::make(QRectF(0, 0, 1, 1), false));
    Log::Capture log;
    EXPECT_TRUE(path->validateData());
    EXPECT_EQ(path->numSegments(), 1u);
    EXPECT_EQ(path->numChildren(), 0u);
    EXPECT_EQ(log.lines(),
        (QStringList { "PartElement validateData removing a child element", "PartPath can't find owner part",
            "PartPath validateData removing a segment", "PartPath validateData removing a segment" }));
    path->setSegments({});
    path->addPartElement(test::TestPartLeaf::make(QRectF(0, 0, 1, 1)));
    EXPECT_FALSE(path->validateData()); // children do not make a path valid

    auto original = square();
    original->setLineColor(ZDLColor::colorFromHexNamed("#123456", "Ink"));
    original->setContentVisible(false);
    auto copy = copyElement(*original);
    EXPECT_EQ(copy->lineColor(), original->lineColor()); // a palette entry is shared
    EXPECT_NE(copy->fill(), original->fill());
    EXPECT_NE(copy->getSegmentAtIndex(0), original->getSegmentAtIndex(0));
    EXPECT_TRUE(copy->contentVisible());
    EXPECT_TRUE(original->canEditContents());
}

TEST_F(PartPathTest, XmlCurveData)
{
    auto red = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    const QMap<QString, QString> attributes { { "closed", "true" },
        { "curveData", "p 0 0 c 10 0 p 10 10 |p 1 2 p 3" }, { "color", "Red" }, { "lineColor", "Missing" },
        { "colorAdjust", "-50" }, { "lineWeight", "2" }, { "fillAlpha", "0.5" }, { "blur", "150" } };
    auto path = PartPath::initWithXMLAttributes(
        attributes, [&](const QString& name) { return name == "Red" ? red : nullptr; });
    ASSERT_EQ(path->numSegments(), 2u);
    const CurvePtr first = path->getSegmentAtIndex(0);
    EXPECT_TRUE(first->closed());
    ASSERT_EQ(first->numPoints(), 3);
    EXPECT_FALSE(first->getPointAtIndex(1)->onCurve());
    EXPECT_EQ(first->getPointAtIndex(2)->y(), 10.0f);
    // The incomplete last triple is dropped.
    EXPECT_EQ(path->getSegmentAtIndex(1)->numPoints(), 1);
    EXPECT_EQ(path->fillColor(), red);
    EXPECT_FALSE(path->lineColor());
    EXPECT_EQ(path->fillColorAdjust(), -0.5f);
    EXPECT_EQ(path->lineWeight(), 2.0f);
    EXPECT_EQ(path->fillAlpha(), 0.5f);
    EXPECT_EQ(path->blur(), 1.5f);
}

} // namespace
} // namespace zandrel
