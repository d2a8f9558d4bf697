// Memory running out while a file is read or decoded ends in the reason its read path gives, never
// in an abort: a child whose address space is held to a few megabytes more than it maps reads
// larger files through each path, and, given the room for one, reads it in that room.
#include "app/core/CatalogFiles.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ZDLImage.h"
#include "platform/RegularFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace zandrel {
namespace {

const char* const kChildFolderVariable = "ZANDREL_OUT_OF_MEMORY_CHILD_FOLDER";
constexpr qint64 kSpareBytes = qint64(16) << 20;
// Within the room the child is later given, and not within the power of two above it.
constexpr qint64 kFittingBytes = qint64(200) << 20;

bool limitAddressSpace(qint64 spareBytes)
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    const qint64 mapped = statm.open(QIODevice::ReadOnly)
        ? statm.readLine().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE)
        : 0;
    rlimit limit {};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = rlim_t(mapped + spareBytes);
    return mapped > 0 && setrlimit(RLIMIT_AS, &limit) == 0;
}

QString documentReason(const QString& path)
{
    DocumentError error;
    return CharacterDocument().readFromFile(path, &error) ? QString() : error.failureReason;
}

TEST(OutOfMemoryTest, ReadPathsChild)
{
    const QString folder = qEnvironmentVariable(kChildFolderVariable);
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only as the child of EveryReadPathTellsOfMemoryRunningOut";
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    registerStandardFileFormats();
    const QDir dir(folder);
    QFile downloadFile(dir.filePath(QStringLiteral("download.parts")));
    ASSERT_TRUE(downloadFile.open(QIODevice::ReadOnly));
    // A download is in memory before it is decoded.
    const QByteArray download = downloadFile.readAll();
    ASSERT_TRUE(limitAddressSpace(kSpareBytes));
    const QString noMemory = QStringLiteral("There is not enough memory to open it.");
    // The long name reads within the room and decodes past it; the zeros are refused unread.
    for (const char* name : { "f.comic", "f.parts", "f.char", "f.zdlprt", "long-name.char" })
        EXPECT_EQ(documentReason(dir.filePath(QLatin1String(name))), noMemory) << name;
    EXPECT_EQ(documentReason(dir.filePath(QStringLiteral("zeros.comic"))),
        QStringLiteral("The data is corrupted."));
    DocumentError error;
    EXPECT_FALSE(CharacterDocument().readFromData(download, PartsFileFormat(), &error));
    EXPECT_EQ(error.failureReason, noMemory);
    FileReadError readError;
    EXPECT_FALSE(ZDLImage::initByReferencingURL(dir.filePath(QStringLiteral("f.png")), &readError));
    EXPECT_EQ(readError.message, QStringLiteral("There is not enough memory to read the file “f.png”."));
    QString why;
    EXPECT_TRUE(readCatalogFile(dir.filePath(QStringLiteral("f.parts")), &why).isEmpty());
    EXPECT_EQ(why, QStringLiteral("There is not enough memory to read the file “f.parts”."));
    EXPECT_FALSE(CharacterLibraryItem::initWithURL(dir.filePath(QStringLiteral("f.parts")))->character());
    ASSERT_TRUE(limitAddressSpace(kFittingBytes + kSpareBytes));
    EXPECT_EQ(
        documentReason(dir.filePath(QStringLiteral("fits.parts"))), QStringLiteral("The data is corrupted."));
}

TEST(OutOfMemoryTest, EveryReadPathTellsOfMemoryRunningOut)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    QTemporaryDir dir;
    const auto make = [&dir](const char* name, const QByteArray& head, qint64 size) {
        QFile file(dir.filePath(QLatin1String(name)));
        return file.open(QIODevice::WriteOnly) && file.write(head) == head.size()
            && file.resize(std::max(size, qint64(head.size())));
    };
    // Sparse files that begin as their kind does, past the room and within every path's limit.
    for (const auto& [name, head] :
        { std::pair { "f.comic", QByteArray("bplist00") }, { "f.parts", "bplist00" },
            { "f.char", "<?xml version=\"1.0\"?>" }, { "f.zdlprt", "" }, { "f.png", "\x89PNG\r\n\x1a\n" } })
        ASSERT_TRUE(make(name, head, qint64(400) << 20));
    ASSERT_TRUE(make("zeros.comic", "", qint64(1023) << 20) && make("fits.parts", "bplist00", kFittingBytes));
    ASSERT_TRUE(make("long-name.char",
        "<CharacterDocument characterName=\"" + QByteArray(kSpareBytes / 2, 'a') + "\"/>", 0));
    const auto character = std::make_shared<CharacterModel>();
    character->setCharacterName(QString(kSpareBytes, QLatin1Char('a')));
    ASSERT_TRUE(make("download.parts", archivedPartsFile(*character), 0));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildFolderVariable), dir.path());
    // Under AddressSanitizer, memory that cannot be had is a failed allocation too, not an abort.
    const QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
        (sanitizer.isEmpty() ? QString() : sanitizer + QLatin1Char(':'))
            + QStringLiteral("allocator_may_return_null=1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_filter=OutOfMemoryTest.ReadPathsChild") });
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_TRUE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
        && output.contains("[  PASSED  ] 1 test"))
        << output.toStdString();
}

} // namespace
} // namespace zandrel
