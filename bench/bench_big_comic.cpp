// A large comic book beside a small one: pages of 3 rows of 3 panels, each panel holding a character
// of 30 parts placed from the cast, two balloons of lettering, and (in every third panel) a bitmap
// and a PDF picture that every page shares. The same comic is built with 15 and with 150 pages and
// the work of each path is measured on both in the same run, so that the figures read as ratios:
// - opening and saving (an autosave writes the same bytes) should grow with the pages, no faster;
//   the part of an autosave that holds up the program (archiving the model) as well;
// - a small edit and its undo through the document, on the first page and on the last, should cost
//   the same whatever the page and however many pages there are;
// - going to the next page and back should not depend on the number of pages.
#include "BenchComics.h"
#include "BenchSupport.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentExport.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/ComicFile.h"
#include "platform/UndoManager.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <random>

namespace {

using namespace zandrel;
using namespace zandrel::bench;

constexpr int kPartsPerCharacter = 30;
constexpr int kPathsPerPart = 3;

QImage picture()
{
    QImage image(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x % 256, y % 256, (x * y) % 256);
    }
    return image;
}

QByteArray pdfPicture()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QSizeF(200, 150), QPageSize::Point));
        QPainter painter(&writer);
        painter.setBrush(Qt::red);
        painter.drawEllipse(QRect(100, 100, 1200, 900));
    }
    return bytes;
}

// Every third panel gets a copy of the bitmap and of the PDF picture: the copies share one image.
void addPictures(ComicModel& comic)
{
    const ImageElementPtr bitmap = ImageElement::initFromImage(picture());
    const ImageElementPtr pdf = ImageElement::initFromImageData(pdfPicture());
    int index = 0;
    for (qsizetype p = 0; p < comic.numPages(); ++p) {
        const auto page = comic.pageAtIndex(p);
        ComicStructureList panels;
        page->getPanelsInArray(panels);
        for (const auto& element : panels) {
            if (index++ % 3)
                continue;
            auto* panel = static_cast<ComicPanel*>(element.get());
            ElementList children = panel->frontLayer()->children();
            for (const ImageElementPtr& image : { bitmap, pdf }) {
                if (!image)
                    continue;
                auto copy = copyElement(*image);
                copy->offsetBy(panel->bounds().topLeft() + QPointF(30, 60), true);
                children.prepend(copy);
            }
            panel->frontLayer()->setChildren(children);
        }
    }
}

struct Book {
    ComicModelPtr comic;
    QByteArray file;
};

std::map<int, Book>& books()
{
    static std::map<int, Book> made;
    return made;
}

const Book& book(int pages)
{
    std::map<int, Book>& made = books();
    auto found = made.find(pages);
    if (found == made.end()) {
        std::mt19937 random(20261208);
        Book b;
        b.comic = makeComic(pages, makeCharacter(random, kPartsPerCharacter, kPathsPerPart));
        addPictures(*b.comic);
        b.file = archivedComicFile(*b.comic);
        found = made.emplace(pages, std::move(b)).first;
    }
    return found->second;
}

void perPage(benchmark::State& state, qint64 bytes)
{
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["us/page"] = benchmark::Counter(double(state.range(0)) * 1e-6,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BigComicMemcpyBaseline(benchmark::State& state)
{
    bench::measureMemcpy(state, book(150).file);
}
BENCHMARK(BM_BigComicMemcpyBaseline);

void BM_BigComicSave(benchmark::State& state)
{
    const Book& b = book(int(state.range(0)));
    bench::measureWrites(state, b.file, [&] { return archivedComicFile(*b.comic); });
    perPage(state, b.file.size());
}
BENCHMARK(BM_BigComicSave)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond);

void BM_BigComicOpen(benchmark::State& state)
{
    const Book& b = book(int(state.range(0)));
    bench::measureReads(state, b.file, [](const QByteArray& bytes) { return readComicFile(bytes); });
    perPage(state, b.file.size());
}
BENCHMARK(BM_BigComicOpen)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond);

// A document holding a fresh copy of the book, so that edits leave the shared one alone.
struct OpenBook {
    explicit OpenBook(int pages)
    {
        document.setModel(readComicFile(book(pages).file));
        document.undoManager()->setGroupsByEvent(false);
    }
    ~OpenBook() { document.close(); }
    ComicModel& comic() { return *document.model(); }
    ComicDocument document;
};

// Argument: the book's pages, and the page edited (0 the first, 1 the last). A balloon is moved by
// an undoable offset, as a nudge does, and the move is undone.
void BM_BigComicMoveBalloonAndUndo(benchmark::State& state)
{
    OpenBook open(int(state.range(0)));
    const auto page = open.comic().pageAtIndex(state.range(1) ? open.comic().numPages() - 1 : 0);
    open.comic().setCurrentPage(page);
    ComicStructureList panels;
    page->getPanelsInArray(panels);
    auto& panel = static_cast<ComicPanel&>(*panels[4]);
    const ObjectPtr balloon = panel.frontLayer()->children().last();
    UndoManager& undo = *open.document.undoManager();
    for (auto _ : state) {
        undo.beginUndoGrouping();
        open.document.undoableOffsetObjects({ balloon }, QPointF(3, 2), false);
        undo.endUndoGrouping();
        undo.undo();
    }
}
BENCHMARK(BM_BigComicMoveBalloonAndUndo)
    ->Args({ 15, 0 })
    ->Args({ 15, 1 })
    ->Args({ 150, 0 })
    ->Args({ 150, 1 })
    ->Unit(benchmark::kMicrosecond);

