#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/StructureTestSupport.h"
#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::coordinatesOf;
using test::cornersOf;
using test::DocumentedComic;
using test::TestPanel;
using Corners = std::array<QPointF, 4>;

class ComicStackRowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }
};

std::shared_ptr<ComicStructureElement> withCorners(const Corners& corners)
{
    auto element = TestPanel::make(QRectF());
    element->setTopLeft(corners[0]);
    element->setTopRight(corners[1]);
    element->setBottomLeft(corners[2]);
    element->setBottomRight(corners[3]);
    return element;
}

void expectNear(const Corners& actual, const Corners& expected, const char* what)
{
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-4) << what << " corner " << i;
        EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-4) << what << " corner " << i;
    }
}

TEST_F(ComicStackRowTest, ConstructorsDivideEqually)
{
    auto stack = std::make_shared<ComicStack>();
    stack->initWithRect(QRectF(0, 0, 600, 300), nullptr, 3, 4);
    ASSERT_EQ(stack->numContents(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto row = stack->contents()[i];
        EXPECT_EQ(row->className(), QStringLiteral("ComicRow"));
        EXPECT_EQ(row->parent(), stack.get());
        EXPECT_EQ(row->bounds(), QRectF(0, 100.0 * i, 600, 100));
        ASSERT_EQ(row->numContents(), 4u);
        for (size_t j = 0; j < 4; ++j) {
            EXPECT_EQ(row->contents()[j]->parent(), row.get());
            EXPECT_EQ(row->contents()[j]->bounds(), QRectF(150.0 * j, 100.0 * i, 150, 100));
        }
    }
    // The origin is taken in single precision; the divisions are not.
    auto row = std::make_shared<ComicRow>();
    row->initWithRect(QRectF(0.1, 0.1, 100, 30), nullptr, 3);
    EXPECT_EQ(row->contents()[1]->topLeft(), QPointF(double(0.1f) + 100.0 / 3, 0.1));
    EXPECT_EQ(row->topLeft(), QPointF(0.1, 0.1));

    auto stack2 = std::make_shared<ComicStack>();
    stack2->initWithRect(QRectF(0.3, 0.1, 60, 100), nullptr, 3, 1);
    EXPECT_EQ(stack2->contents()[1]->topLeft(), QPointF(0.3, double(0.1f) + 100.0 / 3));
    EXPECT_EQ(
        stack2->contents()[1]->contents()[0]->topLeft(), QPointF(double(0.3f), double(0.1f) + 100.0 / 3));

    auto empty = std::make_shared<ComicStack>();
    empty->initWithRect(QRectF(0, 0, 10, 10), nullptr, 0, 4);
    EXPECT_EQ(empty->numContents(), 0u);
    EXPECT_EQ(empty->contentArrangement(), ContentArrangement::StackedTopToBottom);
    EXPECT_EQ(row->contentArrangement(), ContentArrangement::SideBySide);
}

TEST_F(ComicStackRowTest, StackKeepsRowSharesWhenItsBottomMoves)
{
    struct Case {
        std::vector<double> heights;
        std::vector<double> expected;
    };
    const Case cases[] = {
        { { 100, 100, 100 }, { 120, 120, 120 } },
        { { 50, 100, 150 }, { 60, 120, 180 } },
    };
    for (const Case& c : cases) {
        auto stack = std::make_shared<ComicStack>();
        stack->initWithRect(QRectF(0, 0, 600, 300), nullptr);
        double y = 0;
        ComicStructureList rows;
        for (double h : c.heights) {
            auto row = std::make_shared<ComicRow>();
            row->initWithRect(QRectF(0, y, 600, h), nullptr, 2);
            rows.push_back(row);
            y += h;
        }
        stack->setContents(rows);
        DocumentedComic d({ stack });
        stack->setTopLeftTopRightBottomLeftBottomRight(
            QPointF(0, 0), QPointF(600, 0), QPointF(0, 360), QPointF(600, 360));
        EXPECT_EQ(stack->bottomLeft(), QPointF(0, 360));
        double top = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            const double bottom = top + c.expected[i];
            expectNear(cornersOf(*rows[i]),
                { QPointF(0, top), QPointF(600, top), QPointF(0, bottom), QPointF(600, bottom) }, "row");
            // The panels follow their row.
            expectNear(cornersOf(*rows[i]->contents()[1]),
                { QPointF(300, top), QPointF(600, top), QPointF(300, bottom), QPointF(600, bottom) },
                "panel");
            top = bottom;
        }
    }
}

