#include "panels/StyleSheets.h"

#include "ComicSheetCase.h"
#include "app/AppController.h"
#include "app/PartEditingView.h"
#include "charmodel/PartPath.h"
#include "colorui/ColorPopups.h"
#include "colorui/GradientGeometryControl.h"
#include "graphics/ColorFill.h"
#include "graphics/Gradient.h"
#include "graphics/GradientFill.h"
#include "panels/DialogUtilities.h"
#include "views/PartElementsView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMimeData>

namespace zandrel::test {

namespace {

StyleTable* tableOf(QDialog* sheet)
{
    return sheet->findChild<StyleTable*>(QStringLiteral("table"));
}

void clickRow(QDialog* sheet, int row)
{
    StyleTable* table = tableOf(sheet);
    ASSERT_TRUE(table && table->item(row));
    QTest::mouseClick(
        table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(row)).center());
}

void clickSegment(QDialog* sheet, const char* name, int segment)
{
    auto* control = sheet->findChild<SegmentedControl*>(QString::fromLatin1(name));
    ASSERT_TRUE(control);
    const QList<QAbstractButton*> buttons = control->findChildren<QAbstractButton*>();
    ASSERT_GT(buttons.size(), segment);
    QTest::mouseClick(buttons.at(segment), Qt::LeftButton);
}

QStringList namesOf(const QList<NamedShapeStylePtr>& styles)
{
    QStringList names;
    for (const NamedShapeStylePtr& style : styles)
        names.append(style->name());
    return names;
}

} // namespace

class StyleSheetTest : public CharacterSheetTest {
protected:
    void SetUp() override
    {
        CharacterSheetTest::SetUp();
        // "Skin" (lined, skin fill), "Shadow" and "Highlight" (blurred, no line).
        model().createDefaultStyles();
        ASSERT_EQ(namesOf(model().styles()), (QStringList { "Skin", "Shadow", "Highlight" }));
    }
    CharacterModel& model() const { return *document->model(); }
    int colorTag(const QString& name) const
    {
        const QList<ZDLColorPtr> colors = model().colors();
        for (qsizetype i = 0; i < colors.size(); ++i) {
            if (colors.at(i)->name() == name)
                return int(i);
        }
        return -1;
    }
    ZDLColorPtr color(const QString& name) const { return model().colors().value(colorTag(name)); }
    const NamedShapeStyle& style(int index) const { return *model().styles().at(index); }
    // Opens the first part in the part editor; its path at the index.
    std::shared_ptr<PartPath> openPartAtPath(int index)
    {
        auto* editor = window->findChild<PartEditingView*>(QStringLiteral("partEditor"));
        if (!editor)
            return nullptr;
        view->setSelection({ part(0) });
        choose(kEditObjectAction);
        endOfEvent();
        elements = editor->partElementsView();
        return std::dynamic_pointer_cast<PartPath>(
            asProtocol<Parent>(elements->rootObject())->getChildAtIndex(std::size_t(index)));
    }
    PartElementsView* elements = nullptr;
};

