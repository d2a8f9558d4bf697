#pragma once

#include "ArchiveOracle.h"
#include "ArchiveTestClasses.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

namespace zandrel::test {

// Compares the seeds of a fuzz target with its committed corpus in fuzz/corpus/<target>, so that
// a change in what the archiver writes shows up; the seeds named in `wellFormed` must also open in
// plistlib. ZANDREL_WRITE_FUZZ_CORPUS=1 rewrites the corpus after an intended change.
inline void checkCorpusSeeds(
    const QString& target, const QMap<QString, QByteArray>& seeds, const QStringList& wellFormed)
{
    const QDir dir(sourcePath(QStringLiteral("fuzz/corpus/") + target));
    const bool write = qEnvironmentVariableIntValue("ZANDREL_WRITE_FUZZ_CORPUS") == 1;
    if (write)
        QDir().mkpath(dir.path());
    for (auto it = seeds.cbegin(); it != seeds.cend(); ++it) {
        QFile file(dir.filePath(it.key()));
        if (write) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(it.value());
            continue;
        }
        if (wellFormed.contains(it.key()))
            checkWithPython(it.value());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << it.key().toStdString();
        EXPECT_EQ(file.readAll(), it.value())
            << it.key().toStdString() << " differs from what the archiver writes";
    }
}

} // namespace zandrel::test
