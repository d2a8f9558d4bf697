#include "ArchiveBuilder.h"
#include "ArchiveTestClasses.h"
#include "platform/PropertyList.h"

#include <QThread>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using namespace test;
using Index = PropertyList::Index;

class KeyedUnarchiverHostileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerArchiveTestClasses); }
};

// Runs a decode and expects the layer's exception.
template <class F> void expectCorrupt(F decode, const char* why)
{
    try {
        decode();
        ADD_FAILURE() << "accepted: " << why;
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), kInvalidArchiveException) << why << ": " << e.reason().toStdString();
    }
}

// A TestNode record whose keys the test chooses.
QByteArray nodeArchive(const std::function<std::vector<std::pair<QString, Index>>(ArchiveBuilder&)>& entries)
{
    ArchiveBuilder b;
    const quint64 root = b.reserve();
    const auto fields = entries(b);
    const quint64 nodeClass = b.classRecord(QStringLiteral("TestNode"));
    b.set(root, b.record(nodeClass, fields));
    return b.finish(root);
}

std::shared_ptr<TestNode> decodeNode(const QByteArray& archive)
{
    return KeyedUnarchiver::unarchive(archive, { QStringLiteral("TestNode") }).toObject<TestNode>();
}

TEST_F(KeyedUnarchiverHostileTest, DamagedContainersAndHeadersRaise)
{
    auto graph = std::make_shared<TestNode>();
    graph->children = { std::make_shared<TestNode>() };
    const QByteArray good = KeyedArchiver::archivedDataWithRootObject(graph);
    for (qsizetype length = 0; length < good.size(); ++length)
        expectCorrupt([&] { decodeNode(good.left(length)); }, "truncated");

    expectCorrupt([] { decodeNode(ArchiveBuilder().finish(0, QStringLiteral("Other"))); }, "other archiver");
    expectCorrupt([] { decodeNode(ArchiveBuilder().finish(0, QStringLiteral("NSKeyedArchiver"), 99999)); },
        "other version");
    PropertyList notDict;
    notDict.setRoot(notDict.addString(QStringLiteral("NSKeyedArchiver")));
    expectCorrupt([&] { decodeNode(notDict.toBinary()); }, "root not a dictionary");
    PropertyList noObjects;
    const Index keys[]
        = { noObjects.addString("$archiver"), noObjects.addString("$version"), noObjects.addString("$top") };
    const Index topKeys[] = { noObjects.addString("root") };
    const Index topValues[] = { noObjects.addUid(1) };
    const Index values[] = { noObjects.addString("NSKeyedArchiver"), noObjects.addInt(100000),
        noObjects.addDict(topKeys, topValues) };
    noObjects.setRoot(noObjects.addDict(keys, values));
    expectCorrupt([&] { decodeNode(noObjects.toBinary()); }, "no $objects");
}

TEST_F(KeyedUnarchiverHostileTest, DanglingReferencesAndMalformedRecordsRaise)
{
    expectCorrupt([] { decodeNode(ArchiveBuilder().finish(99)); }, "dangling root");
    expectCorrupt(
        [] {
            decodeNode(nodeArchive([](ArchiveBuilder& b) {
                return std::vector<std::pair<QString, Index>> { { QStringLiteral("swatch"), b.uid(4000) } };
            }));
        },
        "dangling field");
    expectCorrupt(
        [] {
            ArchiveBuilder b;
            const quint64 root = b.reserve();
            b.set(root, b.record(0, { { QStringLiteral("name"), b.text("x") } }));
            decodeNode(b.finish(root));
        },
        "record without a class");
    expectCorrupt(
        [] {
            ArchiveBuilder b;
            const quint64 root = b.reserve();
            const quint64 notAClass = b.add(b.text("TestNode"));
            b.set(root, b.record(notAClass, {}));
            KeyedUnarchiver::unarchiveAnyClass(b.finish(root));
        },
        "class is a string");
    expectCorrupt(
        [] {
            ArchiveBuilder b;
            const quint64 root = b.add(b.uid(1));
            KeyedUnarchiver::unarchiveAnyClass(b.finish(root));
        },
        "object is a bare UID");
    expectCorrupt(
        [] {
            // A restricted decode follows references to check classes; one that names itself
            // must not send it round forever.
            ArchiveBuilder b;
            const quint64 loop = b.reserve();
            b.set(loop, b.uid(loop));
            KeyedUnarchiver::unarchive(b.finish(loop), { QStringLiteral("TestLink") });
        },
        "object is a reference to itself");
    expectCorrupt(
        [] {
            ArchiveBuilder b;
            const quint64 list = b.reserve();
            const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
            b.set(list, b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids({ 1, 77 }) } }));
            KeyedUnarchiver::unarchive(b.finish(list), { QStringLiteral("NSArray") });
        },
        "dangling member");
}

