// Files the user may not change where they are (the built-in catalog, a read-only folder) open in
// real windows marked read only: the first change offers a duplicate, and neither the autosave nor
// the close ever writes there.
#include "WindowTestSupport.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

namespace zandrel {
namespace {

// Every file of the folder with its bytes.
QMap<QString, QByteArray> folderContents(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        QFile file(QDir(folder).filePath(name));
        contents.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return contents;
}

// The geometry each document window has as it is shown: where a window manager maps it.
class ShownPlaces : public QObject {
public:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<DocumentWindow*>(object))
            places.append(static_cast<QWidget*>(object)->geometry());
        return false;
    }
    QList<QRect> places;
};

class ReadOnlyDocumentTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(folder.isValid() && elsewhere.isValid());
        ZDLDocument::setAutosaveDelayMs(0);
    }
    void TearDown() override
    {
        ZDLDocument::setAutosaveDelayMs(10000);
        QFile::setPermissions(
            folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        WindowTest::TearDown();
    }

    DocumentWindow* open(const QString& path)
    {
        DocumentError error;
        ZDLDocument* document = documents().openDocument(path, &error);
        EXPECT_TRUE(document) << error.failureReason.toStdString();
        return document ? documents().windowFor(document) : nullptr;
    }
    static void rename(DocumentWindow* window, const QString& name)
    {
        auto* document = dynamic_cast<CharacterDocument*>(window->document());
        document->undoableSetPropertyFor(document->model(), CharacterModel::kCharacterNameKey, Value(name));
        // The question comes once the event is over; an autosave would come as soon.
        QTest::qWait(20);
    }
    static QString nameIn(ZDLDocument* document)
    {
        return dynamic_cast<CharacterDocument*>(document)->model()->characterName();
    }

    QTemporaryDir folder;
    QTemporaryDir elsewhere;
};

TEST_F(ReadOnlyDocumentTest, TheBuiltInCatalogOfTheBuildIsReadOnly)
{
    controller->setBuiltInCatalogFolder(QStringLiteral(ZANDREL_BUILT_IN_CATALOG));
    const QStringList files
        = QDir(QStringLiteral(ZANDREL_BUILT_IN_CATALOG)).entryList({ QStringLiteral("*.parts") });
    ASSERT_FALSE(files.isEmpty());
    const QString file = QDir(QStringLiteral(ZANDREL_BUILT_IN_CATALOG)).filePath(files.first());
    EXPECT_FALSE(ZDLDocument::mayWriteFile(file));
    DocumentWindow* window = open(file);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->document()->isLocked());
    EXPECT_FALSE(window->document()->autosavesInPlace());
    EXPECT_EQ(window->windowTitle(), files.first() + QStringLiteral(" [Read Only][*]"));
}

TEST_F(ReadOnlyDocumentTest, AChangedCatalogCharacterGoesOnInADuplicateAndTheCatalogStaysAsItWas)
{
    // A copy of the built-in catalog, where the program looks for it.
    for (const QString& name : QDir(QStringLiteral(ZANDREL_BUILT_IN_CATALOG)).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(
            QDir(QStringLiteral(ZANDREL_BUILT_IN_CATALOG)).filePath(name), folder.filePath(name)));
    controller->setBuiltInCatalogFolder(folder.path());
    const QMap<QString, QByteArray> before = folderContents(folder.path());
    const QString file
        = folder.filePath(QDir(folder.path()).entryList({ QStringLiteral("*.parts") }).first());
    DocumentWindow* window = open(file);
    ASSERT_TRUE(window);
    const QString name = nameIn(window->document());

    answers = { ModalAlert::kFirstButton };
    rename(window, QStringLiteral("Changed"));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message,
        QStringLiteral("The file “%1” is read only.").arg(QFileInfo(file).fileName()));
    EXPECT_EQ(
        alerts.first().buttons, (QStringList { QStringLiteral("Duplicate"), QStringLiteral("Cancel") }));
    ASSERT_EQ(documents().documents().size(), 2);
    ZDLDocument* copy = documents().documents().last();
    EXPECT_EQ(nameIn(copy), QStringLiteral("Changed"));
    EXPECT_TRUE(copy->filePath().isEmpty());
    EXPECT_TRUE(copy->isDocumentEdited());
    EXPECT_EQ(copy->displayName(), QFileInfo(file).completeBaseName() + QStringLiteral(" copy"));
    // The catalog's own document shows the file again and has nothing to write.
    EXPECT_EQ(nameIn(window->document()), name);
    EXPECT_FALSE(window->isWindowModified());

    // Closing asks nothing, and nothing was written into the catalog at any point.
    QPointer<DocumentWindow> closing(window);
    window->close();
    QApplication::processEvents();
    EXPECT_TRUE(closing.isNull());
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_EQ(folderContents(folder.path()), before);
}

