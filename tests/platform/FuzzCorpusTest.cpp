#include "ArchiveBuilder.h"
#include "ArchiveOracle.h"
#include "ArchiveTestClasses.h"
#include "CorpusSeeds.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using namespace test;

// The seed corpus of the unarchiver fuzz target, made by our own archiver plus a few damaged
// files. The committed seeds double as golden files: a change in what the archiver writes shows
// up here. Run with ZANDREL_WRITE_FUZZ_CORPUS=1 to rewrite them after an intended change.
QMap<QString, QByteArray> seeds()
{
    QMap<QString, QByteArray> files;
    auto root = std::make_shared<TestNode>();
    auto child = std::make_shared<TestNode>();
    auto special = std::make_shared<TestSpecialNode>();
    auto swatch = std::make_shared<TestSwatch>();
    swatch->kind = 3;
    // The components of 16-bit colours as earlier archives wrote them: the seeds stay the same.
    swatch->color = RgbColor(0.78431374, 0.039215688, 0.15686275, 0.39215687);
    root->name = QStringLiteral("root \u00e9");
    child->parent = root;
    special->parent = root;
    child->swatch = swatch;
    special->swatch = swatch;
    root->swatch = std::make_shared<TestSwatch>();
    root->children = { child, special };
    root->weight = 0.1f;
    root->count = -3;
    root->small = 70000;
    root->flag = true;
    root->precise = 1e-300;
    root->origin = QPointF(1.5, -2);
    root->frame = QRectF(0, 1, 2, 3);
    root->bytes = QByteArray("\x00\x01", 2);
    ValueMap extra;
    extra.insert(QStringLiteral("point"), QPointF(1, 2));
    extra.insert(QStringLiteral("size"), QSizeF(3, 4));
    extra.insert(QStringLiteral("rect"), QRectF(5, 6, 7, 8));
    extra.insert(QStringLiteral("transform"), QTransform(1, 2, 3, 4, 5, 6));
    extra.insert(QStringLiteral("list"), ValueList { Value(1), Value(2.5f), Value(false), Value() });
    root->extra = extra;
    const QByteArray graph = KeyedArchiver::archivedDataWithRootObject(root);
    files.insert(QStringLiteral("graph.archive"), graph);
    files.insert(QStringLiteral("bad-truncated.archive"), graph.left(graph.size() / 2));
    QByteArray flipped = graph;
    flipped[flipped.size() - 40] = char(0xff);
    files.insert(QStringLiteral("bad-offset.archive"), flipped);

    files.insert(
        QStringLiteral("string.archive"), KeyedArchiver::archivedData(QStringLiteral("text \u4e2d")));
    files.insert(QStringLiteral("color.archive"),
        KeyedArchiver::archivedData(RgbColor(0.003921569, 0.007843138, 0.011764706, 0.015686275)));
    files.insert(QStringLiteral("map.archive"), KeyedArchiver::archivedData(extra));
    files.insert(QStringLiteral("unsigned.archive"),
        KeyedArchiver::archivedData(
            ValueList { Value((quint64(1) << 63) + 44), Value(~quint64(0)), Value(-1) }));

    std::shared_ptr<TestLink> chain;
    for (int i = 0; i < 40; ++i) {
        auto link = std::make_shared<TestLink>();
        link->next = chain;
        chain = link;
    }
    files.insert(QStringLiteral("chain.archive"), KeyedArchiver::archivedDataWithRootObject(chain));

    {
        ArchiveBuilder b;
        const quint64 list = b.reserve();
        const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
        b.set(list, b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids({ list, list }) } }));
        files.insert(QStringLiteral("self-array.archive"), b.finish(list));
    }
    {
        ArchiveBuilder b;
        const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
        for (quint64 level = 0; level < 8; ++level) {
            const quint64 next = level + 1 < 8 ? arrayClass + level + 2 : 0;
            b.add(b.record(
                arrayClass, { { QStringLiteral("NS.objects"), b.uids({ next, next, next, next }) } }));
        }
        files.insert(QStringLiteral("fan.archive"), b.finish(arrayClass + 1));
    }
    {
        // Nested lists each holding the next twice: read once, and written back once.
        ArchiveBuilder b;
        const quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));
        const quint64 leaf = b.add(b.text("leaf"));
        for (quint64 level = 0; level < 40; ++level) {
            const quint64 next = level + 1 < 40 ? leaf + level + 2 : leaf;
            b.add(b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids({ next, next }) } }));
        }
        files.insert(QStringLiteral("doubling.archive"), b.finish(leaf + 1));
    }
    {
        ArchiveBuilder b;
        const quint64 node = b.reserve();
        const quint64 nodeClass = b.classRecord(QStringLiteral("TestNode"));
        const double nan = std::numeric_limits<double>::quiet_NaN();
        b.set(node,
            b.record(nodeClass,
                { { QStringLiteral("weight"), b.real32(float(nan)) },
                    { QStringLiteral("precise"), b.real(-std::numeric_limits<double>::infinity()) },
                    { QStringLiteral("origin"), b.uid(b.add(b.text("{nan, 1e999}"))) },
                    { QStringLiteral("parent"), b.uid(node) } }));
        files.insert(QStringLiteral("nonfinite.archive"), b.finish(node));
    }
    {
        ArchiveBuilder b;
        const quint64 node = b.reserve();
        const quint64 nodeClass = b.classRecord(QStringLiteral("TestNode"));
        b.set(node, b.record(nodeClass, { { QStringLiteral("count"), b.text("12") } }));
        files.insert(QStringLiteral("bad-scalar.archive"), b.finish(node));
    }
    files.insert(QStringLiteral("bad-dangling.archive"), ArchiveBuilder().finish(9));
    files.insert(QStringLiteral("bad-version.archive"),
        ArchiveBuilder().finish(0, QStringLiteral("NSKeyedArchiver"), 100001));
    return files;
}

TEST(FuzzCorpusTest, SeedsMatchWhatTheArchiverWrites)
{
    ClassRegistry::shared().registerOnce(&registerArchiveTestClasses);
    checkCorpusSeeds(QStringLiteral("fuzz_unarchiver"), seeds(),
        { "graph.archive", "string.archive", "color.archive", "map.archive", "unsigned.archive",
            "chain.archive", "self-array.archive", "nonfinite.archive" });
}

} // namespace
} // namespace zandrel
