#include "ArchiveOracle.h"
#include "ArchiveTestClasses.h"
#include "platform/KeyedArchiveText.h"
#include "platform/PropertyList.h"
#include "support/TestSupport.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace zandrel {
namespace {

using namespace test;

class KeyedArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerArchiveTestClasses); }
};

ValueMap sampleValues()
{
    ValueMap map;
    map.insert("string", QStringLiteral("text \u00e9\u4e2d"));
    map.insert("integer", Value(qint64(-42)));
    map.insert("float", Value(0.1f));
    map.insert("double", Value(0.1));
    map.insert("bool", Value(true));
    map.insert("data", Value(QByteArray("\x00\x01\xff", 3)));
    map.insert("point", Value(QPointF(400, -300.25)));
    map.insert("size", Value(QSizeF(0.1, 1e-7)));
    map.insert("rect", Value(QRectF(1e20, -0.0, 3, 4.5)));
    map.insert("color", Value(RgbColor(0.1, 1.0 / 3, 0.25, 0.5)));
    map.insert("transform", Value(QTransform(1, 0.5, -0.5, 2, 10.25, -3)));
    map.insert("null", Value());
    // Empty strings, as key and as value, are objects of their own, not "$null".
    map.insert("", QStringLiteral("empty key"));
    map.insert("empty", QString());
    map.insert(
        "list", Value(ValueList { Value(1), Value(QStringLiteral("two")), Value(ValueList { Value(3.5) }) }));
    return map;
}

std::shared_ptr<TestNode> sampleGraph()
{
    auto root = std::make_shared<TestNode>();
    auto a = std::make_shared<TestNode>();
    auto b = std::make_shared<TestSpecialNode>();
    auto swatch = std::make_shared<TestSwatch>();
    swatch->kind = 2;
    swatch->color = RgbColor(0.1, 0.3, 0.5);
    root->name = QStringLiteral("root");
    a->name = QStringLiteral("a");
    b->name = QStringLiteral("b\u00e9");
    a->parent = root;
    b->parent = root;
    a->swatch = swatch;
    b->swatch = swatch;
    root->swatch = std::make_shared<TestSwatch>(); // kind 0: replaced by the shared swatch
    root->children = { a, b };
    root->extra = sampleValues();
    root->weight = 0.1f;
    root->count = -5000000000;
    root->small = -7;
    root->flag = true;
    root->precise = 0.1;
    root->origin = QPointF(400, -300.5);
    root->frame = QRectF(0.1, 2, 1e-7, 1e20);
    root->bytes = QByteArray("\x00\xff", 2);
    return root;
}

TEST_F(KeyedArchiveTest, GraphRoundTripKeepsSharingCyclesReplacementsAndScalars)
{
    const auto original = sampleGraph();
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(original);
    const Value decoded = KeyedUnarchiver::unarchive(archive, { QStringLiteral("TestNode") });
    const auto root = decoded.toObject<TestNode>();
    ASSERT_TRUE(root);
    ASSERT_EQ(root->children.size(), 2u);
    const auto& a = root->children[0];
    const auto& b = root->children[1];
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(std::dynamic_pointer_cast<TestSpecialNode>(b));
    EXPECT_EQ(b->name, QStringLiteral("b\u00e9"));
    // The parent links were decoded while the root was still in progress.
    EXPECT_EQ(a->parent.lock().get(), root.get());
    EXPECT_EQ(b->parent.lock().get(), root.get());
    EXPECT_EQ(root->parent.lock().get(), nullptr);
    // One swatch object encoded twice is one object again; kind 0 became the shared instance.
    EXPECT_EQ(a->swatch, b->swatch);
    EXPECT_EQ(a->swatch->color, RgbColor(0.1, 0.3, 0.5));
    EXPECT_EQ(root->swatch, TestSwatch::shared());

    EXPECT_EQ(root->weight, 0.1f);
    EXPECT_EQ(root->count, -5000000000);
    EXPECT_EQ(root->small, -7);
    EXPECT_TRUE(root->flag);
    EXPECT_EQ(root->precise, 0.1);
    EXPECT_EQ(root->origin, QPointF(400, -300.5));
    EXPECT_EQ(root->frame, QRectF(0.1, 2, 1e-7, 1e20));
    EXPECT_EQ(root->bytes, QByteArray("\x00\xff", 2));
    EXPECT_EQ(root->extra, Value(sampleValues())) << root->extra.toDebugString().toStdString();

    // Output is deterministic, and what was read writes back to the same bytes.
    EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(sampleGraph()), archive);
    EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(root), archive);

    const QStringList lines = checkWithPython(archive);
    if (!lines.isEmpty()) {
        for (const char* expected :
            { "1 weight real4", "1 precise real8", "1 count int", "1 small int", "1 flag bool", "1 name uid",
                "1 origin uid", "1 bytes data", "1 $class uid", "1 parent uid" })
            EXPECT_TRUE(lines.contains(QLatin1String(expected))) << expected;
    }
}

