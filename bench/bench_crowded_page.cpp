// The most crowded page a comic file may hold, drawn whole as a view at 100 % draws it: a row of
// panels squeezed into the page's width, every one of them spanning the page, and inset panels
// stacked over one another, every one of them cut by those in front of it. Measured at a quarter
// and at all of the page's allowance of rows and panels, so that the figures show how the work grows
// with the panels, beside filling a bitmap of the page's size.
#include "BenchSupport.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
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

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
