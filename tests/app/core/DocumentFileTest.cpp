// Documents and their files: the format seam, the save operations, failed saves, autosave in place
// and revert, on real parts files.
#include "CharacterFixtures.h"
#include "DocumentTestSupport.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/DocumentHost.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartsFile.h"
#include "graphics/ZDLImage.h"
#include "platform/DeferredCalls.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

namespace zandrel {
namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Records what the document asks of its windows.
class RecordingHost : public DocumentHost {
public:
    void documentStateChanged() override { ++stateChanges; }
    void presentError(const DocumentError& error, FileOperation operation) override { errors.append(error); }

    int stateChanges = 0;
    QList<DocumentError> errors;
};

class DocumentFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        registerStandardFileFormats();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("Bob.parts"));
        original = archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob"), 4, 3));
        writeAll(path, original);
    }

    std::unique_ptr<CharacterDocument> open(const QString& file)
    {
        auto document = std::make_unique<CharacterDocument>();
        document->setHost(&host);
        DocumentError error;
        EXPECT_TRUE(document->readFromFile(file, &error)) << error.failureReason.toStdString();
        return document;
    }

    // An undoable change to the model, closed as one step.
    static void renameCharacter(CharacterDocument& document, const QString& name)
    {
        document.undoableSetPropertyFor(document.model(), QStringLiteral("characterName"), Value(name));
        test::endEventPass();
    }

    QTemporaryDir dir;
    QString path;
    QByteArray original;
    RecordingHost host;
};

