// Binary property list and keyed archive throughput on an archive of over 100,000 objects, beside
// a memcpy of the same bytes as the baseline of this machine and run.
#include "BenchSupport.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Object.h"
#include "platform/PropertyList.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace zandrel {
namespace {

// A node of a document-like tree: a name, a few scalars, a colour and children.
class BenchNode : public Object {
public:
    static inline const QString kClassName = QStringLiteral("BenchNode");
    QString className() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(Value(name), QStringLiteral("name"));
        coder.encodeFloat(weight, QStringLiteral("weight"));
        coder.encodeInteger(count, QStringLiteral("count"));
        coder.encodePoint(origin, QStringLiteral("origin"));
        coder.encodeObject(Value(color), QStringLiteral("color"));
        ValueList list;
        for (const auto& child : children)
            list.append(Value(child));
        coder.encodeObject(Value(list), QStringLiteral("children"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        name = coder.decodeObjectOfClass(PlatformClass::kString, QStringLiteral("name")).toString();
        weight = coder.decodeFloatForKey(QStringLiteral("weight"));
        count = coder.decodeIntegerForKey(QStringLiteral("count"));
        origin = coder.decodePointForKey(QStringLiteral("origin"));
        color = coder.decodeObjectOfClass(PlatformClass::kColor, QStringLiteral("color")).toColor();
        const ValueList list = coder
                                   .decodeObjectOfClasses({ PlatformClass::kArray, BenchNode::kClassName },
                                       QStringLiteral("children"))
                                   .toList();
        for (const Value& item : list)
            children.push_back(item.toObject<BenchNode>());
        return shared_from_this();
    }

    QString name;
    float weight = 0;
    qint64 count = 0;
    QPointF origin;
    RgbColor color;
    std::vector<std::shared_ptr<BenchNode>> children;
};

void registerBenchClasses(ClassRegistry& registry)
{
    registry.registerClass<BenchNode>(BenchNode::kClassName, PlatformClass::kObject);
}

// 25,000 nodes in a tree of fan-out 4: about 125,000 archived objects.
std::shared_ptr<BenchNode> makeTree()
{
    std::vector<std::shared_ptr<BenchNode>> nodes;
    for (int i = 0; i < 25000; ++i) {
        auto node = std::make_shared<BenchNode>();
        node->name = QStringLiteral("node %1").arg(i);
        node->weight = float(i) * 0.1f;
        node->count = i * 7 - 1000;
        node->origin = QPointF(i % 613 * 1.25, i / 613 * -2.5);
        node->color = RgbColor(((i * 3) & 255) / 255.0, ((i * 5) & 255) / 255.0, ((i * 7) & 255) / 255.0);
        if (i > 0)
            nodes[size_t((i - 1) / 4)]->children.push_back(node);
        nodes.push_back(node);
    }
    return nodes.front();
}

struct Fixture {
    Fixture()
    {
        ClassRegistry::shared().registerOnce(&registerBenchClasses);
        tree = makeTree();
        archive = KeyedArchiver::archivedDataWithRootObject(tree);
        list = PropertyList::fromBinary(archive);
    }
    std::shared_ptr<BenchNode> tree;
    QByteArray archive;
    PropertyList list;
};

const Fixture& fixture()
{
    static const Fixture instance;
    return instance;
}

void BM_MemcpyBaseline(benchmark::State& state)
{
    bench::measureMemcpy(state, fixture().archive);
}
BENCHMARK(BM_MemcpyBaseline);

void BM_PropertyListRead(benchmark::State& state)
{
    const QByteArray& bytes = fixture().archive;
    for (auto _ : state) {
        PropertyList list = PropertyList::fromBinary(bytes);
        benchmark::DoNotOptimize(list.size());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["objects"] = double(fixture().list.size());
}
BENCHMARK(BM_PropertyListRead)->Unit(benchmark::kMillisecond);

void BM_PropertyListWrite(benchmark::State& state)
{
    const PropertyList& list = fixture().list;
    qint64 size = 0;
    for (auto _ : state) {
        const QByteArray bytes = list.toBinary();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_PropertyListWrite)->Unit(benchmark::kMillisecond);

void BM_KeyedArchiveEncode(benchmark::State& state)
{
    const auto& tree = fixture().tree;
    for (auto _ : state) {
        const QByteArray bytes = KeyedArchiver::archivedDataWithRootObject(tree);
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * fixture().archive.size());
}
BENCHMARK(BM_KeyedArchiveEncode)->Unit(benchmark::kMillisecond);

void BM_KeyedArchiveDecode(benchmark::State& state)
{
    const QByteArray& bytes = fixture().archive;
    for (auto _ : state) {
        const Value root = KeyedUnarchiver::unarchive(bytes, { BenchNode::kClassName });
        benchmark::DoNotOptimize(root.toObject().get());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_KeyedArchiveDecode)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace zandrel
