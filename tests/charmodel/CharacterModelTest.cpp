#include "charmodel/CharacterModel.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "charmodel/TestPartLeaf.h"
#include "charmodel/UIUtils.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLImage.h"
#include "platform/Canvas.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/OffscreenImage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

using test::TestPartLeaf;

class CharacterModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
        TestPartLeaf::registerClass();
    }

    static QStringList names(const CharacterModel& model)
    {
        QStringList result;
        for (const ZDLColorPtr& color : model.colors())
            result.append(color->name());
        return result;
    }
};

TEST_F(CharacterModelTest, NewCharacterDefaults)
{
    const auto model = std::make_shared<CharacterModel>();
    EXPECT_EQ(names(*model),
        QStringList({ QStringLiteral("None"), QStringLiteral("Black"), QStringLiteral("White"),
            QStringLiteral("Shadow"), QStringLiteral("Highlight") }));
    EXPECT_EQ(model->noneColor(), ZDLColor::noneColor());
    EXPECT_EQ(model->blackColor(), ZDLColor::blackColor());
    EXPECT_EQ(model->whiteColor(), ZDLColor::whiteColor());
    EXPECT_EQ(model->colors().at(3)->color(), RgbColor(0, 0, 0, 0.25));
    EXPECT_EQ(model->colors().at(4)->color(), RgbColor(1, 1, 1, 0.25));
    EXPECT_TRUE(model->styles().isEmpty());
    EXPECT_EQ(model->characterName(), QStringLiteral("Unnamed"));
    EXPECT_EQ(model->characterId(), QStringLiteral("Unnamed\t") + model->creator());
    EXPECT_EQ(model->lineColor(), ZDLColor::blackColor());
    EXPECT_EQ(model->fillType(), FillTypeColor);
    EXPECT_EQ(model->fillColor(), ZDLColor::whiteColor());
    EXPECT_FLOAT_EQ(model->tracingImageAlpha(), 0.2f);
    EXPECT_TRUE(model->tracingImageVisible());
    ASSERT_TRUE(model->documentSettings());
    EXPECT_FLOAT_EQ(model->documentSettings()->partEditingViewScale(), 4.0f);
    const QRectF thumbnail = model->thumbnailRect();
    EXPECT_DOUBLE_EQ(thumbnail.x(), 10);
    EXPECT_DOUBLE_EQ(thumbnail.y(), 10);
    EXPECT_NEAR(thumbnail.width(), 186.67, 0.01);
    EXPECT_NEAR(thumbnail.height(), 133.33, 0.01);
    EXPECT_TRUE(isEmptyRect(model->getTracingImageBounds()));
    EXPECT_EQ(model->getThumbnail().size(), QSize(280, 200));
    EXPECT_TRUE(model->getPartAliasesOfType(PartTypeHat).isEmpty());

    // Default styles exist only for the colours the palette has: no "Skin" in a new character.
    model->createDefaultStyles();
    ASSERT_EQ(model->styles().size(), 2);
    const NamedShapeStylePtr shadowStyle = model->styles().first();
    EXPECT_EQ(shadowStyle->name(), QStringLiteral("Shadow"));
    EXPECT_EQ(shadowStyle->lineColor(), ZDLColor::noneColor());
    EXPECT_EQ(shadowStyle->fillColor(), model->getColorNamed(QStringLiteral("Shadow")));
    EXPECT_FLOAT_EQ(shadowStyle->blur(), 1.35f);
    EXPECT_EQ(model->uniqueNameForStyle(nullptr, QStringLiteral("Shadow")), QStringLiteral("Shadow 1"));

    // A referenced character: the three required colours only, name and creator from the identifier.
    const auto referenced = CharacterModel::initFromId(QStringLiteral("Hero\tAnn"));
    EXPECT_EQ(referenced->colors().size(), 3);
    EXPECT_EQ(referenced->characterName(), QStringLiteral("Hero"));
    EXPECT_EQ(referenced->creator(), QStringLiteral("Ann"));
    EXPECT_FALSE(referenced->documentSettings());
    const auto untabbed = CharacterModel::initFromId(QStringLiteral("Hero"));
    EXPECT_EQ(untabbed->characterName(), QStringLiteral("Hero"));
    EXPECT_TRUE(untabbed->creator().isEmpty());
}

