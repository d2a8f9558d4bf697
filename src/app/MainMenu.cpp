#include "app/MainMenu.h"

#include "app/AppController.h"
#include "app/DocumentController.h"
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "platform/Localization.h"
#include "views/ZDLView.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <vector>

namespace zandrel {

namespace {

// One entry of the menus: an item sending an action, a submenu, or (with no title) a separator.
struct MenuEntry {
    const char* title = nullptr;
    QString action {};
    int tag = 0;
    // Command stands for Ctrl and Option for Alt on this platform; Qt's Ctrl is the Control key here.
    // A single key with Alt works with Meta as well; several keys are exactly those.
    QStringList keys {};
    bool checkable = false;
    bool hidden = false;
    // Also a key of windows without menus (preferences, about).
    bool applicationKey = false;
    // A submenu: its entries, or the function that fills it in from what the program holds.
    std::vector<MenuEntry> submenu {};
    void (*fill)(QMenu* menu, QWidget* window) = nullptr;
};

const MenuEntry kSeparator {};

void fillRecentMenu(QMenu* recent, QWidget* window)
{
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent, window] {
        recent->clear();
        auto* controller = AppController::shared();
        const int count = controller ? int(controller->documentController().recentDocumentURLs().size()) : 0;
        for (int i = 0; i < count; ++i)
            MenuActions::add(recent, QString(), kOpenRecentAction, i);
        recent->addSeparator();
        MenuActions::add(recent, localized("Clear Menu"), kClearRecentAction);
        MenuActions::validateMenu(recent, window);
    });
}

void fillPartTypeMenu(QMenu* menu, QWidget*)
{
    AppController::setupPartTypeMenu(menu, kSetPartTypeAction);
}

void fillScaleMenu(QMenu* menu, QWidget*)
{
    ZDLView::addScaleMenuItemsTo(menu, kSetViewScaleFromPopupAction);
}

// The items of a tagged choice, tagged 0, 1, 2… in order.
std::vector<MenuEntry> taggedChoices(const QString& action, std::initializer_list<const char*> titles)
{
    std::vector<MenuEntry> entries;
    for (const char* title : titles)
        entries.push_back({ .title = title, .action = action, .tag = int(entries.size()) });
    return entries;
}