TEST_F(ComicStackRowTest, SharesAreSinglePrecisionFractions)
{
    // Shares of 50, 100 and 150 out of 300: 50 / 300 rounds up as a float, so the first boundary
    // lies a little below 60; the rounded shares then add up to exactly one half and one.
    auto stack = std::make_shared<ComicStack>();
    stack->initWithRect(QRectF(0, 0, 600, 300), nullptr);
    ComicStructureList rows;
    double y = 0;
    for (double h : { 50.0, 100.0, 150.0 }) {
        auto row = std::make_shared<ComicRow>();
        row->initWithRect(QRectF(0, y, 600, h), nullptr, 1);
        rows.push_back(row);
        y += h;
    }
    stack->setContents(rows);
    DocumentedComic d({ stack });
    stack->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0, 0), QPointF(600, 0), QPointF(0, 360), QPointF(600, 360));
    const double first = double(50.0f / 300.0f) * 360.0;
    ASSERT_NE(first, 60.0);
    const std::vector<double> bottoms { first, 180, 360 };
    double top = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(coordinatesOf(*rows[i]),
            (std::vector<double> { 0, top, 600, top, 0, bottoms[i], 600, bottoms[i] }))
            << "row " << i;
        EXPECT_EQ(coordinatesOf(*rows[i]->contents()[0]), coordinatesOf(*rows[i])) << "panel " << i;
        top = bottoms[i];
    }
}

TEST_F(ComicStackRowTest, RowOfThreeInASkewedQuad)
{
    // Top edges 150, 150, 300 and bottom edges 300, 150, 150: each side keeps its own shares.
    auto row = std::make_shared<ComicRow>();
    row->initWithRect(QRectF(0, 0, 600, 100), nullptr);
    auto a = withCorners({ QPointF(0, 0), QPointF(150, 0), QPointF(0, 100), QPointF(300, 100) });
    auto b = withCorners({ QPointF(150, 0), QPointF(300, 0), QPointF(300, 100), QPointF(450, 100) });
    auto c = withCorners({ QPointF(300, 0), QPointF(600, 0), QPointF(450, 100), QPointF(600, 100) });
    row->setContents({ a, b, c });
    DocumentedComic d({ row });

    const Corners quad = { QPointF(0, 0), QPointF(400, 40), QPointF(40, 200), QPointF(840, 120) };
    row->setTopLeftTopRightBottomLeftBottomRight(quad[0], quad[1], quad[2], quad[3]);
    EXPECT_EQ(cornersOf(*row), quad);
    EXPECT_EQ(
        cornersOf(*a), (Corners { QPointF(0, 0), QPointF(100, 10), QPointF(40, 200), QPointF(440, 160) }));
    EXPECT_EQ(cornersOf(*b),
        (Corners { QPointF(100, 10), QPointF(200, 20), QPointF(440, 160), QPointF(640, 140) }));
    EXPECT_EQ(cornersOf(*c),
        (Corners { QPointF(200, 20), QPointF(400, 40), QPointF(640, 140), QPointF(840, 120) }));
}

TEST_F(ComicStackRowTest, PullingTheBottomRightCornerWidensOnlyBottomEdges)
{
    auto row = std::make_shared<ComicRow>();
    row->initWithRect(QRectF(0, 0, 400, 100), nullptr, 4);
    DocumentedComic d({ row });
    row->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0, 0), QPointF(400, 0), QPointF(0, 100), QPointF(800, 100));
    const auto panels = row->contents();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(panels[i]->topLeft(), QPointF(100.0 * i, 0));
        EXPECT_EQ(panels[i]->topRight(), QPointF(100.0 * (i + 1), 0));
        EXPECT_EQ(panels[i]->bottomLeft(), QPointF(200.0 * i, 100));
        EXPECT_EQ(panels[i]->bottomRight(), QPointF(200.0 * (i + 1), 100));
    }
}

