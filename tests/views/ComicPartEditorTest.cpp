// The part editor in a comic window: the current panel framed with its outside dimmed, and an edit
// of the part as one step that undoes to the comic's saved bytes.
#include "ComicWindowFixture.h"
#include "app/PartEditingView.h"
#include "charmodel/Part.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "panels/ComicPropertiesController.h"
#include "panels/SegmentedControl.h"
#include "views/PartElementsView.h"

namespace zandrel::test {
namespace {

class ComicPartEditorTest : public ComicWindowTest { };

TEST_F(ComicPartEditorTest, ThePanelIsFramedAndAPivotIsOneStepOfTheComic)
{
    const auto placed = std::dynamic_pointer_cast<Part>(panel(0)->frontLayer()->children().first());
    ASSERT_TRUE(placed);
    auto* editor = window->findChild<PartEditingView*>(QStringLiteral("partEditor"));
    ASSERT_TRUE(editor);
    document->edit(placed);
    endOfEvent();
    PartElementsView* elements = editor->partElementsView();
    ASSERT_EQ(elements->rootObject(), placed);
    // The part's character is the one edited: its styles and colours serve the commands.
    EXPECT_EQ(editor->model().get(), placed->model());

    // Why each probe: far outside the panel the page is dimmed by black at a fifth; inside the panel,
    // away from the part, the paper stays white.
    const QRectF frame = panel(0)->getBounds();
    const QImage shown = elements->grab().toImage();
    const auto grey = [&](const QPointF& point) {
        const QPoint pixel = elements->viewTransform().map(point).toPoint();
        return QRect(QPoint(0, 0), shown.size()).contains(pixel) ? qGray(shown.pixel(pixel)) : -1;
    };
    const QPointF outside(frame.right() + 30, frame.center().y());
    const QPointF inside(frame.left() + 3, frame.top() + 3);
    ASSERT_NE(grey(outside), -1);
    EXPECT_NEAR(grey(outside), 204, 3);
    EXPECT_NEAR(grey(inside), 255, 3);

    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT").replace(".png", "-comic.png"));
    const QByteArray before = bytes();
    elements->setPivotPoint(QPointF(70, 90));
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Part Pivot Point"));
    EXPECT_EQ(placed->origin(), QPointF(70, 90));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

// The layer and focus segments act on the comic view an editor covers: they rest while the part
// editor or the free-objects editor is open, as the page controls do, and come back when it is left.
TEST_F(ComicPartEditorTest, TheLayerAndFocusBarRestsWhileAnEditorIsOpen)
{
    auto* bar = window->findChild<ComicPropertiesController*>();
    ASSERT_TRUE(bar);
    const auto enabled = [&] { return bar->layerControl()->isEnabled() || bar->focusControl()->isEnabled(); };
    ASSERT_TRUE(enabled());
    const auto placed = std::dynamic_pointer_cast<Part>(panel(0)->frontLayer()->children().first());
    ASSERT_TRUE(placed);
    doubleClick(view, at(placed->getBounds().center()));
    endOfEvent();
    ASSERT_TRUE(document->currentEditor());
    EXPECT_FALSE(enabled());
    // A click on the resting bar leaves the comic's layer as it was.
    QTest::mouseClick(bar->layerControl()->button(1), Qt::LeftButton);
    EXPECT_FALSE(document->model()->editBackground());
    choose(kPopEditorAction);
    endOfEvent();
    ASSERT_FALSE(document->currentEditor());
    EXPECT_TRUE(enabled());

    choose(kFreeObjectsEditorAction);
    endOfEvent();
    ASSERT_TRUE(document->currentEditor());
    EXPECT_FALSE(enabled());
    choose(kPopEditorAction);
    endOfEvent();
    EXPECT_TRUE(enabled());
}

} // namespace
} // namespace zandrel::test