// Every edit stays in the sheet until Save, which is one step "Edit Styles" however many styles
// changed; undo gives the saved bytes back.
TEST_F(StyleSheetTest, EditsAreOneNamedStepOnSave)
{
    const int coat = colorTag(QStringLiteral("Coat"));
    ASSERT_GE(coat, 0);
    run({
        { "fill colour, weight and dash of one style", kEditStylesAction, "EditStylesDialog",
            [coat](QDialog* sheet) {
                EXPECT_EQ(sheet->findChild<QLabel*>(QStringLiteral("stylesLabel"))->text(),
                    QStringLiteral("Styles in “Bob”"));
                // The first style is chosen on opening, its fields ready to edit.
                EXPECT_TRUE(sheet->findChild<QPushButton*>(QStringLiteral("deleteButton"))->isEnabled());
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("nameField"))->text(),
                    QStringLiteral("Skin"));
                clickRow(sheet, 1);
                clickRow(sheet, 0);
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("nameField"))->text(),
                    QStringLiteral("Skin"));
                chooseFromPopup(sheet, "fillColorPopup", coat);
                typeInSheet(sheet, "lineWeightField", "3");
                chooseFromPopup(sheet, "lineStylePopup", 2);
                // Leaving the field for the next style writes its weight to the first.
                clickRow(sheet, 1);
                chooseFromPopup(sheet, "lineWeightPopup", 0);
                // The same presets as the inspector's weight menu.
                QStringList weights;
                for (const QAction* item :
                    sheet->findChild<PopupButton*>(QStringLiteral("lineWeightPopup"))->items()) {
                    if (item->isVisible() && !item->isSeparator())
                        weights.append(item->text());
                }
                EXPECT_EQ(weights,
                    (QStringList { "0.25 pt", "0.5 pt", "0.75 pt", "1 pt", "1.5 pt", "2 pt", "3 pt", "4 pt",
                        "6 pt", "8 pt", "12 pt" }));
            },
            nullptr, "Edit Styles",
            [this] {
                EXPECT_EQ(style(0).fillColor(), color(QStringLiteral("Coat")));
                EXPECT_EQ(style(0).lineWeight(), 3.0f);
                EXPECT_EQ(style(0).lineDash(), 2);
                EXPECT_EQ(style(1).lineWeight(), 0.25f);
                EXPECT_EQ(style(2).lineWeight(), 1.0f) << "untouched styles stay";
            } },
        { "renamed to a taken name, a unique variant", kEditStylesAction, "EditStylesDialog",
            [](QDialog* sheet) {
                clickRow(sheet, 1);
                typeInSheet(sheet, "nameField", "Skin");
                clickRow(sheet, 2);
                EXPECT_EQ(tableOf(sheet)->item(1)->text(), QStringLiteral("Skin 1"));
            },
            nullptr, "Edit Styles",
            [this] {
                EXPECT_EQ(namesOf(model().styles()), (QStringList { "Skin", "Skin 1", "Highlight" }));
            } },
        { "reordered", kEditStylesAction, "EditStylesDialog",
            [](QDialog* sheet) {
                StyleTable* table = tableOf(sheet);
                clickRow(sheet, 2);
                std::unique_ptr<QMimeData> rows(EditStylesController::dragDataForRows({ 2 }));
                // The top half of the first row: before it.
                const QRect first = table->visualItemRect(table->item(0));
                const int row = table->dropRowAt(first.topLeft() + QPoint(4, 2));
                EXPECT_EQ(row, 0);
                // A drop that does not come from this list is refused.
                QDropEvent foreign(
                    QPointF(first.topLeft() + QPoint(4, 2)), Qt::MoveAction, rows.get(), Qt::LeftButton, {});
                QApplication::sendEvent(table->viewport(), &foreign);
                EXPECT_EQ(table->item(0)->text(), QStringLiteral("Skin"));
                ASSERT_TRUE(table->controller()->acceptDrop(rows.get(), row));
                EXPECT_EQ(table->item(0)->text(), QStringLiteral("Highlight"));
                EXPECT_EQ(table->currentRow(), 0) << "the moved style stays chosen";
                EXPECT_EQ(table->controller()->currentStyle()->name(), QStringLiteral("Highlight"));
                // Rows beyond the list, and rows the list does not have, move nothing.
                EXPECT_FALSE(table->controller()->acceptDrop(rows.get(), 4));
                std::unique_ptr<QMimeData> stray(EditStylesController::dragDataForRows({ 7 }));
                EXPECT_FALSE(table->controller()->acceptDrop(stray.get(), 0));
                QMimeData junk;
                junk.setData(EditStylesController::kStyleDragType, QByteArray("\xff\xff\xff", 3));
                EXPECT_FALSE(table->controller()->acceptDrop(&junk, 0));
                junk.setData(EditStylesController::kStyleDragType, QByteArray("\xff\xff\xff\xf0", 4));
                EXPECT_FALSE(table->controller()->acceptDrop(&junk, 0)) << "a count beyond the list";
                junk.setData(EditStylesController::kStyleDragType, QByteArray("\0\0\0\2\0\0\0\1", 8));
                EXPECT_FALSE(table->controller()->acceptDrop(&junk, 0)) << "fewer rows than counted";
                // Two rows dropped at the end keep their order.
                std::unique_ptr<QMimeData> two(EditStylesController::dragDataForRows({ 0, 1 }));
                ASSERT_TRUE(table->controller()->acceptDrop(two.get(), 3));
            },
            nullptr, "Edit Styles",
            [this] {
                EXPECT_EQ(namesOf(model().styles()), (QStringList { "Shadow", "Highlight", "Skin" }));
            } },
        { "a red fill turned gradient runs from red to white, and back", kEditStylesAction,
            "EditStylesDialog",
            [this](QDialog* sheet) {
                clickRow(sheet, 0);
                clickSegment(sheet, "fillTypeSelector", 1);
                auto* controller = tableOf(sheet)->controller();
                const auto* gradientFill
                    = dynamic_cast<const GradientFill*>(controller->currentStyle()->fill().get());
                ASSERT_TRUE(gradientFill);
                EXPECT_EQ(gradientFill->gradient()->colorOfStopAtIndex(0).toQColor(),
                    color(QStringLiteral("Skin"))->color().toQColor());
                EXPECT_TRUE(sheet->findChild<QWidget*>(QStringLiteral("fillGradientPopup"))->isVisible());
                EXPECT_FALSE(sheet->findChild<QWidget*>(QStringLiteral("fillColorView"))->isVisible());
                // The second style to colour: the character's default fill colour.
                clickRow(sheet, 1);
                clickSegment(sheet, "fillTypeSelector", 1);
                clickSegment(sheet, "fillTypeSelector", 0);
                EXPECT_EQ(controller->currentStyle()->fillColor(), model().fillColor());
            },
            nullptr, "Edit Styles",
            [this] {
                EXPECT_EQ(style(0).fillType(), FillTypeGradient);
                EXPECT_EQ(style(1).fillType(), FillTypeColor);
            } },
    });
}

