#include "charmodel/PartsFile.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "charmodel/TestCharacters.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLImage.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/NotificationCenter.h"
#include "platform/PropertyList.h"
#include "support/ArchiveEditing.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <functional>
#include <gtest/gtest.h>
#include <unordered_map>

namespace zandrel {
namespace {

using test::richCharacter;

using test::editRoot;
using test::integer;
using test::real32;
using test::rootKeys;

QString exceptionOf(const QByteArray& data)
{
    try {
        readPartsFile(data);
    } catch (const Exception& exception) {
        return exception.name();
    }
    return QString();
}

class PartsFileTest : public ::testing::Test {
protected:
    void TearDown() override { appController()->setModalAlertHandler(nullptr); }
};

TEST_F(PartsFileTest, CharacterRoundTripsWithIdentityAndSameBytes)
{
    const CharacterModelPtr model = richCharacter();
    const QByteArray data = archivedPartsFile(*model);
    const CharacterModelPtr read = readPartsFile(data);
    ASSERT_TRUE(read);
    EXPECT_EQ(archivedPartsFile(*read), data);

    EXPECT_EQ(read->characterName(), "Hero");
    EXPECT_EQ(read->creator(), "Ann Artist");
    EXPECT_EQ(read->productCode(), "ART-7");
    EXPECT_EQ(read->partsKind(), 1);
    EXPECT_EQ(read->thumbnailOrigin(), QPointF(double(0.1f), -20));
    EXPECT_FLOAT_EQ(read->thumbnailScale(), 2.0f);
    EXPECT_FALSE(read->tracingImageVisible());
    ASSERT_TRUE(read->tracingImage());
    EXPECT_EQ(read->tracingImage()->size(), QSizeF(4, 3));
    EXPECT_FLOAT_EQ(read->documentSettings()->mainViewScale(), 2.0f);
    EXPECT_EQ(read->lineDash(), 3);
    EXPECT_EQ(read->fillType(), FillTypeGradient);

    // Palette entries are the very objects the defaults, styles and paths use.
    const QList<ZDLColorPtr> colors = read->colors();
    ASSERT_EQ(colors.size(), 7);
    EXPECT_EQ(colors[0], ZDLColor::noneColor());
    EXPECT_EQ(colors[1], ZDLColor::blackColor());
    EXPECT_EQ(colors[2], ZDLColor::whiteColor());
    EXPECT_EQ(colors[5]->name(), "Red");
    EXPECT_EQ(read->lineColor(), colors[5]);
    EXPECT_EQ(read->fillColor(), colors[6]);
    ASSERT_EQ(read->styles().size(), 3);
    EXPECT_EQ(read->styles()[0]->name(), "Skin");
    EXPECT_EQ(read->styles()[0]->fillColor(), colors[6]);
    EXPECT_EQ(read->styles()[1]->fillColor(), colors[3]);

    ASSERT_EQ(read->numChildren(), 2u);
    const auto part = std::dynamic_pointer_cast<Part>(read->getChildAtIndex(0));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->parent(), read.get());
    EXPECT_EQ(part->model(), read.get());
    ASSERT_EQ(part->numChildren(), 3u);
    const auto path = std::dynamic_pointer_cast<PartPath>(part->getChildAtIndex(0));
    ASSERT_TRUE(path);
    EXPECT_EQ(path->lineColor(), colors[5]);
    EXPECT_EQ(path->fillColor(), colors[6]);
    EXPECT_EQ(part->getChildAtIndex(1)->className(), "PartGroup");
    EXPECT_EQ(read->getChildAtIndex(1)->className(), "ImageElement");

    // Edits of a read colour are observed again, as in a new character.
    int updates = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        this, kUpdateModelColorsNotification, read.get(), [&](const Notification&) { ++updates; });
    colors[5]->setName(QStringLiteral("Crimson"));
    NotificationCenter::defaultCenter().removeObserverToken(token);
    EXPECT_GE(updates, 1);
}

