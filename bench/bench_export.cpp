// Exports of a rich page (3 rows of 3 panels, each holding a character of 200 paths and two
// balloons) and of a comic of 20 such pages, at 300 dpi for the images. Each is measured in the
// same loop as the tools it stands beside, so that the figures read as ratios whatever else the
// machine runs:
// - the page's bitmap encoded as PNG by our writer and by Qt's default one ("x Qt" speed and
//   size; "x Qt q80", the level the export used before);
// - the page written as PNG, JPEG and PDF files by the document's export, each file written the
//   way a user gets it, beside poppler's pdftoppm and pdftocairo making the PNG or JPEG of our own
//   PDF of the page at 300 dpi, and cairo's PDF of that PDF ("x cairo size"), where they are
//   installed;
// - the same for the 20 pages: every page as PNG, and the whole comic as one PDF.
#include "BenchComics.h"
#include "BenchSupport.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentExport.h"
#include "platform/PngWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>

namespace {

using namespace zandrel;
using namespace zandrel::bench;
using Kind = DocumentExport::ExportKind;

constexpr float kResolution = 300.0f;

struct Fixture {
    Fixture()
    {
        std::mt19937 random(1207);
        const CharacterModelPtr character = makeCharacter(random, 10, 20);
        page.setModel(makeComic(1, character));
        book.setModel(makeComic(20, character));
        ExportResult result;
        bitmap = DocumentExport::renderImage(
            page, Kind::Page, false, {}, DocumentExport::scaleForResolution(kResolution), &result);
        pagePdf = path(QStringLiteral("page.pdf"));
        bookPdf = path(QStringLiteral("book.pdf"));
        DocumentExport::exportPDF(page, Kind::Page, false, {}, pagePdf);
        DocumentExport::exportPDF(book, Kind::Comic, false, {}, bookPdf);
    }
    QString path(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    ComicDocument page;
    ComicDocument book;
    QImage bitmap;
    QString pagePdf;
    QString bookPdf;
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

double secondsFor(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

QByteArray qtPng(const QImage& image, int quality)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(quality);
    writer.write(image);
    return buffer.data();
}

// The seconds a poppler tool takes, or nothing when it is not installed or fails.
std::optional<double> toolSeconds(const QString& tool, const QStringList& arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    const double seconds = secondsFor([&] {
        process.start(program, arguments);
        process.waitForFinished(600000);
    });
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return seconds;
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

// Sums the seconds of each tool over the iterations, and reports them as ratios to ours.
struct Beside {
    void add(const QString& name, std::optional<double> seconds)
    {
        if (seconds)
            totals[name] += *seconds;
    }
    void report(benchmark::State& state, double ours) const
    {
        for (auto it = totals.cbegin(); it != totals.cend(); ++it)
            state.counters[("x " + it.key()).toStdString()] = it.value() / ours;
    }
    QMap<QString, double> totals;
};

void BM_EncodePagePng(benchmark::State& state)
{
    const QImage& bitmap = fixture().bitmap;
    double ours = 0;
    double qt = 0;
    double qt80 = 0;
    qint64 ourBytes = 0;
    qint64 qtBytes = 0;
    qint64 qt80Bytes = 0;
    for (auto _ : state) {
        QByteArray file;
        const double seconds = secondsFor([&] { file = PngWriter::encode(bitmap); });
        state.SetIterationTime(seconds);
        ours += seconds;
        ourBytes = file.size();
        qt += secondsFor([&] { qtBytes = qtPng(bitmap, -1).size(); });
        qt80 += secondsFor([&] { qt80Bytes = qtPng(bitmap, 80).size(); });
    }
    state.counters["x Qt"] = qt / ours;
    state.counters["x Qt size"] = double(ourBytes) / double(qtBytes);
    state.counters["x Qt q80"] = qt80 / ours;
    state.counters["x Qt q80 size"] = double(ourBytes) / double(qt80Bytes);
    state.counters["KiB"] = double(ourBytes) / 1024;
}
BENCHMARK(BM_EncodePagePng)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// The page as an image file: drawn at 300 dpi and written. Argument: 0 PNG, 1 JPEG.
void BM_ExportPageImage(benchmark::State& state)
{
    Fixture& f = fixture();
    const bool png = state.range(0) == 0;
    const ExportFileType type = png ? ExportFileType::Png : ExportFileType::Jpeg;
    const QString target = f.path(png ? QStringLiteral("page.png") : QStringLiteral("page.jpg"));
    const QString format = png ? QStringLiteral("-png") : QStringLiteral("-jpeg");
    double ours = 0;
    Beside beside;
    for (auto _ : state) {
        const double seconds = secondsFor([&] {
            DocumentExport::exportImage(f.page, Kind::Page, false, {}, type, kResolution, 0.8f, target);
        });
        state.SetIterationTime(seconds);
        ours += seconds;
        const QString out = f.path(QStringLiteral("poppler"));
        beside.add(QStringLiteral("pdftoppm"),
            toolSeconds(QStringLiteral("pdftoppm"),
                { QStringLiteral("-r"), QStringLiteral("300"), format, f.pagePdf, out }));
        beside.add(QStringLiteral("pdftocairo"),
            toolSeconds(QStringLiteral("pdftocairo"),
                { QStringLiteral("-r"), QStringLiteral("300"), format, f.pagePdf, out }));
    }
    beside.report(state, ours);
    state.counters["KiB"] = double(fileSize(target)) / 1024;
}
BENCHMARK(BM_ExportPageImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();

// A PDF written by the export, and cairo's PDF of it. Argument: 0 the page, 1 the 20 pages.
void BM_ExportPdf(benchmark::State& state)
{
    Fixture& f = fixture();
    const bool book = state.range(0) == 1;
    ComicDocument& document = book ? f.book : f.page;
    const QString target = f.path(QStringLiteral("export.pdf"));
    const QString cairo = f.path(QStringLiteral("cairo.pdf"));
    double ours = 0;
    Beside beside;
    for (auto _ : state) {
        const double seconds = secondsFor(
            [&] { DocumentExport::exportPDF(document, book ? Kind::Comic : Kind::Page, false, {}, target); });
        state.SetIterationTime(seconds);
        ours += seconds;
        beside.add(QStringLiteral("pdftocairo"),
            toolSeconds(QStringLiteral("pdftocairo"), { QStringLiteral("-pdf"), target, cairo }));
    }
    beside.report(state, ours);
    state.counters["KiB"] = double(fileSize(target)) / 1024;
    if (QFileInfo::exists(cairo))
        state.counters["x cairo size"] = double(fileSize(target)) / double(fileSize(cairo));
}
BENCHMARK(BM_ExportPdf)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Every page of the 20 as a PNG file at 300 dpi, one after another as a book's export goes, beside
// pdftoppm and pdftocairo making the 20 PNG files of our PDF of the comic.
void BM_ExportBookPng(benchmark::State& state)
{
    Fixture& f = fixture();
    ComicModel& comic = *f.book.model();
    double ours = 0;
    Beside beside;
    for (auto _ : state) {
        const double seconds = secondsFor([&] {
            for (qsizetype page = 0; page < comic.numPages(); ++page) {
                comic.setCurrentPage(comic.pageAtIndex(page));
                DocumentExport::exportImage(f.book, Kind::Page, false, {}, ExportFileType::Png, kResolution,
                    1.0f, f.path(QStringLiteral("book %1.png").arg(page)));
            }
        });
        state.SetIterationTime(seconds);
        ours += seconds;
        const QString out = f.path(QStringLiteral("poppler"));
        beside.add(QStringLiteral("pdftoppm"),
            toolSeconds(QStringLiteral("pdftoppm"),
                { QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"), f.bookPdf, out }));
        beside.add(QStringLiteral("pdftocairo"),
            toolSeconds(QStringLiteral("pdftocairo"),
                { QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"), f.bookPdf, out }));
    }
    comic.setCurrentPage(comic.pageAtIndex(0));
    beside.report(state, ours);
}
BENCHMARK(BM_ExportBookPng)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return zandrel::bench::runWithGuiApplication(argc, argv);
}
