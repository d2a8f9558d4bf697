// The document's file: reading, the save operations, autosave in place and revert.
#include "app/core/CatalogFiles.h"
#include "app/core/DocumentHost.h"
#include "app/core/FileFormat.h"
#include "app/core/ModalAlert.h"
#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/AtomicFile.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <new>
#include <thread>

namespace zandrel {

namespace {

const QString kAutosaveKey = QStringLiteral("autosave");
const QString kLockedChangeKey = QStringLiteral("lockedChange");
int g_autosaveDelayMs = 10000;
ZDLDocument::BackgroundWriteSeam g_backgroundWriteSeam;

// The platform code for a failed write, from what the system said.
int writeErrorCode(int systemError)
{
    switch (systemError) {
    case EACCES:
    case EPERM:
    case EROFS:
        return DocumentError::kFileWriteNoPermissionCode;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DocumentError::kFileWriteOutOfSpaceCode;
    default:
        return DocumentError::kFileWriteUnknownCode;
    }
}

QString canonicalOrAbsolute(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// Write permission as the system grants it, and as the entry's mode asks for it: a file or folder
// that carries no write bit at all is meant to stay as it is, even for an administrator.
bool writable(const QFileInfo& entry)
{
    constexpr auto anyWriteBit = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return entry.isWritable() && (entry.permissions() & anyWriteBit);
}

bool insideBuiltInCatalog(const QString& folderPath)
{
    const QString builtIn = appController()->getCatalogFolderURL(CharacterLibraryItem::BuiltInCatalog);
    if (builtIn.isEmpty())
        return false;
    const QString folder = canonicalOrAbsolute(folderPath);
    const QString catalog = canonicalOrAbsolute(builtIn);
    return folder == catalog || folder.startsWith(catalog + QLatin1Char('/'));
}

// Why the file at the path may not be replaced; empty when it may. A save writes a temporary file
// beside the target and renames it into place, so the folder has to take new files too.
QString whyNotWritable(const QString& path)
{
    const QFileInfo info(path);
    if (insideBuiltInCatalog(info.absolutePath()))
        return localized("“%1” belongs to the built-in catalog, which cannot be changed.")
            .arg(info.fileName());
    if ((info.exists() && !writable(info)) || !writable(QFileInfo(info.absolutePath())))
        return localized("You don’t have permission to save the file “%1” in the folder “%2”.")
            .arg(info.fileName(), QFileInfo(info.absolutePath()).fileName());
    return QString();
}

FileFormatPtr formatFor(const QString& type, const QString& path)
{
    const auto& registry = FileFormatRegistry::shared();
    if (FileFormatPtr format = registry.formatForType(type))
        return format;
    return registry.formatForFile(path);
}

} // namespace

int ZDLDocument::autosaveDelayMs()
{
    return g_autosaveDelayMs;
}

void ZDLDocument::setAutosaveDelayMs(int milliseconds)
{
    g_autosaveDelayMs = std::max(0, milliseconds);
}

bool ZDLDocument::readFromData(
    const QByteArray& data, const FileFormat& format, DocumentError* error, const QString& sourcePath)
{
    // Reading records nothing to undo; the model is installed only once it was read whole.
    m_undoManager.disableUndoRegistration();
    DocumentError readError;
    ObjectPtr model;
    try {
        model = format.read(data, &readError, sourcePath);
        if (model)
            installModel(model);
    } catch (const std::bad_alloc& exception) {
        // The model goes, and with it what it took: the program carries on without the document.
        model = nullptr;
        readError = ZDLAppController::getErrorForException(exception);
    }
    m_undoManager.enableUndoRegistration();
    if (!model) {
        if (error)
            *error = readError;
        return false;
    }
    updateViews();
    return true;
}

QByteArray ZDLDocument::dataOfType(const FileFormat& format, DocumentError* error) const
{
    const ObjectPtr model = rootModel();
    if (!model) {
        if (error)
            *error = DocumentError::fileError(DocumentError::kFileWriteUnknownCode, {});
        return {};
    }
    return format.write(*model, error);
}

void ZDLDocument::setFilePath(const QString& path)
{
    m_filePath = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    if (m_host)
        m_host->documentStateChanged();
}

QString ZDLDocument::displayName() const
{
    if (!m_filePath.isEmpty())
        return QFileInfo(m_filePath).fileName();
    return m_untitledName.isEmpty() ? localized("Untitled") : m_untitledName;
}

QString ZDLDocument::untitledDocumentName() const
{
    return localized("Untitled");
}

QString ZDLDocument::documentNameWithoutExtension() const
{
    return m_filePath.isEmpty() ? untitledDocumentName() : QFileInfo(m_filePath).completeBaseName();
}

QString ZDLDocument::withExtension(const QString& name, const QString& extension)
{
    return extension.startsWith(QLatin1Char('.')) ? name + extension : name + QLatin1Char('.') + extension;
}

QString ZDLDocument::documentNameWithExtension(const QString& extension) const
{
    return withExtension(documentNameWithoutExtension(), extension);
}

QString ZDLDocument::proposedFileNameFor(const QString& modelName, const QString& extension) const
{
    if (!m_filePath.isEmpty())
        return QFileInfo(m_filePath).fileName();
    const QString name = fileBaseNameFor(modelName);
    return name.isEmpty() ? QString() : withExtension(name, extension);
}

QString ZDLDocument::documentNameWithQualifier(ExportKind qualifier, const QString& extension) const
{
    const QString name = documentNameWithoutExtension();
    return withExtension(
        qualifier == ExportKind::Selection ? localized("%1 selection").arg(name) : name, extension);
}

bool ZDLDocument::readFromFile(const QString& path, DocumentError* error)
{
    const FileFormatPtr format = FileFormatRegistry::shared().formatForFile(path);
    if (!format) {
        if (error)
            *error = DocumentError::fileError(
                DocumentError::kFileReadUnknownCode, localized("Zandrel cannot open files of this kind."));
        return false;
    }
    FileReadError readError;
    // A file whose first bytes cannot begin one of the format's is refused before the rest is read.
    const std::optional<QByteArray> data = readRegularFile(path, kMaxFileBytes, &readError,
        [&format](QByteArrayView head) { return format->canBeginFile(head); });
    if (!data) {
        if (!error)
            return false;
        switch (readError.kind) {
        case FileReadError::WrongKind:
            // What the format's reader would have said of it, read whole.
            *error = ZDLAppController::getErrorForException(std::exception());
            break;
        case FileReadError::OutOfMemory:
            *error = ZDLAppController::getErrorForException(std::bad_alloc());
            break;
        default:
            *error = DocumentError::fileError(readError.kind == FileReadError::NoSuchFile
                    ? DocumentError::kFileReadNoSuchFileCode
                    : readError.kind == FileReadError::TooLarge ? DocumentError::kFileReadTooLargeCode
                                                                : DocumentError::kFileReadUnknownCode,
                readError.message);
        }
        return false;
    }
    if (!readFromData(*data, *format, error, path))
        return false;
    m_fileType = format->typeName();
    m_undoManager.removeAllActions();
    m_undoManager.setClean();
    m_changedSinceWrite = false;
    m_changedSinceExplicitSave = false;
    // An import starts untitled: its file is in another format and is never written.
    if (format->canWrite()) {
        m_savedSnapshot = *data;
        m_locked = !mayWriteFile(path);
        setFilePath(path);
    } else {
        m_savedSnapshot.clear();
        m_locked = false;
        setFilePath(QString());
        updateChangeCount();
    }
    return true;
}

bool ZDLDocument::mayWriteFile(const QString& path)
{
    return whyNotWritable(path).isEmpty();
}

bool ZDLDocument::mayWriteInFolder(const QString& folder)
{
    const QFileInfo info(folder);
    return info.isDir() && !insideBuiltInCatalog(info.absoluteFilePath()) && writable(info);
}

bool ZDLDocument::writeFile(const QString& path, const QByteArray& data, DocumentError* error)
{
    QString reason;
    int systemError = 0;
    if (writeFileAtomically(path, data, &reason, &systemError))
        return true;
    if (error)
        *error = DocumentError::fileError(writeErrorCode(systemError), reason);
    return false;
}

bool ZDLDocument::saveToFile(const QString& path, SaveOperation operation, DocumentError* error)
{
    // Two writers never touch a file at once, and what this one writes comes last.
    finishBackgroundWrite();
    const FileFormatPtr format = formatFor(m_fileType, path);
    if (!format || !format->canWrite()) {
        if (error)
            *error = DocumentError::fileError(
                DocumentError::kFileWriteUnknownCode, localized("Zandrel cannot save files of this kind."));
        return false;
    }
    if (const QString refusal = whyNotWritable(path); !refusal.isEmpty()) {
        if (error)
            *error = DocumentError::fileError(DocumentError::kFileWriteNoPermissionCode, refusal);
        return false;
    }
    DocumentError writeError;
    const QByteArray data = dataOfType(*format, &writeError);
    if (data.isEmpty() || !writeFile(path, data, &writeError)) {
        if (error)
            *error = writeError;
        return false;
    }
    m_autosaveFailed = false;
    switch (operation) {
    case SaveOperation::Save:
    case SaveOperation::SaveAs:
        m_savedSnapshot = data;
        m_changedSinceExplicitSave = false;
        m_fileType = format->typeName();
        [[fallthrough]];
    case SaveOperation::AutosaveInPlace:
        m_changedSinceWrite = false;
        DeferredCalls::cancel(this, kAutosaveKey);
        m_undoManager.setClean();
        if (operation == SaveOperation::SaveAs) {
            // Written there, so it may be written there again.
            m_locked = false;
            setFilePath(path);
        } else if (m_host)
            m_host->documentStateChanged();
        break;
    case SaveOperation::SaveTo:
    case SaveOperation::Autosave:
        break;
    }
    didSave(operation);
    return true;
}

bool ZDLDocument::revertToSaved(DocumentError* error)
{
    const FileFormatPtr format = formatFor(m_fileType, m_filePath);
    if (m_filePath.isEmpty() || m_savedSnapshot.isEmpty() || !format) {
        if (error)
            *error = DocumentError::fileError(DocumentError::kFileReadUnknownCode, {});
        return false;
    }
    finishBackgroundWrite();
    edit(nullptr);
    if (!readFromData(m_savedSnapshot, *format, error, m_filePath))
        return false;
    m_undoManager.removeAllActions();
    m_changedSinceExplicitSave = false;
    // The file on disk may hold an autosave; it goes back to the explicit save too. A locked file
    // was never written.
    DocumentError writeError;
    if (m_locked || writeFile(m_filePath, m_savedSnapshot, &writeError)) {
        m_changedSinceWrite = false;
        m_undoManager.setClean();
    } else {
        m_changedSinceWrite = true;
        presentError(writeError, FileOperation::Save);
    }
    if (m_host)
        m_host->documentStateChanged();
    return true;
}

bool ZDLDocument::isDocumentEdited() const
{
    return m_changedSinceWrite || !m_undoManager.isClean();
}

bool ZDLDocument::isPristine() const
{
    return m_filePath.isEmpty() && !isDocumentEdited() && !m_changedSinceExplicitSave
        && !m_undoManager.canUndo() && !m_undoManager.canRedo();
}

void ZDLDocument::updateChangeCount()
{
    // A change nothing else told of: it may be anywhere.
    modelChanged(nullptr);
    ++m_unseenChanges;
    m_changedSinceWrite = true;
    m_changedSinceExplicitSave = true;
    scheduleAutosave();
    lockedDocumentChanged();
    if (m_host)
        m_host->documentStateChanged();
}

void ZDLDocument::undoStateChanged()
{
    if (!m_undoManager.isClean())
        m_changedSinceExplicitSave = true;
    if (isDocumentEdited()) {
        scheduleAutosave();
        lockedDocumentChanged();
    }
    if (m_host)
        m_host->documentStateChanged();
}

void ZDLDocument::lockedDocumentChanged()
{
    // Undo registers its inverse before the change is made: the question waits for the whole event.
    if (m_locked && !m_askingToDuplicate && !DeferredCalls::isPending(this, kLockedChangeKey))
        DeferredCalls::perform(this, kLockedChangeKey, 0, [this] { offerToDuplicate(); });
}

void ZDLDocument::offerToDuplicate()
{
    if (!m_locked || m_askingToDuplicate || !isDocumentEdited())
        return;
    m_askingToDuplicate = true;
    ModalAlert alert;
    alert.message = localized("The file “%1” is read only.").arg(displayName());
    alert.informativeText = localized(
        "Your change cannot be saved where the file is. Duplicate it to keep your changes in a new "
        "document; the file stays as it is.");
    alert.buttons = { localized("Duplicate"), localized("Cancel") };
    const auto answered = [this, alive = std::weak_ptr<bool>(m_alive)](int answer) {
        if (alive.expired())
            return;
        m_askingToDuplicate = false;
        DocumentError error;
        if (answer == ModalAlert::kFirstButton) {
            const FileFormatPtr format = formatFor(m_fileType, m_filePath);
            const QByteArray data = format ? dataOfType(*format, &error) : QByteArray();
            ZDLDocument* copy = data.isEmpty()
                ? nullptr
                : appController()->openUntitledDocumentFromData(data, m_fileType, &error);
            if (!copy) {
                presentError(error, FileOperation::Save);
                return;
            }
            copy->setCopyName(localized("%1 copy").arg(documentNameWithoutExtension()));
            if (copy->host())
                copy->host()->documentStateChanged();
        }
        // The change went to the duplicate, or nowhere: the file's own document shows the file again.
        if (!revertToSaved(&error))
            presentError(error, FileOperation::Open);
    };
    appController()->showAlert(alert, m_host ? m_host->alertWindow() : nullptr, answered);
}

bool ZDLDocument::autosavesInPlace() const
{
    if (m_filePath.isEmpty() || m_locked)
        return false;
    const FileFormatPtr format = formatFor(m_fileType, m_filePath);
    return format && format->canWrite();
}

void ZDLDocument::scheduleAutosave()
{
    if (!autosavesInPlace())
        return;
    // A short while after the last change: a burst of edits is written once.
    DeferredCalls::cancel(this, kAutosaveKey);
    DeferredCalls::perform(this, kAutosaveKey, g_autosaveDelayMs, [this] { autosaveInBackground(); });
}

bool ZDLDocument::autosaveNow()
{
    DeferredCalls::cancel(this, kAutosaveKey);
    if (!finishBackgroundWrite())
        return false;
    if (!autosavesInPlace() || !isDocumentEdited())
        return true;
    DocumentError error;
    if (saveToFile(m_filePath, SaveOperation::AutosaveInPlace, &error))
        return true;
    autosaveFailed(error);
    return false;
}

void ZDLDocument::autosaveFailed(const DocumentError& error)
{
    zdlLog(QStringLiteral("Autosave of %1 failed: %2").arg(m_filePath, error.failureReason));
    if (!m_autosaveFailed)
        presentError(error, FileOperation::Save);
    m_autosaveFailed = true;
}

// A write on the worker thread. The worker reads only the encoder, which holds a finished archive,
// and the path, and fills in the outcome; the document reads that once the thread has ended.
struct ZDLDocument::BackgroundWrite {
    FileFormat::Encoder encoder;
    QString path;
    // The state written: the undo history's point and the count of unseen changes.
    quint64 undoState = 0;
    quint64 unseenChanges = 0;
    std::function<void()> hold;
    std::thread thread;
    bool written = false;
    DocumentError error;

