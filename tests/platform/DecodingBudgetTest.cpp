// The decoding budget, and the keyed archive's reader and writer bounded by it: what a file refers
// to many times is never expanded per reference, and what is written always reads back.
#include "platform/DecodingBudget.h"

#include "ArchiveBuilder.h"
#include "ArchiveOracle.h"
#include "ArchiveTestClasses.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

using namespace test;

constexpr qint64 kMiB = 1024 * 1024;

class DecodingBudgetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerArchiveTestClasses); }
};

template <class F> QString refusal(F work)
{
    try {
        work();
    } catch (const Exception& e) {
        return e.name();
    }
    return {};
}

TEST_F(DecodingBudgetTest, AllowanceIsProportionalWithAFloorAndChargesNestOutward)
{
    const struct {
        qint64 fileBytes;
        qint64 allowance;
    } rule[] = {
        { -1, 384 * kMiB },
        { 0, 384 * kMiB },
        { 30 * kMiB, 384 * kMiB },
        { 96 * kMiB, 384 * kMiB },
        { 96 * kMiB + 1, 384 * kMiB + 4 },
        { 200 * kMiB, 800 * kMiB },
        { qint64(1) << 62, std::numeric_limits<qint64>::max() },
    };
    for (const auto& r : rule)
        EXPECT_EQ(DecodingBudget::allowanceForFileSize(r.fileBytes), r.allowance) << r.fileBytes;

    // Without a current budget nothing is charged or kept.
    DecodingBudget::charge(std::numeric_limits<qint64>::max());
    int made = 0;
    const auto make = [&] { return std::make_shared<int>(++made); };
    DecodingBudget::expandOnce<int>(QStringLiteral("k"), "bytes", make);
    DecodingBudget::expandOnce<int>(QStringLiteral("k"), "bytes", make);
    EXPECT_EQ(made, 2);

    const auto outer = DecodingBudget::withAllowance(1000);
    const DecodingBudget::Scope outerScope(*outer);
    DecodingBudget inner(0, QStringLiteral("innerException"));
    EXPECT_EQ(inner.outer(), outer.get());
    {
        const DecodingBudget::Scope innerScope(inner);
        DecodingBudget::charge(600);
        // The outer budget refuses first: nothing is charged to either, and its name is raised.
        EXPECT_EQ(refusal([] { DecodingBudget::charge(401); }), kInvalidArchiveException);
        EXPECT_EQ(inner.spent(), 600);
        EXPECT_EQ(outer->spent(), 600);

        // Equal bytes of one kind are expanded once while the budget lasts; null is not kept.
        EXPECT_EQ(*DecodingBudget::expandOnce<int>(QStringLiteral("k"), "bytes", make), 3);
        EXPECT_EQ(*DecodingBudget::expandOnce<int>(QStringLiteral("k"), QByteArray("bytes"), make), 3);
        EXPECT_EQ(*DecodingBudget::expandOnce<int>(QStringLiteral("j"), "bytes", make), 4);
        EXPECT_FALSE((DecodingBudget::expandOnce<int>(QStringLiteral("n"), "x", [] { return nullptr; })));
    }
    EXPECT_EQ(DecodingBudget::current(), outer.get());
    const auto tight = DecodingBudget::withAllowance(10, QStringLiteral("tight"));
    EXPECT_EQ(refusal([&] { tight->spend(11); }), QStringLiteral("tight"));
    EXPECT_EQ(outer->spent(), 600);
}

// Levels of lists, each holding the next one twice: 2^levels paths through a small file.
QByteArray doublingListsArchive(int levels)
{
    ArchiveBuilder b;
    const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
    const quint64 word = b.add(b.text(QStringLiteral("leaf")));
    const quint64 first = word + 1;
    for (int level = 0; level < levels; ++level) {
        const quint64 next = level + 1 < levels ? first + quint64(level) + 1 : word;
        b.add(b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids({ next, next }) } }));
    }
    return b.finish(first);
}

