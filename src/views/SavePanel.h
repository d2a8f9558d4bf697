#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zandrel {

// The save panel of exports: a file dialog over the window that allows the one extension and
// proposes a name, run window-modal; done gets the chosen path, never called when the user
// cancels. It opens beside the file at besidePath (the document's, or an export just written), or
// where the file dialogs open for a document without file. Tests install a chooser that answers at
// once.
namespace SavePanel {

using Done = std::function<void(const QString& path)>;
// Answers the path chosen (empty to cancel) for the window, the extension and the proposed name.
using Chooser
    = std::function<QString(QWidget* window, const QString& extension, const QString& proposedName)>;

// The title tells the panels of one export apart (the PNG's second file at twice the size).
void run(QWidget* window, const QString& title, const QString& besidePath, const QString& extension,
    const QString& proposedName, Done done);
// An empty chooser puts the file dialog back.
void setChooser(Chooser chooser);

} // namespace SavePanel

} // namespace zandrel