    void run()
    {
        if (hold)
            hold();
        // The encoder is let go on the document's thread: what it holds may hold model objects.
        const QByteArray data = encoder(&error);
        written = !data.isEmpty() && writeFile(path, data, &error);
    }
};

void ZDLDocument::setBackgroundWriteSeam(BackgroundWriteSeam seam)
{
    g_backgroundWriteSeam = std::move(seam);
}

void ZDLDocument::autosaveInBackground()
{
    DeferredCalls::cancel(this, kAutosaveKey);
    if (!autosavesInPlace() || !isDocumentEdited())
        return;
    if (m_backgroundWrite) {
        // One write at a time: the next one starts when this one is done.
        m_autosaveDueAgain = true;
        return;
    }
    const std::optional<quint64> undoState = m_undoManager.currentStateId();
    const FileFormatPtr format = formatFor(m_fileType, m_filePath);
    const ObjectPtr model = rootModel();
    if (!undoState || !model || !QCoreApplication::instance()) {
        autosaveNow();
        return;
    }
    DocumentError error;
    FileFormat::Encoder encoder = prepareBackgroundWrite(*format, *model, &error);
    if (!encoder) {
        autosaveFailed(error);
        return;
    }
    auto write = std::make_shared<BackgroundWrite>();
    write->encoder = std::move(encoder);
    write->path = m_filePath;
    write->undoState = *undoState;
    write->unseenChanges = m_unseenChanges;
    write->hold = g_backgroundWriteSeam.holdWorker;
    m_backgroundWrite = write;
    m_autosaveDueAgain = false;
    // The outcome comes back through the event loop; a document that finished the write itself
    // (or went) finds nothing left to do then.
    write->thread = std::thread([job = write.get(), weak = std::weak_ptr<BackgroundWrite>(write), this] {
        job->run();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, this] {
                if (const auto write = weak.lock(); write && write == m_backgroundWrite)
                    finishBackgroundWrite();
            },
            Qt::QueuedConnection);
    });
}

