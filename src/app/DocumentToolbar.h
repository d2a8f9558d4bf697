#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <variant>

class QAction;
class QComboBox;
class QMenu;
class QToolBar;
class QWidget;

namespace zandrel {

class DocumentWindow;

// The toolbar of a document window: the items both document kinds share, made by one factory, the
// view-scale popup with its menu form, and the editing-background popup. The window lists the items
// its document kind shows; items send their actions along the window's responder chain and are
// validated with the toolbar's rule (a view offers only help).
class DocumentToolbar : public QObject {
    Q_OBJECT

public:
    // Item identifiers.
    static inline const QString kNewPartItem = QStringLiteral("NewPart");
    static inline const QString kCharColorsItem = QStringLiteral("CharColors");
    static inline const QString kEditItem = QStringLiteral("Edit");
    static inline const QString kFlipItem = QStringLiteral("Flip");
    static inline const QString kVFlipItem = QStringLiteral("VFlip");
    static inline const QString kHelpItem = QStringLiteral("Help");
    static inline const QString kViewScaleItem = QStringLiteral("ViewScale");
    static inline const QString kBackgroundItem = QStringLiteral("Background");
    static inline const QString kFlexibleSpaceItem = QStringLiteral("NSToolbarFlexibleSpaceItem");

    DocumentToolbar(DocumentWindow& window, QToolBar* toolbar);

    // An item showing an image of the resources (by name) or a control. With a menu, the control's
    // menu form is that menu.
    using ItemContent = std::variant<QString, QWidget*>;
    QAction* toolbarItemWithIdentifier(const QString& identifier, const QString& label,
        const QString& paletteLabel, const QString& toolTip, const ItemContent& content,
        const QString& action, QMenu* menu = nullptr);
    // The item of one of the shared identifiers; null for any other.
    QAction* itemForItemIdentifier(const QString& identifier);
    // Adds the items to the toolbar in order; an item the window made itself can be given for an
    // identifier the factory does not know.
    void build(const QStringList& identifiers, const QHash<QString, QAction*>& ownItems = {});
    // The built item's button fires on mouse-down, as a popup button opens its menu.
    void opensMenuOnPress(QAction* item);

    QComboBox* scalePopup() const { return m_scalePopup; }
    QMenu* scaleMenu() const { return m_scaleMenu; }
    QComboBox* backgroundStylePopup() const { return m_backgroundStylePopup; }
    bool scalePopupShowsCustomSize() const { return m_scalePopupShowsCustomSize; }
    // Shows the scale in the popup and checks it in the menu, with an extra first entry for a scale
    // that is not in the list.
    void setScalePopupValue(float scale);
    // The popup follows the document's background style.
    void showBackgroundStyle(int style);

private:
    void chooseScale(int index);
    void chooseBackground(int index);

    DocumentWindow& m_window;
    QToolBar* m_toolbar;
    QComboBox* m_scalePopup = nullptr;
    QMenu* m_scaleMenu = nullptr;
    QComboBox* m_backgroundStylePopup = nullptr;
    bool m_scalePopupShowsCustomSize = false;
};

} // namespace zandrel
