#include "panels/PopupButton.h"

#include "app/MenuActions.h"

#include <QAction>
#include <QMenu>

namespace zandrel {

namespace {

const char* const kStateProperty = "zdlItemState";
const char* const kRepresentedProperty = "zdlRepresentedObject";
const char* const kPopupTagProperty = "zdlPopupTag";
// The title an item was given, before the menu's escaping and shortening.
const char* const kPopupTitleProperty = "zdlPopupTitle";

} // namespace

PopupButton::PopupButton(QWidget* parent)
    : QPushButton(parent)
    , m_menu(new QMenu(this))
{
    // Return in a sheet presses the sheet's default button even while a popup has the focus;
    // only Space and the mouse open the popup's menu.
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &PopupButton::showItemMenu);
    connect(m_menu, &QMenu::triggered, this, [this](QAction* item) {
        if (item->isSeparator() || !item->isVisible())
            return;
        selectItem(item);
        emit activated(item);
    });
}

QAction* PopupButton::addItem(const QString& title, int tag, const QVariant& representedObject)
{
    // Titles are names as often as not (characters, colours, fonts).
    QAction* item = m_menu->addAction(MenuActions::titleForName(title));
    item->setProperty(kPopupTitleProperty, title);
    item->setProperty(kPopupTagProperty, tag);
    if (representedObject.isValid())
        item->setProperty(kRepresentedProperty, representedObject);
    return item;
}

void PopupButton::removeAllItems()
{
    m_selected = nullptr;
    m_menu->clear();
    setText(QString());
}

QList<QAction*> PopupButton::items() const
{
    return m_menu->actions();
}

QAction* PopupButton::itemWithTitle(const QString& title) const
{
    for (QAction* item : items()) {
        const QVariant given = item->property(kPopupTitleProperty);
        if (!item->isSeparator() && (given.isValid() ? given.toString() : item->text()) == title)
            return item;
    }
    return nullptr;
}

QAction* PopupButton::itemWithTag(int tag) const
{
    for (QAction* item : items()) {
        if (!item->isSeparator() && item->isVisible() && tagOf(item) == tag)
            return item;
    }
    return nullptr;
}

QAction* PopupButton::itemWithRepresentedObject(const QVariant& object) const
{
    for (QAction* item : items()) {
        if (!item->isSeparator() && representedObjectOf(item) == object)
            return item;
    }
    return nullptr;
}

int PopupButton::selectedTag() const
{
    return m_selected ? tagOf(m_selected) : -1;
}

void PopupButton::selectItem(QAction* item)
{
    if (m_selected && m_selected != item && stateOf(m_selected) == 1)
        setState(m_selected, 0);
    m_selected = item;
    if (item) {
        setState(item, 1);
        if (m_pullsDown)
            return;
        setText(item->text().trimmed());
        setIcon(item->icon());
    }
}

bool PopupButton::selectItemWithTag(int tag)
{
    QAction* item = itemWithTag(tag);
    selectItem(item);
    return item != nullptr;
}

int PopupButton::tagOf(const QAction* item)
{
    if (!item)
        return 0;
    const QVariant own = item->property(kPopupTagProperty);
    if (own.isValid())
        return own.toInt();
    if (!MenuActions::actionOf(item).isEmpty() || item->property("zdlTag").isValid())
        return MenuActions::tagOf(item);
    return item->data().toInt();
}

QVariant PopupButton::representedObjectOf(const QAction* item)
{
    return item ? item->property(kRepresentedProperty) : QVariant();
}

int PopupButton::stateOf(const QAction* item)
{
    return item ? item->property(kStateProperty).toInt() : 0;
}

void PopupButton::setState(QAction* item, int state)
{
    if (!item || item->isSeparator())
        return;
    item->setProperty(kStateProperty, state);
    // Qt's check marks have no mixed state: a mixed item shows a dash before its title.
    static const QString kMixedPrefix = QStringLiteral("\u2013 ");
    QString title = item->text();
    if (title.startsWith(kMixedPrefix))
        title.remove(0, kMixedPrefix.size());
    item->setCheckable(state != 0 || item->isCheckable());
    item->setChecked(state == 1);
    item->setText(state == -1 ? kMixedPrefix + title : title);
}

void PopupButton::showItemMenu()
{
    m_menu->setMinimumWidth(width());
    m_menu->popup(mapToGlobal(QPoint(0, height())), m_selected);
}

} // namespace zandrel
