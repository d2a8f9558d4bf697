// The right-click menu of the editing views through a real character window: it offers the main
// menu's commands on the selection, validated as the main menu validates them, so that what the
// clicked view refuses is hidden, and its items act as the main menu's do.
#include "CharacterWindowFixture.h"
#include "app/PartEditingView.h"
#include "views/PartElementsView.h"

#include <QMenu>

namespace zandrel::test {
namespace {

class ContextualMenuTest : public PartEditorWindowTest {
protected:
    // Right-clicks the view at the document point; what the menu then shows: the actions of its
    // items and the titles of its submenus, in order.
    QStringList rightClick(ZDLView* in, const QPointF& documentPoint)
    {
        QTest::mouseClick(in, Qt::RightButton, {}, in->viewTransform().map(documentPoint).toPoint());
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QStringList shown;
        for (QAction* item : menu ? menu->actions() : QList<QAction*>()) {
            if (item->isVisible() && !item->isSeparator())
                shown.append(item->menu() ? item->text() : MenuActions::actionOf(item));
        }
        return shown;
    }
    // Chooses the item of the open menu with the keyboard, as a person may.
    void pick(const QString& action)
    {
        ASSERT_TRUE(menu);
        for (QAction* item : menu->actions()) {
            if (MenuActions::actionOf(item) == action) {
                menu->setActiveAction(item);
                QTest::keyClick(menu, Qt::Key_Return);
                endOfEvent();
                return;
            }
        }
        FAIL() << action.toStdString();
    }

    QMenu* menu = nullptr;
};

TEST_F(ContextualMenuTest, OnPartsTheMenuOffersTheEditingCommandsTheViewAllows)
{
    view->setSelection({ part(0), part(1) });
    const QByteArray before = bytes();
    // Nothing to undo; the two backmost parts cannot go further back; no group to ungroup.
    EXPECT_EQ(rightClick(view, partCentre(0)),
        (QStringList { kCutAction, kCopyAction, kPasteAction, kDeleteAction, kBringToFrontAction,
            kBringForwardAction, kFlipHorizontalAction, kFlipVerticalAction, kGroupAction,
            QStringLiteral("Part Type"), kCreateNewPartAction }));
    EXPECT_EQ(view->selection(), (ElementList { part(0), part(1) })) << "the right click kept them";
    pick(kGroupAction);
    EXPECT_EQ(document->model()->numChildren(), 4u);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Group"));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(rightClick(view, partCentre(0)).mid(0, 2), (QStringList { kRedoAction, kCutAction }));
    pick(kRedoAction);
    EXPECT_EQ(document->model()->numChildren(), 4u);
}

TEST_F(ContextualMenuTest, InThePartEditorTheMenuOffersItsCommandsAndStyles)
{
    document->model()->createDefaultStyles();
    view->setSelection({ part(0) });
    choose(kEditObjectAction);
    endOfEvent();
    ASSERT_EQ(document->currentEditor(), editor);
    const auto* root = asProtocol<Parent>(elements->rootObject());
    const ElementList paths { root->getChildAtIndex(0), root->getChildAtIndex(1) };
    elements->setSelection(paths);
    const QPointF on = asProtocol<GraphicElement>(paths.first())->getBounds().center();
    const QStringList shown = rightClick(elements, on);
    for (const QString& offered : { kCutAction, kDeleteAction, kFlipHorizontalAction, kGroupAction,
             QStringLiteral("Style"), kSetPivotPointAction, kPopEditorAction })
        EXPECT_TRUE(shown.contains(offered)) << offered.toStdString();
    // Paths have no part type, the editor makes no new part, and there is no pivot to reset.
    for (const QString& refused :
        { QStringLiteral("Part Type"), kCreateNewPartAction, kResetPivotPointAction, kUngroupAction })
        EXPECT_FALSE(shown.contains(refused)) << refused.toStdString();
    const std::size_t count = root->numChildren();
    pick(kDeleteAction);
    EXPECT_EQ(root->numChildren(), count - 2);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Delete object"));
}

} // namespace
} // namespace zandrel::test