TEST_F(CharacterModelTest, DefaultFillSwitchesKeepTheRememberedColour)
{
    const auto model = std::make_shared<CharacterModel>();
    const ZDLColorPtr red = ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red"));
    model->addColor(red);

    model->setFillType(FillTypeGradient);
    const auto* gradientFill = dynamic_cast<const GradientFill*>(model->fill().get());
    ASSERT_TRUE(gradientFill);
    EXPECT_EQ(gradientFill->peekGradient()->colorOfStopAtIndex(0), RgbColor(1, 1, 1));
    EXPECT_EQ(gradientFill->peekGradient()->colorOfStopAtIndex(1), RgbColor(1, 1, 1));
    model->setFillType(FillTypeColor);
    EXPECT_EQ(model->fillColor(), ZDLColor::whiteColor());

    model->setFillType(FillTypeGradient);
    model->setUnconvertingFillColor(red);
    EXPECT_EQ(model->fillType(), FillTypeGradient);
    EXPECT_EQ(model->fillColor(), red);

    model->setFillColorAdjust(0.5f);
    ASSERT_EQ(model->fillType(), FillTypeColor);
    EXPECT_EQ(std::static_pointer_cast<ColorFill>(model->fill())->fillColor(), red);
    EXPECT_FLOAT_EQ(model->fillColorAdjust(), 0.5f);

    model->setFillType(FillTypeGradient);
    model->setFillColor(red);
    EXPECT_EQ(model->fillType(), FillTypeColor);
    EXPECT_EQ(model->fillColor(), red);

    // A new path starts with the defaults, blur excepted.
    PartPath path;
    path.setBlur(2.0f);
    model->setLineWeight(3.0f);
    model->setDefaultAttributesIn(path);
    EXPECT_EQ(path.lineColor(), ZDLColor::blackColor());
    EXPECT_EQ(path.fillColor(), red);
    EXPECT_FLOAT_EQ(path.lineWeight(), 3.0f);
    EXPECT_FLOAT_EQ(path.blur(), 2.0f);
}

TEST_F(CharacterModelTest, UniqueNames)
{
    const QStringList palette = { "Red", "Red 1", "Blue 2", "Sky 0", "Green 10000", "5", "Red 5", "Red 6",
        "Red 10", "Red 12", "Pink 2" };
    const struct {
        const char* requested;
        const char* expected;
    } cases[] = {
        { "Teal", "Teal" },
        { "Red", "Red 2" },
        // Counting goes on after the taken name's number, up to 10.
        { "Red 1", "Red 2" },
        { "Blue 2", "Blue 3" },
        { "Red 5", "Red 7" },
        { "Red 10", "Red 11" },
        { "Red 12", "Red 2" },
        { "Pink 2", "Pink 3" },
        { "Sky 0", "Sky 1" },
        { "Green 10000", "Green 10000 1" },
        { "5", "5 1" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UIUtils::uniqueName(palette, palette, QString::fromUtf8(c.requested)),
            QString::fromUtf8(c.expected))
            << c.requested;
    }
    // The item's own name is no clash.
    const auto model = std::make_shared<CharacterModel>();
    const ZDLColorPtr shadow = model->getColorNamed(QStringLiteral("Shadow"));
    EXPECT_EQ(model->uniqueNameForColor(shadow.get(), QStringLiteral("Shadow")), QStringLiteral("Shadow"));
    EXPECT_EQ(model->uniqueNameForColor(shadow.get(), QStringLiteral("White")), QStringLiteral("White 1"));
}

