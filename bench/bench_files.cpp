// Reading and writing parts files of characters of 50, 200 and 800 parts (20 paths of 50 points a
// part): the time per part should not grow with the character, and the heap a read needs at its
// peak should stay within a small multiple of the file. The memcpy of the largest file is this
// machine's baseline in the same run. Each is measured twice: repeated back to back (second
// argument 0), where the smallest character's file and tables stay in the processor's cache from
// one iteration to the next, and from cold caches (1), as a save or an open starts in the program.
#include "BenchSupport.h"
#include "PeakMemory.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartsFile.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace {

using namespace zandrel;

constexpr int kPathsPerPart = 20;
constexpr int kPointsPerPath = 50;

CharacterModelPtr makeCharacter(int partCount)
{
    std::mt19937 random(4711);
    std::uniform_real_distribution<float> place(0, 2000);
    std::uniform_real_distribution<float> wobble(-30, 30);
    auto model = std::make_shared<CharacterModel>();
    QList<ZDLColorPtr> colours;
    for (int i = 0; i < 8; ++i) {
        auto colour = ZDLColor::colorFromHexNamed(
            QColor::fromHsv(i * 40, 160, 220).name(), QStringLiteral("Colour %1").arg(i));
        model->addColor(colour);
        colours.append(colour);
    }
    ElementList parts;
    for (int p = 0; p < partCount; ++p) {
        auto part = std::make_shared<Part>();
        ElementList paths;
        for (int i = 0; i < kPathsPerPart; ++i) {
            auto curve = std::make_shared<Curve>();
            const QPointF centre(place(random), place(random));
            for (int k = 0; k < kPointsPerPath; ++k)
                curve->addPoint(centre + QPointF(wobble(random), wobble(random)), k % 3 == 0);
            curve->setClosed(true);
            auto path = std::make_shared<PartPath>();
            path->setSegments({ curve });
            path->setLineColor(colours[int(random() % 8)]);
            path->setFillColor(colours[int(random() % 8)]);
            path->setLineWeight(1.0f + float(random() % 4));
            paths.append(path);
        }
        part->setChildren(paths);
        part->setPartType(p % 20);
        parts.append(part);
    }
    model->setChildren(parts);
    return model;
}

struct Character {
    CharacterModelPtr model;
    QByteArray file;
};

const Character& character(int parts)
{
    static std::map<int, Character> made;
    auto found = made.find(parts);
    if (found == made.end()) {
        Character c;
        c.model = makeCharacter(parts);
        c.file = archivedPartsFile(*c.model);
        found = made.emplace(parts, std::move(c)).first;
    }
    return found->second;
}

void perPart(benchmark::State& state, qint64 bytes)
{
    const double parts = double(state.range(0));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["us/part"] = benchmark::Counter(
        parts * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["MB file"] = double(bytes) / 1e6;
}

void BM_MemcpyLargestFile(benchmark::State& state)
{
    bench::measureMemcpy(state, character(800).file);
}
BENCHMARK(BM_MemcpyLargestFile)->Unit(benchmark::kMillisecond);

void BM_SaveCharacter(benchmark::State& state)
{
    const Character& c = character(int(state.range(0)));
    std::int64_t peak = 0;
    for (auto _ : state) {
        if (state.range(1)) {
            state.PauseTiming();
            bench::evictCaches();
            state.ResumeTiming();
        }
        const std::int64_t base = peak_memory::start();
        const QByteArray bytes = archivedPartsFile(*c.model);
        peak = std::max(peak, peak_memory::peakAbove(base));
        benchmark::DoNotOptimize(bytes.constData());
    }
    perPart(state, c.file.size());
    state.counters["peak/file"] = double(peak) / double(c.file.size());
}
BENCHMARK(BM_SaveCharacter)->ArgsProduct({ { 50, 200, 800 }, { 0, 1 } })->Unit(benchmark::kMillisecond);

void BM_LoadCharacter(benchmark::State& state)
{
    const Character& c = character(int(state.range(0)));
    std::int64_t peak = 0;
    for (auto _ : state) {
        const std::int64_t base = peak_memory::start();
        CharacterModelPtr read = readPartsFile(c.file);
        peak = std::max(peak, peak_memory::peakAbove(base));
        benchmark::DoNotOptimize(read.get());
        state.PauseTiming();
        read->retire();
        read.reset();
        if (state.range(1))
            bench::evictCaches();
        state.ResumeTiming();
    }
    perPart(state, c.file.size());
    // The peak includes the model read, which stays: what a load costs at its worst.
    state.counters["peak/file"] = double(peak) / double(c.file.size());
}
BENCHMARK(BM_LoadCharacter)->ArgsProduct({ { 50, 200, 800 }, { 0, 1 } })->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