// Every menu of a document window, in order.
const std::vector<MenuEntry>& menuBarEntries()
{
    static const std::vector<MenuEntry> menus {
        { .title = "File",
            .submenu = {
                { .title = "New Comic", .action = kNewComicAction, .keys = { "Ctrl+N" }, .applicationKey = true },
                { .title = "New Character",
                    .action = kNewCharacterAction,
                    .keys = { "Ctrl+Shift+N" },
                    .applicationKey = true },
                { .title = "Open…", .action = kOpenDocumentAction, .keys = { "Ctrl+O" }, .applicationKey = true },
                { .title = "Open Recent", .fill = fillRecentMenu },
                { .title = "Import",
                    .submenu = { { .title = "XML Character File…", .action = kImportAction },
                        { .title = "Legacy Parts File…", .action = kImport86PartsAction } } },
                kSeparator,
                { .title = "Close", .action = kCloseDocumentAction, .keys = { "Ctrl+W" } },
                { .title = "Save", .action = kSaveDocumentAction, .keys = { "Ctrl+S" } },
                { .title = "Save As…", .action = kSaveDocumentAsAction, .keys = { "Ctrl+Shift+S" } },
                { .title = "Save a Copy…", .action = kSaveDocumentToAction, .keys = { "Ctrl+Alt+S" } },
                { .title = "Revert to Saved", .action = kRevertDocumentAction },
                // A character document retitles it after the shelf the character goes on.
                { .title = "Save to Vivaviv Izazuda", .action = kSaveToCatalogAction },
                kSeparator,
                { .title = "Print…", .action = kPrintDocumentAction, .keys = { "Ctrl+P" } },
                kSeparator,
                { .title = "Quit Zandrel", .action = kTerminateAction, .keys = { "Ctrl+Q" }, .applicationKey = true },
            } },
        { .title = "Edit",
            .submenu = {
                { .title = "Undo", .action = kUndoAction, .keys = { "Ctrl+Z" } },
                { .title = "Redo", .action = kRedoAction, .keys = { "Ctrl+Shift+Z" } },
                kSeparator,
                { .title = "Cut", .action = kCutAction, .keys = { "Ctrl+X" } },
                { .title = "Copy", .action = kCopyAction, .keys = { "Ctrl+C" } },
                { .title = "Paste", .action = kPasteAction, .keys = { "Ctrl+V" } },
                // The key above Return deletes here as it does on the keyboards the program was first
                // made for.
                { .title = "Delete", .action = kDeleteAction, .keys = { "Del", "Backspace" } },
                { .title = "Select All", .action = kSelectAllAction, .keys = { "Ctrl+A" } },
                { .title = "Deselect All", .action = kDeselectAllAction, .keys = { "Ctrl+Shift+A" } },
                kSeparator,
                { .title = "Edit", .action = kEditObjectAction, .keys = { "Ctrl+E" } },
                { .title = "Merge", .action = kMergeAction },
                { .title = "Import Image…", .action = kImportImageAction },
                kSeparator,
                { .title = "Preferences…", .action = kShowPreferencesAction, .keys = { "Ctrl+," } },
            } },
        { .title = "Arrange",
            .submenu = {
                { .title = "Bring to Front", .action = kBringToFrontAction, .keys = { "Ctrl+Shift+]" } },
                { .title = "Bring Forward", .action = kBringForwardAction, .keys = { "Ctrl+]" } },
                { .title = "Send Backward", .action = kSendBackwardAction, .keys = { "Ctrl+[" } },
                { .title = "Send to Back", .action = kSendToBackAction, .keys = { "Ctrl+Shift+[" } },
                kSeparator,
                { .title = "Flip Horizontal", .action = kFlipHorizontalAction },
                { .title = "Flip Vertical", .action = kFlipVerticalAction },
                { .title = "Scale…", .action = kScaleAction },
                kSeparator,
                { .title = "Group", .action = kGroupAction, .keys = { "Ctrl+G" } },
                { .title = "Ungroup", .action = kUngroupAction, .keys = { "Ctrl+Shift+G" } },
            } },
        // The lettering: new balloons, boxes and text blocks, and the balloon commands. Shape and style
        // items carry the balloon's codes as their tags.
        { .title = "Text",
            .submenu = {
                { .title = "New Dialog Balloon", .action = kAddBalloonAction, .keys = { "Ctrl+Shift+B" } },
                { .title = "New Narration Box", .action = kAddNarrativeBoxAction },
                { .title = "New Text Block", .action = kAddTextBlockAction },
                kSeparator,
                { .title = "Add Balloon Pointer", .action = kAddBalloonPointerAction },
                { .title = "Balloon Shape",
                    .submenu = taggedChoices(kSetBalloonShapeAction,
                        { "Standard", "Ellipse", "Rounded Rectangle", "Rectangle", "Fitted", "Text Block" }) },
                { .title = "Balloon Style",
                    .submenu = taggedChoices(
                        kSetBalloonStyleAction, { "Plain", "Rough Spikes", "Spikes", "Scallops", "Rough Scallops" }) },
                kSeparator,
                { .title = "Balloon Properties…", .action = kEditBalloonPropertiesAction },
            } },
        // The commands of the part editor's elements: splitting, paths, styles and hiding.
        { .title = "Path",
            .submenu = {
                { .title = "Split to Separate Part…", .action = kSplitToSeparatePartAction },
                kSeparator,
                { .title = "Align Path Points", .action = kAlignPathPointsAction },
                { .title = "Make Path Look Handdrawn", .action = kMakePathLookHanddrawnAction },
                kSeparator,
                { .title = "Copy Style", .action = kCopyFontAction, .keys = { "Ctrl+Alt+C" } },
                { .title = "Paste Style", .action = kPasteFontAction, .keys = { "Ctrl+Alt+V" } },
                { .title = "Save as Style…", .action = kSaveAsStyleAction },
                { .title = "Edit Styles…", .action = kEditStylesAction },
                kSeparator,
                { .title = "Reset Pivot Point", .action = kResetPivotPointAction },
                { .title = "Hide Selection", .action = kHideSelectionAction, .keys = { "Ctrl+Alt+H" } },
                { .title = "Show All", .action = kShowAllAction, .keys = { "Ctrl+Alt+Shift+H" } },
            } },
        { .title = "Character",
            .submenu = {
                { .title = "New Part", .action = kCreateNewPartAction },
                kSeparator,
                { .title = "Character Properties…", .action = kPropertiesDialogAction },
                { .title = "Edit Colors…", .action = kEditCharacterColorsAction },
                kSeparator,
                { .title = "Open Tracing Image…", .action = kOpenTracingImageAction },
                { .title = "Tracing Image Settings…", .action = kTracingImageSettingsAction },
                { .title = "Clear Tracing Image", .action = kClearTracingImageAction },
                { .title = "Show Tracing Image", .action = kToggleTracingImageAction, .checkable = true },
                { .title = "Edit Thumbnail", .action = kToggleThumbnailEditorAction, .checkable = true },
                { .title = "Adjust All Blurs…", .action = kGlobalBlurAdjustmentAction },
                kSeparator,
                { .title = "Export…", .action = kExportDialogAction },
                { .title = "Export As",
                    .submenu = { { .title = "PNG at 1x and 2x…", .action = kExportPNGAction },
                        { .title = "JPEG…", .action = kExportJPEGAction },
                        { .title = "PDF…", .action = kExportPDFAction },
                        { .title = "EPS…", .action = kExportEPSAction } } },
                kSeparator,
                { .title = "Part Type", .fill = fillPartTypeMenu },
                { .title = "Leave Editor", .action = kPopEditorAction, .keys = { "Ctrl+Up" } },
            } },
        { .title = "Comic",
            .submenu = {
                { .title = "New Page…", .action = kNewPageAction },
                { .title = "Delete Page", .action = kDeletePageAction },
                { .title = "Previous Page", .action = kGotoPrevPageAction, .keys = { "Ctrl+Alt+Left" } },
                { .title = "Next Page", .action = kGotoNextPageAction, .keys = { "Ctrl+Alt+Right" } },
                kSeparator,
                { .title = "Insert Row…", .action = kInsertRowAction },
                { .title = "Delete Row…", .action = kDeleteRowAction },
                { .title = "Insert Panel Before", .action = kInsertPanelBeforeAction },
                { .title = "Insert Panel After", .action = kInsertPanelAfterAction },
                { .title = "Delete Panel", .action = kDeletePanelAction },
                { .title = "Split Panel…", .action = kSplitPanelAction },
                kSeparator,
                { .title = "New Floating Panel", .action = kNewFloatingPanelAction },
                { .title = "New Inset Panel", .action = kNewInsetPanelAction },
                { .title = "Bring Panel Forward", .action = kBringPanelForwardAction },
                { .title = "Send Panel Backward", .action = kSendPanelBackwardAction },
                kSeparator,
                { .title = "Edit Background Layer",
                    .action = kToggleEditBackgroundAction,
                    .keys = { "Ctrl+B" },
                    .checkable = true },
                { .title = "Move to Background Layer", .action = kMoveToLayerAction },
                { .title = "Free from Panel", .action = kToggleFloatingAction },
                { .title = "Edit Free Objects", .action = kFreeObjectsEditorAction },
                { .title = "Focus on Panel",
                    .action = kToggleFocusOnPanelAction,
                    .keys = { "Ctrl+Alt+F" },
                    .checkable = true },
                kSeparator,
                { .title = "Panel Properties…", .action = kPanelPropertiesAction },
                { .title = "Comic Size…", .action = kResizeComicAction },
                { .title = "Page Margins…", .action = kSetPageMarginsAction },
                { .title = "Gutter Size…", .action = kGutterSizeAction },
                { .title = "Export…", .action = kExportDialogAction },
            } },
        { .title = "View",
            .submenu = {
                { .title = "Zoom In", .action = kZoomInAction, .keys = { "Ctrl+=", "Ctrl++" } },
                { .title = "Zoom Out", .action = kZoomOutAction, .keys = { "Ctrl+-" } },
                { .title = "Actual Size", .action = kActualSizeAction, .keys = { "Ctrl+0" } },
                { .title = "Toggle Zoom", .action = kToggleZoomAction, .keys = { "Ctrl+Alt+0" } },
                { .title = "Zoom", .fill = fillScaleMenu },
                { .title = "Background",
                    .submenu = taggedChoices(kSetBackgroundAction, { "Plain", "Checkerboard", "Context" }) },
                kSeparator,
                { .title = "Show Catalog",
                    .action = kToggleCatalogViewAction,
                    .keys = { "Ctrl+Alt+L" },
                    .checkable = true },
                { .title = "Enter Full Screen", .action = kToggleFullScreenAction, .keys = { "F11" } },
            } },
        { .title = "Help",
            .submenu = {
                { .title = "Show All Help Panels", .action = kShowAllHelpPanelsAction },
                { .title = "Hide All Help Panels", .action = kHideAllHelpPanelsAction },
                kSeparator,
                { .title = "Zandrel Website", .action = kVisitWebsiteAction },
                { .title = "Report a Bug…", .action = kReportABugAction },
                { .title = "Check the Quorvane Store", .action = kCheckForArtStoreAction },
                { .title = "Check for Updates…", .action = kCheckForUpdatesAction },
                // There is no store to rate the program in on this platform.
                { .title = "Rate in App Store", .action = kVisitAppStoreAction, .hidden = true },
                kSeparator,
                { .title = "About Zandrel", .action = kShowAboutAction },
            } },
    };
    return menus;
}

