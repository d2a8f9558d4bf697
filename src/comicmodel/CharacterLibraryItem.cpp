#include "comicmodel/CharacterLibraryItem.h"

#include "app/core/CatalogManifest.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GraphicUtils.h"
#include "platform/ArchiveNames.h"
#include "platform/ArchivedURL.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <limits>
#include <new>

namespace zandrel {

namespace {

// Archive keys.
const QString kBundleFileNameArchiveKey = QStringLiteral("bundleFileName");
const QString kBookmarkArchiveKey = QStringLiteral("bookmark");
const QString kUrlArchiveKey = QStringLiteral("url");
const QString kNameArchiveKey = QStringLiteral("name");
const QString kScaleArchiveKey = QStringLiteral("scale");
const QString kFromCatalogArchiveKey = QStringLiteral("fromCatalog");
const QString kPartsKindArchiveKey = QStringLiteral("partsKind");
const QString kThumbnailUrlArchiveKey = QStringLiteral("thumbnailUrl");

// The room left around a library character's parts.
constexpr double kLibraryMargin = 5.0;
// No parts file is larger; the archive reader would refuse it anyway, after reading it whole.
constexpr qint64 kMaxPartsFileBytes = qint64(1) << 30;
// A thumbnail is a small picture; a file of more bytes than this is not one.
constexpr qint64 kMaxThumbnailFileBytes = qint64(64) << 20;

QString decodePath(KeyedUnarchiver& coder, const QString& key)
{
    const auto url = zdlDecodeObjectOfClass<ArchivedURL>(coder, key);
    return url ? url->localFile() : QString();
}

int clampedInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

std::shared_ptr<CharacterLibraryItem> CharacterLibraryItem::initWithURL(const QString& path)
{
    auto item = std::make_shared<CharacterLibraryItem>();
    item->m_characterFilePath = path;
    const auto model = item->character();
    const QString name = model ? model->characterName() : QString();
    item->m_characterName = name.isEmpty() ? QFileInfo(path).fileName() : name;
    return item;
}

std::shared_ptr<CharacterLibraryItem> CharacterLibraryItem::initWithManifestDictionary(
    const QVariantMap& entry, int catalog)
{
    const QString fileName = CatalogManifest::stringValue(entry, CatalogManifest::kPartsFilenameKey);
    const auto name = entry.constFind(CatalogManifest::kCharacterNameKey);
    if (!CatalogManifest::isPlainFileName(fileName) || name == entry.cend()
        || name->typeId() != QMetaType::QString)
        return nullptr;
    const QDir folder(appController()->getCatalogFolderURL(catalog));
    auto item = std::make_shared<CharacterLibraryItem>();
    item->m_fromCatalog = catalog;
    item->m_characterFilePath = folder.filePath(fileName);
    item->m_characterName = name->toString();
    const QString thumbnail = CatalogManifest::stringValue(entry, CatalogManifest::kThumbnailFileNameKey);
    if (CatalogManifest::isPlainFileName(thumbnail))
        item->m_thumbnailFilePath = folder.filePath(thumbnail);
    const auto kind = entry.constFind(CatalogManifest::kPartsKindKey);
    if (kind != entry.cend())
        item->m_partsKind = clampedInt(kind->toLongLong());
    return item;
}

void CharacterLibraryItem::resetWithManifestDictionary(const QVariantMap& entry)
{
    m_character = nullptr;
    m_thumbnailImage = QImage();
    m_characterName = CatalogManifest::stringValue(entry, CatalogManifest::kCharacterNameKey);
    // The shelves sort by kind before the character is read again.
    const auto kind = entry.constFind(CatalogManifest::kPartsKindKey);
    if (kind != entry.cend())
        m_partsKind = clampedInt(kind->toLongLong());
}

bool CharacterLibraryItem::openToEdit() const
{
    return !m_characterFilePath.isEmpty() && appController()->openCharacterFileToEdit(m_characterFilePath);
}

void CharacterLibraryItem::encodeWithCoder(KeyedArchiver& coder) const
{
    // A catalog file is found again by its name in the reader's own catalog.
    if (!m_characterFilePath.isEmpty() && appController()->getCharacterFromCatalogByURL(m_characterFilePath))
        coder.encodeObject(Value(characterFileName()), kBundleFileNameArchiveKey);
    coder.encodeObject(ArchivedURL::fromLocalFile(m_characterFilePath), kUrlArchiveKey);
    coder.encodeObject(m_characterName.isNull() ? Value() : Value(m_characterName), kNameArchiveKey);
    coder.encodeFloat(m_viewScale, kScaleArchiveKey);
    coder.encodeInteger(m_fromCatalog, kFromCatalogArchiveKey);
    coder.encodeInteger(m_partsKind, kPartsKindArchiveKey);
    if (!m_thumbnailFilePath.isEmpty())
        coder.encodeObject(ArchivedURL::fromLocalFile(m_thumbnailFilePath), kThumbnailUrlArchiveKey);
}

ObjectPtr CharacterLibraryItem::initWithCoder(KeyedUnarchiver& coder)
{
    m_characterFilePath = decodePath(coder, kUrlArchiveKey);
    if (coder.containsValueForKey(kBookmarkArchiveKey))
        zdlLog(QStringLiteral("Error resolving bookmark: %1")
                   .arg(QStringLiteral("bookmarks are not supported")));
    m_thumbnailFilePath = decodePath(coder, kThumbnailUrlArchiveKey);
    const Value name = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kNameArchiveKey);
    m_characterName = name.isNull() ? QString() : name.toString();
    const float scale = coder.decodeFloatForKey(kScaleArchiveKey);
    m_viewScale = std::isfinite(scale) && scale != 0.0f ? scale : 1.0f;
    m_partsKind = clampedInt(coder.decodeIntegerForKey(kPartsKindArchiveKey));
    if (coder.containsValueForKey(kFromCatalogArchiveKey)) {
        m_fromCatalog = clampedInt(coder.decodeIntegerForKey(kFromCatalogArchiveKey));
        const Value bundleName
            = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kBundleFileNameArchiveKey);
        if (!bundleName.isNull()) {
            if (auto master
                = appController()->getCharacterFromCatalogByFilename(bundleName.toString(), m_fromCatalog))
                setCatalogMaster(master);
        }
    }
    if (!m_catalogMaster && !m_characterFilePath.isEmpty()) {
        if (auto master = appController()->getCharacterFromCatalogByURL(m_characterFilePath))
            setCatalogMaster(master);
    }
    return shared_from_this();
}

