// A comic book: 100 pages of 3 rows of 3 panels, each panel holding a character of 20 parts (three
// styled paths each) placed from the comic's cast and two balloons of lettering with tails. Measured: saving
// and opening its comic file beside a memcpy of the file's bytes, and drawing one page as a screen does at
// 300 dpi, once from cold caches (every part renders its bitmap) and again with the caches warm, beside
// filling a bitmap of the page's size. Then a page whose panels hold characters of 200 paths, printed
// at 300 dpi in bands on every core against one thread and against straight QPainter, and redrawn on
// screen where a balloon moved against a blit of that area. All baselines run in the same process,
// the print's in the same loop, so figures read as ratios.
#include "BenchComics.h"
#include "BenchSupport.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicFile.h"
#include "graphics/BandedRendering.h"
#include "graphics/ColorFill.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/Canvas.h"
#include "platform/CanvasRecording.h"
#include "platform/CurrentCanvas.h"
#include "platform/FontRegistry.h"
#include "platform/OffscreenImage.h"
#include "platform/PainterCanvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using namespace zandrel;
using namespace zandrel::bench;

constexpr int kPages = 100;
constexpr int kPartsPerCharacter = 20;
constexpr int kPathsPerPart = 3;
// Pages drawn at 300 dots to the inch.
constexpr float kPrintScale = 300.0f / 72.0f;

