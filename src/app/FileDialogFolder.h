#pragma once

#include <QString>

class QFileDialog;
class QWidget;

namespace zandrel {

// Where the file dialogs open: beside the document they are about once it has a file, else in the
// folder the user last chose a file in, else the user's Documents folder, else the home folder.
// Never the process's working folder, which for a program started from the desktop means nothing
// to the user. A dialog that saves passes over folders that take no new files (the built-in
// catalog, an installed or read-only folder): the write would only fail there.
namespace FileDialogFolder {

enum class Purpose { Open, Save };

// The user default that keeps the folder of the last file chosen in any file dialog.
inline const QString kLastFolderKey = QStringLiteral("lastFileDialogFolder");

// The folder a dialog for the document at documentPath (empty for a document without file) opens in.
QString startingFolder(const QString& documentPath = QString(), Purpose purpose = Purpose::Open);
// Where a dialog saving under the name opens for the document: the name inside the starting folder.
QString proposedPath(const QString& documentPath, const QString& name);
// The file of the document whose window holds the widget; empty for none or a document without file.
QString documentPathOf(const QWidget* widget);
// Remembers the folder of a file the user chose; an empty path is ignored.
void remember(const QString& chosenPath);
// Sets the dialog's folder for the document, for saving when the dialog accepts a file to save, and
// remembers the folder of what the user chooses in it. Set the accept mode first.
void setUp(QFileDialog& dialog, const QString& documentPath = QString());

} // namespace FileDialogFolder

} // namespace zandrel
