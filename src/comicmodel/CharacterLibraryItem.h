#pragma once

#include "platform/Object.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QVariantMap>
#include <memory>

namespace zandrel {

class CharacterModel;
class ClassRegistry;
class LibraryParent;

// One parts file the user can take parts from: an entry of a catalog, or of a comic's character
// library, which the comic file keeps. The character is read from the file on first use and kept;
// an entry that stands for a catalog item shares that item's character.
//
// Archive, in writing order: "bundleFileName" (the file's name, only for a catalog file), "url",
// "name", "scale", "fromCatalog", "partsKind", "thumbnailUrl" (only with a thumbnail). Bookmarks of
// other platforms ("bookmark") are not resolved here: the plain URL serves.
class CharacterLibraryItem : public Object {
public:
    // Where an entry comes from.
    enum Catalog : int { BuiltInCatalog = 0, PurchasedCatalog = 1, UserCatalog = 2, NotFromCatalog = 3 };
    // The part type that shows the whole character.
    static constexpr int kWholeCharacter = -1;

    CharacterLibraryItem() = default;
    // An entry for a parts file outside the catalogs, named after its character, or after the file
    // when the character has no name.
    static std::shared_ptr<CharacterLibraryItem> initWithURL(const QString& path);
    // The item of a catalog manifest's entry, in the catalog's folder; null for an entry without a
    // file name or a character name, or whose file name would leave the folder.
    static std::shared_ptr<CharacterLibraryItem> initWithManifestDictionary(
        const QVariantMap& entry, int catalog);
    // The catalog entry changed: the character and thumbnail are read again, the name is the entry's.
    void resetWithManifestDictionary(const QVariantMap& entry);
    // Opens the file as a character document (through the application controller's windows).
    bool openToEdit() const;

    static inline const QString kClassName = QStringLiteral("CharacterLibraryItem");
    QString className() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // True for an entry of a catalog item; else whether it names a readable file.
    bool isValid() const;
    // The character of the file, read on first use with its parts moved so that their bounds, grown
    // by 5, start at the origin; null when the file cannot be read as a parts file.
    std::shared_ptr<CharacterModel> character();
    // The stored name, else the character's (which is then kept).
    QString characterName();
    void setCharacterName(const QString& name) { m_characterName = name; }
    // The file's name, empty without a file.
    QString characterFileName() const;
    // The file was written: the character and its name are read again when next asked.
    void characterFileUpdated(const QString& path);
    QImage thumbnailImage();

    // Takes the catalog item's file, name, thumbnail and catalog.
    void setCatalogMaster(const std::shared_ptr<CharacterLibraryItem>& master);
    const std::shared_ptr<CharacterLibraryItem>& catalogMaster() const { return m_catalogMaster; }

    const QString& characterFileURL() const { return m_characterFilePath; }
    void setCharacterFileURL(const QString& path) { m_characterFilePath = path; }
    const QString& thumbnailFileURL() const { return m_thumbnailFilePath; }
    void setThumbnailFileURL(const QString& path) { m_thumbnailFilePath = path; }
    int fromCatalog() const { return m_fromCatalog; }
    void setFromCatalog(int catalog) { m_fromCatalog = catalog; }
    int partsKind() const { return m_partsKind; }
    void setPartsKind(int kind) { m_partsKind = kind; }
    float viewScale() const { return m_viewScale; }
    void setViewScale(float scale) { m_viewScale = scale; }
    int partType() const { return m_partType; }
    void setPartType(int type) { m_partType = type; }
    QPointF scrollPoint() const { return m_scrollPoint; }
    void setScrollPoint(const QPointF& point) { m_scrollPoint = point; }
    // The sheet of one part type's aliases the library view shows; null for the whole character.
    // Not stored: it is made again from the character.
    const std::shared_ptr<LibraryParent>& partAliasesParent() const { return m_partAliasesParent; }
    void setPartAliasesParent(const std::shared_ptr<LibraryParent>& sheet) { m_partAliasesParent = sheet; }

private:
    std::shared_ptr<CharacterModel> m_character;
    QImage m_thumbnailImage;
    std::shared_ptr<CharacterLibraryItem> m_catalogMaster;
    std::shared_ptr<LibraryParent> m_partAliasesParent;
    QString m_characterName;
    int m_partType = kWholeCharacter;
    int m_fromCatalog = NotFromCatalog;
    int m_partsKind = 0;
    float m_viewScale = 1.0f;
    QString m_characterFilePath;
    QString m_thumbnailFilePath;
    QPointF m_scrollPoint;
};

using CharacterLibraryItemPtr = std::shared_ptr<CharacterLibraryItem>;

void registerCharacterLibraryItemClass(ClassRegistry& registry);

} // namespace zandrel
