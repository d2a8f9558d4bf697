// The comic's cast and colours, and its character library.
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ColorHolders.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicModel.h"
#include "graphics/ArrayUtils.h"
#include "platform/Log.h"

namespace zandrel {

void ComicModel::setCharacters(const CharacterList& characters)
{
    // Colour edits of the cast are undone through the comic's document.
    for (const auto& character : characters)
        character->setDocument(m_document);
    changeValueForKey(kCharactersKey, [&] { m_characters = characters; });
}

CharacterModelPtr ComicModel::characterById(const QString& characterId) const
{
    for (const auto& character : m_characters) {
        if (character->characterId() == characterId)
            return character;
    }
    return nullptr;
}

CharacterModelPtr ComicModel::undoableAddNewCharacter(const QString& characterId)
{
    CharacterModelPtr character = CharacterModel::initFromId(characterId);
    // The settings every other member of a cast has (one read from a file gets them when the file
    // lacks them), so that the comic saves the same bytes before and after it is reopened.
    character->setDocumentSettings(std::make_shared<DocumentSettings>());
    character->setDocument(m_document);
    CharacterList characters = m_characters;
    characters.push_back(character);
    const auto target = self();
    if (m_document && target)
        m_document->undoableSetPropertyFor(target, kCharactersKey, detail::toValue(characters));
    else
        // Without a document nothing would hold the character its elements only link to.
        setCharacters(characters);
    return character;
}

void ComicModel::mergeInCharactersAndColors(const ElementList& elements)
{
    const ElementList flat = ArrayUtils::flattenComicElementsArray(elements);
    const auto characterFor = [this](const QString& characterId) {
        CharacterModelPtr character = characterById(characterId);
        return character ? character : undoableAddNewCharacter(characterId);
    };
    for (const ObjectPtr& element : ArrayUtils::membersOfOfKindOfClass<Part>(flat)) {
        auto* part = static_cast<Part*>(element.get());
        if (part->characterId().isEmpty())
            continue;
        const CharacterModelPtr character = characterFor(part->characterId());
        character->mergePastedColorsIn(element);
        part->setModel(character);
    }
    for (const ObjectPtr& element : ArrayUtils::membersOfOfKindOfClass<Balloon>(flat)) {
        auto* balloon = static_cast<Balloon*>(element.get());
        if (balloon->characterId().isEmpty()) {
            zdlLog(QStringLiteral("Problem merging balloon colors"));
            continue;
        }
        const CharacterModelPtr character = characterFor(balloon->characterId());
        character->mergePastedColorsIn(element);
        balloon->setModel(character);
    }
    for (const ObjectPtr& element : ArrayUtils::membersOfOfKindOfClass<ImageElement>(flat)) {
        auto* image = static_cast<ImageElement*>(element.get());
        if (image->characterId().isEmpty()) {
            zdlLog(QStringLiteral("Problem resolving image characterId"));
            continue;
        }
        image->setModel(characterFor(image->characterId()));
    }
}

void ComicModel::mergeInColors(const QList<ZDLColorPtr>& colors, const QString& characterId)
{
    CharacterModelPtr character = characterById(characterId);
    if (!character)
        character = undoableAddNewCharacter(characterId);
    for (const ZDLColorPtr& color : colors)
        character->mergeColor(color);
}

bool ComicModel::colorFromCharacterUsedIn(
    const ZDLColor* color, const QString& characterId, const Object* element) const
{
    if (!element)
        return false;
    if (const auto* part = dynamic_cast<const Part*>(element)) {
        const auto* model = dynamic_cast<const CharacterModel*>(part->model());
        // The colours of another character's parts are that character's.
        if (!model || model->characterId() != characterId)
            return false;
    }
    if (holdsColor(*element, color))
        return true;
    if (const auto* container = dynamic_cast<const Parent*>(element)) {
        for (const ObjectPtr& child : container->children()) {
            if (colorFromCharacterUsedIn(color, characterId, child.get()))
                return true;
        }
    }
    return false;
}

bool ComicModel::okToDeleteColor(const ZDLColor* color, const QString& characterId) const
{
    ComicStructureList panels;
    getPanelsInArray(panels);
    for (const auto& element : panels) {
        const auto* panel = dynamic_cast<const ComicPanel*>(element.get());
        if (!panel)
            continue;
        if (const auto* fill = dynamic_cast<const ColorFill*>(panel->fill().get());
            fill && fill->fillColor().get() == color)
            return false;
        if (colorFromCharacterUsedIn(color, characterId, panel->backLayer().get())
            || colorFromCharacterUsedIn(color, characterId, panel->frontLayer().get()))
            return false;
    }
    for (const auto& page : contents()) {
        if (colorFromCharacterUsedIn(color, characterId, page.get()))
            return false;
    }
    return true;
}

void ComicModel::needsFlushAllCachesUsingColor(const void* sender)
{
    CharacterModelPtr character;
    for (const auto& member : m_characters) {
        if (static_cast<const void*>(member.get()) == sender)
            character = member;
    }
    if (!character)
        return;
    const auto flush = [](const ElementList& parts) {
        for (const ObjectPtr& part : parts)
            asProtocol<GraphicElement>(part)->flushCachesUsingColor();
    };
    ComicStructureList panels;
    getPanelsInArray(panels);
    for (const auto& element : panels) {
        if (const auto* panel = dynamic_cast<const ComicPanel*>(element.get()))
            flush(panel->partsFromCharacter(character.get()));
    }
    for (const auto& element : contents()) {
        if (const auto* page = dynamic_cast<const ComicPage*>(element.get()))
            flush(page->floatingPartsFromCharacter(character.get()));
    }
}

// --- Character library ---

CharacterLibraryItemPtr ComicModel::getCharacterLibraryFromFile(const QString& path, bool openingIfNotFound)
{
    for (const auto& item : m_characterLibrary) {
        if (item->characterFileURL() == path)
            return item;
    }
    CharacterLibraryItemPtr item = appController()->getCharacterFromCatalogByURL(path);
    if (!item && openingIfNotFound)
        item = CharacterLibraryItem::initWithURL(path);
    if (item)
        m_characterLibrary.push_back(item);
    return item;
}

CharacterLibraryItemPtr ComicModel::getCharacterLibraryNamed(const QString& name) const
{
    for (const auto& item : m_characterLibrary) {
        if (item->characterName() == name)
            return item;
    }
    return nullptr;
}

void ComicModel::removeCharacterLibrary(const CharacterLibraryItem* item)
{
    std::erase_if(m_characterLibrary, [item](const auto& member) { return member.get() == item; });
}

} // namespace zandrel