TEST_F(KeyedUnarchiverHostileTest, CollectionsThatContainThemselvesEndWithoutHanging)
{
    ArchiveBuilder b;
    const quint64 list = b.reserve();
    const quint64 map = b.reserve();
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSMutableArray"), QStringLiteral("NSArray"));
    const quint64 dictClass = b.classRecord(QStringLiteral("NSDictionary"));
    const quint64 key = b.add(b.text("self"));
    b.set(list, b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids({ list, map }) } }));
    b.set(map,
        b.record(dictClass,
            { { QStringLiteral("NS.keys"), b.uids({ key }) },
                { QStringLiteral("NS.objects"), b.uids({ list }) } }));
    const QByteArray archive = b.finish(list);
    for (const QStringList& allowed : { QStringList { QStringLiteral("NSArray"),
                                            QStringLiteral("NSDictionary"), QStringLiteral("NSString") },
             QStringList { QStringLiteral("NSObject") } }) {
        const ValueList decoded = KeyedUnarchiver::unarchive(archive, allowed).toList();
        ASSERT_EQ(decoded.size(), 2);
        // The reference back to the list while it is decoded cannot be a list yet: it reads as null.
        EXPECT_TRUE(decoded[0].isNull());
        EXPECT_TRUE(decoded[1].toMap().value(QStringLiteral("self")).isNull());
    }
    // Filtering out refused members ends too: the list drops both itself and the dictionary.
    const Value filtered = KeyedUnarchiver::unarchive(archive, { QStringLiteral("NSArray") });
    EXPECT_EQ(filtered.type(), Value::Type::List);
    EXPECT_TRUE(filtered.toList().isEmpty());
}

// A chain of TestLink objects, each referring to the next.
QByteArray chainArchive(int length)
{
    ArchiveBuilder b;
    const quint64 linkClass = b.classRecord(QStringLiteral("TestLink"));
    const quint64 first = linkClass + 1;
    for (int i = 0; i < length; ++i) {
        const quint64 next = i + 1 < length ? first + quint64(i) + 1 : 0;
        b.add(b.record(linkClass, { { QStringLiteral("next"), b.uid(next) } }));
    }
    return b.finish(first);
}

TEST_F(KeyedUnarchiverHostileTest, DeepNestingEndsInTheExceptionNotAStackOverflow)
{
    const auto start = std::chrono::steady_clock::now();
    const QByteArray deep = chainArchive(100000);
    expectCorrupt([&] { KeyedUnarchiver::unarchive(deep, { QStringLiteral("TestLink") }); }, "100,000 links");

    // The same on a thread with a small stack: the free stack stops it before the depth limit.
    bool raised = false;
    QThread* thread = QThread::create([&] {
        try {
            KeyedUnarchiver::unarchive(deep, { QStringLiteral("TestLink") });
        } catch (const Exception& e) {
            raised = e.name() == kInvalidArchiveException;
        }
    });
    thread->setStackSize(1024 * 1024);
    thread->start();
    thread->wait();
    delete thread;
    EXPECT_TRUE(raised);

    // 100,000 nested arrays go through the same guard.
    ArchiveBuilder b;
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    for (quint64 i = 0; i < 100000; ++i)
        b.add(b.record(
            arrayClass, { { QStringLiteral("NS.objects"), b.uids({ i + 3 < 100002 ? i + 3 : 0 }) } }));
    const QByteArray nested = b.finish(2);
    expectCorrupt([&] { KeyedUnarchiver::unarchiveAnyClass(nested); }, "100,000 arrays");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    // Moderate depth is fine, and the limit can be lowered.
    const auto chain = KeyedUnarchiver::unarchive(chainArchive(1000), { QStringLiteral("TestLink") });
    int length = 0;
    for (auto link = chain.toObject<TestLink>(); link; link = link->next)
        ++length;
    EXPECT_EQ(length, 1000);
    KeyedUnarchiver::Limits limits;
    limits.maxDepth = 10;
    KeyedUnarchiver shallow(chainArchive(20), limits);
    expectCorrupt([&] { shallow.decodeObjectForKey(QStringLiteral("root")); }, "depth limit");
}