struct Fixture {
    Fixture()
    {
        std::mt19937 random(20261207);
        comic = makeComic(kPages, makeCharacter(random, kPartsPerCharacter, kPathsPerPart));
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

// One page whose nine panels each hold a character of 200 paths (10 parts of 20) and two balloons.
struct PageFixture {
    PageFixture()
    {
        std::mt19937 random(1207);
        comic = makeComic(1, makeCharacter(random, 10, 20));
    }
    ComicModelPtr comic;
};

PageFixture& pageFixture()
{
    static PageFixture instance;
    return instance;
}

void drawCurrentPage(ZDLContext& context, const QRectF& dirty)
{
    pageFixture().comic->currentPage()->drawIn(context, dirty);
}

// The page's paths (fills and strokes) and panel frames, to draw straight through QPainter.
struct StraightPage {
    struct Shape {
        QPainterPath path;
        QColor fill;
        QColor line;
        double width;
    };
    StraightPage()
    {
        ComicStructureList panels;
        pageFixture().comic->currentPage()->getPanelsInArray(panels);
        for (const auto& element : panels) {
            const auto& panel = static_cast<const ComicPanel&>(*element);
            shapes.push_back({ panel.panelFramePath().painterPath(), Qt::white, Qt::black, panel.weight() });
            for (const ObjectPtr& part : panel.allComicElementsOfClass(Part::kClassName)) {
                for (const ObjectPtr& child : asProtocol<Parent>(part)->children()) {
                    const auto* path = dynamic_cast<const PartPath*>(child.get());
                    shapes.push_back(
                        { path->drawingBezier().painterPath(), path->fillColor()->color().toQColor(),
                            path->lineColor()->color().toQColor(), path->lineWeight() });
                }
            }
        }
    }
    QImage draw() const
    {
        QImage image(printedPage(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(kPrintScale, kPrintScale);
        for (const Shape& shape : shapes) {
            painter.fillPath(shape.path, shape.fill);
            painter.strokePath(shape.path, QPen(shape.line, shape.width));
        }
        return image;
    }
    std::vector<Shape> shapes;
};

double secondsFor(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The page printed at 300 dpi in bands on so many threads (the argument), timed in the same loop
// as two baselines on one thread, so that the figures are ratios whatever else the machine runs:
// the same print in one pass ("x one pass") and the page's paths straight through QPainter ("x
// QPainter"). "cpu ms" counts the work of every thread of the banded print: on a loaded machine,
// where the threads wait for cores, it tells what the bands cost beside the one pass.
void BM_PrintPage(benchmark::State& state)
{
    const QRectF page = pageFixture().comic->bounds();
    const int threads = int(state.range(0));
    static const StraightPage straight;
    double banded = 0;
    double onePass = 0;
    double qpainter = 0;
    double cpu = 0;
    for (auto _ : state) {
        const double cpuBefore = bench::processCpuMilliseconds();
        const double seconds = secondsFor([&] {
            benchmark::DoNotOptimize(
                BandedRendering::render(page, kPrintScale, drawCurrentPage, threads).constBits());
        });
        cpu += bench::processCpuMilliseconds() - cpuBefore;
        state.SetIterationTime(seconds);
        banded += seconds;
        onePass += secondsFor([&] {
            benchmark::DoNotOptimize(
                BandedRendering::render(page, kPrintScale, drawCurrentPage, 1).constBits());
        });
        qpainter += secondsFor([&] { benchmark::DoNotOptimize(straight.draw().constBits()); });
    }
    state.counters["cpu ms"] = cpu / double(state.iterations());
    state.counters["x one pass"] = onePass / banded;
    state.counters["x QPainter"] = qpainter / banded;
}
BENCHMARK(BM_PrintPage)->Arg(1)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond)->UseManualTime();

// The part of a banded print that runs on one thread: drawing the model once into the recording
// the bands replay, which settles the model and estimates the work of each row. Argument: 1 for a
// page printed before (settled), 0 for a fresh one, as each page of a book's export is.
void BM_PrintPageRecording(benchmark::State& state)
{
    const QRectF page = pageFixture().comic->bounds();
    const QSize pixels = printedPage();
    for (auto _ : state) {
        if (state.range(0) == 0) {
            state.PauseTiming();
            std::mt19937 random(1207);
            pageFixture().comic = makeComic(1, makeCharacter(random, 10, 20));
            state.ResumeTiming();
        }
        CanvasRecording recording;
        recording.estimateRowCosts(pixels.height());
        recording.scale(kPrintScale, kPrintScale);
        CanvasScope current(&recording);
        ZDLContext context(kPrintScale);
        context.setBlurThreshold(0);
        context.setExporting(true);
        drawCurrentPage(context, page);
        benchmark::DoNotOptimize(recording.rowCosts());
    }
}
BENCHMARK(BM_PrintPageRecording)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The page's paths (fills and strokes) and panel frames straight through QPainter on one thread.
void BM_PrintPageStraightQPainter(benchmark::State& state)
{
    const StraightPage straight;
    for (auto _ : state)
        benchmark::DoNotOptimize(straight.draw().constBits());
}
BENCHMARK(BM_PrintPageStraightQPainter)->Unit(benchmark::kMillisecond)->UseRealTime();

using bench::ScreenView;

// The balloon moved, and the area it left and covers at 100 %: the view's backing keeps the rest.
struct MovedBalloon {
    MovedBalloon()
    {
        ComicStructureList panels;
        pageFixture().comic->currentPage()->getPanelsInArray(panels);
        auto& panel = static_cast<ComicPanel&>(*panels[4]);
        balloon = std::dynamic_pointer_cast<Balloon>(panel.frontLayer()->children().last());
        const QRectF before = balloon->getInvalidationBounds();
        balloon->offsetBy(QPointF(6, 3), true);
        area = before.united(balloon->getInvalidationBounds()).toAlignedRect();
    }
    BalloonPtr balloon;
    QRect area;
};

void BM_RedrawAfterMovingABalloon(benchmark::State& state)
{
    ComicModel& comic = *pageFixture().comic;
    QImage backing(QSize(int(kPageWidth), int(kPageHeight)), QImage::Format_ARGB32_Premultiplied);
    ScreenView view;
    const auto redraw = [&](const QRectF& dirty) {
        view.dirty = dirty;
        QPainter painter(&backing);
        painter.setClipRect(dirty);
        PainterCanvas canvas(&painter, CanvasTarget::Screen);
        canvas.fillRect(dirty, QColor(Qt::white));
        CanvasScope current(&canvas);
        ZDLContext context(view);
        comic.drawIn(context, dirty);
    };
    // The whole page first, as the view shows it, so that the parts' bitmaps are made.
    for (int i = 0; i < 3; ++i)
        redraw(comic.bounds());
    const MovedBalloon moved;
    for (auto _ : state)
        redraw(moved.area);
    moved.balloon->offsetBy(QPointF(-6, -3), true);
    state.counters["area px"] = double(moved.area.width()) * moved.area.height();
}
BENCHMARK(BM_RedrawAfterMovingABalloon)->Unit(benchmark::kMicrosecond);

// The baseline: a blit of an area of that size into the backing.
void BM_BlitOfTheMovedBalloonsArea(benchmark::State& state)
{
    const MovedBalloon moved;
    moved.balloon->offsetBy(QPointF(-6, -3), true);
    QImage backing(QSize(int(kPageWidth), int(kPageHeight)), QImage::Format_ARGB32_Premultiplied);
    QImage source(moved.area.size(), QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::gray);
    for (auto _ : state) {
        QPainter painter(&backing);
        painter.drawImage(moved.area.topLeft(), source);
    }
    state.counters["area px"] = double(moved.area.width()) * moved.area.height();
}
BENCHMARK(BM_BlitOfTheMovedBalloonsArea)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
