#include "graphics/ArrayUtils.h"

#include "charmodel/CharacterModelClasses.h"
#include "charmodel/PartGroup.h"
#include "charmodel/TestPartLeaf.h"
#include "comicmodel/Group.h"
#include "graphics/ZDLContext.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"

#include <QColor>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::TestPartLeaf;

// Remembers the drawing context it was drawn with.
class RecordingLeaf : public TestPartLeaf {
public:
    using TestPartLeaf::TestPartLeaf;
    void drawIn(ZDLContext& context) override
    {
        ++m_draws;
        m_scale = context.scale();
        m_blurThreshold = context.blurThreshold();
        m_exporting = context.exporting();
        TestPartLeaf::drawIn(context);
    }
    int m_draws = 0;
    float m_scale = 0;
    float m_blurThreshold = -1;
    bool m_exporting = false;
};

std::shared_ptr<RecordingLeaf> leaf(const QRectF& rect)
{
    return std::make_shared<RecordingLeaf>(rect);
}

// Containers known to the array utilities by their archived class only.
template <const char* Name> class NamedContainer : public PartElement {
public:
    QString className() const override { return QString::fromLatin1(Name); }
};
constexpr char kPathName[] = "PartPath";

template <class T> std::shared_ptr<T> holding(const ElementList& children)
{
    auto made = std::make_shared<T>();
    for (const ObjectPtr& child : children)
        made->addPartElement(child);
    return made;
}

// A root container that is no model element, as a character model is.
class Root : public Object, public PartElementParent {
public:
    ElementList children() const override { return m_children; }
    void setChildren(const ElementList& children) override { m_children = children; }
    QRectF getBounds() const override { return QRectF(); }
    QRectF getGeometryBounds() const override { return QRectF(); }
    QString displayName() const override { return QString(); }
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }
    void addPartElement(const ObjectPtr& element) override
    {
        m_children.append(element);
        asProtocol<ModelElement>(element)->setParent(this);
    }
    ElementList flattenedChildren() const override { return m_children; }
    ElementList m_children;
};

class ArrayUtilsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }
};

TEST_F(ArrayUtilsTest, BoundsUnionsSkipEmptyAndHiddenMembers)
{
    auto a = leaf(QRectF(10, 10, 5, 5));
    auto hidden = leaf(QRectF(100, 100, 5, 5));
    hidden->setVisible(false);
    const ElementList list { a, leaf(QRectF()), hidden, nullptr };

    struct Case {
        const char* name;
        QRectF (*bounds)(const ElementList&);
        QRectF expected;
    };
    const Case cases[] = {
        { "bounds", &ArrayUtils::getElementsBounds, QRectF(10, 10, 5, 5) },
        { "geometry", &ArrayUtils::getElementsGeometryBounds, QRectF(10, 10, 5, 5) },
        { "visual", &ArrayUtils::getElementsVisualBounds, QRectF(9, 9, 7, 7) },
        { "invalidation", &ArrayUtils::getElementsInvalidationBounds, QRectF(8, 8, 9, 9) },
        { "filtered", &ArrayUtils::getElementsFilteredBounds, QRectF(7, 7, 11, 11) },
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(equalRects(c.bounds(list), c.expected)) << c.name;
        EXPECT_TRUE(equalRects(c.bounds({}), QRectF())) << c.name;
    }
    EXPECT_TRUE(
        equalPoints(ArrayUtils::getElementsCenter({ a, leaf(QRectF(20, 0, 5, 5)) }), QPointF(17.5, 7.5)));
}