TEST_F(DocumentFileTest, OpenSaveReopenGivesTheSameBytes)
{
    auto document = open(path);
    EXPECT_EQ(document->filePath(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(document->fileType(), kCharacterDocumentType);
    EXPECT_EQ(document->displayName(), QStringLiteral("Bob.parts"));
    EXPECT_FALSE(document->isDocumentEdited());

    const QString copy = dir.filePath(QStringLiteral("copy.parts"));
    DocumentError error;
    ASSERT_TRUE(document->saveToFile(copy, SaveOperation::SaveTo, &error));
    EXPECT_EQ(readAll(copy), original);
    // Save-to writes a copy: the document stays with its own file.
    EXPECT_EQ(document->filePath(), QFileInfo(path).absoluteFilePath());

    auto reopened = open(copy);
    ASSERT_TRUE(reopened->saveToFile(copy, SaveOperation::Save, &error));
    EXPECT_EQ(readAll(copy), original);
    EXPECT_EQ(reopened->model()->characterName(), QStringLiteral("Bob"));
    EXPECT_EQ(reopened->model()->numChildren(), 4u);

    // An independent reader sees a whole keyed archive with the character's name.
    QString output;
    const int status = test::runPython(
        QStringLiteral("import plistlib, sys\n"
                       "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                       "o = d['$objects']; root = o[d['$top']['root'].data]\n"
                       "print(o[root['name'].data], root['fileVersion'], root['losslessVersion'])\n"),
        readAll(copy), &output);
    if (status == -1)
        GTEST_SKIP() << "python3 is not available";
    EXPECT_EQ(output.trimmed(), QStringLiteral("Bob 7 4"));
}

TEST_F(DocumentFileTest, EditSaveUndoComparesBytes)
{
    auto document = open(path);
    renameCharacter(*document, QStringLiteral("Robert"));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(document->hasChangesSinceExplicitSave());
    DocumentError error;
    ASSERT_TRUE(document->saveToFile(path, SaveOperation::Save, &error));
    const QByteArray renamed = readAll(path);
    EXPECT_NE(renamed, original);
    EXPECT_FALSE(document->isDocumentEdited());

    document->undoManager()->undo();
    EXPECT_TRUE(document->isDocumentEdited());
    ASSERT_TRUE(document->saveToFile(path, SaveOperation::Save, &error));
    EXPECT_EQ(readAll(path), original);
    document->undoManager()->redo();
    ASSERT_TRUE(document->saveToFile(path, SaveOperation::Save, &error));
    EXPECT_EQ(readAll(path), renamed);
}

TEST_F(DocumentFileTest, UnreadableFilesKeepTheModelAndSayWhy)
{
    struct Case {
        const char* name;
        QByteArray data;
        QString domain;
        int code;
        QString reason;
    };
    // A parts file from a newer program: the header of a file version above 7.
    auto model = test::makeCharacter(QStringLiteral("Newer"), 1, 1);
    QByteArray newer = archivedPartsFile(*model);
    const qsizetype at = newer.indexOf(QByteArray("1.0.134"));
    ASSERT_GT(at, 0);
    newer.replace(at, 7, QByteArray("9.9.999"));
    const QList<Case> cases {
        { "not an archive", QByteArray("hello, world"), DocumentError::kOSStatusDomain, -4,
            QStringLiteral("The data is corrupted.") },
        { "truncated", original.left(original.size() / 2), DocumentError::kOSStatusDomain, -4,
            QStringLiteral("The data is corrupted.") },
        { "empty", QByteArray(), DocumentError::kOSStatusDomain, -4,
            QStringLiteral("The data is corrupted.") },
    };
    auto document = open(path);
    const auto before = document->model();
    for (const Case& c : cases) {
        const QString bad = dir.filePath(QStringLiteral("bad.parts"));
        writeAll(bad, c.data);
        DocumentError error;
        EXPECT_FALSE(document->readFromFile(bad, &error)) << c.name;
        EXPECT_EQ(error.domain, c.domain) << c.name;
        EXPECT_EQ(error.code, c.code) << c.name;
        EXPECT_EQ(error.failureReason, c.reason) << c.name;
        EXPECT_EQ(document->model(), before) << c.name;
        EXPECT_EQ(document->filePath(), QFileInfo(path).absoluteFilePath()) << c.name;
        EXPECT_TRUE(document->undoManager()->isUndoRegistrationEnabled());
    }
    // A file beyond any document's size is refused before it is read (sparse: it takes no disk).
    {
        const QString huge = dir.filePath(QStringLiteral("huge.parts"));
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(ZDLDocument::kMaxFileBytes + 1));
        file.close();
        DocumentError error;
        EXPECT_FALSE(document->readFromFile(huge, &error));
        EXPECT_EQ(error.code, DocumentError::kFileReadTooLargeCode);
        EXPECT_EQ(document->model(), before);
    }
    // The imports fail the same way.
    for (const QString& extension : { kXMLCharacterExtension, kLegacyPartsExtension }) {
        const QString bad = dir.filePath(QStringLiteral("bad.") + extension);
        writeAll(bad, QByteArray("\x01\x02 not this kind"));
        DocumentError error;
        EXPECT_FALSE(document->readFromFile(bad, &error));
        EXPECT_EQ(error.failureReason, QStringLiteral("The data is corrupted.")) << extension.toStdString();
    }
}

TEST_F(DocumentFileTest, ImportsOpenUntitledAndEdited)
{
    auto document = open(test::sourcePath(QStringLiteral("tests/charmodel/data/sample.char")));
    EXPECT_TRUE(document->filePath().isEmpty());
    EXPECT_EQ(document->model()->characterName(), QStringLiteral("Pip"));
    // Its tracing image is named relative to the imported file.
    ASSERT_TRUE(document->model()->tracingImage());
    EXPECT_FALSE(document->model()->tracingImage()->pixelSize().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
    // Nothing is ever written back in the import's format.
    EXPECT_FALSE(document->autosavesInPlace());
    const QString saved = dir.filePath(QStringLiteral("Pip.parts"));
    DocumentError error;
    ASSERT_TRUE(document->saveToFile(saved, SaveOperation::SaveAs, &error));
    EXPECT_EQ(document->fileType(), kCharacterDocumentType);
    EXPECT_EQ(readPartsFile(readAll(saved))->characterName(), QStringLiteral("Pip"));
}

// Runs the save with the file-system rights of an ordinary user: root may write anywhere.
class OrdinaryUser {
public:
    OrdinaryUser()
    {
        if (geteuid() == 0)
            setfsuid(65534);
    }
    ~OrdinaryUser()
    {
        if (geteuid() == 0)
            setfsuid(0);
    }
};

TEST_F(DocumentFileTest, FailedSavesLeaveTheOldFileWholeAndTellTheUser)
{
    auto document = open(path);
    renameCharacter(*document, QStringLiteral("Changed"));

    // A folder the user may not write into.
    ASSERT_TRUE(QFile::setPermissions(dir.path(),
        QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther
            | QFileDevice::ReadGroup | QFileDevice::ExeGroup));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    DocumentError error;
    {
        OrdinaryUser user;
        EXPECT_FALSE(document->saveToFile(path, SaveOperation::Save, &error));
    }
    EXPECT_EQ(error.domain, DocumentError::kCocoaDomain);
    EXPECT_EQ(error.code, DocumentError::kFileWriteNoPermissionCode);
    EXPECT_FALSE(error.failureReason.isEmpty());
    EXPECT_EQ(readAll(path), original);
    EXPECT_TRUE(document->isDocumentEdited());
    QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A disk that fills up halfway through the write: the size limit makes the write fail as a full
    // disk does.
    {
        test::FileSizeLimit limit(original.size() / 3);
        ASSERT_TRUE(limit.ok);
        EXPECT_FALSE(document->saveToFile(path, SaveOperation::Save, &error));
    }
    EXPECT_EQ(error.code, DocumentError::kFileWriteOutOfSpaceCode);
    // In the system's words, though it cut the write short before it said why.
    EXPECT_EQ(error.failureReason.toStdString(), qt_error_string(EFBIG).toStdString());
    EXPECT_EQ(readAll(path), original);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("Bob.parts") });

    // An autosave that fails tells the user once, not at every change, and the log why.
    {
        test::FileSizeLimit limit(original.size() / 3);
        Log::Capture log;
        EXPECT_FALSE(document->autosaveNow());
        EXPECT_EQ(log.lines().value(0).toStdString(),
            QStringLiteral("Autosave of %1 failed: %2").arg(path, qt_error_string(EFBIG)).toStdString());
        renameCharacter(*document, QStringLiteral("Again"));
        EXPECT_FALSE(document->autosaveNow());
    }
    EXPECT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(document->autosaveNow());
    EXPECT_EQ(readPartsFile(readAll(path))->characterName(), QStringLiteral("Again"));
}

