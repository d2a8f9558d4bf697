// Exports written and read back: images through QImageReader, PDFs through poppler, EPS through
// the tests' PostScript reader, each compared with the model's direct rendering; the files each kind of
// export makes; refusals of absurd sizes and of unwritable places, which leave no file behind.
#include "app/core/DocumentExport.h"

#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/TestComics.h"
#include "graphics/ArrayUtils.h"
#include "platform/Geometry.h"
#include "support/EpsReader.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <poppler-qt6.h>

namespace zandrel {
namespace {

using Kind = DocumentExport::ExportKind;

QImage onWhite(const QImage& image)
{
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

using test::differingShare;

// Every pixel that is not white, as a check that a comparison compared something.
qint64 inked(const QImage& image)
{
    const QImage flat = onWhite(image);
    qint64 count = 0;
    for (int y = 0; y < flat.height(); ++y)
        for (int x = 0; x < flat.width(); ++x)
            count += qGray(flat.pixel(x, y)) < 200;
    return count;
}

class DocumentExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        ASSERT_TRUE(folder.isValid());
        document.setModel(test::richComic());
        document.setUntitledName(QStringLiteral("Untitled"));
        // The first page, whose panel under the floating panel becomes current.
        const auto& model = document.model();
        model->setCurrentPageIndex(0);
        ComicStructureList panels;
        model->currentPage()->ComicStack::getPanelsInArray(panels);
        for (const auto& element : panels) {
            auto panel = std::dynamic_pointer_cast<ComicPanel>(element);
            if (panel && !panel->overlappingFloatingElements().isEmpty())
                floatedPanel = panel;
        }
        ASSERT_TRUE(floatedPanel) << "a panel of the first page lies under the floating panel";
        model->setCurrentPanel(floatedPanel);
        selection = { model->currentPage()->children().front() };
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    QStringList filesInFolder() const { return QDir(folder.path()).entryList(QDir::Files); }

    QTemporaryDir folder;
    ComicDocument document;
    std::shared_ptr<ComicPanel> floatedPanel;
    ElementList selection;
};

// Each file type with each extent: the file is there, reads back at the expected size (pages for
// a PDF) and shows what the model renders directly.
TEST_F(DocumentExportTest, FileTypesByExtentsReadBackAsTheModelRenders)
{
    const auto& model = document.model();
    const struct {
        ExportFileType type;
        Kind what;
        bool floaters;
        int pdfPages;
        QRectF area;
    } cases[] = {
        { ExportFileType::Png, Kind::Comic, false, 0, model->bounds() },
        { ExportFileType::Png, Kind::Page, false, 0, model->bounds() },
        { ExportFileType::Png, Kind::Selection, false, 0,
            integralRect(ArrayUtils::getElementsFilteredBounds(selection)) },
        { ExportFileType::Png, Kind::Panel, false, 0, ComicModel::panelImageRect(*floatedPanel, {}) },
        { ExportFileType::Png, Kind::Panel, true, 0,
            ComicModel::panelImageRect(*floatedPanel, floatedPanel->overlappingFloatingElements()) },
        { ExportFileType::Jpeg, Kind::Page, false, 0, model->bounds() },
        { ExportFileType::Jpeg, Kind::Selection, false, 0,
            integralRect(ArrayUtils::getElementsFilteredBounds(selection)) },
        { ExportFileType::Jpeg, Kind::Panel, true, 0,
            ComicModel::panelImageRect(*floatedPanel, floatedPanel->overlappingFloatingElements()) },
        { ExportFileType::Pdf, Kind::Comic, false, 2, model->bounds() },
        { ExportFileType::Pdf, Kind::Page, false, 1, model->bounds() },
        { ExportFileType::Pdf, Kind::Selection, false, 1, ArrayUtils::getElementsFilteredBounds(selection) },
        { ExportFileType::Pdf, Kind::Panel, false, 1, ComicModel::panelImageRect(*floatedPanel, {}) },
        { ExportFileType::Pdf, Kind::Panel, true, 1,
            ComicModel::panelImageRect(*floatedPanel, floatedPanel->overlappingFloatingElements()) },
    };
    constexpr float kResolution = 144.0f;
    constexpr float kScale = 2.0f;
    int index = 0;
    for (const auto& c : cases) {
        const QString name
            = QStringLiteral("case %1.%2").arg(index++).arg(DocumentExport::extensionFor(c.type));
        SCOPED_TRACE(name.toStdString());
        ExportResult rendered;
        const QImage direct
            = DocumentExport::renderImage(document, c.what, c.floaters, selection, kScale, &rendered);
        ASSERT_TRUE(rendered.ok) << rendered.message.toStdString();
        EXPECT_GT(inked(direct), 200) << "the comparison below compares a drawing";
        const ExportResult result = c.type == ExportFileType::Pdf
            ? DocumentExport::exportPDF(document, c.what, c.floaters, selection, path(name))
            : DocumentExport::exportImage(
                document, c.what, c.floaters, selection, c.type, kResolution, 0.9f, path(name));
        ASSERT_TRUE(result.ok) << result.message.toStdString() << result.explanation.toStdString();
        if (c.type != ExportFileType::Pdf) {
            QImageReader reader(path(name));
            const QImage read = reader.read();
            EXPECT_EQ(read.size(),
                QSize(int(std::ceil(c.area.width() * kScale)), int(std::ceil(c.area.height() * kScale))));
            EXPECT_LT(differingShare(read, direct, c.type == ExportFileType::Jpeg ? 40 : 2), 0.01);
            EXPECT_EQ(read.dotsPerMeterX(), 5669) << "144 pixels per inch";
            continue;
        }
        const auto pdf = Poppler::Document::load(path(name));
        ASSERT_TRUE(pdf);
        ASSERT_EQ(pdf->numPages(), c.pdfPages);
        const auto page = pdf->page(c.what == Kind::Comic ? 0 : 0);
        EXPECT_NEAR(page->pageSizeF().width(), c.area.width(), 1.0);
        EXPECT_NEAR(page->pageSizeF().height(), c.area.height(), 1.0);
        if (c.what == Kind::Page || c.what == Kind::Panel) {
            pdf->setRenderHint(Poppler::Document::Antialiasing);
            pdf->setRenderHint(Poppler::Document::TextAntialiasing);
            const QImage read = page->renderToImage(72.0 * kScale, 72.0 * kScale);
            const QImage expected = direct.copy(QRect(QPoint(0, 0), read.size()));
            EXPECT_LT(differingShare(read, expected, 64), 0.05);
        }
    }
    EXPECT_EQ(filesInFolder().size(), qsizetype(std::size(cases))) << "no temporary file stays behind";
}

TEST_F(DocumentExportTest, ResolutionIsRecordedAndScalesTheImage)
{
    ASSERT_TRUE(DocumentExport::exportImage(
        document, Kind::Selection, false, selection, ExportFileType::Jpeg, 300.0f, 0.7f, path("a.jpg")));
    const QImage read(path("a.jpg"));
    EXPECT_EQ(read.dotsPerMeterX(), 11811);
    EXPECT_EQ(read.dotsPerMeterY(), 11811);
    const QRectF area = integralRect(ArrayUtils::getElementsFilteredBounds(selection));
    EXPECT_EQ(read.width(), int(std::ceil(area.width() * 300.0f / 72.0f)));
}

TEST_F(DocumentExportTest, AbsurdSizesAreRefusedBeforeDrawingAndLeaveNoFile)
{
    const ExportResult outOfRange = DocumentExport::exportImage(
        document, Kind::Page, false, {}, ExportFileType::Png, 6000.0f, 1.0f, path("range.png"));
    EXPECT_FALSE(outOfRange.ok);
    EXPECT_TRUE(outOfRange.message.contains(QStringLiteral("600")));

    document.model()->setupWithSize(QSizeF(20000, 20000), 1, 1);
    const ExportResult tooLarge = DocumentExport::exportImage(
        document, Kind::Page, false, {}, ExportFileType::Png, 600.0f, 1.0f, path("large.png"));
    EXPECT_FALSE(tooLarge.ok);
    EXPECT_EQ(tooLarge.message, QStringLiteral("The image would be too large."));
    EXPECT_TRUE(tooLarge.explanation.contains(QStringLiteral("166667 by 166667")))
        << tooLarge.explanation.toStdString();

    const ExportResult nothing = DocumentExport::exportImage(
        document, Kind::Selection, false, {}, ExportFileType::Png, 72.0f, 1.0f, path("nothing.png"));
    EXPECT_FALSE(nothing.ok);
    EXPECT_TRUE(filesInFolder().isEmpty());
}

// A folder that cannot be written to (here: a "folder" that is a file) gives a clear error, and
// neither the target nor a temporary file appears.
TEST_F(DocumentExportTest, UnwritableFolderFailsClearlyAndLeavesNothing)
{
    QFile blocker(path("not a folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    for (ExportFileType type : { ExportFileType::Png, ExportFileType::Jpeg, ExportFileType::Pdf }) {
        const QString target = path("not a folder/out.") + DocumentExport::extensionFor(type);
        const ExportResult result = type == ExportFileType::Pdf
            ? DocumentExport::exportPDF(document, Kind::Page, false, {}, target)
            : DocumentExport::exportImage(document, Kind::Page, false, {}, type, 72.0f, 0.7f, target);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.message.startsWith(QStringLiteral("The file \u201cout.")));
        EXPECT_FALSE(result.explanation.isEmpty());
    }
    EXPECT_EQ(filesInFolder(), QStringList { QStringLiteral("not a folder") });
}

// A character's parts as PDF and as EPS: the PDF page is their bounds; the EPS, drawn by a
// PostScript reader at the EPS resolution, is their rendering on white.
TEST_F(DocumentExportTest, CharacterPartsAsPdfAndEps)
{
    CharacterDocument character(test::richCharacter());
    const ElementList parts = character.model()->children();
    const QRectF bounds = ArrayUtils::getElementsFilteredBounds(parts);
    ASSERT_TRUE(DocumentExport::exportPartsPDF(character, {}, path("parts.pdf")));
    const auto pdf = Poppler::Document::load(path("parts.pdf"));
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->numPages(), 1);
    EXPECT_NEAR(pdf->page(0)->pageSizeF().width(), bounds.width(), 1.0);

