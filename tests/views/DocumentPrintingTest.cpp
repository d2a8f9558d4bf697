// Printing a comic or a character from its window's menu, into a PDF file instead of a printer:
// the print panel offers the pages at the scale of its page setup, prints the range chosen, and a
// printed page shows what the model draws.
#include "app/DocumentPrinting.h"

#include "ComicWindowFixture.h"
#include "app/FileDialogFolder.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/ComicPage.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <cmath>
#include <poppler-qt6.h>

namespace zandrel {
namespace {

using namespace test;

class DocumentPrintingTest : public test::ComicWindowTest {
protected:
    void TearDown() override
    {
        DocumentPrinting::setPrintPanelRunner(nullptr);
        ComicWindowTest::TearDown();
    }
    // Chooses Print… with a panel answered by printing the range (0, 0 for all) into the file.
    void printFromMenu(const QString& path, int from = 0, int to = 0)
    {
        DocumentPrinting::setPrintPanelRunner([&, path, from, to](QPrintDialog& panel) {
            offeredMin = panel.minPage();
            offeredMax = panel.maxPage();
            QPrinter* printer = panel.printer();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(path);
            printer->setPageSize(QPageSize(QPageSize::A4));
            if (from != 0) {
                printer->setPrintRange(QPrinter::PageRange);
                printer->setFromTo(from, to);
            }
            paintRect = printer->pageLayout().paintRect(QPageLayout::Point);
            // Confirmed as it stands: the panel's own accept would take its fields' settings, and
            // the machine running the tests has no printer to show there.
            panel.QDialog::accept();
        });
        choose(kPrintDocumentAction);
    }
    static std::unique_ptr<Poppler::Document> pdfAt(const QString& path)
    {
        auto pdf = Poppler::Document::load(path);
        if (pdf) {
            pdf->setRenderHint(Poppler::Document::Antialiasing);
            pdf->setRenderHint(Poppler::Document::TextAntialiasing);
        }
        return pdf;
    }

    // What the panel showed when it was confirmed.
    struct PanelRun {
        int offeredMax = 0;
        QString scaleShown;
        bool fits = false;
    };
    // Chooses Print… in the window and, in the panel on show, opens the page setup among its
    // options, types the scale (when given) and clicks the fitting choice (when asked); then prints
    // on paper whose imageable area is 540 × 720 points (US Letter less half an inch all round).
    PanelRun printScaled(DocumentWindow* in, const QString& path, const QString& percent, bool clickFit)
    {
        PanelRun run;
        DocumentPrinting::setPrintPanelRunner([&](QPrintDialog& panel) {
            QPrinter* printer = panel.printer();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(path);
            printer->setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                QMarginsF(36, 36, 36, 36), QPageLayout::Point));
            panel.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
            auto* accessory = panel.findChild<PageSetupAccessory*>();
            ASSERT_TRUE(accessory);
            for (auto* button : panel.findChildren<QPushButton*>()) {
                if (button->isVisible() && button->text().contains(QStringLiteral("Options")))
                    QTest::mouseClick(button, Qt::LeftButton);
            }
            for (QWidget* above = accessory; above; above = above->parentWidget()) {
                if (auto* tabs = qobject_cast<QTabWidget*>(above)) {
                    const QRect tab = tabs->tabBar()->tabRect(tabs->indexOf(accessory));
                    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tab.center());
                }
            }
            auto* scale = accessory->findChild<QSpinBox*>(QStringLiteral("scale"));
            auto* fit = accessory->findChild<QCheckBox*>(QStringLiteral("fitsPaper"));
            ASSERT_TRUE(scale && fit);
            ASSERT_TRUE(fit->isVisible()) << "the page setup is on show";
            if (!percent.isEmpty()) {
                QTest::keyClick(scale, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(scale, percent);
            }
            if (clickFit)
                QTest::mouseClick(fit, Qt::LeftButton, {}, QPoint(8, fit->height() / 2));
            run.offeredMax = panel.maxPage();
            run.scaleShown = scale->text();
            run.fits = fit->isChecked();
            panel.QDialog::accept();
        });
        QAction* item = showMenuItem(in, kPrintDocumentAction);
        EXPECT_TRUE(item && item->isEnabled());
        if (item && item->isEnabled())
            item->trigger();
        endOfEvent();
        return run;
    }
    // Where a rendered sheet or image is inked (darker than light grey).
    static QRect inkBounds(const QImage& image)
    {
        QRect inked;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) > 128 && qGray(image.pixel(x, y)) < 200)
                    inked |= QRect(x, y, 1, 1);
            }
        }
        return inked;
    }
    static QRect firstSheetInk(const QString& path, double scale)
    {
        const auto pdf = pdfAt(path);
        return pdf && pdf->numPages() > 0 ? inkBounds(
                   pdf->page(0)->renderToImage(72 * scale, 72 * scale).convertToFormat(QImage::Format_RGB32))
                                          : QRect();
    }
    static int pagesIn(const QString& path)
    {
        const auto pdf = pdfAt(path);
        return pdf ? pdf->numPages() : -1;
    }

    int offeredMin = 0;
    int offeredMax = 0;
    QRectF paintRect;
};

