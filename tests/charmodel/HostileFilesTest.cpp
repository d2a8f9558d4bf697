// Files that refer to one part of themselves many times, as an attacker makes them by hand: each is
// refused within its decoding budget or read within it, and what was read saves and reads back.
// The budget counts the memory the reading makes; the tests read under an outer budget of 1 GiB,
// which every charge reaches, and never time anything.
#include "HostileFiles.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/CharXMLParserController.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartsFile.h"
#include "graphics/DrawingWork.h"
#include "graphics/Gradient.h"
#include "graphics/GradientFill.h"
#include "graphics/StyleFields.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"
#include "platform/CorpusSeeds.h"
#include "platform/DecodingBudget.h"
#include "platform/Exception.h"
#include "platform/Log.h"
#include "support/PdfBuilder.h"

#include <QSet>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using namespace test;

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

class HostileFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }

    // Reads the file under an outer budget of 1 GiB; null when it is refused, which must be as
    // corrupt data, within the file's own allowance.
    CharacterModelPtr read(const QByteArray& file)
    {
        const auto outer = DecodingBudget::withAllowance(kGiB);
        const DecodingBudget::Scope scope(*outer);
        CharacterModelPtr model;
        try {
            model = readPartsFile(file);
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), kInvalidArchiveException) << e.reason().toStdString();
            EXPECT_EQ(appController()->getErrorForException(e).failureReason, "The data is corrupted.");
        }
        spent = outer->spent();
        EXPECT_LE(spent, DecodingBudget::allowanceForFileSize(file.size()));
        return model;
    }
    // Saves the model and reads the file back; the second save gives the same bytes.
    void expectSavedFileReadsBack(const CharacterModel& model)
    {
        const QByteArray saved = archivedPartsFile(model);
        const CharacterModelPtr again = readPartsFile(saved);
        ASSERT_TRUE(again);
        EXPECT_EQ(archivedPartsFile(*again), saved);
        again->retire();
    }
    static PartPathPtr onlyPath(const CharacterModel& model)
    {
        const auto part = std::dynamic_pointer_cast<Part>(model.getParts().value(0));
        return part ? std::dynamic_pointer_cast<PartPath>(part->getChildAtIndex(0)) : nullptr;
    }

    qint64 spent = 0;
};

TEST_F(HostileFilesTest, PaletteColoursSharingOneName)
{
    // A megabyte: 60,000 colours bearing one name of 200,000 characters would make 24 GB of names.
    const QByteArray attack = sharedNamePartsFile(60000, 200000);
    ASSERT_LT(attack.size(), 1024 * 1024);
    EXPECT_FALSE(read(attack));
    EXPECT_GT(spent, DecodingBudget::allowanceForFileSize(attack.size()) * 9 / 10);

    // Fewer or shorter names are made unique, each colour costing one name.
    const CharacterModelPtr model = read(sharedNamePartsFile(2000, 1000));
    ASSERT_TRUE(model);
    EXPECT_LT(spent, 2000 * DecodingBudget::stringCost(1020) + 2 * kGiB / 1024);
    QSet<QString> names;
    for (const ZDLColorPtr& color : model->colors())
        names.insert(color->name());
    EXPECT_EQ(names.size(), model->colors().size());
    EXPECT_TRUE(names.contains(QString(1000, u'n') + QStringLiteral(" 1999")));
    expectSavedFileReadsBack(*model);
    model->retire();
}

TEST_F(HostileFilesTest, CurveNamingOnePointTenMillionTimes)
{
    EXPECT_FALSE(read(sharedPointPartsFile(10'000'000)));

    // Named a few times, the point is copied: every curve point is its own.
    const CharacterModelPtr model = read(sharedPointPartsFile(1000));
    ASSERT_TRUE(model);
    const CurvePtr curve = onlyPath(*model)->getSegmentAtIndex(0);
    ASSERT_EQ(curve->numPoints(), 1000);
    EXPECT_NE(curve->getPointAtIndex(0), curve->getPointAtIndex(999));
    curve->getPointAtIndex(0)->setX(5);
    EXPECT_EQ(curve->getPointAtIndex(999)->x(), 1.0f);
    expectSavedFileReadsBack(*model);
    model->retire();
}

