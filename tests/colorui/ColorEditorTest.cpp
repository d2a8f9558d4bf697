#include "colorui/ColorEditorController.h"
#include "colorui/ColorSwatchGrid.h"
#include "colorui/ColorUiTestSupport.h"
#include "colorui/HsbControls.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

// The centre of the swatch of a grid cell.
QPointF swatchCell(int column, int row)
{
    return QPointF(column * ColorSwatchGrid::kPitch + 8, row * ColorSwatchGrid::kPitch + 8);
}

} // namespace

TEST(ColorSwatchGridTest, SavesOnceNewestFirstAndSelectsWhatIsClicked)
{
    ColorSwatchGrid grid(4, 2);
    grid.setShowSelection(true);
    EXPECT_EQ(grid.numColumns(), 4);
    EXPECT_EQ(grid.numRows(), 2);
    grid.addColor(kRed);
    grid.addColor(kGreen);
    EXPECT_EQ(grid.colors(), (QList<RgbColor> { kGreen, kRed }));
    EXPECT_EQ(grid.selectedSwatch(), 0);
    grid.addColor(kRed);
    EXPECT_EQ(grid.colors().size(), 2);
    EXPECT_EQ(grid.selectedSwatch(), 1);

    QSignalSpy actions(&grid, &ColorSwatchGrid::action);
    click(&grid, swatchCell(3, 1));
    EXPECT_EQ(actions.count(), 0);
    click(&grid, swatchCell(1, 0));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(grid.color(), kRed);
    grid.deleteSelectedColor();
    EXPECT_EQ(grid.colors(), QList<RgbColor> { kGreen });
    EXPECT_EQ(grid.selectedSwatch(), -1);
    grid.deleteSelectedColor();
    EXPECT_EQ(grid.colors().size(), 1);

    grid.setColorsFromHexInArray({ QStringLiteral("#FF0000"), QStringLiteral("red"), QStringLiteral("#00ff0"),
        QStringLiteral("#0000ff") });
    EXPECT_EQ(grid.colors(), (QList<RgbColor> { kRed, kBlue }));
    grid.addHexColor(QStringLiteral("#zz0000"));
    EXPECT_EQ(grid.colors().size(), 2);
}

TEST(ColorEditorTest, SwatchesPersistInTheDefaultsUpToFifty)
{
    UserDefaults& defaults = UserDefaults::standard();
    QStringList saved;
    for (int i = 0; i < 60; ++i)
        saved.append(UserDefaults::colorToText(QColor(i, 0, 0)));
    saved.insert(3, QStringLiteral("not a colour"));
    defaults.set(ColorEditorController::kGridColorsKey, saved);

    ColorEditorController editor;
    editor.beginEditingColor(kBlue);
    EXPECT_EQ(editor.swatchGrid()->colors().size(), 50);
    EXPECT_EQ(editor.swatchGrid()->colors()[3], RgbColor::fromQColor(QColor(3, 0, 0)));
    EXPECT_FALSE(editor.deleteColorButton()->isEnabled());
    editor.saveColorButton()->click();
    EXPECT_EQ(editor.swatchGrid()->colors().first(), kBlue);
    EXPECT_TRUE(editor.deleteColorButton()->isEnabled());
    editor.doneEditing();
    const QStringList written = defaults.stringArray(ColorEditorController::kGridColorsKey);
    ASSERT_EQ(written.size(), 50);
    EXPECT_EQ(UserDefaults::colorFromText(written.first()), QColor(0, 0, 255));

    // A second editor starts from what the first saved; choosing a swatch reports it once.
    ColorEditorController other;
    other.beginEditingColor(kRed);
    QSignalSpy actions(&other, &ColorEditorController::action);
    click(other.swatchGrid(), swatchCell(0, 0));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(other.color(), kBlue);
    EXPECT_NEAR(other.saturationBrightnessControl()->hueValue(), 2.0 / 3.0, 1e-12);
    EXPECT_TRUE(other.deleteColorButton()->isEnabled());
    other.deleteColorButton()->click();
    EXPECT_EQ(other.swatchGrid()->colors().size(), 49);
    defaults.remove(ColorEditorController::kGridColorsKey);
}

} // namespace zandrel::test