TEST_F(CharacterModelTest, UniqueNamesInABatchAreTheNamesOneAtATime)
{
    // Names drawn from a few stems and counts, so that requests clash with each other, with
    // counted names and with names that look counted but are not (" 0", " 10000", "1 2").
    std::mt19937 random(7);
    const QStringList stems { "A", "A 1", "B", "5", "" };
    const QStringList counts { "", " 1", " 2", " 0", " 10000", " 3", " 9", " 10", " 11", " 12" };
    const auto anyName
        = [&] { return stems[int(random() % stems.size())] + counts[int(random() % counts.size())]; };
    for (int round = 0; round < 200; ++round) {
        QStringList palette;
        for (int i = int(random() % 12); i > 0; --i)
            palette.append(anyName());

        // New items, as the XML import adds colours.
        QStringList oneByOne = palette;
        UniqueNames batch(palette);
        for (int i = 0; i < 12; ++i) {
            const QString requested = anyName();
            const QString expected = UIUtils::uniqueName(oneByOne, oneByOne, requested);
            ASSERT_EQ(batch.add(requested), expected) << requested.toStdString();
            oneByOne.append(expected);
        }

        // Items renamed in order while another bears their name, as a file's palette is.
        QStringList renamed = palette;
        UniqueNames names(palette);
        for (qsizetype i = 0; i < renamed.size(); ++i) {
            QStringList others = renamed;
            others.removeAt(i);
            const QString expected = UIUtils::uniqueName(others, renamed, renamed[i]);
            if (names.holders(renamed[i]) > 1)
                ASSERT_EQ(names.rename(renamed[i]), expected) << renamed[i].toStdString();
            else
                ASSERT_EQ(renamed[i], expected);
            renamed[i] = expected;
        }
    }
}

class CharacterPaletteTest : public CharacterModelTest {
protected:
    void SetUp() override
    {
        model = std::make_shared<CharacterModel>();
        model->setDocument(&document);
        NotificationCenter::defaultCenter().addObserver(
            this, QString(), model.get(), [this](const Notification& n) { posted.append(n.name); });
    }
    void TearDown() override { NotificationCenter::defaultCenter().removeObserver(this); }

    // Ends the event pass, and so the undo group, as returning to the event loop does.
    void endEvent() { QCoreApplication::processEvents(); }
    void undo()
    {
        endEvent();
        document.undoManager()->undo();
    }
    void redo() { document.undoManager()->redo(); }

    ZDLDocument document;
    CharacterModelPtr model;
    QStringList posted;
};

TEST_F(CharacterPaletteTest, AddInsertDeleteUndoAndRedo)
{
    const QStringList before = names(*model);
    const ZDLColorPtr red = ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red"));
    model->undoableInsertColor(red, 3);
    EXPECT_EQ(model->colors().indexOf(red), 3);
    undo();
    EXPECT_EQ(names(*model), before);
    redo();
    EXPECT_EQ(model->colors().indexOf(red), 3);

    endEvent();
    model->undoableDeleteColor(red);
    EXPECT_FALSE(model->ownsColor(red.get()));
    undo();
    EXPECT_EQ(model->colors().indexOf(red), 3);
    EXPECT_EQ(posted.count(kUpdateModelColorsNotification), 5);

    // Unknown and required colours are never deleted.
    endEvent();
    model->undoableDeleteColor(
        ZDLColor::colorFromHexNamed(QStringLiteral("#00FF00"), QStringLiteral("Lime")));
    model->undoableDeleteColor(model->blackColor());
    EXPECT_EQ(model->colors().size(), 6);
    EXPECT_EQ(model->blackColor(), ZDLColor::blackColor());
}

TEST_F(CharacterPaletteTest, ColourEditsAreUndoableAndRedrawInOrder)
{
    const ZDLColorPtr shadow = model->getColorNamed(QStringLiteral("Shadow"));
    shadow->setColor(RgbColor(0, 0, 1));
    EXPECT_EQ(posted, QStringList({ kUpdateModelColorsNotification, kFlushAllCachesUsingColorNotification }));
    endEvent();
    EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Edit Color"));
    undo();
    EXPECT_EQ(shadow->color(), RgbColor(0, 0, 0, 0.25));
    redo();
    EXPECT_EQ(shadow->color(), RgbColor(0, 0, 1));

    // A rename onto another colour's name is made unique within the same step.
    endEvent();
    shadow->setName(QStringLiteral("Highlight"));
    EXPECT_EQ(shadow->name(), QStringLiteral("Highlight 1"));
    undo();
    EXPECT_EQ(shadow->name(), QStringLiteral("Shadow"));

    // Locked colours are not watched; a removed colour no longer is.
    posted.clear();
    endEvent();
    const ZDLColorPtr red = ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red"));
    model->addColor(red);
    model->removeColor(red);
    posted.clear();
    red->setColor(RgbColor(0, 1, 0));
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(ZDLColor::blackColor()->hasObservers(QStringLiteral("color")));
}

