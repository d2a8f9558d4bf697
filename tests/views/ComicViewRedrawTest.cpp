// The comic view redraws a crowded panel from the bitmaps it keeps, and every edit made after they
// were kept shows in the next redraw: the view's pixels are compared with the model drawn afresh.
#include "ComicWindowFixture.h"
#include "charmodel/PartPath.h"
#include "charmodel/TestCharacters.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/LayerRunCache.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/GraphicElementBase.h"
#include "graphics/ZDLContext.h"
#include "panels/HelpComicView.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"
#include "tools/ZDLTool.h"
#include "views/ComicViewBacking.h"

#include <QPainter>
#include <QScreen>
#include <functional>

namespace zandrel {
namespace {

class ComicViewRedrawTest : public test::ComicWindowTest {
protected:
    // The panel's area as the view shows it now.
    QImage shown() { return view->grab(area()).toImage().convertToFormat(QImage::Format_ARGB32); }
    // The same area drawn by the model into a bitmap, where no bitmap of the view is used.
    QImage drawnAfresh()
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(view->palette().window().color());
        {
            PainterCanvas canvas(&image);
            canvas.concatenate(view->viewTransform());
            CanvasScope scope(&canvas);
            canvas.fillRect(model().bounds(), CanvasPaint(Qt::white));
            ZDLContext context(*view);
            model().drawIn(context, view->visibleRect());
        }
        return image.copy(area()).convertToFormat(QImage::Format_ARGB32);
    }
    QRect area() const
    {
        return view->viewTransform().mapRect(crowded->bounds()).toAlignedRect() & view->rect();
    }
    // Pixels whose grey differs by more than the levels given.
    static int differing(const QImage& a, const QImage& b, int levels = 8)
    {
        int count = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x)
                count += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > levels;
        }
        return count;
    }
    QImage screen() const { return view->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    // Waits for the view's scaling to settle, however slowly its timer comes round.
    void settleScaling() const
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !view->scalingViewInteractively(); }, 30000));
        endOfEvent();
    }
    // What the window holds of the view: its last paints, which lay the bitmaps straight into it.
    QImage window() const
    {
        QWidget* top = view->QWidget::window();
        const QRect inWindow(view->mapTo(top, QPoint()), view->size());
        return view->screen()
            ->grabWindow(top->winId(), inWindow.x(), inWindow.y(), inWindow.width(), inWindow.height())
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    }
    // The view drawn keeping nothing.
    QImage keepingNothing() const
    {
        view->backing().setEnabled(false);
        const QImage image = screen();
        view->backing().setEnabled(true);
        return image;
    }
    // The window's pixels are compared with the view's own: no help comic over it.
    void hideHelpComics() const
    {
        for (QWidget* help : view->QWidget::window()->findChildren<HelpComicView*>())
            help->hide();
    }
    PartPtr part(qsizetype index) const
    {
        return std::dynamic_pointer_cast<Part>(crowded->frontLayer()->children().at(index));
    }

    std::shared_ptr<ComicPanel> crowded;
};

