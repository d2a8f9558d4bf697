// The comic view redraws a crowded panel from the bitmaps it keeps, and every edit made after they
// were kept shows in the next redraw: the view's pixels are compared with the model drawn afresh.
#include "ComicWindowFixture.h"
#include "charmodel/PartPath.h"
#include "charmodel/TestCharacters.h"
#include "comicmodel/LayerRunCache.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ZDLContext.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"

#include <QPainter>
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
    // Pixels whose grey differs by more than a few levels.
    static int differing(const QImage& a, const QImage& b)
    {
        int count = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x)
                count += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 8;
        }
        return count;
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
    crowd.append(test::placedBalloon(QStringLiteral("Hey"), corner + QPointF(40, 10), 40));
    crowded->frontLayer()->setChildren(crowd);
    document->updateViewsRect(crowded->bounds(), true);
    view->setViewScale(2.0f);
    view->scrollToCenterDocPoint(crowded->bounds().center());
    // Scaling settles before bitmaps are kept at the new scale.
    QTest::qWait(700);

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

} // namespace
} // namespace zandrel