TEST_F(DocumentFileTest, ADocumentThatWouldNotReadBackIsNeverWritten)
{
    auto document = open(path);
    // Groups nested deeper than a reader takes: a group and its list of members are two levels.
    auto holder = std::dynamic_pointer_cast<PartContainer>(document->model()->getParts().first());
    ASSERT_TRUE(holder);
    for (int i = 0; i < 1600; ++i) {
        auto group = std::make_shared<PartGroup>();
        holder->addPartElement(group);
        holder = group;
    }
    DocumentError error;
    EXPECT_FALSE(document->saveToFile(path, SaveOperation::Save, &error));
    EXPECT_EQ(error.code, DocumentError::kFileWriteUnknownCode);
    EXPECT_FALSE(error.failureReason.isEmpty());
    EXPECT_EQ(readAll(path), original);
}

TEST_F(DocumentFileTest, AutosaveWritesInPlaceAndRevertReturnsToTheExplicitSave)
{
    ZDLDocument::setAutosaveDelayMs(0);
    auto document = open(path);
    renameCharacter(*document, QStringLiteral("Autosaved"));
    // The autosave runs a moment after the change.
    test::endEventPass([&] { return !document->isDocumentEdited(); });
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(readPartsFile(readAll(path))->characterName(), QStringLiteral("Autosaved"));
    // The revert point stays the file as opened.
    EXPECT_TRUE(document->hasChangesSinceExplicitSave());

    DocumentError error;
    ASSERT_TRUE(document->revertToSaved(&error));
    EXPECT_EQ(document->model()->characterName(), QStringLiteral("Bob"));
    EXPECT_EQ(document->model()->document(), document.get());
    EXPECT_EQ(readAll(path), original);
    EXPECT_FALSE(document->hasChangesSinceExplicitSave());
    EXPECT_FALSE(document->undoManager()->canUndo());

    // After an explicit save the revert point moves.
    renameCharacter(*document, QStringLiteral("Kept"));
    ASSERT_TRUE(document->saveToFile(path, SaveOperation::Save, &error));
    renameCharacter(*document, QStringLiteral("Dropped"));
    ASSERT_TRUE(document->autosaveNow());
    ASSERT_TRUE(document->revertToSaved(&error));
    EXPECT_EQ(document->model()->characterName(), QStringLiteral("Kept"));
    EXPECT_EQ(readPartsFile(readAll(path))->characterName(), QStringLiteral("Kept"));
    ZDLDocument::setAutosaveDelayMs(10000);
}