TEST_F(HostileFilesTest, PathNamingOneCurveAHundredThousandTimes)
{
    const QByteArray attack = sharedCurvePartsFile(100'000, 1000);
    ASSERT_LT(attack.size(), 300 * 1024);
    EXPECT_FALSE(read(attack));

    const CharacterModelPtr model = read(sharedCurvePartsFile(10, 100));
    ASSERT_TRUE(model);
    const PartPathPtr path = onlyPath(*model);
    ASSERT_EQ(path->numSegments(), 10);
    // The first reference keeps the curve, the nine others are copies charged to the budget.
    EXPECT_GE(spent, 9 * path->getSegmentAtIndex(0)->copyCost());
    EXPECT_NE(path->getSegmentAtIndex(0), path->getSegmentAtIndex(9));
    expectSavedFileReadsBack(*model);
    model->retire();
}

TEST_F(HostileFilesTest, TwentyImageRecordsSharingOneLargePng)
{
    // About 128 KB that decode to 128 MB, named by twenty image records.
    const QByteArray png = flatPng(8192, 4096);
    const QByteArray attack = sharedImagePartsFile(20, png);
    ASSERT_LT(attack.size(), 256 * 1024);
    const CharacterModelPtr model = read(attack);
    ASSERT_TRUE(model);
    // Decoded once, the pixels shared by every image.
    EXPECT_LT(spent, 2 * 8192 * 4096 * 4);
    ASSERT_EQ(model->getParts().size(), 20);
    const auto pixels = [&](int index) {
        const auto element = std::dynamic_pointer_cast<ImageElement>(model->getParts().at(index));
        const auto* rep = dynamic_cast<const ZDLBitmapImageRep*>(element->image()->imageRep().get());
        return rep->image().constBits();
    };
    for (int i = 1; i < 20; ++i)
        EXPECT_EQ(pixels(i), pixels(0));

    // Saved, the bytes are written once and read back the same way.
    const QByteArray saved = archivedPartsFile(*model);
    EXPECT_LT(saved.size(), png.size() + 16 * 1024);
    const CharacterModelPtr again = read(saved);
    ASSERT_TRUE(again);
    EXPECT_LT(spent, 2 * 8192 * 4096 * 4);
    again->retire();
    model->retire();
}

TEST_F(HostileFilesTest, CharacterXmlColoursSharingALongName)
{
    // 30 MB, within every limit of the import: 1,000 colours bearing one name of 30,000 characters.
    const int colors = 1000;
    const int length = 30000;
    const QByteArray xml = sharedNameCharacterXml(colors, length);
    ASSERT_GT(xml.size(), 30'000'000);
    ASSERT_LT(xml.size(), CharXMLParserController::kMaxBytes);
    const auto outer = DecodingBudget::withAllowance(kGiB);
    CharacterModelPtr model;
    {
        const DecodingBudget::Scope scope(*outer);
        QString error;
        model = importCharacterXML(xml, &error);
        ASSERT_TRUE(model) << error.toStdString();
    }
    // One name made for every colour but the first: renaming never searches the palette again.
    EXPECT_LE(outer->spent(), (colors - 1) * DecodingBudget::stringCost(length + 20));
    const QString name(length, u'n');
    const ZDLColorPtr seventh = model->getColorNamed(name + QStringLiteral(" 7"));
    ASSERT_TRUE(seventh);
    EXPECT_EQ(model->getColorNamed(name + QStringLiteral(" 999"))->color(), seventh->color());
    EXPECT_EQ(onlyPath(*model)->lineColor(), seventh);
    expectSavedFileReadsBack(*model);
    model->retire();
}

TEST_F(HostileFilesTest, CharacterXmlLineWeightsAndBlursAreReadWithinWhatADrawingShows)
{
    QString error;
    const CharacterModelPtr model
        = importCharacterXML(heavyCharacterXml(4, "1000000", { "100000000", "1000", "4000" }), &error);
    ASSERT_TRUE(model) << error.toStdString();
    const auto part = std::dynamic_pointer_cast<Part>(model->getParts().value(0));
    ASSERT_TRUE(part);
    const float blurs[] = { kMaxBlurRadius, 10, 40, kMaxBlurRadius };
    ASSERT_EQ(part->numChildren(), std::size(blurs));
    for (int i = 0; i < part->numChildren(); ++i) {
        const auto path = std::dynamic_pointer_cast<PartPath>(part->getChildAtIndex(i));
        ASSERT_TRUE(path);
        EXPECT_EQ(path->lineWeight(), kMaxLineWeight);
        EXPECT_EQ(path->blur(), blurs[i]);
    }
    expectSavedFileReadsBack(*model);
    model->retire();
}

TEST_F(HostileFilesTest, BlurredPathsPastADrawingsAllowanceAreLeftOutAndSaidOnce)
{
    DrawingWork::forgetSaying();
    const Log::Capture log;
    // The blurred images the paths keep: how many, and their pixels.
    const auto blurred = [](const CharacterModel& model) {
        std::pair<int, qint64> made;
        const auto part = std::dynamic_pointer_cast<Part>(model.getParts().value(0));
        for (int i = 0; part && i < part->numChildren(); ++i) {
            const QImage& image
                = std::dynamic_pointer_cast<PartPath>(part->getChildAtIndex(i))->cachedFilteredImage();
            made.first += image.isNull() ? 0 : 1;
            made.second += qint64(image.width()) * image.height();
        }
        return made;
    };
    QString error;
    // A few blurs of real size are all drawn.
    const CharacterModelPtr plain = importCharacterXML(heavyCharacterXml(4, "2", { "500", "1000" }), &error);
    ASSERT_TRUE(plain) << error.toStdString();
    EXPECT_FALSE(plain->getThumbnail().isNull());
    EXPECT_EQ(blurred(*plain).first, 4);
    EXPECT_TRUE(log.lines().isEmpty());
    plain->retire();

    // One blur larger than the whole allowance, though its bitmap could be made, is not made at
    // all: the path is drawn sharp, and nothing is charged or said.
    const CharacterModelPtr wide
        = importCharacterXML("<CharacterDocument name=\"Wide\"><Part><Curve closed=\"true\" "
                             "curveData=\"p 0 0 c 9000 0 p 9000 9000\" lineColor=\"#000000\" "
                             "lineWeight=\"2\" blur=\"2\"/></Part></CharacterDocument>",
            &error);
    ASSERT_TRUE(wide) << error.toStdString();
    EXPECT_FALSE(wide->getThumbnail().isNull());
    EXPECT_EQ(blurred(*wide), (std::pair<int, qint64>(0, 0)));
    EXPECT_TRUE(log.lines().isEmpty());
    wide->retire();

    // Forty paths of the widest lines, their blurs taking turns so that none join a group: each
    // bitmap is millions of pixels, together several allowances. Every pass draws the same ones.
    const CharacterModelPtr heavy
        = importCharacterXML(heavyCharacterXml(40, "1000000", { "100000000", "1000" }), &error);
    ASSERT_TRUE(heavy) << error.toStdString();
    std::pair<int, qint64> first;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_FALSE(heavy->getThumbnail().isNull());
        const auto made = blurred(*heavy);
        EXPECT_GT(made.first, 2);
        EXPECT_LT(made.first, 40);
        EXPECT_LE(made.second, DrawingWork::kBlurredPixels);
        if (pass == 0)
            first = made;
        EXPECT_EQ(made, first);
    }
    EXPECT_EQ(log.lines(), QStringList { DrawingWork::kRanOutMessage });
    heavy->retire();
}

