// The export sheet in a real comic window: opened from the menu, driven with clicks and typing, and
// the file it makes read back; what it offers for one page, several pages and a character; the
// units switch; refusals that keep the sheet open; the defaults it remembers.
#include "app/core/CharacterDocument.h"
#include "app/core/DocumentExport.h"
#include "panels/ExportDialogController.h"
#include "panels/PopupButton.h"
#include "platform/UserDefaults.h"
#include "views/ComicWindowFixture.h"
#include "views/SavePanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <poppler-qt6.h>

namespace zandrel::test {

namespace {

class ExportDialogTest : public ComicWindowTest {
protected:
    void SetUp() override
    {
        for (const QString& key :
            { ExportDialogController::kExportFileTypeKey, ExportDialogController::kExportWhatKey,
                ExportDialogController::kExportResolutionKey, ExportDialogController::kResUnitsKey,
                ExportDialogController::kExportQualityKey, ExportDialogController::kIncludeFloatersKey })
            UserDefaults::standard().remove(key);
        ComicWindowTest::SetUp();
        SavePanel::setChooser([this](QWidget*, const QString& extension, const QString& proposed) {
            proposedNames.append(proposed);
            return chosenPath.isEmpty() ? QString() : chosenPath + QLatin1Char('.') + extension;
        });
    }
    void TearDown() override
    {
        SavePanel::setChooser({});
        ComicWindowTest::TearDown();
    }

