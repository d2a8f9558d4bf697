// Lettering in a real character window: balloons are created from the Text menu and typed into
// with real keys and clicks; each text edit is one undo step that gives back the file's bytes.
#include "CharacterWindowFixture.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"
#include "graphics/DefaultsExtensions.h"
#include "panels/PopupButton.h"
#include "panels/TextPropertiesController.h"
#include "platform/FontRegistry.h"
#include "support/TestSupport.h"
#include "views/BalloonTextEditor.h"

#include <QMenu>

namespace zandrel {
namespace {

const QString kDefaultTextKeys[] = { Balloon::kDefaultFontKey, Balloon::kDefaultSizeKey,
    Balloon::kDefaultTextColorKey, Balloon::kDefaultAlignmentKey };

class BalloonEditingTest : public test::CharacterWindowTest {
protected:
    void SetUp() override
    {
        for (const QString& key : kDefaultTextKeys)
            UserDefaults::standard().remove(key);
        CharacterWindowTest::SetUp();
    }
    void TearDown() override
    {
        CharacterWindowTest::TearDown();
        for (const QString& key : kDefaultTextKeys)
            UserDefaults::standard().remove(key);
    }

    BalloonTextEditor* editor() const { return view->textEditingView(); }
    BalloonPtr lastBalloon() const
    {
        return std::dynamic_pointer_cast<Balloon>(part(int(document->model()->numChildren()) - 1));
    }
    // Creates a lettering object from the menu as a person would: it opens for typing at once.
    BalloonPtr create(const QString& action)
    {
        choose(action);
        endOfEvent();
        return lastBalloon();
    }
    void type(const QString& text)
    {
        QTest::keyClicks(editor(), text);
        endOfEvent();
    }
    void escape()
    {
        QTest::keyClick(editor(), Qt::Key_Escape);
        endOfEvent();
    }
    QPoint atBalloon(const BalloonPtr& balloon) const
    {
        return at(balloon->origin() + QPointF(balloon->width() / 2, balloon->textHeight() / 2));
    }
};

TEST_F(BalloonEditingTest, TypedTextIsOneUndoStepThatGivesBackTheBytes)
{
    const QByteArray original = bytes();
    const QPointF centre = view->getCenterOfVisibleRect();
    const BalloonPtr balloon = create(kAddBalloonAction);
    ASSERT_TRUE(balloon);
    // Outside a comic a balloon is 120 wide, its text's top-left 60 left of the visible centre.
    EXPECT_EQ(balloon->width(), 120.0f);
    EXPECT_EQ(balloon->origin(), centre - QPointF(60, 0));
    EXPECT_EQ(balloon->pointers().size(), 1u);
    EXPECT_TRUE(view->textEditing());
    EXPECT_TRUE(balloon->editing());
    EXPECT_TRUE(editor()->isVisible());
    EXPECT_TRUE(editor()->hasFocus());
    EXPECT_TRUE(view->selection().isEmpty());
    EXPECT_EQ(editor()->textCursor().selectedText(), QStringLiteral("Edit balloon text"));
    // The editor lies over the balloon's text, and the creation is already a step of its own.
    EXPECT_EQ(editor()->geometry().topLeft(),
        at(QPointF(std::round(balloon->origin().x()), std::round(balloon->origin().y()))));
    EXPECT_FALSE(showMenuItem(window, kAddBalloonAction)->isEnabled()) << "no new balloon while typing";
    const QByteArray created = bytes();

    type(QStringLiteral("Hello"));
    EXPECT_EQ(balloon->formattedText().string(), QStringLiteral("Hello")) << "the balloon follows live";
    // Typing keeps the lettering the text had.
    EXPECT_EQ(balloon->formattedText().attributesAt(0), Balloon().formattedText().attributesAt(0));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Typing")) << "keystrokes undo inside the editor";

    escape();
    EXPECT_FALSE(view->textEditing());
    EXPECT_FALSE(balloon->editing());
    EXPECT_FALSE(editor()->isVisible());
    EXPECT_EQ(view->selection(), ElementList { balloon });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Balloon Text"));
    const QByteArray edited = bytes();
    EXPECT_NE(edited, created);

    choose(kUndoAction);
    EXPECT_EQ(balloon->formattedText().string(), QStringLiteral("Edit balloon text"));
    EXPECT_EQ(bytes(), created);
    EXPECT_EQ(view->selection(), ElementList { balloon });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Add Text Balloon"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), original);
    EXPECT_TRUE(view->selection().isEmpty());
    choose(kRedoAction);
    choose(kRedoAction);
    EXPECT_EQ(bytes(), edited);
    EXPECT_EQ(view->selection(), ElementList { balloon });
}

TEST_F(BalloonEditingTest, NarrationBoxesAndTextBlocksTakeTheirShapeTextAndPlace)
{
    struct Case {
        QString action;
        int shape;
        QString text;
        float width;
        QString undo;
    };
    const QList<Case> cases {
        { kAddNarrativeBoxAction, 3, QStringLiteral("Meanwhile..."), 216,
            QStringLiteral("Add Narration Box") },
        { kAddTextBlockAction, 5, QStringLiteral("Type text here"), 150, QStringLiteral("Add Text Block") },
    };
    UserDefaults::standard().set(Balloon::kDefaultSizeKey, 20.0f);
    for (const Case& each : cases) {
        const QPointF centre = view->getCenterOfVisibleRect();
        const BalloonPtr box = create(each.action);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->shape(), each.shape);
        EXPECT_EQ(box->style(), 0);
        EXPECT_TRUE(box->pointers().empty());
        EXPECT_EQ(box->width(), each.width);
        EXPECT_EQ(box->origin(), centre - QPointF(each.width / 2, 0));
        const TextAttributes attributes = box->formattedText().attributesAt(0);
        EXPECT_EQ(box->formattedText().string(), each.text);
        EXPECT_EQ(attributes.paragraphStyleOrDefault().alignment, TextAlignment::Left);
        EXPECT_EQ(attributes.font->size, 20.0) << "the defaults' lettering stays";
        escape();
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undo) << "nothing typed, no text step";
    }
}

