// Comic files that refer to one part of themselves many times, as an attacker makes them by hand:
// each is refused as corrupt within its decoding budget, leaving the document as it was, or read
// within it without a copy per reference; what was read draws, saves and reads back. A comic that
// would not read back is never saved. The tests read under an outer budget of 1 GiB and time
// nothing.
#include "comicmodel/HostileComics.h"

#include "app/core/CharacterFileFormats.h"
#include "app/core/ComicDocument.h"
#include "app/core/ComicFileFormat.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/BalloonPointer.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/PanelLayer.h"
#include "comicmodel/TestComics.h"
#include "graphics/DrawingWork.h"
#include "graphics/EdgeEffects.h"
#include "graphics/LetteringAllowance.h"
#include "graphics/StyleFields.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "graphics/ZDLImageRep.h"
#include "platform/CanvasRecording.h"
#include "platform/CorpusSeeds.h"
#include "platform/CurrentCanvas.h"
#include "platform/DecodingBudget.h"
#include "platform/Exception.h"
#include "platform/FontRegistry.h"
#include "platform/Log.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using namespace test;

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

class HostileComicsTest : public ::testing::Test {
protected:
    // Reads the file under an outer budget of 1 GiB; null when it is refused, which must be as
    // corrupt data within the file's own allowance.
    ComicModelPtr read(const QByteArray& file)
    {
        const auto outer = DecodingBudget::withAllowance(kGiB);
        const DecodingBudget::Scope scope(*outer);
        ComicModelPtr comic;
        try {
            comic = readComicFile(file);
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), kInvalidArchiveException) << e.reason().toStdString();
        }
        spent = outer->spent();
        EXPECT_LE(spent, DecodingBudget::allowanceForFileSize(file.size()));
        return comic;
    }
    // Draws the page small, saves the comic and reads the file back: the second save gives the
    // same bytes. The saved file, read again, costs no more than the first.
    QByteArray expectDrawnSavedAndReadBack(const ComicModel& comic)
    {
        EXPECT_FALSE(comic.getImageOfPage(0, float(200 / std::max(comic.bounds().width(), 1.0))).isNull());
        const QByteArray saved = archivedComicFile(comic);
        const qint64 first = spent;
        const ComicModelPtr again = read(saved);
        EXPECT_TRUE(again);
        if (again) {
            EXPECT_EQ(archivedComicFile(*again), saved);
            EXPECT_LE(spent, first + first / 10 + 1024 * 1024);
            again->retire();
        }
        return saved;
    }
    static ElementList elementsOfPanel(const ComicModel& comic, std::size_t index)
    {
        const auto panel = panelNumber(comic, index);
        return panel ? panel->frontLayer()->children() : ElementList();
    }

    qint64 spent = 0;
};

TEST_F(HostileComicsTest, OneImageRecordShownByEveryPanel)
{
    // About 128 KB that decode to 128 MB, shown by two thousand panels.
    const QByteArray png = flatPng(8192, 4096);
    const ComicModelPtr comic = read(sharedImageComicFile(2000, png));
    ASSERT_TRUE(comic);
    EXPECT_LT(spent, 2 * 8192 * 4096 * 4);
    const auto imageOf = [&](std::size_t panel) {
        const auto element = std::dynamic_pointer_cast<ImageElement>(elementsOfPanel(*comic, panel).value(0));
        return element ? element->image() : nullptr;
    };
    ASSERT_TRUE(imageOf(0));
    EXPECT_EQ(imageOf(0)->pixelSize(), QSizeF(8192, 4096));
    // Every element shows the one image; none holds a copy.
    EXPECT_EQ(imageOf(1999), imageOf(0));
    const QByteArray saved = expectDrawnSavedAndReadBack(*comic);
    EXPECT_LT(saved.size(), png.size() + 2000 * 1024);
    comic->retire();
}

