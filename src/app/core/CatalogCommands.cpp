#include "app/core/CatalogCommands.h"

#include "app/core/ActionTable.h"
#include "app/core/CatalogFiles.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ElementProtocols.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"

namespace zandrel::CatalogCommands {

void fillShelves(const ZDLAppController::CatalogList& catalog, ZDLAppController::CatalogList& characters,
    ZDLAppController::CatalogList& scenery)
{
    characters.clear();
    scenery.clear();
    for (const auto& item : catalog) {
        if (item->partsKind() == 0)
            characters.push_back(item);
        else if (item->partsKind() == 1)
            scenery.push_back(item);
    }
}

namespace {

// Which items each action on the selected item applies to, by the catalog the item comes from.
const ActionTable<const CharacterLibraryItem>& itemActions()
{
    using Item = const CharacterLibraryItem;
    static const ActionTable<Item> table {
        { .action = kOpenCatalogCharacterAction, .validate = alwaysEnabled<Item> },
        { .action = kSaveACopyAction, .validate = alwaysEnabled<Item> },
        { .action = kDeleteCatalogItemAction,
            .validate =
                [](Item& item, MenuItemValidation& validation) {
                    validation.enabled = item.fromCatalog() == CharacterLibraryItem::PurchasedCatalog
                        || item.fromCatalog() == CharacterLibraryItem::UserCatalog;
                } },
        { .action = kEditCatalogItemAction,
            .validate =
                [](Item& item, MenuItemValidation& validation) {
                    validation.enabled = item.fromCatalog() == CharacterLibraryItem::UserCatalog;
                } },
        { .action = kCopyToUserCatalogAction,
            .validate =
                [](Item& item, MenuItemValidation& validation) {
                    validation.enabled = item.fromCatalog() == CharacterLibraryItem::BuiltInCatalog
                        || item.fromCatalog() == CharacterLibraryItem::PurchasedCatalog;
                } },
    };
    return table;
}

} // namespace

bool allows(const QString& action, const CharacterLibraryItem* item)
{
    if (!item)
        return false;
    MenuItemValidation validation;
    validation.action = action;
    return itemActions().validate(*item, validation) && validation.enabled;
}

void deleteCatalogItem(const std::shared_ptr<CharacterLibraryItem>& item, bool fileIsOpen, QObject* window)
{
    if (!allows(kDeleteCatalogItemAction, item.get()))
        return;
    ZDLAppController* controller = appController();
    if (fileIsOpen) {
        controller->showAlertMessage(
            localized("The file cannot be deleted because it is currently open."), QString(), window);
        return;
    }
    ModalAlert alert;
    alert.message = localized("Are you sure you want to delete the file named “%1” from %2?")
                        .arg(item->characterName(), catalogShelfName(item->partsKind()));
    alert.buttons = { localized("Delete"), localized("Move to Trash"), localized("Cancel") };
    controller->showAlert(alert, window, [item](int code) {
        if (code == ModalAlert::kFirstButton || code == ModalAlert::kSecondButton)
            appController()->deleteCharacter(item, code == ModalAlert::kSecondButton);
    });
}

bool saveACopy(const CharacterLibraryItem& item, const QString& destination, QString* error)
{
    const QByteArray data = readCatalogFile(item.characterFileURL(), error);
    return !data.isEmpty() && writeCatalogFile(destination, data, error);
}

PasteboardParentPtr dragPayload(CharacterLibraryItem& item)
{
    const CharacterModelPtr character = item.character();
    if (!character || character->numChildren() == 0)
        return nullptr;
    // What is dragged is what the thumbnail shows: a parts file lays out every pose and spare part
    // beside the figure, and a drop of all of them would bury the panel. A file whose thumbnail
    // frames none of its parts gives them all.
    const QRectF shown = character->thumbnailRect();
    ElementList parts;
    for (const ObjectPtr& part : character->getParts()) {
        const auto* graphic = asProtocol<GraphicElement>(part);
        if (graphic && shown.contains(centerOfRect(graphic->getBounds())))
            parts.append(part);
    }
    PasteboardParentPtr payload
        = PasteboardParent::initWithChildren(parts.isEmpty() ? character->getParts() : parts);
    if (payload->children().isEmpty())
        return nullptr;
    payload->setClickPoint(centerOfRect(payload->childrenBounds()));
    payload->setCharacterId(character->characterId());
    payload->setColors(character->colors());
    return payload;
}

} // namespace zandrel::CatalogCommands
