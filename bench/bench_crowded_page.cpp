// The most crowded page a comic file may hold, drawn whole as a view at 100 % draws it: a row of
// panels squeezed into the page's width, every one of them spanning the page, and inset panels
// stacked over one another, every one of them cut by those in front of it. Measured at a quarter
// and at all of the page's allowance of rows and panels, so that the figures show how the work grows
// with the panels, beside filling a bitmap of the page's size. And a comic whose panels each bring a
// colour of their own into the comic's palette, read at 20,000 and 80,000 panels: the time per panel
// stays flat.
#include "BenchSupport.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "graphics/ColorFill.h"
#include "graphics/ZDLColor.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <benchmark/benchmark.h>

namespace {

using namespace zandrel;

const QSizeF kPage(800, 1200);

// A page of one row of so many panels, or of one panel under so many inset panels.
ComicModelPtr crowdedComic(int panels, bool insets)
{
    auto comic = std::make_shared<ComicModel>();
    comic->setupWithSize(kPage, 1, insets ? 1 : panels);
    if (insets) {
        const auto page = std::dynamic_pointer_cast<ComicPage>(comic->currentPage());
        ComicPanelList stacked;
        for (int i = 0; i < panels; ++i) {
            stacked.push_back(std::make_shared<ComicPanel>());
            stacked.back()->initWithRect(QRectF(100 + i % 500, 100 + i / 500 * 100, 200, 200), page.get());
        }
        page->setInsetPanels(stacked);
    }
    return comic;
}

void BM_PageBitmapFillBaseline(benchmark::State& state)
{
    QImage image(kPage.toSize(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PageBitmapFillBaseline)->Unit(benchmark::kMillisecond);

void BM_DrawCrowdedPage(benchmark::State& state)
{
    const int panels = int(state.range(0) * (ComicPage::kMaxStructureElements - 2) / 4);
    const ComicModelPtr comic = crowdedComic(panels, state.range(1) != 0);
    OffscreenImage image(kPage.toSize());
    for (auto _ : state) {
        CanvasScope scope(image.canvas());
        ZDLContext context(1.0f);
        comic->drawIn(context, comic->bounds());
    }
    state.counters["panels"] = panels;
    comic->retire();
}
BENCHMARK(BM_DrawCrowdedPage)
    ->ArgsProduct({ { 1, 4 }, { 0, 1 } })
    ->ArgNames({ "quarters", "insets" })
    ->Unit(benchmark::kMillisecond);

// Pages of 4000 panels, each filled with a colour of a name of its own.
QByteArray manyColoursComicFile(int panels)
{
    auto comic = std::make_shared<ComicModel>();
    constexpr int kPerPage = 4000;
    comic->setupWithSize(kPage, 1, kPerPage);
    ComicStructureList pages = comic->contents();
    while (int(pages.size()) * kPerPage < panels)
        pages.push_back(std::dynamic_pointer_cast<ComicStructureElement>(pages.front()->initByCopying()));
    comic->setContents(pages);
    comic->fixParents();
    int named = 0;
    for (const auto& page : comic->contents()) {
        ComicStructureList inPage;
        std::dynamic_pointer_cast<ComicPage>(page)->getPanelsInArray(inPage);
        for (const auto& panel : inPage) {
            auto fill = std::make_shared<ColorFill>();
            fill->setFillColor(
                ZDLColor::colorFromHexNamed(QStringLiteral("#102030"), QStringLiteral("C%1").arg(named++)));
            std::dynamic_pointer_cast<ComicPanel>(panel)->setFill(fill);
        }
    }
    const QByteArray bytes = archivedComicFile(*comic);
    comic->retire();
    return bytes;
}

void BM_ReadComicOfManyColours(benchmark::State& state)
{
    const int panels = int(state.range(0));
    const QByteArray bytes = manyColoursComicFile(panels);
    for (auto _ : state) {
        const ComicModelPtr comic = readComicFile(bytes);
        comic->retire();
    }
    state.counters["us_per_panel"] = benchmark::Counter(
        double(panels), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadComicOfManyColours)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