    ExportDialogController* openSheet()
    {
        choose(kExportDialogAction);
        QDialog* sheet = window->findChild<QDialog*>(QStringLiteral("ExportDialog"));
        if (!sheet || !sheet->isVisible())
            return nullptr;
        QTest::qWaitForWindowExposed(sheet);
        return ExportDialogController::ofSheet(sheet);
    }
    void clickSegment(ExportDialogController& dialog, int tag)
    {
        QTest::mouseClick(dialog.fileTypeSelector()->button(tag), Qt::LeftButton);
    }
    static void choosePopupItem(PopupButton* popup, int tag) { popup->itemWithTag(tag)->trigger(); }
    static void typeInto(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    static void clickOK(ExportDialogController& dialog)
    {
        QTest::mouseClick(
            dialog.sheet()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    QStringList proposedNames;
    QString chosenPath;
};

TEST_F(ExportDialogTest, OnePageComicOffersTheWholeComicAndRowsFollowTheFileType)
{
    ExportDialogController* dialog = openSheet();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->exportPopup()->itemWithTag(ExportDialogController::CurrentPage))
        << "one page: the page is the whole comic";
    EXPECT_FALSE(dialog->exportPopup()->itemWithTag(ExportDialogController::Selection)) << "nothing selected";
    EXPECT_TRUE(dialog->exportPopup()->itemWithTag(ExportDialogController::WholeDocument)->isEnabled());
    EXPECT_EQ(dialog->fileType(), ExportDialogController::Jpeg);
    EXPECT_TRUE(dialog->rowShown(dialog->qualitySlider()));
    EXPECT_EQ(dialog->resolutionField()->text(), QStringLiteral("72"));

    clickSegment(*dialog, ExportDialogController::Png);
    EXPECT_EQ(dialog->fileType(), ExportDialogController::Png);
    EXPECT_FALSE(dialog->rowShown(dialog->qualitySlider()));
    EXPECT_TRUE(dialog->resolutionField()->isEnabled());
    clickSegment(*dialog, ExportDialogController::Pdf);
    EXPECT_FALSE(dialog->resolutionField()->isEnabled());
    EXPECT_FALSE(dialog->rowShown(dialog->qualitySlider()));
    clickSegment(*dialog, ExportDialogController::Jpeg);
    EXPECT_TRUE(dialog->rowShown(dialog->qualitySlider()));
    dialog->cancelDialog();
}

// 72 per inch shows 28.346457 per centimetre and 72 again; 100 per centimetre exports at 254 per
// inch and is remembered as 100 in centimetres.
TEST_F(ExportDialogTest, UnitsSwitchAndExportAtTheResolutionInInches)
{
    ExportDialogController* dialog = openSheet();
    ASSERT_TRUE(dialog);
    choosePopupItem(dialog->unitsPopup(), ExportDialogController::PixelsPerCentimetre);
    EXPECT_EQ(dialog->resolutionField()->text(), QStringLiteral("28.346457"));
    choosePopupItem(dialog->unitsPopup(), ExportDialogController::PixelsPerInch);
    EXPECT_NEAR(dialog->resolution(), 72.0f, 1e-4f);
    choosePopupItem(dialog->unitsPopup(), ExportDialogController::PixelsPerCentimetre);

    clickSegment(*dialog, ExportDialogController::Png);
    typeInto(dialog->resolutionField(), QStringLiteral("100"));
    chosenPath = dir.filePath(QStringLiteral("exported"));
    clickOK(*dialog);
    EXPECT_FALSE(dialog->isShown());
    ASSERT_EQ(proposedNames, QStringList { QStringLiteral("Reference.png") });
    QImageReader reader(chosenPath + QStringLiteral(".png"));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.dotsPerMeterX(), 10000) << "254 pixels per inch";
    EXPECT_EQ(image.width(), int(std::ceil(model().bounds().width() * 254.0f / 72.0f)));
    const UserDefaults& defaults = UserDefaults::standard();
    EXPECT_FLOAT_EQ(defaults.floating(ExportDialogController::kExportResolutionKey), 100.0f);
    EXPECT_EQ(defaults.integer(ExportDialogController::kResUnitsKey), 2);
    EXPECT_EQ(defaults.integer(ExportDialogController::kExportFileTypeKey), 1);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(ExportDialogTest, ResolutionOutOfRangeKeepsTheSheetAndAnEmptyFieldMeans72)
{
    ExportDialogController* dialog = openSheet();
    ASSERT_TRUE(dialog);
    typeInto(dialog->resolutionField(), QStringLiteral("5000"));
    chosenPath = dir.filePath(QStringLiteral("refused"));
    clickOK(*dialog);
    EXPECT_TRUE(dialog->isShown());
    EXPECT_TRUE(proposedNames.isEmpty());
    ASSERT_FALSE(alerts.isEmpty());
    typeInto(dialog->resolutionField(), QString());
    QTest::keyClick(dialog->resolutionField(), Qt::Key_Backspace);
    clickOK(*dialog);
    EXPECT_FALSE(dialog->isShown());
    // JPEG keeps whole dots per inch.
    EXPECT_EQ(qRound(QImage(chosenPath + QStringLiteral(".jpg")).dotsPerMeterX() * 0.0254), 72);
}

// A comic of several pages exports them all only as PDF; the floaters row shows for a panel under
// a floating panel; the PDF has every page.
TEST_F(ExportDialogTest, SeveralPagesAndTheFloatersRow)
{
    window = openComic(QStringLiteral("Rich"), richComic());
    ASSERT_TRUE(window);
    document = dynamic_cast<ComicDocument*>(window->document());
    view = window->findChild<ComicView*>();
    model().setCurrentPageIndex(0);
    ComicStructureList panels;
    model().currentPage()->ComicStack::getPanelsInArray(panels);
    for (const auto& element : panels) {
        auto candidate = std::dynamic_pointer_cast<ComicPanel>(element);
        if (candidate && !candidate->overlappingFloatingElements().isEmpty())
            model().setCurrentPanel(candidate);
    }
    ExportDialogController* dialog = openSheet();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->panelHasOverlappingFloaters());
    EXPECT_FALSE(dialog->exportPopup()->itemWithTag(ExportDialogController::WholeDocument)->isEnabled());
    EXPECT_EQ(dialog->whatToExport(), ExportDialogController::CurrentPage);
    EXPECT_FALSE(dialog->rowShown(dialog->floatersCheckbox()));
    choosePopupItem(dialog->exportPopup(), ExportDialogController::CurrentPanel);
    EXPECT_TRUE(dialog->rowShown(dialog->floatersCheckbox()));
    clickSegment(*dialog, ExportDialogController::Pdf);
    EXPECT_TRUE(dialog->exportPopup()->itemWithTag(ExportDialogController::WholeDocument)->isEnabled());
    choosePopupItem(dialog->exportPopup(), ExportDialogController::WholeDocument);
    EXPECT_FALSE(dialog->rowShown(dialog->floatersCheckbox()));
    chosenPath = dir.filePath(QStringLiteral("all pages"));
    clickOK(*dialog);
    const auto pdf = Poppler::Document::load(chosenPath + QStringLiteral(".pdf"));
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->numPages(), 2);
    EXPECT_EQ(proposedNames, QStringList { QStringLiteral("Rich.pdf") });
}

// An export into a place that cannot be written tells the user, and leaves no file.
TEST_F(ExportDialogTest, AFailedWriteIsToldInAnAlert)
{
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ExportDialogController* dialog = openSheet();
    ASSERT_TRUE(dialog);
    chosenPath = dir.filePath(QStringLiteral("blocker/out"));
    clickOK(*dialog);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().message.startsWith(QStringLiteral("The file")));
    EXPECT_FALSE(QFile::exists(chosenPath + QStringLiteral(".jpg")));
}

} // namespace

} // namespace zandrel::test
