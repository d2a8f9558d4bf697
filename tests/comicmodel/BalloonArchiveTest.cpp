// Balloon archives: what a balloon writes, read by plistlib; reading it back; older layouts and
// damaged files.
#include "BalloonTestSupport.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/Group.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ArchiveNames.h"
#include "platform/ArchiveOracle.h"
#include "platform/CorpusSeeds.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>
#include <limits>
#include <variant>

namespace zandrel {
namespace {

using test::archived;
using test::lettering;

// Writes whatever keys a test gives it under whatever class name, so that tests can make the
// archives of older versions and of damaged files with the real archiver.
class Record : public Object {
public:
    struct Float {
        float value;
    };
    struct Integer {
        qint64 value;
    };
    using Entry = std::pair<QString, std::variant<Value, Float, Integer>>;

    Record(QString className, std::vector<Entry> entries)
        : m_className(std::move(className))
        , m_entries(std::move(entries))
    {
    }
    static std::shared_ptr<Record> make(const QString& className, std::vector<Entry> entries)
    {
        return std::make_shared<Record>(className, std::move(entries));
    }
    QString className() const override { return m_className; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        for (const auto& [key, entry] : m_entries) {
            if (const auto* value = std::get_if<Value>(&entry))
                coder.encodeObject(*value, key);
            else if (const auto* real = std::get_if<Float>(&entry))
                coder.encodeFloat(real->value, key);
            else
                coder.encodeInteger(std::get<Integer>(entry).value, key);
        }
    }

private:
    QString m_className;
    std::vector<Entry> m_entries;
};

BalloonPtr readBalloon(const QByteArray& data)
{
    return KeyedUnarchiver::unarchive(data, { Balloon::kClassName }).toObject<Balloon>();
}

BalloonPtr richBalloon()
{
    BalloonPtr balloon = test::balloonWith(QStringLiteral("Who goes there?"), 150, QPointF(12.5, 30.25));
    AttributedText text = lettering(QStringLiteral("Who goes "));
    text.append(lettering(QStringLiteral("there?"), 20));
    balloon->setFormattedText(text);
    balloon->setShape(4);
    balloon->setStyle(2);
    auto second = std::make_shared<BalloonPointer>();
    second->setPointValues({ QPointF(0, 0), QPointF(-30, 40), QPointF(-70, 45) });
    second->setXPos(0.3f);
    second->setYPos(1.0f);
    balloon->setPointers({ balloon->pointers().first(), second });
    balloon->setLineColor(ZDLColor::colorFromHexNamed(QStringLiteral("102030"), QStringLiteral("Ink")));
    balloon->setLineColorAdjust(-0.25f);
    balloon->setLineWeight(2.5f);
    balloon->setFill(std::make_shared<GradientFill>());
    balloon->setLineDash(1);
    return balloon;
}

class BalloonArchiveTest : public test::BalloonTestBase {
protected:
    void TearDown() override { appController()->setWritingPasteboard(false); }
};

TEST_F(BalloonArchiveTest, WrittenInTheDocumentedLayoutAndReadBack)
{
    const BalloonPtr balloon = richBalloon();
    const QByteArray data = archived(balloon);
    test::expectPythonAccepts(R"PY(
import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
def obj(ref): return objects[ref.data]
def cls(record): return obj(record['$class'])['$classname']
root = obj(archive['$top']['root'])
assert cls(root) == 'Balloon'
keys = [k for k in root if k != '$class']
assert keys == ['originX', 'originY', 'width', 'attributedText', 'shape', 'style', 'pointers', 'lineColor',
                'lineColorAdjust', 'lineWeight', 'fill', 'dash'], keys
for key in ('originX', 'originY', 'width', 'lineColorAdjust', 'lineWeight'):
    assert type(root[key]) is float, key
assert (root['originX'], root['originY'], root['width']) == (12.5, 30.25, 150.0)
assert (root['shape'], root['style'], root['dash']) == (4, 2, 1)
assert (root['lineColorAdjust'], root['lineWeight']) == (-0.25, 2.5)
text = obj(root['attributedText'])
assert cls(text) == 'NSMutableAttributedString'
assert obj(text['NSString']) == 'Who goes there?'
assert cls(obj(root['lineColor'])) == 'ZDLColor' and cls(obj(root['fill'])) == 'GradientFill'
pointers = [obj(p) for p in obj(root['pointers'])['NS.objects']]
assert [cls(p) for p in pointers] == ['BalloonPointer', 'BalloonPointer']
assert [list(k for k in p if k != '$class') for p in pointers] == [['xpos', 'ypos', 'pointerPoints']] * 2
assert [(p['xpos'], p['ypos']) for p in pointers] == [(0.5, 0.75), (0.30000001192092896, 1.0)]
points = [[(obj(q)['x'], obj(q)['y'], cls(obj(q))) for q in obj(p['pointerPoints'])['NS.objects']] for p in pointers]
assert points == [[(0.0, 0.0, 'BalloonPoint'), (0.0, 72.0, 'BalloonPoint')],
                  [(0.0, 0.0, 'BalloonPoint'), (-30.0, 40.0, 'BalloonPoint'), (-70.0, 45.0, 'BalloonPoint')]], points
print('ok')
)PY",
        data);

