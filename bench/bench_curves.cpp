// Curves at the scale of a busy page: 10,000 closed curves of 8 quadratic segments each, from a
// seeded generator. Building them (points and draw commands) and iterating them (flattening and
// walking by arc length) are measured on their own. Drawing them through the Canvas on an A4 page
// at 300 dpi is measured beside drawing the same paths straight with QPainter in the same run: the
// canvas should cost at most 1.3 times the straight drawing.
#include "graphics/Curve.h"
#include "graphics/CurveIterator.h"
#include "platform/CanvasPath.h"
#include "platform/PainterCanvas.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>
#include <vector>

namespace {

using namespace zandrel;

constexpr int kCurves = 10000;
constexpr int kSegments = 8;
constexpr int kPageWidth = 2480;
constexpr int kPageHeight = 3508;
constexpr double kLineWidth = 2.0;

struct CurveSpec {
    // On-curve and off-curve points alternate, so that each segment is one quadratic.
    QPointF points[2 * kSegments];
    QColor fill;
};

const std::vector<CurveSpec>& specs()
{
    static const std::vector<CurveSpec> all = [] {
        std::mt19937 random(20240611);
        std::uniform_real_distribution<double> x(0, kPageWidth);
        std::uniform_real_distribution<double> y(0, kPageHeight);
        std::uniform_real_distribution<double> size(15, 90);
        std::uniform_real_distribution<double> wobble(0.75, 1.3);
        std::uniform_int_distribution<int> channel(0, 255);
        std::vector<CurveSpec> result(kCurves);
        for (CurveSpec& spec : result) {
            const QPointF centre(x(random), y(random));
            const double radius = size(random);
            for (int k = 0; k < 2 * kSegments; ++k) {
                const double angle = M_PI * k / kSegments;
                const double r = radius * wobble(random) * (k % 2 ? 1.2 : 1.0);
                spec.points[k] = centre + QPointF(r * std::cos(angle), r * std::sin(angle));
            }
            spec.fill = QColor(channel(random), channel(random), channel(random));
        }
        return result;
    }();
    return all;
}

std::vector<CurvePtr> buildCurves()
{
    std::vector<CurvePtr> curves;
    curves.reserve(kCurves);
    for (const CurveSpec& spec : specs()) {
        auto curve = std::make_shared<Curve>();
        for (int k = 0; k < 2 * kSegments; ++k)
            curve->addPoint(spec.points[k], k % 2 == 0);
        curve->setClosed(true);
        curve->getDrawCommands();
        curves.push_back(std::move(curve));
    }
    return curves;
}

const std::vector<CurvePtr>& curves()
{
    static const std::vector<CurvePtr> all = buildCurves();
    return all;
}

void setCurveRate(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * kCurves);
}

void BM_BuildCurves(benchmark::State& state)
{
    specs();
    for (auto _ : state) {
        std::vector<CurvePtr> built = buildCurves();
        benchmark::DoNotOptimize(built.data());
    }
    setCurveRate(state);
}
BENCHMARK(BM_BuildCurves)->Unit(benchmark::kMillisecond);

// Flattening at the default precision, then walking each outline in 32 even steps as the edge
// effects do.
void BM_IterateCurves(benchmark::State& state)
{
    const auto& all = curves();
    for (auto _ : state) {
        double sum = 0;
        for (const CurvePtr& curve : all) {
            CurveIterator it(*curve);
            const float step = it.getDivisibleSegmentLengthNear(it.length() / 32);
            for (float d = step; d < it.length(); d += step) {
                it.setTraverseDistance(d);
                sum += it.currentPoint().x();
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    setCurveRate(state);
}
BENCHMARK(BM_IterateCurves)->Unit(benchmark::kMillisecond);

// A curve's own hit-test iterator: coarser, built once per curve.
void BM_CurveBounds(benchmark::State& state)
{
    const auto& all = curves();
    for (auto _ : state) {
        double sum = 0;
        for (const CurvePtr& curve : all) {
            curve->flushCache();
            sum += curve->getBounds().width();
        }
        benchmark::DoNotOptimize(sum);
    }
    setCurveRate(state);
}
BENCHMARK(BM_CurveBounds)->Unit(benchmark::kMillisecond);

struct DrawnPath {
    CanvasPath path;
    QColor fill;
};

const std::vector<DrawnPath>& drawnPaths()
{
    static const std::vector<DrawnPath> all = [] {
        std::vector<DrawnPath> result;
        result.reserve(kCurves);
        for (std::size_t i = 0; i < curves().size(); ++i) {
            CanvasPath path = curves()[i]->createCGPath();
            path.setLineWidth(kLineWidth);
            result.push_back({ std::move(path), specs()[i].fill });
        }
        return result;
    }();
    return all;
}

// Argument 0 draws on a premultiplied page, as offscreen images and caches are; argument 1 on a
// plain ARGB32 page, which QPainter converts span by span.
QImage& page(const benchmark::State& state)
{
    static QImage premultiplied;
    static QImage plain;
    QImage& image = state.range(0) == 0 ? premultiplied : plain;
    if (image.isNull()) {
        image = QImage(kPageWidth, kPageHeight,
            state.range(0) == 0 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
        image.fill(Qt::white);
    }
    return image;
}

void setPathRate(benchmark::State& state)
{
    setCurveRate(state);
    state.SetLabel(state.range(0) == 0 ? "ARGB32 premultiplied" : "ARGB32");
}

// As a part path draws: its fill, then its line on top.
void BM_DrawThroughCanvas(benchmark::State& state)
{
    const auto& paths = drawnPaths();
    QImage& image = page(state);
    const CanvasPaint line(Qt::black);
    for (auto _ : state) {
        PainterCanvas canvas(&image);
        for (const DrawnPath& drawn : paths) {
            canvas.fillPath(drawn.path, drawn.fill);
            canvas.strokePath(drawn.path, line);
        }
        canvas.finish();
    }
    setPathRate(state);
}
BENCHMARK(BM_DrawThroughCanvas)->Unit(benchmark::kMillisecond)->MinTime(3.0)->Arg(0)->Arg(1);

// The same geometry, fill and pen straight on QPainter: the baseline the canvas is held to.
void BM_DrawStraightWithQPainter(benchmark::State& state)
{
    const auto& paths = drawnPaths();
    QImage& image = page(state);
    QPen pen(Qt::black, kLineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const DrawnPath& drawn : paths) {
            const QPainterPath& path = drawn.path.painterPath();
            painter.setPen(Qt::NoPen);
            painter.setBrush(drawn.fill);
            painter.drawPath(path);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
        }
        painter.end();
    }
    setPathRate(state);
}
BENCHMARK(BM_DrawStraightWithQPainter)->Unit(benchmark::kMillisecond)->MinTime(3.0)->Arg(0)->Arg(1);

// The whole road of the model: draw commands to a path, then fill and stroke through the canvas.
void BM_CurvesToCanvas(benchmark::State& state)
{
    const auto& all = curves();
    const auto& allSpecs = specs();
    QImage& image = page(state);
    const CanvasPaint line(Qt::black);
    for (auto _ : state) {
        PainterCanvas canvas(&image);
        for (std::size_t i = 0; i < all.size(); ++i) {
            CanvasPath path = all[i]->createCGPath();
            path.setLineWidth(kLineWidth);
            canvas.fillPath(path, allSpecs[i].fill);
            canvas.strokePath(path, line);
        }
        canvas.finish();
    }
    setPathRate(state);
}
BENCHMARK(BM_CurvesToCanvas)->Unit(benchmark::kMillisecond)->MinTime(3.0)->Arg(0);

} // namespace