TEST_F(HostileComicsTest, OneCastCharacterLinkedFromEveryPanel)
{
    // Twenty thousand panels list one part linked to the one character: the first panel owns the
    // part, the others stay empty, and nothing is copied.
    const QByteArray attack = sharedCharacterComicFile(20000);
    const ComicModelPtr comic = read(attack);
    ASSERT_TRUE(comic);
    ASSERT_EQ(comic->characters().size(), 1u);
    const auto part = std::dynamic_pointer_cast<Part>(elementsOfPanel(*comic, 0).value(0));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->model(), comic->characters().front().get());
    EXPECT_TRUE(elementsOfPanel(*comic, 1).isEmpty());
    EXPECT_TRUE(elementsOfPanel(*comic, 19999).isEmpty());
    EXPECT_EQ(comic->allComicElementsOfClass(Part::kClassName).size(), 1);
    // The lists the file holds, no more: a value for every entry and little beside.
    EXPECT_LT(spent, attack.size() * 16);
    expectDrawnSavedAndReadBack(*comic);
    comic->retire();
}

TEST_F(HostileComicsTest, BalloonPointNamedTenMillionTimesLeavesTheDocumentAsItWas)
{
    ComicDocument document;
    const ComicModelPtr before = document.model();
    const ComicFileFormat format;
    DocumentError error;
    EXPECT_FALSE(document.readFromData(sharedBalloonPointComicFile(10'000'000), format, &error));
    EXPECT_EQ(error.failureReason, QStringLiteral("The data is corrupted."));
    EXPECT_EQ(document.model(), before);
    document.close();

    // Named a thousand times, the point is copied: every point of the pointer is its own.
    const ComicModelPtr comic = read(sharedBalloonPointComicFile(1000));
    ASSERT_TRUE(comic);
    const auto balloon = std::dynamic_pointer_cast<Balloon>(elementsOfPanel(*comic, 0).value(0));
    ASSERT_TRUE(balloon);
    const BalloonPointList points = balloon->pointers().at(0)->points();
    ASSERT_EQ(points.size(), 1000u);
    EXPECT_NE(points.front(), points.back());
    EXPECT_GE(spent, 999 * DecodingBudget::objectCost<BalloonPoint>());
    expectDrawnSavedAndReadBack(*comic);
    comic->retire();
}

TEST_F(HostileComicsTest, AComicThatWouldNotReadBackIsNeverSaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Deep.comic"));
    registerStandardFileFormats();
    ComicDocument document;
    document.setModel(richComic());
    DocumentError error;
    ASSERT_TRUE(document.saveToFile(path, SaveOperation::Save, &error))
        << error.failureReason.toStdString() << error.recoverySuggestion.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray original = file.readAll();
    file.close();

    // Groups nested deeper than a reader takes: a group and its list of members are two levels.
    std::shared_ptr<Parent> holder = panelNumber(*document.model(), 0)->frontLayer();
    for (int i = 0; i < 1600; ++i) {
        auto group = std::make_shared<Group>();
        holder->setChildren(holder->children() + ElementList { group });
        holder = group;
    }
    EXPECT_FALSE(document.saveToFile(path, SaveOperation::Save, &error));
    EXPECT_EQ(error.code, DocumentError::kFileWriteUnknownCode);
    EXPECT_FALSE(error.failureReason.isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), original);
    document.close();
}

