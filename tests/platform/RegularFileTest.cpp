// A regular file is read whole within the limit, and never past it whatever size it states.
#include "platform/RegularFile.h"

#include "support/RunawayGuard.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(RegularFile, ReadsWithinTheLimitWhateverSizeTheFileStates)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("three")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("abc") == 3);
    file.close();
    QFile::link(file.fileName(), dir.filePath(QStringLiteral("link")));
    // A name that says document, for one of the kernel's files that states 0 bytes and never ends.
    QFile::link(QStringLiteral("/proc/self/pagemap"), dir.filePath(QStringLiteral("x.comic")));
    using Kind = FileReadError::Kind;
    // The kernel's own files state a size of 0, or a page, whatever they hold: none is a document.
    QList<std::tuple<QString, qint64, Kind>> cases {
        { file.fileName(), 3, Kind::None },
        { dir.filePath(QStringLiteral("link")), 3, Kind::None },
        { file.fileName(), 2, Kind::TooLarge },
        { dir.filePath(QStringLiteral("missing")), 3, Kind::NoSuchFile },
        { QStringLiteral("/proc/self/maps"), 16, Kind::SystemFile },
        { QStringLiteral("/proc/self/maps"), 64 << 20, Kind::SystemFile },
        { QStringLiteral("/proc/self/mem"), 16, Kind::SystemFile },
        { dir.filePath(QStringLiteral("x.comic")), qint64(1) << 30, Kind::SystemFile },
    };
    // A container may leave /sys out.
    if (QFile::exists(QStringLiteral("/sys/kernel/uevent_seqnum")))
        cases.append({ QStringLiteral("/sys/kernel/uevent_seqnum"), 4096, Kind::SystemFile });
    for (const auto& [path, maxBytes, kind] : cases) {
        SCOPED_TRACE(path.toStdString() + " within " + std::to_string(maxBytes));
        FileReadError error;
        const std::optional<QByteArray> data = readRegularFile(path, maxBytes, &error);
        EXPECT_EQ(error.kind, kind) << error.message.toStdString();
        EXPECT_EQ(data.has_value(), kind == Kind::None);
        EXPECT_EQ(error.message.isEmpty(), kind == Kind::None);
        if (data) {
            EXPECT_EQ(*data, "abc");
        }
        if (kind == Kind::SystemFile) {
            EXPECT_EQ(error.message.toStdString(),
                "“" + QFileInfo(path).fileName().toStdString()
                    + "” is one of the system’s own files, not a document.");
        }
    }
}

// The check sees the first bytes before room is taken for the rest: a gigabyte it refuses costs
// nothing.
TEST(RegularFile, JudgesTheFirstBytesBeforeReadingTheRest)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("large")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("bpl") == 3 && file.resize(qint64(1) << 30));
    QByteArray seen;
    FileReadError error;
    const test::RunawayGuard guard("a refused gigabyte");
    EXPECT_FALSE(readRegularFile(file.fileName(), qint64(2) << 30, &error, [&seen](QByteArrayView head) {
        seen = head.toByteArray();
        return false;
    }));
    EXPECT_EQ(seen, QByteArray("bpl") + QByteArray(kFileHeadBytes - 3, '\0'));
    EXPECT_EQ(error.message.toStdString(), "The data in the file “large” is corrupted.");
}

} // namespace
} // namespace zandrel
