// Catalog thumbnails are read off the interface thread at the size shown, kept within a budget,
// read again when a catalog update rewrites them, and a damaged or absurd file is read once only.
#include "app/core/CatalogThumbnailCache.h"

#include "app/core/CatalogManifest.h"
#include "app/core/ZDLAppController.h"
#include "platform/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class CatalogThumbnailCacheTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A 280 x 200 JPEG, its left half one colour and its right half the other.
    QString writeThumbnail(const QString& name, const QColor& left, const QColor& right)
    {
        QImage image(280, 200, QImage::Format_RGB32);
        image.fill(left);
        for (int y = 0; y < 200; ++y) {
            for (int x = 140; x < 280; ++x)
                image.setPixelColor(x, y, right);
        }
        const QString path = dir.filePath(name);
        EXPECT_TRUE(QImageWriter(path, "jpeg").write(image));
        return path;
    }
    static bool near(const QColor& a, const QColor& b)
    {
        return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12
            && std::abs(a.blue() - b.blue()) < 12;
    }

    QTemporaryDir dir;
    CatalogThumbnailCache cache;
    const QSize shown { 140, 100 };
};

TEST_F(CatalogThumbnailCacheTest, PicturesComeLaterAtTheShownSizeAndAreKept)
{
    const QString path = writeThumbnail(QStringLiteral("a.jpg"), Qt::red, Qt::blue);
    QSignalSpy ready(&cache, &CatalogThumbnailCache::thumbnailReady);
    EXPECT_TRUE(cache.thumbnail(path, shown).isNull()) << "never read on the asking thread";
    EXPECT_TRUE(cache.thumbnail(path, shown).isNull());
    cache.waitForDone();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(cache.readsStarted(), 1) << "a picture under way is not asked for twice";
    const QImage image = cache.thumbnail(path, shown);
    ASSERT_EQ(image.size(), shown);
    EXPECT_TRUE(near(image.pixelColor(20, 50), Qt::red));
    EXPECT_TRUE(near(image.pixelColor(120, 50), Qt::blue));
    // Another size is another picture, stretched to fill it exactly.
    cache.thumbnail(path, QSize(280, 50));
    cache.waitForDone();
    EXPECT_EQ(cache.thumbnail(path, QSize(280, 50)).size(), QSize(280, 50));
    EXPECT_EQ(cache.readsStarted(), 2);
    EXPECT_EQ(cache.keptBytes(), image.sizeInBytes() + 280 * 50 * 4);
}

TEST_F(CatalogThumbnailCacheTest, DamagedAbsurdAndMissingFilesAreReadOnce)
{
    QFile damaged(dir.filePath(QStringLiteral("damaged.jpg")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray("\xFF\xD8\xFF\xE0 not really a picture"));
    damaged.close();
    // A PNG header claiming 100000 x 100000 pixels.
    QByteArray huge = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000186a0000186a00806000000");
    QFile absurd(dir.filePath(QStringLiteral("absurd.png")));
    ASSERT_TRUE(absurd.open(QIODevice::WriteOnly));
    absurd.write(huge);
    absurd.close();
    const QStringList paths
        = { damaged.fileName(), absurd.fileName(), dir.filePath(QStringLiteral("missing.jpg")) };
    for (const QString& path : paths)
        EXPECT_TRUE(cache.thumbnail(path, shown).isNull());
    cache.waitForDone();
    for (const QString& path : paths) {
        EXPECT_TRUE(cache.thumbnail(path, shown).isNull());
        EXPECT_TRUE(cache.failed(path, shown)) << path.toStdString();
    }
    EXPECT_EQ(cache.readsStarted(), 3);
    EXPECT_EQ(cache.keptBytes(), 0);
    EXPECT_TRUE(cache.thumbnail(paths[0], QSize(100000, 100)).isNull()) << "no view shows such a size";
    EXPECT_EQ(cache.readsStarted(), 3);
}

TEST_F(CatalogThumbnailCacheTest, TheBudgetDropsTheLeastRecentlyUsedAndUpdatesReadAgain)
{
    const qint64 one = qint64(shown.width()) * shown.height() * 4;
    cache.setBudgetBytes(2 * one);
    const QString a = writeThumbnail(QStringLiteral("a.jpg"), Qt::red, Qt::red);
    const QString b = writeThumbnail(QStringLiteral("b.jpg"), Qt::green, Qt::green);
    const QString c = writeThumbnail(QStringLiteral("c.jpg"), Qt::blue, Qt::blue);
    for (const QString& path : { a, b }) {
        cache.thumbnail(path, shown);
        cache.waitForDone();
    }
    cache.thumbnail(a, shown); // a is now used more recently than b
    cache.thumbnail(c, shown);
    cache.waitForDone();
    EXPECT_EQ(cache.keptBytes(), 2 * one);
    EXPECT_FALSE(cache.thumbnail(a, shown).isNull());
    EXPECT_FALSE(cache.thumbnail(c, shown).isNull());
    EXPECT_EQ(cache.readsStarted(), 3);
    EXPECT_TRUE(cache.thumbnail(b, shown).isNull()) << "b went first";
    cache.waitForDone();

    // A catalog entry written again names its thumbnail: the new picture is read.
    writeThumbnail(QStringLiteral("c.jpg"), Qt::yellow, Qt::yellow);
    NotificationCenter::defaultCenter().post(kCharacterCatalogUpdateNotification, appController(),
        { { CatalogManifest::kCatalogFileKey, dir.filePath(QStringLiteral("C.parts")) },
            { CatalogManifest::kThumbnailFileNameKey, QStringLiteral("c.jpg") } });
    EXPECT_TRUE(cache.thumbnail(c, shown).isNull());
    cache.waitForDone();
    EXPECT_TRUE(near(cache.thumbnail(c, shown).pixelColor(70, 50), Qt::yellow));
}

} // namespace
} // namespace zandrel
