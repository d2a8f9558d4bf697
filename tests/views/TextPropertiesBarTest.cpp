// The text formatting bar and the property bar of a real comic window: a balloon is selected and
// edited with the mouse, the bar's controls are driven with real events, and the balloon's text
// attributes, the names of the undo steps and their undo are checked.
#include "ComicWindowFixture.h"
#include "app/FavoriteFontsController.h"
#include "app/core/ZDLAppController.h"
#include "colorui/ColorPopups.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "panels/ComicPropertiesController.h"
#include "panels/PopupButton.h"
#include "panels/SegmentedControl.h"
#include "panels/TextFormatting.h"
#include "panels/TextPropertiesController.h"
#include "platform/UserDefaults.h"
#include "views/BalloonTextEditor.h"

#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace zandrel::test {
namespace {

class TextPropertiesBarTest : public ComicWindowTest {
protected:
    void SetUp() override
    {
        ComicWindowTest::SetUp();
        bar = window->findChild<TextPropertiesController*>();
        properties = window->findChild<ComicPropertiesController*>();
        ASSERT_TRUE(bar && properties);
        ComicStructureList panels;
        model().getPanelsInArray(panels);
        for (const auto& cell : panels) {
            auto panel = std::dynamic_pointer_cast<ComicPanel>(cell);
            for (const ObjectPtr& child : panel ? panel->frontLayer()->children() : ElementList()) {
                auto found = std::dynamic_pointer_cast<Balloon>(child);
                if (found && found->formattedText().string() == QStringLiteral("Hello!"))
                    balloon = found;
            }
        }
        ASSERT_TRUE(balloon);
        // Only the favourites a test makes.
        appController()->setBuiltInFavoriteFonts({});
    }
    void TearDown() override
    {
        appController()->setFontFamily(FontRegistry::kLetteringFamily, false);
        UserDefaults::standard().remove(kFavoriteFontsKey);
        UserDefaults::standard().remove(kUnfavoriteFontsKey);
        ComicWindowTest::TearDown();
    }

    QPointF balloonCentre() const
    {
        return QPointF(
            balloon->origin().x() + balloon->width() / 2, balloon->origin().y() + balloon->textHeight() / 2);
    }
    // Clicks the balloon until it is selected: the first click may only make its panel current.
    void selectBalloon()
    {
        for (int attempt = 0; attempt < 2 && !view->selection().contains(balloon); ++attempt) {
            click(balloonCentre());
            endOfEvent();
        }
        ASSERT_TRUE(view->selection().contains(balloon));
    }
    void editBalloon()
    {
        selectBalloon();
        doubleClick(view, at(balloonCentre()));
        endOfEvent();
        ASSERT_TRUE(view->textEditing());
        editor = view->textEditingView();
    }
    // Opens the popup with a click and clicks the item in its menu.
    using ComicWindowTest::choose;
    static void choose(PopupButton* popup, QAction* item)
    {
        ASSERT_TRUE(item);
        QTest::mouseClick(popup, Qt::LeftButton);
        QMenu* menu = popup->itemMenu();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        endOfEvent();
    }
    static void clickSegment(SegmentedControl* control, int segment)
    {
        QTest::mouseClick(control->button(segment), Qt::LeftButton);
        endOfEvent();
    }
    static void typeInto(QLineEdit* field, const QString& text)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        endOfEvent();
    }
    // The attributes of each character of the balloon's text.
    QList<TextAttributes> characters() const
    {
        const AttributedText text = balloon->formattedText();
        QList<TextAttributes> each;
        for (qsizetype run = 0; run < text.runCount(); ++run) {
            for (qsizetype i = 0; i < text.runRange(run).length; ++i)
                each.append(text.runAttributes(run));
        }
        return each;
    }
    QString editorUndoTitle() { return undoTitle(); }

    TextPropertiesController* bar = nullptr;
    ComicPropertiesController* properties = nullptr;
    BalloonTextEditor* editor = nullptr;
    BalloonPtr balloon;
};

TEST_F(TextPropertiesBarTest, SelectingShowsNoBarEditingShowsItAndRestsThePropertyBar)
{
    ASSERT_NO_FATAL_FAILURE(selectBalloon());
    EXPECT_FALSE(bar->isVisible()) << "a selected balloon is formatted only while its text is edited";
    EXPECT_TRUE(properties->layerControl()->isEnabled());
    ASSERT_NO_FATAL_FAILURE(editBalloon());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(properties->layerControl()->isEnabled());
    EXPECT_FALSE(properties->focusControl()->isEnabled());
    // The whole text is selected: one family, face, size and alignment are shown.
    EXPECT_EQ(bar->fontFamilyPopup()->title(), FontRegistry::kLetteringFamily);
    EXPECT_EQ(bar->fontSizeField()->text(), QStringLiteral("14"));
    EXPECT_TRUE(bar->alignmentControl()->isSelected(1)) << "centred";
    EXPECT_EQ(bar->balloonShapePopup()->selectedTag(), balloon->shape());
    QTest::keyClick(editor, Qt::Key_Escape);
    endOfEvent();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(properties->layerControl()->isEnabled());
}