TEST_F(PartsFileTest, IndependentReaderSeesTheKeysInOrderWithTheirTypes)
{
    const QString script = R"PY(
import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
root = objects[archive['$top']['root'].data]
keys = [k for k in root if k != '$class']
expected = ['fileVersion', 'losslessVersion', 'minimimAppVersion', 'minimimLosslessAppVersion', 'productCode',
    'colors', 'parts', 'lineColor', 'lineAlpha', 'fillColor', 'lineColorAdjust', 'dash', 'fill', 'fillAlpha',
    'lineWeight', 'name', 'creator', 'tracingImage', 'tracingImageScale', 'tracingImageAlpha',
    'tracingImageVisible', 'styles', 'partsKind', 'thumbScale', 'thumbLeft', 'thumbTop', 'docSettings']
assert keys == expected, keys
assert type(root['fileVersion']) is int and root['fileVersion'] == 7
assert type(root['losslessVersion']) is int and root['losslessVersion'] == 4
assert objects[root['minimimAppVersion'].data] == '1.0.134'
assert objects[root['minimimLosslessAppVersion'].data] == '1.0.113'
assert objects[root['productCode'].data] == 'ART-7'
assert objects[root['name'].data] == 'Hero'
for key in ('lineAlpha', 'lineColorAdjust', 'fillAlpha', 'lineWeight', 'tracingImageScale', 'thumbScale', 'thumbTop'):
    assert type(root[key]) is float, key
assert type(root['dash']) is int and root['dash'] == 3
assert root['tracingImageVisible'] is False
assert objects[root['$class'].data]['$classname'] == 'CharacterModel'
parts = objects[root['parts'].data]['NS.objects']
part = objects[parts[0].data]
assert part['model'] == archive['$top']['root'], 'a part refers back to the root'
print('ok')
)PY";
    QString output;
    const int status = test::runPython(script, archivedPartsFile(*richCharacter()), &output);
    if (status == -1)
        GTEST_SKIP() << "python3 is not available";
    EXPECT_EQ(status, 0) << output.toStdString();

    // Without a product code or a tracing image those keys are not written at all.
    const QStringList keys = rootKeys(archivedPartsFile(*std::make_shared<CharacterModel>()));
    EXPECT_FALSE(keys.contains("productCode"));
    EXPECT_FALSE(keys.contains("tracingImage"));
    EXPECT_EQ(keys.size(), 26) << "the 25 other keys and the class";
}

TEST_F(PartsFileTest, OlderFilesReadWithTheDefaults)
{
    const CharacterModelPtr model = richCharacter();
    model->setFillColor(model->colors()[5]);
    model->setFillColorAdjust(0.25f);
    const QByteArray older = editRoot(archivedPartsFile(*model),
        { "fill", "styles", "tracingImageVisible", "lineAlpha", "thumbScale", "docSettings", "lineColor",
            "tracingImageScale", "fillAlpha" },
        { { "fillColorAdjust", real32(0.25f) } });
    const CharacterModelPtr read = readPartsFile(older);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->fillType(), FillTypeColor);
    EXPECT_EQ(read->fillColor(), read->colors()[5]);
    EXPECT_FLOAT_EQ(read->fillColorAdjust(), 0.25f);
    EXPECT_TRUE(read->tracingImageVisible());
    EXPECT_FLOAT_EQ(read->lineAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(read->thumbnailScale(), 1.5f);
    EXPECT_EQ(read->thumbnailOrigin(), QPointF(10, 10));
    EXPECT_FLOAT_EQ(read->documentSettings()->mainViewScale(), 1.0f);
    EXPECT_EQ(read->lineColor(), ZDLColor::blackColor());
    EXPECT_FLOAT_EQ(read->tracingImageScale(), 0.0f);
    EXPECT_FLOAT_EQ(read->fillAlpha(), 0.0f);
    QStringList styles;
    for (const auto& style : read->styles())
        styles.append(style->name());
    EXPECT_EQ(styles, QStringList({ "Skin", "Shadow", "Highlight" }));

    // Without a palette the defaults still find black and white in front.
    const CharacterModelPtr bare
        = readPartsFile(editRoot(archivedPartsFile(*model), { "colors", "fillColor" }));
    ASSERT_GE(bare->colors().size(), 3);
    EXPECT_EQ(bare->colors()[0], ZDLColor::noneColor());
    EXPECT_EQ(bare->colors()[1], ZDLColor::blackColor());
    EXPECT_EQ(bare->colors()[2], ZDLColor::whiteColor());
    EXPECT_TRUE(bare->ownsColor(bare->lineColor().get()));
}

TEST_F(PartsFileTest, DuplicateColourNamesAreMadeUnique)
{
    const auto model = std::make_shared<CharacterModel>();
    model->addColor(ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red")));
    model->addColor(ZDLColor::colorFromHexNamed(QStringLiteral("#EE0000"), QStringLiteral("Red")));
    const CharacterModelPtr read = readPartsFile(archivedPartsFile(*model));
    ASSERT_EQ(read->colors().size(), 7);
    EXPECT_EQ(read->colors()[5]->name(), "Red 1");
    EXPECT_EQ(read->colors()[6]->name(), "Red");

    // A taken numbered name goes on counting after its number.
    const auto numbered = std::make_shared<CharacterModel>();
    for (const char* name : { "Red 5", "Red 5", "Red 6" })
        numbered->addColor(ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), name));
    const CharacterModelPtr numberedRead = readPartsFile(archivedPartsFile(*numbered));
    EXPECT_EQ(numberedRead->colors()[5]->name(), "Red 7");
    EXPECT_EQ(numberedRead->colors()[6]->name(), "Red 5");

    // Many equal names, as a hostile file may hold, are made unique without a quadratic search.
    const auto many = std::make_shared<CharacterModel>();
    for (int i = 0; i < 20000; ++i)
        many->addColor(ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), i % 3 ? "Red" : "Red 2"));
    QElapsedTimer timer;
    timer.start();
    const CharacterModelPtr manyRead = readPartsFile(archivedPartsFile(*many));
    EXPECT_LT(timer.elapsed(), 20000);
    QSet<QString> names;
    for (const ZDLColorPtr& color : manyRead->colors())
        names.insert(color->name());
    EXPECT_EQ(names.size(), manyRead->colors().size());
}

