#include "platform/PropertyList.h"

#include "RawPropertyList.h"
#include "platform/Exception.h"
#include "platform/PropertyListView.h"
#include "support/TestSupport.h"

#include <bit>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <random>
#include <tuple>

namespace zandrel {
namespace {

using Kind = PropertyList::Kind;
using Index = PropertyList::Index;
using test::asciiObject;
using test::assemblePlist;
using test::bigEndian;
using test::containerObject;

void expectInvalid(const QByteArray& data, const char* why, const PropertyList::Limits& limits = {})
{
    try {
        PropertyList::fromBinary(data, limits);
        ADD_FAILURE() << "accepted: " << why;
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), kInvalidArchiveException) << why;
    }
}

// A plist with every kind of node, shared strings and a nested container. Python's reader has no
// sets, so its copy has an array in the set's place.
PropertyList sampleList(bool withSet = true)
{
    PropertyList list;
    const Index keyA = list.addString("alpha");
    const Index keyB = list.addString(QStringLiteral("b\u00e9ta"));
    const Index keyC = list.addString("gamma");
    const Index sharedText = list.addString("shared");
    const Index again = list.addString("shared");
    const Index items[] = { list.addInt(-1), list.addInt(300), list.addReal32(0.1f), list.addReal64(0.1),
        list.addBool(true), list.addBool(false), list.addData(QByteArray("\x00\x01\x02", 3)),
        list.addUid(70000), sharedText, again, list.addDate(12.5),
        list.addString(QStringLiteral("a long ASCII string over fifteen")),
        list.addString(QString::fromUtf16(u"emoji \U0001F600 text")) };
    const Index array = list.addArray(items);
    const Index set = withSet ? list.addSet(std::span<const Index>(items, 2))
                              : list.addArray(std::span<const Index>(items, 2));
    const Index keys[] = { keyA, keyB, keyC };
    const Index values[] = { array, set, list.addNull() };
    list.setRoot(list.addDict(keys, values));
    return list;
}

TEST(PropertyListTest, RoundTripKeepsEveryKindAndRewritesIdentically)
{
    const QByteArray bytes = sampleList().toBinary();
    const PropertyList read = PropertyList::fromBinary(bytes);
    const Index root = read.root();
    ASSERT_EQ(read.kind(root), Kind::Dict);
    ASSERT_EQ(read.count(root), 3);
    EXPECT_EQ(read.string(read.keys(root)[1]), QStringLiteral("b\u00e9ta"));
    EXPECT_EQ(read.kind(read.valueForKey(root, u"gamma")), Kind::Null);
    EXPECT_EQ(read.valueForKey(root, u"missing"), PropertyList::kNoNode);

    const auto items = read.items(read.valueForKey(root, u"alpha"));
    ASSERT_EQ(items.size(), 13u);
    EXPECT_EQ(read.intValue(items[0]), -1);
    EXPECT_EQ(read.intValue(items[1]), 300);
    EXPECT_EQ(read.kind(items[2]), Kind::Real32);
    EXPECT_EQ(read.realValue(items[2]), double(0.1f));
    EXPECT_EQ(read.kind(items[3]), Kind::Real64);
    EXPECT_EQ(read.realValue(items[3]), 0.1);
    EXPECT_TRUE(read.boolValue(items[4]));
    EXPECT_FALSE(read.boolValue(items[5]));
    EXPECT_EQ(read.data(items[6]), QByteArray("\x00\x01\x02", 3));
    EXPECT_EQ(read.uid(items[7]), 70000u);
    // Equal strings are written once and read back as one object.
    EXPECT_EQ(items[8], items[9]);
    EXPECT_EQ(read.kind(items[10]), Kind::Date);
    EXPECT_EQ(read.realValue(items[10]), 12.5);
    EXPECT_EQ(read.string(items[11]), QStringLiteral("a long ASCII string over fifteen"));
    EXPECT_EQ(read.string(items[12]), QString::fromUtf16(u"emoji \U0001F600 text"));
    EXPECT_EQ(read.kind(read.valueForKey(root, u"b\u00e9ta")), Kind::Set);

    EXPECT_EQ(read.toBinary(), bytes);
}

