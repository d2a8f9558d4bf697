#include "support/ArchiveReference.h"

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
    const QByteArray written = KeyedArchiver::archivedDataWithRootObject(root);
    expectSameAsReference(written, stem + QStringLiteral(".archive"));
    const ObjectPtr read = KeyedUnarchiver::unarchive(written, { rootClass }).toObject();
    ASSERT_TRUE(read) << stem.toStdString();
    expectSecondWriteAsReference(
        KeyedArchiver::archivedDataWithRootObject(read), written, stem + QStringLiteral("-reread.archive"));
}

} // namespace zandrel::test
