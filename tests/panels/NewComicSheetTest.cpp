#include "panels/NewComicSheet.h"

#include "SheetTestSupport.h"
#include "panels/DialogController.h"
#include "panels/MeasurementFormatter.h"
#include "platform/UserDefaults.h"
#include "views/ComicView.h"
#include "views/ComicWindowFixture.h"
#include "views/SavePanel.h"

#include <poppler-qt6.h>

namespace zandrel::test {

namespace {

struct NewComicCase {
    const char* name;
    std::function<void(QDialog*)> act;
    // What the next new comic proposes after OK, and the comic made.
    double width;
    double height;
    int rows;
    int panelsPerRow;
    double gutter;
    double roundness;
    const char* alert = nullptr;
};

} // namespace

// Each case opens a new comic from the File menu, works its sheet with keys and the mouse, and
// presses OK: the comic is what the sheet showed, the choices are the next comic's proposals, and
// nothing of the setup is left to undo.
TEST_F(ComicWindowTest, NewComicSheet)
{
    const std::string sizeMessage = DialogController::lengthRangeMessage(50, 20000).toStdString();
    const std::vector<NewComicCase> cases = {
        { "the first proposals", [](QDialog*) {}, 900, 300, 1, 4, 12, 0 },
        { "rows, panels and a fractional roundness",
            [](QDialog* sheet) {
                typeInSheet(sheet, "numRows", "2");
                typeInSheet(sheet, "panelsPerRow", "3");
                typeInSheet(sheet, "roundnessField", "7.5");
            },
            900, 300, 2, 3, 12, 7.5 },
        { "the roundness comes back; an emptied panels field gives 3",
            [](QDialog* sheet) {
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("roundnessField"))->text(),
                    QStringLiteral("7.5"));
                typeInSheet(sheet, "panelsPerRow", "");
                typeInSheet(sheet, "gutter", "");
            },
            900, 300, 2, 3, 10, 7.5 },
        { "full roundness from the presets, the width in inches",
            [this](QDialog* sheet) {
                chooseFromPopup(sheet, "roundnessPopup", 2);
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("roundnessField"))->text(),
                    QStringLiteral("full"));
                auto* units = sheet->findChild<MeasurementPopup*>();
                units->setFocus();
                QTest::keyClick(units, Qt::Key_Down);
                typeInSheet(sheet, "widthPixels", "10");
                QTest::keyClick(sheet->findChild<QLineEdit*>(QStringLiteral("widthPixels")), Qt::Key_Tab);
                typeInSheet(sheet, "name", "Monday");
                controller->setMeasurementUnits(ZDLAppController::Pixels);
            },
            720, 300, 2, 3, 10, -1 },
        { "an absurd height is refused",
            [](QDialog* sheet) { typeInSheet(sheet, "heightPixels", "99999999"); }, 720, 300, 2, 3, 10, -1,
            sizeMessage.c_str() },
        { "absurd rows are refused", [](QDialog* sheet) { typeInSheet(sheet, "numRows", "5000"); }, 720, 300,
            2, 3, 10, -1, "Please enter a whole number from 1 to 20." },
    };
    for (const NewComicCase& trial : cases) {
        SCOPED_TRACE(trial.name);
        alerts.clear();
        choose(kNewComicAction);
        auto* opened = qobject_cast<DocumentWindow*>(QApplication::activeWindow());
        ASSERT_TRUE(opened && opened != window);
        auto* comic = dynamic_cast<ComicDocument*>(opened->document());
        QDialog* sheet = opened->findChild<QDialog*>(QStringLiteral("NewComicSheet"));
        ASSERT_TRUE(comic && sheet && sheet->isVisible());
        EXPECT_EQ(comic->model()->currentPanel(), nullptr) << "the preview shows no current panel";
        trial.act(sheet);
        clickButton(sheet, QDialogButtonBox::Ok);
        endOfEvent();
        if (trial.alert) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first().message, QString::fromUtf8(trial.alert));
            EXPECT_TRUE(sheet->isVisible());
            opened->close();
            freeClosedSheets();
            continue;
        }
        EXPECT_TRUE(alerts.isEmpty());
        EXPECT_FALSE(opened->findChild<NewComicOverlay*>());
        const ComicModel& made = *comic->model();
        EXPECT_EQ(made.size(), QSizeF(trial.width, trial.height));
        EXPECT_EQ(made.currentPage()->numContents(), std::size_t(trial.rows));
        EXPECT_EQ(made.currentPage()->contents().front()->numContents(), std::size_t(trial.panelsPerRow));
        EXPECT_EQ(made.panelGutter(), float(trial.gutter));
        EXPECT_EQ(made.currentPanel(), made.firstPanel());
        EXPECT_EQ(made.currentPanel()->roundness(), float(trial.roundness));
        EXPECT_FALSE(comic->undoManager()->canUndo());
        const UserDefaults& defaults = UserDefaults::standard();
        EXPECT_EQ(defaults.doubleValue(QStringLiteral("comicWidth")), trial.width);
        EXPECT_EQ(defaults.integer(QStringLiteral("panelsPerRow")), trial.panelsPerRow);
        EXPECT_EQ(defaults.doubleValue(QStringLiteral("cornerRoundness")), trial.roundness);
        opened->close();
        freeClosedSheets();
    }
    for (const char* key : { "comicWidth", "comicHeight", "gutter", "numRows", "panelsPerRow", "panelShape",
             "panelWeight", "panelLineStyle", "cornerRoundness" })
        UserDefaults::standard().remove(QString::fromLatin1(key));
}

// The name given in the sheet is what saving proposes ("/" made "-") and the title an exported PDF
// carries; a comic left unnamed proposes its untitled name.
TEST_F(ComicWindowTest, TheComicsNameNamesItsFileAndItsPdf)
{
    for (const char* name : { "Weekend/Story", "" }) {
        SCOPED_TRACE(name);
        choose(kNewComicAction);
        auto* opened = qobject_cast<DocumentWindow*>(QApplication::activeWindow());
        ASSERT_TRUE(opened && opened != window);
        QDialog* sheet = opened->findChild<QDialog*>(QStringLiteral("NewComicSheet"));
        ASSERT_TRUE(sheet);
        typeInSheet(sheet, "name", name);
        clickButton(sheet, QDialogButtonBox::Ok);
        endOfEvent();

        QString proposed;
        DocumentWindow::setSavePathChooser([&proposed](DocumentWindow&, const QString& suggested) {
            proposed = suggested;
            return QString();
        });
        QAction* save = showMenuItem(opened, kSaveDocumentAction);
        ASSERT_TRUE(save && save->isEnabled());
        save->trigger();
        EXPECT_EQ(proposed,
            *name ? QStringLiteral("Weekend-Story.comic")
                  : opened->document()->displayName() + QStringLiteral(".comic"));

        const QString pdf = dir.filePath(QStringLiteral("named.pdf"));
        SavePanel::setChooser([&pdf](QWidget*, const QString&, const QString&) { return pdf; });
        opened->findChild<ComicView*>()->exportPDFOf(0, false);
        SavePanel::setChooser({});
        const auto written = Poppler::Document::load(pdf);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->info(QStringLiteral("Title")),
            *name ? QString::fromUtf8(name) : QStringLiteral("Untitled"));
        opened->close();
        freeClosedSheets();
    }
}

} // namespace zandrel::test
