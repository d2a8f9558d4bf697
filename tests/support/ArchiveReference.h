#pragma once

#include "platform/Object.h"

#include <QByteArray>
#include <QString>

namespace zandrel::test {

// The environment variable that makes expectSameAsReference write the reference files instead of
// comparing with them: run a test executable once with it set to record what the code writes now.
inline constexpr const char* kWriteReferencesVariable = "ZANDREL_WRITE_ARCHIVE_REFERENCES";

// Compares bytes the code wrote with the reference file at the path (relative to the source
// tree), reporting the first offset where they part. A missing reference is a failure, so that a
// renamed reference cannot pass unnoticed.
void expectSameAsReference(const QByteArray& bytes, const QString& relativePath);

// For what a second write (after reading the first back) gives: the same bytes as the first
// write, or, where reading changes something, the bytes of the reference file at the path, which
// is only recorded for such archives.
void expectSecondWriteAsReference(
    const QByteArray& again, const QByteArray& first, const QString& relativePath);

// Archives the object, compares the bytes with the reference "<stem>.archive", reads them back
// (the root of the given class) and compares what a second write gives (see above, with the
// reference "<stem>-reread.archive").
void expectArchiveAsReference(const ObjectPtr& root, const QString& rootClass, const QString& stem);

} // namespace zandrel::test