TEST_F(BalloonEditingTest, TheAttributesInForceAtTheEndBecomeTheDefaults)
{
    UserDefaults::standard().set(Balloon::kDefaultAlignmentKey, 3);
    const BalloonPtr first = create(kAddBalloonAction);
    // As the formatting bar would: the whole text turns blue and larger.
    editor()->setTextColor(Qt::blue);
    editor()->setFontPointSize(18 * view->viewScale());
    endOfEvent();
    EXPECT_EQ(first->formattedText().attributesAt(3).foregroundColor.toQColor(), QColor(Qt::blue));
    escape();
    UserDefaults& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.string(Balloon::kDefaultFontKey), QStringLiteral("ComicNeue-Regular"));
    EXPECT_FLOAT_EQ(defaults.floating(Balloon::kDefaultSizeKey), 18.0f);
    EXPECT_EQ(zdlColorForKey(defaults, Balloon::kDefaultTextColorKey), QColor(Qt::blue));
    EXPECT_EQ(defaults.integer(Balloon::kDefaultAlignmentKey), 2);
    // The next balloon is lettered so.
    const BalloonPtr second = create(kAddBalloonAction);
    EXPECT_EQ(second->formattedText().attributesAt(0).font->size, 18.0);
    EXPECT_EQ(second->formattedText().attributesAt(0).foregroundColor.toQColor(), QColor(Qt::blue));
    // An edit without a change still writes the defaults, and leaves no step.
    defaults.set(Balloon::kDefaultAlignmentKey, 0);
    escape();
    EXPECT_EQ(defaults.integer(Balloon::kDefaultAlignmentKey), 2);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Add Text Balloon"));
}

