#include "charmodel/BlurGroupCollector.h"

#include "charmodel/ImageElement.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "charmodel/TestPartLeaf.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"
#include "support/TestSupport.h"

#include <QImage>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

constexpr float kImage = -1000.0f; // an image element
constexpr float kLeaf = -3000.0f; // another element that is not a path
constexpr float kHidden = -2000.0f; // a hidden path with blur 2
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

PartPathPtr square(double x, double y, double side, float blur, const ZDLColorPtr& color)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& p :
        { QPointF(x, y), QPointF(x + side, y), QPointF(x + side, y + side), QPointF(x, y + side) })
        curve->addPoint(p, true);
    curve->setClosed(true);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    path->setFillColor(color);
    path->setBlur(blur);
    return path;
}

// One element per entry: a path of that blur side by side, or the markers above.
ElementList elementsFor(const std::vector<float>& blurs)
{
    ElementList elements;
    double x = 10;
    for (float blur : blurs) {
        if (blur == kImage) {
            elements.append(std::make_shared<ImageElement>());
        } else if (blur == kLeaf) {
            elements.append(test::TestPartLeaf::make(QRectF(x, 10, 10, 10)));
        } else {
            auto path = square(x, 10, 10, blur == kHidden ? 2.0f : blur, ZDLColor::blackColor());
            path->setVisible(blur != kHidden);
            elements.append(path);
        }
        x += 20;
    }
    return elements;
}

// For each element, the index of its group's first element, or -1.
std::vector<int> mastersOf(const ElementList& elements)
{
    std::vector<int> masters;
    for (const ObjectPtr& element : elements) {
        const auto* path = dynamic_cast<const PartPath*>(element.get());
        int index = -1;
        for (qsizetype i = 0; path && path->blurMaster() && i < elements.size(); ++i) {
            if (elements.at(i).get() == path->blurMaster())
                index = static_cast<int>(i);
        }
        masters.push_back(index);
    }
    return masters;
}

