#include "charmodel/CurveToleranceAdjuster.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/PartPath.h"

#include <QCoreApplication>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>
#include <vector>

namespace zandrel {
namespace {

using PointDump = std::tuple<double, double, bool>;
using CurveDump = std::pair<std::vector<PointDump>, bool>;

// Exact positions (not rounded to float) and flags, so that an undo must restore every point.
CurveDump dump(const Curve& curve)
{
    std::vector<PointDump> points;
    for (const CurvePointPtr& p : curve.points())
        points.emplace_back(p->point().x(), p->point().y(), p->onCurve());
    return { points, curve.closed() };
}

std::vector<CurveDump> dump(const PartPath& path)
{
    std::vector<CurveDump> curves;
    for (const CurvePtr& curve : path.segments())
        curves.push_back(dump(*curve));
    return curves;
}

// A wavy freehand stroke: one point per mouse position, the inner ones off-curve as recorded.
CurvePtr rawStroke(double originX = 0.0)
{
    auto curve = std::make_shared<Curve>();
    const int n = 40;
    for (int i = 0; i <= n; ++i) {
        const double x = originX + i * 2.5;
        const double y = 12.0 * std::sin(i * 0.35) + (i % 3) * 0.3;
        curve->addPoint(QPointF(x, y), i == 0 || i == n);
    }
    return curve;
}

// What the adjuster should make of the stroke at a tolerance, on its own.
CurvePtr fittedAt(const Curve& stroke, double tolerance)
{
    auto curve = Curve::initByCopying(stroke);
    curve->reducePointsWithTolerance(tolerance);
    curve->moveOffcurvePointsToHitInputPoints();
    return curve;
}

// Ends the event pass, and so the undo group it opened.
void endEventPass()
{
    QCoreApplication::processEvents();
}

TEST(CurveToleranceAdjusterTest, RefitsShowAtOnceAndCommitAsOneUndoStep)
{
    ZDLDocument document;
    UndoManager& undo = *document.undoManager();
    const CurvePtr stroke = rawStroke();
    const CurveDump strokeBefore = dump(*stroke);
    // As the pencil tool leaves it: the new path holds the stroke thinned at the tool's tolerance.
    auto path = std::make_shared<PartPath>();
    path->setSegments({ fittedAt(*stroke, 2.0) });
    const auto before = dump(*path);

    auto adjuster = CurveToleranceAdjuster::initForNewPath(path, stroke, 2.0, &document);
    EXPECT_EQ(adjuster->tolerance(), 2.0);
    EXPECT_EQ(adjuster->editObject(), path);

    adjuster->applyTolerance(0.5);
    const CurveDump fine = dump(*fittedAt(*stroke, 0.5));
    ASSERT_EQ(path->numSegments(), 1u);
    EXPECT_EQ(dump(*path->getSegmentAtIndex(0)), fine);
    adjuster->applyTolerance(8.0);
    EXPECT_EQ(adjuster->tolerance(), 8.0); // reported before the commit
    const auto coarse = dump(*path);
    EXPECT_LT(coarse[0].first.size(), fine.first.size());
    // Every re-fit starts from the raw stroke: going back gives the first result again.
    adjuster->applyTolerance(0.5);
    EXPECT_EQ(dump(*path->getSegmentAtIndex(0)), fine);
    adjuster->applyTolerance(8.0);
    EXPECT_EQ(dump(*stroke), strokeBefore);
    endEventPass();
    EXPECT_FALSE(undo.canUndo()); // re-fits register nothing

    adjuster->commit();
    endEventPass();
    ASSERT_TRUE(undo.canUndo());
    EXPECT_EQ(undo.undoActionName(), "Set Tolerance");
    undo.undo();
    EXPECT_EQ(dump(*path), before);
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(dump(*path), coarse);
}

TEST(CurveToleranceAdjusterTest, CommitRecordsOnlyWhatFollowsARefit)
{
    ZDLDocument document;
    UndoManager& undo = *document.undoManager();
    const CurvePtr stroke = rawStroke();
    auto path = std::make_shared<PartPath>();
    path->setSegments({ fittedAt(*stroke, 2.0) });
    auto adjuster = CurveToleranceAdjuster::initForNewPath(path, stroke, 2.0, &document);

    adjuster->commit(); // nothing applied yet
    endEventPass();
    EXPECT_FALSE(undo.canUndo());

    adjuster->applyTolerance(1.0);
    const auto atOne = dump(*path);
    adjuster->commit();
    endEventPass();
    adjuster->commit(); // a second release of the slider
    endEventPass();
    // A later re-fit starts a new step from the committed curves.
    adjuster->applyTolerance(6.0);
    adjuster->commit();
    endEventPass();

    undo.undo();
    EXPECT_EQ(dump(*path), atOne);
    undo.undo();
    EXPECT_EQ(dump(*path)[0], dump(*fittedAt(*stroke, 2.0)));
    EXPECT_FALSE(undo.canUndo());
}

TEST(CurveToleranceAdjusterTest, ExtendedCurveKeepsItsOwnPoints)
{
    ZDLDocument document;
    auto other = std::make_shared<Curve>();
    other->addPoint(QPointF(-50, -50), true);
    other->addPoint(QPointF(-40, -20), true);
    // The curve the stroke extended, closed, with points that no tolerance would keep.
    auto extended = std::make_shared<Curve>();
    for (int i = 0; i < 6; ++i)
        extended->addPoint(QPointF(-10.0 + i * 0.1, 0.01 * i), i == 0);
    extended->setClosed(true);
    const CurvePtr stroke = rawStroke(0.0);

    auto path = std::make_shared<PartPath>();
    auto drawn = Curve::initByCopying(*extended);
    drawn->appendPointsFrom(*fittedAt(*stroke, 2.0));
    path->setSegments({ other, drawn });

    auto adjuster = CurveToleranceAdjuster::initForAddedCurveIn(path, 1, stroke, extended, 2.0, &document);
    adjuster->applyTolerance(20.0);

    ASSERT_EQ(path->numSegments(), 2u);
    EXPECT_EQ(dump(*path->getSegmentAtIndex(0)), dump(*other));
    const CurveDump result = dump(*path->getSegmentAtIndex(1));
    const CurveDump kept = dump(*extended);
    const CurveDump refit = dump(*fittedAt(*stroke, 20.0));
    std::vector<PointDump> expected = kept.first;
    expected.insert(expected.end(), refit.first.begin(), refit.first.end());
    EXPECT_EQ(result.first, expected);
    EXPECT_TRUE(result.second); // the extended curve's closed flag
}

TEST(CurveToleranceAdjusterTest, UnusableInputChangesNothing)
{
    // An empty adjuster, a non-finite tolerance and a missing document are all harmless.
    CurveToleranceAdjuster empty;
    empty.applyTolerance(3.0);
    empty.commit();
    EXPECT_EQ(empty.tolerance(), 0.0);
    EXPECT_EQ(empty.segmentIndex(), 0u);

    const CurvePtr stroke = rawStroke();
    auto path = std::make_shared<PartPath>();
    path->setSegments({ fittedAt(*stroke, 2.0) });
    const auto before = dump(*path);
    auto detached = CurveToleranceAdjuster::initForNewPath(path, stroke, 2.0, nullptr);
    detached->applyTolerance(std::numeric_limits<double>::quiet_NaN());
    detached->applyTolerance(std::numeric_limits<double>::infinity());
    EXPECT_EQ(dump(*path), before);
    EXPECT_EQ(detached->tolerance(), 2.0);
    EXPECT_FALSE(detached->isAdjusting());
    auto dot = std::make_shared<Curve>();
    dot->addPoint(QPointF(1, 1), true);
    CurveToleranceAdjuster::initForNewPath(path, dot, 2.0, nullptr)->applyTolerance(1.0);
    EXPECT_EQ(dump(*path), before);
    detached->applyTolerance(0.5);
    EXPECT_EQ(dump(*path)[0], dump(*fittedAt(*stroke, 0.5)));
    detached->commit();
    EXPECT_FALSE(detached->isAdjusting());

    // A path that lost the stroke's curve in the meantime gets it back once, at its end.
    ZDLDocument document;
    auto shrunk = std::make_shared<PartPath>();
    auto adjuster = CurveToleranceAdjuster::initForAddedCurveIn(shrunk, 3, stroke, nullptr, 2.0, &document);
    adjuster->applyTolerance(1.0);
    adjuster->applyTolerance(4.0);
    ASSERT_EQ(shrunk->numSegments(), 1u);
    EXPECT_EQ(adjuster->segmentIndex(), 0u);
    EXPECT_EQ(dump(*shrunk->getSegmentAtIndex(0)), dump(*fittedAt(*stroke, 4.0)));
}

} // namespace
} // namespace zandrel