TEST(PropertyListTest, WriterUsesSmallestWidthsAndReferenceMarkers)
{
    struct Case {
        qint64 value;
        QByteArray bytes;
    };
    const Case cases[] = {
        { 0, QByteArray::fromHex("1000") },
        { 255, QByteArray::fromHex("10ff") },
        { 256, QByteArray::fromHex("110100") },
        { 65536, QByteArray::fromHex("1200010000") },
        { 100000, QByteArray::fromHex("12000186a0") },
        { qint64(1) << 32, QByteArray::fromHex("130000000100000000") },
        { -1, QByteArray::fromHex("13ffffffffffffffff") },
    };
    for (const Case& c : cases) {
        PropertyList list;
        list.setRoot(list.addInt(c.value));
        EXPECT_EQ(list.toBinary().mid(8, c.bytes.size()), c.bytes) << c.value;
        EXPECT_EQ(PropertyList::fromBinary(list.toBinary()).intValue(0), c.value);
    }

    PropertyList list;
    const Index items[] = { list.addReal32(1.5f), list.addReal64(1.5), list.addUid(255), list.addUid(256),
        list.addString("abc"), list.addString(QStringLiteral("\u00e9")), list.addString("fifteen chars!!"),
        list.addBool(true) };
    list.setRoot(list.addArray(items));
    const QByteArray bytes = list.toBinary();
    // Objects follow the array's 1 + 8 bytes.
    EXPECT_EQ(bytes.mid(8, 9), QByteArray::fromHex("a8") + QByteArray::fromHex("0102030405060708"));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("223fc00000")));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("233ff8000000000000")));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("80ff810100536162636100e9")));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("5f100f") + "fifteen chars!!"));
}

TEST(PropertyListTest, DictionaryNumbersItselfThenKeysThenValues)
{
    PropertyList list;
    const Index inner[] = { list.addString("x") };
    const Index keys[] = { list.addString("k1"), list.addString("k2") };
    const Index values[] = { list.addArray(inner), list.addString("v2") };
    list.setRoot(list.addDict(keys, values));
    const QByteArray bytes = list.toBinary();
    // dict(0) -> k1(1) k2(2) | array(3) -> "x"(4) | "v2"(5)
    EXPECT_EQ(bytes.mid(8, 5), QByteArray::fromHex("d201020305"));
    EXPECT_EQ(bytes.mid(13 + 3 + 3, 2), QByteArray::fromHex("a104"));
}

