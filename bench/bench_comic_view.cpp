// The comic view on screen, through its real paint path: a page of 3 rows of 3 panels, each holding
// a character of 200 paths (10 parts of 20) and two balloons, shown by a ComicView in its scroll area
// in an offscreen window. Measured in the same loop, so that the figures are ratios:
// - a balloon selected and moved as a drag moves it (the document names the area it left and the area
//   it covers, and the balloon as what changed there), and the view's repaint of what that invalidated,
//   against a QPainter blit of an image of the repainted area's size into an image of the window's size;
// - at 200 %, the page scrolled by 20 pixels a frame, each frame's repaint against a blit of the
//   viewport, with the bitmaps rendered during the scroll counted once a first pass made them.
#include "BenchComics.h"
#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/LayerRunCache.h"
#include "graphics/ImageCache.h"
#include "platform/Geometry.h"
#include "views/ComicView.h"
#include "views/ComicViewBacking.h"
#include "views/ZDLScrollArea.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

using namespace zandrel;
using namespace zandrel::bench;

// Records the bounding rect of every paint event the view receives.
class PaintWatcher : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = painted.united(static_cast<QPaintEvent*>(event)->rect());
        return false;
    }
    QRect painted;
};

void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct ViewFixture {
    ViewFixture()
    {
        std::mt19937 random(1207);
        comic = makeComic(1, makeCharacter(random, 10, 20));
        document.setModel(comic);
        view = new ComicView(&document);
        area = new ZDLScrollArea(view);
        area->resize(int(kPageWidth) + 40, int(kPageHeight) + 40);
        area->show();
        area->activateWindow();
        settle(200);
        view->installEventFilter(&watcher);
    }
    ~ViewFixture() { view->removeEventFilter(&watcher); }

    // Paints whatever the view has been told is dirty, as the window's next frame would.
    double paintPending()
    {
        watcher.painted = QRect();
        const auto start = std::chrono::steady_clock::now();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const double seconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // Then the rest of the event loop's pass, untimed. Qt forgets delivered events only in a
        // pass that delivers every kind, which the window's loop makes after every frame; without
        // it each timed paint would walk the queue of every frame before it.
        QCoreApplication::sendPostedEvents();
        return seconds;
    }
    void repaintAll()
    {
        view->update();
        paintPending();
    }

    ComicModelPtr comic;
    ComicDocument document;
    ComicView* view = nullptr;
    ZDLScrollArea* area = nullptr;
    PaintWatcher watcher;
};

ViewFixture& viewFixture()
{
    static ViewFixture instance;
    return instance;
}

// A blit of an image of the size into an image of the window's size: the floor under a repaint.
double blitSeconds(const QSize& size, QImage& backing)
{
    static QImage source;
    if (source.size() != size) {
        source = QImage(size, QImage::Format_ARGB32_Premultiplied);
        source.fill(Qt::gray);
    }
    const auto start = std::chrono::steady_clock::now();
    {
        QPainter painter(&backing);
        painter.drawImage(QPoint(7, 5), source);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::shared_ptr<ComicPanel> centralPanel(const ComicModel& comic)
{
    ComicStructureList panels;
    comic.currentPage()->getPanelsInArray(panels);
    return std::static_pointer_cast<ComicPanel>(panels[4]);
}

BalloonPtr balloonOfCentralPanel(const ComicModel& comic)
{
    return std::dynamic_pointer_cast<Balloon>(centralPanel(comic)->frontLayer()->children().last());
}

// One step of a drag, made as the drag tracker makes it: the document moves the balloon and tells
// the views of the area it left and the area it covers, and that it only moved.
void dragBy(ComicDocument& document, Balloon& balloon, const QPointF& delta)
{
    document.moveElementsLive({ balloon.shared_from_this() }, delta);
}

void BM_ComicViewRedrawAfterMovingABalloon(benchmark::State& state)
{
    ViewFixture& fixture = viewFixture();
    fixture.view->setViewScale(1.0f);
    settle(600);
    for (int i = 0; i < 3; ++i)
        fixture.repaintAll();
    const BalloonPtr balloon = balloonOfCentralPanel(*fixture.comic);
    // As a drag does: the balloon is selected, and its handles hide while it moves.
    fixture.comic->setCurrentPanel(centralPanel(*fixture.comic));
    fixture.view->select(balloon, true);
    fixture.view->hideSelectionDuringTracking();
    fixture.repaintAll();
    QImage backing(fixture.area->size(), QImage::Format_ARGB32_Premultiplied);
    double redraws = 0;
    double blits = 0;
    double pixels = 0;
    int step = 0;
    const quint64 backingRendersBefore = ComicViewBacking::renderingsMade();
    const quint64 heldBlitsBefore = ComicViewBacking::heldBlits();
    for (auto _ : state) {
        const QPointF delta = step++ % 2 ? QPointF(-6, -3) : QPointF(6, 3);
        dragBy(fixture.document, *balloon, delta);
        const double redraw = fixture.paintPending();
        const QSize area = fixture.watcher.painted.size();
        state.SetIterationTime(redraw);
        redraws += redraw;
        blits += blitSeconds(area, backing);
        pixels += double(area.width()) * area.height();
    }
    if (step % 2)
        dragBy(fixture.document, *balloon, QPointF(-6, -3));
    fixture.view->deselectAll();
    fixture.paintPending();
    state.counters["area px"] = pixels / double(step);
    state.counters["backing renders/step"]
        = double(ComicViewBacking::renderingsMade() - backingRendersBefore) / double(step);
    state.counters["selection bitmap blits/step"]
        = double(ComicViewBacking::heldBlits() - heldBlitsBefore) / double(step);
    state.counters["x blit"] = blits > 0 ? redraws / blits : 0;
}
BENCHMARK(BM_ComicViewRedrawAfterMovingABalloon)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ComicViewScrollAt200Percent(benchmark::State& state)
{
    ViewFixture& fixture = viewFixture();
    fixture.view->setViewScale(2.0f);
    settle(600);
    fixture.repaintAll();
    QScrollBar* bar = fixture.area->verticalScrollBar();
    // One pass down the page first, as a reader's first look makes the bitmaps.
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep() / 2) {
        bar->setValue(value);
        fixture.paintPending();
    }
    bar->setValue(0);
    fixture.paintPending();
    QImage backing(fixture.area->size(), QImage::Format_ARGB32_Premultiplied);
    const auto renders = [] { return ImageCache::renderingsMade() + LayerRunCache::renderingsMade(); };
    const quint64 rendersBefore = renders();
    double frames = 0;
    double blits = 0;
    double painted = 0;
    int count = 0;
    int direction = 20;
    for (auto _ : state) {
        if (bar->value() + direction > bar->maximum() || bar->value() + direction < 0)
            direction = -direction;
        bar->setValue(bar->value() + direction);
        const double frame = fixture.paintPending();
        state.SetIterationTime(frame);
        frames += frame;
        painted += double(fixture.watcher.painted.width()) * fixture.watcher.painted.height();
        blits += blitSeconds(fixture.area->viewport()->size(), backing);
        ++count;
    }
    state.counters["x blit of viewport"] = blits > 0 ? frames / blits : 0;
    state.counters["painted px/frame"] = painted / count;
    state.counters["bitmaps rendered/frame"] = double(renders() - rendersBefore) / count;
    fixture.view->setViewScale(1.0f);
    settle(600);
}
BENCHMARK(BM_ComicViewScrollAt200Percent)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
