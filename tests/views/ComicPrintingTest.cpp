// Printing a comic from its window's menu, into a PDF file instead of a printer: the print panel
// offers the comic's pages, prints the range chosen, and a printed page shows what the model draws.
#include "app/ComicPrinting.h"

#include "ComicWindowFixture.h"
#include "comicmodel/ComicPage.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <cmath>
#include <poppler-qt6.h>

namespace zandrel {
namespace {

class ComicPrintingTest : public test::ComicWindowTest {
protected:
    void TearDown() override
    {
        ComicPrinting::setPrintPanelRunner(nullptr);
        ComicWindowTest::TearDown();
    }
    // Chooses Print… with a panel answered by printing the range (0, 0 for all) into the file.
    void printFromMenu(const QString& path, int from = 0, int to = 0)
    {
        ComicPrinting::setPrintPanelRunner([&, path, from, to](QPrintDialog& panel) {
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

    int offeredMin = 0;
    int offeredMax = 0;
    QRectF paintRect;
};

TEST_F(ComicPrintingTest, PrintsEveryPageOrTheRangeChosen)
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
TEST_F(ComicPrintingTest, APrintedPageIsTheModelsPageDrawing)
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
