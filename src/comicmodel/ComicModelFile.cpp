// The comic model's archive: the comic file.
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicRow.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GraphicUtils.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"

#include <QSet>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// The program versions a reader of this format needs: 1.0.134 to open it at all, 1.0.118 to read
// it without loss.
const QString kMinimumAppVersion = QStringLiteral("1.0.134");
const QString kMinimumLosslessAppVersion = QStringLiteral("1.0.118");

// Archive keys.
const QString kCharactersArchiveKey = QStringLiteral("characters");
const QString kNameArchiveKey = QStringLiteral("name");
const QString kCreatorArchiveKey = QStringLiteral("creator");
const QString kDescriptionArchiveKey = QStringLiteral("description");
const QString kHashtagsArchiveKey = QStringLiteral("hashtags");
const QString kComicColorsArchiveKey = QStringLiteral("comicColors");
const QString kCurrentPageArchiveKey = QStringLiteral("currentPage");
const QString kPanelGutterArchiveKey = QStringLiteral("panelGutter");
const QString kWidthArchiveKey = QStringLiteral("width");
const QString kHeightArchiveKey = QStringLiteral("height");
const QString kCharacterLibraryArchiveKey = QStringLiteral("characterLibrary");
const QString kBackStyleArchiveKey = QStringLiteral("backStyle");
const QString kCatalogOpenArchiveKey = QStringLiteral("catalogOpen");
const QString kDocSettingsArchiveKey = QStringLiteral("docSettings");

Value optionalString(const QString& text)
{
    return text.isNull() ? Value() : Value(text);
}

QString decodeString(KeyedUnarchiver& coder, const QString& key)
{
    const Value value = zdlDecodeObjectOfClass(coder, PlatformClass::kString, key);
    return value.isNull() ? QString() : value.toString();
}

template <class T> ValueList valuesOf(const std::vector<std::shared_ptr<T>>& objects)
{
    ValueList values;
    values.reserve(qsizetype(objects.size()));
    for (const auto& object : objects)
        values.append(Value(ObjectPtr(object)));
    return values;
}

template <class T>
std::vector<std::shared_ptr<T>> decodeList(
    KeyedUnarchiver& coder, const QString& className, const QString& key)
{
    std::vector<std::shared_ptr<T>> objects;
    QSet<const T*> seen;
    for (const Value& member :
        zdlDecodeObjectOfClasses(coder, { PlatformClass::kArray, className }, key).toList()) {
        auto object = member.toObject<T>();
        // A member listed twice is kept once.
        if (object && !seen.contains(object.get())) {
            seen.insert(object.get());
            objects.push_back(object);
        }
    }
    return objects;
}

// Where a child of a structure element may stand: pages in the comic, rows in a page or a stack,
// panels and stacks in a row.
bool belongsIn(const ComicStructureElement& parent, const ComicStructureElement& child)
{
    if (dynamic_cast<const ComicModel*>(&parent))
        return dynamic_cast<const ComicPage*>(&child);
    if (dynamic_cast<const ComicStack*>(&parent))
        return dynamic_cast<const ComicRow*>(&child);
    if (dynamic_cast<const ComicRow*>(&parent))
        return dynamic_cast<const ComicPanel*>(&child)
            || (dynamic_cast<const ComicStack*>(&child) && !child.isComicPage());
    return false;
}

} // namespace

QString ComicModel::className() const
{
    return kClassName;
}

void ComicModel::encodeWithCoder(KeyedArchiver& coder) const
{
    appController()->encodeFileVersion(
        kFileVersion, kMinimumAppVersion, kLosslessVersion, kMinimumLosslessAppVersion, coder);
    ComicStructureElement::encodeWithCoder(coder);
    coder.encodeObject(Value(valuesOf(m_characters)), kCharactersArchiveKey);
    coder.encodeObject(optionalString(m_name), kNameArchiveKey);
    coder.encodeObject(optionalString(m_creator), kCreatorArchiveKey);
    coder.encodeObject(optionalString(m_comicDescription), kDescriptionArchiveKey);
    coder.encodeObject(optionalString(m_hashtags), kHashtagsArchiveKey);
    coder.encodeObject(m_comicColorsModel, kComicColorsArchiveKey);
    coder.encodeObject(m_currentPage, kCurrentPageArchiveKey);
    coder.encodeFloat(m_panelGutter, kPanelGutterArchiveKey);
    coder.encodeFloat(float(m_size.width()), kWidthArchiveKey);
    coder.encodeFloat(float(m_size.height()), kHeightArchiveKey);
    coder.encodeObject(Value(valuesOf(m_characterLibrary)), kCharacterLibraryArchiveKey);
    coder.encodeInteger(m_backgroundStyle, kBackStyleArchiveKey);
    coder.encodeBool(m_isCatalogViewOpen, kCatalogOpenArchiveKey);
    coder.encodeObject(m_documentSettings, kDocSettingsArchiveKey);
}