// Cancel changes nothing; a style in use by paths can be deleted, the paths keep what it gave them.
TEST_F(StyleSheetTest, CancelKeepsAllAndDeletingAUsedStyleLeavesItsPathsAlone)
{
    const QByteArray saved = bytes();
    const QString undoBefore = undoTitle();
    open(kEditStylesAction);
    QDialog* sheet = openSheet(window, QStringLiteral("EditStylesDialog"));
    ASSERT_TRUE(sheet);
    clickRow(sheet, 0);
    clickButton(sheet, QDialogButtonBox::Cancel);
    endOfEvent();
    EXPECT_EQ(bytes(), saved);
    EXPECT_EQ(undoTitle(), undoBefore);
    freeClosedSheets();

    // Give a path the "Shadow" style through the part editor's menu.
    const auto path = openPartAtPath(0);
    ASSERT_TRUE(path);
    elements->setSelection({ path });
    elements->applyStyle(1);
    endOfEvent();
    EXPECT_EQ(path->blur(), style(1).blur());
    const float blur = path->blur();
    const ZDLColorPtr fill = path->fillColor();

    run({
        { "delete the used style", kEditStylesAction, "EditStylesDialog",
            [](QDialog* shown) {
                clickRow(shown, 1);
                QTest::mouseClick(
                    shown->findChild<QPushButton*>(QStringLiteral("deleteButton")), Qt::LeftButton);
                EXPECT_EQ(tableOf(shown)->count(), 2);
                EXPECT_FALSE(tableOf(shown)->controller()->currentStyle());
            },
            nullptr, "Edit Styles",
            [&] {
                EXPECT_EQ(namesOf(model().styles()), (QStringList { "Skin", "Highlight" }));
                EXPECT_EQ(path->blur(), blur);
                EXPECT_EQ(path->fillColor(), fill);
                // The part editor's style menu follows the list; an index past it applies nothing.
                EXPECT_EQ(AppController::shared()->contextualStyleMenu()->actions().size(), 2);
                const QByteArray before = bytes();
                elements->applyStyle(2);
                EXPECT_EQ(bytes(), before);
            } },
    });
}