TEST_F(BalloonEditingTest, EmptiedTextEndsAsOneBlankAndUndoWhileTypingStaysInTheEditor)
{
    const BalloonPtr balloon = create(kAddBalloonAction);
    escape();
    const QByteArray before = bytes();
    choose(kEditObjectAction);
    EXPECT_TRUE(view->textEditing()) << "Edit Balloon Text opens it again";
    type(QStringLiteral("ab"));
    // The platform undoes a run of typing at once, with the selection it replaced.
    choose(kUndoAction);
    EXPECT_EQ(balloon->formattedText().string(), QStringLiteral("Edit balloon text"));
    QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor(), Qt::Key_Backspace);
    endOfEvent();
    EXPECT_TRUE(editor()->document()->isEmpty());
    escape();
    EXPECT_EQ(balloon->formattedText().string(), QStringLiteral(" "));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Balloon Text"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(BalloonEditingTest, ClicksEndTheEditAndADoubleClickEditsAnotherBalloon)
{
    const BalloonPtr first = create(kAddBalloonAction);
    escape();
    first->offsetBy(QPointF(0, 150), true);
    const BalloonPtr second = create(kAddBalloonAction);
    type(QStringLiteral("B"));
    // A click in the view ends the edit and does nothing else.
    QTest::mouseClick(view, Qt::LeftButton, {}, at(partCentre(1)));
    endOfEvent();
    EXPECT_FALSE(view->textEditing());
    EXPECT_EQ(second->formattedText().string(), QStringLiteral("B"));
    EXPECT_EQ(view->selection(), ElementList { second });

    // Starting on another balloon commits the one being edited first.
    choose(kEditObjectAction);
    type(QStringLiteral("C"));
    doubleClick(view, atBalloon(first));
    endOfEvent();
    EXPECT_EQ(view->editingBalloon(), first);
    EXPECT_EQ(second->formattedText().string(), QStringLiteral("C"));
    escape();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Balloon Text"));
    choose(kUndoAction);
    EXPECT_EQ(second->formattedText().string(), QStringLiteral("B"));
}

TEST_F(BalloonEditingTest, PointerShapeAndStyleCommandsAreCheckedAndUndone)
{
    const BalloonPtr first = create(kAddBalloonAction);
    escape();
    const BalloonPtr box = create(kAddNarrativeBoxAction);
    escape();
    const QByteArray before = bytes();

    view->setSelection({ first });
    choose(kAddBalloonPointerAction);
    endOfEvent();
    EXPECT_EQ(first->pointers().size(), 2u);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Add Balloon Pointer"));

    // Check marks: on where all share the item's value, mixed where several values include it.
    view->setSelection({ first, box });
    const auto stateOf = [this](const QString& action, int tag) {
        for (QAction* candidate : window->findChildren<QAction*>()) {
            if (MenuActions::actionOf(candidate) == action && MenuActions::tagOf(candidate) == tag) {
                // Submenus are validated with the menu that holds them.
                auto* menu = qobject_cast<QMenu*>(candidate->parent());
                while (auto* outer = qobject_cast<QMenu*>(menu->parent()))
                    menu = outer;
                emit menu->aboutToShow();
                return std::make_pair(candidate,
                    candidate->isChecked()                        ? 1
                        : candidate->text().startsWith(u'\u2013') ? 2
                                                                  : 0);
            }
        }
        return std::make_pair(static_cast<QAction*>(nullptr), -1);
    };
    EXPECT_EQ(stateOf(kSetBalloonShapeAction, 0).second, 2);
    EXPECT_EQ(stateOf(kSetBalloonShapeAction, 3).second, 2);
    EXPECT_EQ(stateOf(kSetBalloonShapeAction, 1).second, 0);
    EXPECT_EQ(stateOf(kSetBalloonStyleAction, 0).second, 1);
    stateOf(kSetBalloonShapeAction, 1).first->trigger();
    endOfEvent();
    EXPECT_EQ(first->shape(), 1);
    EXPECT_EQ(box->shape(), 1);
    EXPECT_EQ(stateOf(kSetBalloonShapeAction, 1).second, 1);
    stateOf(kSetBalloonStyleAction, 2).first->trigger();
    endOfEvent();
    EXPECT_EQ(box->style(), 2);
    // Balloons alone are selected: their properties sheet is offered.
    EXPECT_TRUE(showMenuItem(window, kEditBalloonPropertiesAction)->isEnabled());
    choose(kUndoAction);
    choose(kUndoAction);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), ElementList { first });

    // Parts have no shape: the items are off with only parts selected.
    view->setSelection({ part(0) });
    EXPECT_FALSE(stateOf(kSetBalloonShapeAction, 0).first->isEnabled());
    EXPECT_FALSE(showMenuItem(window, kAddBalloonPointerAction)->isEnabled());
}