TEST_F(CharacterPaletteTest, MergingPastedColoursByIdentityThenByName)
{
    const ZDLColorPtr shadow = model->getColorNamed(QStringLiteral("Shadow"));
    const ZDLColorPtr lookalike
        = ZDLColor::colorFromHexNamed(QStringLiteral("#123456"), QStringLiteral("Shadow"));
    const ZDLColorPtr stranger
        = ZDLColor::colorFromHexNamed(QStringLiteral("#654321"), QStringLiteral("Rust"));

    EXPECT_EQ(model->mergeColor(shadow), shadow);
    EXPECT_EQ(model->mergeColor(lookalike), shadow);
    EXPECT_EQ(shadow->color(), RgbColor(0, 0, 0, 0.25));
    EXPECT_EQ(model->mergeColor(nullptr), nullptr);

    // A pasted group: a path inside is relinked, the unknown colour joins the palette undoably.
    auto path = std::make_shared<PartPath>();
    path->setLineColor(lookalike);
    path->setFillColor(stranger);
    auto group = std::make_shared<PartGroup>();
    group->setChildren({ path });
    model->mergePastedColorsIn(group);
    EXPECT_EQ(path->lineColor(), shadow);
    EXPECT_EQ(path->fillColor(), stranger);
    EXPECT_TRUE(model->ownsColor(stranger.get()));
    undo();
    EXPECT_FALSE(model->ownsColor(stranger.get()));
}

// The palette finds colours by identity, name and value without walking it; through every kind of
// change it answers as a walk of it in order does.
TEST_F(CharacterPaletteTest, LookupsAnswerAsAWalkOfThePalette)
{
    QRandomGenerator random(7);
    const QStringList names { "Red", "Red 1", "Blue", "Shadow", "Black", "" };
    const auto value = [&] { return RgbColor(random.bounded(3) / 2.0, 0, random.bounded(2) ? -0.0 : 0.0); };
    const auto fresh
        = [&] { return ZDLColor::colorFromNSColor(value(), names.at(random.bounded(names.size()))); };
    QList<ZDLColorPtr> seen;
    for (int step = 0; step < 400; ++step) {
        const QList<ZDLColorPtr> colors = model->colors();
        const ZDLColorPtr some = colors.at(random.bounded(colors.size()));
        switch (random.bounded(7)) {
        case 0:
            seen.append(fresh());
            model->addColor(seen.last());
            break;
        case 1:
            seen.append(fresh());
            model->insertColor(seen.last(), random.bounded(colors.size() + 1));
            break;
        case 2:
            model->undoableDeleteColor(some);
            break;
        case 3:
            some->setName(names.at(random.bounded(names.size())));
            break;
        case 4:
            some->setColor(value());
            break;
        case 5:
            seen.append(fresh());
            model->mergeColor(seen.last());
            break;
        default:
            model->makeColorNamesUnique();
            break;
        }
        const QList<ZDLColorPtr> now = model->colors();
        for (const QString& name : names) {
            const auto walked
                = std::find_if(now.begin(), now.end(), [&](const auto& c) { return c->name() == name; });
            ASSERT_EQ(model->getColorNamed(name), walked == now.end() ? nullptr : *walked) << step;
        }
        for (const ZDLColorPtr& probe : seen) {
            ASSERT_EQ(model->ownsColor(probe.get()), now.contains(probe)) << step;
            const auto same = std::find_if(
                now.begin(), now.end(), [&](const auto& c) { return c->isSameColorAs(probe.get()); });
            ASSERT_EQ(model->colorMatchingColor(probe.get()), same == now.end() ? nullptr : *same) << step;
        }
    }
}

