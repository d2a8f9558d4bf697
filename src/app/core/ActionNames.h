#pragma once

#include <QString>

namespace zandrel {

// The actions menus and toolbars send along the responder chain, by name. A responder answers the
// names it knows; a menu item carries one of these.

// Application
inline const QString kNewComicAction = QStringLiteral("newComic:");
inline const QString kNewCharacterAction = QStringLiteral("newCharacter:");
inline const QString kOpenDocumentAction = QStringLiteral("openDocument:");
inline const QString kOpenRecentAction = QStringLiteral("openRecentDocument:");
inline const QString kClearRecentAction = QStringLiteral("clearRecentDocuments:");
inline const QString kImportAction = QStringLiteral("import:");
inline const QString kImport86PartsAction = QStringLiteral("import86Parts:");
inline const QString kTerminateAction = QStringLiteral("terminate:");
inline const QString kShowAllHelpPanelsAction = QStringLiteral("showAllHelpPanels:");
inline const QString kHideAllHelpPanelsAction = QStringLiteral("hideAllHelpPanels:");
inline const QString kShowTestPanelAction = QStringLiteral("showTestPanel:");
inline const QString kAddToApplicationsMenuAction = QStringLiteral("addToApplicationsMenu:");
inline const QString kShowPreferencesAction = QStringLiteral("showPreferences:");
inline const QString kShowAboutAction = QStringLiteral("showAbout:");
inline const QString kVisitWebsiteAction = QStringLiteral("visitWebsite:");
inline const QString kVisitAppStoreAction = QStringLiteral("visitAppStore:");
inline const QString kReportABugAction = QStringLiteral("reportABug:");
inline const QString kCheckForArtStoreAction = QStringLiteral("checkForArtStore:");
inline const QString kCheckForUpdatesAction = QStringLiteral("checkForUpdates:");

// Document
inline const QString kSaveDocumentAction = QStringLiteral("saveDocument:");
inline const QString kSaveDocumentAsAction = QStringLiteral("saveDocumentAs:");
inline const QString kSaveDocumentToAction = QStringLiteral("saveDocumentTo:");
inline const QString kRevertDocumentAction = QStringLiteral("revertDocumentToSaved:");
inline const QString kCloseDocumentAction = QStringLiteral("performClose:");
inline const QString kPrintDocumentAction = QStringLiteral("printDocument:");
inline const QString kUndoAction = QStringLiteral("undo:");
inline const QString kRedoAction = QStringLiteral("redo:");
inline const QString kEditCharacterColorsAction = QStringLiteral("editCharacterColors:");
inline const QString kPropertiesDialogAction = QStringLiteral("propertiesDialog:");
inline const QString kPopEditorAction = QStringLiteral("popEditor:");
inline const QString kToggleFullScreenAction = QStringLiteral("toggleFullScreen:");

// Character document
inline const QString kOpenTracingImageAction = QStringLiteral("openTracingImage:");
inline const QString kClearTracingImageAction = QStringLiteral("clearTracingImage:");
inline const QString kToggleTracingImageAction = QStringLiteral("toggleTracingImage:");
inline const QString kTracingImageSettingsAction = QStringLiteral("tracingImageSettings:");
inline const QString kSaveToCatalogAction = QStringLiteral("saveToCatalog:");
inline const QString kViewSelectedTypeAction = QStringLiteral("viewSelectedType:");
inline const QString kViewAllWithPosesAction = QStringLiteral("viewAllWithPoses:");
inline const QString kGlobalBlurAdjustmentAction = QStringLiteral("globalBlurAdjustment:");
inline const QString kCountItemsAction = QStringLiteral("countItems:");
inline const QString kToggleThumbnailEditorAction = QStringLiteral("toggleThumbnailEditor:");
inline const QString kExitModeAction = QStringLiteral("exitMode:");

// Comic document
inline const QString kGotoPrevPageAction = QStringLiteral("gotoPrevPage:");
inline const QString kGotoNextPageAction = QStringLiteral("gotoNextPage:");
inline const QString kGotoSelectedPageAction = QStringLiteral("gotoSelectedPage:");
inline const QString kShareAction = QStringLiteral("share:");
inline const QString kToggleCatalogViewAction = QStringLiteral("toggleCatalogView:");
// Not a menu item: a new comic's window opens the new-comic sheet under this name.
inline const QString kNewComicSheetAction = QStringLiteral("newComicSheet");
// Not a menu item: a new character's window opens the new-character sheet under this name.
inline const QString kNewCharacterSheetAction = QStringLiteral("newCharacterSheet");

// Comic view: pages, rows and panels
inline const QString kNewPageAction = QStringLiteral("newPage:");
inline const QString kDeletePageAction = QStringLiteral("deletePage:");
inline const QString kInsertRowAction = QStringLiteral("insertRow:");
inline const QString kDeleteRowAction = QStringLiteral("deleteRow:");
inline const QString kInsertPanelBeforeAction = QStringLiteral("insertPanelBefore:");
inline const QString kInsertPanelAfterAction = QStringLiteral("insertPanelAfter:");
inline const QString kDeletePanelAction = QStringLiteral("deletePanel:");
inline const QString kSplitPanelAction = QStringLiteral("splitPanel:");
inline const QString kToggleFocusOnPanelAction = QStringLiteral("toggleFocusOnPanel:");
inline const QString kPanelPropertiesAction = QStringLiteral("panelProperties:");
inline const QString kResizeComicAction = QStringLiteral("resizeComic:");
inline const QString kSetPageMarginsAction = QStringLiteral("setPageMargins:");
inline const QString kGutterSizeAction = QStringLiteral("gutterSize:");
inline const QString kExportDialogAction = QStringLiteral("exportDialog:");
inline const QString kExportPNGAction = QStringLiteral("exportPNG:");
inline const QString kExportJPEGAction = QStringLiteral("exportJPEG:");
inline const QString kExportPDFAction = QStringLiteral("exportPDF:");
inline const QString kExportEPSAction = QStringLiteral("exportEPS:");

// Comic view: free panels, layers and free objects
inline const QString kNewFloatingPanelAction = QStringLiteral("newFloatingPanel:");
inline const QString kNewInsetPanelAction = QStringLiteral("newInsetPanel:");
inline const QString kBringPanelForwardAction = QStringLiteral("bringPanelForward:");
inline const QString kSendPanelBackwardAction = QStringLiteral("sendPanelBackward:");
inline const QString kToggleEditBackgroundAction = QStringLiteral("toggleEditBackground:");
inline const QString kFreeObjectsEditorAction = QStringLiteral("freeObjectsEditor:");
inline const QString kEditFreeObjectsLayerAction = QStringLiteral("editFreeObjectsLayer:");

// View base
inline const QString kSelectAllAction = QStringLiteral("selectAll:");
inline const QString kDeselectAllAction = QStringLiteral("deselectAllCmd:");
inline const QString kZoomInAction = QStringLiteral("zoomIn:");
inline const QString kZoomOutAction = QStringLiteral("zoomOut:");
inline const QString kActualSizeAction = QStringLiteral("actualSize:");
inline const QString kToggleZoomAction = QStringLiteral("toggleZoom:");
inline const QString kSetViewScaleFromPopupAction = QStringLiteral("setViewScaleFromPopup:");
inline const QString kShowPanelHelpAction = QStringLiteral("showPanelHelp:");
inline const QString kMoveToLayerAction = QStringLiteral("moveToLayer:");
inline const QString kToggleFloatingAction = QStringLiteral("toggleFloating:");

// Editing views
inline const QString kDeleteAction = QStringLiteral("delete:");
inline const QString kCutAction = QStringLiteral("cut:");
inline const QString kCopyAction = QStringLiteral("copy:");
inline const QString kPasteAction = QStringLiteral("paste:");
inline const QString kEditObjectAction = QStringLiteral("editObject:");
inline const QString kBringToFrontAction = QStringLiteral("bringToFront:");
inline const QString kBringForwardAction = QStringLiteral("bringForward:");
inline const QString kSendToBackAction = QStringLiteral("sendToBack:");
inline const QString kSendBackwardAction = QStringLiteral("sendBackward:");
inline const QString kFlipHorizontalAction = QStringLiteral("flipHorizontal:");
inline const QString kFlipVerticalAction = QStringLiteral("flipVertical:");
inline const QString kScaleAction = QStringLiteral("scale:");
inline const QString kMergeAction = QStringLiteral("merge:");
inline const QString kSetBackgroundAction = QStringLiteral("setBackground:");
inline const QString kImportImageAction = QStringLiteral("importImage:");
inline const QString kCreateNewPartAction = QStringLiteral("createNewPart:");
inline const QString kRestrictToPanelAction = QStringLiteral("restrictToPanel:");

// Balloon editing views
inline const QString kAddBalloonAction = QStringLiteral("addBalloon:");
inline const QString kAddNarrativeBoxAction = QStringLiteral("addNarrativeBox:");
inline const QString kAddTextBlockAction = QStringLiteral("addTextBlock:");
inline const QString kAddBalloonPointerAction = QStringLiteral("addBalloonPointer:");
inline const QString kSetBalloonShapeAction = QStringLiteral("setBalloonShape:");
inline const QString kSetBalloonStyleAction = QStringLiteral("setBalloonStyle:");
inline const QString kEditBalloonPropertiesAction = QStringLiteral("editBalloonProperties:");
inline const QString kGroupAction = QStringLiteral("group:");
inline const QString kUngroupAction = QStringLiteral("ungroup:");

// Items of the menus built in code
inline const QString kSetPartTypeAction = QStringLiteral("setPartType:");
inline const QString kApplyStyleAction = QStringLiteral("applyStyle:");

// Part elements view
inline const QString kSplitToSeparatePartAction = QStringLiteral("splitToSeparatePart:");
inline const QString kAlignPathPointsAction = QStringLiteral("alignPathPoints:");
inline const QString kMakePathLookHanddrawnAction = QStringLiteral("makePathLookHanddrawn:");
inline const QString kCopyFontAction = QStringLiteral("copyFont:");
inline const QString kPasteFontAction = QStringLiteral("pasteFont:");
inline const QString kSaveAsStyleAction = QStringLiteral("saveAsStyle:");
inline const QString kEditStylesAction = QStringLiteral("editStyles:");
inline const QString kSetPivotPointAction = QStringLiteral("setPivotPoint:");
inline const QString kResetPivotPointAction = QStringLiteral("resetPivotPoint:");
inline const QString kHideSelectionAction = QStringLiteral("hideSelection:");
inline const QString kShowAllAction = QStringLiteral("showAll:");
// The value the contextual menu's items carry, for commands that act at the right-click point.
inline const QString kContextualMenuSender = QStringLiteral("contextualMenu");

} // namespace zandrel
