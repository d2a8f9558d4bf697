#pragma once

#include "graphics/ZDLViewInterface.h"

#include <QByteArray>
#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace zandrel::bench {

// The processor time of every thread of the process so far.
inline double processCpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The floor under reading or writing a file: copying its bytes once.
inline void measureMemcpy(benchmark::State& state, const QByteArray& bytes)
{
    std::vector<char> target(size_t(bytes.size()));
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.constData(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// Pushes everything out of the processor's caches by walking a buffer larger than them, so that the
// next operation starts as it does in the program: after other work, not after the same operation.
// Without it a small document's tables are still cached from the previous iteration, and only the
// small document gets that start.
inline void evictCaches()
{
    static std::vector<char> walked(size_t(1) << 30);
    for (size_t i = 0; i < walked.size(); i += 64)
        ++walked[i];
    benchmark::DoNotOptimize(walked.data());
}

// Writing a model to a file of the given size: write() answers the file's bytes.
template <class Write> void measureWrites(benchmark::State& state, const QByteArray& file, Write write)
{
    for (auto _ : state) {
        const QByteArray bytes = write();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}

// Reading a file into a model: read() answers the model, which is retired after each read.
template <class Read> void measureReads(benchmark::State& state, const QByteArray& file, Read read)
{
    for (auto _ : state) {
        auto model = read(file);
        benchmark::DoNotOptimize(model.get());
        model->retire();
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}

// A view on screen at 100 % whose backing keeps everything outside the dirty rect.
class ScreenView : public ZDLViewInterface {
public:
    float viewScale() const override { return 1.0f; }
    bool scalingViewInteractively() const override { return false; }
    bool needsToDrawRect(const QRectF& rect) const override { return rect.intersects(dirty); }
    bool isInMainWindow() const override { return true; }
    QRectF dirty;
};

// Runs the benchmarks inside an offscreen GUI application, which text and images need; no
// window is shown. A thread is started first: the program always has several, and a process that
// never started one counts shared references without atomic instructions, which would make every
// benchmark before the first that starts threads look faster than the program is.
inline int runWithGuiApplication(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::thread([] {}).join();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace zandrel::bench
