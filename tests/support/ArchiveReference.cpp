#include "support/ArchiveReference.h"

#include "platform/ArchiveNames.h"
#include "platform/DecodingBudget.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>

namespace zandrel::test {

void expectSameAsReference(const QByteArray& bytes, const QString& relativePath)
{
    const QString path = sourcePath(relativePath);
    if (qEnvironmentVariableIsSet(kWriteReferencesVariable)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << path.toStdString();
        out.write(bytes);
        return;
    }
    QFile in(path);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << "no reference " << path.toStdString();
    const QByteArray expected = in.readAll();
    if (bytes == expected)
        return;
    const auto parted = std::mismatch(bytes.cbegin(), bytes.cend(), expected.cbegin(), expected.cend());
    ADD_FAILURE() << relativePath.toStdString() << ": " << bytes.size() << " bytes written, "
                  << expected.size() << " in the reference; first difference at offset "
                  << (parted.first - bytes.cbegin());
}

void expectSecondWriteAsReference(
    const QByteArray& again, const QByteArray& first, const QString& relativePath)
{
    const bool recorded = QFile::exists(sourcePath(relativePath));
    if (qEnvironmentVariableIsSet(kWriteReferencesVariable)) {
        if (again != first)
            expectSameAsReference(again, relativePath);
        else if (recorded)
            QFile::remove(sourcePath(relativePath));
        return;
    }
    if (recorded)
        expectSameAsReference(again, relativePath);
    else
        EXPECT_TRUE(again == first) << relativePath.toStdString()
                                    << ": the second write differs from the first";
}

void expectArchiveAsReference(const ObjectPtr& root, const QString& rootClass, const QString& stem)
{
    const KeyedArchive archive = KeyedArchiver::archiveWithRootObject(root);
    const QByteArray written = archive.encodedData();
    expectSameAsReference(written, stem + QStringLiteral(".archive"));
    // The writer's estimate of the reading cost, by which it refuses archives that would not read
    // back, holds what reading them charges.
    ObjectPtr read;
    {
        // Gone before the second write: the values it holds would make lists look shared.
        KeyedUnarchiver reader(written);
        read = reader.decodeObjectOfClasses({ rootClass }, ArchiveLayoutKey::kRoot).toObject();
        EXPECT_LE(reader.decodingBudget().spent(), archive.readingCost()) << stem.toStdString();
        // And it keeps to the allowance's proportion, so that a document as large as the floor's
        // many times over still saves.
        EXPECT_LE(archive.readingCost(), DecodingBudget::kBytesPerFileByte * written.size())
            << stem.toStdString();
    }
    ASSERT_TRUE(read) << stem.toStdString();
    expectSecondWriteAsReference(
        KeyedArchiver::archivedDataWithRootObject(read), written, stem + QStringLiteral("-reread.archive"));
}

} // namespace zandrel::test