TEST_F(KeyedUnarchiverHostileTest, SharingDecodesOncePerObjectAndFanOutIsBounded)
{
    // Forty levels of arrays whose sixteen members are all the next level: 16^40 paths.
    ArchiveBuilder b;
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    const quint64 first = arrayClass + 1;
    for (quint64 level = 0; level < 40; ++level) {
        const quint64 next = level + 1 < 40 ? first + level + 1 : 0;
        b.add(b.record(
            arrayClass, { { QStringLiteral("NS.objects"), b.uids(std::vector<quint64>(16, next)) } }));
    }
    const QByteArray fan = b.finish(first);
    EXPECT_LT(fan.size(), 4000);
    const ValueList top = KeyedUnarchiver::unarchive(fan, { QStringLiteral("NSArray") }).toList();
    ASSERT_EQ(top.size(), 16);
    EXPECT_EQ(top[0].toList().size(), 16);

    // Thousands of UIDs naming one record with thousands of members would build every copy.
    ArchiveBuilder c;
    const quint64 listClass = c.classRecord(QStringLiteral("NSArray"));
    const quint64 word = c.add(c.text("w"));
    const Index shared
        = c.record(listClass, { { QStringLiteral("NS.objects"), c.uids(std::vector<quint64>(3000, word)) } });
    std::vector<quint64> copies;
    for (int i = 0; i < 3000; ++i)
        copies.push_back(c.add(shared));
    const quint64 root = c.add(c.record(listClass, { { QStringLiteral("NS.objects"), c.uids(copies) } }));
    const QByteArray wide = c.finish(root);
    const auto start = std::chrono::steady_clock::now();
    expectCorrupt([&] { KeyedUnarchiver::unarchiveAnyClass(wide); }, "fan-out of one record");
    expectCorrupt(
        [&] {
            KeyedUnarchiver::unarchive(wide, { QStringLiteral("NSArray"), QStringLiteral("NSString") });
        },
        "fan-out, restricted");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(KeyedUnarchiverHostileTest, WrongTypesAtScalarKeysRaise)
{
    struct Case {
        const char* key;
        std::function<Index(ArchiveBuilder&)> value;
    };
    const Case cases[] = {
        { "count", [](ArchiveBuilder& b) { return b.text("12"); } },
        { "weight", [](ArchiveBuilder& b) { return b.array({}); } },
        { "flag", [](ArchiveBuilder& b) { return b.uid(b.add(b.text("yes"))); } },
        { "origin", [](ArchiveBuilder& b) { return b.integer(3); } },
        { "bytes", [](ArchiveBuilder& b) { return b.text("not data"); } },
    };
    for (const Case& c : cases) {
        const QByteArray archive = nodeArchive([&](ArchiveBuilder& b) {
            return std::vector<std::pair<QString, Index>> { { QString::fromLatin1(c.key), c.value(b) } };
        });
        expectCorrupt([&] { decodeNode(archive); }, c.key);
    }
    // A reference to a bare number is still a number; nil reads as missing.
    const auto node = decodeNode(nodeArchive([](ArchiveBuilder& b) {
        return std::vector<std::pair<QString, Index>> {
            { QStringLiteral("count"), b.uid(b.add(b.integer(12))) }, { QStringLiteral("flag"), b.uid(0) }
        };
    }));
    ASSERT_TRUE(node);
    EXPECT_EQ(node->count, 12);
    EXPECT_FALSE(node->flag);
}

// Keys are found in whatever order a record has them, and a key written twice reads as its first
// entry, in a small record as in one with more keys than are read in place.
TEST_F(KeyedUnarchiverHostileTest, KeysAreFoundInAnyOrderAndTheFirstOfARepeatedKeyWins)
{
    for (const int filler : { 0, 3, 40 }) {
        const auto node = decodeNode(nodeArchive([&](ArchiveBuilder& b) {
            std::vector<std::pair<QString, Index>> fields;
            for (int i = 0; i < filler; ++i)
                fields.emplace_back(QStringLiteral("unused%1").arg(i), b.integer(i));
            fields.emplace_back(QStringLiteral("flag"), b.integer(1));
            fields.emplace_back(QStringLiteral("count"), b.integer(7));
            fields.emplace_back(QStringLiteral("small"), b.integer(-3));
            fields.emplace_back(QStringLiteral("weight"), b.real(2.5));
            fields.emplace_back(QStringLiteral("count"), b.integer(9));
            fields.emplace_back(QStringLiteral("$count"), b.integer(11));
            return fields;
        }));
        ASSERT_TRUE(node) << filler;
        EXPECT_EQ(node->count, 7) << filler;
        EXPECT_EQ(node->small, -3) << filler;
        EXPECT_FLOAT_EQ(node->weight, 2.5f) << filler;
        EXPECT_TRUE(node->flag) << filler;
    }
}

TEST_F(KeyedUnarchiverHostileTest, NonFiniteRealsComeBackAsTheyAreOrAsDefinedNumbers)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto node = decodeNode(nodeArchive([&](ArchiveBuilder& b) {
        return std::vector<std::pair<QString, Index>> {
            { QStringLiteral("weight"), b.real32(float(nan)) },
            { QStringLiteral("precise"), b.real(inf) },
            { QStringLiteral("count"), b.real(-inf) },
            { QStringLiteral("small"), b.real(nan) },
            { QStringLiteral("origin"), b.uid(b.add(b.text("{nan, inf}"))) },
            { QStringLiteral("frame"), b.text("{{1e999, 2}, {nan, 4}}") },
        };
    }));
    ASSERT_TRUE(node);
    EXPECT_TRUE(std::isnan(node->weight));
    EXPECT_EQ(node->precise, inf);
    EXPECT_EQ(node->count, std::numeric_limits<qint64>::min());
    EXPECT_EQ(node->small, 0);
    EXPECT_TRUE(std::isnan(node->origin.x()));
    EXPECT_EQ(node->origin.y(), inf);
    EXPECT_EQ(node->frame.x(), inf);
    EXPECT_TRUE(std::isnan(node->frame.width()));

    // Colour components that are not numbers in 0...1 become numbers in 0...1; missing ones are 0.
    auto colorArchive = [](const QByteArray& components) {
        ArchiveBuilder b;
        const quint64 colorClass = b.classRecord(QStringLiteral("NSColor"));
        std::vector<std::pair<QString, Index>> fields { { QStringLiteral("NSColorSpace"), b.integer(2) } };
        if (!components.isNull())
            fields.emplace_back(QStringLiteral("NSRGB"), b.data(components));
        return b.finish(b.add(b.record(colorClass, fields)));
    };
    auto colorOf = [](const QByteArray& archive) {
        return KeyedUnarchiver::unarchive(archive, { QStringLiteral("NSColor") }).toColor();
    };
    EXPECT_EQ(colorOf(colorArchive(QByteArray("nan inf -1 0.5", 15))), RgbColor(0, 0, 0, 0.5));
    EXPECT_EQ(colorOf(colorArchive(QByteArray("2 1e-999", 9))), RgbColor(1, 0, 0, 1));
    EXPECT_EQ(colorOf(colorArchive(QByteArray())), RgbColor(0, 0, 0, 1));
}

