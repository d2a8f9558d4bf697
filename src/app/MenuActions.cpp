#include "app/MenuActions.h"

#include "app/AppController.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QPointer>
#include <QWidget>

namespace zandrel {

namespace {

const char* const kActionProperty = "zdlAction";
const char* const kTagProperty = "zdlTag";
const char* const kTitleProperty = "zdlTitle";
const char* const kToolbarItemProperty = "zdlToolbarItem";
const char* const kWindowProperty = "zdlWindow";
// Prefix that stands for a mixed state, which Qt's check marks cannot show.
const QString kMixedPrefix = QStringLiteral("\u2013 ");
// A name in a menu is shown within this many average characters of the menu's font.
constexpr int kMaxNameCharacters = 40;

QWidget* windowOf(const QAction* item)
{
    // A menu is a window of its own (a popup): the item belongs to the window holding the menu.
    for (QObject* owner = item->parent(); owner; owner = owner->parent()) {
        // A menu shared by every window acts in the one it was last opened in.
        if (auto* menu = qobject_cast<QMenu*>(owner)) {
            if (QWidget* opener = menu->property(kWindowProperty).value<QPointer<QWidget>>())
                return opener;
            continue;
        }
        if (auto* widget = qobject_cast<QWidget*>(owner))
            return widget->window();
    }
    return QApplication::activeWindow();
}

} // namespace

namespace MenuActions {

QAction* make(
    QObject* owner, const QString& title, const QString& action, int tag, const QKeySequence& shortcut)
{
    auto* item = new QAction(title, owner);
    item->setProperty(kActionProperty, action);
    item->setProperty(kTagProperty, tag);
    item->setProperty(kTitleProperty, title);
    if (!shortcut.isEmpty()) {
        // Option is Alt here, and Meta as well, since window managers often keep Alt for themselves.
        QList<QKeySequence> shortcuts { shortcut };
        const QKeyCombination key = shortcut[0];
        if (key.keyboardModifiers() & Qt::AltModifier)
            shortcuts.append(QKeySequence(
                QKeyCombination((key.keyboardModifiers() & ~Qt::AltModifier) | Qt::MetaModifier, key.key())));
        item->setShortcuts(shortcuts);
    }
    QObject::connect(item, &QAction::triggered, item, [item] { send(item, windowOf(item)); });
    return item;
}

QAction* add(QMenu* menu, const QString& title, const QString& action, int tag, const QKeySequence& shortcut)
{
    QAction* item = make(menu, title, action, tag, shortcut);
    menu->addAction(item);
    return item;
}

QString titleForName(const QString& name)
{
    QString line = name;
    // A tab would start the shortcut's column, a line break a second line.
    for (QChar& character : line) {
        if (character.category() == QChar::Other_Control)
            character = QLatin1Char(' ');
    }
    const QFontMetrics metrics(QApplication::font("QMenu"));
    line = metrics.elidedText(line, Qt::ElideMiddle, metrics.averageCharWidth() * kMaxNameCharacters);
    return line.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void markAsToolbarItem(QAction* item)
{
    item->setProperty(kToolbarItemProperty, true);
}

QString actionOf(const QAction* item)
{
    return item ? item->property(kActionProperty).toString() : QString();
}

int tagOf(const QAction* item)
{
    return item ? item->property(kTagProperty).toInt() : 0;
}

QList<Responder*> responderChain(QWidget* window)
{
    QList<Responder*> chain;
    const auto append = [&chain](Responder* responder) {
        if (responder && !chain.contains(responder))
            chain.append(responder);
    };
    if (window) {
        QWidget* focused = window->focusWidget();
        for (QWidget* widget = focused ? focused : window; widget; widget = widget->parentWidget())
            append(dynamic_cast<Responder*>(widget));
        append(dynamic_cast<Responder*>(window));
        if (auto* host = dynamic_cast<ResponderWindow*>(window)) {
            for (Responder* responder : host->windowResponders())
                append(responder);
        }
    }
    append(AppController::shared());
    return chain;
}

bool validate(QAction* item, const QList<Responder*>& chain)
{
    const QString action = actionOf(item);
    if (action.isEmpty())
        return false;
    MenuItemValidation validation;
    validation.action = action;
    validation.tag = tagOf(item);
    // Validation starts from the item's own title, so that a responder that retitles nothing leaves
    // the item as it was built.
    validation.title = item->property(kTitleProperty).toString();
    validation.enabled = false;
    validation.isToolbarItem = item->property(kToolbarItemProperty).toBool();
    bool known = false;
    for (Responder* responder : chain) {
        if (responder->validateMenuItem(validation)) {
            known = true;
            break;
        }
    }
    item->setEnabled(known && validation.enabled);
    const bool mixed = validation.state == MenuItemValidation::State::Mixed;
    item->setCheckable(validation.state != MenuItemValidation::State::Off || item->isCheckable());
    item->setChecked(validation.state == MenuItemValidation::State::On);
    item->setText(mixed ? kMixedPrefix + validation.title : validation.title);
    return known;
}

void validateMenu(QMenu* menu, QWidget* window)
{
    const QList<Responder*> chain = responderChain(window);
    for (QAction* item : menu->actions()) {
        if (item->menu())
            validateMenu(item->menu(), window);
        else
            validate(item, chain);
    }
}

void setWindowOfMenu(QMenu* menu, QWidget* window)
{
    menu->setProperty(kWindowProperty, QVariant::fromValue(QPointer<QWidget>(window)));
}

bool validateAndHideContextMenuItems(QMenu* menu, QWidget* window)
{
    const QList<Responder*> chain = responderChain(window);
    // Set while nothing has shown since the last separator: a separator then has nothing to separate.
    bool nothingShown = true;
    bool anyValidated = false;
    QAction* lastSeparator = nullptr;
    for (QAction* item : menu->actions()) {
        if (QMenu* submenu = item->menu()) {
            const bool shown = validateAndHideContextMenuItems(submenu, window);
            item->setVisible(shown);
            nothingShown = nothingShown && !shown;
            anyValidated = anyValidated || shown;
        } else if (item->isSeparator()) {
            if (!nothingShown)
                lastSeparator = item;
            item->setVisible(!nothingShown);
            nothingShown = true;
        } else if (!actionOf(item).isEmpty()) {
            // A hidden action is a disabled one to Qt: it is shown again before it is asked.
            item->setVisible(true);
            const bool shown = validate(item, chain) && item->isEnabled();
            item->setVisible(shown);
            nothingShown = nothingShown && !shown;
            anyValidated = anyValidated || shown;
        }
    }
    if (nothingShown && lastSeparator)
        lastSeparator->setVisible(false);
    return anyValidated;
}

bool send(QAction* item, QWidget* window)
{
    const QList<Responder*> chain = responderChain(window);
    if (!validate(item, chain) || !item->isEnabled()) {
        // Items stay enabled between validations so that their shortcuts reach us.
        item->setEnabled(true);
        QApplication::beep();
        return false;
    }
    QString title = item->text();
    if (title.startsWith(kMixedPrefix))
        title.remove(0, kMixedPrefix.size());
    const ActionSender sender { tagOf(item), title, item->data(), actionOf(item) };
    for (Responder* responder : chain) {
        if (responder->tryToPerform(actionOf(item), sender))
            return true;
    }
    QApplication::beep();
    return false;
}

} // namespace MenuActions

} // namespace zandrel
