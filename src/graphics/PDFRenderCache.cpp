#include "graphics/PDFRenderCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QThread>
#include <QVariant>
#include <algorithm>
#include <poppler-qt6.h>

namespace zandrel {

namespace {

void ignorePopplerMessages(const QString&, const QVariant&)
{
}

// Renderings run side by side with the interface thread; two leave it cores to spare.
constexpr int kRenderThreads = 2;

// What poppler's stop question sees of one rendering.
struct AbortState {
    PDFRenderBudget budget;
    const std::atomic<bool>* stop = nullptr;
    QElapsedTimer timer;
    qint64 checks = 0;
    bool stopped = false;
};

bool shouldAbort(const QVariant& closure)
{
    auto* state = static_cast<AbortState*>(closure.value<void*>());
    if (state->stopped || (state->stop && state->stop->load()) || ++state->checks > state->budget.maxChecks
        || state->timer.elapsed() > state->budget.maxMilliseconds)
        state->stopped = true;
    return state->stopped;
}

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

std::unique_ptr<Poppler::Document> PDFRenderCache::loadDocument(const QByteArray& data)
{
    // Poppler reports every oddity of a damaged file on stderr; callers learn of failure from the
    // answer instead.
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(&ignorePopplerMessages, QVariant());
        return true;
    }();
    Q_UNUSED(quiet);
    if (data.isEmpty())
        return nullptr;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(data);
    if (!document)
        return nullptr;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    // A PDF page placed in a drawing shows what lies under it wherever the page draws nothing.
    document->setRenderHint(Poppler::Document::IgnorePaperColor);
    return document;
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
    if (const std::unique_ptr<Poppler::Document> document = loadDocument(source.data);
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
