#pragma once

#include "app/core/Responder.h"

#include <QKeySequence>
#include <QList>
#include <QString>

class QAction;
class QMenu;
class QObject;
class QWidget;

namespace zandrel {

// Menu and toolbar items that send an action by name along the responder chain of the window they
// are triggered in. Validation runs when a menu is about to show and again when an item is
// triggered, so a shortcut never runs an action its responder would refuse.
namespace MenuActions {

// An item sending the action, with its tag; appended to the menu when one is given.
QAction* make(QObject* owner, const QString& title, const QString& action, int tag = 0,
    const QKeySequence& shortcut = QKeySequence());
QAction* add(QMenu* menu, const QString& title, const QString& action, int tag = 0,
    const QKeySequence& shortcut = QKeySequence());

// The title of an item that shows a name the user or the network gave (a file, a product, a
// character, a colour): on one line, shortened in the middle where it would make the menu wider
// than a name needs to be told apart, and with its ampersands shown as they are instead of being
// taken for keyboard accelerators.
QString titleForName(const QString& name);

// Toolbar items are validated with the toolbar's rule: a view enables only its help item.
void markAsToolbarItem(QAction* item);

QString actionOf(const QAction* item);
int tagOf(const QAction* item);

// The chain for a window: its focused widget and that widget's ancestors, then whatever the window
// adds (its document), then the application controller.
QList<Responder*> responderChain(QWidget* window);

// Asks the chain about the item and shows the answer: enabled, check state (a mixed state shows a
// dash before the title) and title. False when no responder knows the item's action.
bool validate(QAction* item, const QList<Responder*>& chain);
// Validates every item of the menu and its submenus against the chain of the window.
void validateMenu(QMenu* menu, QWidget* window);
// The window whose chain the items of a menu without an owning window (the contextual menu every
// view shares) are sent along; otherwise the active window's.
void setWindowOfMenu(QMenu* menu, QWidget* window);
// Before a contextual menu opens: items nobody answers, or whose responder disables them, are hidden;
// so are submenus left with nothing to show, and separators with nothing shown before them or
// nothing after. True when some item is shown.
bool validateAndHideContextMenuItems(QMenu* menu, QWidget* window);
// Validates again and, when the item is enabled, sends its action along the chain. False when nobody
// performed it (the program beeps).
bool send(QAction* item, QWidget* window);

} // namespace MenuActions

// A window that adds responders of its own after the focused widget's ancestors (its document).
class ResponderWindow {
public:
    virtual ~ResponderWindow() = default;
    virtual QList<Responder*> windowResponders() const = 0;
};

} // namespace zandrel
