#pragma once

#include <QString>
#include <QVariant>

namespace zandrel {

// Each responder's actions described once (app/core/ActionTable.h).
template <class R> class ActionTable;

// What validation may say of a menu item or toolbar item before it is shown or triggered: whether it
// is enabled, its check state and its title. The item's action and tag are given; the rest starts
// from the item's current look and a responder changes what it knows.
struct MenuItemValidation {
    enum class State { Off, On, Mixed };

    QString action;
    int tag = 0;
    QString title;
    bool enabled = true;
    State state = State::Off;
    // Toolbar items are validated with their own rule in the views: only help stays enabled.
    bool isToolbarItem = false;
};

// Who sent an action: the item's tag and title (after validation retitled it), so that commands that
// name their undo step after the menu item can do so.
struct ActionSender {
    int tag = 0;
    QString title;
    QVariant value;
    // The action sent, for commands that several actions share.
    QString action;
};

// A link in the chain that actions addressed to "whoever is first" travel along: the focused view,
// its ancestors, the window's document, then the application controller. Each responder performs
// and validates the actions it knows and leaves the others to the next one.
class Responder {
public:
    virtual ~Responder() = default;

    // True when the responder performed the action; false passes it on.
    virtual bool tryToPerform(const QString& action, const ActionSender& sender) { return false; }
    // True when the responder knows the action; it has then filled in the validation.
    virtual bool validateMenuItem(MenuItemValidation& item) { return false; }
};

} // namespace zandrel
