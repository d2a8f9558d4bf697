#include "ComicSheetCase.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicRow.h"
#include "panels/PanelFrameControls.h"
#include "panels/PopupButton.h"

#include <QMenu>

namespace zandrel::test {

namespace {

void nothing(QDialog*)
{
}

ComicPage& page(ComicModel& comic)
{
    return *comic.currentPage();
}

} // namespace

TEST_F(ComicSheetTest, StructureSheets)
{
    // The reference comic: 240 × 160, rows of 3 and 2 panels, gutter 6; the first panel is current.
    ASSERT_EQ(model().size(), QSizeF(240, 160));
    ASSERT_EQ(page(model()).numContents(), 2u);
    ComicStructureList before;
    model().getPanelsInArray(before);
    const std::size_t panelCount = before.size();
    const auto countPanels = [this] {
        ComicStructureList panels;
        model().getPanelsInArray(panels);
        return panels.size();
    };
    const std::string rowHeightMessage = DialogController::lengthRangeMessage(1, 20000).toStdString();
    run({
        // The current panel is 80 x 80 and a panel at least 30 (the gutter 6 and 24): two parts
        // fit on each side, three do not.
        { "split into a grid", kSplitPanelAction, "SplitPanel",
            [](QDialog* sheet) {
                EXPECT_EQ(
                    sheet->findChild<QLineEdit*>(QStringLiteral("numRows"))->text(), QStringLiteral("2"));
                typeInSheet(sheet, "numRows", "2");
            },
            nullptr, "Split panel", [&] { EXPECT_EQ(countPanels(), panelCount + 2 * 2 - 1); } },
        { "an emptied split field", kSplitPanelAction, "SplitPanel",
            [](QDialog* sheet) {
                typeInSheet(sheet, "numRows", "");
                typeInSheet(sheet, "panelsPerRow", "2");
            },
            nullptr, "Split panel", [&] { EXPECT_EQ(countPanels(), panelCount + 1); } },
        { "more rows than fit", kSplitPanelAction, "SplitPanel",
            [](QDialog* sheet) { typeInSheet(sheet, "numRows", "3"); },
            "This \"Rows\" setting would make the split panels too small for the current panel." },
        { "more panels per row than fit", kSplitPanelAction, "SplitPanel",
            [](QDialog* sheet) {
                typeInSheet(sheet, "numRows", "1");
                typeInSheet(sheet, "panelsPerRow", "30");
            },
            "This \"Panels per row\" setting would make the split panels too small for the current "
            "panel." },
        { "an absurd split", kSplitPanelAction, "SplitPanel",
            [](QDialog* sheet) { typeInSheet(sheet, "panelsPerRow", "100000"); },
            "Please enter a whole number from 1 to 50." },
        { "the gutter unchanged", kGutterSizeAction, "GutterSizeDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(
                    sheet->findChild<QLineEdit*>(QStringLiteral("gutter"))->text(), QStringLiteral("6"));
            } },
        { "a wider gutter", kGutterSizeAction, "GutterSizeDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "gutter", "10"); }, nullptr, "Set Gutter Size",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.panelGutter(), 10.0f);
            } },
        { "a gutter the panels do not fit", kGutterSizeAction, "GutterSizeDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "gutter", "150"); },
            "This gutter setting would make existing panels too small for the existing page size and "
            "margins." },
        { "a negative gutter", kGutterSizeAction, "GutterSizeDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "gutter", "-3"); },
            "Please enter a number from 0 to 500." },
        { "margins unchanged", kSetPageMarginsAction, "PageMarginsDialog", nothing },
        { "margins", kSetPageMarginsAction, "PageMarginsDialog",
            [](QDialog* sheet) {
                typeInSheet(sheet, "topMargin", "10");
                typeInSheet(sheet, "leftMargin", "4");
            },
            nullptr, "Set Margins",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(page(comic).topMargin(), 10.0f);
                EXPECT_EQ(page(comic).leftMargin(), 4.0f);
                EXPECT_EQ(page(comic).contents().front()->topLeft(), QPointF(4, 10));
            } },
        { "margins the panels do not fit in", kSetPageMarginsAction, "PageMarginsDialog",
            [](QDialog* sheet) {
                typeInSheet(sheet, "leftMargin", "115");
                typeInSheet(sheet, "rightMargin", "115");
            },
            "These margin settings would make existing panels too small on this page size." },
        { "a new page after this one", kNewPageAction, "NewPageDialog",
            [](QDialog* sheet) {
                // 240 pixels wide proposes one panel a row; the page's two rows are proposed.
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("panelsPerRow"))->text(),
                    QStringLiteral("1"));
                EXPECT_EQ(
                    sheet->findChild<QLineEdit*>(QStringLiteral("numRows"))->text(), QStringLiteral("2"));
                typeInSheet(sheet, "panelsPerRow", "2");
                typeInSheet(sheet, "roundnessField", "FULL");
                chooseFromPopup(sheet, "shapePopup", PanelShapeSpikes);
            },
            nullptr, "Insert Page",
            [this] {
                ComicModel& comic = model();
                ASSERT_EQ(comic.numPages(), 2);
                EXPECT_EQ(comic.currentPageIndex(), 1);
                const auto panel = comic.currentPanel();
                EXPECT_EQ(panel->roundness(), -1.0f);
                EXPECT_EQ(panel->shape(), PanelShapeSpikes);
                EXPECT_EQ(panel->weight(), 1.0f);
                EXPECT_EQ(page(comic).numContents(), 2u);
                EXPECT_EQ(page(comic).contents().front()->numContents(), 2u);
            } },
        { "a new page before this one", kNewPageAction, "NewPageDialog",
            [](QDialog* sheet) { clickRadio(sheet, 0); }, nullptr, "Insert Page",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.numPages(), 2);
                EXPECT_EQ(comic.currentPageIndex(), 0);
            } },
        { "a row sharing the page", kInsertRowAction, "InsertRowDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(
                    sheet->findChild<QLineEdit*>(QStringLiteral("addPixels"))->text(), QStringLiteral("80"));
                EXPECT_FALSE(sheet->findChild<QLineEdit*>(QStringLiteral("addPixels"))->isEnabled());
                typeInSheet(sheet, "numPanels", "4");
            },
            nullptr, "Insert Row",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(page(comic).numContents(), 3u);
                EXPECT_EQ(page(comic).contents().at(1)->numContents(), 4u);
                EXPECT_EQ(comic.size(), QSizeF(240, 160));
            } },
        { "a row that makes the comic taller", kInsertRowAction, "InsertRowDialog",
            [](QDialog* sheet) {
                clickRadio(sheet, 0, 0);
                clickRadio(sheet, 1, 1);
                EXPECT_TRUE(sheet->findChild<QLineEdit*>(QStringLiteral("addPixels"))->isEnabled());
                typeInSheet(sheet, "addPixels", "50");
            },
            nullptr, "Insert Row",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.size(), QSizeF(240, 210));
                const auto row = page(comic).contents().front();
                EXPECT_NEAR(row->bottomLeft().y() - row->topLeft().y(), 50.0, 0.01);
            } },
        { "an absurd row height", kInsertRowAction, "InsertRowDialog",
            [](QDialog* sheet) {
                clickRadio(sheet, 1, 1);
                typeInSheet(sheet, "addPixels", "-inf");
            },
            rowHeightMessage.c_str() },
        { "delete a row keeping the size", kDeleteRowAction, "DeleteRowDialog", nothing, nullptr,
            "Remove Row",
            [this] {
                ComicModel& comic = model();
                EXPECT_FALSE(view->showCurrentRow());
                EXPECT_EQ(page(comic).numContents(), 1u);
                EXPECT_EQ(comic.size(), QSizeF(240, 160));
                EXPECT_EQ(
                    comic.currentPanel()->getTopLevelRowContainer(), page(comic).contents().front().get());
            } },
        { "delete a row and its height", kDeleteRowAction, "DeleteRowDialog",
            [this](QDialog* sheet) {
                EXPECT_TRUE(view->showCurrentRow());
                clickRadio(sheet, 1);
            },
            nullptr, "Remove Row",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(page(comic).numContents(), 1u);
                EXPECT_LT(comic.size().height(), 100.0);
            } },
    });
}

