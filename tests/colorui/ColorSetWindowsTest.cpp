#include "colorui/ColorSetWindows.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/PartPath.h"
#include "colorui/ColorEditorController.h"
#include "colorui/ColorPopups.h"
#include "colorui/ColorSheets.h"
#include "colorui/HsbControls.h"
#include "comicmodel/ComicModel.h"
#include "panels/SheetTestSupport.h"
#include "views/CharacterWindowFixture.h"
#include "views/ComicWindowFixture.h"

#include <QDataStream>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QTableView>

namespace zandrel::test {

namespace {

QStringList namesOf(const QList<ZDLColorPtr>& colors)
{
    QStringList names;
    for (const ZDLColorPtr& color : colors)
        names.append(color->name());
    return names;
}

// The centre of a cell of the window's table, in the table's viewport.
QPoint cellCentre(ColorSetWindowController* colors, int row, int column)
{
    return colors->table()->visualRect(colors->listModel()->index(row, column)).center();
}

void clickCell(ColorSetWindowController* colors, int row, int column)
{
    QTest::mouseClick(colors->table()->viewport(), Qt::LeftButton, {}, cellCentre(colors, row, column));
}

// Opens the popup and clicks its item of that title.
void chooseTitled(PopupButton* popup, const QString& title)
{
    QTest::mouseClick(popup, Qt::LeftButton);
    QMenu* menu = popup->itemMenu();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QAction* item = popup->itemWithTitle(title);
    ASSERT_TRUE(item) << title.toStdString();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// The window the menu item opened, made active.
ColorSetWindowController* shownColors(QWidget* documentWindow)
{
    auto* colors = documentWindow->findChild<ColorSetWindowController*>();
    if (colors) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(colors));
        activate(colors);
    }
    return colors;
}

// Undo takes the step of that name and gives the bytes back.
#define EXPECT_UNDO_RESTORES(name, before)                                                                   \
    do {                                                                                                     \
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + QStringLiteral(name));                              \
        EXPECT_NE(bytes(), before);                                                                          \
        choose(kUndoAction);                                                                                 \
        endOfEvent();                                                                                        \
        EXPECT_EQ(bytes(), before);                                                                          \
    } while (false)

} // namespace

using ColorsListWindowTest = CharacterWindowTest;