TEST_F(PartsFileTest, AnotherProducersColoursReadExactlyAndSaveBackToTheSameBytes)
{
    // Written by data/make_exact_colours_parts.py, not by our archiver.
    QFile file(test::sourcePath(QStringLiteral("tests/charmodel/data/exact-colours.parts")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const CharacterModelPtr read = readPartsFile(data);
    ASSERT_TRUE(read);
    const QList<ZDLColorPtr> colors = read->colors();
    ASSERT_EQ(colors.size(), 7);
    const RgbColor expected[]
        = { RgbColor(1, 1, 1), RgbColor(0, 0, 0), RgbColor(1, 1, 1), RgbColor(0, 0, 0, 0.25),
              RgbColor(1, 1, 1, 0.25), RgbColor(0.1, 0.3, 0.5), RgbColor(1.0 / 3, 0.25, 0.5, 0.5) };
    for (qsizetype i = 0; i < colors.size(); ++i)
        EXPECT_EQ(colors[i]->color(), expected[i]) << colors[i]->name().toStdString();
    EXPECT_EQ(read->lineColor(), colors[5]);
    EXPECT_EQ(read->fillColor(), colors[6]);
    EXPECT_EQ(archivedPartsFile(*read).toHex(), data.toHex());
}

TEST_F(PartsFileTest, NewerFormatsAreRefusedOrAskedAbout)
{
    const QByteArray data = archivedPartsFile(*richCharacter());
    EXPECT_EQ(exceptionOf(editRoot(data, {}, { { "fileVersion", integer(8) } })), kFileTooNewException);

    int asked = 0;
    int answer = ModalAlert::kFirstButton;
    appController()->setModalAlertHandler([&](const ModalAlert&) {
        ++asked;
        return answer;
    });
    const QByteArray lossy = editRoot(data, {}, { { "losslessVersion", integer(5) } });
    EXPECT_EQ(exceptionOf(lossy), kUserCancelledException);
    answer = ModalAlert::kSecondButton;
    EXPECT_EQ(exceptionOf(lossy), QString());
    EXPECT_EQ(asked, 2);

    // Anything that is not a character, or no archive at all, is corrupt data.
    EXPECT_EQ(exceptionOf(KeyedArchiver::archivedDataWithRootObject(std::make_shared<DocumentSettings>())),
        kInvalidArchiveException);
    EXPECT_EQ(exceptionOf(data.left(data.size() / 2)), kInvalidArchiveException);
}

// The reader forgets lists that nothing holds any more (a curve keeps its points, not their list);
// a list named again after that is read anew, and owners still get points of their own.
TEST_F(PartsFileTest, APointListNamedAgainAfterManyOthersReadsTheSame)
{
    constexpr int kCurves = 3000; // enough lists that the reader sweeps them more than once
    auto model = std::make_shared<CharacterModel>();
    auto part = std::make_shared<Part>();
    auto path = std::make_shared<PartPath>();
    QList<CurvePtr> curves;
    for (int i = 0; i < kCurves; ++i)
        curves.append(Curve::initWithPolygonPoints({ QPointF(i, 0), QPointF(i + 1, 2), QPointF(i, 3) }, 0));
    path->setSegments(curves);
    part->setChildren({ path });
    model->setChildren({ part });
    const QByteArray data = archivedPartsFile(*model);

    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    QList<quint64> curveUids;
    for (const auto& [uid, name] : test::archivedObjects(data)) {
        if (name == Curve::kClassName)
            curveUids.append(uid);
    }
    ASSERT_EQ(curveUids.size(), kCurves);
    const quint64 firstPoints = list.uid(list.valueForKey(objects[curveUids.first()], u"points"));
    const quint64 last = curveUids.last();
    const QByteArray shared = test::editObjects(data, [last](quint64 uid) { return uid == last; },
        { QStringLiteral("points") }, { { QStringLiteral("points"), test::uidRef(firstPoints) } });

    const CharacterModelPtr read = readPartsFile(shared);
    const auto readPart = std::dynamic_pointer_cast<Part>(read->children()[0]);
    ASSERT_TRUE(readPart);
    const auto readPath = std::dynamic_pointer_cast<PartPath>(readPart->children()[0]);
    ASSERT_TRUE(readPath);
    const QList<CurvePtr> segments = readPath->segments();
    ASSERT_EQ(segments.size(), kCurves);
    const CurvePtr& first = segments.first();
    const CurvePtr& again = segments.last();
    ASSERT_EQ(again->numPoints(), first->numPoints());
    for (int i = 0; i < first->numPoints(); ++i) {
        EXPECT_EQ(again->getPointAtIndex(i)->point(), first->getPointAtIndex(i)->point());
        EXPECT_NE(again->getPointAtIndex(i), first->getPointAtIndex(i));
    }
    EXPECT_EQ(segments[1]->getPointAtIndex(0)->point(), QPointF(1, 0));
}

} // namespace
} // namespace zandrel