// In lists large enough that the writer matches equal scalars part by part, on several threads, each
// scalar still shares the number of the first equal one reached, and nothing else does: checked against a
// plain numbering by value (the object numbers are the node indices of the list read back). Values that
// differ only in kind, in the sign of a zero or in a NaN's payload keep objects of their own, and so
// do two reals whose hashes agree in every bit the matching looks at.
TEST(PropertyListTest, EqualScalarsShareTheFirstNumberReachedInLargeLists)
{
    std::mt19937 random(2026);
    PropertyList list;
    const auto scalar = [&]() -> Index {
        const int v = int(random() % 40);
        switch (random() % 13) {
        case 0:
            return list.addInt(v);
        case 1:
            return list.addReal32(float(v));
        case 2:
            return list.addReal64(double(v));
        case 3:
            return list.addBool(v % 2 == 1);
        case 4:
            return list.addUid(quint64(v));
        case 5:
            return list.addString(QString::number(v));
        case 6:
            return list.addData(QByteArray::number(v));
        case 7:
            return list.addDate(double(v));
        case 8:
            return list.addReal64(v % 2 == 1 ? 0.0 : -0.0);
        case 9:
            return list.addReal64(std::bit_cast<double>(0x7ff8000000000000ull | quint64(v % 3)));
        case 10:
            return list.addUnsignedInt(~quint64(v % 4));
        case 11:
            return list.addReal64(v % 2 == 1 ? 1.0357027053833008 : 1.8465118408203125);
        default:
            return list.addReal32(float(random()) / 7.0f); // mostly values of their own
        }
    };
    std::vector<Index> inner;
    for (int i = 0; i < 6000; ++i) {
        std::vector<Index> items;
        for (int k = 0; k < 100; ++k)
            items.push_back(scalar());
        inner.push_back(list.addArray(items));
        if (i % 7 == 3) // reached twice, numbered once
            inner.push_back(inner[size_t(random() % inner.size())]);
    }
    list.setRoot(list.addArray(inner));

    using Value = std::tuple<Kind, bool, quint64, QString, QByteArray>;
    const auto valueOf = [&](Index node) {
        const Kind kind = list.kind(node);
        quint64 bits = 0;
        if (kind == Kind::Int)
            bits = list.isUnsignedInt(node) ? list.unsignedIntValue(node) : quint64(list.intValue(node));
        else if (kind == Kind::Bool)
            bits = list.boolValue(node) ? 1 : 0;
        else if (kind == Kind::Uid)
            bits = list.uid(node);
        else if (kind != Kind::String && kind != Kind::Data)
            bits = std::bit_cast<quint64>(list.realValue(node));
        return Value { kind, list.isUnsignedInt(node), bits, list.string(node), list.data(node) };
    };
    std::map<Index, Index> numberOf;
    std::map<Value, Index> firstOfValue;
    Index next = 0;
    const auto number = [&](Index node) {
        if (const auto known = numberOf.find(node); known != numberOf.end())
            return known->second;
        const auto [first, isNew] = firstOfValue.try_emplace(valueOf(node), next);
        next += isNew ? 1 : 0;
        return numberOf[node] = first->second;
    };
    ++next; // the root
    std::map<Index, std::vector<Index>> expected;
    for (Index array : inner) {
        if (expected.contains(array))
            continue;
        expected[array].push_back(next++);
        for (Index item : list.items(array))
            expected[array].push_back(number(item));
    }

    const QByteArray bytes = list.toBinary();
    const PropertyList read = PropertyList::fromBinary(bytes);
    EXPECT_EQ(read.size(), qsizetype(next));
    ASSERT_EQ(read.count(read.root()), qsizetype(inner.size()));
    for (size_t i = 0; i < inner.size(); ++i) {
        const Index readArray = read.items(read.root())[i];
        std::vector<Index> numbers { readArray };
        for (Index item : read.items(readArray))
            numbers.push_back(item);
        ASSERT_EQ(numbers, expected[inner[i]]) << "array " << i;
    }
    EXPECT_EQ(read.toBinary(), bytes);
}

TEST(PropertyListTest, PythonReadsWhatWeWrite)
{
    if (test::python3().isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    const QString script = QStringLiteral(R"(
import plistlib, struct, sys
data = open(sys.argv[1], 'rb').read()
root = plistlib.loads(data)
a = root['alpha']
assert a[0] == -1 and a[1] == 300, a
assert abs(a[2] - 0.1) < 1e-7 and a[3] == 0.1
assert a[4] is True and a[5] is False and a[6] == b'\x00\x01\x02'
assert a[7] == plistlib.UID(70000) and a[8] == 'shared'
assert a[12] == 'emoji \U0001F600 text'
assert root['b\u00e9ta'] == [-1, 300]
assert root['gamma'] is None
# the float went out as a 4-byte real
assert struct.pack('>Bf', 0x22, 0.1) in data
print('ok')
)");
    QString output;
    EXPECT_EQ(test::runPython(script, sampleList(false).toBinary(), &output), 0) << output.toStdString();
}

TEST(PropertyListTest, TheWriterRefusesWhatItsReaderRefuses)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // The edges the reader takes, then what lies beyond them.
    const QList<std::pair<std::function<Index(PropertyList&)>, bool>> cases {
        { [](PropertyList& l) { return l.addUid(PropertyList::kMaxUid); }, true },
        { [](PropertyList& l) { return l.addDate(PropertyList::kEarliestDate); }, true },
        { [](PropertyList& l) { return l.addDate(PropertyList::kDateEnd - 1); }, true },
        { [](PropertyList& l) { return l.addUid(PropertyList::kMaxUid + 1); }, false },
        { [](PropertyList& l) { return l.addDate(PropertyList::kEarliestDate - 1); }, false },
        { [](PropertyList& l) { return l.addDate(PropertyList::kDateEnd); }, false },
        { [nan](PropertyList& l) { return l.addDate(nan); }, false },
    };
    for (const auto& [make, readable] : cases) {
        PropertyList list;
        const Index value = make(list);
        list.setRoot(list.addArray(std::span<const Index>(&value, 1)));
        if (readable)
            EXPECT_EQ(PropertyList::fromBinary(list.toBinary()).toBinary(), list.toBinary());
        else
            EXPECT_THROW(list.toBinary(), Exception);
    }
}