    const BalloonPtr read = readBalloon(data);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->formattedText(), balloon->formattedText());
    EXPECT_EQ(read->origin(), balloon->origin());
    EXPECT_EQ(read->width(), 150.0f);
    EXPECT_EQ(read->getVisibleLineRects(), balloon->getVisibleLineRects());
    ASSERT_EQ(read->pointers().size(), 2);
    for (const BalloonPointerPtr& pointer : read->pointers())
        EXPECT_EQ(pointer->owner(), read.get());
    EXPECT_EQ(read->pointers()[1]->pointValues(), balloon->pointers()[1]->pointValues());
    EXPECT_EQ(read->lineColor()->name(), QStringLiteral("Ink"));
    EXPECT_EQ(read->fillType(), 1);
    EXPECT_EQ(archived(read), data) << "a second write gives the same bytes";
    EXPECT_EQ(read->getBounds(), balloon->getBounds());
}

TEST_F(BalloonArchiveTest, TheColourSetAndTheCharacterIdentifier)
{
    auto character = std::make_shared<CharacterModel>();
    character->setCharacterName(QStringLiteral("Hero"));
    const BalloonPtr balloon = test::emptyBalloon(60);
    character->setChildren({ balloon });

    // The identifier goes with the pasteboard only, and it is the colour set's.
    EXPECT_FALSE(
        test::checkWithPython(archived(balloon)).join(u'\n').contains(QStringLiteral(" characterId ")));
    appController()->setWritingPasteboard(true);
    const QByteArray pasteboard = archived(balloon);
    const BalloonPtr pasted = readBalloon(pasteboard);
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->characterId(), character->characterId());
    EXPECT_EQ(pasted->storedModel(), nullptr) << "the model link was looked up, not stored";

    // A stored colour set is written as a link and read back as one.
    const BalloonPtr linked = test::emptyBalloon(60);
    linked->setModel(character);
    appController()->setWritingPasteboard(false);
    const ValueList both { Value(linked), Value(character) };
    const ValueList read = KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(both),
        { PlatformClass::kArray, Balloon::kClassName, CharacterModel::kClassName })
                               .toList();
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].toObject<Balloon>()->storedModel(), read[1].toObject().get());
    character->retire();
}