TEST_F(DocumentFileTest, CatalogsHearOfPlainSavesAndAutosavesOnly)
{
    QStringList told;
    NotificationCenter::defaultCenter().addObserver(this, kUpdateCharacterFileNotification, nullptr,
        [&told](const Notification& n) { told.append(n.userInfo.value(kCharacterFileKey).toString()); });
    auto document = open(path);
    const QString copy = dir.filePath(QStringLiteral("other.parts"));
    const QList<std::pair<SaveOperation, bool>> table {
        { SaveOperation::Save, true },
        { SaveOperation::SaveTo, false },
        { SaveOperation::AutosaveInPlace, true },
        { SaveOperation::SaveAs, false },
    };
    for (const auto& [operation, tells] : table) {
        told.clear();
        DocumentError error;
        const bool inPlace = operation == SaveOperation::Save || operation == SaveOperation::AutosaveInPlace;
        ASSERT_TRUE(document->saveToFile(inPlace ? document->filePath() : copy, operation, &error));
        EXPECT_EQ(told.size(), tells ? 1 : 0) << int(operation);
    }
    // Save-as moved the document to the copy.
    EXPECT_EQ(document->filePath(), QFileInfo(copy).absoluteFilePath());
    NotificationCenter::defaultCenter().removeObserver(this);
}

// Holds the autosave worker before it writes, until the test lets it go or the document starts to
// wait for it; no time passes in the tests.
class WorkerGate {
public:
    WorkerGate()
    {
        ZDLDocument::setBackgroundWriteSeam({ [future = m_gate.get_future().share()] { future.wait(); },
            [this] {
                waited = true;
                release();
            } });
    }
    ~WorkerGate()
    {
        release();
        ZDLDocument::setBackgroundWriteSeam({});
    }
    void release()
    {
        if (!m_released)
            m_gate.set_value();
        m_released = true;
    }

    bool waited = false;

private:
    std::promise<void> m_gate;
    bool m_released = false;
};

QString characterNameIn(const QString& path)
{
    return readPartsFile(readAll(path))->characterName();
}

TEST_F(DocumentFileTest, AnEditDuringABackgroundAutosaveStaysEditedAndIsWrittenNextTime)
{
    auto document = open(path);
    {
        WorkerGate gate;
        renameCharacter(*document, QStringLiteral("Written"));
        document->autosaveInBackground();
        ASSERT_TRUE(document->isWritingInBackground());
        renameCharacter(*document, QStringLiteral("Later"));
        document->updateChangeCount();
        gate.release();
        test::endEventPass([&] { return !document->isWritingInBackground(); });
    }
    EXPECT_EQ(characterNameIn(path), QStringLiteral("Written"));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(DeferredCalls::isPending(document.get(), QStringLiteral("autosave")));
    document->autosaveInBackground();
    EXPECT_TRUE(document->finishBackgroundWrite());
    EXPECT_EQ(characterNameIn(path), QStringLiteral("Later"));
    EXPECT_FALSE(document->isDocumentEdited());
    // The state written is the clean one: undoing the last change is an edit again.
    document->undoManager()->undo();
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(host.errors.isEmpty());
}

