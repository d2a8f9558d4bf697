#include "app/core/CatalogThumbnailCache.h"

#include "app/core/CatalogManifest.h"
#include "app/core/ZDLAppController.h"
#include "platform/NotificationCenter.h"
#include "platform/RegularFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThread>
#include <new>

namespace zandrel {

namespace {

// A thumbnail is a small JPEG; a file claiming more pixels than this is not one.
constexpr qint64 kMaxSourcePixels = qint64(8000) * 8000;
// Nor is a file of more bytes than such a picture ever takes.
constexpr qint64 kMaxSourceBytes = qint64(64) << 20;
// No catalog view shows a thumbnail larger than this (140 x 100 points at the largest zoom and
// screen density).
constexpr int kMaxShownSide = 4096;

QImage readScaledOrThrow(const QString& path, const QSize& size)
{
    std::optional<QByteArray> data = readRegularFile(path, kMaxSourceBytes);
    if (!data)
        return QImage();
    QBuffer buffer(&*data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize source = reader.size();
    if (!source.isValid() || qint64(source.width()) * source.height() > kMaxSourcePixels)
        return QImage();
    reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull())
        return image;
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// On a worker thread, where nothing may be thrown: a picture there is no memory for is a failed one.
QImage readScaled(const QString& path, const QSize& size)
{
    try {
        return readScaledOrThrow(path, size);
    } catch (const std::bad_alloc&) {
        return QImage();
    }
}

} // namespace

CatalogThumbnailCache::CatalogThumbnailCache(QObject* parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2));
    // A catalog entry written again may come with a new thumbnail under the same name.
    NotificationCenter::defaultCenter().addObserver(
        this, kCharacterCatalogUpdateNotification, nullptr, [this](const Notification& notification) {
            const QString file = notification.userInfo.value(CatalogManifest::kCatalogFileKey).toString();
            const QString thumbnail
                = notification.userInfo.value(CatalogManifest::kThumbnailFileNameKey).toString();
            if (!file.isEmpty() && !thumbnail.isEmpty())
                forget(QDir(QFileInfo(file).absolutePath()).filePath(thumbnail));
        });
}

CatalogThumbnailCache::~CatalogThumbnailCache()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_pool.waitForDone();
}

CatalogThumbnailCache& CatalogThumbnailCache::shared()
{
    static QPointer<CatalogThumbnailCache> cache;
    if (!cache)
        cache = new CatalogThumbnailCache(QCoreApplication::instance());
    return *cache;
}

QImage CatalogThumbnailCache::thumbnail(const QString& path, const QSize& size)
{
    if (path.isEmpty() || size.isEmpty() || size.width() > kMaxShownSide || size.height() > kMaxShownSide)
        return QImage();
    const Key key { path, size };
    const auto found = m_images.constFind(key);
    if (found != m_images.cend()) {
        m_order.removeOne(key);
        m_order.append(key);
        return *found;
    }
    if (m_pending.contains(key) || m_failed.contains(key))
        return QImage();
    m_pending.insert(key);
    ++m_readsStarted;
    const quint64 generation = m_generation.value(path);
    const QPointer<CatalogThumbnailCache> self(this);
    m_pool.start([self, key, generation] {
        const QImage image = readScaled(key.path, key.size);
        if (self)
            QMetaObject::invokeMethod(
                self,
                [self, key, image, generation] {
                    if (self)
                        self->finished(key, image, generation);
                },
                Qt::QueuedConnection);
    });
    return QImage();
}

bool CatalogThumbnailCache::failed(const QString& path, const QSize& size) const
{
    return m_failed.contains(Key { path, size });
}

void CatalogThumbnailCache::finished(const Key& key, const QImage& image, quint64 generation)
{
    m_pending.remove(key);
    if (generation != m_generation.value(key.path))
        return;
    if (image.isNull()) {
        m_failed.insert(key);
    } else {
        m_images.insert(key, image);
        m_order.append(key);
        m_keptBytes += image.sizeInBytes();
        evict();
    }
    emit thumbnailReady(key.path);
}

void CatalogThumbnailCache::evict()
{
    // The picture just kept stays even when it alone is over the budget.
    while (m_keptBytes > m_budgetBytes && m_order.size() > 1) {
        const Key oldest = m_order.takeFirst();
        m_keptBytes -= m_images.take(oldest).sizeInBytes();
    }
}

void CatalogThumbnailCache::forget(const QString& path)
{
    ++m_generation[path];
    for (auto it = m_images.begin(); it != m_images.end();) {
        if (it.key().path == path) {
            m_keptBytes -= it->sizeInBytes();
            m_order.removeOne(it.key());
            it = m_images.erase(it);
        } else {
            ++it;
        }
    }
    erase_if(m_failed, [&path](const Key& key) { return key.path == path; });
    // A read under way finishes for nothing; the next request reads the new file.
    erase_if(m_pending, [&path](const Key& key) { return key.path == path; });
}

void CatalogThumbnailCache::waitForDone()
{
    m_pool.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}

} // namespace zandrel