ObjectPtr ComicModel::initWithCoder(KeyedUnarchiver& coder)
{
    // This object was made as a new comic; what a file lacks keeps those values.
    appController()->validateFileVersion(kFileVersion, kLosslessVersion, coder);
    ComicStructureElement::initWithCoder(coder);
    pruneMisplacedStructure();

    setCharacters(decodeList<CharacterModel>(coder, CharacterModel::kClassName, kCharactersArchiveKey));
    auto current = zdlDecodeObjectOfClass<ComicPage>(coder, kCurrentPageArchiveKey);
    const float gutter = coder.decodeFloatForKey(kPanelGutterArchiveKey);
    // A gutter that is not a number would spread into every frame and hit test.
    m_panelGutter = std::isfinite(gutter) ? gutter : kDefaultPanelGutter;
    m_size = QSizeF(finiteOrZero(coder.decodeFloatForKey(kWidthArchiveKey)),
        finiteOrZero(coder.decodeFloatForKey(kHeightArchiveKey)));

    if (coder.containsValueForKey(kCharacterLibraryArchiveKey)) {
        m_characterLibrary = decodeList<CharacterLibraryItem>(
            coder, CharacterLibraryItem::kClassName, kCharacterLibraryArchiveKey);
        // Entries whose files are gone are dropped silently.
        std::erase_if(m_characterLibrary, [](const auto& item) { return !item->isValid(); });
    }
    if (coder.containsValueForKey(kComicColorsArchiveKey)) {
        if (auto colors = zdlDecodeObjectOfClass<CharacterModel>(coder, kComicColorsArchiveKey);
            colors && colors != m_comicColorsModel) {
            m_comicColorsModel->retire();
            m_comicColorsModel = colors;
        }
    }

    m_backgroundStyle = int(std::clamp<qint64>(coder.decodeIntegerForKey(kBackStyleArchiveKey),
        std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    m_name = decodeString(coder, kNameArchiveKey);
    m_creator = decodeString(coder, kCreatorArchiveKey);
    m_comicDescription = decodeString(coder, kDescriptionArchiveKey);
    m_hashtags = decodeString(coder, kHashtagsArchiveKey);
    if (coder.containsValueForKey(kCatalogOpenArchiveKey))
        m_isCatalogViewOpen = coder.decodeBoolForKey(kCatalogOpenArchiveKey);
    if (coder.containsValueForKey(kDocSettingsArchiveKey)) {
        if (auto settings = zdlDecodeObjectOfClass<DocumentSettings>(coder, kDocSettingsArchiveKey))
            m_documentSettings = settings;
    }

    // A current page outside the pages joins them at the end, unless it stands elsewhere already
    // (where it would get two owners); without one the first page serves.
    if (current && indexOfChild(current.get()) < 0) {
        if (current->parent() || coder.isDecoding(current)) {
            current = nullptr;
        } else {
            ComicStructureList pages = contents();
            pages.push_back(current);
            ComicStructureElement::setContents(pages);
            // The page joins what was checked above: its rows are checked in turn.
            pruneMisplacedStructure();
        }
    }
    if (numContents() == 0)
        Exception::raise(kInvalidArchiveException, QStringLiteral("The comic has no pages."));
    m_currentPage = current ? current : pageAtIndex(0);
    m_currentPanel = std::dynamic_pointer_cast<ComicPanel>(firstPanel());
    validateData();
    return shared_from_this();
}

void ComicModel::pruneMisplacedStructure()
{
    std::vector<ComicStructureElement*> pending { this };
    while (!pending.empty()) {
        ComicStructureElement* element = pending.back();
        pending.pop_back();
        const ComicStructureList children = element->contents();
        ComicStructureList kept;
        for (const auto& child : children) {
            if (belongsIn(*element, *child)) {
                kept.push_back(child);
                pending.push_back(child.get());
            } else {
                zdlLog(QStringLiteral("ComicModel removing a misplaced %1").arg(child->className()));
            }
        }
        if (kept.size() != children.size())
            element->ComicStructureElement::setContents(kept);
        // Free panels stand directly on their page.
        if (auto* page = dynamic_cast<ComicPage*>(element)) {
            for (const auto& panel : page->freePanels())
                pending.push_back(panel.get());
        }
    }
}

void registerComicModelClass(ClassRegistry& registry)
{
    registry.registerClass<ComicPage>(ComicPage::kClassName, ComicStack::kClassName);
    registry.registerClass<ComicModel>(ComicModel::kClassName, ComicStructureElement::kClassName);
    registerCharacterLibraryItemClass(registry);
}

} // namespace zandrel