// Records a hand-made file names many times: one list of paths listed by every part, one
// gradient's stops all naming one stop, filling every path. Each is read in proportion to the file
// (the list's paths go to the first part, a gradient draws through a bounded number of stops), or
// refused when the references alone would outrun the budget.
class SharedRecordsFile : public HostilePartsFile {
public:
    // Parts each listing one list of paths; each path's fill is one gradient of stops stops.
    QByteArray make(int parts, int paths, int stops)
    {
        const quint64 color = m_builder.add(record(QStringLiteral("NSColor"),
            { { QStringLiteral("NSRGB"), m_builder.data("1 0 0") },
                { QStringLiteral("NSColorSpace"), m_builder.integer(1) } }));
        const quint64 stop = m_builder.add(record(QStringLiteral("GradientColorStop"),
            { { QStringLiteral("color"), m_builder.uid(color) },
                { QStringLiteral("location"), m_builder.real32(0.5f) } }));
        const quint64 gradient = m_builder.add(record(QStringLiteral("Gradient"),
            { { QStringLiteral("stops"), m_builder.uid(repeatedList(stop, stops)) } }));
        const quint64 fill = m_builder.add(record(QStringLiteral("GradientFill"),
            { { QStringLiteral("gradient"), m_builder.uid(gradient) },
                { QStringLiteral("type"), m_builder.integer(1) } }));
        std::vector<quint64> members;
        for (int i = 0; i < paths; ++i) {
            members.push_back(m_builder.add(record(QStringLiteral("PartPath"),
                { { QStringLiteral("segments"), m_builder.uid(list({ roundCurve(4) })) },
                    { QStringLiteral("fill"), m_builder.uid(fill) } })));
        }
        const quint64 shared = list(members);
        std::vector<quint64> partList;
        for (int i = 0; i < parts; ++i) {
            partList.push_back(m_builder.add(
                record(QStringLiteral("Part"), { { QStringLiteral("elements"), m_builder.uid(shared) } })));
        }
        return finish({}, partList);
    }
};