TEST_F(ArrayUtilsTest, Flattenings)
{
    auto a = leaf(QRectF(0, 0, 1, 1));
    auto b = leaf(QRectF(0, 0, 1, 1));
    auto c = leaf(QRectF(0, 0, 1, 1));
    auto d = leaf(QRectF(0, 0, 1, 1));
    auto hidden = leaf(QRectF(0, 0, 1, 1));
    hidden->setVisible(false);

    auto hiddenGroup = holding<PartGroup>({ d });
    hiddenGroup->setVisible(false);
    const ElementList parts { holding<PartGroup>({ a, holding<PartGroup>({ b, hidden }) }), hiddenGroup, c };
    const ElementList before = parts;
    EXPECT_EQ(ArrayUtils::flattenPartElementsArray(parts), (ElementList { a, b, c }));
    EXPECT_EQ(parts, before);

    // Comic groups open, balloon groups too.
    auto b2 = leaf(QRectF(0, 0, 1, 1));
    auto c2 = leaf(QRectF(0, 0, 1, 1));
    auto merged = std::make_shared<BalloonGroup>();
    merged->setChildren({ b2, c2 });
    auto group = std::make_shared<Group>();
    group->setChildren({ a, merged });
    const ElementList comic { group, d };
    EXPECT_EQ(ArrayUtils::flattenComicElementsArray(comic), (ElementList { a, b2, c2, d }));

    // A path with children stays and is followed by them, child paths' children included; part
    // groups open, hidden members stay.
    using Path = NamedContainer<kPathName>;
    auto q = leaf(QRectF(0, 0, 1, 1));
    auto r = holding<Path>({ hidden });
    auto p = holding<Path>({ q, r });
    auto e = leaf(QRectF(0, 0, 1, 1));
    EXPECT_EQ(ArrayUtils::flattenContainedPathsArray({ holding<PartGroup>({ p }), e }),
        (ElementList { p, q, r, hidden, e }));
}

TEST_F(ArrayUtilsTest, OverlapAndAncestors)
{
    auto a = leaf(QRectF(0, 0, 10, 10));
    // Visual bounds (grown by 1) meet but the paths do not.
    EXPECT_FALSE(ArrayUtils::object(a, leaf(QRectF(10.5, 0, 10, 10))));
    EXPECT_TRUE(ArrayUtils::object(a, leaf(QRectF(5, 5, 10, 10))));
    EXPECT_FALSE(ArrayUtils::object(a, leaf(QRectF(30, 0, 10, 10))));
    EXPECT_FALSE(ArrayUtils::object(a, nullptr));
    // The bounds of a group span the gap between its paths; only the paths count.
    auto spread = holding<PartGroup>({ leaf(QRectF(-20, -20, 5, 5)), leaf(QRectF(25, 25, 5, 5)) });
    EXPECT_FALSE(ArrayUtils::object(spread, a));

    auto inner = leaf(QRectF(0, 0, 1, 1));
    auto group = holding<PartGroup>({ inner });
    auto path = holding<TestPartLeaf>({ group });
    auto root = std::make_shared<Root>();
    root->addPartElement(path);
    EXPECT_EQ(ArrayUtils::getAncestorOfClass<PartGroup>(inner.get()), group.get());
    EXPECT_EQ(ArrayUtils::getAncestorOfClass<TestPartLeaf>(inner.get()), path.get());
    EXPECT_EQ(ArrayUtils::getAncestorOfClass<Root>(inner.get()), root.get());
    // The walk ends at the root, which has no parent link.
    EXPECT_EQ(ArrayUtils::getAncestorOfClass<Group>(inner.get()), nullptr);
    EXPECT_EQ(ArrayUtils::getAncestorOfClass<PartGroup>(root.get()), nullptr);
}

