// A regular file is read whole within the limit, and never past it whatever size it states.
#include "platform/RegularFile.h"

#include <QFile>
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
    using Kind = FileReadError::Kind;
    // The kernel's own files state a size of 0 whatever they hold.
    const QList<std::tuple<QString, qint64, Kind>> cases {
        { file.fileName(), 3, Kind::None },
        { dir.filePath(QStringLiteral("link")), 3, Kind::None },
        { file.fileName(), 2, Kind::TooLarge },
        { dir.filePath(QStringLiteral("missing")), 3, Kind::NoSuchFile },
        { QStringLiteral("/proc/self/maps"), 16, Kind::TooLarge },
        { QStringLiteral("/proc/self/maps"), 64 << 20, Kind::None },
        { QStringLiteral("/proc/self/mem"), 16, Kind::Unreadable },
    };
    for (const auto& [path, maxBytes, kind] : cases) {
        SCOPED_TRACE(path.toStdString() + " within " + std::to_string(maxBytes));
        FileReadError error;
        const std::optional<QByteArray> data = readRegularFile(path, maxBytes, &error);
        EXPECT_EQ(error.kind, kind) << error.message.toStdString();
        EXPECT_EQ(data.has_value(), kind == Kind::None);
        EXPECT_EQ(error.message.isEmpty(), kind == Kind::None);
        if (data)
            EXPECT_TRUE(maxBytes == 3 ? *data == "abc" : data->contains("[stack]"));
    }
}

} // namespace
} // namespace zandrel