QAction* makeItem(QObject* owner, const MenuEntry& entry)
{
    const QKeySequence first = entry.keys.isEmpty() ? QKeySequence() : QKeySequence(entry.keys.first());
    QAction* item = MenuActions::make(owner, localized(entry.title), entry.action, entry.tag, first);
    if (entry.keys.size() > 1) {
        QList<QKeySequence> shortcuts;
        for (const QString& key : entry.keys)
            shortcuts.append(QKeySequence(key));
        item->setShortcuts(shortcuts);
    }
    if (entry.checkable)
        item->setCheckable(true);
    if (entry.hidden)
        item->setVisible(false);
    return item;
}

void addEntries(QMenu* menu, const std::vector<MenuEntry>& entries, QWidget* window)
{
    for (const MenuEntry& entry : entries) {
        if (!entry.title) {
            menu->addSeparator();
        } else if (entry.fill) {
            entry.fill(menu->addMenu(localized(entry.title)), window);
        } else if (!entry.submenu.empty()) {
            addEntries(menu->addMenu(localized(entry.title)), entry.submenu, window);
        } else {
            menu->addAction(makeItem(menu, entry));
        }
    }
}

// Validation before the menu opens; afterwards every item is enabled again so that shortcuts reach
// the dispatcher, which validates once more when an item fires.
QMenu* addMenu(QMenuBar* bar, const QString& title, QWidget* window)
{
    QMenu* menu = bar->addMenu(title);
    QObject::connect(
        menu, &QMenu::aboutToShow, menu, [menu, window] { MenuActions::validateMenu(menu, window); });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction* item : menu->actions()) {
            if (!MenuActions::actionOf(item).isEmpty())
                item->setEnabled(true);
        }
    });
    return menu;
}