TEST_F(ReadOnlyDocumentTest, AFileInAReadOnlyFolderIsPutBackOnCancelAndSavedOnlyElsewhere)
{
    const QString file = folder.filePath(QStringLiteral("Bob.parts"));
    const QByteArray original = archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob"), 2, 1));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(original);
    out.close();
    // No write permission for anyone: the file stays as it is, even for an administrator.
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    DocumentWindow* window = open(file);
    ASSERT_TRUE(window);
    ASSERT_TRUE(window->document()->isLocked());

    answers = { ModalAlert::kSecondButton };
    rename(window, QStringLiteral("Changed"));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(documents().documents().size(), 1);
    EXPECT_EQ(nameIn(window->document()), QStringLiteral("Bob"));
    EXPECT_FALSE(window->isWindowModified());

    // Saving asks where; the read-only folder refuses, another folder takes the file.
    const QString refused = folder.filePath(QStringLiteral("Again.parts"));
    const QString saved = elsewhere.filePath(QStringLiteral("Bob.parts"));
    QStringList chosen { refused, saved };
    DocumentWindow::setSavePathChooser(
        [&chosen](DocumentWindow&, const QString&) { return chosen.takeFirst(); });
    alerts.clear();
    answers.clear();
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+S")));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("The document “Bob.parts” could not be saved."));
    EXPECT_FALSE(QFile::exists(refused));
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(window->document()->filePath(), QFileInfo(saved).absoluteFilePath());
    EXPECT_FALSE(window->document()->isLocked());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Bob.parts[*]"));
    QFile kept(file);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), original);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList { QStringLiteral("Bob.parts") });
}

TEST_F(ReadOnlyDocumentTest, OpeningAFileReplacesTheUntouchedUntitledComicOnly)
{
    const QString file = elsewhere.filePath(QStringLiteral("Bob.parts"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob"), 2, 1)));
    out.close();

    QPointer<DocumentWindow> untitled
        = documents().windowFor(documents().makeUntitledDocument(kComicDocumentType));
    untitled->setGeometry(40, 30, 900, 640);
    const QRect place = untitled->geometry();
    const QRect frame = untitled->frameGeometry();
    ShownPlaces shown;
    qApp->installEventFilter(&shown);
    DocumentWindow* window = open(file);
    qApp->removeEventFilter(&shown);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(untitled.isNull());
    EXPECT_EQ(documents().documents(), QList<ZDLDocument*> { window->document() });
    // In its place from the start, never moved there once shown.
    EXPECT_EQ(shown.places, QList<QRect> { place });
    EXPECT_EQ(window->geometry(), place);
    EXPECT_EQ(window->frameGeometry(), frame);

    // An untitled document with a change, or beside others, stays.
    window->close();
    QApplication::processEvents();
    auto* touched
        = dynamic_cast<CharacterDocument*>(documents().makeUntitledDocument(kCharacterDocumentType));
    touched->undoableSetPropertyFor(
        touched->model(), CharacterModel::kCharacterNameKey, Value(QStringLiteral("Ann")));
    ASSERT_TRUE(open(file));
    EXPECT_EQ(documents().documents().size(), 2);
}

} // namespace
} // namespace zandrel