TEST_F(ArrayUtilsTest, ClassFilters)
{
    auto g = std::make_shared<PartGroup>();
    auto l = leaf(QRectF());
    auto r = std::make_shared<Root>();
    const ElementList mixed { l, g, r };

    EXPECT_FALSE(ArrayUtils::allIn<PartElement>({}));
    EXPECT_FALSE(ArrayUtils::anyIn<PartElement>({}));
    EXPECT_TRUE(ArrayUtils::allIn<PartElement>({ l, g }));
    EXPECT_FALSE(ArrayUtils::allIn<PartElement>(mixed));
    EXPECT_TRUE(ArrayUtils::anyIn<PartGroup>(mixed));
    EXPECT_FALSE(ArrayUtils::anyIn<PartGroup>({ l, r }));
    EXPECT_EQ(ArrayUtils::membersOfOfKindOfClass<PartElement>(mixed), (ElementList { l, g }));
    EXPECT_EQ(ArrayUtils::membersOfConformingToProtocol<Parent>(mixed), mixed);
    EXPECT_EQ(ArrayUtils::membersOfConformingToProtocol<GraphicElement>(mixed), (ElementList { l, g }));
}

TEST_F(ArrayUtilsTest, ExportImagesCoverTheWholeNumberFilteredBounds)
{
    // Filtered bounds (0.5, 0.5, 10, 10); whole-number rectangle (0, 0, 11, 11).
    auto a = leaf(QRectF(3.5, 3.5, 4, 4));
    const struct {
        float scale;
        int side;
    } cases[] = { { 2.0f, 22 }, { 1.0f, 11 }, { 1.5f, 17 } };
    for (const auto& c : cases) {
        const QImage image = ArrayUtils::getImageForElements({ a }, c.scale);
        EXPECT_EQ(image.size(), QSize(c.side, c.side)) << c.scale;
        EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(a->m_scale, c.scale);
        EXPECT_EQ(a->m_blurThreshold, 0.0f);
        EXPECT_TRUE(a->m_exporting);
    }
    // At scale 2 the leaf covers pixels 7 to 14 on both axes.
    const QImage image = ArrayUtils::getImageForElements({ a }, 2.0f);
    EXPECT_EQ(QColor::fromRgba(image.pixel(7, 7)), QColor(Qt::red));
    EXPECT_EQ(QColor::fromRgba(image.pixel(14, 14)), QColor(Qt::red));
    EXPECT_EQ(qAlpha(image.pixel(6, 6)), 0);
    EXPECT_EQ(qAlpha(image.pixel(15, 15)), 0);
    EXPECT_TRUE(ArrayUtils::getImageForElements({}, 1.0f).isNull());

    // The drag image is the filtered bounds at the scale, drawn as on screen.
    const QImage drag = ArrayUtils::getNSImageForElements({ a }, 2.0f);
    EXPECT_EQ(drag.size(), QSize(20, 20));
    EXPECT_EQ(a->m_blurThreshold, ZDLContext::kDefaultBlurThreshold);
    EXPECT_FALSE(a->m_exporting);
    // (3.5 - 0.5) * 2 = 6: the leaf starts at pixel 6.
    EXPECT_EQ(qAlpha(drag.pixel(5, 5)), 0);
    EXPECT_EQ(QColor::fromRgba(drag.pixel(6, 6)), QColor(Qt::red));
    EXPECT_TRUE(ArrayUtils::getNSImageForElements({ leaf(QRectF()) }, 1.0f).isNull());
    EXPECT_TRUE(ArrayUtils::getNSImageForElements({}, 1.0f).isNull());
}

TEST_F(ArrayUtilsTest, PartElementsDrawFlattenedWithoutHiddenMembers)
{
    auto a = leaf(QRectF(0, 0, 1, 1));
    auto b = leaf(QRectF(0, 0, 1, 1));
    auto hidden = leaf(QRectF(0, 0, 1, 1));
    hidden->setVisible(false);
    auto container = holding<PartGroup>({ a, holding<PartGroup>({ hidden, b }) });
    ZDLContext context;
    container->drawIn(context);
    EXPECT_EQ(a->m_draws, 1);
    EXPECT_EQ(b->m_draws, 1);
    EXPECT_EQ(hidden->m_draws, 0);
    container->setVisible(false);
    container->drawIn(context);
    EXPECT_EQ(a->m_draws, 1);
}

} // namespace
} // namespace zandrel
