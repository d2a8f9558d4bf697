// A balloon's grips in the comic window after an edit of its text is undone: the window shows the
// balloon and its grips as a fresh paint does, the width grips at the top corners of the text area,
// whose width no text edit changes.
#include "ComicWindowFixture.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/PanelLayer.h"
#include "panels/HelpComicView.h"
#include "tools/BalloonHandles.h"
#include "tools/ZDLTool.h"
#include "views/BalloonTextEditor.h"

#include <QScreen>

namespace zandrel {
namespace {

class BalloonGripsTest : public test::ComicWindowTest {
protected:
    // What the window holds of the view: its last paints.
    QImage inWindow() const
    {
        QWidget* top = view->QWidget::window();
        const QRect area(view->mapTo(top, QPoint()), view->size());
        return view->screen()
            ->grabWindow(top->winId(), area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    }
    // The view painted whole now.
    QImage paintedWhole() const { return view->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    static int differing(const QImage& a, const QImage& b)
    {
        int count = 0;
        for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
            for (int x = 0; x < std::min(a.width(), b.width()); ++x)
                count += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 8;
        }
        return count;
    }
};

TEST_F(BalloonGripsTest, UndoingATextEditShowsTheGripsWhereTheTextAreaIs)
{
    auto comic = std::make_shared<ComicModel>();
    comic->setupWithSize(QSizeF(600, 400), 2, 2);
    window = openComic(QStringLiteral("Plain"), comic);
    ASSERT_TRUE(window);
    document = dynamic_cast<ComicDocument*>(window->document());
    view = window->findChild<ComicView*>();
    for (QWidget* help : view->QWidget::window()->findChildren<HelpComicView*>())
        help->hide();
    choose(kAddBalloonAction);
    auto* editor = view->textEditingView();
    ASSERT_TRUE(editor->isVisible());
    QTest::keyClicks(editor, QStringLiteral("A much longer text, with many words that wrap onto lines"));
    QTest::keyClick(editor, Qt::Key_Escape);
    endOfEvent();
    const auto balloon = std::dynamic_pointer_cast<Balloon>(view->selection().value(0));
    ASSERT_TRUE(balloon);
    const double longer = balloon->getBounds().height();
    choose(kUndoAction);
    QTest::qWait(20);
    EXPECT_LT(balloon->getBounds().height(), longer);
    EXPECT_EQ(view->selection(), ElementList { balloon });

    EXPECT_EQ(differing(inWindow(), paintedWhole()), 0);
    QList<QPointF> grips;
    for (const ZDLHandlePtr& handle : view->currentTool()->currentHandles()) {
        if (handle->type() == kBalloonWidthHandleType)
            grips.append(handle->box().center());
    }
    const QPointF origin = balloon->origin();
    ASSERT_EQ(grips.size(), 2);
    EXPECT_NEAR(grips.at(0).x(), origin.x(), 1.0);
    EXPECT_NEAR(grips.at(1).x(), origin.x() + balloon->width(), 1.0);
    EXPECT_NEAR(grips.at(1).y(), origin.y(), 1.0);
}

} // namespace
} // namespace zandrel
