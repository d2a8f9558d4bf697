// One rendering of a PDF image under the default budget, as a rendering thread makes it: how long a
// hostile page keeps the thread and how much heap it takes before it gives up, beside an ordinary
// page. A tree of forms should give up as soon as a flat page of as many steps does (at the
// budget's steps or its time limit, whichever comes first), within 1 GB. Argument: the rendering's
// width and height in pixels (a thumbnail, a screen, a print). The pages:
// - a tree of forms nine levels deep, each drawing the next ten times with one operator: a billion
//   squares in 2.6 KB, which poppler never asks whether to stop;
// - the same tree with each copy scaled and moved (four operators a copy);
// - a flat page of five million small fills in one compressed stream;
// - an ordinary page of a few fills.
// "steps" is what the rendering was charged; a page that gave up shows "gave up" 1.
#include "PeakMemory.h"
#include "graphics/PDFRenderCache.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace zandrel;

QByteArray stream(const QByteArray& entries, const QByteArray& data)
{
    return "<< " + entries + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data
        + "\nendstream";
}

// A one-page file of 100 x 100 points: the objects, then the page's content stream (compressed or
// not) and resources.
QByteArray pdfFile(QList<QByteArray> objects, const QByteArray& content, const QByteArray& resources,
    bool compressed = false)
{
    const QByteArray first = QByteArray::number(objects.size() + 1);
    // qCompress puts the uncompressed length in front of the zlib stream.
    objects.append(
        compressed ? stream("/Filter /FlateDecode", qCompress(content, 9).mid(4)) : stream({}, content));
    objects.append("<< /Type /Catalog /Pages " + QByteArray::number(objects.size() + 2) + " 0 R >>");
    objects.append("<< /Type /Pages /Kids [" + QByteArray::number(objects.size() + 2) + " 0 R] /Count 1 >>");
    objects.append("<< /Type /Page /Parent " + QByteArray::number(objects.size())
        + " 0 R /MediaBox [0 0 100 100] " + "/Contents " + first + " 0 R /Resources << " + resources
        + " >> >>");
    QByteArray out = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(out.size()).rightJustified(10, '0') + " 00000 n \n";
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(out.size());
    return out + xref + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root "
        + QByteArray::number(objects.size() - 2) + " 0 R >>\nstartxref\n" + start + "\n%%EOF\n";
}

QByteArray formTree(bool scaled)
{
    QList<QByteArray> objects { stream(
        "/Type /XObject /Subtype /Form /BBox [0 0 100 100]", "0 0 1 rg 25 25 50 50 re f") };
    const auto copies = [&] {
        QByteArray content;
        for (int i = 0; i < 10; ++i)
            content += scaled ? "q 0.5 0 0 0.5 " + QByteArray::number(i * 5) + " 0 cm /N Do Q\n" : "/N Do\n";
        return content;
    };
    const auto named = [&] { return "/XObject << /N " + QByteArray::number(objects.size()) + " 0 R >>"; };
    for (int level = 0; level < 9; ++level)
        objects.append(stream(
            "/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << " + named() + " >>", copies()));
    return pdfFile(objects, "/N Do", named());
}

QByteArray page(int which)
{
    switch (which) {
    case 0:
        return formTree(false);
    case 1:
        return formTree(true);
    case 2:
        return pdfFile({}, QByteArray("0 0 1 rg 1 1 2 2 re f\n").repeated(5000000), {}, true);
    default:
        return pdfFile(
            {}, "1 0 0 rg 5 5 50 50 re f 0 0 1 rg 40 30 55 55 re f 0 0.5 0 RG 3 w 0 0 m 100 100 l S", {});
    }
}

void renderPage(benchmark::State& state, int which)
{
    const int pixels = int(state.range(0));
    const QByteArray pdf = page(which);
    qint64 steps = 0;
    bool gaveUp = false;
    std::int64_t peak = 0;
    for (auto _ : state) {
        const auto allowance = std::make_shared<PDFWorkAllowance>();
        const std::int64_t base = peak_memory::start();
        const std::optional<QImage> image
            = PDFRenderCache::renderPage({ PDFRenderCache::newKey(), pdf, QSizeF(100, 100), allowance },
                QSize(pixels, pixels), PDFRenderBudget());
        peak = std::max(peak, peak_memory::peakAbove(base));
        steps = allowance->checks;
        gaveUp = !image;
    }
    state.counters["steps"] = double(steps);
    state.counters["gave up"] = gaveUp;
    state.counters["peak MB"] = double(peak) / 1e6;
}

void BM_PdfFormTree(benchmark::State& state)
{
    renderPage(state, 0);
}
void BM_PdfScaledFormTree(benchmark::State& state)
{
    renderPage(state, 1);
}
void BM_PdfFlatFills(benchmark::State& state)
{
    renderPage(state, 2);
}
void BM_PdfOrdinaryPage(benchmark::State& state)
{
    renderPage(state, 3);
}

} // namespace

BENCHMARK(BM_PdfFormTree)->Arg(64)->Arg(200)->Arg(1200)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PdfScaledFormTree)->Arg(64)->Arg(200)->Arg(1200)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PdfFlatFills)->Arg(64)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PdfOrdinaryPage)->Arg(200)->Arg(1200)->Unit(benchmark::kMillisecond);