// Argument: the book's pages. The next page and back, from the middle of the book.
void BM_BigComicNextAndPreviousPage(benchmark::State& state)
{
    OpenBook open(int(state.range(0)));
    open.comic().setCurrentPageIndex(open.comic().numPages() / 2);
    for (auto _ : state) {
        open.document.gotoNextPage();
        open.document.gotoPrevPage();
    }
}
BENCHMARK(BM_BigComicNextAndPreviousPage)->Arg(15)->Arg(150)->Unit(benchmark::kMicrosecond);

// Argument: the book's pages. An autosave in place after a small edit: the document writes the
// whole file, as a save does, so it should cost what BM_BigComicSave costs plus the write.
// An open book that autosaves in place to a file of its own.
struct AutosavingBook {
    explicit AutosavingBook(int pages)
        : open(pages)
    {
        static const bool registered = [] {
            registerStandardFileFormats();
            return true;
        }();
        benchmark::DoNotOptimize(registered);
        open.document.setFileType(kComicDocumentType);
        open.document.setFilePath(path);
    }
    OpenBook open;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("book.comic"));
};

void BM_BigComicAutosave(benchmark::State& state)
{
    AutosavingBook book(int(state.range(0)));
    OpenBook& open = book.open;
    const QString& path = book.path;
    for (auto _ : state) {
        open.document.updateChangeCount();
        if (!open.document.autosaveNow())
            state.SkipWithError("the autosave failed");
    }
    perPage(state, QFileInfo(path).size());
}
BENCHMARK(BM_BigComicAutosave)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond);

// Argument: the book's pages. The same autosave as the timer starts it: only the archiving of the
// model stops the program; the encoding and the writing, on another thread, are not counted. Set
// beside BM_BigComicAutosave, the figures tell how much of the pause the worker takes away.
void BM_BigComicAutosaveInBackground(benchmark::State& state)
{
    AutosavingBook book(int(state.range(0)));
    OpenBook& open = book.open;
    const QString& path = book.path;
    for (auto _ : state) {
        state.PauseTiming();
        open.document.updateChangeCount();
        state.ResumeTiming();
        open.document.autosaveInBackground();
        state.PauseTiming();
        if (!open.document.finishBackgroundWrite())
            state.SkipWithError("the autosave failed");
        state.ResumeTiming();
    }
    perPage(state, QFileInfo(path).size());
}
BENCHMARK(BM_BigComicAutosaveInBackground)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond);

// Argument: the book's pages. The timed autosave after a nudge of a balloon on one page (a
// different page each time): the pages the edit left alone are written from the tapes the last
// autosave kept, so the pause should not depend on the number of pages.
void BM_BigComicAutosaveAfterPageEdit(benchmark::State& state)
{
    AutosavingBook book(int(state.range(0)));
    OpenBook& open = book.open;
    UndoManager& undo = *open.document.undoManager();
    const qsizetype pages = open.comic().numPages();
    const auto balloonOn = [&](qsizetype index) {
        ComicStructureList panels;
        open.comic().pageAtIndex(index)->getPanelsInArray(panels);
        return static_cast<ComicPanel&>(*panels[4]).frontLayer()->children().last();
    };
    // The first autosave records every page.
    open.document.updateChangeCount();
    open.document.autosaveInBackground();
    open.document.finishBackgroundWrite();
    qsizetype index = 0;
    for (auto _ : state) {
        state.PauseTiming();
        index = (index + 7) % pages;
        undo.beginUndoGrouping();
        open.document.undoableOffsetObjects({ balloonOn(index) }, QPointF(1, 1), false);
        undo.endUndoGrouping();
        state.ResumeTiming();
        open.document.autosaveInBackground();
        state.PauseTiming();
        if (!open.document.finishBackgroundWrite() || open.document.isDocumentEdited())
            state.SkipWithError("the autosave failed");
        state.ResumeTiming();
    }
    perPage(state, QFileInfo(book.path).size());
}
BENCHMARK(BM_BigComicAutosaveAfterPageEdit)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond);

// Argument: the book's pages. Closing an open book: the document lets go of every page.
void BM_BigComicClose(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto open = std::make_unique<OpenBook>(int(state.range(0)));
        state.ResumeTiming();
        open.reset();
    }
    perPage(state, book(int(state.range(0))).file.size());
}
BENCHMARK(BM_BigComicClose)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond);

// Argument: the book's pages. The whole book exported to PDF; the file's size per page tells
// whether the pictures the pages share are written once.
void BM_BigComicExportPDF(benchmark::State& state)
{
    OpenBook open(int(state.range(0)));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("book.pdf"));
    for (auto _ : state) {
        const ExportResult result
            = DocumentExport::exportPDF(open.document, ZDLDocument::ExportKind::Comic, false, {}, path);
        if (!result.ok)
            state.SkipWithError("the export failed");
    }
    perPage(state, QFileInfo(path).size());
    state.counters["kB/page"] = double(QFileInfo(path).size()) / 1e3 / double(state.range(0));
}
BENCHMARK(BM_BigComicExportPDF)->Arg(15)->Arg(150)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

// With ZANDREL_BENCH_SAVE_COMIC set to a path, the 150-page book is written there as well, for
// measuring the application on it.
int main(int argc, char** argv)
{
    const QString saveTo = qEnvironmentVariable("ZANDREL_BENCH_SAVE_COMIC");
    int result = 0;
    if (!saveTo.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        QFile file(saveTo);
        result
            = file.open(QIODevice::WriteOnly) && file.write(book(150).file) == book(150).file.size() ? 0 : 1;
    } else {
        result = zandrel::bench::runWithGuiApplication(argc, argv);
    }
    // The books go while the notification centre they observe still stands.
    for (auto& [pages, b] : books())
        b.comic->retire();
    books().clear();
    return result;
}
