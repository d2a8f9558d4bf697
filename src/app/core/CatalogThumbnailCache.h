#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>

namespace zandrel {

// The pictures of catalog thumbnails at the size they are shown, read and scaled on a thread pool so
// that a large catalog never holds up the interface: a picture not made yet is asked for and comes
// later, announced by thumbnailReady; a file that cannot be read is remembered as such and not read
// again. What is kept stays within a memory budget, the pictures used longest ago going first. A
// thumbnail rewritten by a catalog update is read again.
class CatalogThumbnailCache : public QObject {
    Q_OBJECT

public:
    explicit CatalogThumbnailCache(QObject* parent = nullptr);
    ~CatalogThumbnailCache() override;

    // The one cache the catalog views share, living as long as the application.
    static CatalogThumbnailCache& shared();

    // The picture of the file stretched to the size (device pixels), when made; else a null image,
    // and it is made in the background unless the file was found unreadable.
    QImage thumbnail(const QString& path, const QSize& size);
    // True once the file was found unreadable at the size.
    bool failed(const QString& path, const QSize& size) const;
    // Forgets every picture of the file.
    void forget(const QString& path);
    // Waits until no picture is being made and the finished ones are kept (for tests and shutdown).
    void waitForDone();

    qint64 budgetBytes() const { return m_budgetBytes; }
    void setBudgetBytes(qint64 bytes) { m_budgetBytes = bytes; }
    qint64 keptBytes() const { return m_keptBytes; }
    int readsStarted() const { return m_readsStarted; }

signals:
    void thumbnailReady(const QString& path);

private:
    struct Key {
        QString path;
        QSize size;
        bool operator==(const Key& other) const = default;
    };
    friend size_t qHash(const Key& key, size_t seed)
    {
        return qHashMulti(seed, key.path, key.size.width(), key.size.height());
    }

    void finished(const Key& key, const QImage& image, quint64 generation);
    void evict();

    QThreadPool m_pool;
    QHash<Key, QImage> m_images;
    // Least recently used first.
    QList<Key> m_order;
    QSet<Key> m_pending;
    QSet<Key> m_failed;
    // Pictures read before a forget of their file are not kept.
    QHash<QString, quint64> m_generation;
    qint64 m_keptBytes = 0;
    qint64 m_budgetBytes = qint64(64) << 20;
    int m_readsStarted = 0;
};

} // namespace zandrel
