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

QString startingFolder(const QString& documentPath)
{
    if (!documentPath.isEmpty()) {
        const QFileInfo document(documentPath);
        if (document.absoluteDir().exists())
            return document.absolutePath();
    }
    const QString last = UserDefaults::standard().string(kLastFolderKey);
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString proposedPath(const QString& documentPath, const QString& name)
{
    return QDir(startingFolder(documentPath)).filePath(name);
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
    dialog.setDirectory(startingFolder(documentPath));
    QObject::connect(&dialog, &QFileDialog::filesSelected, &dialog,
        [](const QStringList& chosen) { remember(chosen.value(0)); });
}

} // namespace FileDialogFolder

} // namespace zandrel
