#pragma once

#include "app/core/DocumentError.h"
#include "platform/KeyedArchiver.h"
#include "platform/Object.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace zandrel {

// One kind of file a document reads, and maybe writes: the bytes become the document's root model
// and back. Every failure comes back as a DocumentError carrying the texts the user is shown
// ("The data is corrupted.", a file from a newer program, the silent "user cancelled"); nothing
// is thrown past this interface and nothing half-read is ever returned.
class FileFormat {
public:
    // What is left of writing once the model was read: it makes the file's bytes from a snapshot
    // that shares nothing mutable with the model, so it may run on another thread. Empty bytes with
    // the error set when the file would not read back.
    using Encoder = std::function<QByteArray(DocumentError* error)>;

    virtual ~FileFormat() = default;

    // The document type this format opens and saves ("<bundle id>.character").
    virtual QString typeName() const = 0;
    // Lower case, without the dot; the first is the one new files get.
    virtual QStringList extensions() const = 0;
    // For file dialogs: "Parts files (*.parts)".
    virtual QString nameFilter() const = 0;
    // Import formats only read: their documents start untitled.
    virtual bool canWrite() const { return true; }
    // Whether a file beginning with these bytes (its first kFileHeadBytes, or all of a shorter one)
    // may be one of this format's. A file refused here is refused before the rest of it is read, so
    // a format says no only to what its reader could never take.
    virtual bool canBeginFile(QByteArrayView head) const;

    // The model, or null with the error set. The file's path, when there is one, lets a format find
    // what the file names relative to itself (an import's tracing image).
    virtual ObjectPtr read(
        const QByteArray& data, DocumentError* error, const QString& sourcePath = QString()) const = 0;
    // The file's bytes; empty with the error set when the model cannot be written.
    virtual QByteArray write(const Object& model, DocumentError* error) const;
    // The part of write() that reads the model, done now; the encoder returned does the rest. Null,
    // with the error set, when the model cannot be written. Formats without a snapshot of their
    // own write whole here.
    virtual Encoder prepareWrite(const Object& model, DocumentError* error) const;

    bool handlesExtension(const QString& extension) const;

protected:
    // Runs a reader that may throw and turns whatever it throws into the error the document shows.
    template <class Reader> static ObjectPtr guardedRead(Reader&& reader, DocumentError* error);
    // Runs a writer that refuses, by throwing, a model whose file would not read back (too large,
    // too deep, expanding past what its size allows): the save then fails with the error set and
    // no bytes, so that the old file stays whole.
    template <class Writer> static QByteArray guardedWrite(Writer&& writer, DocumentError* error);
    // The same for a writer split in two: the archiver runs now, the encoding of the archive later.
    template <class Archiver> static Encoder guardedPrepare(Archiver&& archiver, DocumentError* error);
    static void reportUnwritable(DocumentError* error);
    static void reportException(const std::exception& exception, DocumentError* error);
};

template <class Reader> ObjectPtr FileFormat::guardedRead(Reader&& reader, DocumentError* error)
{
    try {
        return reader();
    } catch (const std::exception& exception) {
        reportException(exception, error);
    } catch (...) {
        reportException(std::exception(), error);
    }
    return nullptr;
}

template <class Writer> QByteArray FileFormat::guardedWrite(Writer&& writer, DocumentError* error)
{
    try {
        return writer();
    } catch (const std::exception&) {
        reportUnwritable(error);
    }
    return {};
}

template <class Archiver>
FileFormat::Encoder FileFormat::guardedPrepare(Archiver&& archiver, DocumentError* error)
{
    std::shared_ptr<const KeyedArchive> archive;
    try {
        archive = std::make_shared<const KeyedArchive>(archiver());
    } catch (const std::exception&) {
        reportUnwritable(error);
        return {};
    }
    // The message is made here: the encoder may run where the translations are not to be touched.
    DocumentError unwritable;
    reportUnwritable(&unwritable);
    // The archive goes once encoded, so that it and the bytes are not held together while written.
    return [archive, unwritable](DocumentError* error) mutable -> QByteArray {
        try {
            const std::shared_ptr<const KeyedArchive> encoding = std::move(archive);
            return encoding ? encoding->encodedData() : QByteArray();
        } catch (const std::exception&) {
            if (error)
                *error = unwritable;
        }
        return {};
    };
}

using FileFormatPtr = std::shared_ptr<const FileFormat>;

// The formats the program knows, by extension. The application registers them at start-up
// (registerStandardFileFormats); tests may register their own.
class FileFormatRegistry {
public:
    static FileFormatRegistry& shared();

    // A later format for an extension replaces the earlier one.
    void registerFormat(const FileFormatPtr& format);
    FileFormatPtr formatForExtension(const QString& extension) const;
    FileFormatPtr formatForFile(const QString& path) const;
    FileFormatPtr formatForType(const QString& typeName) const;
    const QList<FileFormatPtr>& formats() const { return m_formats; }

private:
    QList<FileFormatPtr> m_formats;
};

// The bundle identifier that document type names start with.
inline const QString kBundleIdentifier = QStringLiteral("org.zandrel.Zandrel");
// The document type of comic files, registered by the comic document.
inline const QString kComicDocumentType = kBundleIdentifier + QStringLiteral(".comic");

} // namespace zandrel