TEST_F(CharacterPaletteTest, MigratingAnOldPalette)
{
    const ZDLColorPtr red = ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red"));
    const ZDLColorPtr black = ZDLColor::colorFromHexNamed(QStringLiteral("#000000"), QStringLiteral("Black"));
    const ZDLColorPtr white = ZDLColor::colorFromHexNamed(QStringLiteral("#FFFFFF"), QStringLiteral("White"));
    const ZDLColorPtr hilite
        = ZDLColor::colorFromHexNamed(QStringLiteral("#FFFFFF"), QStringLiteral("Hilite"));
    model->setColors({ red, black, white, hilite });
    auto path = std::make_shared<PartPath>();
    path->setLineColor(ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Old red")));
    model->addPart(path);

    model->updateColors();
    EXPECT_EQ(model->colors(), QList<ZDLColorPtr>({ ZDLColor::noneColor(), black, white, red }));
    EXPECT_EQ(path->lineColor(), red);
    EXPECT_EQ(path->fillColor(), white);
    EXPECT_EQ(model->lineColor(), black);
    EXPECT_EQ(model->fillColor(), white);

    // A palette that holds none further down gets it in front once, not twice.
    model->setColors({ red, ZDLColor::noneColor(), black, white });
    model->updateColors();
    EXPECT_EQ(model->colors().count(ZDLColor::noneColor()), 1);
    EXPECT_EQ(model->colors().first(), ZDLColor::noneColor());
}

TEST_F(CharacterPaletteTest, ColoursMergeByTheirExactValues)
{
    // Every pair rounds to the same 16-bit channels, which merged them all; exact values merge only
    // the equal ones, however they were written.
    const struct Row {
        RgbColor entry;
        RgbColor used;
        bool merges;
    } rows[] = {
        { RgbColor(0.3, 0.1, 0.5), RgbColor(0.3, 0.1, 0.5), true },
        { RgbColor(77 / 255.0, 0, 1), RgbColor(0.30196078431372547, 0, 1), true }, // "#4D00FF" as text
        { RgbColor(0.3, 0.1, 0.5), RgbColor(0.300008, 0.1, 0.5), false },
        { RgbColor(1.0 / 3, 0, 0), RgbColor(double(1.0f / 3), 0, 0), false }, // a float's third
        { RgbColor(0, 0, 0, 0.5), RgbColor(0, 0, 0, 0.5000076), false },
        { RgbColor(0, 0, 0, 0.25), RgbColor(0, 0, 0, 0.2500038), false }, // a 16-bit shadow
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.used.description().toStdString());
        ASSERT_EQ(row.entry.toQColor(), row.used.toQColor());
        const ZDLColorPtr entry = ZDLColor::colorFromNSColor(row.entry, QStringLiteral("Entry"));
        const ZDLColorPtr used = ZDLColor::colorFromNSColor(row.used, QStringLiteral("Used"));
        EXPECT_EQ(entry->isSameColorAs(used), row.merges);
        EXPECT_EQ(used->isSameColorAs(entry), row.merges);

        // Migrating a palette relinks a path to an entry of the same value, or adds its colour.
        model->setColors({ ZDLColor::noneColor(), ZDLColor::blackColor(), ZDLColor::whiteColor(), entry });
        auto path = std::make_shared<PartPath>();
        path->setLineColor(used);
        model->setChildren({});
        model->addPart(path);
        model->updateColors();
        EXPECT_EQ(path->lineColor(), row.merges ? entry : used);
        EXPECT_EQ(model->colors().size(), row.merges ? 4 : 5);
    }
}

TEST_F(CharacterPaletteTest, UsageAndReplacement)
{
    const ZDLColorPtr red = ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red"));
    const ZDLColorPtr blue = ZDLColor::colorFromHexNamed(QStringLiteral("#0000FF"), QStringLiteral("Blue"));
    model->addColor(red);
    model->addColor(blue);
    EXPECT_TRUE(model->okToDeleteColor(red.get()));

    auto style = std::make_shared<NamedShapeStyle>();
    style->setLineColor(red);
    model->setStyles({ style });
    EXPECT_FALSE(model->okToDeleteColor(red.get()));

    auto path = std::make_shared<PartPath>();
    path->setFillColor(red);
    model->addPart(path);
    model->setFillType(FillTypeGradient);
    model->setUnconvertingFillColor(red);

    endEvent();
    model->replaceColor(red, blue, model, &document);
    EXPECT_EQ(style->lineColor(), blue);
    EXPECT_EQ(path->fillColor(), blue);
    EXPECT_EQ(model->fillColor(), blue);
    EXPECT_EQ(model->fillType(), FillTypeGradient);
    EXPECT_TRUE(model->okToDeleteColor(red.get()));
    undo();
    EXPECT_EQ(style->lineColor(), red);
    EXPECT_EQ(path->fillColor(), red);
    EXPECT_EQ(model->fillColor(), red);

    // Removing the remembered colour of a gradient default fill leaves a white colour fill.
    model->removeColor(red);
    EXPECT_EQ(model->fillType(), FillTypeColor);
    EXPECT_EQ(model->fillColor(), ZDLColor::whiteColor());
}