void addApplicationKeysOf(QWidget* window, const std::vector<MenuEntry>& entries)
{
    for (const MenuEntry& entry : entries) {
        addApplicationKeysOf(window, entry.submenu);
        if (!entry.applicationKey)
            continue;
        QAction* item = makeItem(window, entry);
        item->setShortcutContext(Qt::WindowShortcut);
        window->addAction(item);
    }
}

const MenuEntry* entryFor(const std::vector<MenuEntry>& entries, const QString& action)
{
    for (const MenuEntry& entry : entries) {
        if (entry.title && !entry.action.isEmpty() && entry.action == action)
            return &entry;
        if (const MenuEntry* found = entryFor(entry.submenu, action))
            return found;
    }
    return nullptr;
}

} // namespace

namespace MainMenu {

QString titleOf(const QString& action)
{
    const MenuEntry* entry = entryFor(menuBarEntries(), action);
    return entry ? localized(entry->title) : QString();
}

void addApplicationKeys(QWidget* window)
{
    addApplicationKeysOf(window, menuBarEntries());
}

void build(QMenuBar* bar, QWidget* window)
{
    for (const MenuEntry& entry : menuBarEntries())
        addEntries(addMenu(bar, localized(entry.title), window), entry.submenu, window);
}

} // namespace MainMenu

} // namespace zandrel
