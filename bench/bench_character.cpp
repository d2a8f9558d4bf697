// A character at the size of a busy scenery set: 60 parts of 40 styled paths each (a tenth of
// them with contents), from a seeded generator. Measured: writing and reading its parts file, the
// bounds the views ask of every part, drawing every path through the canvas as an export does,
// and setting a style field by name on every path (property lookup, observation and the cache
// flush up to the part). bench_archive measures the machine's memcpy baseline.
#include "BenchSupport.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartsFile.h"
#include "graphics/ColorFill.h"
#include "graphics/StyleKeys.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

using namespace zandrel;

constexpr int kParts = 60;
constexpr int kPathsPerPart = 40;
constexpr int kSide = 2000;

CurvePtr blob(std::mt19937& random, const QPointF& centre, double radius)
{
    std::uniform_real_distribution<double> wobble(0.75, 1.3);
    auto curve = std::make_shared<Curve>();
    for (int k = 0; k < 12; ++k) {
        const double angle = M_PI * k / 6;
        const double r = radius * wobble(random) * (k % 2 ? 1.2 : 1.0);
        curve->addPoint(centre + QPointF(r * std::cos(angle), r * std::sin(angle)), k % 2 == 0);
    }
    curve->setClosed(true);
    return curve;
}

struct Fixture {
    Fixture()
    {
        std::mt19937 random(20240612);
        std::uniform_real_distribution<double> place(50, kSide - 50);
        std::uniform_real_distribution<double> size(5, 40);
        std::uniform_real_distribution<float> unit(0, 1);
        model = std::make_shared<CharacterModel>();
        model->setCreator(QStringLiteral("Bench"));
        QList<ZDLColorPtr> colours;
        for (int i = 0; i < 12; ++i) {
            auto colour = ZDLColor::colorFromHexNamed(
                QColor::fromHsv(i * 30, 180, 200).name(), QStringLiteral("Colour %1").arg(i));
            model->addColor(colour);
            colours.append(colour);
        }
        ElementList parts;
        for (int p = 0; p < kParts; ++p) {
            auto part = std::make_shared<Part>();
            ElementList paths;
            for (int i = 0; i < kPathsPerPart; ++i) {
                auto path = std::make_shared<PartPath>();
                path->setSegments({ blob(random, QPointF(place(random), place(random)), size(random)) });
                path->setLineColor(colours[int(random() % 12)]);
                path->setFillColor(colours[int(random() % 12)]);
                path->setLineWeight(0.5f + 3 * unit(random));
                path->setFillAlpha(0.5f + unit(random) / 2);
                path->setLineDash(qint64(random() % 3));
                if (i % 10 == 0)
                    path->addPartElement(copyElement(*path));
                paths.append(path);
                allPaths.push_back(path);
            }
            part->setChildren(paths);
            part->setPartType(int(p % 20));
            parts.append(part);
        }
        model->setChildren(parts);
        file = archivedPartsFile(*model);
    }
    CharacterModelPtr model;
    std::vector<PartPathPtr> allPaths;
    QByteArray file;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void BM_PartsFileWrite(benchmark::State& state)
{
    bench::measureWrites(state, fixture().file, [] { return archivedPartsFile(*fixture().model); });
}
BENCHMARK(BM_PartsFileWrite)->Unit(benchmark::kMillisecond);

void BM_PartsFileRead(benchmark::State& state)
{
    bench::measureReads(state, fixture().file, [](const QByteArray& bytes) { return readPartsFile(bytes); });
}
BENCHMARK(BM_PartsFileRead)->Unit(benchmark::kMillisecond);

void BM_PartBounds(benchmark::State& state)
{
    const ElementList parts = fixture().model->getParts();
    for (auto _ : state) {
        for (const ObjectPtr& part : parts) {
            const auto* graphic = asProtocol<GraphicElement>(part);
            benchmark::DoNotOptimize(graphic->getInvalidationBounds());
            benchmark::DoNotOptimize(graphic->getBounds());
        }
    }
    state.SetItemsProcessed(state.iterations() * parts.size());
}
BENCHMARK(BM_PartBounds)->Unit(benchmark::kMicrosecond);

void BM_DrawPaths(benchmark::State& state)
{
    const ElementList parts = fixture().model->getParts();
    OffscreenImage image(QSize(kSide, kSide));
    for (auto _ : state) {
        CanvasScope scope(image.canvas());
        ZDLContext context(1.0f);
        context.setExporting(true);
        for (const ObjectPtr& part : parts) {
            for (const ObjectPtr& element : asProtocol<Parent>(part)->children())
                asProtocol<GraphicElement>(element)->drawIn(context);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(fixture().allPaths.size()));
}
BENCHMARK(BM_DrawPaths)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SetStyleFieldByName(benchmark::State& state)
{
    const auto& paths = fixture().allPaths;
    float weight = 1.0f;
    for (auto _ : state) {
        weight = weight > 3.0f ? 1.0f : weight + 0.25f;
        for (const PartPathPtr& path : paths)
            path->setValueForKey(weight, stylekeys::kLineWeight);
    }
    state.SetItemsProcessed(state.iterations() * qint64(paths.size()));
}
BENCHMARK(BM_SetStyleFieldByName)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
