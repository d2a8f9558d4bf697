// A comic book: 100 pages of 3 rows of 3 panels, each panel holding a character of 20 parts (three
// styled paths each) placed from the comic's cast and two balloons of lettering with tails. Measured: saving
// and opening its comic file beside a memcpy of the file's bytes, and drawing one page as a screen does at
// 300 dpi, once from cold caches (every part renders its bitmap) and again with the caches warm, beside
// filling a bitmap of the page's size. All baselines run in the same process, so figures read as ratios.
#include "BenchSupport.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicFile.h"
#include "graphics/ColorFill.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/FontRegistry.h"
#include "platform/OffscreenImage.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace zandrel;

constexpr int kPages = 100;
constexpr int kRows = 3;
constexpr int kPanelsPerRow = 3;
constexpr int kPartsPerCharacter = 20;
constexpr int kPathsPerPart = 3;
constexpr int kBalloonsPerPanel = 2;
// A US letter page in points, drawn at 300 dots to the inch.
constexpr double kPageWidth = 612;
constexpr double kPageHeight = 792;
constexpr float kPrintScale = 300.0f / 72.0f;

CurvePtr blob(std::mt19937& random, const QPointF& centre, double radius)
{
    std::uniform_real_distribution<double> wobble(0.75, 1.3);
    auto curve = std::make_shared<Curve>();
    for (int k = 0; k < 12; ++k) {
        const double angle = M_PI * k / 6;
        curve->addPoint(centre
                + QPointF(
                    radius * wobble(random) * std::cos(angle), radius * wobble(random) * std::sin(angle)),
            k % 2 == 0);
    }
    curve->setClosed(true);
    return curve;
}

CharacterModelPtr makeCharacter(std::mt19937& random)
{
    auto character = std::make_shared<CharacterModel>();
    character->setCharacterName(QStringLiteral("Bench"));
    character->setCreator(QStringLiteral("Bench"));
    QList<ZDLColorPtr> colours;
    for (int i = 0; i < 8; ++i) {
        auto colour = ZDLColor::colorFromHexNamed(
            QColor::fromHsv(i * 45, 170, 210).name(), QStringLiteral("Colour %1").arg(i));
        character->addColor(colour);
        colours.append(colour);
    }
    std::uniform_real_distribution<double> place(0, 150);
    ElementList parts;
    for (int p = 0; p < kPartsPerCharacter; ++p) {
        auto part = std::make_shared<Part>();
        ElementList paths;
        for (int i = 0; i < kPathsPerPart; ++i) {
            auto path = std::make_shared<PartPath>();
            path->setSegments({ blob(random, QPointF(place(random), place(random)), 6 + p % 7) });
            path->setLineColor(colours[int(random() % 8)]);
            path->setFillColor(colours[int(random() % 8)]);
            path->setLineWeight(1.0f + float(i));
            paths.append(path);
        }
        part->setChildren(paths);
        part->setModel(character);
        parts.append(part);
    }
    character->setChildren(parts);
    return character;
}

BalloonPtr makeBalloon(const QPointF& at, int index)
{
    TextAttributes attributes;
    attributes.font = TextFont(FontRegistry::kLetteringFontName, 12.0);
    attributes.foregroundColor = RgbColor(0, 0, 0, 1);
    BalloonPtr balloon = Balloon::initAt(at, 90);
    balloon->setFormattedText(AttributedText(
        index % 2 ? QStringLiteral("Where did everybody go?") : QStringLiteral("Over here!"), attributes));
    balloon->setShape(index % 3);
    return balloon;
}