TEST_F(ComicViewRedrawTest, EditsAfterACrowdedPanelWasKeptAsBitmapsShowInTheNextRedraw)
{
    const quint64 renders = LayerRunCache::renderingsMade();
    crowded = panel(0);
    const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("#CC2200"), QStringLiteral("Red"));
    const auto teal = ZDLColor::colorFromHexNamed(QStringLiteral("#208080"), QStringLiteral("Teal"));
    const QPointF corner = crowded->bounds().topLeft();
    ElementList crowd;
    for (int p = 0; p < 3; ++p) {
        auto placed = std::make_shared<Part>();
        ElementList paths;
        for (int i = 0; i < 3; ++i) {
            paths.append(test::square(QRectF(corner + QPointF(8 + 9 * p + 4 * i, 6 + 6 * i), QSizeF(14, 9)),
                p % 2 ? red : teal, i % 2 ? teal : red));
        }
        placed->setChildren(paths);
        crowd.append(placed);
    }
    // The styled character's part too, with its blur, dashes and gradient.
    crowd.append(test::placedPart(model().characters().back(), 0, corner + QPointF(30, 12)));
    crowd.append(test::placedBalloon(QStringLiteral("Hey"), corner + QPointF(50, 10), 40));
    crowded->frontLayer()->setChildren(crowd);
    document->updateViewsRect(crowded->bounds(), true);
    view->setViewScale(2.0f);
    view->scrollToCenterDocPoint(crowded->bounds().center());
    // Scaling settles before bitmaps are kept at the new scale.
    settleScaling();

    // The parts' own bitmaps are tried once on the first drawing, then given up.
    drawnAfresh();
    QImage before = shown();
    ASSERT_GT(LayerRunCache::renderingsMade(), renders) << "the parts are drawn from one bitmap";
    EXPECT_LE(differing(before, drawnAfresh()), before.width() * before.height() / 500);

    // The last path of the part, drawn on top of its others.
    const auto path = [&](qsizetype index) {
        const auto* parent = asProtocol<Parent>(part(index));
        return std::dynamic_pointer_cast<PartPath>(parent->getChildAtIndex(parent->numChildren() - 1));
    };
    const std::vector<std::pair<const char*, std::function<void()>>> edits {
        { "a part moved by the move command",
            [&] { document->undoableOffsetObjects({ part(1) }, QPointF(9, 7), false); } },
        { "the move undone", [&] { document->undoManager()->undo(); } },
        { "a path's line made heavy",
            [&] {
                path(2)->setLineWeight(3.0f);
                document->updateViewsRect(part(2)->getInvalidationBounds(), true);
            } },
        { "a path's fill made faint",
            [&] {
                path(0)->setFillAlpha(0.2f);
                document->updateViewsRect(part(0)->getInvalidationBounds(), true);
            } },
        { "a part hidden",
            [&] {
                part(0)->setVisible(false);
                document->updateViewsRect(part(0)->getInvalidationBounds(), true);
            } },
        { "the crowd reordered",
            [&] {
                ElementList children = crowded->frontLayer()->children();
                std::swap(children[0], children[3]);
                crowded->frontLayer()->setChildren(children);
                document->updateViewsRect(crowded->bounds(), true);
            } },
    };
    for (const auto& [name, edit] : edits) {
        const QImage freshBefore = drawnAfresh();
        edit();
        ASSERT_GT(differing(drawnAfresh(), freshBefore), 20) << name << ": the edit changes the drawing";
        const QImage after = shown();
        EXPECT_GT(differing(after, before), 20) << name << ": the edit shows";
        EXPECT_LE(differing(after, drawnAfresh()), after.width() * after.height() / 500) << name;
        before = after;
    }
}