TEST_F(DocumentFileTest, SavesRevertsAndClosesWaitForTheBackgroundAutosave)
{
    struct Case {
        const char* name;
        std::function<void(CharacterDocument&)> act;
        QString onDisk;
    };
    const QList<Case> table {
        { "save",
            [](CharacterDocument& document) {
                renameCharacter(document, QStringLiteral("Saved"));
                DocumentError error;
                EXPECT_TRUE(document.saveToFile(document.filePath(), SaveOperation::Save, &error));
            },
            QStringLiteral("Saved") },
        { "revert",
            [](CharacterDocument& document) {
                DocumentError error;
                EXPECT_TRUE(document.revertToSaved(&error));
            },
            QStringLiteral("Bob") },
        { "close", [](CharacterDocument& document) { document.close(); }, QStringLiteral("Autosaved") },
        { "quit", [](CharacterDocument& document) { EXPECT_TRUE(document.autosaveNow()); },
            QStringLiteral("Autosaved") },
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.name);
        writeAll(path, original);
        auto document = open(path);
        WorkerGate gate;
        renameCharacter(*document, QStringLiteral("Autosaved"));
        document->autosaveInBackground();
        ASSERT_TRUE(document->isWritingInBackground());
        c.act(*document);
        EXPECT_TRUE(gate.waited);
        EXPECT_FALSE(document->isWritingInBackground());
        EXPECT_EQ(characterNameIn(path), c.onDisk);
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("Bob.parts") });
    }
    EXPECT_TRUE(host.errors.isEmpty());
}

TEST_F(DocumentFileTest, AFailedBackgroundAutosaveTellsTheUserOnce)
{
    auto document = open(path);
    {
        test::FileSizeLimit limit(original.size() / 3);
        ASSERT_TRUE(limit.ok);
        for (const QString& name : { QStringLiteral("One"), QStringLiteral("Two") }) {
            renameCharacter(*document, name);
            document->autosaveInBackground();
            test::endEventPass([&] { return !document->isWritingInBackground(); });
        }
    }
    EXPECT_EQ(host.errors.size(), 1);
    EXPECT_EQ(host.errors.value(0).code, DocumentError::kFileWriteOutOfSpaceCode);
    EXPECT_EQ(readAll(path), original);
    EXPECT_TRUE(document->isDocumentEdited());
    document->autosaveInBackground();
    EXPECT_TRUE(document->finishBackgroundWrite());
    EXPECT_EQ(characterNameIn(path), QStringLiteral("Two"));
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST(ExportNamesTest, ExportsProposeTheDocumentsNameWithWhatIsExported)
{
    using Kind = ZDLDocument::ExportKind;
    CharacterDocument untitled;
    CharacterDocument saved;
    saved.setFilePath(QStringLiteral("/tmp/Story.v2.parts"));
    // Untitled, a character is called as a save would call its file; a duplicate, or a character
    // without a name, as its window.
    untitled.model()->setCharacterName(QString());
    CharacterDocument named;
    named.model()->setCharacterName(QStringLiteral("Bo/xy"));
    CharacterDocument copy;
    copy.model()->setCharacterName(QStringLiteral("Pip"));
    copy.setCopyName(QStringLiteral("Pip copy"));
    struct Case {
        const ZDLDocument* document;
        Kind kind;
        QString extension;
        QString name;
    };
    const QList<Case> cases {
        { &saved, Kind::Comic, QStringLiteral("pdf"), QStringLiteral("Story.v2.pdf") },
        { &saved, Kind::Selection, QStringLiteral("png"), QStringLiteral("Story.v2 selection.png") },
        { &saved, Kind::Selection, QStringLiteral(".png"), QStringLiteral("Story.v2 selection.png") },
        // Pages and panels are the comic document's to name.
        { &saved, Kind::Page, QStringLiteral("jpg"), QStringLiteral("Story.v2.jpg") },
        { &untitled, Kind::Selection, QStringLiteral("jpg"), QStringLiteral("Untitled selection.jpg") },
        { &named, Kind::Comic, QStringLiteral("png"), QStringLiteral("Bo-xy.png") },
        { &copy, Kind::Selection, QStringLiteral("pdf"), QStringLiteral("Pip copy selection.pdf") },
    };
    for (const Case& each : cases)
        EXPECT_EQ(each.document->documentNameWithQualifier(each.kind, each.extension), each.name);
    EXPECT_EQ(untitled.documentNameWithExtension(QStringLiteral("eps")), QStringLiteral("Untitled.eps"));
}

} // namespace
} // namespace zandrel