TEST(PropertyListTest, RejectsEveryTruncationAndCorruptTrailer)
{
    const QByteArray good = sampleList().toBinary();
    for (qsizetype length = 0; length < good.size(); ++length)
        expectInvalid(good.left(length), "truncated");

    auto withTrailer = [&](int at, QByteArray value) {
        QByteArray bad = good;
        bad.replace(good.size() - 32 + at, value.size(), value);
        return bad;
    };
    expectInvalid(QByteArray("bplist01") + good.mid(8), "wrong version");
    expectInvalid(withTrailer(6, QByteArray(1, '\0')), "offset size 0");
    expectInvalid(withTrailer(7, QByteArray(1, '\0')), "reference size 0");
    expectInvalid(withTrailer(7, QByteArray(1, '\x09')), "reference size 9");
    expectInvalid(withTrailer(8, bigEndian(0, 8)), "no objects");
    expectInvalid(withTrailer(8, bigEndian(~quint64(0), 8)), "object count overflows");
    expectInvalid(withTrailer(16, bigEndian(1000, 8)), "top out of range");
    expectInvalid(withTrailer(24, bigEndian(4, 8)), "table in header");
    expectInvalid(withTrailer(24, bigEndian(~quint64(0) - 16, 8)), "table offset wraps");
    expectInvalid(good + QByteArray(1, '\0'), "bytes between table and trailer");
}

TEST(PropertyListTest, RejectsBadOffsetsReferencesAndPayloads)
{
    const QByteArray array = containerObject(0xA0, { 1 });
    expectInvalid(
        assemblePlist({ containerObject(0xA0, { 7 }), asciiObject("a") }), "reference out of range");
    // An offset pointing into the offset table.
    QByteArray intoTable = assemblePlist({ array, asciiObject("a") });
    intoTable[intoTable.size() - 32 - 1] = char(intoTable.size() - 32 - 2);
    expectInvalid(intoTable, "offset into the table");
    QByteArray intoHeader = assemblePlist({ array, asciiObject("a") });
    intoHeader[intoHeader.size() - 32 - 1] = 2;
    expectInvalid(intoHeader, "offset into the header");
    expectInvalid(assemblePlist({ QByteArray::fromHex("5f1305") + "abcde" }), "count not a small int");
    expectInvalid(assemblePlist({ QByteArray::fromHex("5f13ffffffffffffffff") }), "negative count");
    expectInvalid(assemblePlist({ QByteArray::fromHex("6f137fffffffffffffff") }), "utf16 length overflows");
    expectInvalid(assemblePlist({ QByteArray::fromHex("55") + "abc" }), "string past the table");
    expectInvalid(assemblePlist({ QByteArray::fromHex("15") + QByteArray(32, '\0') }), "int of 32 bytes");
    expectInvalid(assemblePlist({ QByteArray::fromHex("21") + QByteArray(2, '\0') }), "real of 2 bytes");
    expectInvalid(assemblePlist({ QByteArray::fromHex("880000000000000000") }), "uid of 9 bytes");
    expectInvalid(assemblePlist({ QByteArray::fromHex("8401000000ff") }), "uid over 32 bits");
    expectInvalid(assemblePlist({ QByteArray::fromHex("0f") }), "fill marker");
    expectInvalid(assemblePlist({ QByteArray::fromHex("70") }), "unused marker");
    expectInvalid(assemblePlist({ containerObject(0xD0, { 1, 1 }), QByteArray::fromHex("1001") }), "int key");
    expectInvalid(assemblePlist({ QByteArray::fromHex("af7fffffff") + QByteArray(4, '\0') }), "huge count");
    // A 2-byte-wide set of 300 objects with 1-byte references.
    QList<QByteArray> many(300, QByteArray::fromHex("09"));
    expectInvalid(assemblePlist(many, 1), "references too narrow");

    PropertyList::Limits small;
    small.maxBytes = 40;
    expectInvalid(sampleList().toBinary(), "over the byte limit", small);
    small = {};
    small.maxObjects = 5;
    expectInvalid(sampleList().toBinary(), "over the object limit", small);
}