TEST_F(BalloonArchiveTest, OlderLayoutsAndDamagedFiles)
{
    using F = Record::Float;
    using I = Record::Integer;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const auto point = [](double x, double y) { return Value(QPointF(x, y)); };
    const auto legacyPointer = [&](std::vector<Record::Entry> entries) {
        return Value(Record::make(BalloonPointer::kClassName, std::move(entries)));
    };
    const auto pointers = [](ValueList list) {
        return Record::Entry { QStringLiteral("pointers"), Value(list) };
    };
    const AttributedText oldText = lettering(QStringLiteral("Older text"));

    struct Case {
        const char* name;
        std::vector<Record::Entry> entries;
        std::function<void(const Balloon&)> check;
    };
    const Case cases[] = {
        { "text under the old key, and no pointers",
            { { "formattedText", Value(oldText) }, { "width", F { 90 } } },
            [&](const Balloon& b) {
                EXPECT_EQ(b.formattedText(), oldText);
                EXPECT_TRUE(b.pointers().isEmpty());
                EXPECT_EQ(b.width(), 90.0f);
            } },
        { "the old key holding no text keeps the default",
            { { "formattedText", Value(QStringLiteral("plain")) } },
            [](const Balloon& b) {
                EXPECT_EQ(b.formattedText().string(), QStringLiteral("Edit balloon text"));
            } },
        { "pointers as point values, without xpos",
            { pointers({ legacyPointer({ { "ypos", F { 0.5f } },
                { "points", Value(ValueList { point(0, 0), point(10, 20), point(15, 60) }) } }) }) },
            [](const Balloon& b) {
                ASSERT_EQ(b.pointers().size(), 1);
                EXPECT_EQ(b.pointers()[0]->pointValues(),
                    (QList<QPointF> { QPointF(0, 0), QPointF(10, 20), QPointF(15, 60) }));
                EXPECT_EQ(b.pointers()[0]->xPos(), 0.0f);
                EXPECT_EQ(b.pointers()[0]->yPos(), 0.5f);
                EXPECT_EQ(b.pointers()[0]->owner(), &b);
            } },
        { "pointers with too few points get the default tail",
            { pointers({ legacyPointer({ { "points", Value(ValueList { point(3, 4) }) } }),
                legacyPointer({ { "pointerPoints", Value(ValueList { Value(ZDLColor::blackColor()) }) } }),
                legacyPointer({}) }) },
            [](const Balloon& b) {
                ASSERT_EQ(b.pointers().size(), 3);
                for (const BalloonPointerPtr& p : b.pointers())
                    EXPECT_EQ(p->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(0, 72) }));
            } },
        { "refused classes keep black and white",
            { { "lineColor", Value(std::make_shared<ColorFill>()) },
                { "fill", Value(ZDLColor::blackColor()) },
                { "attributedText", Value(QStringLiteral("not text")) } },
            [](const Balloon& b) {
                EXPECT_EQ(b.lineColor(), ZDLColor::blackColor());
                EXPECT_EQ(b.fillColor(), ZDLColor::whiteColor());
                EXPECT_EQ(b.formattedText().string(), QStringLiteral("Edit balloon text"));
            } },
        { "missing scalars", {},
            [](const Balloon& b) {
                EXPECT_EQ(b.lineWeight(), 1.0f);
                EXPECT_EQ(b.lineDash(), 0);
                EXPECT_EQ(b.lineColorAdjust(), 0.0f);
                EXPECT_EQ(b.width(), 0.0f);
                EXPECT_EQ(b.shape(), 0);
            } },
        { "numbers that are no numbers",
            { { "originX", F { nan } }, { "originY", F { std::numeric_limits<float>::infinity() } },
                { "width", F { -std::numeric_limits<float>::infinity() } }, { "lineWeight", F { nan } },
                { "lineColorAdjust", F { nan } }, { "shape", I { std::numeric_limits<qint64>::max() } },
                pointers({ legacyPointer({ { "xpos", F { nan } },
                    { "points",
                        Value(ValueList { point(0, 0), point(std::nan(""), 4), point(5, 6) }) } }) }) },
            [](const Balloon& b) {
                EXPECT_EQ(b.origin(), QPointF());
                EXPECT_EQ(b.width(), 0.0f);
                EXPECT_EQ(b.lineWeight(), 1.0f);
                EXPECT_EQ(b.lineColorAdjust(), 0.0f);
                EXPECT_EQ(b.shape(), std::numeric_limits<int>::max());
                ASSERT_EQ(b.pointers().size(), 1);
                EXPECT_EQ(b.pointers()[0]->xPos(), 0.0f);
                EXPECT_EQ(b.pointers()[0]->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(5, 6) }));
                // Whatever the file held, the balloon measures and draws.
                EXPECT_TRUE(std::isfinite(b.getBounds().width()));
            } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const BalloonPtr read = readBalloon(archived(Record::make(Balloon::kClassName, c.entries)));
        ASSERT_TRUE(read);
        c.check(*read);
        test::rendered(QSize(40, 40), 1, [&](ZDLContext& context) { read->drawIn(context); });
    }
}