TEST_F(KeyedArchiveTest, ObjectsNumberInPreorderWithClassRecordsAfterTheirFields)
{
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(sampleGraph());
    const PropertyList list = PropertyList::fromBinary(archive);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    auto uidAt = [&](quint64 uid, const char16_t* key) {
        return list.uid(list.valueForKey(objects[uid], QStringView(key)));
    };
    EXPECT_EQ(list.string(objects[0]), QStringLiteral("$null"));
    EXPECT_EQ(list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root")), 1u);
    const quint64 childrenArray = uidAt(1, u"children");
    EXPECT_GT(childrenArray, 1u);
    const auto children = list.items(list.valueForKey(objects[childrenArray], u"NS.objects"));
    ASSERT_EQ(children.size(), 2u);
    const quint64 a = list.uid(children[0]);
    const quint64 b = list.uid(children[1]);
    EXPECT_GT(a, childrenArray);
    EXPECT_GT(b, a);
    // The first TestNode to finish is the child a; its class record follows all of a's fields.
    const quint64 nodeClass = uidAt(a, u"$class");
    EXPECT_EQ(uidAt(1, u"$class"), nodeClass);
    for (const char16_t* key : { u"name", u"swatch", u"children" })
        EXPECT_LT(uidAt(a, key), nodeClass);
    EXPECT_LT(nodeClass, b);
    const auto classes = list.items(list.valueForKey(objects[uidAt(b, u"$class")], u"$classes"));
    ASSERT_EQ(classes.size(), 3u);
    EXPECT_EQ(list.string(classes[0]), QStringLiteral("TestSpecialNode"));
    EXPECT_EQ(list.string(classes[1]), QStringLiteral("TestNode"));
    EXPECT_EQ(list.string(classes[2]), QStringLiteral("NSObject"));
}

// Inline numbers: every distinct bit pattern of a kind is one object of the file and every repeat
// refers to it, across more distinct numbers than any table of recent ones holds, with signed
// zeros, NaN and numbers equal in value but of other kinds kept apart; all read back exactly.
TEST_F(KeyedArchiveTest, EqualInlineNumbersAreOneObjectAndDistinctBitPatternsStayApart)
{
    std::vector<float> floats { 0.0f, -0.0f, std::nanf(""), INFINITY, 1.0f, 0.1f };
    std::vector<double> doubles { 0.0, -0.0, std::nan(""), 1.0, double(0.1f), 0.1 };
    std::vector<qint64> integers { 0, 1, -1, 100000, qint64(1) << 40, -5000000000 };
    for (int i = 0; i < 20000; ++i) {
        floats.push_back(float(i) * 0.25f + 3.0f);
        doubles.push_back(double(i) * 1.5 - 7.0);
        integers.push_back(qint64(i) * 977 - 3000);
    }
    auto root = std::make_shared<TestNode>();
    for (size_t i = 0; i < 3 * floats.size(); ++i) {
        // Repeats at varying distances, so that some find their first and some were forgotten.
        const size_t at = (i * 7919) % floats.size();
        auto child = std::make_shared<TestNode>();
        child->weight = floats[at];
        child->precise = doubles[at];
        child->count = integers[at];
        child->small = qint32(integers[(at + 1) % integers.size()] & 0x7fffffff);
        root->children.push_back(child);
    }
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(root);

    const auto decoded = KeyedUnarchiver::unarchive(archive, { TestNode::kClassName }).toObject<TestNode>();
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->children.size(), root->children.size());
    std::set<quint32> floatBits { std::bit_cast<quint32>(0.0f) };
    std::set<quint64> doubleBits { std::bit_cast<quint64>(0.0) };
    std::set<qint64> ints { 0, 100000 }; // the root's own and the archive's version
    for (size_t i = 0; i < root->children.size(); ++i) {
        const TestNode& written = *root->children[i];
        const TestNode& read = *decoded->children[i];
        EXPECT_EQ(std::bit_cast<quint32>(read.weight), std::bit_cast<quint32>(written.weight)) << i;
        EXPECT_EQ(std::bit_cast<quint64>(read.precise), std::bit_cast<quint64>(written.precise)) << i;
        EXPECT_EQ(read.count, written.count);
        EXPECT_EQ(read.small, written.small);
        floatBits.insert(std::bit_cast<quint32>(written.weight));
        doubleBits.insert(std::bit_cast<quint64>(written.precise));
        ints.insert(written.count);
        ints.insert(written.small);
    }

    // A file's object table as read: the numbers in it, by kind and bit pattern, are all distinct.
    const PropertyList list = PropertyList::fromBinary(archive);
    std::set<quint32> fileFloats;
    std::set<quint64> fileDoubles;
    std::set<qint64> fileInts;
    size_t numbers = 0;
    for (PropertyList::Index node = 0; node < PropertyList::Index(list.size()); ++node) {
        switch (list.kind(node)) {
        case PropertyList::Kind::Real32:
            fileFloats.insert(std::bit_cast<quint32>(float(list.realValue(node))));
            break;
        case PropertyList::Kind::Real64:
            fileDoubles.insert(std::bit_cast<quint64>(list.realValue(node)));
            break;
        case PropertyList::Kind::Int:
            fileInts.insert(list.intValue(node));
            break;
        default:
            continue;
        }
        ++numbers;
    }
    EXPECT_EQ(fileFloats, floatBits);
    EXPECT_EQ(fileDoubles, doubleBits);
    EXPECT_EQ(fileInts, ints);
    EXPECT_EQ(numbers, floatBits.size() + doubleBits.size() + ints.size());
}