bool ZDLDocument::finishBackgroundWrite()
{
    if (!m_backgroundWrite)
        return true;
    const std::shared_ptr<BackgroundWrite> write = std::move(m_backgroundWrite);
    if (g_backgroundWriteSeam.beforeWaiting)
        g_backgroundWriteSeam.beforeWaiting();
    write->thread.join();
    write->encoder = {};
    applyBackgroundWrite(*write);
    // A write that found its snapshot stale failed at nothing: the document stays edited.
    return write->written || write->error.domain == kStaleSnapshotDomain;
}

FileFormat::Encoder ZDLDocument::prepareBackgroundWrite(
    const FileFormat& format, const Object& model, DocumentError* error)
{
    return format.prepareWrite(model, error);
}

void ZDLDocument::applyBackgroundWrite(BackgroundWrite& write)
{
    if (!write.written && write.error.domain == kStaleSnapshotDomain) {
        // Nothing was written and nothing is told: the model is recorded whole and written again.
        modelChanged(nullptr);
        m_autosaveDueAgain = false;
        DeferredCalls::cancel(this, kAutosaveKey);
        DeferredCalls::perform(this, kAutosaveKey, 0, [this] { autosaveInBackground(); });
        return;
    }
    if (!write.written) {
        autosaveFailed(write.error);
    } else {
        m_autosaveFailed = false;
        // Changes made while the file was written stay to be written.
        if (m_unseenChanges == write.unseenChanges)
            m_changedSinceWrite = false;
        m_undoManager.setCleanAt(write.undoState);
        if (m_host)
            m_host->documentStateChanged();
        didSave(SaveOperation::AutosaveInPlace);
    }
    if (isDocumentEdited() && (write.written || m_autosaveDueAgain))
        scheduleAutosave();
    m_autosaveDueAgain = false;
}

void ZDLDocument::abandonBackgroundWrite()
{
    if (m_backgroundWrite && m_backgroundWrite->thread.joinable())
        m_backgroundWrite->thread.join();
    m_backgroundWrite.reset();
}

void ZDLDocument::presentError(const DocumentError& error, FileOperation operation) const
{
    if (error.isUserCancelled())
        return;
    if (m_host)
        m_host->presentError(error, operation);
}

} // namespace zandrel
