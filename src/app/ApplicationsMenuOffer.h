#pragma once

#include <QString>
#include <QStringList>

namespace zandrel {

// Set once the user asked never to be offered the applications menu again.
inline const QString kMoveToApplicationsFolderAlertSuppressKey
    = QStringLiteral("moveToApplicationsFolderAlertSuppress");

// Where the running program and the desktop's data folders are: what the offer looks at and where
// the installation writes.
struct DesktopPlaces {
    // The running program, links resolved.
    QString executable;
    // $XDG_DATA_HOME, else ~/.local/share: the user's own data, where the installation writes.
    QString dataHome;
    // $XDG_DATA_DIRS, else /usr/local/share and /usr/share: the system's, read only.
    QStringList dataDirs;
    // $PATH: where an entry that names the program without a folder finds it.
    QStringList searchPath;

    static DesktopPlaces current();
};

// The program in the desktop's applications menu: its desktop entry (which also makes it the handler
// of "zdltp" links and of comic and parts files), its icon and its file types, installed for the
// user as `make install-desktop` installs them.
namespace ApplicationsMenu {

inline const QString kDesktopId = QStringLiteral("org.zandrel.Zandrel");

// The entry the desktop would use (the user's before the system's), or "" when there is none.
QString entryInUse(const DesktopPlaces& places);
// True when that entry starts this very program.
bool startsThisProgram(const DesktopPlaces& places);
// The program that an entry's text starts, as its Exec line names it; "" when it names none.
QString programOfEntry(const QString& entryText);
// The Exec value that starts the program with the files or links given.
QString execLine(const QString& executable);
// Writes the entry, the file types and the icons into the data home and tells the desktop's tools.
// An entry of the user's that starts another program goes to the Trash first. False, with the
// reason, when a file could not be written; what was written by then is taken away again.
bool install(const DesktopPlaces& places, QString* error);

} // namespace ApplicationsMenu

// The text in single quotes for a shell, each single quote inside written as '\''.
QString quoteForShell(const QString& text);
// Moves the file or folder to the desktop's Trash; a failure is logged.
bool moveItemToTrash(const QString& path);
// Removes the file or folder; failing that, logs it and tries the Trash.
bool deletePathOrWarn(const QString& path);

// At start-up, before any document opens, once per launch: when the desktop's applications menu
// would not start this very program (it was started from a build or an unpacked folder), offers to
// add it there, with a check box to stop asking for good. Never without a display (the offscreen
// and minimal platforms the tests use), nor once the user asked not to be asked again.
void offerMoveToApplicationsFolder();
// The offer itself, for the places given: the question, the installation, and the alert when it
// fails.
void offerToAddToApplicationsMenu(const DesktopPlaces& places);

} // namespace zandrel