TEST_F(BalloonArchiveTest, APointerListedByTwoBalloonsBelongsToTheFirst)
{
    const auto shared = Record::make(BalloonPointer::kClassName, {});
    const auto balloon = [&] {
        return Value(
            Record::make(Balloon::kClassName, { { "pointers", Value(ValueList { Value(shared) }) } }));
    };
    const ValueList read
        = KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(ValueList { balloon(), balloon() }),
            { PlatformClass::kArray, Balloon::kClassName })
              .toList();
    ASSERT_EQ(read.size(), 2);
    const auto first = read[0].toObject<Balloon>();
    const auto second = read[1].toObject<Balloon>();
    ASSERT_EQ(first->pointers().size(), 1);
    EXPECT_EQ(first->pointers()[0]->owner(), first.get());
    EXPECT_TRUE(second->pointers().isEmpty());
}

// The seeds of the balloon reader's fuzz target: balloons of every shape and style with tails,
// merged balloons, the older layout and a group that lists itself.
QMap<QString, QByteArray> fuzzSeeds()
{
    QMap<QString, QByteArray> seeds;
    seeds.insert(QStringLiteral("rich.archive"), archived(richBalloon()));

    auto sheet = std::make_shared<Group>();
    for (int shape = 0; shape <= 5; ++shape) {
        for (int style = 0; style <= 4; ++style) {
            const BalloonPtr balloon = test::balloonWith(
                QStringLiteral("Hey! You\nthere!"), 80, QPointF(style * 120, shape * 100));
            balloon->setShape(shape);
            balloon->setStyle(style);
            balloon->pointers().first()->setPointValues(
                { QPointF(0, 0), QPointF(-20, 30), QPointF(-10, 60) });
            sheet->addComicElement(balloon);
        }
    }
    seeds.insert(QStringLiteral("shapes.archive"), archived(sheet));

    auto merged = std::make_shared<BalloonGroup>();
    merged->setChildren({ test::balloonWith(QStringLiteral("One"), 60),
        test::balloonWith(QStringLiteral("Two"), 60, QPointF(40, 10)) });
    auto outer = std::make_shared<Group>();
    outer->setChildren({ merged, test::emptyBalloon(30, QPointF(5, 80)) });
    seeds.insert(QStringLiteral("merged.archive"), archived(outer));

    const auto legacyPointer = Record::make(BalloonPointer::kClassName,
        { { "ypos", Record::Float { 0.5f } },
            { "points", Value(ValueList { Value(QPointF(0, 0)), Value(QPointF(10, 40)) }) } });
    seeds.insert(QStringLiteral("legacy.archive"),
        archived(Record::make(Balloon::kClassName,
            { { "formattedText", Value(lettering(QStringLiteral("Old"))) }, { "width", Record::Float { 70 } },
                { "pointers", Value(ValueList { Value(legacyPointer) }) } })));

    test::ArchiveBuilder b;
    const quint64 group = b.reserve();
    const quint64 list
        = b.add(b.record(b.classRecord(QStringLiteral("NSArray")), { { "NS.objects", b.uids({ group }) } }));
    b.set(group, b.record(b.classRecord(Group::kClassName), { { "elements", b.uid(list) } }));
    seeds.insert(QStringLiteral("self-group.archive"), b.finish(group));
    return seeds;
}

TEST_F(BalloonArchiveTest, FuzzSeedsMatchWhatTheArchiverWrites)
{
    const QMap<QString, QByteArray> seeds = fuzzSeeds();
    test::checkCorpusSeeds(QStringLiteral("fuzz_balloon"), seeds, seeds.keys());
}

} // namespace
} // namespace zandrel
