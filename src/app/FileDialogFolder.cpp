#include "app/FileDialogFolder.h"

#include "app/DocumentWindow.h"
#include "app/core/ZDLDocument.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace zandrel {

namespace FileDialogFolder {

QString startingFolder(const QString& documentPath, Purpose purpose)
{
    const auto usable = [purpose](const QString& folder) {
        return !folder.isEmpty() && QFileInfo(folder).isDir()
            && (purpose == Purpose::Open || ZDLDocument::mayWriteInFolder(folder));
    };
    if (!documentPath.isEmpty()) {
        const QString beside = QFileInfo(documentPath).absolutePath();
        if (usable(beside))
            return beside;
    }
    const QString last = UserDefaults::standard().string(kLastFolderKey);
    if (usable(last))
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (usable(documents))
        return documents;
    return QDir::homePath();
}

QString proposedPath(const QString& documentPath, const QString& name)
{
    return QDir(startingFolder(documentPath, Purpose::Save)).filePath(name);
}

QString documentPathOf(const QWidget* widget)
{
    const auto* window = widget ? qobject_cast<const DocumentWindow*>(widget->window()) : nullptr;
    return window && window->document() ? window->document()->filePath() : QString();
}

void remember(const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    const QString folder = QFileInfo(chosenPath).absolutePath();
    if (QFileInfo(folder).isDir())
        UserDefaults::standard().set(kLastFolderKey, folder);
}

void setUp(QFileDialog& dialog, const QString& documentPath)
{
    dialog.setDirectory(startingFolder(
        documentPath, dialog.acceptMode() == QFileDialog::AcceptSave ? Purpose::Save : Purpose::Open));
    QObject::connect(&dialog, &QFileDialog::filesSelected, &dialog,
        [](const QStringList& chosen) { remember(chosen.value(0)); });
}

} // namespace FileDialogFolder

} // namespace zandrel
