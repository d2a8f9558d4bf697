// Drawing a character of 200 paths (50 points each; fills, strokes, dashes, gradients and a few
// blurs) as an export image at 300 dpi (scale 300/72): in bands on every core against one thread
// of the same code, and against the same paths drawn straight with QPainter on one thread. And a
// redraw on screen at 100 % of the area a moved path leaves and covers, against a blit of that
// area. Compare figures within one run; the machine may be shared.
#include "BenchSupport.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "graphics/BandedRendering.h"
#include "graphics/ColorFill.h"
#include "graphics/Gradient.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

using namespace zandrel;

constexpr int kPaths = 200;
constexpr int kPoints = 50;
constexpr float kExportScale = 300.0f / 72.0f;
const QRectF kArea(0, 0, 600, 800);

struct Character {
    CharacterModelPtr model;
    std::vector<PartPathPtr> paths;
};

Character makeCharacter()
{
    Character c;
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> place(40, 560);
    std::uniform_real_distribution<double> radius(8, 45);
    std::uniform_real_distribution<double> unit(0, 1);
    c.model = std::make_shared<CharacterModel>();
    QList<ZDLColorPtr> colours;
    for (int i = 0; i < 10; ++i) {
        auto colour = ZDLColor::colorFromHexNamed(
            QColor::fromHsv(i * 36, 170, 210).name(), QStringLiteral("Colour %1").arg(i));
        c.model->addColor(colour);
        colours.append(colour);
    }
    ElementList parts;
    ElementList paths;
    for (int i = 0; i < kPaths; ++i) {
        const QPointF centre(place(random), place(random) * 800 / 600);
        const double r = radius(random);
        auto curve = std::make_shared<Curve>();
        for (int k = 0; k < kPoints; ++k) {
            const double angle = 2 * M_PI * k / kPoints;
            const double wobble = r * (0.8 + 0.4 * unit(random));
            curve->addPoint(centre + QPointF(wobble * std::cos(angle), wobble * std::sin(angle)), k % 3 != 1);
        }
        curve->setClosed(true);
        auto path = std::make_shared<PartPath>();
        path->setSegments({ curve });
        path->setLineColor(colours[int(random() % 10)]);
        path->setFillColor(colours[int(random() % 10)]);
        path->setLineWeight(float(1 + random() % 4));
        path->setLineDash(i % 7 == 0 ? 2 : 0);
        if (i % 11 == 0) {
            auto fill = std::make_shared<GradientFill>();
            auto gradient = std::make_shared<Gradient>();
            gradient->setColor(RgbColor(0.9, 0.6, 0.2), 0);
            fill->setGradient(gradient);
            fill->setGradientType(i % 2);
            path->setFill(fill);
        }
        if (i % 25 == 3)
            path->setBlur(3.0f);
        paths.append(path);
        c.paths.push_back(path);
        // Parts of 20 paths, as a character's limbs and features are.
        if (paths.size() == 20) {
            auto part = std::make_shared<Part>();
            part->setChildren(paths);
            part->setModel(c.model);
            parts.append(part);
            paths.clear();
        }
    }
    c.model->setChildren(parts);
    return c;
}

Character& character()
{
    static Character instance = makeCharacter();
    return instance;
}

void drawCharacter(ZDLContext& context, const QRectF& dirty)
{
    character().model->drawIn(context, dirty);
}

void setPixels(benchmark::State& state, QSize size)
{
    state.counters["Mpix"] = double(size.width()) * size.height() / 1e6;
}

// Argument: threads (1: one pass on this thread).
void BM_CharacterExport(benchmark::State& state)
{
    QSize size;
    for (auto _ : state) {
        const QImage image = BandedRendering::render(kArea, kExportScale, drawCharacter, int(state.range(0)));
        size = image.size();
        benchmark::DoNotOptimize(image.constBits());
    }
    setPixels(state, size);
}
BENCHMARK(BM_CharacterExport)->Arg(1)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same curves, fills and strokes (solid, dashed) straight through QPainter on one thread.
void BM_StraightQPainterOneThread(benchmark::State& state)
{
    std::vector<std::tuple<QPainterPath, QColor, QColor, double, bool>> shapes;
    for (const PartPathPtr& path : character().paths) {
        const QColor fill = path->fillColor() ? path->fillColor()->color().toQColor() : QColor(Qt::gray);
        shapes.emplace_back(path->drawingBezier().painterPath(), fill, path->lineColor()->color().toQColor(),
            path->lineWeight(), path->lineDash() != 0);
    }
    const QSize size(
        int(std::ceil(kArea.width() * kExportScale)), int(std::ceil(kArea.height() * kExportScale)));
    for (auto _ : state) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(kExportScale, kExportScale);
        for (const auto& [shape, fill, line, weight, dashed] : shapes) {
            painter.fillPath(shape, fill);
            QPen pen(line, weight);
            if (dashed)
                pen.setDashPattern({ 2, 1 });
            painter.strokePath(shape, pen);
        }
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    setPixels(state, size);
}
BENCHMARK(BM_StraightQPainterOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

using bench::ScreenView;

// What a view does after one path moved by 6 points at 100 %: its backing keeps everything else,
// and the area the path left and covers is drawn again, clipped to it.
void BM_RedrawAfterMove(benchmark::State& state)
{
    QImage backing(kArea.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    backing.fill(Qt::white);
    ScreenView view;
    view.dirty = kArea;
    const auto redraw = [&] {
        QPainter painter(&backing);
        painter.setClipRect(view.dirty);
        PainterCanvas canvas(&painter, CanvasTarget::Screen);
        canvas.fillRect(view.dirty, QColor(Qt::white));
        CanvasScope current(&canvas);
        ZDLContext context(view);
        character().model->drawIn(context, view.dirty);
    };
    // The parts keep their bitmaps at this scale, as they do on screen after the first draws.
    for (int i = 0; i < 3; ++i)
        redraw();
    const PartPathPtr& moved = character().paths[kPaths / 2];
    const QRectF before = moved->getInvalidationBounds();
    moved->offsetBy(QPointF(6, 0), true);
    view.dirty = before.united(moved->getInvalidationBounds()).toAlignedRect();
    redraw();
    for (auto _ : state)
        redraw();
    moved->offsetBy(QPointF(-6, 0), true);
    state.counters["area px"] = view.dirty.width() * view.dirty.height();
}
BENCHMARK(BM_RedrawAfterMove)->Unit(benchmark::kMicrosecond);

// The baseline: a blit of an area of the same size into the backing.
void BM_BlitOfDirtyArea(benchmark::State& state)
{
    const PartPathPtr& moved = character().paths[kPaths / 2];
    const QRectF before = moved->getInvalidationBounds();
    const QRect area = before.united(before.translated(6, 0)).toAlignedRect();
    QImage backing(kArea.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    backing.fill(Qt::white);
    QImage source(area.size(), QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::gray);
    for (auto _ : state) {
        QPainter painter(&backing);
        painter.drawImage(area.topLeft(), source);
    }
    state.counters["area px"] = double(area.width()) * area.height();
}
BENCHMARK(BM_BlitOfDirtyArea)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
