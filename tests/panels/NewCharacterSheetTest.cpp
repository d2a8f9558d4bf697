#include "panels/NewCharacterSheet.h"

#include "SheetTestSupport.h"
#include "colorui/ColorPopups.h"
#include "colorui/ColorSwatchGrid.h"
#include "graphics/DefaultsExtensions.h"
#include "graphics/NamedShapeStyle.h"
#include "platform/UserDefaults.h"
#include "views/CharacterWindowFixture.h"

#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace zandrel::test {

namespace {

const QStringList kPaletteKeys { "hairColor", "skinColor", "topColor", "bottomColor", "shoesColor" };

QStringList namesOf(const QList<ZDLColorPtr>& colors)
{
    QStringList names;
    for (const ZDLColorPtr& color : colors)
        names.append(color->name());
    return names;
}

// Equal within what the defaults keep of a colour ("#RRGGBBAA" text: 8 bits a component).
::testing::AssertionResult sameColor(const RgbColor& a, const RgbColor& b)
{
    const double most = std::max({ std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
        std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha()) });
    if (most <= 0.5 / 255 + 1e-6)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << a.toQColor().name().toStdString() << " against " << b.toQColor().name().toStdString();
}

} // namespace

class NewCharacterSheetTest : public CharacterWindowTest {
protected:
    void SetUp() override
    {
        for (const QString& key : kPaletteKeys)
            UserDefaults::standard().remove(key);
        CharacterWindowTest::SetUp();
    }
    void TearDown() override
    {
        for (const QString& key : kPaletteKeys)
            UserDefaults::standard().remove(key);
        CharacterWindowTest::TearDown();
    }

    // File > New Character, and its window with the sheet over it.
    CharacterDocument* newCharacter(QDialog** sheet)
    {
        const QList<ZDLDocument*> before = documents().documents();
        choose(kNewCharacterAction);
        endOfEvent();
        for (ZDLDocument* candidate : documents().documents()) {
            if (before.contains(candidate))
                continue;
            DocumentWindow* shown = documents().windowFor(candidate);
            if (!shown || !QTest::qWaitForWindowExposed(shown))
                return nullptr;
            *sheet = openSheet(shown, QStringLiteral("NewCharacterSheet"));
            return dynamic_cast<CharacterDocument*>(candidate);
        }
        return nullptr;
    }
};