// A style without fill lights neither kind and shows neither colour nor gradient; a click on a kind
// gives it that fill, saved as the one step of the sheet.
TEST_F(StyleSheetTest, AStyleWithoutFillLightsNeitherKind)
{
    model().styles().at(0)->setFill(nullptr);
    run({
        { "gradient for a style without fill", kEditStylesAction, "EditStylesDialog",
            [](QDialog* sheet) {
                clickRow(sheet, 0);
                auto* selector = sheet->findChild<SegmentedControl*>(QStringLiteral("fillTypeSelector"));
                ASSERT_TRUE(selector);
                EXPECT_TRUE(selector->selectedSegments().isEmpty());
                EXPECT_TRUE(selector->isEnabled());
                EXPECT_FALSE(sheet->findChild<QWidget*>(QStringLiteral("fillColorView"))->isVisibleTo(sheet));
                EXPECT_FALSE(
                    sheet->findChild<QWidget*>(QStringLiteral("fillGradientPopup"))->isVisibleTo(sheet));
                clickSegment(sheet, "fillTypeSelector", 1);
                EXPECT_EQ(selector->selectedSegments(), QSet<int> { 1 });
                EXPECT_TRUE(
                    sheet->findChild<QWidget*>(QStringLiteral("fillGradientPopup"))->isVisibleTo(sheet));
            },
            nullptr, "Edit Styles",
            [this] { EXPECT_TRUE(std::dynamic_pointer_cast<GradientFill>(style(0).fill())); } },
    });
}

// "Save as Style" names the selected path's style and adds it as one step "Save Style".
TEST_F(StyleSheetTest, SaveAsStyleFromTheSelectedPath)
{
    const auto path = openPartAtPath(1);
    ASSERT_TRUE(path);
    focusView = elements;
    path->setLineWeight(2.5f);
    elements->setSelection({ path });
    run({
        { "the proposed name", kSaveAsStyleAction, "NewStyleDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("nameField"))->text(),
                    QStringLiteral("New Style"));
            },
            nullptr, "Save Style",
            [&] {
                ASSERT_EQ(model().styles().size(), 4);
                EXPECT_EQ(style(3).name(), QStringLiteral("New Style"));
                EXPECT_EQ(style(3).lineWeight(), 2.5f);
                EXPECT_EQ(style(3).fillColor(), path->fillColor());
            } },
        { "a taken name", kSaveAsStyleAction, "NewStyleDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "nameField", "Shadow"); }, nullptr, "Save Style",
            [&] { EXPECT_EQ(namesOf(model().styles()).last(), QStringLiteral("Shadow 1")); } },
    });
}

} // namespace zandrel::test

namespace zandrel::test {

// "Add Color…" adds the colour to the character at once, as its own step, and gives it to the style
// in the sheet only.
TEST_F(StyleSheetTest, AddColorInTheSheetIsItsOwnStep)
{
    const ZDLColorPtr fillBefore = style(0).fillColor();
    open(kEditStylesAction);
    QDialog* sheet = openSheet(window, QStringLiteral("EditStylesDialog"));
    ASSERT_TRUE(sheet);
    clickRow(sheet, 0);
    chooseFromPopup(sheet, "fillColorPopup", DialogUtilities::kAddColorTag);
    EditStylesController* controller = tableOf(sheet)->controller();
    NewColorPopupController* popup = controller->newColorPopup();
    ASSERT_TRUE(popup && popup->isShown());
    typeInto(popup->nameField(), QStringLiteral("Teal"));
    popup->perform();
    endOfEvent();
    ASSERT_TRUE(color(QStringLiteral("Teal")));
    EXPECT_EQ(controller->currentStyle()->fillColor(), color(QStringLiteral("Teal")));
    EXPECT_EQ(style(0).fillColor(), fillBefore);
    // The colour list records the addition; nothing names it, as nothing is set through the popup.
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo"));
    clickButton(sheet, QDialogButtonBox::Ok);
    endOfEvent();
    EXPECT_EQ(style(0).fillColor(), color(QStringLiteral("Teal")));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Styles"));
    freeClosedSheets();
}

} // namespace zandrel::test
