#pragma once

#include "platform/FuzzingBuild.h"

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QSize>
#include <QSizeF>
#include <QThreadPool>
#include <QWaitCondition>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Poppler {
class Document;
}

namespace zandrel {

// How much work one rendering of a PDF page may take, counted in steps: poppler asks whether to
// stop every few operators of a content stream (about one in ten), and it reads the file again for
// every form, soft mask, pattern or glyph procedure it draws; each question is a step, and so is
// each read, one more for every further kilobyte it reads. Both limits are checked at every step,
// so a single operator is never interrupted, but a file that draws its drawings millions of times
// is, at any depth.
struct PDFRenderBudget {
    // Steps taken before the rendering runs out: the same count for the same file on every machine.
    // Some two and a half million operators; an ordinary page takes tens of steps, and a file that
    // draws millions of fills, flat or through forms, runs out in about a second.
    qint64 maxChecks = scaledAllowance(qint64(1) << 18);
    // Wall-clock time of one rendering: where the drawing of each step dominates (a large size), a
    // hostile file still gives up within two seconds.
    qint64 maxMilliseconds = kFuzzingBuild ? 10 : 1500;
    // What the PDF images of one file may take together (PDFWorkAllowance): a file of a thousand
    // small pages, each within the limits above, must not add up to hours of work.
    qint64 maxFileChecks = scaledAllowance(qint64(1) << 24);
    qint64 maxFileMilliseconds = kFuzzingBuild ? 100 : 20000;
};

// What the renderings of the PDF images read from one file have taken together. The first
// rendering of each image is charged; later ones (other sizes of the same page) take as many steps
// again and are not, so zooming never uses it up. Once it is spent, images not yet
// rendered run out of budget at once.
struct PDFWorkAllowance {
    QMutex mutex;
    qint64 checks = 0;
    qint64 milliseconds = 0;
    std::unordered_set<quint64> charged;
};

// Where a rendering is made: on the asking thread (exports, thumbnails, hit tests), or on the
// cache's own threads while the screen shows a placeholder.
enum class PDFRenderingMode { Wait, InBackground };

enum class PDFRenderState {
    Ready,
    // Being rendered in the background.
    Pending,
    // The page ran out of budget (or poppler could not render it): it is not rendered again.
    OverBudget,
};

struct PDFRendering {
    PDFRenderState state = PDFRenderState::OverBudget;
    // Ready: the size asked for or a larger one. Pending: the largest rendering at hand, if any,
    // to show meanwhile. OverBudget: null.
    QImage image;
};

// Renders PDF pages into bitmaps within a budget and keeps the bitmaps per source and pixel size
// under a memory cap, the least recently used going first. A background rendering loads a poppler
// document of its own, since a document must not be used by two threads at once, and its callbacks
// run on the interface thread once it is ready (or over budget). A source whose rendering ran out
// of budget once is never rendered again, so each image costs at most one budget however often
// it is drawn.
class PDFRenderCache {
public:
    using Callback = std::function<void()>;

    // The page of a PDF image: the key names the image's renderings, the data is the whole file.
    struct Source {
        quint64 key = 0;
        QByteArray data;
        QSizeF pageSize;
        // Shared by the images of the file they were read from; null: no total beyond the budget.
        std::shared_ptr<PDFWorkAllowance> allowance;
    };

    static constexpr qint64 kDefaultMemoryCap = 256LL * 1024 * 1024;

    static PDFRenderCache& shared();
    // A key no source had before.
    static quint64 newKey();
    // A document of the bytes with the hints every rendering uses, or null. Damaged files do not
    // write to stderr.
    static std::unique_ptr<Poppler::Document> loadDocument(const QByteArray& data);
    // One rendering of page 0 at the pixel size; nullopt when the budget ran out, stop became
    // true or poppler failed. The first rendering of a source charges its steps to the allowance.
    static std::optional<QImage> renderPage(const Source& source, const QSize& size,
        const PDFRenderBudget& budget, const std::atomic<bool>* stop = nullptr);

    // A cached rendering at least as large as the size, else: waits for a new one (Wait; made on
    // this thread even when the same one is under way in the background, which may not have
    // started), or starts one unless it is under way (InBackground). whenDone (may be empty) is called on the
    // interface thread, from its event loop, once a background rendering of the size ends.
    PDFRendering rendering(
        const Source& source, const QSize& size, PDFRenderingMode mode, Callback whenDone = {});
    // Drops the source's renderings and stops its background work; the callbacks waiting on it
    // are not called.
    void forget(quint64 key);
    // Blocks until no background rendering runs; on the interface thread, their callbacks have
    // run on return. Not while a BackgroundHold lives: the held renderings would never end.
    void waitForPendingRenders();
    // Drops every rendering and every over-budget mark.
    void clear();

    PDFRenderBudget budget() const;
    void setBudget(const PDFRenderBudget& budget);
    qint64 memoryCap() const;
    void setMemoryCap(qint64 bytes);
    qint64 memoryUsed() const;

    // While one lives, background renderings wait before they start, so that a caller can see
    // the state of a rendering under way for as long as it needs; the rest of the cache works as
    // usual. Renderings made on the asking thread are not held.
    class BackgroundHold {
    public:
        explicit BackgroundHold(PDFRenderCache& cache);
        ~BackgroundHold();
        BackgroundHold(const BackgroundHold&) = delete;
        BackgroundHold& operator=(const BackgroundHold&) = delete;

    private:
        PDFRenderCache& m_cache;
    };

private:
    struct Rendering {
        QSize size;
        QImage image;
        bool pending = false;
        quint64 lastUse = 0;
        std::vector<Callback> waiters;
    };
    struct SourceState {
        bool overBudget = false;
        std::shared_ptr<std::atomic<bool>> stop = std::make_shared<std::atomic<bool>>(false);
        std::vector<Rendering> renderings;
    };

    PDFRenderCache();
    static void stopAtExit();

    // A ready rendering at least as large as the size, preferring the smallest; null if none.
    Rendering* findReadyLocked(SourceState& state, const QSize& size);
    static QImage largestReadyLocked(const SourceState& state);
    // Stores what a rendering gave and answers the callbacks now due.
    std::vector<Callback> finishLocked(
        quint64 key, const std::atomic<bool>* stop, const QSize& size, const std::optional<QImage>& image);
    void evictLocked(const Rendering* keep);
    static void deliver(std::vector<Callback> callbacks);

    mutable QMutex m_mutex;
    std::unordered_map<quint64, SourceState> m_sources;
    PDFRenderBudget m_budget;
    qint64 m_memoryCap = kDefaultMemoryCap;
    qint64 m_memoryUsed = 0;
    quint64 m_useClock = 0;
    // Holds; background renderings wait on m_released while it is above zero.
    int m_holds = 0;
    QWaitCondition m_released;
    QThreadPool m_pool;
};

} // namespace zandrel
