// The tracing-image items of a character window follow the character's image wherever the user is:
// the parts view, the part editor, an inspector field in focus; through open, clear, undo and redo,
// in the menu and on the toolbar alike.
#include "CharacterWindowFixture.h"
#include "app/core/DocumentDialogs.h"
#include "views/PartElementsView.h"

#include <QLineEdit>

namespace zandrel::test {
namespace {

class TracingImageMenuTest : public PartEditorWindowTest {
protected:
    // Whether Clear, Settings and the toggle in the menu and the toolbar's toggle are each offered.
    QString offered()
    {
        QString answer;
        for (const QString& action :
            { kClearTracingImageAction, kTracingImageSettingsAction, kToggleTracingImageAction })
            answer += showMenuItem(window, action)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        QApplication::processEvents();
        return answer
            + (toolbarItem(window, kToggleTracingImageAction)->isEnabled() ? QLatin1Char('1')
                                                                           : QLatin1Char('0'));
    }
    // Opens a grey image of 60 by 40 as a person choosing the file would.
    void openImage()
    {
        QImage pixels(60, 40, QImage::Format_RGB32);
        pixels.fill(Qt::darkGray);
        const QString png = dir.filePath(QStringLiteral("trace.png"));
        ASSERT_TRUE(pixels.save(png));
        PartsView::setImageChooser([png] { return png; });
        choose(kOpenTracingImageAction);
        PartsView::setImageChooser({});
        endOfEvent();
    }
};

TEST_F(TracingImageMenuTest, ItemsFollowTheImageInEveryPlaceAndStep)
{
    const QString none = QStringLiteral("0000");
    // The settings sheet is offered once installed; the rest with the image.
    const QString some = DocumentDialogs::isInstalled(kTracingImageSettingsAction) ? QStringLiteral("1111")
                                                                                   : QStringLiteral("1011");
    EXPECT_EQ(offered(), none);
    view->setSelection({ part(0) });
    choose(kEditObjectAction);
    endOfEvent();
    elements->setSelection({ asProtocol<Parent>(elements->rootObject())->getChildAtIndex(0) });
    endOfEvent();
    EXPECT_EQ(offered(), none) << "the part editor";
    QLineEdit* field = window->findChild<QLineEdit*>();
    ASSERT_TRUE(field);
    field->setFocus();
    EXPECT_EQ(offered(), none) << "an inspector field";
    choose(kPopEditorAction);
    endOfEvent();

    openImage();
    EXPECT_EQ(offered(), some);
    const struct {
        QString action;
        bool image;
    } steps[] = { { kClearTracingImageAction, false }, { kUndoAction, true }, { kUndoAction, false },
        { kRedoAction, true }, { kToggleTracingImageAction, true }, { kClearTracingImageAction, false } };
    for (const auto& step : steps) {
        choose(step.action);
        endOfEvent();
        EXPECT_EQ(offered(), step.image ? some : none) << step.action.toStdString();
    }
}

// The image lies at the character's origin, out of sight of a part the editor centres far from it:
// opening it there scrolls it into sight, at the editor's zoom.
TEST_F(TracingImageMenuTest, AnImageOpenedInThePartEditorComesIntoSight)
{
    view->setSelection({ part(4) });
    choose(kEditObjectAction);
    endOfEvent();
    ASSERT_GT(elements->visibleRect().left(), 60.0);
    const float zoom = elements->viewScale();
    openImage();
    EXPECT_TRUE(elements->visibleRect().contains(QRectF(0, 0, 60, 40)));
    EXPECT_EQ(elements->viewScale(), zoom);
}

} // namespace
} // namespace zandrel::test