TEST_F(KeyedUnarchiverHostileTest, OwnersCanRefuseTheirAncestorsSoNoCycleLeaks)
{
    // The root lists itself among its children: owning that would keep the graph alive forever.
    ArchiveBuilder b;
    const quint64 root = b.reserve();
    const quint64 child = b.reserve();
    const quint64 list = b.reserve();
    const quint64 nodeClass = b.classRecord(QStringLiteral("TestNode"));
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    b.set(root, b.record(nodeClass, { { QStringLiteral("children"), b.uid(list) } }));
    b.set(child, b.record(nodeClass, { { QStringLiteral("parent"), b.uid(root) } }));
    b.set(list, b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids({ root, child }) } }));
    std::weak_ptr<TestNode> weak;
    {
        const auto node = decodeNode(b.finish(root));
        ASSERT_TRUE(node);
        ASSERT_EQ(node->children.size(), 1u);
        EXPECT_EQ(node->children[0]->parent.lock().get(), node.get());
        weak = node;
    }
    EXPECT_TRUE(weak.expired());
}

TEST_F(KeyedUnarchiverHostileTest, DecoderExceptionsPassThroughAndLeaveNothingBehind)
{
    auto root = std::make_shared<TestNode>();
    root->extra = ValueList { Value(std::make_shared<TestThrower>()) };
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(root);
    TestThrower::last.reset();
    KeyedUnarchiver unarchiver(archive);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            unarchiver.decodeObjectForKey(QStringLiteral("root"));
            ADD_FAILURE() << "the decoder's exception was swallowed";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), QStringLiteral("fileTooNew"));
        }
        // The blank objects of the failed decode are gone already, not kept half made.
        EXPECT_TRUE(TestThrower::last.expired());
    }

    KeyedUnarchiver::Limits limits;
    limits.maxDecodedObjects = 3;
    auto big = std::make_shared<TestNode>();
    big->children
        = { std::make_shared<TestNode>(), std::make_shared<TestNode>(), std::make_shared<TestNode>() };
    KeyedUnarchiver limited(KeyedArchiver::archivedDataWithRootObject(big), limits);
    expectCorrupt([&] { limited.decodeObjectForKey(QStringLiteral("root")); }, "object limit");
}

} // namespace
} // namespace zandrel
