#pragma once

#include "app/core/PasteboardParent.h"
#include "app/core/ZDLAppController.h"

#include <QObject>
#include <QString>

namespace zandrel {

class CharacterLibraryItem;

// What the catalog view's commands do to the catalogs, apart from any window: which shelf an item is
// on, which command an item allows, deleting with the user's consent, saving a copy of a parts file
// and the payload a catalog character carries when it is dragged out.
namespace CatalogCommands {

// The catalog view's actions on its selected item.
inline const QString kOpenCatalogCharacterAction = QStringLiteral("openCatalogCharacter:");
inline const QString kDeleteCatalogItemAction = QStringLiteral("deleteCatalogItem:");
inline const QString kEditCatalogItemAction = QStringLiteral("editCatalogItem:");
inline const QString kSaveACopyAction = QStringLiteral("saveACopy:");
inline const QString kCopyToUserCatalogAction = QStringLiteral("copyToUserCatalog:");

// The two shelves of the catalog list, in its order: parts kind 0 (characters) and 1 (scenery);
// items of any other kind are on neither.
void fillShelves(const ZDLAppController::CatalogList& catalog, ZDLAppController::CatalogList& characters,
    ZDLAppController::CatalogList& scenery);

// Whether the action applies to the item: opening and saving a copy need an item, deleting a
// purchased or user item, editing a user item, copying to the user catalog a built-in or purchased
// item. False for any other action.
bool allows(const QString& action, const CharacterLibraryItem* item);

// Deletes a purchased or user item from its catalog once the user agrees ("Delete", or "Move to
// Trash"); a file open as a document is not deleted, and the user is told why. The question and the
// message are attached to the window.
void deleteCatalogItem(const std::shared_ptr<CharacterLibraryItem>& item, bool fileIsOpen, QObject* window);

// Writes the bytes of the item's parts file to the destination in one step; false, with the reason,
// when the file cannot be read or the copy written (what was at the destination stays).
bool saveACopy(const CharacterLibraryItem& item, const QString& destination, QString* error);

// What a catalog character brings when dragged into a comic: copies of the parts its thumbnail
// shows (every part when it shows none), as drawn in its file, with the click point at their
// centre; null when the file cannot be read or holds nothing to drop.
PasteboardParentPtr dragPayload(CharacterLibraryItem& item);

} // namespace CatalogCommands

} // namespace zandrel
