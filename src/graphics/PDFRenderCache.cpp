#include "graphics/PDFRenderCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>
#include <QVariant>
#include <algorithm>
#include <cstring>
#include <poppler-qt6.h>

namespace zandrel {

namespace {

void ignorePopplerMessages(const QString&, const QVariant&)
{
}

// Renderings run side by side with the interface thread; two leave it cores to spare.
constexpr int kRenderThreads = 2;

// The work of one rendering as poppler's stop questions and the reads of the file count it.
struct AbortState {
    PDFRenderBudget budget;
    const std::atomic<bool>* stop = nullptr;
    QElapsedTimer timer;
    // Steps taken, those after running out included, so that the allowance is charged with all
    // the work done.
    qint64 checks = 0;
    bool stopped = false;

    // Takes the steps and answers whether the rendering ran out.
    bool spend(qint64 steps)
    {
        checks += steps;
        if (!stopped
            && ((stop && stop->load()) || checks > budget.maxChecks
                || timer.elapsed() > budget.maxMilliseconds))
            stopped = true;
        return stopped;
    }
};

bool shouldAbort(const QVariant& closure)
{
    return static_cast<AbortState*>(closure.value<void*>())->spend(1);
}

// The PDF's bytes as poppler reads them while it renders. poppler asks whether to stop only
// every ten or so operators of one content stream and starts counting again in each stream it
// enters, so a tree of forms (or soft masks, patterns or glyph procedures) whose streams hold
// a few operators each is never asked, and an answer to stop inside one only ends that one. But
// each stream it enters is read from the file again, its dictionary and its data, so each read
// is taken as a step like a question, one more for each further kilobyte. Once the budget is out,
// every read finds the end of the file: every stream under way ends where its data runs out,
// at whatever depth, and nothing new is entered.
class MeteredFile : public QIODevice {
public:
    MeteredFile(const QByteArray& data, AbortState& state)
        : m_data(data)
        , m_state(state)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_data.size(); }

protected:
    qint64 readData(char* out, qint64 maxSize) override
    {
        const qint64 count = std::clamp(m_data.size() - pos(), qint64(0), maxSize);
        if (m_state.spend(1 + std::max(count - 1, qint64(0)) / 1024))
            return 0;
        std::memcpy(out, m_data.constData() + pos(), size_t(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray m_data;
    AbortState& m_state;
};

} // namespace

PDFRenderCache::PDFRenderCache()
{
    m_pool.setMaxThreadCount(kRenderThreads);
}

PDFRenderCache& PDFRenderCache::shared()
{
    // Never destroyed: renderings may still be running while static objects go away. The
    // application's end stops them instead.
    static PDFRenderCache* const cache = [] {
        auto* made = new PDFRenderCache;
        qAddPostRoutine(&PDFRenderCache::stopAtExit);
        return made;
    }();
    return *cache;
}

void PDFRenderCache::stopAtExit()
{
    PDFRenderCache& cache = shared();
    {
        const QMutexLocker lock(&cache.m_mutex);
        for (auto& [key, state] : cache.m_sources)
            state.stop->store(true);
    }
    cache.m_pool.waitForDone();
}

quint64 PDFRenderCache::newKey()
{
    static std::atomic<quint64> next { 1 };
    return next++;
}

namespace {

// Poppler reports every oddity of a damaged file on stderr; callers learn of failure from the
// answer instead.
void silencePoppler()
{
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(&ignorePopplerMessages, QVariant());
        return true;
    }();
    Q_UNUSED(quiet);
}

std::unique_ptr<Poppler::Document> withRenderHints(std::unique_ptr<Poppler::Document> document)
{
    if (!document)
        return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    // A PDF page placed in a drawing shows what lies under it wherever the page draws nothing.
    document->setRenderHint(Poppler::Document::IgnorePaperColor);
    return document;
}

} // namespace

std::unique_ptr<Poppler::Document> PDFRenderCache::loadDocument(const QByteArray& data)
{
    silencePoppler();
    if (data.isEmpty())
        return nullptr;
    return withRenderHints(Poppler::Document::loadFromData(data));
}

std::optional<QImage> PDFRenderCache::renderPage(
    const Source& source, const QSize& size, const PDFRenderBudget& budget, const std::atomic<bool>* stop)
{
    if (size.isEmpty() || source.pageSize.isEmpty())
        return std::nullopt;
    AbortState state;
    state.budget = budget;
    state.stop = stop;
    PDFWorkAllowance* const total = source.allowance.get();
    bool charging = false;
    if (total) {
        const QMutexLocker lock(&total->mutex);
        if (!total->charged.contains(source.key)) {
            if (total->checks >= budget.maxFileChecks || total->milliseconds >= budget.maxFileMilliseconds)
                return std::nullopt;
            charging = true;
            state.budget.maxChecks = std::min(budget.maxChecks, budget.maxFileChecks - total->checks);
            state.budget.maxMilliseconds
                = std::min(budget.maxMilliseconds, budget.maxFileMilliseconds - total->milliseconds);
        }
    }
    state.timer.start();
    std::optional<QImage> result;
    silencePoppler();
    // Declared before the document, which reads it until its end.
    MeteredFile file(source.data, state);
    if (const std::unique_ptr<Poppler::Document> document
        = source.data.isEmpty() ? nullptr : withRenderHints(Poppler::Document::load(&file));
        document && !document->isLocked() && document->numPages() >= 1) {
        if (const std::unique_ptr<Poppler::Page> page = document->page(0)) {
            const double xres = 72.0 * size.width() / source.pageSize.width();
            const double yres = 72.0 * size.height() / source.pageSize.height();
            QImage image = page->renderToImage(xres, yres, 0, 0, size.width(), size.height(),
                Poppler::Page::Rotate0, nullptr, nullptr, &shouldAbort, QVariant::fromValue<void*>(&state));
            if (!state.stopped && !image.isNull())
                result = std::move(image);
        }
    }
    if (charging) {
        const QMutexLocker lock(&total->mutex);
        // Two renderings of one image at once (one waited for, one in the background) charge once.
        if (total->charged.insert(source.key).second) {
            total->checks += state.checks;
            total->milliseconds += state.timer.elapsed();
        }
    }
    return result;
}

PDFRendering PDFRenderCache::rendering(
    const Source& source, const QSize& size, PDFRenderingMode mode, Callback whenDone)
{
    if (size.isEmpty())
        return {};
    std::shared_ptr<std::atomic<bool>> stop;
    PDFRenderBudget budget;
    {
        const QMutexLocker lock(&m_mutex);
        SourceState& state = m_sources[source.key];
        if (state.overBudget)
            return {};
        if (Rendering* ready = findReadyLocked(state, size)) {
            ready->lastUse = ++m_useClock;
            return { PDFRenderState::Ready, ready->image };
        }
        stop = state.stop;
        budget = m_budget;
        if (mode == PDFRenderingMode::InBackground) {
            const auto pending = std::find_if(state.renderings.begin(), state.renderings.end(),
                [&](const Rendering& r) { return r.pending && r.size == size; });
            if (pending != state.renderings.end()) {
                if (whenDone)
                    pending->waiters.push_back(std::move(whenDone));
            } else {
                Rendering& started = state.renderings.emplace_back();
                started.size = size;
                started.pending = true;
                if (whenDone)
                    started.waiters.push_back(std::move(whenDone));
                m_pool.start([this, source, size, budget, stop] {
                    {
                        const QMutexLocker lock(&m_mutex);
                        while (m_holds > 0)
                            m_released.wait(&m_mutex);
                    }
                    const std::optional<QImage> image = renderPage(source, size, budget, stop.get());
                    std::vector<Callback> due;
                    {
                        const QMutexLocker lock(&m_mutex);
                        due = finishLocked(source.key, stop.get(), size, image);
                    }
                    deliver(std::move(due));
                });
            }
            return { PDFRenderState::Pending, largestReadyLocked(state) };
        }
    }
    const std::optional<QImage> image = renderPage(source, size, budget, stop.get());
    std::vector<Callback> due;
    {
        const QMutexLocker lock(&m_mutex);
        due = finishLocked(source.key, stop.get(), size, image);
    }
    deliver(std::move(due));
    if (!image)
        return {};
    return { PDFRenderState::Ready, *image };
}

std::vector<PDFRenderCache::Callback> PDFRenderCache::finishLocked(
    quint64 key, const std::atomic<bool>* stop, const QSize& size, const std::optional<QImage>& image)
{
    const auto found = m_sources.find(key);
    // Forgotten or cleared meanwhile: nobody is left to tell, and a new start of the source must
    // not take the result of a rendering that was stopped.
    if (found == m_sources.end() || found->second.stop.get() != stop)
        return {};
    SourceState& state = found->second;
    std::vector<Callback> due;
    if (!image) {
        state.overBudget = true;
        // Other renderings of the same page would run out as well.
        state.stop->store(true);
        for (Rendering& rendering : state.renderings) {
            for (Callback& callback : rendering.waiters)
                due.push_back(std::move(callback));
            m_memoryUsed -= rendering.image.sizeInBytes();
        }
        state.renderings.clear();
        return due;
    }
    auto at = std::find_if(
        state.renderings.begin(), state.renderings.end(), [&](const Rendering& r) { return r.size == size; });
    if (at == state.renderings.end()) {
        state.renderings.emplace_back();
        at = std::prev(state.renderings.end());
        at->size = size;
    } else if (!at->pending) {
        return {}; // made meanwhile by a rendering that waited
    }
    at->pending = false;
    at->image = *image;
    at->lastUse = ++m_useClock;
    due = std::move(at->waiters);
    at->waiters.clear();
    m_memoryUsed += at->image.sizeInBytes();
    evictLocked(&*at);
    return due;
}

PDFRenderCache::Rendering* PDFRenderCache::findReadyLocked(SourceState& state, const QSize& size)
{
    Rendering* best = nullptr;
    for (Rendering& rendering : state.renderings) {
        if (rendering.pending || rendering.size.width() < size.width()
            || rendering.size.height() < size.height())
            continue;
        if (!best
            || qint64(rendering.size.width()) * rendering.size.height()
                < qint64(best->size.width()) * best->size.height())
            best = &rendering;
    }
    return best;
}

QImage PDFRenderCache::largestReadyLocked(const SourceState& state)
{
    const Rendering* best = nullptr;
    for (const Rendering& rendering : state.renderings) {
        if (!rendering.pending && (!best || rendering.size.width() > best->size.width()))
            best = &rendering;
    }
    return best ? best->image : QImage();
}

void PDFRenderCache::evictLocked(const Rendering* keep)
{
    while (m_memoryUsed > m_memoryCap) {
        SourceState* oldestState = nullptr;
        std::vector<Rendering>::iterator oldest;
        for (auto& [key, state] : m_sources) {
            for (auto it = state.renderings.begin(); it != state.renderings.end(); ++it) {
                if (it->pending || &*it == keep)
                    continue;
                if (!oldestState || it->lastUse < oldest->lastUse) {
                    oldestState = &state;
                    oldest = it;
                }
            }
        }
        // The rendering just made stays even alone over the cap: it is about to be drawn.
        if (!oldestState)
            return;
        m_memoryUsed -= oldest->image.sizeInBytes();
        oldestState->renderings.erase(oldest);
    }
}

void PDFRenderCache::deliver(std::vector<Callback> callbacks)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (callbacks.empty() || !app)
        return;
    // Queued even from the interface thread: a rendering that waited may be called in the middle
    // of drawing, which observers must not see.
    QMetaObject::invokeMethod(
        app,
        [callbacks = std::move(callbacks)] {
            for (const Callback& callback : callbacks)
                callback();
        },
        Qt::QueuedConnection);
}

void PDFRenderCache::forget(quint64 key)
{
    const QMutexLocker lock(&m_mutex);
    const auto found = m_sources.find(key);
    if (found == m_sources.end())
        return;
    found->second.stop->store(true);
    for (const Rendering& rendering : found->second.renderings)
        m_memoryUsed -= rendering.image.sizeInBytes();
    m_sources.erase(found);
}

PDFRenderCache::BackgroundHold::BackgroundHold(PDFRenderCache& cache)
    : m_cache(cache)
{
    const QMutexLocker lock(&m_cache.m_mutex);
    ++m_cache.m_holds;
}

PDFRenderCache::BackgroundHold::~BackgroundHold()
{
    const QMutexLocker lock(&m_cache.m_mutex);
    if (--m_cache.m_holds == 0)
        m_cache.m_released.wakeAll();
}

void PDFRenderCache::waitForPendingRenders()
{
    m_pool.waitForDone();
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::sendPostedEvents(app, QEvent::MetaCall);
}

void PDFRenderCache::clear()
{
    const QMutexLocker lock(&m_mutex);
    for (auto& [key, state] : m_sources)
        state.stop->store(true);
    m_sources.clear();
    m_memoryUsed = 0;
}

PDFRenderBudget PDFRenderCache::budget() const
{
    const QMutexLocker lock(&m_mutex);
    return m_budget;
}

void PDFRenderCache::setBudget(const PDFRenderBudget& budget)
{
    const QMutexLocker lock(&m_mutex);
    m_budget = budget;
}

qint64 PDFRenderCache::memoryCap() const
{
    const QMutexLocker lock(&m_mutex);
    return m_memoryCap;
}

void PDFRenderCache::setMemoryCap(qint64 bytes)
{
    const QMutexLocker lock(&m_mutex);
    m_memoryCap = bytes;
    evictLocked(nullptr);
}

qint64 PDFRenderCache::memoryUsed() const
{
    const QMutexLocker lock(&m_mutex);
    return m_memoryUsed;
}

} // namespace zandrel