// Comic pages of 900 × 300 on paper of 540 × 720: at 100 % each takes two sheets across, at 50 %
// one; fitting gives 60 %, and the sheet shows the whole page scaled so. The page setup stays with
// the document for the next print.
TEST_F(DocumentPrintingTest, ComicPagesPrintAtTheScaleOrFittedToThePaper)
{
    auto comic = referenceComic();
    comic->setupWithSize(QSizeF(900, 300), 1, 1);
    ComicStructureList contents;
    for (int i = 0; i < 3; ++i) {
        auto page = std::make_shared<ComicPage>();
        page->initWithRect(QRectF(0, 0, 900, 300), comic.get(), 2, 2);
        contents.push_back(page);
    }
    comic->setContents(contents);
    comic->setCurrentPage(std::dynamic_pointer_cast<ComicPage>(contents.front()));
    DocumentWindow* wide = openComic(QStringLiteral("Wide"), comic);
    ASSERT_TRUE(wide);
    ZDLDocument* printed = wide->document();
    const QByteArray before = archivedComicFile(*dynamic_cast<ComicDocument*>(printed)->model());

    const QString full = dir.filePath(QStringLiteral("full.pdf"));
    PanelRun run = printScaled(wide, full, QStringLiteral("100"), false);
    EXPECT_EQ(run.offeredMax, 6);
    EXPECT_EQ(pagesIn(full), 6);

    const QString half = dir.filePath(QStringLiteral("half.pdf"));
    run = printScaled(wide, half, QStringLiteral("50"), false);
    EXPECT_EQ(run.offeredMax, 3);
    EXPECT_EQ(pagesIn(half), 3);
    EXPECT_EQ(printed->pageSetup().scalingFactor, 0.5f);
    run = printScaled(wide, half, QString(), false);
    EXPECT_EQ(run.scaleShown, QStringLiteral("50 %")) << "the page setup is kept";

    const QString fitted = dir.filePath(QStringLiteral("fitted.pdf"));
    run = printScaled(wide, fitted, QString(), true);
    EXPECT_TRUE(run.fits);
    EXPECT_EQ(run.offeredMax, 3);
    EXPECT_EQ(run.scaleShown, QStringLiteral("60 %"));
    EXPECT_EQ(pagesIn(fitted), 3);
    constexpr double kScale = 2.0;
    const QImage page
        = dynamic_cast<ComicDocument*>(printed)->model()->getImageOfPage(0, float(0.6 * kScale));
    const QRect expected = inkBounds(page).translated(int(36 * kScale), int(36 * kScale));
    const QRect sheet = firstSheetInk(fitted, kScale);
    EXPECT_LE((sheet.topLeft() - expected.topLeft()).manhattanLength(), 3);
    EXPECT_LE((sheet.bottomRight() - expected.bottomRight()).manhattanLength(), 3);
    EXPECT_GT(sheet.width(), 500 * kScale) << "the whole width of the page on one sheet";

    // Unticked, the scale typed before comes back.
    run = printScaled(wide, full, QString(), true);
    EXPECT_FALSE(run.fits);
    EXPECT_EQ(run.scaleShown, QStringLiteral("50 %"));
    EXPECT_EQ(archivedComicFile(*dynamic_cast<ComicDocument*>(printed)->model()), before)
        << "printing changes nothing";
}