TEST_F(HostileFilesTest, ListsAndStopsNamedManyTimes)
{
    const struct {
        int parts, paths, stops;
        bool reads;
    } cases[] = {
        { 3, 4, 2, true },
        { 2, 3, 200'000, true },
        { 20'000, 2000, 2, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parts);
        const QByteArray file = SharedRecordsFile().make(c.parts, c.paths, c.stops);
        ASSERT_LT(file.size(), 2 * 1024 * 1024);
        const CharacterModelPtr model = read(file);
        ASSERT_EQ(bool(model), c.reads);
        if (!model)
            continue;
        const auto first = std::dynamic_pointer_cast<Part>(model->getParts().value(0));
        ASSERT_TRUE(first);
        EXPECT_EQ(int(first->numChildren()), c.paths);
        for (int i = 1; i < c.parts; ++i) {
            const auto other = std::dynamic_pointer_cast<Part>(model->getParts().value(i));
            EXPECT_TRUE(!other || other->numChildren() == 0);
        }
        const auto fill = std::dynamic_pointer_cast<GradientFill>(onlyPath(*model)->fill());
        ASSERT_TRUE(fill);
        EXPECT_EQ(fill->gradient()->numStops(), c.stops);
        EXPECT_LE(fill->gradient()->nsGradient().size(), Gradient::kMaxDrawnStops);
        expectSavedFileReadsBack(*model);
        model->retire();
    }
}

TEST_F(HostileFilesTest, SmallVersionsSeedTheFuzzCorpora)
{
    checkCorpusSeeds(QStringLiteral("fuzz_partsfile"),
        {
            { QStringLiteral("shared-name.parts"), sharedNamePartsFile(40, 12) },
            { QStringLiteral("shared-point.parts"), sharedPointPartsFile(40) },
            { QStringLiteral("shared-curve.parts"), sharedCurvePartsFile(20, 12) },
            { QStringLiteral("shared-image.parts"), sharedImagePartsFile(6, flatPng(96, 64)) },
            // A PDF image of a billion squares that runs out of budget.
            { QStringLiteral("pdf-fan-out.parts"),
                sharedImagePartsFile(1, test::fanOutPdf(test::FanOut::Forms, 9, 10)) },
        },
        { "shared-name.parts", "shared-point.parts", "shared-curve.parts", "shared-image.parts" });
    checkCorpusSeeds(QStringLiteral("fuzz_charxml"),
        { { QStringLiteral("shared-name.char"), sharedNameCharacterXml(12, 40) },
            { QStringLiteral("heavy-lines.char"),
                heavyCharacterXml(4, "1000000", { "100000000", "1000" }) } },
        {});
}

} // namespace
} // namespace zandrel
