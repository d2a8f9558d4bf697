// The editing-level bar's layout, shrinking and clicks, and the stack view's arranging.
#include "charmodel/Part.h"
#include "views/EditingLevelControl.h"
#include "views/StackView.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class LevelBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar.setLevels(&levels);
        bar.resize(2000, 20);
    }
    void fill(const QStringList& titles, const QImage& image = QImage())
    {
        levels.removeAllLevels();
        for (const QString& title : titles)
            levels.insertLevel(levels.numLevels(), title, image, std::make_shared<Part>());
        bar.levelsChanged();
        bar.layoutCrumbs();
    }
    float textWidths() const
    {
        float total = 0;
        for (const EditingLevelControl::Crumb& crumb : bar.crumbs())
            total += float(crumb.textBounds.width());
        return total;
    }

    EditingLevels levels;
    EditingLevelControl bar;
};

TEST_F(LevelBarTest, CrumbsAreLaidOutAsArrowsTheLastOneShorter)
{
    fill({});
    EXPECT_EQ(bar.tooWideBy(), 0.0f);
    fill({ QStringLiteral("Bob"), QStringLiteral("Bob") });
    const auto& crumbs = bar.crumbs();
    ASSERT_EQ(crumbs.size(), 2);
    EXPECT_EQ(crumbs.at(0).bounds.x(), 2.5);
    EXPECT_EQ(crumbs.at(0).bounds.y(), 0.5);
    EXPECT_EQ(crumbs.at(0).bounds.height(), 19.0);
    EXPECT_EQ(crumbs.at(1).bounds.x(), crumbs.at(0).bounds.right());
    // The same title, 7 points narrower when last; without an icon the text starts at the rounded
    // x + 11.5, 7 less for the last.
    EXPECT_EQ(crumbs.at(1).bounds.width(), crumbs.at(0).bounds.width() - 7);
    EXPECT_EQ(crumbs.at(0).imageBounds.width(), 0.0);
    EXPECT_EQ(crumbs.at(0).textBounds.x(), std::round(2.5 + 11.5));
    EXPECT_EQ(crumbs.at(1).textBounds.x(), std::round(crumbs.at(1).bounds.x() + 11.5) - 7);

    // An icon 30 high and 20 wide is drawn 15 high and 10 wide.
    QImage icon(20, 30, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    fill({ QStringLiteral("Bob"), QStringLiteral("Part") }, icon);
    EXPECT_EQ(bar.crumbs().at(0).imageBounds.size(), QSizeF(10, 15));
}

TEST_F(LevelBarTest, ABarTooNarrowTrimsEveryTitleThenDropsTheMiddleTitlesFirst)
{
    const QStringList titles { QStringLiteral("Comic"), QStringLiteral("Page one"),
        QStringLiteral("Group of two"), QStringLiteral("Part (Head)"), QStringLiteral("Path Contents") };
    fill(titles);
    const float full = float(bar.crumbs().last().bounds.right());
    const float fullText = textWidths();

    // Crumbs start half a point in: 4.5 points too narrow costs each of the five titles one point.
    ASSERT_EQ(full - std::floor(full), 0.5f);
    bar.resize(int(full) - 4, 20);
    bar.layoutCrumbs();
    EXPECT_EQ(bar.tooWideBy(), 0.0f);
    EXPECT_EQ(fullText - textWidths(), 5.0f);

    // Much too narrow: after trimming, the second crumb's title goes first, then the third's.
    bar.resize(int(full) - 120, 20);
    bar.layoutCrumbs();
    const auto& crumbs = bar.crumbs();
    EXPECT_EQ(crumbs.at(1).textBounds.width(), 0.0);
    EXPECT_GT(crumbs.at(0).textBounds.width(), 0.0);
    EXPECT_GT(crumbs.at(4).textBounds.width(), 0.0);
    EXPECT_LE(crumbs.last().bounds.right(), bar.width());
    // Only when every title is gone do the icons go.
    bar.resize(40, 20);
    bar.layoutCrumbs();
    EXPECT_EQ(textWidths(), 0.0f);
}

TEST_F(LevelBarTest, APressSendsTheActionOnlyWhenReleasedOverItsCrumb)
{
    fill({ QStringLiteral("Bob"), QStringLiteral("Part"), QStringLiteral("Group") });
    bar.show();
    QList<ObjectPtr> sent;
    QObject::connect(
        &bar, &EditingLevelControl::action, [&] { sent.append(bar.clickedLevelRepresentedObject()); });
    const QPoint first = bar.crumbs().at(0).bounds.center().toPoint();
    const QPoint last = bar.crumbs().at(2).bounds.center().toPoint();
    QTest::mousePress(&bar, Qt::LeftButton, {}, first);
    QTest::mouseMove(&bar, last);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, last);
    EXPECT_TRUE(sent.isEmpty());
    for (const EditingLevelControl::Crumb& crumb : bar.crumbs())
        EXPECT_FALSE(crumb.mouseIn || crumb.tracking);
    QTest::mousePress(&bar, Qt::LeftButton, {}, first);
    QTest::mouseMove(&bar, last);
    QTest::mouseMove(&bar, first);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, first);
    EXPECT_EQ(sent, QList<ObjectPtr> { levels.representedObjectAtLevel(0) });
    EXPECT_EQ(bar.clickedLevelRepresentedObject(), nullptr);
    // The level being edited is no way back.
    QTest::mouseClick(&bar, Qt::LeftButton, {}, last);
    EXPECT_EQ(sent.size(), 1);
}

TEST(StackViewTest, HidingASectionClosesTheGapAndTheWindowKeepsItsTopEdge)
{
    QWidget window;
    window.resize(200, 300);
    auto* stack = new StackView(&window);
    stack->setSizesWindow(true);
    QList<QWidget*> sections;
    int y = 0;
    for (int height : { 40, 30, 20 }) {
        auto* section = new QWidget(stack);
        section->setGeometry(0, y, 200, height);
        y += height;
        sections.append(section);
    }
    stack->arrange();
    EXPECT_EQ(stack->height(), 91);
    const int windowHeight = window.height();
    window.show();
    sections.at(1)->hide();
    EXPECT_TRUE(stack->arrangePending()) << "arranged once, on the next pass";
    QTest::qWait(1);
    EXPECT_EQ(stack->height(), 61);
    EXPECT_EQ(sections.at(0)->y(), 0);
    EXPECT_EQ(sections.at(2)->y(), 40) << "the lower section moves up by the hidden one's height";
    EXPECT_EQ(window.height(), windowHeight - 30);
    sections.at(1)->show();
    QTest::qWait(1);
    EXPECT_EQ(stack->height(), 91);
    EXPECT_EQ(window.height(), windowHeight);

    StackView empty;
    empty.arrange();
    EXPECT_EQ(empty.height(), 1);
}

} // namespace
} // namespace zandrel