// A split too fine for the panel says how many parts fit and hands the field to mend back to the
// user; the sheet stays open and the comic as it was.
TEST_F(ComicSheetTest, ATooFineSplitSaysWhatFitsAndFocusesTheField)
{
    const QByteArray before = bytes();
    for (const auto& [rows, panels, field, room] :
        { std::tuple { "50", "50", "numRows", "The current panel has room for at most 2 rows." },
            std::tuple {
                "2", "3", "panelsPerRow", "The current panel has room for at most 2 panels per row." } }) {
        SCOPED_TRACE(field);
        alerts.clear();
        choose(kSplitPanelAction);
        QDialog* sheet = openSheet(window, QStringLiteral("SplitPanel"));
        ASSERT_TRUE(sheet);
        typeInSheet(sheet, "numRows", rows);
        typeInSheet(sheet, "panelsPerRow", panels);
        clickButton(sheet, QDialogButtonBox::Ok);
        endOfEvent();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first().informativeText, QString::fromUtf8(room));
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), sheet->findChild<QLineEdit*>(QString::fromUtf8(field)));
        clickButton(sheet, QDialogButtonBox::Cancel);
        endOfEvent();
        freeClosedSheets();
    }
    EXPECT_EQ(bytes(), before);
}

} // namespace zandrel::test
