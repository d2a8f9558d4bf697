// Every path that reads a file the user names refuses pipes, devices and folders at once, with a
// reason where it gives one.
#include "app/core/CatalogFiles.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CatalogThumbnailCache.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ZDLImage.h"
#include "platform/RegularFile.h"
#include "support/RunawayGuard.h"

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zandrel {
namespace {

TEST(NonRegularFilesTest, EveryReadPathRefusesWhatIsNotARegularFile)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    registerStandardFileFormats();
    // Each read path with the name it reads, answering whether it read, and why not where it says.
    using Read = std::function<bool(const QString& path, QString* why)>;
    const Read document = [](const QString& path, QString* why) {
        DocumentError error;
        const bool read = CharacterDocument().readFromFile(path, &error);
        *why = error.failureReason;
        return read;
    };
    const Read picture = [](const QString& path, QString* why) {
        FileReadError error;
        const bool read = ZDLImage::initByReferencingURL(path, &error) != nullptr;
        *why = error.message;
        return read;
    };
    const auto thumbnail = [](const QString& path, QString*) {
        CatalogThumbnailCache cache;
        cache.thumbnail(path, QSize(14, 10));
        cache.waitForDone();
        return !cache.failed(path, QSize(14, 10));
    };
    const auto library = [](const QString& path, QString*) {
        const auto item = CharacterLibraryItem::initWithURL(path);
        item->setThumbnailFileURL(path);
        return item->character() || !item->thumbnailImage().isNull();
    };
    const auto copy = [](const QString& path, QString* why) { return !readCatalogFile(path, why).isEmpty(); };
    const auto manifest = [](const QString& path, QString*) {
        return CatalogManifest::read(QFileInfo(path).path(), nullptr).has_value();
    };
    // Opened, imported, copied into a catalog, listed in one, shown in its views; imported, dropped
    // and tracing pictures.
    const QList<std::tuple<const char*, Read>> readPaths { { "f.comic", document }, { "f.parts", document },
        { "f.char", document }, { "f.zdlprt", document }, { "copied.parts", copy },
        { "manifest.plist", manifest }, { "thumbnail.jpg", thumbnail }, { "library.parts", library },
        { "picture.png", picture } };
    const QString notAFile = QStringLiteral("is a device, a pipe or a socket, not a file that can be read.");
    const QList<std::tuple<const char*, std::function<void(const QString&)>, QString>> specials {
        { "pipe", [](const QString& path) { ::mkfifo(QFile::encodeName(path).constData(), 0600); },
            notAFile },
        { "link to /dev/urandom",
            [](const QString& path) { QFile::link(QStringLiteral("/dev/urandom"), path); }, notAFile },
        { "folder", [](const QString& path) { QDir().mkpath(path); },
            QStringLiteral("is a folder, not a file.") },
    };
    QTemporaryDir dir;
    for (const auto& [special, make, because] : specials) {
        for (const auto& [name, read] : readPaths) {
            SCOPED_TRACE(std::string(special) + " named " + name);
            const QString path
                = QDir(dir.filePath(QString::fromLatin1(special))).filePath(QString::fromLatin1(name));
            QDir().mkpath(QFileInfo(path).path());
            make(path);
            const test::RunawayGuard guard(name);
            QString why;
            EXPECT_FALSE(read(path, &why));
            if (!why.isEmpty())
                EXPECT_EQ(why.toStdString(),
                    (QStringLiteral("“%1” ").arg(QString::fromLatin1(name)) + because).toStdString());
        }
    }
}

} // namespace
} // namespace zandrel