TEST_F(HostileComicsTest, APageOfMoreRowsAndPanelsThanAPageHoldsIsRefusedAndNeverSaved)
{
    // A row and its panels as many as a page holds read; a panel more is refused, leaving the
    // document as it was.
    constexpr std::size_t limit = ComicPage::kMaxStructureElements;
    const ComicModelPtr full = read(crowdedPageComicFile(limit - 1));
    ASSERT_TRUE(full);
    const auto page = std::dynamic_pointer_cast<ComicPage>(full->currentPage());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->structureElementCount(), limit);
    ComicDocument document;
    const ComicModelPtr before = document.model();
    const ComicFileFormat format;
    DocumentError error;
    EXPECT_FALSE(document.readFromData(crowdedPageComicFile(limit), format, &error));
    EXPECT_EQ(error.failureReason, QStringLiteral("It is larger than Zandrel can open."));
    EXPECT_EQ(error.recoverySuggestion,
        QStringLiteral("A page of it holds more than 4096 rows and panels, more than Zandrel can lay out."));
    EXPECT_EQ(document.model(), before);
    document.close();

    // Free panels count too: with one more the page is not written, since it would not read.
    page->setFloatingPanels({ std::make_shared<ComicPanel>() });
    EXPECT_EQ(page->structureElementCount(), limit + 1);
    EXPECT_TRUE(format.write(*full, &error).isEmpty());
    EXPECT_EQ(error.code, DocumentError::kFileWriteUnknownCode);
    page->setFloatingPanels({});
    expectDrawnSavedAndReadBack(*full);
    full->retire();
}

TEST_F(HostileComicsTest, LineWeightsFrameWeightsAndFontSizesAreReadWithinWhatADrawingShows)
{
    // Weights and sizes any drawing shows are kept; larger ones are read as the largest, so that
    // the comic saves as the one written with it does.
    const auto saved = [this](const QByteArray& file) {
        const ComicModelPtr comic = read(file);
        const QByteArray bytes = comic ? archivedComicFile(*comic) : QByteArray();
        if (comic)
            comic->retire();
        return bytes;
    };
    EXPECT_NE(saved(heavyLinesComicFile(99)), saved(heavyLinesComicFile(kMaxLineWeight)));
    for (const float written : { 1e6f, 3e38f }) {
        const ComicModelPtr comic = read(heavyLinesComicFile(written));
        ASSERT_TRUE(comic) << written;
        EXPECT_EQ(archivedComicFile(*comic), saved(heavyLinesComicFile(kMaxLineWeight))) << written;
        expectDrawnSavedAndReadBack(*comic);
        comic->retire();
    }
    EXPECT_NE(
        saved(letteringComicFile(3, 40, 999)), saved(letteringComicFile(3, 40, FontRegistry::kMaxFontSize)));
    for (const double written : { 5000.0, 1e300 }) {
        const ComicModelPtr comic = read(letteringComicFile(3, 40, written));
        ASSERT_TRUE(comic) << written;
        EXPECT_EQ(archivedComicFile(*comic), saved(letteringComicFile(3, 40, FontRegistry::kMaxFontSize)))
            << written;
        comic->retire();
    }
}

TEST_F(HostileComicsTest, LetteringPastADrawingsAllowanceIsLeftOutAndSaidOnce)
{
    DrawingWork::forgetSaying();
    const Log::Capture log;
    const auto laidOut = [](const ComicModel& comic) {
        int count = 0;
        for (const ObjectPtr& element : panelNumber(comic, 0)->frontLayer()->children())
            count += std::dynamic_pointer_cast<Balloon>(element)->layoutManager().isLaidOut() ? 1 : 0;
        return count;
    };
    // Forty balloons of 300 characters: at 14 points all are drawn, at 1000 points, 30,000 units
    // each, those past the allowance are left out unlaid, pass after pass.
    const ComicModelPtr plain = read(letteringComicFile(40, 300, 14));
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->getImageOfPage(0, 0.25f).isNull());
    EXPECT_EQ(laidOut(*plain), 40);
    EXPECT_TRUE(log.lines().isEmpty());
    plain->retire();
    const ComicModelPtr huge = read(letteringComicFile(40, 300, 1000));
    ASSERT_TRUE(huge);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_FALSE(huge->getImageOfPage(0, 0.25f).isNull());
        EXPECT_EQ(laidOut(*huge), int(DrawingWork::kLetteringUnits / 30000));
    }
    EXPECT_EQ(log.lines(), QStringList { DrawingWork::kRanOutMessage });
    huge->retire();
}