// A character of one 900 × 300 part prints from its window the same way: two sheets at 100 %, one
// at 50 %, and fitted, the part fills the paper's width.
TEST_F(DocumentPrintingTest, CharacterPartsPrintAtTheScaleOrFittedToThePaper)
{
    auto character = makeCharacter(QStringLiteral("Long"), 0);
    auto path = squarePath(QRectF(0, 0, 900, 300), character->blackColor(), character->blackColor());
    path->setLineWeight(0);
    auto part = std::make_shared<Part>();
    part->setChildren({ path });
    part->setModel(character);
    character->setChildren({ part });
    const QString file = dir.filePath(QStringLiteral("Long.parts"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(archivedPartsFile(*character));
    out.close();
    DocumentError error;
    ZDLDocument* opened = documents().openDocument(file, &error);
    DocumentWindow* shown = opened ? documents().windowFor(opened) : nullptr;
    ASSERT_TRUE(shown && QTest::qWaitForWindowExposed(shown));

    const struct {
        const char* percent;
        bool fit;
        int sheets;
        int inkedWidth;
    } cases[] = { { "100", false, 2, 540 }, { "50", false, 1, 450 }, { "", true, 1, 540 } };
    for (const auto& c : cases) {
        const QString pdf = dir.filePath(QStringLiteral("long-%1.pdf").arg(c.sheets * 10 + c.fit));
        const PanelRun run = printScaled(shown, pdf, QString::fromLatin1(c.percent), c.fit);
        EXPECT_EQ(run.offeredMax, c.sheets) << c.percent;
        EXPECT_EQ(pagesIn(pdf), c.sheets) << c.percent;
        const QRect ink = firstSheetInk(pdf, 1.0);
        EXPECT_NEAR(ink.left(), 36, 1) << c.percent;
        EXPECT_NEAR(ink.width(), c.inkedWidth, 2) << c.percent;
    }
    EXPECT_TRUE(alerts.isEmpty());

    // A character without parts has nothing to print.
    CharacterDocument* document = dynamic_cast<CharacterDocument*>(opened);
    ASSERT_TRUE(document);
    document->model()->setChildren({});
    EXPECT_FALSE(showMenuItem(shown, kPrintDocumentAction)->isEnabled());
}

// Printing to a file, the panel proposes a PDF beside the comic's file, or named after a comic not
// yet saved in the folder the file dialogs open in: never in the program's working folder.
TEST_F(DocumentPrintingTest, ThePanelProposesThePdfBesideTheComic)
{
    const QString own = document->filePath();
    const struct {
        const char* file;
        const char* name;
        QString expected;
    } cases[] = { { "Saturday.comic", "Weekend", dir.filePath(QStringLiteral("Saturday.pdf")) },
        { "", "Weekend/Story",
            QDir(FileDialogFolder::startingFolder()).filePath(QStringLiteral("Weekend-Story.pdf")) },
        { "", "", QString() } };
    for (const auto& c : cases) {
        document->setFilePath(*c.file ? dir.filePath(QString::fromLatin1(c.file)) : QString());
        model().setName(QString::fromUtf8(c.name));
        // Neither file nor name: the untitled name the window shows.
        const QString expected = c.expected.isEmpty()
            ? QDir(FileDialogFolder::startingFolder())
                  .filePath(document->displayName() + QStringLiteral(".pdf"))
            : c.expected;
        EXPECT_EQ(DocumentPrinting::proposedPdfPath(*document), expected) << c.name;
    }

    // In the real panel: the output file shown is the proposal, when the panel starts on a file.
    document->setFilePath(dir.filePath(QStringLiteral("Saturday.comic")));
    QStringList shown;
    bool toFile = false;
    DocumentPrinting::setPrintPanelRunner([&](QPrintDialog& panel) {
        toFile = panel.printer()->outputFormat() == QPrinter::PdfFormat;
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        for (auto* field : panel.findChildren<QLineEdit*>()) {
            if (field->isVisible())
                shown << field->text();
        }
        panel.reject();
    });
    choose(kPrintDocumentAction);
    if (toFile) {
        EXPECT_TRUE(shown.contains(dir.filePath(QStringLiteral("Saturday.pdf"))))
            << shown.join(u'|').toStdString();
    }
    document->setFilePath(own);
}

TEST_F(DocumentPrintingTest, PrintsEveryPageOrTheRangeChosen)
{
    // Three comic pages; each fits on one sheet of A4.
    auto second = std::make_shared<ComicPage>();
    second->initWithRect(model().bounds(), &model(), 1, 2);
    auto third = std::make_shared<ComicPage>();
    third->initWithRect(model().bounds(), &model(), 2, 1);
    ComicStructureList pages = model().contents();
    pages.push_back(second);
    pages.push_back(third);
    model().setContents(pages);
    const QByteArray before = bytes();

    const QString all = dir.filePath(QStringLiteral("all.pdf"));
    printFromMenu(all);
    EXPECT_EQ(offeredMin, 1);
    EXPECT_EQ(offeredMax, 3);
    auto pdf = pdfAt(all);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->numPages(), 3);

    const QString range = dir.filePath(QStringLiteral("range.pdf"));
    printFromMenu(range, 2, 3);
    pdf = pdfAt(range);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->numPages(), 2);

    // A range past the comic prints nothing and says so.
    alerts.clear();
    printFromMenu(dir.filePath(QStringLiteral("none.pdf")), 7, 9);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("The comic could not be printed."));
    EXPECT_EQ(bytes(), before) << "printing changes nothing";
    EXPECT_FALSE(document->undoManager()->canUndo());
}