struct Fixture {
    Fixture()
    {
        std::mt19937 random(20261207);
        comic = std::make_shared<ComicModel>();
        comic->setCreator(QStringLiteral("Bench"));
        comic->setupWithSize(QSizeF(kPageWidth, kPageHeight), kRows, kPanelsPerRow);
        const CharacterModelPtr character = makeCharacter(random);
        comic->setCharacters({ comic->comicColorsModel(), character });
        ComicStructureList pages;
        for (int i = 0; i < kPages; ++i) {
            auto page = std::make_shared<ComicPage>();
            page->initWithRect(comic->bounds(), comic.get(), kRows, kPanelsPerRow);
            ComicStructureList panels;
            page->getPanelsInArray(panels);
            for (const auto& element : panels) {
                auto* panel = dynamic_cast<ComicPanel*>(element.get());
                const QPointF at = panel->bounds().topLeft() + QPointF(20, 20);
                ElementList figure;
                for (const ObjectPtr& part : character->getParts()) {
                    auto copy = copyElement(*std::dynamic_pointer_cast<Part>(part));
                    copy->setModel(character);
                    copy->offsetBy(at, true);
                    figure.append(copy);
                }
                for (int b = 0; b < kBalloonsPerPanel; ++b)
                    figure.append(makeBalloon(panel->bounds().topLeft() + QPointF(10 + 60 * b, 8), b));
                panel->frontLayer()->setChildren(figure);
            }
            pages.push_back(page);
        }
        comic->setContents(pages);
        comic->setCurrentPage(comic->pageAtIndex(0));
        file = archivedComicFile(*comic);
    }
    ComicModelPtr comic;
    QByteArray file;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

void BM_ComicFileMemcpyBaseline(benchmark::State& state)
{
    bench::measureMemcpy(state, fixture().file);
}
BENCHMARK(BM_ComicFileMemcpyBaseline);

void BM_ComicFileSave(benchmark::State& state)
{
    bench::measureWrites(state, fixture().file, [] { return archivedComicFile(*fixture().comic); });
}
BENCHMARK(BM_ComicFileSave)->Unit(benchmark::kMillisecond);

void BM_ComicFileOpen(benchmark::State& state)
{
    bench::measureReads(state, fixture().file, [](const QByteArray& bytes) { return readComicFile(bytes); });
}
BENCHMARK(BM_ComicFileOpen)->Unit(benchmark::kMillisecond);

QSize printedPage()
{
    return OffscreenImage::pixelSizeFor(QSizeF(kPageWidth, kPageHeight), kPrintScale);
}

// Touching every pixel of a page's bitmap once: the floor under any drawing of it.
void BM_PageBitmapFillBaseline(benchmark::State& state)
{
    QImage image(printedPage(), QImage::Format_ARGB32_Premultiplied);
    int shade = 0;
    for (auto _ : state) {
        image.fill(QColor(shade, shade, shade));
        shade = (shade + 1) % 256;
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PageBitmapFillBaseline)->Unit(benchmark::kMillisecond);

void drawPage(OffscreenImage& image)
{
    ComicModel& comic = *fixture().comic;
    Canvas* canvas = image.canvas();
    canvas->save();
    canvas->scale(kPrintScale, kPrintScale);
    {
        CanvasScope scope(canvas);
        ZDLContext context(kPrintScale);
        comic.drawIn(context, comic.bounds());
    }
    canvas->restore();
}

void BM_DrawPageColdCaches(benchmark::State& state)
{
    OffscreenImage image(printedPage());
    for (auto _ : state) {
        state.PauseTiming();
        ComicStructureList panels;
        fixture().comic->currentPage()->getPanelsInArray(panels);
        for (const auto& panel : panels) {
            for (const ObjectPtr& part :
                static_cast<ComicPanel&>(*panel).allComicElementsOfClass(Part::kClassName))
                asProtocol<GraphicElement>(part)->flushCachesUsingColor();
        }
        state.ResumeTiming();
        drawPage(image);
    }
}
BENCHMARK(BM_DrawPageColdCaches)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DrawPageWarmCaches(benchmark::State& state)
{
    OffscreenImage image(printedPage());
    drawPage(image);
    for (auto _ : state)
        drawPage(image);
}
BENCHMARK(BM_DrawPageWarmCaches)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
