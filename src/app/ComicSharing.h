#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>

class QMenu;
class QWidget;

namespace zandrel {

class ComicDocument;
class ComicModel;

// Handing a comic to other programs. The desktop has no common share sheet, so the Share button
// offers what works everywhere: the rendered comic copied to the clipboard (with its description as
// text), saved as a PNG file, attached to a new mail through the desktop's mail helper (when it is
// installed), and the comic's own file shown in the file manager (once it has one).
namespace ComicSharing {

// The comic's current page at scale 1 for export (no selection, no current-panel frame), on white.
QImage renderComic(ComicModel& model);
// The comic's description, or the user's default one when it has none.
QString sharedDescription(const ComicModel& model);

// The share menu of the comic in the window; its items act when chosen.
QMenu* makeShareMenu(ComicDocument& document, QWidget* window);
// Ends balloon text editing, then shows the share menu below the window's Share button.
void showServicePicker(ComicDocument& document, QWidget* window);

// How the menu is shown; the default pops it up at the point. Tests choose an item instead.
using MenuRunner = std::function<void(QMenu& menu, const QPoint& globalPoint)>;
void setMenuRunner(MenuRunner runner);
// Where "Save Image…" writes: asked of the user, answered later; an empty path cancels.
using SavePathChooser = std::function<void(
    QWidget* parent, const QString& suggestedName, std::function<void(const QString& path)> completion)>;
void setSavePathChooser(SavePathChooser chooser);
// Starts a helper program detached; false when it could not start. Tests record the call.
using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
void setProgramStarter(ProgramStarter starter);
// The desktop's mail helper ("xdg-email" on the path), empty when there is none.
QString mailHelper();
// Tests stand in a helper path (empty: look on the path again).
void setMailHelper(const QString& path);

// Makes the comic documents' "share:" show the share menu.
void install();

} // namespace ComicSharing

} // namespace zandrel