// A new character takes its name and five palette colours from the sheet: the registered colours,
// or a suggestion clicked in a grid; the colours chosen are the next new character's. Scenery gets
// no palette and leaves the colours as they were. Nothing of the setup is left to undo.
TEST_F(NewCharacterSheetTest, PaletteFromTheSheet)
{
    QDialog* sheet = nullptr;
    CharacterDocument* made = newCharacter(&sheet);
    ASSERT_TRUE(made && sheet);
    EXPECT_TRUE(made->displaysNewCharacterSheet());
    EXPECT_FALSE(document->displaysNewCharacterSheet()) << "a file read never shows it";
    // The colours and properties the sheet is setting up are not offered beside it, nor anything that
    // would edit the character before it has them, from the menus or from the toolbar.
    DocumentWindow* madeWindow = documents().windowFor(made);
    const QString waiting[] = { kEditCharacterColorsAction, kPropertiesDialogAction, kCreateNewPartAction,
        kOpenTracingImageAction, kPasteAction, kImportImageAction };
    for (const QString& action : waiting)
        EXPECT_FALSE(showMenuItem(madeWindow, action)->isEnabled()) << action.toStdString();
    const auto toolbarEnabled = [madeWindow](const QString& action) {
        QAction* found = toolbarItem(madeWindow, action);
        return found && MenuActions::validate(found, MenuActions::responderChain(madeWindow))
            && found->isEnabled();
    };
    EXPECT_FALSE(toolbarEnabled(kCreateNewPartAction));
    EXPECT_FALSE(toolbarEnabled(kOpenTracingImageAction));
    // A shortcut runs nothing either.
    EXPECT_FALSE(MenuActions::send(menuItem(madeWindow, kCreateNewPartAction), madeWindow));
    EXPECT_EQ(made->currentEditor(), nullptr);
    auto* hairGrid = sheet->findChild<ColorSwatchGrid*>(QStringLiteral("hairColorGrid"));
    auto* hairWell = sheet->findChild<ColorPopupButton*>(QStringLiteral("hairColorWell"));
    auto* skinWell = sheet->findChild<ColorPopupButton*>(QStringLiteral("skinColorWell"));
    ASSERT_TRUE(hairGrid && hairWell && skinWell);
    EXPECT_EQ(hairGrid->colors().size(), 11);
    EXPECT_EQ(sheet->findChild<ColorSwatchGrid*>(QStringLiteral("skinColorGrid"))->colors().size(), 13);
    EXPECT_TRUE(sameColor(hairWell->color(), RgbColor(0.58, 0.37, 0.15)));
    EXPECT_TRUE(sheet->findChild<QWidget*>(QStringLiteral("colorSetView"))->isVisible());

    // A window made smaller than the sheet scrolls it rather than squeezing or cutting it; a larger
    // one shows it whole in its middle.
    const QSize whole = sheet->size();
    EXPECT_EQ(whole, sheet->sizeHint());
    auto* scroll = madeWindow->findChild<QScrollArea*>(QStringLiteral("controlsScrollArea"));
    ASSERT_TRUE(scroll);
    madeWindow->resize(380, 300);
    QApplication::processEvents();
    EXPECT_GE(sheet->height(), sheet->minimumSizeHint().height());
    EXPECT_GE(sheet->width(), sheet->minimumSizeHint().width());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    madeWindow->resize(1000, 720);
    QApplication::processEvents();
    EXPECT_EQ(sheet->size(), whole);
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_LE((sheet->geometry().center() - scroll->viewport()->rect().center()).manhattanLength(), 2);

    typeInSheet(sheet, "nameField", "Zed");
    typeInSheet(sheet, "creatorField", "Ida");
    // The third hair suggestion, "#f9a227".
    QTest::mouseClick(hairGrid, Qt::LeftButton, {}, hairGrid->swatchRect(2, 0).center().toPoint());
    const RgbColor orange = ZDLColor::colorFromHexNamed(QStringLiteral("#f9a227"), {})->color();
    EXPECT_TRUE(sameColor(hairWell->color(), orange));
    snapshot(sheet, QStringLiteral("new-character"));
    clickButton(sheet, QDialogButtonBox::Ok);
    endOfEvent();
    EXPECT_FALSE(openSheet(documents().windowFor(made), QStringLiteral("NewCharacterSheet"), false));
    EXPECT_FALSE(made->displaysNewCharacterSheet());
    EXPECT_FALSE(made->undoManager()->canUndo());
    for (const QString& action : waiting)
        EXPECT_TRUE(showMenuItem(madeWindow, action)->isEnabled()) << action.toStdString();
    EXPECT_TRUE(toolbarEnabled(kCreateNewPartAction));
    EXPECT_TRUE(toolbarEnabled(kOpenTracingImageAction));
    // Saving proposes the character's name; cancelling writes nothing.
    QString proposed;
    DocumentWindow::setSavePathChooser([&proposed](DocumentWindow&, const QString& suggested) {
        proposed = suggested;
        return QString();
    });
    choose(kSaveDocumentAction, madeWindow);
    EXPECT_EQ(proposed, QStringLiteral("Zed.parts"));
    EXPECT_TRUE(made->filePath().isEmpty());

    // The document as its file would hold it.
    const CharacterModelPtr saved = readPartsFile(archivedPartsFile(*made->model()));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->characterName(), QStringLiteral("Zed"));
    EXPECT_EQ(saved->creator(), QStringLiteral("Ida"));
    EXPECT_EQ(saved->partsKind(), 0);
    EXPECT_EQ(namesOf(saved->colors().mid(5)), QStringList({ "Hair", "Skin", "Top", "Bottom", "Shoes" }));
    EXPECT_TRUE(sameColor(saved->getColorNamed(QStringLiteral("Hair"))->color(), orange));
    EXPECT_TRUE(sameColor(saved->getColorNamed(QStringLiteral("Skin"))->color(), RgbColor(0.98, 0.78, 0.63)));
    QStringList styles;
    for (const auto& style : saved->styles())
        styles.append(style->name());
    EXPECT_EQ(styles, QStringList({ "Skin", "Shadow", "Highlight" }));
    EXPECT_EQ(zdlColorForKey(UserDefaults::standard(), QStringLiteral("hairColor")), orange.toQColor());

    // The next new character proposes the orange; as scenery it takes no palette colours.
    CharacterDocument* scenery = newCharacter(&sheet);
    ASSERT_TRUE(scenery && sheet);
    EXPECT_TRUE(
        sameColor(sheet->findChild<ColorPopupButton*>(QStringLiteral("hairColorWell"))->color(), orange));
    clickRadio(sheet, 1);
    EXPECT_FALSE(sheet->findChild<QWidget*>(QStringLiteral("colorSetView"))->isVisible());
    // The first sheet's grid went with it: click the new sheet's own.
    ColorSwatchGrid* nextHairGrid = sheet->findChild<ColorSwatchGrid*>(QStringLiteral("hairColorGrid"));
    ASSERT_TRUE(nextHairGrid);
    QTest::mouseClick(nextHairGrid, Qt::LeftButton, {}, nextHairGrid->swatchRect(0, 0).center().toPoint());
    clickButton(sheet, QDialogButtonBox::Ok);
    endOfEvent();
    EXPECT_NE(scenery->model()->partsKind(), 0);
    EXPECT_EQ(namesOf(scenery->model()->colors().mid(3)), QStringList({ "Shadow", "Highlight" }));
    EXPECT_EQ(zdlColorForKey(UserDefaults::standard(), QStringLiteral("hairColor")), orange.toQColor());
}

} // namespace zandrel::test