// The worked example of a colour archive written by the reference system, 274 bytes.
TEST_F(KeyedArchiveTest, ReproducesAReferenceColourArchiveByteForByte)
{
    class ReferenceColor : public Object {
    public:
        QString className() const override { return QStringLiteral("NSColor"); }
        void encodeWithCoder(KeyedArchiver& coder) const override
        {
            coder.encodeBytes(
                QByteArray("0.1803921569 0.2039215686 0.2509803922", 39), QStringLiteral("NSRGB"));
            coder.encodeInt(1, QStringLiteral("NSColorSpace"));
        }
    };
    const QByteArray expected = QByteArray::fromHex(
        "62706c6973743030" // bplist00
        "d40102030405061516" // top dict: keys 1-4, values 5, 6, 21, 22
        "582476657273696f6e" // "$version"
        "58246f626a65637473" // "$objects"
        "59246172636869766572" // "$archiver"
        "5424746f70" // "$top"
        "12000186a0" // int32 100000
        "a307080f" // $objects [7, 8, 15]
        "55246e756c6c" // "$null"
        "d3090a0b0c0d0e" // colour record: keys 9-11, values 12-14
        "554e53524742" // "NSRGB"
        "5c4e53436f6c6f725370616365" // "NSColorSpace"
        "5624636c617373" // "$class"
        "4f1027302e3138303339323135363920302e3230333932313536383620302e32" // NSRGB data, 39 bytes
        "35303938303339323200"
        "1001" // int8 1
        "8002" // UID 2
        "d210111213" // class record: keys 16, 17, values 18, 19
        "5a24636c6173736e616d65" // "$classname"
        "5824636c6173736573" // "$classes"
        "574e53436f6c6f72" // "NSColor"
        "a21214" // [18, 20]
        "584e534f626a656374" // "NSObject"
        "5f100f4e534b657965644172636869766572" // "NSKeyedArchiver"
        "d11718" // $top: {23: 24}
        "54726f6f74" // "root"
        "8001" // UID 1
        "08111a232d32373b41484e5b628c8e9095a0a9b1b4bdcfd2d7" // offset table at 217
        "00000000000001010000000000000019000000000000000000000000000000d9"); // trailer
    ASSERT_EQ(expected.size(), 274);
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(std::make_shared<ReferenceColor>());
    EXPECT_EQ(archive.toHex(), expected.toHex());

    // Read, the colour keeps the file's components; written again, it gives the file's bytes.
    const Value color = KeyedUnarchiver::unarchive(archive, { QStringLiteral("NSColor") });
    EXPECT_EQ(color.toColor(), RgbColor(0.1803921569, 0.2039215686, 0.2509803922));
    EXPECT_EQ(KeyedArchiver::archivedData(color).toHex(), expected.toHex());
    checkWithPython(archive);
}

