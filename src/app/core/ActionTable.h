#pragma once

#include "app/core/Responder.h"

#include <QHash>
#include <initializer_list>
#include <optional>

namespace zandrel {

// How one responder answers one action: when the item is offered and what choosing it does. What a
// rule leaves out passes on, to the responder's base class and then along the chain.
template <class R> struct ActionRule {
    QString action;
    // Fills in the item's enabled state, check state and title for menus and the contextual menu.
    void (*validate)(R&, MenuItemValidation&) = nullptr;
    // True when performed; false ends the chain without performing (the program beeps). The sender
    // carries the action's name.
    bool (*perform)(R&, const ActionSender&) = nullptr;
    // Toolbar items follow a rule of their own; without one they pass on.
    void (*validateToolbarItem)(R&, MenuItemValidation&) = nullptr;
    // The rule holds only while this says so; otherwise the action passes on as if unknown here.
    bool (*applies)(R&) = nullptr;
};

// Whether a responder's toolbar items follow its menu rules where a rule has no toolbar rule of its
// own (documents and controllers), or pass on (views, whose toolbar items are off but their own).
enum class ToolbarItems { PassOn, LikeMenuItems };

// A responder's actions, each described once, found by name.
template <class R> class ActionTable {
public:
    ActionTable(std::initializer_list<ActionRule<R>> rules, ToolbarItems toolbarItems = ToolbarItems::PassOn)
        : m_toolbarItems(toolbarItems)
    {
        for (const ActionRule<R>& rule : rules) {
            Q_ASSERT(!m_rules.contains(rule.action));
            m_rules.insert(rule.action, rule);
        }
    }

    // True when the responder answered the item (validation filled in); false passes it on.
    bool validate(R& responder, MenuItemValidation& item) const
    {
        const ActionRule<R>* rule = find(responder, item.action);
        if (!rule)
            return false;
        auto check = item.isToolbarItem ? rule->validateToolbarItem : rule->validate;
        if (!check && item.isToolbarItem && m_toolbarItems == ToolbarItems::LikeMenuItems)
            check = rule->validate;
        if (!check)
            return false;
        check(responder, item);
        return true;
    }

    // What performing said when the responder answers the action; nothing when it passes on.
    std::optional<bool> perform(R& responder, const QString& action, const ActionSender& sender) const
    {
        const ActionRule<R>* rule = find(responder, action);
        if (!rule || !rule->perform)
            return std::nullopt;
        ActionSender named = sender;
        named.action = action;
        return rule->perform(responder, named);
    }

private:
    const ActionRule<R>* find(R& responder, const QString& action) const
    {
        const auto found = m_rules.constFind(action);
        if (found == m_rules.cend() || (found->applies && !found->applies(responder)))
            return nullptr;
        return &*found;
    }

    QHash<QString, ActionRule<R>> m_rules;
    ToolbarItems m_toolbarItems;
};

// A rule's perform that runs a command of the responder taking nothing.
template <auto Command, class R> bool runs(R& responder, const ActionSender&)
{
    (responder.*Command)();
    return true;
}

// The rule of an item that is always offered.
template <class R> void alwaysEnabled(R&, MenuItemValidation& item)
{
    item.enabled = true;
}

// The rule of an item that is never offered where this responder answers it.
template <class R> void neverEnabled(R&, MenuItemValidation& item)
{
    item.enabled = false;
}

} // namespace zandrel