QImage render(const QSize& size, const std::function<void(ZDLContext&)>& draw)
{
    OffscreenImage offscreen(size);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return {};
    canvas->fillRect(QRectF(QPointF(0, 0), QSizeF(size)), QColor(Qt::white));
    {
        CanvasScope scope(canvas);
        ZDLContext context(1.0f);
        draw(context);
    }
    return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(BlurGroupCollectorTest, GroupsNeighbouringPathsOfLikeBlur)
{
    struct Case {
        const char* name;
        std::vector<float> blurs;
        std::vector<int> masters;
    };
    // At scale 1 with the default threshold 0.8, blurs of 0.8 and below are not shown.
    const std::vector<Case> cases = {
        { "close radii join", { 2, 2.5f, 3 }, { 0, 0, 0 } },
        { "ratio exactly 1.5 joins", { 2, 3 }, { 0, 0 } },
        { "ratio 1.75 does not", { 2, 3.5f }, { -1, -1 } },
        { "the factor holds against every member", { 2, 3, 1.9f, 1.5f }, { 0, 0, 2, 2 } },
        { "a sharp path separates", { 2, 0, 2 }, { -1, -1, -1 } },
        { "an image separates", { 2, kImage, 2 }, { -1, -1, -1 } },
        { "any element that is not a path separates", { 2, 2, kLeaf, 2, 2 }, { 0, 0, -1, 3, 3 } },
        { "a hidden path is passed over", { 2, kHidden, 2 }, { 0, -1, 0 } },
        { "an unshown blur opens nothing", { 0.6f, 0.7f, 2 }, { -1, -1, -1 } },
        { "an unshown blur joins a shown one", { 0.9f, 0.7f }, { 0, 0 } },
        { "negative and NaN radii separate", { 2, -2, 2, kNaN, 2 }, { -1, -1, -1, -1, -1 } },
        { "two groups in a row", { 1, 1, 5, 6, 0, 4, 4 }, { 0, 0, 2, 2, -1, 5, 5 } },
    };
    for (const Case& c : cases) {
        const ElementList elements = elementsFor(c.blurs);
        ZDLContext context;
        BlurGroupCollector collector(context);
        for (const ObjectPtr& element : elements)
            collector.collect(element);
        collector.flush();
        EXPECT_EQ(mastersOf(elements), c.masters) << c.name;
        EXPECT_TRUE(collector.group().isEmpty()) << c.name;
        EXPECT_EQ(collector.master(), nullptr) << c.name;
    }
}

TEST(BlurGroupCollectorTest, GroupsLastUntilAMemberChanges)
{
    // A part group is opened for drawing, so its paths group with their neighbours.
    const ElementList paths = elementsFor({ 2, 2.5f, 3, 2 });
    auto partGroup = std::make_shared<PartGroup>();
    partGroup->addPartElement(paths.at(1));
    const ElementList elements = { paths.at(0), partGroup, paths.at(2) };
    auto* first = dynamic_cast<PartPath*>(paths.at(0).get());
    auto* second = dynamic_cast<PartPath*>(paths.at(1).get());

    render({ 100, 40 }, [&](ZDLContext& context) { ArrayUtils::drawPartElements(elements, context); });
    EXPECT_EQ(mastersOf(paths), (std::vector<int> { 0, 0, 0, -1 }));
    ASSERT_EQ(first->blurGroup().size(), 3);
    // One image over the members' bounds (50 x 10), blurred with the mean radius 2.5 and so
    // padded by 8 on every side.
    EXPECT_EQ(first->cachedFilteredImage().size(), QSize(66, 26));
    const qint64 key = first->cachedFilteredImage().cacheKey();

    // Drawn again: the group and its image stay. A path of a group offered with newcomers keeps
    // its group and closes the newcomer's.
    ZDLContext context;
    BlurGroupCollector collector(context);
    collector.collect(paths.at(3));
    collector.collect(paths.at(0));
    collector.flush();
    render({ 100, 40 }, [&](ZDLContext& context) { ArrayUtils::drawPartElements(elements, context); });
    EXPECT_EQ(first->cachedFilteredImage().cacheKey(), key);
    EXPECT_EQ(mastersOf(paths), (std::vector<int> { 0, 0, 0, -1 }));

    // A style change of the second path dissolves the whole group; the next pass groups again.
    second->setLineColor(ZDLColor::blackColor());
    EXPECT_EQ(mastersOf(paths), (std::vector<int> { -1, -1, -1, -1 }));
    EXPECT_TRUE(first->cachedFilteredImage().isNull());
    render({ 100, 40 }, [&](ZDLContext& context) { ArrayUtils::drawPartElements(elements, context); });
    EXPECT_EQ(mastersOf(paths), (std::vector<int> { 0, 0, 0, -1 }));
}

TEST(BlurGroupCollectorTest, GroupIsBlurredAsOneImage)
{
    // A black square with a white one inside it, blurred with radii 2 and 3: one image blurred
    // with their mean, the white lightening the black.
    auto outer = square(10, 10, 30, 2, ZDLColor::blackColor());
    auto inner = square(20, 20, 10, 3, ZDLColor::whiteColor());
    const ElementList elements = { outer, inner };
    const QImage image
        = render({ 50, 50 }, [&](ZDLContext& context) { ArrayUtils::drawPartElements(elements, context); });
    ASSERT_EQ(inner->blurMaster(), outer.get());
    EXPECT_GT(qRed(image.pixel(25, 25)), 150);
    EXPECT_LT(qRed(image.pixel(14, 25)), 60);
    // Soft on both sides of the edge, reaching beyond it, alike on every side.
    const int edge = qRed(image.pixel(10, 25));
    EXPECT_GT(edge, 90);
    EXPECT_LT(edge, 170);
    EXPECT_NEAR(qRed(image.pixel(39, 25)), edge, 12);
    EXPECT_NEAR(qRed(image.pixel(25, 39)), edge, 12);
    EXPECT_LT(qRed(image.pixel(7, 25)), 250);

    const QString path = test::sourcePath("tests/charmodel/data/blur-group.png");
    if (qEnvironmentVariableIsSet("ZANDREL_WRITE_REFERENCE_IMAGES")) {
        ASSERT_TRUE(image.save(path));
        GTEST_SKIP() << "wrote " << path.toStdString();
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(reference.size(), image.size()) << path.toStdString();
    int different = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y), b = reference.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > 3 || std::abs(qAlpha(a) - qAlpha(b)) > 3)
                ++different;
        }
    }
    EXPECT_LE(different, image.width() * image.height() / 200) << "pixels off by more than 3 levels";
}

} // namespace
} // namespace zandrel