// Each control changes the selected text as one named step of the editor's history; ending the
// edit makes one document step that undoes everything.
TEST_F(TextPropertiesBarTest, ControlsFormatTheSelectionAsNamedStepsThatUndo)
{
    const QByteArray before = bytes();
    ASSERT_NO_FATAL_FAILURE(editBalloon());
    typeInto(bar->fontSizeField(), QStringLiteral("20"));
    for (const TextAttributes& each : characters())
        EXPECT_EQ(each.font->size, 20.0);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Set Font Size"));
    EXPECT_TRUE(editor->hasFocus()) << "the keyboard goes back to the text";

    clickSegment(bar->styleToggles(), 0);
    const auto face = TextFormatting::faceOf(characters().first().font);
    EXPECT_EQ(face.family, FontRegistry::kLetteringFamily);
    EXPECT_TRUE(QFontDatabase::weight(face.family, face.style) >= QFont::DemiBold)
        << face.style.toStdString();
    EXPECT_TRUE(bar->styleToggles()->isSelected(0));
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Bold"));

    clickSegment(bar->alignmentControl(), 2);
    for (const TextAttributes& each : characters())
        EXPECT_EQ(each.paragraphStyleOrDefault().alignment, TextAlignment::Right);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Set Alignment"));

    choose(bar->lineHeightPopup(), bar->lineHeightPopup()->itemWithRepresentedObject(1.5f));
    EXPECT_EQ(characters().first().paragraphStyleOrDefault().lineHeightMultiple, 1.5);
    EXPECT_EQ(bar->lineHeightField()->text(), QStringLiteral("1.5"));
    typeInto(bar->afterParField(), QStringLiteral("6"));
    EXPECT_EQ(characters().first().paragraphStyleOrDefault().paragraphSpacing, 6.0);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Set Paragraph Spacing"));

    // A colour choice is one step however often the colour moves; Cancel takes it back.
    const RgbColor red = RgbColor::fromQColor(Qt::red);
    bar->colorWell()->takeColorValue(RgbColor::fromQColor(Qt::green));
    bar->colorWell()->takeColorValue(red);
    EXPECT_EQ(characters().first().foregroundColor, red);
    bar->colorWell()->cancelHandler()(bar->colorWell());
    EXPECT_NE(characters().first().foregroundColor, red);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Set Paragraph Spacing"));
    bar->colorWell()->takeColorValue(RgbColor::fromQColor(Qt::green));
    bar->colorWell()->takeColorValue(red);
    bar->colorWell()->commitHandler()(bar->colorWell());
    EXPECT_EQ(characters().last().foregroundColor, red);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Change Text Color"));

    // Undo in the editor goes back one named step at a time.
    choose(kUndoAction);
    EXPECT_NE(characters().first().foregroundColor, red);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Set Paragraph Spacing"));
    choose(kRedoAction);
    EXPECT_EQ(characters().first().foregroundColor, red);

    // The shape changes at once, three times, and ends as one document step back to the first.
    const int shape = balloon->shape();
    for (int tag : { 1, 2, 3 })
        choose(bar->balloonShapePopup(), bar->balloonShapePopup()->itemWithTag(tag));
    EXPECT_EQ(balloon->shape(), 3);
    EXPECT_EQ(editorUndoTitle(), QStringLiteral("Undo Set Balloon Shape"));
    QTest::keyClick(editor, Qt::Key_Escape);
    endOfEvent();
    EXPECT_EQ(balloon->shape(), 3);
    EXPECT_EQ(characters().first().foregroundColor, red);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Balloon Text"));
    choose(kUndoAction);
    EXPECT_EQ(balloon->shape(), shape);
    EXPECT_EQ(bytes(), before);
}

// A selection of two sizes shows neither; the popup marks both; out-of-range menu numbers and the
// stepper's odd values are held to what the bar takes.
TEST_F(TextPropertiesBarTest, MixedSelectionsShowMixedValues)
{
    ASSERT_NO_FATAL_FAILURE(editBalloon());
    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClick(editor, Qt::Key_Right, Qt::ShiftModifier);
    typeInto(bar->fontSizeField(), QStringLiteral("12"));
    EXPECT_EQ(characters().at(0).font->size, 12.0);
    EXPECT_EQ(characters().at(1).font->size, 14.0);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    endOfEvent();
    EXPECT_TRUE(bar->fontSizeField()->text().isEmpty());
    EXPECT_FALSE(bar->fontSizeStepper()->isEnabled());
    EXPECT_EQ(PopupButton::stateOf(bar->fontSizePopup()->itemWithRepresentedObject(12.0f)), -1);
    EXPECT_EQ(PopupButton::stateOf(bar->fontSizePopup()->itemWithRepresentedObject(14.0f)), -1);
    EXPECT_EQ(PopupButton::stateOf(bar->fontSizePopup()->itemWithRepresentedObject(13.0f)), 0);

    QAction* huge = bar->fontSizePopup()->addItem(QStringLiteral("150 pt"));
    choose(bar->fontSizePopup(), huge);
    EXPECT_EQ(characters().at(1).font->size, 14.0) << "sizes above 100 from the menu are ignored";
    bar->lineHeightStepper()->setValue(1.18);
    bar->lineHeightStepper()->step(0);
    EXPECT_FLOAT_EQ(characters().first().paragraphStyleOrDefault().lineHeightMultiple, 1.2f);
}