TEST_F(KeyedArchiveTest, ColoursArchiveTheirExactComponentsInShortestDigits)
{
    // 16-bit channels turned 0.3 into 0.300008 and 0.25 into 0.2500038; double components do not.
    const std::pair<RgbColor, QByteArray> rows[] = {
        { RgbColor(0.1, 0.3, 0.5), "0.1 0.3 0.5" },
        { RgbColor(1.0 / 3, 0.25, 0, 0.5), "0.3333333333333333 0.25 0 0.5" },
        { RgbColor(0, 0, 0, 0.25), "0 0 0 0.25" }, // the palette's default shadow
        { RgbColor(1, 1, 1, 0.25), "1 1 1 0.25" }, // and highlight
        { RgbColor(1, 0, 1, 0), "1 0 1 0" },
        { RgbColor(204 / 255.0, 1e-7, 1), "0.8 1e-07 1" },
    };
    ValueList colors;
    for (const auto& [color, text] : rows) {
        EXPECT_EQ(archivetext::rgbComponents(color), text + '\0');
        colors.append(color);
    }
    const QByteArray archive = KeyedArchiver::archivedData(colors);
    EXPECT_EQ(KeyedUnarchiver::unarchive(archive, { QStringLiteral("NSArray"), QStringLiteral("NSColor") }),
        Value(colors));

    // Another reader takes the text for the same numbers.
    const QString script = R"PY(
import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
array = objects[archive['$top']['root'].data]
read = [[float(x) for x in objects[u.data]['NSRGB'].rstrip(b'\0').split()] for u in array['NS.objects']]
assert read == [[0.1, 0.3, 0.5], [1 / 3, 0.25, 0, 0.5], [0, 0, 0, 0.25], [1, 1, 1, 0.25], [1, 0, 1, 0],
    [204 / 255, 1e-7, 1]], read
)PY";
    QString output;
    const int status = test::runPython(script, archive, &output);
    if (status != -1) {
        EXPECT_EQ(status, 0) << output.toStdString();
    }

    EXPECT_EQ(archivetext::pointString(QPointF(400, 300)), QStringLiteral("{400, 300}"));
    EXPECT_EQ(
        archivetext::rectString(QRectF(0.1, -2, 1e-7, 1e20)), QStringLiteral("{{0.1, -2}, {1e-07, 1e+20}}"));
}