TEST_F(HostileComicsTest, HolesOfInsetPanelsPastADrawingsAllowanceAreLeftOutAndSaidOnce)
{
    DrawingWork::forgetSaying();
    const Log::Capture log;
    // What drawing a page of so many overlapping inset panels records: each panel is cut by every
    // inset in front of it, a clip and an outline per hole.
    const auto operations = [](int insets) {
        auto comic = std::make_shared<ComicModel>();
        comic->setupWithSize(QSizeF(400, 400), 1, 1);
        const auto page = std::dynamic_pointer_cast<ComicPage>(comic->currentPage());
        ComicPanelList panels;
        for (int i = 0; i < insets; ++i) {
            panels.push_back(std::make_shared<ComicPanel>());
            panels.back()->initWithRect(QRectF(100 + i % 10, 100 + i / 10 % 10, 100, 100), page.get());
        }
        page->setInsetPanels(panels);
        CanvasRecording recording;
        const CanvasScope scope(&recording);
        ZDLContext context(1.0f);
        comic->drawIn(context, comic->bounds());
        comic->retire();
        return qint64(recording.operationCount());
    };
    // Forty insets cut 820 holes, all drawn; ten times as many would cut about a hundred times as many,
    // of which the allowance's are drawn.
    const qint64 few = operations(40);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_LT(operations(400), 10 * few + 2 * DrawingWork::kCutOuts);
    EXPECT_EQ(log.lines(), QStringList { DrawingWork::kRanOutMessage });
}

TEST_F(HostileComicsTest, LetteringPastAFilesAllowanceShowsAsBoxesSavesAsReadAndIsSaidOncePerDocument)
{
    const Log::Capture log;
    // Two hundred balloons of 300 characters at 1000 points, 30,000 units each: those the file's
    // allowance holds are laid out in the order they are asked for, the others are boxes of their
    // width, whatever draws or measures them, and keep their text.
    const QByteArray file = letteringComicFile(200, 300, 1000);
    const int shown = int(LetteringAllowance::kUnits / 30000);
    for (int document = 1; document <= 2; ++document) {
        const ComicModelPtr comic = read(file);
        ASSERT_TRUE(comic);
        const ElementList balloons = elementsOfPanel(*comic, 0);
        for (const ObjectPtr& element : balloons)
            std::dynamic_pointer_cast<Balloon>(element)->getBounds();
        EXPECT_FALSE(comic->getImageOfPage(0, 0.25f).isNull());
        for (qsizetype i = 0; i < balloons.size(); ++i) {
            const auto balloon = std::dynamic_pointer_cast<Balloon>(balloons[i]);
            EXPECT_EQ(balloon->showsLettering(), i < shown) << i;
            EXPECT_EQ(balloon->layoutManager().isLaidOut(), i < shown) << i;
            if (i >= shown) {
                EXPECT_EQ(balloon->getVisibleLineRects(), QList<QRectF> { QRectF(0, 0, 60, 20) });
                EXPECT_EQ(balloon->numberOfGlyphs(), 0);
                EXPECT_EQ(balloon->formattedText().length(), 300);
            }
        }
        // Once for each document that leaves lettering out.
        EXPECT_EQ(log.lines().count(LetteringAllowance::kLeftOutMessage), document);
        EXPECT_EQ(archivedComicFile(*comic), file);

        // New text is laid out when the allowance holds it: what a balloon took, it gives back when
        // its text changes or it goes.
        const auto last = std::dynamic_pointer_cast<Balloon>(balloons.last());
        last->setFormattedText(lettering(QStringLiteral("Hush."), 14));
        EXPECT_TRUE(last->showsLettering());
        EXPECT_EQ(last->numberOfGlyphs(), 5);
        const auto boxed = std::dynamic_pointer_cast<Balloon>(balloons[shown]);
        const AttributedText text = boxed->formattedText();
        boxed->setFormattedText(text);
        EXPECT_FALSE(boxed->showsLettering());
        std::dynamic_pointer_cast<Balloon>(balloons.first())->setFormattedText(AttributedText());
        boxed->setFormattedText(text);
        EXPECT_TRUE(boxed->showsLettering());
        comic->retire();
    }
    // Balloons made here have no allowance.
    const BalloonPtr made = Balloon::initAt(QPointF(), 60);
    made->setFormattedText(lettering(QString(300, QLatin1Char('W')), 1000));
    EXPECT_TRUE(made->showsLettering());
}

