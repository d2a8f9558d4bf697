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
#include <iterator>

namespace zandrel {

namespace {

// Command stands for Ctrl and Option for Alt on this platform; Qt's Ctrl is the Control key here.
QKeySequence keys(const QString& text)
{
    return QKeySequence(text);
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

void addRecentMenu(QMenu* file, QWidget* window)
{
    QMenu* recent = file->addMenu(localized("Open Recent"));
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

// The lettering: new balloons, boxes and text blocks, and the balloon commands. Shape and style
// items carry the balloon's codes as their tags.
void addTextMenu(QMenuBar* bar, QWidget* window)
{
    QMenu* text = addMenu(bar, localized("Text"), window);
    MenuActions::add(text, localized("New Dialog Balloon"), kAddBalloonAction, 0, keys("Ctrl+Shift+B"));
    MenuActions::add(text, localized("New Narration Box"), kAddNarrativeBoxAction);
    MenuActions::add(text, localized("New Text Block"), kAddTextBlockAction);
    text->addSeparator();
    MenuActions::add(text, localized("Add Balloon Pointer"), kAddBalloonPointerAction);
    QMenu* shape = text->addMenu(localized("Balloon Shape"));
    const char* const shapes[]
        = { "Standard", "Ellipse", "Rounded Rectangle", "Rectangle", "Fitted", "Text Block" };
    for (int tag = 0; tag < int(std::size(shapes)); ++tag)
        MenuActions::add(shape, localized(shapes[tag]), kSetBalloonShapeAction, tag);
    QMenu* style = text->addMenu(localized("Balloon Style"));
    const char* const styles[] = { "Plain", "Rough Spikes", "Spikes", "Scallops", "Rough Scallops" };
    for (int tag = 0; tag < int(std::size(styles)); ++tag)
        MenuActions::add(style, localized(styles[tag]), kSetBalloonStyleAction, tag);
    text->addSeparator();
    MenuActions::add(text, localized("Balloon Properties…"), kEditBalloonPropertiesAction);
}

// The commands of the part editor's elements: splitting, paths, styles and hiding.
void addPathMenu(QMenuBar* bar, QWidget* window)
{
    QMenu* path = addMenu(bar, localized("Path"), window);
    MenuActions::add(path, localized("Split to Separate Part…"), kSplitToSeparatePartAction);
    path->addSeparator();
    MenuActions::add(path, localized("Align Path Points"), kAlignPathPointsAction);
    MenuActions::add(path, localized("Make Path Look Handdrawn"), kMakePathLookHanddrawnAction);
    path->addSeparator();
    MenuActions::add(path, localized("Copy Style"), kCopyFontAction, 0, keys("Ctrl+Alt+C"));
    MenuActions::add(path, localized("Paste Style"), kPasteFontAction, 0, keys("Ctrl+Alt+V"));
    MenuActions::add(path, localized("Save as Style…"), kSaveAsStyleAction);
    MenuActions::add(path, localized("Edit Styles…"), kEditStylesAction);
    path->addSeparator();
    MenuActions::add(path, localized("Reset Pivot Point"), kResetPivotPointAction);
    MenuActions::add(path, localized("Hide Selection"), kHideSelectionAction, 0, keys("Ctrl+Alt+H"));
    MenuActions::add(path, localized("Show All"), kShowAllAction, 0, keys("Ctrl+Alt+Shift+H"));
}

} // namespace

namespace MainMenu {

void addApplicationKeys(QWidget* window)
{
    const struct {
        const char* title;
        const QString& action;
        const char* keys;
    } items[] = { { "New Comic", kNewComicAction, "Ctrl+N" },
        { "New Character", kNewCharacterAction, "Ctrl+Shift+N" }, { "Open…", kOpenDocumentAction, "Ctrl+O" },
        { "Quit Zandrel", kTerminateAction, "Ctrl+Q" } };
    for (const auto& entry : items) {
        QAction* item = MenuActions::make(
            window, localized(entry.title), entry.action, 0, keys(QString::fromUtf8(entry.keys)));
        item->setShortcutContext(Qt::WindowShortcut);
        window->addAction(item);
    }
}

void build(QMenuBar* bar, QWidget* window)
{
    QMenu* file = addMenu(bar, localized("File"), window);
    MenuActions::add(file, localized("New Comic"), kNewComicAction, 0, keys("Ctrl+N"));
    MenuActions::add(file, localized("New Character"), kNewCharacterAction, 0, keys("Ctrl+Shift+N"));
    MenuActions::add(file, localized("Open…"), kOpenDocumentAction, 0, keys("Ctrl+O"));
    addRecentMenu(file, window);
    QMenu* import = file->addMenu(localized("Import"));
    MenuActions::add(import, localized("XML Character File…"), kImportAction);
    MenuActions::add(import, localized("Legacy Parts File…"), kImport86PartsAction);
    file->addSeparator();
    MenuActions::add(file, localized("Close"), kCloseDocumentAction, 0, keys("Ctrl+W"));
    MenuActions::add(file, localized("Save"), kSaveDocumentAction, 0, keys("Ctrl+S"));
    MenuActions::add(file, localized("Save As…"), kSaveDocumentAsAction, 0, keys("Ctrl+Shift+S"));
    MenuActions::add(file, localized("Save a Copy…"), kSaveDocumentToAction, 0, keys("Ctrl+Alt+S"));
    MenuActions::add(file, localized("Revert to Saved"), kRevertDocumentAction);
    // A character document retitles it after the shelf the character goes on.
    MenuActions::add(file, localized("Save to Vivaviv Izazuda"), kSaveToCatalogAction);
    file->addSeparator();
    MenuActions::add(file, localized("Print…"), kPrintDocumentAction, 0, keys("Ctrl+P"));
    file->addSeparator();
    MenuActions::add(file, localized("Quit Zandrel"), kTerminateAction, 0, keys("Ctrl+Q"));

    QMenu* edit = addMenu(bar, localized("Edit"), window);
    MenuActions::add(edit, localized("Undo"), kUndoAction, 0, keys("Ctrl+Z"));
    MenuActions::add(edit, localized("Redo"), kRedoAction, 0, keys("Ctrl+Shift+Z"));
    edit->addSeparator();
    MenuActions::add(edit, localized("Cut"), kCutAction, 0, keys("Ctrl+X"));
    MenuActions::add(edit, localized("Copy"), kCopyAction, 0, keys("Ctrl+C"));
    MenuActions::add(edit, localized("Paste"), kPasteAction, 0, keys("Ctrl+V"));
    // The key above Return deletes here as it does on the keyboards the program was first made for.
    MenuActions::add(edit, localized("Delete"), kDeleteAction)
        ->setShortcuts({ QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace) });
    MenuActions::add(edit, localized("Select All"), kSelectAllAction, 0, keys("Ctrl+A"));
    MenuActions::add(edit, localized("Deselect All"), kDeselectAllAction, 0, keys("Ctrl+Shift+A"));
    edit->addSeparator();
    MenuActions::add(edit, localized("Edit"), kEditObjectAction, 0, keys("Ctrl+E"));
    MenuActions::add(edit, localized("Merge"), kMergeAction);
    MenuActions::add(edit, localized("Import Image…"), kImportImageAction);
    edit->addSeparator();
    MenuActions::add(edit, localized("Preferences…"), kShowPreferencesAction, 0, keys("Ctrl+,"));

    QMenu* arrange = addMenu(bar, localized("Arrange"), window);
    MenuActions::add(arrange, localized("Bring to Front"), kBringToFrontAction, 0, keys("Ctrl+Shift+]"));
    MenuActions::add(arrange, localized("Bring Forward"), kBringForwardAction, 0, keys("Ctrl+]"));
    MenuActions::add(arrange, localized("Send Backward"), kSendBackwardAction, 0, keys("Ctrl+["));
    MenuActions::add(arrange, localized("Send to Back"), kSendToBackAction, 0, keys("Ctrl+Shift+["));
    arrange->addSeparator();
    MenuActions::add(arrange, localized("Flip Horizontal"), kFlipHorizontalAction);
    MenuActions::add(arrange, localized("Flip Vertical"), kFlipVerticalAction);
    MenuActions::add(arrange, localized("Scale…"), kScaleAction);
    arrange->addSeparator();
    MenuActions::add(arrange, localized("Group"), kGroupAction, 0, keys("Ctrl+G"));
    MenuActions::add(arrange, localized("Ungroup"), kUngroupAction, 0, keys("Ctrl+Shift+G"));

    addTextMenu(bar, window);
    addPathMenu(bar, window);

    QMenu* character = addMenu(bar, localized("Character"), window);
    MenuActions::add(character, localized("New Part"), kCreateNewPartAction);
    character->addSeparator();
    MenuActions::add(character, localized("Character Properties…"), kPropertiesDialogAction);
    MenuActions::add(character, localized("Edit Colors…"), kEditCharacterColorsAction);
    character->addSeparator();
    MenuActions::add(character, localized("Open Tracing Image…"), kOpenTracingImageAction);
    MenuActions::add(character, localized("Tracing Image Settings…"), kTracingImageSettingsAction);
    MenuActions::add(character, localized("Clear Tracing Image"), kClearTracingImageAction);
    MenuActions::add(character, localized("Show Tracing Image"), kToggleTracingImageAction)
        ->setCheckable(true);
    MenuActions::add(character, localized("Edit Thumbnail"), kToggleThumbnailEditorAction)
        ->setCheckable(true);
    MenuActions::add(character, localized("Adjust All Blurs…"), kGlobalBlurAdjustmentAction);
    character->addSeparator();
    MenuActions::add(character, localized("Export…"), kExportDialogAction);
    QMenu* exportAs = character->addMenu(localized("Export As"));
    MenuActions::add(exportAs, localized("PNG at 1x and 2x…"), kExportPNGAction);
    MenuActions::add(exportAs, localized("JPEG…"), kExportJPEGAction);
    MenuActions::add(exportAs, localized("PDF…"), kExportPDFAction);
    MenuActions::add(exportAs, localized("EPS…"), kExportEPSAction);
    character->addSeparator();
    QMenu* partType = character->addMenu(localized("Part Type"));
    AppController::setupPartTypeMenu(partType, kSetPartTypeAction);
    MenuActions::add(character, localized("Leave Editor"), kPopEditorAction, 0, keys("Ctrl+Up"));

    QMenu* comic = addMenu(bar, localized("Comic"), window);
    MenuActions::add(comic, localized("New Page…"), kNewPageAction);
    MenuActions::add(comic, localized("Delete Page"), kDeletePageAction);
    MenuActions::add(comic, localized("Previous Page"), kGotoPrevPageAction, 0, keys("Ctrl+Alt+Left"));
    MenuActions::add(comic, localized("Next Page"), kGotoNextPageAction, 0, keys("Ctrl+Alt+Right"));
    comic->addSeparator();
    MenuActions::add(comic, localized("Insert Row…"), kInsertRowAction);
    MenuActions::add(comic, localized("Delete Row…"), kDeleteRowAction);
    MenuActions::add(comic, localized("Insert Panel Before"), kInsertPanelBeforeAction);
    MenuActions::add(comic, localized("Insert Panel After"), kInsertPanelAfterAction);
    MenuActions::add(comic, localized("Delete Panel"), kDeletePanelAction);
    MenuActions::add(comic, localized("Split Panel…"), kSplitPanelAction);
    comic->addSeparator();
    MenuActions::add(comic, localized("New Floating Panel"), kNewFloatingPanelAction);
    MenuActions::add(comic, localized("New Inset Panel"), kNewInsetPanelAction);
    MenuActions::add(comic, localized("Bring Panel Forward"), kBringPanelForwardAction);
    MenuActions::add(comic, localized("Send Panel Backward"), kSendPanelBackwardAction);
    comic->addSeparator();
    MenuActions::add(
        comic, localized("Edit Background Layer"), kToggleEditBackgroundAction, 0, keys("Ctrl+B"))
        ->setCheckable(true);
    MenuActions::add(comic, localized("Move to Background Layer"), kMoveToLayerAction);
    MenuActions::add(comic, localized("Free from Panel"), kToggleFloatingAction);
    MenuActions::add(comic, localized("Edit Free Objects"), kFreeObjectsEditorAction);
    MenuActions::add(comic, localized("Focus on Panel"), kToggleFocusOnPanelAction, 0, keys("Ctrl+Alt+F"))
        ->setCheckable(true);
    comic->addSeparator();
    MenuActions::add(comic, localized("Panel Properties…"), kPanelPropertiesAction);
    MenuActions::add(comic, localized("Comic Size…"), kResizeComicAction);
    MenuActions::add(comic, localized("Page Margins…"), kSetPageMarginsAction);
    MenuActions::add(comic, localized("Gutter Size…"), kGutterSizeAction);
    MenuActions::add(comic, localized("Export…"), kExportDialogAction);

    QMenu* view = addMenu(bar, localized("View"), window);
    MenuActions::add(view, localized("Zoom In"), kZoomInAction, 0, keys("Ctrl+="))
        ->setShortcuts({ keys("Ctrl+="), keys("Ctrl++") });
    MenuActions::add(view, localized("Zoom Out"), kZoomOutAction, 0, keys("Ctrl+-"));
    MenuActions::add(view, localized("Actual Size"), kActualSizeAction, 0, keys("Ctrl+0"));
    MenuActions::add(view, localized("Toggle Zoom"), kToggleZoomAction, 0, keys("Ctrl+Alt+0"));
    QMenu* scale = view->addMenu(localized("Zoom"));
    ZDLView::addScaleMenuItemsTo(scale, kSetViewScaleFromPopupAction);
    QMenu* background = view->addMenu(localized("Background"));
    MenuActions::add(background, localized("Plain"), kSetBackgroundAction, 0);
    MenuActions::add(background, localized("Checkerboard"), kSetBackgroundAction, 1);
    MenuActions::add(background, localized("Context"), kSetBackgroundAction, 2);
    view->addSeparator();
    MenuActions::add(view, localized("Show Catalog"), kToggleCatalogViewAction, 0, keys("Ctrl+Alt+L"))
        ->setCheckable(true);
    MenuActions::add(view, localized("Enter Full Screen"), kToggleFullScreenAction, 0, keys("F11"));

    QMenu* help = addMenu(bar, localized("Help"), window);
    MenuActions::add(help, localized("Show All Help Panels"), kShowAllHelpPanelsAction);
    MenuActions::add(help, localized("Hide All Help Panels"), kHideAllHelpPanelsAction);
    help->addSeparator();
    MenuActions::add(help, localized("Zandrel Website"), kVisitWebsiteAction);
    MenuActions::add(help, localized("Report a Bug…"), kReportABugAction);
    MenuActions::add(help, localized("Check the Quorvane Store"), kCheckForArtStoreAction);
    MenuActions::add(help, localized("Check for Updates…"), kCheckForUpdatesAction);
    // There is no store to rate the program in on this platform.
    MenuActions::add(help, localized("Rate in App Store"), kVisitAppStoreAction)->setVisible(false);
    help->addSeparator();
    MenuActions::add(help, localized("About Zandrel"), kShowAboutAction);
}

} // namespace MainMenu

} // namespace zandrel