bool CharacterLibraryItem::isValid() const
{
    if (m_catalogMaster)
        return true;
    if (m_characterFilePath.isEmpty())
        return false;
    const QFileInfo info(m_characterFilePath);
    return info.isFile() && info.isReadable();
}

std::shared_ptr<CharacterModel> CharacterLibraryItem::character()
{
    if (m_character || m_characterFilePath.isEmpty())
        return m_character;
    if (m_catalogMaster && m_catalogMaster.get() != this) {
        m_character = m_catalogMaster->character();
    } else {
        const std::optional<QByteArray> data = readRegularFile(
            m_characterFilePath, kMaxPartsFileBytes, nullptr, &PropertyList::canBeginBinary);
        if (!data)
            return nullptr;
        try {
            m_character = readPartsFile(*data);
        } catch (const std::exception&) {
            // An unreadable file, or one too large for the memory left, gives no character; the
            // library shows nothing for it.
            return nullptr;
        }
        if (m_character && m_character->numChildren() > 0) {
            const QRectF grown = insetRect(m_character->getBounds(), -kLibraryMargin, -kLibraryMargin);
            const QPointF offset = -grown.topLeft();
            for (const ObjectPtr& child : m_character->children()) {
                if (auto* graphic = asProtocol<GraphicElement>(child))
                    graphic->offsetBy(offset, true);
            }
        }
    }
    if (m_character)
        m_partsKind = m_character->partsKind();
    return m_character;
}

QString CharacterLibraryItem::characterName()
{
    if (m_characterName.isNull()) {
        if (const auto model = character())
            m_characterName = model->characterName();
    }
    return m_characterName;
}

QString CharacterLibraryItem::characterFileName() const
{
    return m_characterFilePath.isEmpty() ? QString() : QFileInfo(m_characterFilePath).fileName();
}

void CharacterLibraryItem::characterFileUpdated(const QString& path)
{
    if (path != m_characterFilePath)
        return;
    m_character = nullptr;
    m_characterName = QString();
}

QImage CharacterLibraryItem::thumbnailImage()
{
    if (m_thumbnailImage.isNull() && !m_thumbnailFilePath.isEmpty()) {
        try {
            m_thumbnailImage = QImage::fromData(
                readRegularFile(m_thumbnailFilePath, kMaxThumbnailFileBytes).value_or(QByteArray()));
        } catch (const std::bad_alloc&) {
            // No memory for the picture: the entry shows without one, as for a damaged file.
        }
    }
    return m_thumbnailImage;
}

void CharacterLibraryItem::setCatalogMaster(const std::shared_ptr<CharacterLibraryItem>& master)
{
    // An item standing for itself would load its character through itself for ever.
    if (master.get() == this)
        return;
    m_catalogMaster = master;
    if (!master)
        return;
    m_characterFilePath = master->m_characterFilePath;
    m_characterName = master->m_characterName;
    m_thumbnailFilePath = master->m_thumbnailFilePath;
    m_fromCatalog = master->m_fromCatalog;
}

void registerCharacterLibraryItemClass(ClassRegistry& registry)
{
    registerArchivedURLClass(registry);
    registry.registerClass<CharacterLibraryItem>(CharacterLibraryItem::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