TEST_F(KeyedArchiveTest, GeometryTextIsReadLeniently)
{
    struct Case {
        const char* text;
        QRectF rect;
    };
    const Case cases[] = {
        { "{{400, 300}, {200, 300}}", QRectF(400, 300, 200, 300) },
        { "{{400.0,300.0},{2e2 , -3}}", QRectF(400, 300, 200, -3) },
        { "{{1.5, 2}}", QRectF(1.5, 2, 0, 0) },
        { "", QRectF() },
        { "garbage - . e", QRectF() },
        { "{{1e999, -1e999}, {1e-999, 7}}", QRectF(qInf(), -qInf(), 0, 7) },
    };
    for (const Case& c : cases) {
        // Component by component: QRectF's own comparison is fuzzy and fails on infinities.
        const QRectF rect = archivetext::parseRect(QString::fromLatin1(c.text));
        EXPECT_EQ(rect.x(), c.rect.x()) << c.text;
        EXPECT_EQ(rect.y(), c.rect.y()) << c.text;
        EXPECT_EQ(rect.width(), c.rect.width()) << c.text;
        EXPECT_EQ(rect.height(), c.rect.height()) << c.text;
    }
    const QPointF odd = archivetext::parsePoint(u"{nan, -inf}");
    EXPECT_TRUE(std::isnan(odd.x()));
    EXPECT_EQ(odd.y(), -qInf());
}

TEST_F(KeyedArchiveTest, KeysEscapingConditionalsAndTypedConversions)
{
    class Probe : public Object {
    public:
        QString className() const override { return QStringLiteral("TestProbe"); }
        void encodeWithCoder(KeyedArchiver& coder) const override
        {
            coder.encodeInt(5, QStringLiteral("$weird"));
            coder.encodeInt(7, QStringLiteral("anInt"));
            coder.encodeFloat(2.75f, QStringLiteral("aFloat"));
            coder.encodeBool(true, QStringLiteral("aBool"));
            coder.encodeDouble(-1.5e300, QStringLiteral("aHuge"));
            coder.encodeInt(1, QStringLiteral("twice"));
            coder.encodeInt(2, QStringLiteral("twice"));
            coder.encodeConditionalObject(absent, QStringLiteral("absent"));
            coder.encodeConditionalObject(present, QStringLiteral("present"));
            coder.encodeObject(present, QStringLiteral("strong"));
        }
        ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
        {
            EXPECT_EQ(coder.decodeIntForKey(QStringLiteral("$weird")), 5);
            EXPECT_EQ(coder.decodeDoubleForKey(QStringLiteral("anInt")), 7.0);
            EXPECT_EQ(coder.decodeIntForKey(QStringLiteral("aFloat")), 2);
            EXPECT_EQ(coder.decodeFloatForKey(QStringLiteral("aFloat")), 2.75f);
            EXPECT_EQ(coder.decodeIntForKey(QStringLiteral("aBool")), 1);
            EXPECT_TRUE(coder.decodeBoolForKey(QStringLiteral("anInt")));
            EXPECT_EQ(coder.decodeInt32ForKey(QStringLiteral("aHuge")), std::numeric_limits<qint32>::min());
            EXPECT_EQ(coder.decodeIntegerForKey(QStringLiteral("aHuge")), std::numeric_limits<qint64>::min());
            EXPECT_EQ(coder.decodeIntForKey(QStringLiteral("twice")), 2);
            EXPECT_FALSE(coder.containsValueForKey(QStringLiteral("absent")));
            EXPECT_FALSE(coder.containsValueForKey(QStringLiteral("missing")));
            EXPECT_EQ(coder.decodeFloatForKey(QStringLiteral("missing")), 0.0f);
            EXPECT_FALSE(coder.decodeBoolForKey(QStringLiteral("missing")));
            EXPECT_EQ(coder.decodePointForKey(QStringLiteral("missing")), QPointF());
            EXPECT_TRUE(coder.decodeBytesForKey(QStringLiteral("missing")).isEmpty());
            EXPECT_TRUE(coder.decodeObjectForKey(QStringLiteral("missing")).isNull());
            present = coder.decodeObjectOfClass<TestLink>(QStringLiteral("present"));
            EXPECT_TRUE(present);
            EXPECT_EQ(present, coder.decodeObjectOfClass<TestLink>(QStringLiteral("strong")));
            return shared_from_this();
        }
        std::shared_ptr<TestLink> absent = std::make_shared<TestLink>();
        std::shared_ptr<TestLink> present = std::make_shared<TestLink>();
    };
    ClassRegistry::shared().registerClass<Probe>(QStringLiteral("TestProbe"), QStringLiteral("NSObject"));
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(std::make_shared<Probe>());
    EXPECT_TRUE(archive.contains("$$weird"));
    const auto probe = KeyedUnarchiver::unarchive(archive, { QStringLiteral("TestProbe") }).toObject<Probe>();
    ASSERT_TRUE(probe);
    EXPECT_TRUE(probe->present);
    const QStringList lines = checkWithPython(archive);
    if (!lines.isEmpty()) {
        EXPECT_TRUE(lines.contains(QStringLiteral("1 $$weird int")));
        EXPECT_TRUE(lines.contains(QStringLiteral("1 aFloat real4")));
        EXPECT_TRUE(lines.contains(QStringLiteral("1 present uid")));
    }
}