TEST_F(DecodingBudgetTest, ListsSharedByReferenceAreReadAndWrittenOnce)
{
    // Read: each list is made once, and its entries are charged to the archive's budget.
    const QByteArray file = doublingListsArchive(200);
    const auto outer = DecodingBudget::withAllowance(kMiB);
    const DecodingBudget::Scope scope(*outer);
    const Value root = KeyedUnarchiver::unarchiveAnyClass(file);
    EXPECT_EQ(outer->spent(), 200 * 2 * qint64(sizeof(Value)));
    Value deepest = root;
    for (int level = 0; level < 199; ++level)
        deepest = deepest.toList().at(1);
    EXPECT_EQ(deepest.toList(), (ValueList { Value(QStringLiteral("leaf")), Value(QStringLiteral("leaf")) }));

    // Written back, every list is still written once, and the archive reads back the same.
    const QByteArray written = KeyedArchiver::archivedData(root);
    EXPECT_LT(written.size(), 2 * file.size());
    checkWithPython(written);
    const Value again = KeyedUnarchiver::unarchiveAnyClass(written);
    EXPECT_EQ(again, again);
    EXPECT_EQ(KeyedArchiver::archivedData(again), written);

    // A list, a map and a transform shared by two lists are written once too; an equal list that
    // is not the same one is an object of its own, whose shared members are not.
    ValueMap map { { QStringLiteral("k"), Value(1) } };
    const Value transform(QTransform(2, 0, 0, 2, 1, 1));
    const ValueList shared { Value(map), transform, Value(QStringLiteral("x")) };
    const ValueList twice { Value(shared), Value(shared), Value(ValueList(shared.begin(), shared.end())) };
    const QByteArray bytes = KeyedArchiver::archivedData(Value(twice));
    QString listing;
    ASSERT_EQ(runPython(QStringLiteral("import plistlib,sys\n"
                                       "o=plistlib.loads(open(sys.argv[1],'rb').read())['$objects']\n"
                                       "r=o[1]['NS.objects']\n"
                                       "m=[o[u.data]['NS.objects'] for u in r]\n"
                                       "print(r[0]==r[1], r[0]==r[2], m[0]==m[2])\n"),
                  bytes, &listing),
        0);
    EXPECT_EQ(listing.trimmed(), QStringLiteral("True False True"));
}

TEST_F(DecodingBudgetTest, WritingRefusesWhatTheReaderWouldNotRead)
{
    auto root = std::make_shared<TestNode>();
    for (int i = 0; i < 50; ++i)
        root->children.push_back(std::make_shared<TestNode>());
    auto write
        = [&](const KeyedArchiver::Limits& limits, const std::function<void(KeyedArchiver&)>& more = {}) {
              return refusal([&] {
                  KeyedArchiver archiver(limits);
                  archiver.encodeObject(root, QStringLiteral("root"));
                  if (more)
                      more(archiver);
                  archiver.encodedData();
              });
          };
    EXPECT_EQ(write({}), QString());
    EXPECT_EQ(write({ .maxObjects = 40 }), kInvalidArchiveException);
    EXPECT_EQ(write({ .maxBytes = 1000 }), kInvalidArchiveException);
    // Lists are levels of their own: the root, its children's list, a child, the child's list.
    EXPECT_EQ(write({ .maxDepth = 3 }), kInvalidArchiveException);
    EXPECT_EQ(write({ .maxDepth = 4 }), QString());

    // Bytes that reading expands beyond the allowance of the file's size, counted once.
    const QByteArray picture(1000, 'p');
    const auto expanding = [&](int times, qint64 each) {
        return [&picture, times, each](KeyedArchiver& archiver) {
            for (int i = 0; i < times; ++i)
                archiver.noteExpansion(picture, each);
        };
    };
    EXPECT_EQ(write({}, expanding(10, DecodingBudget::kFloorBytes / 2)), QString());
    EXPECT_EQ(write({}, expanding(1, DecodingBudget::kFloorBytes)), kInvalidArchiveException);

    // A chain deeper than the reader takes is refused by the writer too.
    auto head = std::make_shared<TestLink>();
    auto link = head;
    for (int i = 0; i < 3000; ++i)
        link = link->next = std::make_shared<TestLink>();
    EXPECT_EQ(refusal([&] { KeyedArchiver::archivedDataWithRootObject(head); }), kInvalidArchiveException);
    while (head)
        head = std::exchange(head->next, nullptr);
}

} // namespace
} // namespace zandrel
