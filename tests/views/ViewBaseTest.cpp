// The view base in a real window: the zoom table and its popup, redrawing exactly what the
// document names, and the hand tool's scrolling and zooming by dragging.
#include "CharacterWindowFixture.h"
#include "app/DocumentToolbar.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QMenu>
#include <QPaintEvent>
#include <cmath>

namespace zandrel {
namespace {

// Collects the areas Qt asks the widget to repaint.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

class ViewBaseTest : public test::CharacterWindowTest {
protected:
    // Lets every pending repaint happen, then starts recording.
    std::unique_ptr<PaintRecorder> recordPaints()
    {
        QTest::qWait(20);
        return std::make_unique<PaintRecorder>(view);
    }
    void flushPaints() { QTest::qWait(20); }
};

TEST_F(ViewBaseTest, ZoomCommandsWalkTheTableAndThePopupShowsTheScale)
{
    struct Case {
        float from;
        QString action;
        float to;
    };
    const QList<Case> cases {
        { 1.0f, kZoomInAction, 1.5f },
        { 12.0f, kZoomInAction, 12.0f },
        { 0.25f, kZoomOutAction, 0.25f },
        // A pinch reaches scales between the entries.
        { 0.6f, kZoomInAction, 0.75f },
        { 0.6f, kZoomOutAction, 0.5f },
        { 2.5f, kActualSizeAction, 1.0f },
    };
    for (const Case& each : cases) {
        view->setViewScale(each.from);
        view->tryToPerform(each.action, {});
        EXPECT_EQ(view->viewScale(), each.to) << each.from << " " << each.action.toStdString();
    }
    // Toggling returns to the last scale other than 100 per cent; 800 per cent at first.
    EXPECT_EQ(viewOf(openCharacter(QStringLiteral("Fresh"), 1))->toggleZoomScale(), 8.0f);
    view->setViewScale(2.5f);
    view->setViewScale(1.0f);
    view->toggleZoom();
    EXPECT_EQ(view->viewScale(), 2.5f);

    // A scale off the list gets an entry of its own, first, with a separator; one entry at most.
    QComboBox* popup = window->documentToolbar().scalePopup();
    QMenu* menu = window->documentToolbar().scaleMenu();
    view->setViewScale(1.3f);
    view->setViewScale(0.333f);
    EXPECT_EQ(popup->itemText(0), QStringLiteral("33%"));
    EXPECT_EQ(popup->currentIndex(), 0);
    EXPECT_EQ(popup->count(), int(ZDLView::kViewScaleTable.size()) + 2);
    EXPECT_TRUE(menu->actions().at(1)->isSeparator());
    EXPECT_TRUE(menu->actions().at(0)->isChecked());
    view->setViewScale(2.0f);
    EXPECT_EQ(popup->count(), int(ZDLView::kViewScaleTable.size()));
    EXPECT_EQ(popup->currentText(), QStringLiteral("200%"));
    EXPECT_TRUE(menu->actions().at(5)->isChecked());
    // Choosing in the popup zooms the view the user sees.
    popup->activated(popup->findText(QStringLiteral("400%")));
    EXPECT_EQ(view->viewScale(), 4.0f);
}

// A zoom that starts dissolves the groups of blurred paths, which regroup for what the new scale
// shows; the further steps of a zoom under way leave them.
TEST_F(ViewBaseTest, AZoomThatStartsDissolvesBlurGroups)
{
    const auto square = [](double x, float blur) {
        auto curve = std::make_shared<Curve>();
        for (const QPointF& p : { QPointF(x, 10), QPointF(x + 10, 10), QPointF(x + 10, 20), QPointF(x, 20) })
            curve->addPoint(p, true);
        curve->setClosed(true);
        auto path = std::make_shared<PartPath>();
        path->setSegments({ curve });
        path->setBlur(blur);
        return path;
    };
    const PartPathPtr a = square(10, 2.0f);
    const PartPathPtr b = square(30, 2.5f);
    auto* shown = dynamic_cast<Part*>(part(0).get());
    ASSERT_TRUE(shown);
    shown->addPartElement(a);
    shown->addPartElement(b);
    const auto drawBoth = [&] {
        OffscreenImage image(QSize(60, 40));
        CanvasScope scope(image.canvas());
        ZDLContext context(1.0f);
        ArrayUtils::drawPartElements({ a, b }, context);
    };
    ASSERT_TRUE(QTest::qWaitFor([this] { return !view->scalingViewInteractively(); }, 30000));
    drawBoth();
    ASSERT_EQ(b->blurMaster(), a.get());

    view->setViewScale(2.0f);
    EXPECT_EQ(a->blurMaster(), nullptr);
    EXPECT_EQ(b->blurMaster(), nullptr);
    drawBoth();
    view->setViewScale(3.0f);
    EXPECT_EQ(b->blurMaster(), a.get()) << "a zoom under way";
    // The same scale again, once the zoom has settled, is no zoom.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !view->scalingViewInteractively(); }, 30000));
    view->setViewScale(3.0f);
    EXPECT_EQ(b->blurMaster(), a.get());
}

TEST_F(ViewBaseTest, RedrawsOnlyTheAreasTheDocumentNames)
{
    view->setViewScale(2.0f);
    auto recorder = recordPaints();
    // An announced rect grows by 4 screen points for antialiasing, or by the outset given.
    const QRectF dirty(100, 40, 30, 20);
    document->updateViewsRect(dirty, false);
    flushPaints();
    EXPECT_EQ(
        recorder->painted, QRegion(view->viewTransform().mapRect(insetRect(dirty, -2, -2)).toAlignedRect()));
    recorder = recordPaints();
    document->updateViewsRect(dirty, 10.0f, true);
    flushPaints();
    EXPECT_EQ(
        recorder->painted, QRegion(view->viewTransform().mapRect(insetRect(dirty, -5, -5)).toAlignedRect()));

    // Moving a part redraws where it was and where it is, as one rectangle (a paint clipped to
    // several is many times dearer), nothing else.
    const auto* graphic = asProtocol<GraphicElement>(part(2));
    const QRectF before = graphic->getInvalidationBounds();
    recorder = recordPaints();
    document->undoableOffsetObjects({ part(2) }, QPointF(7, 3), false);
    flushPaints();
    const QRectF after = graphic->getInvalidationBounds();
    const QRect expected = view->viewTransform().mapRect(insetRect(before, -2, -2)).toAlignedRect()
        | view->viewTransform().mapRect(insetRect(after, -2, -2)).toAlignedRect();
    EXPECT_EQ(recorder->painted, QRegion(expected));
    // Far apart, two areas stay two.
    recorder = recordPaints();
    document->updateViewsRect(QRectF(10, 10, 8, 8), false);
    document->updateViewsRect(QRectF(200, 150, 8, 8), false);
    flushPaints();
    EXPECT_EQ(recorder->painted.rectCount(), 2);
    EXPECT_FALSE(recorder->painted.contains(at(partCentre(0))));
}

TEST_F(ViewBaseTest, ASelectedPartDrawsWithItsFrameAndGripsAsOnTheReferenceAtEachZoom)
{
    click(1);
    for (const float scale : { 1.0f, 2.5f }) {
        view->setViewScale(scale);
        view->scrollToCenterDocPoint(partCentre(1));
        const QPoint centre = at(partCentre(1));
        const QImage drawn = view->grab(QRect(centre - QPoint(100, 100), QSize(200, 200))).toImage();
        test::expectLikeReferenceImage(drawn.convertToFormat(QImage::Format_RGB32),
            QStringLiteral("tests/views/data/selected-part-%1.png").arg(int(scale * 100)), 24, 100);
    }
}

TEST_F(ViewBaseTest, TheHandToolScrollsAndZoomsByDraggingAndChangesNothing)
{
    view->setViewScale(8.0f);
    view->scrollToCenterDocPoint(QPointF(300, 52));
    const QByteArray before = bytes();
    const QPoint press(100, 100);
    const QPointF pressed = view->convertFromWidget(press);

    // Held space: a drag scrolls the pressed document point along under the pointer.
    QTest::keyPress(view, Qt::Key_Space);
    EXPECT_TRUE(view->handToolOverride());
    QTest::mousePress(view, Qt::LeftButton, {}, press);
    QTest::mouseMove(view, press + QPoint(80, 0));
    EXPECT_EQ(view->convertFromWidget(press + QPoint(80, 0)), pressed);
    QTest::mouseRelease(view, Qt::LeftButton, {}, press + QPoint(80, 0));
    EXPECT_FALSE(view->handToolOverride()) << "the gesture ends the override";
    QTest::keyRelease(view, Qt::Key_Space);

    // Command-drag zooms by 0.7 per cent a screen point, the pressed point staying put.
    view->setViewScale(1.0f);
    QTest::keyPress(view, Qt::Key_Space);
    const QPointF zoomPoint = view->convertFromWidget(press);
    QTest::mousePress(view, Qt::LeftButton, Qt::ControlModifier, press);
    QTest::mouseMove(view, press + QPoint(100, 30));
    EXPECT_FLOAT_EQ(view->viewScale(), std::pow(1.007f, 100.0f));
    const QPointF fraction = view->getScrollPointForDocPoint(zoomPoint);
    EXPECT_NEAR(fraction.x(), double(press.x()) / view->width(), 0.01);
    QTest::mouseMove(view, press + QPoint(-400, 30));
    EXPECT_EQ(view->viewScale(), ZDLView::minViewScale()) << "clamped to the table";
    QTest::mouseRelease(view, Qt::LeftButton, Qt::ControlModifier, press + QPoint(-400, 30));
    QTest::keyRelease(view, Qt::Key_Space);
    endOfEvent();
    // The zoom is kept with the file, the rest stays as it was.
    view->setViewScale(8.0f);
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(showMenuItem(window, kUndoAction)->isEnabled());
}

} // namespace
} // namespace zandrel