TEST_F(CharacterModelTest, ElementsHitTestsValidationAndRetiring)
{
    const auto model = std::make_shared<CharacterModel>();
    const auto lower = TestPartLeaf::make(QRectF(0, 0, 20, 20));
    const auto upper = TestPartLeaf::make(QRectF(10, 10, 20, 20));
    const auto broken = TestPartLeaf::make(QRectF(50, 50, 5, 5), false);
    model->setChildren({ lower, upper, broken });
    EXPECT_EQ(lower->parent(), model.get());
    EXPECT_EQ(model->getChildAt(QPointF(15, 15), 1.0f), upper);
    EXPECT_EQ(model->getChildAt(QPointF(5, 5), 1.0f), lower);
    EXPECT_EQ(model->getChildAt(QPointF(45, 45), 1.0f), nullptr);
    EXPECT_TRUE(equalRects(model->getBounds(), QRectF(0, 0, 55, 55)));

    Log::Capture log;
    EXPECT_TRUE(model->validateData());
    EXPECT_EQ(model->children(), ElementList({ lower, upper }));
    EXPECT_EQ(
        log.lines(), QStringList({ QStringLiteral("CharacterModel validateData removing an element") }));

    model->retire();
    EXPECT_EQ(lower->parent(), nullptr);
    EXPECT_EQ(upper->parent(), nullptr);
    EXPECT_EQ(model->numChildren(), 0u);
    EXPECT_TRUE(model->colors().isEmpty());
}

TEST_F(CharacterModelTest, TracingImageThumbnailAndLegacyData)
{
    ZDLDocument document;
    int redraws = 0;
    NotificationCenter::defaultCenter().addObserver(
        &redraws, kUpdateDocumentViewsNotification, &document, [&](const Notification&) { ++redraws; });
    const auto model = std::make_shared<CharacterModel>();
    model->setDocument(&document);

    QImage black(40, 20, QImage::Format_RGB32);
    black.fill(Qt::black);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    black.save(&buffer, "PNG");
    model->setTracingImage(ZDLImage::initWithData(png));
    model->setTracingImageScale(2.0f);
    model->setTracingImageScale(2.0f);
    EXPECT_EQ(redraws, 2);
    EXPECT_TRUE(equalRects(model->getTracingImageBounds(), QRectF(0, 0, 80, 40)));

    // Dark lines show through faintly over white; beyond the image nothing changes.
    OffscreenImage sheet(QSize(100, 50));
    sheet.canvas()->fillRect(QRectF(0, 0, 100, 50), CanvasPaint(QColor(Qt::white)));
    model->drawTracingImageIn(*sheet.canvas());
    const QImage traced = sheet.takeImage();
    EXPECT_LT(qGray(traced.pixel(70, 30)), 255);
    EXPECT_GT(qGray(traced.pixel(70, 30)), 128);
    EXPECT_EQ(traced.pixel(90, 45), QColor(Qt::white).rgba());

    model->setTracingImageVisible(false);
    EXPECT_TRUE(isEmptyRect(model->getTracingImageBounds()));
    EXPECT_EQ(redraws, 3);
    NotificationCenter::defaultCenter().removeObserver(&redraws);

    // The thumbnail frame starts at its origin: a part there lands in the top-left corner.
    model->addPart(TestPartLeaf::make(QRectF(10, 10, 10, 10)));
    const QImage thumbnail = model->getThumbnail();
    EXPECT_EQ(thumbnail.pixel(1, 1), QColor(Qt::red).rgba());
    EXPECT_EQ(thumbnail.pixel(16, 16), 0u);

    // A legacy file too short for its record count opens nothing.
    EXPECT_THROW(CharacterModel::initWithParts86Data(QByteArray("\x00\x01", 2)), Exception);
    EXPECT_EQ(CharacterModel::initWithParts86Data(QByteArray(2, '\0'))->numChildren(), 0u);
}