// A character's colour window worked with the mouse and keys: every change is one named step whose
// undo gives the saved bytes back.
TEST_F(ColorsListWindowTest, AddRenameReorderEditAndDelete)
{
    CharacterModel& character = *document->model();
    choose(kEditCharacterColorsAction);
    endOfEvent();
    ColorSetWindowController* colors = shownColors(window);
    ASSERT_TRUE(colors);
    EXPECT_TRUE(colors->windowTitle().endsWith(QStringLiteral(" colors")));
    const QStringList shown { "Shadow", "Highlight", "Skin", "Coat" };
    ASSERT_EQ(namesOf(colors->colors()), shown);
    EXPECT_FALSE(colors->deleteButton()->isEnabled()) << "nothing selected";
    snapshot(colors, QStringLiteral("colors-list"));

    SCOPED_TRACE("add after row 1, named like a colour there is");
    QByteArray before = bytes();
    clickCell(colors, 1, 1);
    EXPECT_EQ(colors->selectedRow(), 1);
    EXPECT_TRUE(colors->deleteButton()->isEnabled());
    QTest::mouseClick(colors->addButton(), Qt::LeftButton);
    QDialog* sheet = openSheet(colors, QStringLiteral("NewColorDialog"));
    ASSERT_TRUE(sheet);
    auto* editor = sheet->findChild<ColorEditorController*>();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->color(), character.colors().at(4)->color()) << "starts as the selected colour";
    snapshot(sheet, QStringLiteral("new-color"));
    typeInSheet(sheet, "name", "Skin");
    clickButton(sheet, QDialogButtonBox::Ok);
    endOfEvent();
    ASSERT_EQ(character.colors().size(), 8);
    const ZDLColorPtr added = character.colors().at(4);
    EXPECT_NE(added->name(), QStringLiteral("Skin"));
    EXPECT_TRUE(added->name().startsWith(QStringLiteral("Skin")));
    EXPECT_EQ(colors->colors().at(1), added);
    EXPECT_EQ(colors->selectedRow(), 1) << "the new colour is selected";
    EXPECT_UNDO_RESTORES("Add Color", before);
    EXPECT_EQ(namesOf(colors->colors()), shown);
    freeClosedSheets();

    SCOPED_TRACE("rename in the table");
    before = bytes();
    clickCell(colors, 3, 1);
    QTest::keyClick(colors->table(), Qt::Key_F2);
    auto* field = colors->table()->viewport()->findChild<QLineEdit*>();
    ASSERT_TRUE(field);
    typeInto(field, QStringLiteral("Jacket"));
    QTest::keyClick(field, Qt::Key_Return);
    endOfEvent();
    EXPECT_EQ(character.colors().at(6)->name(), QStringLiteral("Jacket"));
    EXPECT_EQ(colors->listModel()->index(3, 1).data().toString(), QStringLiteral("Jacket"));
    EXPECT_UNDO_RESTORES("Edit Color", before);

    SCOPED_TRACE("drag rows 0 and 1 below row 3");
    before = bytes();
    ColorListModel* list = colors->listModel();
    std::unique_ptr<QMimeData> dragged(list->mimeData({ list->index(0, 0), list->index(1, 1) }));
    EXPECT_FALSE(list->dropMimeData(dragged.get(), Qt::CopyAction, -1, -1, list->index(3, 0)))
        << "a drop onto a row is refused";
    {
        ColorListModel other(colors);
        std::unique_ptr<QMimeData> foreign(other.mimeData({ other.index(0, 0) }));
        EXPECT_FALSE(list->dropMimeData(foreign.get(), Qt::CopyAction, 4, 0, {})) << "from another table";
    }
    for (const quint32 count : { 0xFFFFFFFFu, 2u }) {
        // Rows claimed beyond the table, or not there at all.
        QByteArray claimed;
        QDataStream stream(&claimed, QIODevice::WriteOnly);
        stream << quint64(quintptr(list)) << count << qint32(0);
        QMimeData hostile;
        hostile.setData(ColorListModel::kDragType, claimed);
        EXPECT_FALSE(list->dropMimeData(&hostile, Qt::CopyAction, 4, 0, {})) << count;
    }
    EXPECT_EQ(bytes(), before);
    EXPECT_TRUE(list->dropMimeData(dragged.get(), Qt::CopyAction, 4, 0, {}));
    endOfEvent();
    EXPECT_EQ(namesOf(colors->colors()), QStringList({ "Skin", "Coat", "Shadow", "Highlight" }));
    EXPECT_EQ(namesOf(character.colors().mid(3)), namesOf(colors->colors()));
    EXPECT_UNDO_RESTORES("Rearrange Colors", before);
    EXPECT_EQ(namesOf(colors->colors()), shown);

    SCOPED_TRACE("edit through the popup: Cancel leaves nothing, OK one step");
    before = bytes();
    const QString undoBefore = undoTitle();
    const RgbColor skinBefore = character.colors().at(5)->color();
    RgbColor chosen;
    for (const bool commit : { false, true }) {
        clickCell(colors, 2, 0);
        ColorPopupController* popup = colors->colorEditButton()->popupController();
        ASSERT_TRUE(popup && popup->isShown());
        EXPECT_EQ(colors->selectedRow(), 2);
        // Two clicks in the popup's colour square, each shown at once on the character.
        QWidget* square = popup->editorController()->saturationBrightnessControl();
        QTest::mouseClick(square, Qt::LeftButton, {}, QPoint(square->width() / 4, square->height() / 4));
        QTest::mouseClick(square, Qt::LeftButton, {}, QPoint(square->width() / 5, square->height() / 2));
        chosen = colors->colorEditButton()->color();
        EXPECT_NE(chosen, skinBefore);
        EXPECT_EQ(character.colors().at(5)->color(), chosen);
        snapshot(popup->sheet(), QStringLiteral("edit-color-popup"));
        QTest::mouseClick(commit ? popup->okButton() : popup->cancelButton(), Qt::LeftButton);
        endOfEvent();
        if (!commit) {
            EXPECT_EQ(bytes(), before);
            EXPECT_EQ(undoTitle(), undoBefore);
        }
    }
    EXPECT_EQ(character.colors().at(5)->color(), chosen);
    EXPECT_UNDO_RESTORES("Edit Color", before);

    SCOPED_TRACE("an unused colour goes at once");
    before = bytes();
    clickCell(colors, 0, 1);
    QTest::mouseClick(colors->deleteButton(), Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(namesOf(colors->colors()), QStringList({ "Highlight", "Skin", "Coat" }));
    EXPECT_UNDO_RESTORES("Remove Color", before);

    SCOPED_TRACE("a used colour asks for its replacement");
    before = bytes();
    const ZDLColorPtr coat = character.colors().at(6);
    const ZDLColorPtr skin = character.colors().at(5);
    clickCell(colors, 3, 1);
    QTest::mouseClick(colors->deleteButton(), Qt::LeftButton);
    sheet = openSheet(colors, QStringLiteral("DeleteUsedColorDialog"));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->findChild<QLabel*>(QStringLiteral("deleteLabel"))->text(),
        QStringLiteral("Delete color \u201cCoat\u201d?"));
    auto* replacements = sheet->findChild<PopupButton*>(QStringLiteral("colorPopup"));
    QStringList offered;
    for (QAction* item : replacements->items())
        offered.append(item->text());
    EXPECT_EQ(offered.first(), character.blackColor()->name()) << "black first, and preselected";
    EXPECT_EQ(replacements->selectedItem(), replacements->items().first());
    EXPECT_TRUE(offered.contains(character.whiteColor()->name()));
    EXPECT_FALSE(offered.contains(QStringLiteral("Coat")));
    EXPECT_FALSE(offered.contains(character.noneColor()->name()));
    snapshot(sheet, QStringLiteral("delete-used-color"));
    chooseTitled(replacements, QStringLiteral("Skin"));
    clickButton(sheet, QDialogButtonBox::Ok);
    endOfEvent();
    EXPECT_FALSE(character.ownsColor(coat.get()));
    EXPECT_EQ(namesOf(colors->colors()), QStringList({ "Shadow", "Highlight", "Skin" }));
    EXPECT_FALSE(character.colorUsedIn(coat.get(), &character));
    EXPECT_TRUE(character.colorUsedIn(skin.get(), &character));
    EXPECT_UNDO_RESTORES("Delete Color", before);
    EXPECT_EQ(namesOf(colors->colors()), shown);
    freeClosedSheets();

    SCOPED_TRACE("a revert shows the file's palette, in the model read again");
    clickCell(colors, 0, 1);
    QTest::mouseClick(colors->deleteButton(), Qt::LeftButton);
    endOfEvent();
    DocumentError error;
    ASSERT_TRUE(document->revertToSaved(&error));
    endOfEvent();
    EXPECT_EQ(colors->character(), document->model());
    EXPECT_EQ(namesOf(colors->colors()), shown);

    SCOPED_TRACE("the window closes with its document");
    QPointer<ColorSetWindowController> alive(colors);
    documents().closeAllDocuments();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive && alive->isVisible());
}