    ASSERT_TRUE(DocumentExport::exportEPS(character, path("parts.eps")));
    QFile file(path("parts.eps"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray eps = file.readAll();
    EXPECT_TRUE(eps.startsWith("%!PS-Adobe-3.0 EPSF-3.0\n"));
    const QRectF whole = integralRect(bounds);
    EXPECT_TRUE(eps.contains(
        QStringLiteral("%%BoundingBox: 0 0 %1 %2\n").arg(whole.width()).arg(whole.height()).toLatin1()));
    // Drawn as PostScript, not as one picture of the whole; read back, it is the PDF's drawing.
    const float scale = DocumentExport::scaleForResolution(DocumentExport::kEpsResolution);
    EXPECT_FALSE(eps.contains("/Width " + QByteArray::number(std::ceil(whole.width() * scale)) + " "));
    EXPECT_TRUE(eps.contains(" m\n"));
    QString error;
    const QImage read = test::renderEps(eps, scale, &error);
    ASSERT_FALSE(read.isNull()) << error.toStdString();
    const QImage printed = pdf->page(0)->renderToImage(72.0 * scale, 72.0 * scale);
    EXPECT_GT(inked(printed), 1000);
    const QRect common = read.rect().intersected(printed.rect());
    EXPECT_GE(common.width(), read.width() - 1);
    EXPECT_GE(common.height(), read.height() - 1);
    EXPECT_LT(differingShare(read.copy(common), printed.copy(common), 64), 0.02);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

// The sample character files, as EPS read back, are their PDF's drawing.
TEST_F(DocumentExportTest, SampleCharactersAsEpsMatchTheirPdf)
{
    registerStandardFileFormats();
    for (const char* name : { "rich.parts", "shared-image.parts", "older.parts" }) {
        CharacterDocument character;
        DocumentError error;
        ASSERT_TRUE(character.readFromFile(
            QStringLiteral(ZANDREL_SOURCE_DIR "/fuzz/corpus/fuzz_partsfile/") + QLatin1String(name), &error))
            << name;
        ASSERT_TRUE(DocumentExport::exportPartsPDF(character, {}, path("c.pdf"))) << name;
        ASSERT_TRUE(DocumentExport::exportEPS(character, path("c.eps"))) << name;
        const auto pdf = Poppler::Document::load(path("c.pdf"));
        ASSERT_TRUE(pdf) << name;
        QFile file(path("c.eps"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QString problem;
        const double scale = 2.0;
        const QImage read = test::renderEps(file.readAll(), scale, &problem);
        ASSERT_FALSE(read.isNull()) << name << ": " << problem.toStdString();
        const QImage printed = pdf->page(0)->renderToImage(72.0 * scale, 72.0 * scale);
        const QRect common = read.rect().intersected(printed.rect());
        EXPECT_GT(inked(printed), 100) << name;
        EXPECT_LT(differingShare(read.copy(common), printed.copy(common), 64), 0.02) << name;
    }
}

} // namespace
} // namespace zandrel
