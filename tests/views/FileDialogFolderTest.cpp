// The real file dialogs of a character window: where Save As and the exports open for a saved
// document, for a new one after the user chose a folder, and with no folder remembered at all.
#include "app/FileDialogFolder.h"

#include "CharacterWindowFixture.h"
#include "app/core/CharacterFileFormats.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTimer>

namespace zandrel::test {
namespace {

class FileDialogFolderTest : public CharacterWindowTest {
protected:
    void SetUp() override
    {
        UserDefaults::standard().remove(FileDialogFolder::kLastFolderKey);
        CharacterWindowTest::SetUp();
    }
    void TearDown() override
    {
        UserDefaults::standard().remove(FileDialogFolder::kLastFolderKey);
        CharacterWindowTest::TearDown();
    }

    // Chooses the menu item whose dialog runs modally, and answers that dialog with the file name
    // inside its folder (empty to cancel); gives the folder it opened in.
    QString modalDialogFolder(DocumentWindow* in, const QString& action, const QString& answer = QString())
    {
        QString folder;
        QTimer::singleShot(0, in, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            folder = dialog->directory().absolutePath();
            if (answer.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(QDir(folder).filePath(answer));
            static_cast<QDialog*>(dialog)->accept();
        });
        choose(action, in);
        return folder;
    }
    // Chooses an export item: its panel stays open over the window; gives its folder and closes it.
    static QString exportPanelFolder(DocumentWindow* in, const QString& action)
    {
        QAction* item = showMenuItem(in, action);
        if (!item || !item->isEnabled())
            return QStringLiteral("(not offered)");
        item->trigger();
        auto* panel = in->findChild<QFileDialog*>();
        if (!panel)
            return QStringLiteral("(no panel)");
        const QString folder = panel->directory().absolutePath();
        panel->reject();
        QApplication::processEvents();
        return folder;
    }
    static QString documentsOrHome()
    {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QDir(QFileInfo(documents).isDir() ? documents : QDir::homePath()).absolutePath();
    }
};

TEST_F(FileDialogFolderTest, DialogsOpenBesideTheDocumentOrWhereTheUserLastChose)
{
    QDir(dir.path()).mkdir(QStringLiteral("elsewhere"));
    const QString elsewhere = QDir(dir.path()).filePath(QStringLiteral("elsewhere"));

    // A saved document: beside its file, whatever the process's working folder.
    ASSERT_NE(QDir::currentPath(), dir.path());
    for (const QString& action : { kExportEPSAction, kExportJPEGAction, kExportPDFAction, kExportPNGAction })
        EXPECT_EQ(exportPanelFolder(window, action), dir.path()) << action.toStdString();
    EXPECT_EQ(modalDialogFolder(window, kSaveDocumentAsAction), dir.path());

    // Saving a copy elsewhere makes that folder the one a new document's dialogs open in.
    QTimer::singleShot(0, window, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(QDir(elsewhere).filePath(QStringLiteral("Copy.parts")));
            static_cast<QDialog*>(dialog)->accept();
        }
    });
    choose(kSaveDocumentToAction);
    ASSERT_TRUE(QFileInfo::exists(QDir(elsewhere).filePath(QStringLiteral("Copy.parts"))));
    EXPECT_EQ(UserDefaults::standard().string(FileDialogFolder::kLastFolderKey), elsewhere);

    ZDLDocument* untitled = documents().makeUntitledDocument(kCharacterDocumentType);
    DocumentWindow* fresh = untitled ? documents().windowFor(untitled) : nullptr;
    ASSERT_TRUE(fresh && QTest::qWaitForWindowExposed(fresh));
    EXPECT_EQ(modalDialogFolder(fresh, kSaveDocumentAsAction, QStringLiteral("Fresh.parts")), elsewhere);
    EXPECT_EQ(QFileInfo(untitled->filePath()).absolutePath(), elsewhere);

    // Nothing remembered that still exists: the Documents folder, or home without one.
    QDir(elsewhere).removeRecursively();
    ZDLDocument* another = documents().makeUntitledDocument(kCharacterDocumentType);
    DocumentWindow* anotherWindow = another ? documents().windowFor(another) : nullptr;
    ASSERT_TRUE(anotherWindow && QTest::qWaitForWindowExposed(anotherWindow));
    EXPECT_EQ(modalDialogFolder(anotherWindow, kSaveDocumentAsAction), documentsOrHome());
}

// The exports of a character of the built-in catalog open where files can be written: neither
// beside its file nor in the folder it was opened from, which every save passes over. Opening a
// file still starts there.
TEST_F(FileDialogFolderTest, SavesPassOverFoldersThatTakeNoFiles)
{
    const QString catalog = QDir(dir.path()).filePath(QStringLiteral("Catalog"));
    ASSERT_TRUE(QDir().mkpath(catalog));
    controller->setBuiltInCatalogFolder(catalog);
    const QString pip = QDir(catalog).filePath(QStringLiteral("Pip.parts"));
    DocumentWindow* shown = openInWindow(pip, archivedPartsFile(*makeCharacter(QStringLiteral("Pip"), 2)));
    ASSERT_TRUE(shown);
    FileDialogFolder::remember(pip);
    EXPECT_EQ(exportPanelFolder(shown, kExportPNGAction), documentsOrHome());
    EXPECT_EQ(FileDialogFolder::startingFolder(pip), catalog);
}

} // namespace
} // namespace zandrel::test
