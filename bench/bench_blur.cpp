// Gaussian blur of an A4 page at 300 dpi on one thread, beside a plain copy of the page as the
// memory-bandwidth floor measured in the same run.
#include "platform/GaussianBlur.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

// Translucent shapes over a transparent page, so that every channel carries data.
const QImage& page()
{
    static const QImage image = [] {
        QImage result(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        QRandomGenerator random(42);
        for (int i = 0; i < 400; ++i) {
            const QColor color(
                random.bounded(256), random.bounded(256), random.bounded(256), 64 + random.bounded(192));
            const QRectF rect(random.bounded(kWidth), random.bounded(kHeight), 20 + random.bounded(400),
                20 + random.bounded(400));
            painter.setBrush(color);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(rect);
        }
        return result;
    }();
    return image;
}

void setPixelRate(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * qint64(kWidth) * kHeight);
    state.counters["Mpix/s"]
        = benchmark::Counter(double(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PageCopy(benchmark::State& state)
{
    const QImage& source = page();
    QImage target(source.size(), source.format());
    for (auto _ : state) {
        std::memcpy(target.bits(), source.constBits(), source.sizeInBytes());
        benchmark::DoNotOptimize(target.bits());
        benchmark::ClobberMemory();
    }
    setPixelRate(state);
}
BENCHMARK(BM_PageCopy)->Unit(benchmark::kMillisecond);

// Argument 0: sigma in pixels; argument 1: threads (the figure that counts is one thread).
void BM_GaussianBlur(benchmark::State& state)
{
    const QImage& source = page();
    for (auto _ : state) {
        zandrel::BlurredImage blurred
            = zandrel::gaussianBlur(source, double(state.range(0)), int(state.range(1)));
        benchmark::DoNotOptimize(blurred.image.constBits());
    }
    setPixelRate(state);
}
BENCHMARK(BM_GaussianBlur)
    ->Args({ 2, 1 })
    ->Args({ 10, 1 })
    ->Args({ 40, 1 })
    ->Args({ 10, 8 })
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
