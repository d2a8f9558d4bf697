// Going into an editor of a character and back out through the real window: the selection comes
// back into the middle of the parts view, a view shown again at another zoom keeps its renderings
// for a moment, and the commands on the whole character stay within reach from inside the editors
// while nothing else of the hidden parts view does.
#include "CharacterWindowFixture.h"
#include "app/PartEditingView.h"
#include "views/PartElementsView.h"

namespace zandrel::test {
namespace {

class EditorNavigationTest : public PartEditorWindowTest {
protected:
    void openPart(int index)
    {
        view->setSelection({ part(index) });
        choose(kEditObjectAction);
        endOfEvent();
        ASSERT_EQ(document->currentEditor(), editor);
    }
    // The flag of a scale change in progress, cleared as its timer would clear it.
    static void settle(ZDLView* shown) { shown->setScalingViewInteractively(false); }
};

TEST_F(EditorNavigationTest, LeavingAnEditorBringsTheSelectionIntoTheMiddleOfTheView)
{
    // Zoomed in, so that the parts reach far beyond the window.
    view->setViewScale(4.0f);
    endOfEvent();
    ASSERT_GT(view->viewBounds().width(), 2 * view->visibleRect().width());
    view->scrollPoint(QPointF(0, 0));
    openPart(2);
    choose(kPopEditorAction);
    endOfEvent();
    ASSERT_EQ(view->selection(), ElementList { part(2) });
    const QPointF selected = asProtocol<GraphicElement>(part(2))->getBounds().center();
    EXPECT_NEAR(view->getCenterOfVisibleRect().x(), selected.x(), 1.0);
    EXPECT_TRUE(view->visibleRect().contains(selected));

    // With nothing selected the view stays where the user left it.
    view->deselectAll();
    view->scrollPoint(QPointF(0, 0));
    const QRectF left = view->visibleRect();
    document->edit(part(4));
    endOfEvent();
    document->edit(nullptr);
    endOfEvent();
    EXPECT_EQ(view->visibleRect(), left);
}

TEST_F(EditorNavigationTest, AViewShownAgainAtAnotherZoomKeepsItsRenderingsForAMoment)
{
    struct Row {
        float partsScale;
        float editorScale;
        bool held;
    };
    for (const Row& row : { Row { 1.0f, 2.0f, true }, Row { 2.0f, 2.0f, false } }) {
        SCOPED_TRACE(row.editorScale / row.partsScale);
        elements->setViewScale(row.editorScale);
        view->setViewScale(row.partsScale);
        settle(elements);
        settle(view);
        document->edit(part(1));
        endOfEvent();
        EXPECT_EQ(elements->scalingViewInteractively(), row.held);
        settle(elements);
        document->edit(nullptr);
        endOfEvent();
        EXPECT_EQ(view->scalingViewInteractively(), row.held);
    }
}

TEST_F(EditorNavigationTest, CommandsOnTheWholeCharacterReachThePartsViewFromInsideTheEditor)
{
    openPart(0);
    struct Row {
        QString action;
        bool enabled;
    };
    const QList<Row> rows {
        { kExportDialogAction, true },
        { kExportPNGAction, true },
        { kExportEPSAction, true },
        { kGlobalBlurAdjustmentAction, true },
        { kOpenTracingImageAction, true },
        // What acts on the parts view's own content stays out of reach: it is out of sight.
        { kAddBalloonAction, false },
        { kToggleThumbnailEditorAction, false },
        { kCreateNewPartAction, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action.toStdString());
        EXPECT_EQ(showMenuItem(window, row.action)->isEnabled(), row.enabled);
    }
    QAction* openImage = toolbarItem(window, kOpenTracingImageAction);
    MenuActions::validate(openImage, MenuActions::responderChain(window));
    EXPECT_TRUE(openImage->isEnabled());

    // The tracing image chosen in the editor is the character's, one undoable change.
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    const QString path = dir.filePath(QStringLiteral("trace.png"));
    ASSERT_TRUE(picture.save(path));
    PartsView::setImageChooser([path] { return path; });
    const QByteArray before = bytes();
    choose(kOpenTracingImageAction);
    endOfEvent();
    PartsView::setImageChooser({});
    EXPECT_TRUE(document->model()->tracingImage());
    EXPECT_EQ(document->currentEditor(), editor);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

} // namespace
} // namespace zandrel::test