// A family made favourite while the text is edited heads the family menu at once; the choice lives
// in the user defaults and comes back in a new application controller.
TEST_F(TextPropertiesBarTest, FavouriteFamiliesComeFirstAndPersist)
{
    ASSERT_NO_FATAL_FAILURE(editBalloon());
    const QList<QAction*> items = bar->fontFamilyPopup()->items();
    ASSERT_FALSE(items.isEmpty());
    appController()->setFontFamily(FontRegistry::kLetteringFamily, true);
    QList<QAction*> shown = bar->fontFamilyPopup()->items();
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown.first()->text(), FontRegistry::kLetteringFamily);
    EXPECT_TRUE(shown.at(1)->isSeparator() || appController()->isAFavoriteFontFamily(shown.at(1)->text()));
    EXPECT_EQ(
        UserDefaults::standard().stringArray(kFavoriteFontsKey), QStringList(FontRegistry::kLetteringFamily));

    ZDLAppController reread;
    EXPECT_TRUE(reread.isAFavoriteFontFamily(FontRegistry::kLetteringFamily));
    choose(bar->fontFamilyPopup(), shown.first());
    EXPECT_EQ(TextFormatting::faceOf(characters().first().font).family, FontRegistry::kLetteringFamily);

    // The fonts pane shows each family in its own face and unchecks through the same defaults.
    FavoriteFontsController fonts;
    const int row = int(fonts.families().indexOf(FontRegistry::kLetteringFamily));
    ASSERT_GE(row, 0);
    EXPECT_EQ(
        fonts.data(fonts.index(row), Qt::FontRole).value<QFont>().family(), FontRegistry::kLetteringFamily);
    fonts.setData(fonts.index(row), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_TRUE(UserDefaults::standard().stringArray(kFavoriteFontsKey).isEmpty());
    QStringList listed;
    for (QAction* item : bar->fontFamilyPopup()->items())
        listed.append(item->text());
    EXPECT_EQ(listed.count(FontRegistry::kLetteringFamily), 1) << "no longer among the favourites";
}

// The family popup fits its longest name; a window too narrow for the bar on one line wraps it
// onto two rather than squeezing its controls or widening the window.
TEST_F(TextPropertiesBarTest, FamilyPopupFitsItsNamesAndANarrowWindowWrapsTheBar)
{
    ASSERT_NO_FATAL_FAILURE(editBalloon());
    PopupButton* families = bar->fontFamilyPopup();
    const QFontMetrics metrics(families->font());
    for (const QAction* item : families->items()) {
        if (!item->isSeparator())
            EXPECT_LT(metrics.horizontalAdvance(item->text()), families->width())
                << item->text().toStdString();
    }
    const int oneLine = bar->sizeHint().height();
    const auto controlsInside = [this] {
        const QList<const QWidget*> controls { bar->fontFamilyPopup(), bar->fontStylePopup(),
            bar->fontSizeField(), bar->colorWell(), bar->balloonStylePopup() };
        for (const QWidget* control : controls) {
            const QRect shown(control->mapTo(bar, QPoint(0, 0)), control->size());
            if (!bar->rect().contains(shown) || control->width() < control->minimumSizeHint().width())
                return false;
        }
        return true;
    };
    window->resize(bar->sizeHint().width() + 100, window->height());
    endOfEvent();
    EXPECT_EQ(bar->height(), oneLine);
    EXPECT_TRUE(controlsInside());
    const int narrow = bar->sizeHint().width() * 2 / 3;
    window->resize(narrow, window->height());
    endOfEvent();
    EXPECT_EQ(window->width(), narrow);
    EXPECT_GT(bar->height(), oneLine);
    EXPECT_TRUE(controlsInside());
}

// The layer and focus segments set the comic's modes; the segment in force changes nothing.
TEST_F(TextPropertiesBarTest, PropertyBarSwitchesLayerAndFocus)
{
    selectBalloon();
    clickSegment(properties->layerControl(), 0);
    EXPECT_FALSE(model().editBackground());
    EXPECT_TRUE(view->selection().contains(balloon)) << "the layer in force keeps the selection";
    clickSegment(properties->layerControl(), 1);
    EXPECT_TRUE(model().editBackground());
    EXPECT_TRUE(view->selection().isEmpty());
    clickSegment(properties->focusControl(), 1);
    EXPECT_TRUE(model().focusOnPanel());
    // Whoever changes the modes, the bar follows.
    choose(kToggleEditBackgroundAction);
    EXPECT_EQ(properties->layerControl()->selectedSegment(), 0);
    clickSegment(properties->focusControl(), 0);
    EXPECT_FALSE(model().focusOnPanel());
}

} // namespace
} // namespace zandrel::test
