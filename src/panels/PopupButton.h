#pragma once

#include <QPushButton>
#include <QVariant>

class QAction;
class QMenu;

namespace zandrel {

// A button that shows one chosen item of its menu, as the sheets' popups do: items are the menu's
// actions, each with a tag, an optional represented object and a state (1 on, 0 off, -1 mixed);
// hidden items stay in the menu but are not offered. The title is the chosen item's, or any text set
// while nothing is chosen (the mixed-value display sets "Multiple"). Choosing an item from the menu
// selects it and emits activated.
class PopupButton : public QPushButton {
    Q_OBJECT

public:
    explicit PopupButton(QWidget* parent = nullptr);

    // The menu the items live in; the menus built in code fill it directly.
    QMenu* itemMenu() const { return m_menu; }
    QAction* addItem(const QString& title, int tag = 0, const QVariant& representedObject = {});
    void removeAllItems();
    // The items in menu order, separators included.
    QList<QAction*> items() const;
    QAction* itemWithTitle(const QString& title) const;
    QAction* itemWithTag(int tag) const;
    QAction* itemWithRepresentedObject(const QVariant& object) const;

    QAction* selectedItem() const { return m_selected; }
    // The selected item's tag; -1 with nothing selected.
    int selectedTag() const;
    // Null deselects; the title stays until set.
    void selectItem(QAction* item);
    // False, with nothing selected, when no visible item has the tag.
    bool selectItemWithTag(int tag);
    void deselectAll() { selectItem(nullptr); }
    QString title() const { return text(); }
    void setTitle(const QString& title) { setText(title); }
    // A pull-down keeps its own title whatever is chosen (the roundness presets).
    void setPullsDown(bool pullsDown) { m_pullsDown = pullsDown; }

    // The tag of an item: the tag of a menu action built in code, else its data as a number.
    static int tagOf(const QAction* item);
    static QVariant representedObjectOf(const QAction* item);
    static int stateOf(const QAction* item);
    static void setState(QAction* item, int state);

signals:
    // The user chose the item from the menu (it is selected already).
    void activated(QAction* item);

private:
    void showItemMenu();

    QMenu* m_menu = nullptr;
    QAction* m_selected = nullptr;
    bool m_pullsDown = false;
};

} // namespace zandrel