using ComicColorsWindowTest = ComicWindowTest;

// The comic's window shows one character's colours at a time; an undo acts on the character it was
// made on, whichever is shown by then.
TEST_F(ComicColorsWindowTest, CharactersAndUndo)
{
    ComicModel& comic = model();
    choose(kEditCharacterColorsAction);
    auto* colors = dynamic_cast<ComicColorsWindowController*>(shownColors(window));
    ASSERT_TRUE(colors);
    EXPECT_EQ(colors->windowTitle(), QStringLiteral("Reference.comic color sets"));
    // Saved under another name, the window names the document as its own window does.
    ASSERT_TRUE(window->saveDocumentAs(dir.filePath(QStringLiteral("Story.comic"))));
    EXPECT_EQ(colors->windowTitle(), QStringLiteral("Story.comic color sets"));
    const std::shared_ptr<CharacterModel> first = comic.characters().front();
    EXPECT_EQ(colors->character(), first);
    EXPECT_EQ(colors->colors(), first->colors().mid(3));

    // A character joins the cast: the window shows it.
    auto second = std::make_shared<CharacterModel>();
    second->setCharacterName(QStringLiteral("Ann"));
    second->addColor(ZDLColor::colorFromHexNamed(QStringLiteral("#112233"), QStringLiteral("Ink")));
    CharacterList cast = comic.characters();
    cast.push_back(second);
    comic.setCharacters(cast);
    EXPECT_EQ(colors->character(), second);
    EXPECT_EQ(colors->characterPopup()->items().size(), qsizetype(cast.size()));
    EXPECT_EQ(colors->characterPopup()->selectedItem()->text(), QStringLiteral("Ann"));
    snapshot(colors, QStringLiteral("comic-colors"));

    // Add to the first character, chosen in the popup.
    chooseTitled(colors->characterPopup(), first->characterName());
    EXPECT_EQ(colors->character(), first);
    const QByteArray before = bytes();
    const qsizetype count = first->colors().size();
    QTest::mouseClick(colors->addButton(), Qt::LeftButton);
    QDialog* sheet = openSheet(colors, QStringLiteral("NewColorDialog"));
    ASSERT_TRUE(sheet);
    typeInSheet(sheet, "name", "Sea");
    clickButton(sheet, QDialogButtonBox::Ok);
    endOfEvent();
    ASSERT_EQ(first->colors().size(), count + 1);
    EXPECT_EQ(first->colors().last()->name(), QStringLiteral("Sea")) << "after the last row";
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Add Color"));
    freeClosedSheets();

    // Remove it again, then show the other character and undo: it comes back to the first.
    const int row = int(colors->colors().size()) - 1;
    clickCell(colors, row, 1);
    QTest::mouseClick(colors->deleteButton(), Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(first->colors().size(), count);
    chooseTitled(colors->characterPopup(), QStringLiteral("Ann"));
    EXPECT_EQ(colors->character(), second);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Remove Color"));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(first->colors().last()->name(), QStringLiteral("Sea"));
    EXPECT_EQ(namesOf(colors->colors()), QStringList({ "Shadow", "Highlight", "Ink" }))
        << "the shown character is untouched";
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(first->colors().size(), count);
    EXPECT_EQ(bytes(), before);

    // The cast loses its characters: an empty list, nothing to add or delete.
    comic.setCharacters({});
    EXPECT_TRUE(colors->colors().isEmpty());
    EXPECT_EQ(colors->characterPopup()->selectedItem()->text(), QStringLiteral("None Open"));
    EXPECT_FALSE(colors->addButton()->isEnabled());
    EXPECT_FALSE(colors->deleteButton()->isEnabled());
    comic.setCharacters(cast);
}

} // namespace zandrel::test

namespace zandrel::test {

// Edit Colors opens on the character of the comic view's selection; without one it keeps to what
// the window shows.
TEST_F(ComicColorsWindowTest, OpensOnTheSelectedCharacter)
{
    ComicModel& comic = model();
    const std::shared_ptr<CharacterModel> styled = comic.characters().at(1);
    comic.setCurrentPanel(panel(0));
    endOfEvent();
    choose(kEditCharacterColorsAction);
    auto* colors = dynamic_cast<ComicColorsWindowController*>(shownColors(window));
    ASSERT_TRUE(colors);
    EXPECT_EQ(colors->character(), comic.characters().front());

    activate(window);
    view->setSelection(panel(0)->frontLayer()->children());
    ASSERT_EQ(view->numSelected(), 1);
    choose(kEditCharacterColorsAction);
    EXPECT_EQ(colors->character(), styled);
    EXPECT_EQ(colors->characterPopup()->selectedItem()->text(), styled->characterName());

    activate(window);
    view->setSelection({});
    choose(kEditCharacterColorsAction);
    EXPECT_EQ(colors->character(), styled);
}

} // namespace zandrel::test