// While a balloon is selected the view keeps the page below and above it as bitmaps; after every
// edit what it shows equals what it draws keeping nothing, and a move of the selection alone draws
// nothing of the rest of the page again.
TEST_F(ComicViewRedrawTest, WhatTheViewKeepsAroundTheSelectionNeverShowsStalePixels)
{
    // The held balloon has a part and balloons below it and balloons above it, under the inset
    // panel's frame and beside the panel's border.
    const std::shared_ptr<ComicPanel> balloonPanel = panel(1);
    const QPointF corner = balloonPanel->bounds().topLeft();
    const ElementList balloons { test::placedPart(model().characters().back(), 0, corner + QPointF(4, 10)),
        test::placedBalloon(QStringLiteral("Below"), corner + QPointF(2, 4), 40),
        test::placedBalloon(QStringLiteral("Held"), corner + QPointF(14, 16), 44),
        test::placedBalloon(QStringLiteral("Above"), corner + QPointF(30, 26), 40),
        test::placedBalloon(QStringLiteral("Top"), corner + QPointF(8, 38), 50) };
    balloonPanel->frontLayer()->setChildren(balloons);
    document->updateViews();
    model().setCurrentPanel(balloonPanel);
    const auto bounds
        = [](const ObjectPtr& object) { return asProtocol<GraphicElement>(object)->getBounds(); };
    view->setViewScale(1.5f);
    view->scrollToCenterDocPoint(balloonPanel->bounds().center());
    view->select(balloons.at(2), true);
    settleScaling();

    hideHelpComics();
    QImage before = screen();
    ASSERT_GT(view->backing().bytes(), 0) << "a selection is held";
    const QPoint heldCentre = at(bounds(balloons.at(2)).center());
    const auto dragFrom = [&](const QPoint& from, const QPoint& by) {
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 4; ++step) {
            QTest::mouseMove(view, from + by * step / 4);
            endOfEvent();
        }
        QTest::mouseRelease(view, Qt::LeftButton, {}, from + by);
        endOfEvent();
    };
    const auto drag = [&](const QPoint& by) { dragFrom(heldCentre, by); };
    // A drag of the balloon by its body, from wherever it is now and a point where it is topmost,
    // in whole pixels.
    const auto dragBody = [&](const ObjectPtr& balloon, const QPoint& by) {
        const QRectF box = bounds(balloon);
        const QPoint from = [&] {
            for (const double fy : { 0.5, 0.3, 0.7 }) {
                for (const double fx : { 0.5, 0.3, 0.7, 0.15, 0.85 }) {
                    const QPointF point(box.left() + box.width() * fx, box.top() + box.height() * fy);
                    if (balloonPanel->frontLayer()->getChildAt(point, view->viewScale()) == balloon)
                        return at(point);
                }
            }
            return at(box.center());
        }();
        dragFrom(from, by);
    };
    ObjectPtr free;
    // Steps of a live move of the selection, each painted, by whole pixels at the view's scale.
    const auto moveLive = [&](const QPointF& by) {
        for (int step = 0; step < 2; ++step) {
            document->moveElementsLive(view->selection(), by / 2);
            endOfEvent();
        }
    };
    struct Edit {
        const char* name;
        std::function<void()> edit;
        bool keeps; // draws nothing of the page again
        bool blitsSelection = false; // shows the moving selection from its bitmap
    };
    const std::vector<Edit> edits {
        { "the held balloon's tail dragged", [&] { drag(QPoint(21, 13)); }, false },
        { "the drag undone", [&] { document->undoManager()->undo(); }, false },
        { "the selection moved by the move command",
            [&] { document->undoableOffsetObjects({ balloons.at(2) }, QPointF(-9, 6), false); }, true },
        { "that move undone", [&] { document->undoManager()->undo(); }, true },
        // Under the inset panel's cut and the panel's edge the selection is drawn where they cut it.
        { "the selection moved live, as a drag moves it", [&] { moveLive(QPointF(4, 8)); }, true },
        { "its width changed after the move",
            [&] { document->undoableSetPropertyFor(balloons.at(2), Balloon::kWidthKey, Value(60.0f)); },
            true },
        { "its width put back and moved back",
            [&] {
                document->undoableSetPropertyFor(balloons.at(2), Balloon::kWidthKey, Value(44.0f));
                moveLive(QPointF(-4, -8));
            },
            true },
        // In a panel that cuts nothing of it, it is blitted, and drawn again after another change.
        { "a balloon of the next panel selected",
            [&] {
                const std::shared_ptr<ComicPanel> next = panel(2);
                free = test::placedBalloon(
                    QStringLiteral("Free"), next->bounds().topLeft() + QPointF(18, 14), 40);
                document->undoableSetChildren(
                    next->frontLayer()->children() + ElementList { free }, next->frontLayer());
                model().setCurrentPanel(next);
                view->select(free, true);
            },
            false },
        { "that balloon moved live", [&] { moveLive(QPointF(4, 8)); }, true, true },
        { "its width changed",
            [&] { document->undoableSetPropertyFor(free, Balloon::kWidthKey, Value(50.0f)); }, true },
        { "that balloon moved live back", [&] { moveLive(QPointF(-4, -8)); }, true, true },
        { "the first panel's balloon selected again",
            [&] {
                model().setCurrentPanel(balloonPanel);
                view->select(balloons.at(2), true);
            },
            false },
        { "the selection dragged with the mouse", [&] { dragBody(balloons.at(2), QPoint(12, 9)); }, false },
        { "that drag undone", [&] { document->undoManager()->undo(); }, false },
        { "two balloons with one between them moved live",
            [&] {
                view->select(balloons.at(2), true);
                view->select(balloons.at(4), false);
                moveLive(QPointF(4, -2));
            },
            false },
        { "the two moved back, the first selected alone",
            [&] {
                moveLive(QPointF(-4, 2));
                view->select(balloons.at(2), true);
            },
            false },
        { "a balloon above it moved",
            [&] { document->undoableOffsetObjects({ balloons.at(3) }, QPointF(-12, 4), false); }, false },
        { "a balloon below it hidden",
            [&] {
                document->undoableSetPropertyFor(
                    balloons.at(1), GraphicElementBase::kVisibleKey, Value(false));
            },
            false },
        { "the panel's border made heavy",
            [&] { document->undoableSetPropertyFor(balloonPanel, ComicPanel::kWeightKey, Value(6.0f)); },
            false },
        { "the layer reordered",
            [&] {
                ElementList children = balloonPanel->frontLayer()->children();
                std::swap(children[1], children[4]);
                document->undoableSetChildren(children, balloonPanel->frontLayer());
            },
            false },
        { "zoomed in and scrolled by whole pixels",
            [&] {
                view->setViewScale(4.0f);
                settleScaling();
                view->scrollPoint(view->visibleRect().topLeft() + QPointF(10, 6));
            },
            false },
        { "zoomed in",
            [&] {
                view->setViewScale(2.0f);
                settleScaling();
            },
            false },
        { "another balloon selected", [&] { view->select(balloons.at(3), true); }, false },
        { "the held balloon's tail dragged back", [&] { drag(QPoint(-15, -8)); }, false },
        { "the page turned and back",
            [&] {
                model().setCurrentPage(model().pageAtIndex(1));
                endOfEvent();
                model().setCurrentPage(model().pageAtIndex(0));
                model().setCurrentPanel(balloonPanel);
                view->select(balloons.at(3), true);
            },
            false },
    };
    // A part's own bitmap and its direct drawing differ on a few pixels, whichever drew first (the
    // tolerance of the test above).
    for (const Edit& each : edits) {
        const QImage freshBefore = keepingNothing();
        const quint64 renders = ComicViewBacking::renderingsMade();
        const quint64 heldBlits = ComicViewBacking::heldBlits();
        each.edit();
        endOfEvent();
        const QImage after = screen();
        const QImage fresh = keepingNothing();
        ASSERT_EQ(after.size(), fresh.size()) << each.name;
        EXPECT_GT(differing(fresh, freshBefore), 20) << each.name << ": the edit changes the drawing";
        EXPECT_LE(differing(after, fresh), after.width() * after.height() / 500) << each.name;
        const QImage painted = window();
        ASSERT_EQ(painted.size(), fresh.size()) << each.name;
        EXPECT_LE(differing(painted, fresh), after.width() * after.height() / 500) << each.name << ": window";
        if (each.keeps) {
            EXPECT_EQ(ComicViewBacking::renderingsMade(), renders)
                << each.name << ": drawn from what is kept";
        }
        if (each.blitsSelection) {
            EXPECT_GT(ComicViewBacking::heldBlits(), heldBlits) << each.name << ": the selection blitted";
        }
    }
    // Nothing selected, nothing kept.
    view->deselectAll();
    screen();
    EXPECT_EQ(view->backing().bytes(), 0);
}

