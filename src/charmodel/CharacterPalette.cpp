// The palette operations of the character model: required colours, undoable additions and
// removals, observation of colour edits, merging, migration and colour usage.
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ColorHolders.h"
#include "charmodel/ImageElement.h"
#include "charmodel/PartPath.h"
#include "charmodel/UIUtils.h"
#include "comicmodel/Balloon.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ColorFill.h"
#include "graphics/ShapeStyle.h"
#include "graphics/StyleKeys.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

#include <cmath>
#include <optional>

namespace zandrel {

using namespace stylekeys;

namespace {

bool hasColorFill(const Object& object)
{
    return colorFillOf(object) != nullptr;
}

// What isSameColorAs compares, as a key: whether none, and the components (a negative zero as
// zero). A component that is not a number equals nothing, so such a colour has no key.
std::optional<QByteArray> valueKey(const ZDLColor& color)
{
    const RgbColor value = color.color();
    const double components[] = { value.red() + 0.0, value.green() + 0.0, value.blue() + 0.0,
        value.alpha() + 0.0, color.isNone() ? 1.0 : 0.0 };
    for (const double component : components) {
        if (std::isnan(component))
            return std::nullopt;
    }
    return QByteArray(reinterpret_cast<const char*>(components), sizeof(components));
}

} // namespace

// --- Reading ---

ZDLColorPtr CharacterModel::colorAt(qsizetype index) const
{
    return index >= 0 && index < m_colors.size() ? m_colors.at(index) : nullptr;
}

void CharacterModel::setColors(const QList<ZDLColorPtr>& colors)
{
    for (const ZDLColorPtr& color : std::as_const(m_colors))
        stopObservingColor(color);
    m_colors.clear();
    for (const ZDLColorPtr& color : colors) {
        // A list entry that is no colour (a damaged file) would break every palette walk.
        if (!color)
            continue;
        m_colors.append(color);
        startObservingColor(color);
    }
    paletteChanged();
    postUpdateModelColors();
}

void CharacterModel::PaletteIndex::add(const ZDLColorPtr& color)
{
    members.insert(color.get());
    if (!firstNamed.contains(color->name()))
        firstNamed.insert(color->name(), color);
    if (const std::optional<QByteArray> key = valueKey(*color); key && !firstOfValue.contains(*key))
        firstOfValue.insert(*key, color);
}

const CharacterModel::PaletteIndex& CharacterModel::paletteIndex() const
{
    if (!m_paletteIndex.valid) {
        m_paletteIndex = PaletteIndex();
        for (const ZDLColorPtr& color : m_colors)
            m_paletteIndex.add(color);
        m_paletteIndex.valid = true;
    }
    return m_paletteIndex;
}

ZDLColorPtr CharacterModel::getColorNamed(const QString& name) const
{
    ZDLColorPtr named = paletteIndex().firstNamed.value(name);
    // A name changed where the palette could not see it (a colour it does not watch) is found by
    // walking it.
    if (named && named->name() != name) {
        paletteChanged();
        named = paletteIndex().firstNamed.value(name);
    }
    return named;
}

ZDLColorPtr CharacterModel::colorFromName(const QString& text) const
{
    if (ZDLColorPtr named = getColorNamed(text))
        return named;
    if (ZDLColor::validHexColor(text))
        return ZDLColor::colorFromHexNamed(text, QString());
    return nullptr;
}

ZDLColorPtr CharacterModel::colorMatchingColor(const ZDLColor* color) const
{
    const std::optional<QByteArray> key = color ? valueKey(*color) : std::nullopt;
    if (!key)
        return nullptr;
    ZDLColorPtr matching = paletteIndex().firstOfValue.value(*key);
    if (matching && !matching->isSameColorAs(color)) {
        paletteChanged();
        matching = paletteIndex().firstOfValue.value(*key);
    }
    return matching;
}

bool CharacterModel::ownsColor(const ZDLColor* color) const
{
    return color && paletteIndex().members.contains(color);
}

QString CharacterModel::uniqueNameForColor(const ZDLColor* color, const QString& requested) const
{
    return UIUtils::uniqueNameForItem(color, m_colors, requested);
}

// --- Changing ---

void CharacterModel::setupRequiredColors()
{
    m_colors.append(ZDLColor::noneColor());
    m_colors.append(ZDLColor::blackColor());
    m_colors.append(ZDLColor::whiteColor());
    paletteChanged();
    m_style.lineColor = blackColor();
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(whiteColor());
    setFill(fill);
}

void CharacterModel::addColor(const ZDLColorPtr& color)
{
    if (!color)
        return;
    m_colors.append(color);
    if (m_paletteIndex.valid)
        m_paletteIndex.add(color);
    startObservingColor(color);
    postUpdateModelColors();
}

void CharacterModel::insertColor(const ZDLColorPtr& color, qsizetype index)
{
    if (!color)
        return;
    m_colors.insert(std::clamp<qsizetype>(index, 0, m_colors.size()), color);
    paletteChanged();
    startObservingColor(color);
    postUpdateModelColors();
}

void CharacterModel::removeColor(const ZDLColorPtr& color)
{
    // None, black and white stand at the front of every palette; everything relies on them.
    if (!color || color->locked())
        return;
    if (m_style.lineColor == color)
        m_style.lineColor = blackColor();
    if (m_fillColor == color)
        setFillColor(whiteColor());
    if (m_stylePasteboard) {
        if (m_stylePasteboard->lineColor() == color)
            m_stylePasteboard->setLineColor(blackColor());
        if (m_stylePasteboard->fillColor() == color)
            m_stylePasteboard->setFillColor(whiteColor());
    }
    stopObservingColor(color);
    m_colors.removeAll(color);
    paletteChanged();
    postUpdateModelColors();
}

void CharacterModel::removeColorAtIndex(qsizetype index)
{
    if (ZDLColorPtr color = colorAt(index))
        removeColor(color);
}

void CharacterModel::removeAllColors()
{
    for (const ZDLColorPtr& color : std::as_const(m_colors))
        stopObservingColor(color);
    m_colors.clear();
    paletteChanged();
}

void CharacterModel::registerUndo(std::function<void(CharacterModel&)> action)
{
    if (!m_document)
        return;
    std::weak_ptr<Object> weak = weak_from_this();
    m_document->undoManager()->registerUndo(this, [weak, action = std::move(action)] {
        if (auto self = std::static_pointer_cast<CharacterModel>(weak.lock()))
            action(*self);
    });
}

void CharacterModel::undoableAddColor(const ZDLColorPtr& color)
{
    if (!color)
        return;
    registerUndo([color](CharacterModel& model) { model.undoableDeleteColor(color); });
    addColor(color);
}

void CharacterModel::undoableInsertColor(const ZDLColorPtr& color, qsizetype index)
{
    if (!color)
        return;
    registerUndo([color](CharacterModel& model) { model.undoableDeleteColor(color); });
    insertColor(color, index);
}

void CharacterModel::undoableDeleteColor(const ZDLColorPtr& color)
{
    const qsizetype index = color ? m_colors.indexOf(color) : -1;
    if (index < 0 || color->locked())
        return;
    registerUndo([color, index](CharacterModel& model) { model.undoableInsertColor(color, index); });
    removeColorAtIndex(index);
}

void CharacterModel::postUpdateModelColors() const
{
    NotificationCenter::defaultCenter().post(kUpdateModelColorsNotification, this);
}

// --- Observing ---

void CharacterModel::startObservingColor(const ZDLColorPtr& color)
{
    if (!color || color->locked())
        return;
    const auto callback = [this](Object& object, const QString& key, const Value& oldValue, const Value&) {
        if (auto* color = dynamic_cast<ZDLColor*>(&object))
            colorChanged(*color, key, oldValue);
    };
    color->addObserver(ZDLColor::kNameKey, this, callback);
    color->addObserver(ZDLColor::kColorKey, this, callback);
}

void CharacterModel::stopObservingColor(const ZDLColorPtr& color)
{
    if (color && !color->locked())
        color->removeObservers(this);
}

void CharacterModel::colorChanged(ZDLColor& color, const QString& key, const Value& oldValue)
{
    paletteChanged();
    const ObjectPtr edited = color.shared_from_this();
    registerUndo(
        [key, edited, oldValue](CharacterModel& model) { model.changeKeyPath(key, edited, oldValue); });
    if (m_document)
        m_document->undoManager()->setActionName(localized("Edit Color"));
    postUpdateModelColors();
    if (key == ZDLColor::kColorKey) {
        NotificationCenter::defaultCenter().post(kFlushAllCachesUsingColorNotification, this);
        flushAllCachesUsingColor();
        if (m_document)
            m_document->updateViews();
    } else if (key == ZDLColor::kNameKey) {
        // Renaming again is observed in turn and so becomes a further step of the same edit.
        const QString unique = uniqueNameForColor(&color, color.name());
        if (unique != color.name())
            color.setName(unique);
    }
}

void CharacterModel::changeKeyPath(const QString& keyPath, const ObjectPtr& object, const Value& value)
{
    if (object)
        object->setValueForKeyPath(value, keyPath);
}

// --- Merging and migrating ---

ZDLColorPtr CharacterModel::mergeColor(const ZDLColorPtr& color)
{
    // A path without a line colour keeps none; a null entry must never reach the palette.
    if (!color)
        return nullptr;
    if (ownsColor(color.get()))
        return color;
    if (ZDLColorPtr named = getColorNamed(color->name()))
        return named;
    undoableAddColor(color);
    return color;
}

void CharacterModel::mergePastedColorsIn(const ObjectPtr& object)
{
    if (!object || dynamic_cast<const ImageElement*>(object.get()))
        return;
    if (holdsColors(object.get())) {
        if (ZDLColorPtr line = lineColorOf(*object))
            object->setValueForKey(mergeColor(line), kLineColor);
        if (ZDLColorPtr fill = fillColorOf(*object))
            object->setValueForKey(mergeColor(fill), kFillColor);
    }
    // Every child, not only containers: a balloon inside a pasted group holds colours too.
    if (const auto* container = asProtocol<Parent>(object)) {
        for (const ObjectPtr& child : container->children())
            mergePastedColorsIn(child);
    }
}

ZDLColorPtr CharacterModel::updateColor(const ZDLColorPtr& color)
{
    if (!color)
        return noneColor();
    if (ownsColor(color.get()))
        return color;
    if (ZDLColorPtr matching = colorMatchingColor(color.get()))
        return matching;
    m_colors.append(color);
    if (m_paletteIndex.valid)
        m_paletteIndex.add(color);
    startObservingColor(color);
    return color;
}

void CharacterModel::updateColorsIn(const ObjectPtr& object)
{
    if (!object)
        return;
    if (holdsColors(object.get())) {
        object->setValueForKey(updateColor(lineColorOf(*object)), kLineColor);
        if (hasColorFill(*object))
            object->setValueForKey(updateColor(fillColorOf(*object)), kFillColor);
    }
    if (const auto* container = asProtocol<Parent>(object)) {
        for (const ObjectPtr& child : container->children())
            updateColorsIn(child);
    }
}

void CharacterModel::updateColors()
{
    // None goes in front once: a palette that holds it further down must not list it twice.
    if (m_colors.isEmpty() || m_colors.first() != ZDLColor::noneColor()) {
        m_colors.removeAll(ZDLColor::noneColor());
        m_colors.insert(0, ZDLColor::noneColor());
        paletteChanged();
    }

    // Black at 1 and white at 2, moving named entries there or putting the shared ones in.
    const auto placeAt = [this](qsizetype index, const QString& name, const ZDLColorPtr& shared) {
        const ZDLColorPtr named = getColorNamed(name);
        if (!named) {
            m_colors.insert(index, shared);
            paletteChanged();
            return;
        }
        const qsizetype at = m_colors.indexOf(named);
        if (at != index && at > 0) {
            m_colors.removeAt(at);
            m_colors.insert(std::min(index, m_colors.size()), named);
            paletteChanged();
        }
    };
    placeAt(1, localized("Black"), ZDLColor::blackColor());
    placeAt(2, localized("White"), ZDLColor::whiteColor());

    // Older palettes had their own copies of white and black under these names.
    const auto dropDuplicate = [this](const QString& name, qsizetype ofIndex) {
        const ZDLColorPtr named = getColorNamed(name);
        const ZDLColorPtr entry = colorAt(ofIndex);
        if (named && entry && named != entry && named->isSameColorAs(entry)) {
            stopObservingColor(named);
            m_colors.removeAll(named);
            paletteChanged();
        }
    };
    dropDuplicate(localized("Hilite"), 2);
    dropDuplicate(localized("Shadow"), 1);

    for (const ObjectPtr& part : m_parts.items())
        updateColorsIn(part);
    // Colours appended by value bear the names they came with, which other colours may bear too
    // (an import's unnamed value colours all bear none).
    makeColorNamesUnique();
    m_style.lineColor = colorAt(1);
    setUnconvertingFillColor(colorAt(2));
    postUpdateModelColors();
}

void CharacterModel::makeColorNamesUnique()
{
    QStringList names;
    names.reserve(m_colors.size());
    for (const ZDLColorPtr& color : std::as_const(m_colors))
        names.append(color->name());
    UniqueNames unique(names);
    for (const ZDLColorPtr& color : std::as_const(m_colors)) {
        if (!color->locked() && unique.holders(color->name()) > 1)
            color->setName(unique.rename(color->name()));
    }
    paletteChanged();
}

// --- Usage ---

bool CharacterModel::colorUsedIn(const ZDLColor* color, const Object* object) const
{
    if (!color || !object)
        return false;
    if (object == this) {
        if (m_stylePasteboard
            && (m_stylePasteboard->lineColor().get() == color
                || m_stylePasteboard->fillColor().get() == color))
            return true;
        if (m_style.lineColor.get() == color || m_fillColor.get() == color)
            return true;
        for (const NamedShapeStylePtr& style : m_styles) {
            if (style && (style->lineColor().get() == color || style->fillColor().get() == color))
                return true;
        }
    }
    if (holdsColor(*object, color))
        return true;
    if (const auto* container = dynamic_cast<const Parent*>(object)) {
        for (const ObjectPtr& child : container->children()) {
            if (colorUsedIn(color, child.get()))
                return true;
        }
    }
    return false;
}

bool CharacterModel::okToDeleteColor(const ZDLColor* color) const
{
    return !colorUsedIn(color, this);
}

void CharacterModel::replaceColor(
    const ZDLColorPtr& oldColor, const ZDLColorPtr& newColor, const ObjectPtr& object, ZDLDocument* document)
{
    if (!oldColor || !object || !document)
        return;
    const Value newValue(newColor);
    const Value oldValue(oldColor);
    const auto replaceInStyle = [&](const std::shared_ptr<ShapeStyle>& style) {
        if (!style)
            return;
        if (style->lineColor() == oldColor)
            document->undoableSetPropertyFor(style, kLineColor, newValue, oldValue);
        if (style->fillColor() == oldColor)
            document->undoableSetPropertyFor(style, kFillColor, newValue, oldValue);
    };
    if (object.get() == this) {
        replaceInStyle(m_stylePasteboard);
        for (const NamedShapeStylePtr& style : m_styles)
            replaceInStyle(style);
        if (m_style.lineColor == oldColor)
            document->undoableSetPropertyFor(object, kLineColor, newValue, oldValue);
        // Not "fillColor": that would turn a gradient default fill into a colour fill.
        if (m_fillColor == oldColor)
            document->undoableSetPropertyFor(object, kUnconvertingFillColorKey, newValue, oldValue);
    }
    if (holdsColors(object.get())) {
        if (lineColorOf(*object) == oldColor)
            document->undoableSetPropertyFor(object, kLineColor, newValue, oldValue);
        if (fillColorOf(*object) == oldColor)
            document->undoableSetPropertyFor(object, kFillColor, newValue, oldValue);
    }
    if (const auto* container = asProtocol<Parent>(object)) {
        for (const ObjectPtr& child : container->children())
            replaceColor(oldColor, newColor, child, document);
    }
}

} // namespace zandrel
