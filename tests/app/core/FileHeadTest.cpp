// What a format's reader takes always begins as the format says its files begin, so that judging a
// file by its first bytes refuses nothing the reader would open; what cannot begin one is refused.
#include "app/core/CharacterFileFormats.h"
#include "app/core/ZDLAppController.h"
#include "platform/RegularFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(FileHeadTest, EveryFileAReaderTakesBeginsAsItsFormatSays)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    registerStandardFileFormats();
    const auto head = [](const QByteArray& data) {
        return QByteArrayView(data).first(std::min(data.size(), kFileHeadBytes));
    };
    // The sample character, without its declaration (which names UTF-8), as the XML reader takes it:
    // after a byte order mark or white space, in UTF-16 and UTF-32 of either order, marked or not.
    QString sample
        = QString::fromUtf8(fileBytes(test::sourcePath(QStringLiteral("tests/charmodel/data/sample.char"))));
    sample = sample.mid(sample.indexOf(QLatin1Char('\n')) + 1);
    QList<QByteArray> xml { "\xEF\xBB\xBF" + sample.toUtf8(), "\r\n \t" + sample.toUtf8() };
    for (const auto encoding : { QStringConverter::Utf16LE, QStringConverter::Utf16BE,
             QStringConverter::Utf32LE, QStringConverter::Utf32BE }) {
        for (const auto flags : { QStringConverter::Flag::WriteBom, QStringConverter::Flag::Default })
            xml.append(QByteArray(QStringEncoder(encoding, flags)(sample)));
    }
    // Each format's fuzz seeds: well formed, damaged, older and newer files.
    const QList<std::tuple<QString, const char*, QList<QByteArray>>> corpora {
        { QStringLiteral("comic"), "comicfile", {} }, { QStringLiteral("parts"), "partsfile", {} },
        { QStringLiteral("char"), "charxml", xml }, { QStringLiteral("zdlprt"), "legacyparts", {} }
    };
    int opened = 0;
    for (const auto& [extension, target, more] : corpora) {
        const FileFormatPtr format = FileFormatRegistry::shared().formatForExtension(extension);
        QList<QByteArray> files = more;
        const QDir dir(test::sourcePath(QStringLiteral("fuzz/corpus/fuzz_") + QLatin1String(target)));
        for (const QString& name : dir.entryList(QDir::Files))
            files.append(fileBytes(dir.filePath(name)));
        for (const QByteArray& data : files) {
            DocumentError error;
            const bool opens = format->read(data, &error, QString()) != nullptr;
            opened += opens;
            EXPECT_TRUE(opens ? format->canBeginFile(head(data)) : !more.contains(data))
                << extension.toStdString() << ": " << data.left(24).toHex().toStdString();
        }
    }
    EXPECT_GT(opened, 30);
    // The legacy parts file reads whatever bytes it is given.
    const QList<std::pair<QByteArray, QList<bool>>> heads {
        { QByteArray(64, '\0'), { false, false, false, true } },
        { "bplist00\x01", { true, true, false, true } },
        { "  \n<x/>", { false, false, true, true } },
        { "", { true, true, true, true } },
    };
    for (const auto& [bytes, accepted] : heads) {
        for (int i = 0; i < 4; ++i) {
            const QString& extension = std::get<0>(corpora[i]);
            EXPECT_EQ(
                FileFormatRegistry::shared().formatForExtension(extension)->canBeginFile(bytes), accepted[i])
                << extension.toStdString() << ": " << bytes.toHex().toStdString();
        }
    }
}

} // namespace
} // namespace zandrel
