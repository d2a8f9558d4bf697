#include "app/DocumentToolbar.h"

#include "app/DocumentWindow.h"
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "platform/Localization.h"
#include "views/ZDLView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QToolBar>
#include <QWidgetAction>

namespace zandrel {

namespace {

// The background styles the popup offers, by their numbers.
struct BackgroundChoice {
    const char* title;
    int style;
};
constexpr BackgroundChoice kBackgroundChoices[] = { { "Plain", 0 }, { "Checkerboard", 1 }, { "Context", 2 } };

// Fires a toolbar item as its button is pressed, and keeps the button down while the menu the item
// opened is up; the release then finds the button up and does not fire it again.
class PressTrigger : public QObject {
public:
    PressTrigger(QAction* item, QAbstractButton* button)
        : QObject(button)
        , m_item(item)
        , m_button(button)
    {
        button->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool press
            = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
        if (watched != m_button || !press || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        if (!m_item->isEnabled())
            return true;
        m_item->trigger();
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            m_button->setDown(true);
            QAbstractButton* button = m_button;
            connect(
                menu, &QMenu::aboutToHide, button, [button] { button->setDown(false); },
                Qt::SingleShotConnection);
        }
        return true;
    }

private:
    QAction* m_item;
    QAbstractButton* m_button;
};

} // namespace

DocumentToolbar::DocumentToolbar(DocumentWindow& window, QToolBar* toolbar)
    : QObject(toolbar)
    , m_window(window)
    , m_toolbar(toolbar)
{
    m_scalePopup = new QComboBox(toolbar);
    m_scalePopup->setObjectName(QStringLiteral("scalePopup"));
    m_scalePopup->setFocusPolicy(Qt::NoFocus);
    for (float scale : ZDLView::kViewScaleTable)
        m_scalePopup->addItem(ZDLView::scaleTitle(scale));
    m_scaleMenu = new QMenu(localized("Scale"), toolbar);
    m_scaleMenu->setObjectName(QStringLiteral("scaleMenu"));
    ZDLView::addScaleMenuItemsTo(m_scaleMenu, kSetViewScaleFromPopupAction);
    connect(m_scalePopup, &QComboBox::activated, this, &DocumentToolbar::chooseScale);

    m_backgroundStylePopup = new QComboBox(toolbar);
    m_backgroundStylePopup->setObjectName(QStringLiteral("backgroundStylePopup"));
    m_backgroundStylePopup->setFocusPolicy(Qt::NoFocus);
    for (const BackgroundChoice& choice : kBackgroundChoices)
        m_backgroundStylePopup->addItem(localized(choice.title), choice.style);
    connect(m_backgroundStylePopup, &QComboBox::activated, this, &DocumentToolbar::chooseBackground);
}

QAction* DocumentToolbar::toolbarItemWithIdentifier(const QString& identifier, const QString& label,
    const QString& paletteLabel, const QString& toolTip, const ItemContent& content, const QString& action,
    QMenu* menu)
{
    QAction* item = nullptr;
    if (const auto* image = std::get_if<QString>(&content)) {
        item = MenuActions::make(m_toolbar, label, action);
        item->setIcon(QIcon(QStringLiteral(":/images/%1.png").arg(*image)));
    } else {
        auto* control = new QWidgetAction(m_toolbar);
        control->setDefaultWidget(std::get<QWidget*>(content));
        control->setText(label);
        item = control;
    }
    MenuActions::markAsToolbarItem(item);
    item->setObjectName(identifier);
    item->setToolTip(toolTip);
    item->setIconText(label);
    item->setWhatsThis(paletteLabel);
    if (menu)
        item->setMenu(menu);
    return item;
}

QAction* DocumentToolbar::itemForItemIdentifier(const QString& identifier)
{
    if (identifier == kNewPartItem)
        return toolbarItemWithIdentifier(identifier, localized("New Part"), localized("Create New Part"),
            localized("Create a new part"), QStringLiteral("toolbar_NewPart"), kCreateNewPartAction);
    if (identifier == kCharColorsItem)
        return toolbarItemWithIdentifier(identifier, localized("Colors"), localized("Edit Document Colors"),
            localized("Edit the comic's character color sets"), QStringLiteral("toolbar_EditColors"),
            kEditCharacterColorsAction);
    if (identifier == kEditItem)
        return toolbarItemWithIdentifier(identifier, localized("Edit"), localized("Edit Selected Object"),
            localized("Edit the selected object"), QStringLiteral("toolbar_Edit"), kEditObjectAction);
    if (identifier == kFlipItem)
        return toolbarItemWithIdentifier(identifier, localized("Flip"), localized("Flip Horizontal"),
            localized("Flip object horizontally"), QStringLiteral("toolbar_Flip"), kFlipHorizontalAction);
    if (identifier == kVFlipItem)
        return toolbarItemWithIdentifier(identifier, localized("V. Flip"), localized("Flip Vertical"),
            localized("Flip object vertically"), QStringLiteral("toolbar_VFlip"), kFlipVerticalAction);
    if (identifier == kHelpItem)
        return toolbarItemWithIdentifier(identifier, localized("Help"), localized("Help"),
            localized("Get help for current view"), QStringLiteral("toolbar_help"), kShowPanelHelpAction);
    if (identifier == kViewScaleItem)
        return toolbarItemWithIdentifier(identifier, localized("Scale"), localized("View Scale"),
            localized("Change the view scale"), m_scalePopup, QString(), m_scaleMenu);
    if (identifier == kBackgroundItem) {
        auto* menu = new QMenu(localized("Background"), m_toolbar);
        for (const BackgroundChoice& choice : kBackgroundChoices)
            MenuActions::add(menu, localized(choice.title), kSetBackgroundAction, choice.style);
        return toolbarItemWithIdentifier(identifier, localized("Background"), localized("Editing Background"),
            localized("Change the editing background"), m_backgroundStylePopup, QString(), menu);
    }
    return nullptr;
}

void DocumentToolbar::build(const QStringList& identifiers, const QHash<QString, QAction*>& ownItems)
{
    for (const QString& identifier : identifiers) {
        if (identifier == kFlexibleSpaceItem) {
            auto* space = new QWidget(m_toolbar);
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            m_toolbar->addWidget(space);
            continue;
        }
        QAction* item = ownItems.value(identifier);
        if (!item)
            item = itemForItemIdentifier(identifier);
        if (item)
            m_toolbar->addAction(item);
    }
}

void DocumentToolbar::opensMenuOnPress(QAction* item)
{
    if (auto* button = qobject_cast<QAbstractButton*>(m_toolbar->widgetForAction(item)))
        new PressTrigger(item, button);
}

void DocumentToolbar::setScalePopupValue(float scale)
{
    if (m_scalePopup->count() < 3)
        return;
    if (m_scalePopupShowsCustomSize) {
        m_scalePopupShowsCustomSize = false;
        m_scalePopup->removeItem(1);
        m_scalePopup->removeItem(0);
        const QList<QAction*> items = m_scaleMenu->actions();
        for (qsizetype index = 0; index < 2 && index < items.size(); ++index) {
            m_scaleMenu->removeAction(items.at(index));
            delete items.at(index);
        }
    }
    const QString title = ZDLView::scaleTitle(scale);
    int index = m_scalePopup->findText(title);
    if (index < 0) {
        m_scalePopupShowsCustomSize = true;
        m_scalePopup->insertItem(0, title);
        m_scalePopup->insertSeparator(1);
        QAction* first = m_scaleMenu->actions().value(0);
        QAction* custom = MenuActions::make(m_scaleMenu, title, kSetViewScaleFromPopupAction);
        m_scaleMenu->insertAction(first, custom);
        m_scaleMenu->insertSeparator(first);
        index = 0;
    }
    m_scalePopup->setCurrentIndex(index);
    const QList<QAction*> items = m_scaleMenu->actions();
    for (qsizetype position = 0; position < items.size(); ++position) {
        if (items.at(position)->isSeparator())
            continue;
        items.at(position)->setCheckable(true);
        items.at(position)->setChecked(position == index);
    }
}

void DocumentToolbar::showBackgroundStyle(int style)
{
    const int index = m_backgroundStylePopup->findData(style);
    if (index >= 0)
        m_backgroundStylePopup->setCurrentIndex(index);
}

void DocumentToolbar::chooseScale(int index)
{
    // The editing view the user sees takes the choice, an editor's when one is open.
    ActionSender sender;
    sender.title = m_scalePopup->itemText(index);
    m_window.sendToVisibleEditingView(kSetViewScaleFromPopupAction, sender);
}

void DocumentToolbar::chooseBackground(int index)
{
    ActionSender sender;
    sender.tag = m_backgroundStylePopup->itemData(index).toInt();
    m_window.sendToVisibleEditingView(kSetBackgroundAction, sender);
}

} // namespace zandrel