TEST(PropertyListTest, SelfContainingAndDeepContainersEndInErrorsWithoutRecursion)
{
    expectInvalid(assemblePlist({ containerObject(0xA0, { 0 }) }), "array contains itself");
    expectInvalid(
        assemblePlist({ containerObject(0xA0, { 1 }), containerObject(0xD0, { 2, 0 }), asciiObject("k") }),
        "cycle through a dictionary value");

    // 100,000 nested one-element arrays.
    const int depth = 100000;
    QList<QByteArray> objects;
    for (int i = 0; i < depth; ++i)
        objects.append(i + 1 < depth ? containerObject(0xA0, { quint64(i + 1) }, 4) : asciiObject("end"));
    const QByteArray deep = assemblePlist(objects, 4);
    expectInvalid(deep, "100,000 levels");
    PropertyList::Limits unlimited;
    unlimited.maxDepth = depth + 1;
    const PropertyList list = PropertyList::fromBinary(deep, unlimited);
    EXPECT_EQ(list.size(), depth);
}

// Lists of more objects than one thread checks are checked on several threads when they have the
// shape writers give them; any other shape is walked as before. Either way the same lists are refused
// and accepted: each case is a list of 300,000 one-entry dictionaries with one thing changed.
TEST(PropertyListTest, LargeListsAreRefusedAndAcceptedAsSmallOnesAre)
{
    const quint64 records = 300000;
    const quint64 key = records + 1;
    const auto value = [&](quint64 record) { return records + 1 + record; };
    const auto record = [](quint64 keyRef, quint64 valueRef) {
        return QByteArray(1, char(0xD1)) + bigEndian(keyRef, 4) + bigEndian(valueRef, 4);
    };
    QList<quint64> all;
    for (quint64 r = 1; r <= records; ++r)
        all.append(r);
    QList<QByteArray> base { containerObject(0xA0, all, 4) };
    for (quint64 r = 1; r <= records; ++r)
        base.append(record(key, value(r)));
    base.append(asciiObject("k"));
    for (quint64 r = 1; r <= records; ++r)
        base.append(QByteArray(1, char(0x12)) + bigEndian(r, 4));
    ASSERT_GT(size_t(base.size()), 2 * PropertyList::kNodesPerThread);

    struct Case {
        const char* what;
        std::function<void(QList<QByteArray>&)> change;
        bool accepted;
    };
    const Case cases[] = {
        { "as written", [](QList<QByteArray>&) {}, true },
        { "a dictionary held by two", [&](QList<QByteArray>& o) { o[5] = record(key, 7); }, true },
        { "a dictionary held by one numbered after it", [&](QList<QByteArray>& o) { o[7] = record(key, 5); },
            true },
        { "an object nothing holds, unreadable",
            [](QList<QByteArray>& o) { o.append(QByteArray(1, char(0x7f))); }, true },
        { "a number nothing holds",
            [](QList<QByteArray>& o) { o.append(QByteArray(1, char(0x10)) + char(7)); }, true },
        { "a container nothing holds",
            [&](QList<QByteArray>& o) { o.append(containerObject(0xA0, { key }, 4)); }, true },
        { "a dictionary holding the top array", [&](QList<QByteArray>& o) { o[5] = record(key, 0); }, false },
        { "a dictionary holding itself", [&](QList<QByteArray>& o) { o[6] = record(key, 6); }, false },
        { "an unreadable value",
            [&](QList<QByteArray>& o) { o[int(value(100))] = QByteArray(1, char(0x7f)); }, false },
        { "a key that is a number", [&](QList<QByteArray>& o) { o[9] = record(value(1), value(9)); }, false },
        { "a reference past the table", [&](QList<QByteArray>& o) { o[11] = record(key, 3 * records); },
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QList<QByteArray> objects = base;
        c.change(objects);
        const QByteArray bytes = assemblePlist(objects, 4);
        if (!c.accepted) {
            expectInvalid(bytes, c.what);
            continue;
        }
        const PropertyList list = PropertyList::fromBinary(bytes);
        ASSERT_EQ(list.count(list.root()), qsizetype(records)) << c.what;
        const Index third = list.items(list.root())[2];
        EXPECT_EQ(list.intValue(list.valueForKey(third, u"k")), 3) << c.what;
        EXPECT_EQ(PropertyList::fromBinary(list.toBinary()).toBinary(), list.toBinary()) << c.what;
    }

    // Nesting is measured alike: a chain of 600,000 arrays is refused unless the limit allows it.
    QList<QByteArray> chain;
    const int depth = 600000;
    for (int i = 0; i < depth; ++i)
        chain.append(i + 1 < depth ? containerObject(0xA0, { quint64(i + 1) }, 4) : asciiObject("end"));
    const QByteArray deep = assemblePlist(chain, 4);
    expectInvalid(deep, "600,000 levels");
    PropertyList::Limits unlimited;
    unlimited.maxDepth = depth;
    EXPECT_EQ(PropertyList::fromBinary(deep, unlimited).size(), depth);
    unlimited.maxDepth = depth - 2;
    expectInvalid(deep, "one level too many", unlimited);
}

TEST(PropertyListTest, SharingAndOverlapCannotMultiplyWork)
{
    // Thirty levels of sixteen references to the next level: 2^120 paths, 31 objects.
    QList<QByteArray> objects;
    for (int level = 0; level < 30; ++level) {
        const quint64 next = quint64(level + 1);
        objects.append(containerObject(0xA0,
            { next, next, next, next, next, next, next, next, next, next, next, next, next, next, next,
                next }));
    }
    objects.append(asciiObject("leaf"));
    const PropertyList fan = PropertyList::fromBinary(assemblePlist(objects));
    EXPECT_EQ(fan.size(), 31);
    EXPECT_EQ(fan.totalEntries(), 30u * 16u);

    // Offsets aimed at one large string would copy it once per entry; a file whose objects
    // overlap is refused once the copies exceed the object table.
    auto overlapping = [](int copies) {
        QList<quint64> refs;
        for (int i = 1; i <= copies; ++i)
            refs.append(quint64(i));
        const QByteArray array = containerObject(0xA0, refs);
        const QByteArray text = QByteArray::fromHex("4f1103e8") + QByteArray(1000, 'x');
        QByteArray file = QByteArray("bplist00") + array + text;
        const quint64 tableOffset = quint64(file.size());
        file.append(bigEndian(8, 2));
        for (int i = 0; i < copies; ++i)
            file.append(bigEndian(8 + quint64(array.size()), 2));
        file.append(QByteArray(6, '\0'));
        file.append(char(2));
        file.append(char(1));
        file.append(bigEndian(quint64(copies + 1), 8) + bigEndian(0, 8) + bigEndian(tableOffset, 8));
        return file;
    };
    EXPECT_NO_THROW(PropertyList::fromBinary(overlapping(1)));
    expectInvalid(overlapping(200), "overlapping objects");
}

TEST(PropertyListTest, ReadsOddButValidEncodings)
{
    // Lone surrogates become U+FFFD; a 16-byte integer that fits 64 bits reads; 8-bit "ASCII" is Latin-1.
    const QByteArray file = assemblePlist({ containerObject(0xA0, { 1, 2, 3, 4 }),
        QByteArray::fromHex("620041d800"), QByteArray::fromHex("14") + bigEndian(0, 8) + bigEndian(42, 8),
        QByteArray::fromHex("51e9"), QByteArray::fromHex("00") });
    const PropertyList list = PropertyList::fromBinary(file);
    const auto items = list.items(list.root());
    EXPECT_EQ(list.string(items[0]), QString::fromUtf16(u"A\uFFFD"));
    EXPECT_EQ(list.intValue(items[1]), 42);
    EXPECT_EQ(list.string(items[2]), QStringLiteral("\u00e9"));
    EXPECT_EQ(list.kind(items[3]), Kind::Null);

    // Our writer also replaces lone surrogates, so what it writes is valid UTF-16.
    PropertyList lone;
    lone.setRoot(lone.addString(QString(QChar(0xdc00)) + QStringLiteral("\u00e9")));
    EXPECT_EQ(PropertyList::fromBinary(lone.toBinary()).string(0), QString::fromUtf16(u"\uFFFD\u00e9"));

    // Non-finite reals survive a round trip bit for bit.
    PropertyList reals;
    const Index values[] = { reals.addReal64(std::numeric_limits<double>::quiet_NaN()),
        reals.addReal32(-std::numeric_limits<float>::infinity()) };
    reals.setRoot(reals.addArray(values));
    const PropertyList back = PropertyList::fromBinary(reals.toBinary());
    EXPECT_TRUE(std::isnan(back.realValue(back.items(0)[0])));
    EXPECT_EQ(back.realValue(back.items(0)[1]), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(back.intValue(back.items(0)[0]), 0);
    EXPECT_EQ(back.intValue(back.items(0)[1]), std::numeric_limits<qint64>::min());
}

TEST(PropertyListTest, ReadingInPlaceAnswersAsTheNodeTableDoes)
{
    const QByteArray bytes = sampleList().toBinary();
    const PropertyList list = PropertyList::fromBinary(bytes);
    const PropertyListView view = PropertyListView::fromBinary(bytes, {});
    ASSERT_EQ(view.root(), list.root());
    ASSERT_EQ(view.totalEntries(), list.totalEntries());
    auto same = [](auto a, auto b) {
        return std::vector<Index>(a.begin(), a.end()) == std::vector<Index>(b.begin(), b.end());
    };
    for (Index node = 0; node < Index(list.size()); ++node) {
        SCOPED_TRACE(node);
        ASSERT_EQ(view.kind(node), list.kind(node));
        EXPECT_EQ(view.isNumber(node), list.isNumber(node));
        EXPECT_EQ(view.boolValue(node), list.boolValue(node));
        EXPECT_EQ(view.intValue(node), list.intValue(node));
        EXPECT_EQ(view.unsignedIntValue(node), list.unsignedIntValue(node));
        EXPECT_TRUE(view.realValue(node) == list.realValue(node) || std::isnan(list.realValue(node)));
        EXPECT_EQ(view.string(node), list.string(node));
        EXPECT_EQ(view.data(node), list.data(node));
        EXPECT_EQ(view.uid(node), list.uid(node));
        EXPECT_EQ(view.count(node), list.count(node));
        EXPECT_TRUE(same(view.items(node), list.items(node)));
        EXPECT_TRUE(same(view.keys(node), list.keys(node)));
        EXPECT_TRUE(same(view.values(node), list.values(node)));
        // Keys are found by their text without making it, one or two bytes a character alike.
        for (const QString& key : { QStringLiteral("alpha"), QStringLiteral("b\u00e9ta"),
                 QStringLiteral("gamm"), QStringLiteral("gamma!"), QString() })
            EXPECT_EQ(view.valueForKey(node, key), list.valueForKey(node, key)) << key.toStdString();
        EXPECT_EQ(view.stringEquals(node, list.string(node)), list.kind(node) == Kind::String);
    }
}

// A large output is written in the memory of the last one once nobody holds that any more; bytes
// still held are never written over.
TEST(PropertyListTest, LargeOutputReusesTheLastOnesMemoryOnlyOnceItIsLetGo)
{
    const auto listOf = [](char fill) {
        PropertyList list;
        const Index blob = list.addData(QByteArray(5 << 20, fill));
        const Index keys[] = { list.addString(QStringLiteral("blob")) };
        const Index values[] = { blob };
        list.setRoot(list.addDict(keys, values));
        return list;
    };
    const PropertyList a = listOf('a');
    const PropertyList b = listOf('b');
    QByteArray first = a.toBinary();
    const QByteArray expectedA(first.constData(), first.size());
    QByteArray second = b.toBinary();
    const QByteArray expectedB(second.constData(), second.size());
    EXPECT_NE(second.constData(), first.constData());
    EXPECT_EQ(first, expectedA);
    EXPECT_EQ(PropertyList::fromBinary(second).data(PropertyList::fromBinary(second).values(0)[0]),
        QByteArray(5 << 20, 'b'));

    // Let go of both: the next output takes the last one's memory and holds only its own bytes.
    const char* lastMemory = second.constData();
    first = QByteArray();
    second = QByteArray();
    QByteArray again = a.toBinary();
    EXPECT_EQ(again.constData(), lastMemory);
    EXPECT_EQ(again, expectedA);
    // Held again, it is not taken: a copy of it stays as it was.
    const QByteArray held = again;
    const QByteArray other = b.toBinary();
    EXPECT_NE(other.constData(), held.constData());
    EXPECT_EQ(held, expectedA);
    EXPECT_EQ(other, expectedB);
}

// A list of more objects than one thread writes is written in runs by several threads: each object
// must land where the offset table says and refer to the right numbers, across the runs' seams, with
// objects of every width (strings past a count of 15, non-ASCII text, long data) among them.
TEST(PropertyListTest, ListsWrittenInRunsReadBackAsBuilt)
{
    PropertyList list;
    const Index keys[] = { list.addString(QStringLiteral("n")), list.addString(QStringLiteral("x")),
        list.addString(QStringLiteral("text")), list.addString(QStringLiteral("bytes")) };
    std::vector<Index> records;
    const int count = 160000;
    for (int i = 0; i < count; ++i) {
        const Index values[] = { list.addInt(qint64(i) * 977 - 50000), list.addReal64(i + 0.25),
            list.addString(
                i % 3 ? QStringLiteral("record number %1").arg(i) : QStringLiteral("n\u00b0%1").arg(i)),
            list.addData(QByteArray(i % 40, char(i))) };
        records.push_back(list.addDict(keys, values));
    }
    list.setRoot(list.addArray(records));
    ASSERT_GT(size_t(list.size()), 2 * PropertyList::kNodesPerThread);

    const QByteArray bytes = list.toBinary();
    const PropertyList read = PropertyList::fromBinary(bytes);
    ASSERT_EQ(read.count(read.root()), count);
    for (int i = 0; i < count; i += 1 + i % 7) {
        const Index record = read.items(read.root())[size_t(i)];
        ASSERT_EQ(read.intValue(read.valueForKey(record, u"n")), qint64(i) * 977 - 50000) << i;
        ASSERT_EQ(read.realValue(read.valueForKey(record, u"x")), i + 0.25) << i;
        ASSERT_EQ(read.string(read.valueForKey(record, u"text")),
            i % 3 ? QStringLiteral("record number %1").arg(i) : QStringLiteral("n\u00b0%1").arg(i));
        ASSERT_EQ(read.data(read.valueForKey(record, u"bytes")), QByteArray(i % 40, char(i))) << i;
    }
    EXPECT_EQ(read.toBinary(), bytes);

    // And a reader that is not ours reads every record as it was built.
    if (test::python3().isEmpty())
        return;
    const QString script = QStringLiteral(R"(
import plistlib, sys
records = plistlib.loads(open(sys.argv[1], 'rb').read())
assert len(records) == 160000, len(records)
for i, r in enumerate(records):
    text = 'record number %d' % i if i % 3 else 'n\u00b0%d' % i
    assert r == {'n': i * 977 - 50000, 'x': i + 0.25, 'text': text, 'bytes': bytes([i % 256]) * (i % 40)}, i
print('ok')
)");
    QString output;
    EXPECT_EQ(test::runPython(script, bytes, &output), 0) << output.toStdString();
}

} // namespace
} // namespace zandrel