// The first sheet, rendered back from the PDF, is the model's page drawing at the paint rect's place.
TEST_F(DocumentPrintingTest, APrintedPageIsTheModelsPageDrawing)
{
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    printFromMenu(path);
    const auto pdf = pdfAt(path);
    ASSERT_TRUE(pdf);
    ASSERT_EQ(pdf->numPages(), 1);
    constexpr double kScale = 2.0;
    const QImage sheet
        = pdf->page(0)->renderToImage(72 * kScale, 72 * kScale).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(sheet.isNull());

    QImage drawn(model().getImageOfPage(0, float(kScale)).size(), QImage::Format_RGB32);
    drawn.fill(Qt::white);
    {
        QPainter painter(&drawn);
        painter.drawImage(0, 0, model().getImageOfPage(0, float(kScale)));
    }
    // Two rasterisers smooth edges differently: a pixel of the drawing counts as printed when the
    // sheet has a like pixel within one pixel of its place.
    const QPoint origin = (paintRect.topLeft() * kScale).toPoint();
    int differing = 0;
    int inked = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const int expected = qGray(drawn.pixel(x, y));
            inked += expected < 128;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx)
                    near = std::abs(qGray(sheet.pixel(origin.x() + x + dx, origin.y() + y + dy)) - expected)
                        <= 48;
            }
            differing += !near;
        }
    }
    EXPECT_GT(inked, 2000);
    // Thin strokes and glyph edges come out lighter or darker from poppler; nothing more.
    EXPECT_LT(differing, inked / 20) << differing << " of " << inked;
    if (!qEnvironmentVariableIsEmpty("ZANDREL_SCREENSHOT"))
        sheet.save(qEnvironmentVariable("ZANDREL_SCREENSHOT") + QStringLiteral("/printed-page.png"));
}

} // namespace
} // namespace zandrel