// A nudge moves the selection's bitmap as a live move does, and a drag, which hides the selection's
// frame and grips, skips drawing them; where the panel's clip is partly open over the balloon (at
// 150 % its edges fall between pixels) it is drawn there only. Either way the window holds what a
// full redraw draws.
TEST_F(ComicViewRedrawTest, ANudgedOrDraggedSelectionShowsWhatAFullRedrawDraws)
{
    const std::shared_ptr<ComicPanel> roomy = panel(2);
    crowded = roomy;
    const ObjectPtr balloon
        = test::placedBalloon(QStringLiteral("Nudged"), roomy->bounds().topLeft() + QPointF(18, 14), 40);
    document->undoableSetChildren(
        roomy->frontLayer()->children() + ElementList { balloon }, roomy->frontLayer());
    model().setCurrentPanel(roomy);
    view->setViewScale(1.5f);
    view->scrollToCenterDocPoint(roomy->bounds().center());
    view->select(balloon, true);
    hideHelpComics();
    settleScaling();
    screen();
    const auto bounds = [&] { return asProtocol<GraphicElement>(balloon)->getBounds(); };
    struct Step {
        const char* name;
        std::function<void()> act;
        bool blitsSelection;
        // With nothing drawn over it, the window's pixels are written without a painter.
        bool withoutPainter = false;
    };
    const QPoint grip = at(bounds().center());
    const std::vector<Step> steps {
        { "nudged right", [&] { QTest::keyClick(view, Qt::Key_Right); }, true },
        { "nudged down twice",
            [&] {
                QTest::keyClick(view, Qt::Key_Down);
                endOfEvent();
                QTest::keyClick(view, Qt::Key_Down);
            },
            true },
        { "the nudge undone", [&] { document->undoManager()->undo(); }, false },
        { "pressed and dragged, not released",
            [&] {
                QTest::mousePress(view, Qt::LeftButton, {}, grip);
                for (int step = 1; step <= 3; ++step) {
                    QTest::mouseMove(view, grip + QPoint(5, 3) * step);
                    endOfEvent();
                }
                ASSERT_TRUE(view->currentTool()->drawsNothing()) << "the drag hides the frame";
            },
            true, true },
        { "released",
            [&] {
                QTest::mouseRelease(view, Qt::LeftButton, {}, grip + QPoint(15, 9));
                EXPECT_FALSE(view->currentTool()->drawsNothing()) << "the frame shows again";
            },
            false },
    };
    // The view lies inside the window: its pixels there are where the window's bitmap is written.
    ASSERT_NE(view->mapTo(view->QWidget::window(), QPoint()), QPoint());
    for (const Step& step : steps) {
        const QRectF before = bounds();
        const quint64 renders = ComicViewBacking::renderingsMade();
        const quint64 heldBlits = ComicViewBacking::heldBlits();
        const quint64 withoutPainter = ComicViewBacking::paintsWithoutPainter();
        step.act();
        endOfEvent();
        const QImage painted = window();
        EXPECT_EQ(ComicViewBacking::renderingsMade(), renders) << step.name << ": drawn from what is kept";
        if (step.blitsSelection) {
            EXPECT_NE(bounds(), before) << step.name << ": the balloon moved";
            EXPECT_GT(ComicViewBacking::heldBlits(), heldBlits) << step.name << ": the selection blitted";
        }
        if (step.withoutPainter)
            EXPECT_GT(ComicViewBacking::paintsWithoutPainter(), withoutPainter)
                << step.name << ": no painter";
        // Within the panel (elsewhere parts drawn from their own bitmaps differ from parts drawn
        // afresh), no pixel more than two grey levels off: a bitmap laid over rounds its blend.
        const QImage fresh = keepingNothing().copy(area());
        ASSERT_EQ(painted.size(), view->size()) << step.name;
        EXPECT_EQ(differing(painted.copy(area()), fresh, 2), 0) << step.name;
    }
}

} // namespace
} // namespace zandrel