TEST_F(KeyedArchiveTest, RestrictedDecodingRefusesOtherClassesWithoutMakingThem)
{
    const int madeBefore = TestIntruder::made;
    const auto intruder = std::make_shared<TestIntruder>();
    const QByteArray single = KeyedArchiver::archivedDataWithRootObject(intruder);
    const int made = TestIntruder::made;
    EXPECT_EQ(made, madeBefore + 1);
    EXPECT_TRUE(KeyedUnarchiver::unarchive(single, { QStringLiteral("TestNode") }).isNull());
    EXPECT_TRUE(KeyedUnarchiver::unarchive(single, {}).isNull());
    EXPECT_EQ(TestIntruder::made, made);
    // The chain in the file does not matter: only our registry says what a class inherits.
    QByteArray forged = single;
    forged.replace("NSObject", "TestNode");
    EXPECT_TRUE(KeyedUnarchiver::unarchive(forged, { QStringLiteral("TestNode") }).isNull());
    EXPECT_TRUE(KeyedUnarchiver::unarchive(single, { QStringLiteral("NSObject") }).toObject<TestIntruder>());

    // A list of an allowed class keeps the members it may hold and drops the others, nested lists
    // included, so one stray element of a document does not cost the rest.
    const auto special = std::make_shared<TestSpecialNode>();
    const QByteArray mixed = KeyedArchiver::archivedData(
        ValueList { Value(special), Value(intruder), Value(ValueList { Value(intruder), Value(special) }) });
    const QStringList nodes { QStringLiteral("NSArray"), QStringLiteral("TestNode") };
    const ValueList kept = KeyedUnarchiver::unarchive(mixed, nodes).toList();
    ASSERT_EQ(kept.size(), 2);
    EXPECT_TRUE(kept[0].toObject<TestSpecialNode>());
    ASSERT_EQ(kept[1].toList().size(), 1);
    EXPECT_EQ(kept[1].toList()[0].toObject(), kept[0].toObject());
    const ValueList all
        = KeyedUnarchiver::unarchive(mixed, nodes + QStringList { QStringLiteral("TestIntruder") }).toList();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[2].toList().size(), 2);
    // The collection class itself must still be allowed.
    EXPECT_TRUE(KeyedUnarchiver::unarchive(mixed, { QStringLiteral("TestNode") }).isNull());
    // Unknown classes decode as null even without restriction.
    QByteArray unknown = single;
    unknown.replace("TestIntruder", "TestUnknown!");
    EXPECT_TRUE(KeyedUnarchiver::unarchiveAnyClass(unknown).isNull());
    checkWithPython(mixed);
}

} // namespace
} // namespace zandrel