TEST_F(BalloonEditingTest, GroupTakesTheFrontmostPlaceAndUngroupSelectsOnlyTheMembers)
{
    const ElementList parts = document->model()->children();
    const QByteArray before = bytes();
    view->setSelection({ parts.at(3), parts.at(1) });
    EXPECT_FALSE(showMenuItem(window, kUngroupAction)->isEnabled());
    choose(kGroupAction);
    endOfEvent();
    const ElementList grouped = document->model()->children();
    ASSERT_EQ(grouped.size(), 4);
    const auto group = std::dynamic_pointer_cast<Group>(grouped.at(2));
    ASSERT_TRUE(group);
    EXPECT_EQ(grouped, (ElementList { parts.at(0), parts.at(2), group, parts.at(4) }));
    EXPECT_EQ(group->children(), (ElementList { parts.at(1), parts.at(3) })) << "back to front";
    EXPECT_EQ(view->selection(), ElementList { group });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Group"));
    const QByteArray afterGroup = bytes();

    const BalloonPtr balloon = create(kAddBalloonAction);
    escape();
    view->setSelection({ group, balloon });
    choose(kUngroupAction);
    endOfEvent();
    EXPECT_EQ(document->model()->children(),
        (ElementList { parts.at(0), parts.at(2), parts.at(1), parts.at(3), parts.at(4), balloon }));
    EXPECT_EQ(view->selection(), (ElementList { parts.at(1), parts.at(3) }));
    EXPECT_EQ(group->numChildren(), 0u);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Ungroup"));
    choose(kUndoAction);
    EXPECT_EQ(group->children(), (ElementList { parts.at(1), parts.at(3) }));
    EXPECT_EQ(view->selection(), (ElementList { group, balloon }));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), afterGroup);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), (ElementList { parts.at(3), parts.at(1) }));
}

TEST_F(BalloonEditingTest, APartsDrawingTakesNoLetteringAndGroupsIntoPartGroups)
{
    doubleClick(view, at(partCentre(1)));
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->visibleEditingView() != view; }));
    // The part editor's view is no lettering view: a part's drawing holds no balloons.
    EXPECT_FALSE(dynamic_cast<BalloonEditingView*>(window->visibleEditingView()));
    auto* editor = dynamic_cast<ZDLEditingView*>(window->visibleEditingView());
    ASSERT_TRUE(editor);
    editor->setFocus();
    editor->selectAll();
    ASSERT_GE(editor->numSelected(), 2);
    EXPECT_FALSE(showMenuItem(window, kAddBalloonAction)->isEnabled());
    const QByteArray before = bytes();
    editor->tryToPerform(kAddTextBlockAction, {});
    EXPECT_EQ(bytes(), before);
    // The part editor groups into a part group, never a comic group.
    editor->tryToPerform(kGroupAction, {});
    const auto* root = asProtocol<Parent>(editor->rootObject());
    ASSERT_TRUE(root && root->numChildren() == 1);
    EXPECT_EQ(root->getChildAtIndex(0)->className(), PartGroup::kClassName);
}

// The character window formats balloon text from its own bar, shown only while a text is edited,
// below the view; a balloon's shape chosen there is one document step when the edit ends.
TEST_F(BalloonEditingTest, TheCharacterWindowHasTheFormattingBarWhileTextIsEdited)
{
    auto* bar = window->findChild<TextPropertiesController*>();
    ASSERT_TRUE(bar);
    EXPECT_FALSE(bar->isVisible());
    const BalloonPtr balloon = create(kAddBalloonAction);
    ASSERT_TRUE(balloon && editor());
    ASSERT_TRUE(bar->isVisible());
    const QWidget* scroll = window->findChild<QWidget*>(QStringLiteral("characterScrollArea"));
    ASSERT_TRUE(scroll);
    EXPECT_GT(bar->geometry().top(), scroll->geometry().bottom())
        << "below the view, which gives up its height";
    EXPECT_EQ(bar->fontFamilyPopup()->title(), FontRegistry::kLetteringFamily);
    PopupButton* shapes = bar->balloonShapePopup();
    QTest::mouseClick(shapes, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(shapes->itemMenu()));
    QTest::mouseClick(shapes->itemMenu(), Qt::LeftButton, {},
        shapes->itemMenu()->actionGeometry(shapes->itemWithTag(1)).center());
    endOfEvent();
    EXPECT_EQ(balloon->shape(), 1);
    escape();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(balloon->shape(), 1);
    // The end of the edit is one step, the shape with the text.
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Balloon Text"));
    choose(kUndoAction);
    EXPECT_EQ(balloon->shape(), 0);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Add Text Balloon"));
}

} // namespace
} // namespace zandrel