TEST_F(CharacterModelTest, PastingIntoACharacter)
{
    const auto model = std::make_shared<CharacterModel>();
    const auto other = std::make_shared<CharacterModel>();
    other->setCharacterName(QStringLiteral("Other"));

    // Groups holding one element are unwrapped, emptied groups dropped; parts forget their model.
    // Merged balloons are no plain group and stay as they are.
    const auto part = std::make_shared<Part>(other);
    const auto single = std::make_shared<Group>();
    single->setChildren({ part });
    const auto emptied = std::make_shared<Group>();
    emptied->setChildren({ std::make_shared<Group>() });
    const auto merged = std::make_shared<BalloonGroup>();
    merged->setChildren({ std::make_shared<Balloon>() });
    EXPECT_EQ(model->filterObjects({ single, emptied, merged }), ElementList({ part, merged }));
    EXPECT_EQ(part->model(), nullptr);

    // Loose part elements become one part of this character; a lone part group is unwrapped.
    const auto leaf = TestPartLeaf::make(QRectF(0, 0, 5, 5));
    const auto group = std::make_shared<PartGroup>();
    group->setChildren({ leaf });
    const ElementList scrap = model->filterScrapObjects({ group });
    ASSERT_EQ(scrap.size(), 1);
    const auto made = std::dynamic_pointer_cast<Part>(scrap.first());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->children(), ElementList({ leaf }));
    EXPECT_EQ(made->model(), model.get());
    EXPECT_TRUE(model->filterScrapObjects({}).isEmpty());

    // Aliases of a type, lowest first; -2 gives every type in display order.
    const auto tallHead = std::make_shared<Part>();
    tallHead->setChildren({ TestPartLeaf::make(QRectF(0, 0, 10, 30)) });
    tallHead->setPartType(PartTypeHead);
    const auto hat = std::make_shared<Part>();
    hat->setChildren({ TestPartLeaf::make(QRectF(0, 0, 10, 5)) });
    hat->setPartType(PartTypeHat);
    const auto shortHead = std::make_shared<Part>();
    shortHead->setChildren({ TestPartLeaf::make(QRectF(0, 0, 10, 10)) });
    shortHead->setPartType(PartTypeHead);
    const auto catalog = std::make_shared<CharacterModel>();
    catalog->setChildren({ hat, tallHead, shortHead });
    QList<QRectF> heights;
    for (const ObjectPtr& alias : catalog->getPartAliasesOfType(-2))
        heights.append(asProtocol<GraphicElement>(alias)->getBounds());
    EXPECT_EQ(heights, QList<QRectF>({ QRectF(0, 0, 10, 10), QRectF(0, 0, 10, 30), QRectF(0, 0, 10, 5) }));

    // Only a foreign identifier tells a paste from another character.
    EXPECT_TRUE(model->pastedPartsAreFromThisCharacter({ part }));
    part->setCharacterId(model->characterId());
    EXPECT_TRUE(model->pastedPartsAreFromThisCharacter({ part }));
    part->setCharacterId(other->characterId());
    EXPECT_FALSE(model->pastedPartsAreFromThisCharacter({ part }));

    // A pasted path inside a part of this character takes the palette's colours when validated.
    const auto pasted = std::make_shared<Part>();
    auto path = std::make_shared<PartPath>();
    path->setSegments({ std::make_shared<Curve>() });
    path->setLineColor(ZDLColor::colorFromHexNamed(QStringLiteral("#FFFFFF"), QStringLiteral("Highlight")));
    pasted->setChildren({ path });
    model->addPart(pasted);
    path->validateData();
    EXPECT_EQ(path->lineColor(), model->getColorNamed(QStringLiteral("Highlight")));
}

} // namespace
} // namespace zandrel