TEST_F(HostileComicsTest, SettersHoldWeightsAndBlursWithinWhatADrawingShows)
{
    ComicPanel panel;
    BalloonPtr balloon = Balloon::initAt(QPointF(), 60);
    PartPath path;
    for (const float value : { 2.0f, kMaxLineWeight, 1e6f, std::numeric_limits<float>::max() }) {
        panel.setWeight(value);
        balloon->setLineWeight(value);
        path.setLineWeight(value);
        path.setBlur(value);
        const float weight = std::min(value, kMaxLineWeight);
        EXPECT_EQ(panel.weight(), weight);
        EXPECT_EQ(balloon->lineWeight(), weight);
        EXPECT_EQ(path.lineWeight(), weight);
        EXPECT_EQ(path.blur(), std::min(value, kMaxBlurRadius));
    }
}

TEST_F(HostileComicsTest, EdgeEffectsPastAFilesAllowanceArePlainFramesThatSaveAsRead)
{
    const Log::Capture log;
    // Panels 50,000 points tall with spiked frames: the walk's 10,000 steps each. Those the file's
    // allowance holds get their spikes in the order they are asked for; the others plain frames.
    const QByteArray file = shapedPanelsComicFile(60, 50000, PanelShapeSpikes);
    const ComicModelPtr comic = read(file);
    ASSERT_TRUE(comic);
    const QByteArray asRead = archivedComicFile(*comic);
    const auto page = std::dynamic_pointer_cast<ComicPage>(comic->currentPage());
    const auto spiked = [&](std::size_t i) { return rowPanel(*page, i)->panelFrame()->numPoints() > 100; };
    const int shown = int(EdgeEffectAllowance::kSteps / kEdgeEffectMaxSteps);
    for (std::size_t i = 0; i < 60; ++i)
        EXPECT_EQ(spiked(i), int(i) < shown) << i;
    EXPECT_EQ(log.lines(), QStringList { EdgeEffectAllowance::kLeftOutMessage });
    EXPECT_EQ(archivedComicFile(*comic), asRead);
    // What a frame took, it gives back when it changes.
    rowPanel(*page, 0)->setShape(PanelShapePlain);
    rowPanel(*page, shown)->setRoundness(0.5f);
    EXPECT_TRUE(spiked(std::size_t(shown)));
    comic->retire();
}

TEST_F(HostileComicsTest, SmallVersionsSeedTheFuzzCorpus)
{
    checkCorpusSeeds(QStringLiteral("fuzz_comicfile"),
        {
            { QStringLiteral("shared-image.comic"), sharedImageComicFile(6, flatPng(96, 64)) },
            { QStringLiteral("shared-character.comic"), sharedCharacterComicFile(8) },
            { QStringLiteral("shared-point.comic"), sharedBalloonPointComicFile(40) },
            { QStringLiteral("heavy-lines.comic"), heavyLinesComicFile(1e6f) },
            { QStringLiteral("huge-lettering.comic"), letteringComicFile(12, 300, 5000) },
            { QStringLiteral("crowded-page.comic"), crowdedPageComicFile(ComicPage::kMaxStructureElements) },
            { QStringLiteral("long-marked-edges.comic"),
                shapedPanelsComicFile(60, 125000, PanelShapeMarkedEdge) },
        },
        { "shared-image.comic", "shared-character.comic", "shared-point.comic", "heavy-lines.comic",
            "huge-lettering.comic", "crowded-page.comic", "long-marked-edges.comic" });
}

} // namespace
} // namespace zandrel