TEST_F(ComicStackRowTest, CollapsedChildrenShareEqually)
{
    auto row = std::make_shared<ComicRow>();
    row->initWithRect(QRectF(0, 0, 0, 100), nullptr);
    ComicStructureList panels;
    for (int i = 0; i < 4; ++i)
        panels.push_back(withCorners({ QPointF(0, 0), QPointF(0, 0), QPointF(0, 100), QPointF(0, 100) }));
    row->setContents(panels);
    DocumentedComic d({ row });
    row->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0, 0), QPointF(400, 0), QPointF(0, 100), QPointF(400, 100));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(panels[i]->bounds(), QRectF(100.0 * i, 0, 100, 100)) << i;
}

TEST_F(ComicStackRowTest, UndoRestoresEveryCornerOfTheTree)
{
    auto stack = std::make_shared<ComicStack>();
    stack->initWithRect(QRectF(10, 10, 600, 300), nullptr, 3, 3);
    DocumentedComic d({ stack });
    auto snapshot = [&] {
        std::vector<double> all = coordinatesOf(*stack);
        for (const auto& row : stack->contents()) {
            const auto rowValues = coordinatesOf(*row);
            all.insert(all.end(), rowValues.begin(), rowValues.end());
            for (const auto& panel : row->contents()) {
                const auto panelValues = coordinatesOf(*panel);
                all.insert(all.end(), panelValues.begin(), panelValues.end());
            }
        }
        return all;
    };
    const auto before = snapshot();
    stack->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(13.3, 7), QPointF(590.7, 31), QPointF(-2, 333.3), QPointF(640.1, 290.9));
    const auto after = snapshot();
    ASSERT_NE(after, before);

    UndoManager& undo = *d.document.undoManager();
    undo.undo();
    EXPECT_EQ(snapshot(), before);
    undo.redo();
    EXPECT_EQ(snapshot(), after);
}

TEST_F(ComicStackRowTest, OnlyInnerEdgesOfChildrenMayBeDragged)
{
    auto single = std::make_shared<ComicRow>();
    single->initWithRect(QRectF(0, 0, 300, 100), nullptr, 1);
    auto row = std::make_shared<ComicRow>();
    row->initWithRect(QRectF(0, 0, 300, 100), nullptr, 3);
    auto stack = std::make_shared<ComicStack>();
    stack->initWithRect(QRectF(0, 0, 300, 300), nullptr, 3, 1);

    // Allowed parts 0 to 8 for the first, middle and last child.
    const char* rowExpected[] = { "001000101", "011001111", "010001010" };
    const char* stackExpected[] = { "000010011", "000111111", "000101100" };
    for (int part = 0; part <= 8; ++part) {
        EXPECT_FALSE(single->canEditChild(single->contents()[0].get(), FramePart(part))) << part;
        EXPECT_FALSE(row->canEditChild(stack.get(), FramePart(part))) << part;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(
                row->canEditChild(row->contents()[i].get(), FramePart(part)), rowExpected[i][part] == '1')
                << "row child " << i << " part " << part;
            EXPECT_EQ(stack->canEditChild(stack->contents()[i].get(), FramePart(part)),
                stackExpected[i][part] == '1')
                << "stack child " << i << " part " << part;
        }
    }
}

TEST_F(ComicStackRowTest, MinimumSizes)
{
    auto row = std::make_shared<ComicRow>();
    row->setContents(
        { TestPanel::make(QRectF(), QSizeF(40, 30)), TestPanel::make(QRectF(), QSizeF(50, 20)) });
    EXPECT_EQ(row->minimumSize(), QSizeF(90, 30));

    auto stack = std::make_shared<ComicStack>();
    stack->setContents(
        { TestPanel::make(QRectF(), QSizeF(40, 30)), TestPanel::make(QRectF(), QSizeF(50, 20)) });
    EXPECT_EQ(stack->minimumSize(), QSizeF(50, 50));

    // The largest is taken in single precision, the sum in double.
    row->setContents(
        { TestPanel::make(QRectF(), QSizeF(0.1, 0.1)), TestPanel::make(QRectF(), QSizeF(0.2, 0.05)) });
    EXPECT_EQ(row->minimumSize(), QSizeF(0.1 + 0.2, double(0.1f)));

    EXPECT_EQ(std::make_shared<ComicStack>()->minimumSize(), QSizeF(0, 0));
    EXPECT_EQ(std::make_shared<ComicRow>()->minimumSize(), QSizeF(0, 0));
}

} // namespace
} // namespace zandrel
