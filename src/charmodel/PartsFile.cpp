// The character model's archive keys and the entry points for parts-file bytes.
#include "charmodel/PartsFile.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartElement.h"
#include "comicmodel/ComicElementClassNames.h"
#include "comicmodel/ComicModelClasses.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ColorFill.h"
#include "graphics/ZDLImage.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// The program versions a reader of this format needs: 1.0.134 to open it at all, 1.0.113 to read
// it without loss.
const QString kMinimumAppVersion = QStringLiteral("1.0.134");
const QString kMinimumLosslessAppVersion = QStringLiteral("1.0.113");

const QString kProductCodeKey = QStringLiteral("productCode");
const QString kColorsKey = QStringLiteral("colors");
const QString kPartsKey = QStringLiteral("parts");
const QString kFillColorKey = QStringLiteral("fillColor");
const QString kFillColorAdjustKey = QStringLiteral("fillColorAdjust");
const QString kNameKey = QStringLiteral("name");
const QString kCreatorKey = QStringLiteral("creator");
const QString kTracingImageKey = QStringLiteral("tracingImage");
const QString kTracingImageScaleKey = QStringLiteral("tracingImageScale");
const QString kTracingImageAlphaKey = QStringLiteral("tracingImageAlpha");
const QString kTracingImageVisibleKey = QStringLiteral("tracingImageVisible");
const QString kStylesKey = QStringLiteral("styles");
const QString kPartsKindKey = QStringLiteral("partsKind");
const QString kThumbScaleKey = QStringLiteral("thumbScale");
const QString kThumbLeftKey = QStringLiteral("thumbLeft");
const QString kThumbTopKey = QStringLiteral("thumbTop");
const QString kDocSettingsKey = QStringLiteral("docSettings");

template <class T> ValueList valuesOf(const QList<T>& objects)
{
    ValueList values;
    values.reserve(objects.size());
    for (const T& object : objects)
        values.append(Value(object));
    return values;
}

// Floats that a damaged file makes infinite or NaN would spread through bounds, hit tests and
// drawing; they read as the fallback instead.
float finiteOr(float value, float fallback)
{
    return std::isfinite(value) ? value : fallback;
}

} // namespace

void CharacterModel::encodeWithCoder(KeyedArchiver& coder) const
{
    appController()->encodeFileVersion(
        kFileVersion, kMinimumAppVersion, kLosslessVersion, kMinimumLosslessAppVersion, coder);
    if (!m_productCode.isEmpty())
        coder.encodeObject(Value(m_productCode), kProductCodeKey);
    coder.encodeObject(Value(valuesOf(m_colors)), kColorsKey);
    coder.encodeObject(Value(valuesOf(m_parts.items())), kPartsKey);
    // The defaults for new paths, with the remembered fill colour among them.
    encodeStyleFields(coder, m_style, stylefields::lineColor, stylefields::lineAlpha);
    coder.encodeObject(m_fillColor, kFillColorKey);
    encodeStyleFields(coder, m_style, stylefields::lineColorAdjust, stylefields::lineDash, stylefields::fill,
        stylefields::fillAlpha, stylefields::lineWeight);
    coder.encodeObject(Value(m_characterName), kNameKey);
    coder.encodeObject(Value(m_creator), kCreatorKey);
    if (m_tracingImage)
        coder.encodeObject(m_tracingImage, kTracingImageKey);
    coder.encodeFloat(m_tracingImageScale, kTracingImageScaleKey);
    coder.encodeFloat(m_tracingImageAlpha, kTracingImageAlphaKey);
    coder.encodeBool(m_tracingImageVisible, kTracingImageVisibleKey);
    coder.encodeObject(Value(valuesOf(m_styles)), kStylesKey);
    coder.encodeInteger(m_partsKind, kPartsKindKey);
    coder.encodeFloat(m_thumbnailScale, kThumbScaleKey);
    coder.encodeFloat(static_cast<float>(m_thumbnailOrigin.x()), kThumbLeftKey);
    coder.encodeFloat(static_cast<float>(m_thumbnailOrigin.y()), kThumbTopKey);
    coder.encodeObject(m_documentSettings, kDocSettingsKey);
}

ObjectPtr CharacterModel::initWithCoder(KeyedUnarchiver& coder)
{
    // This object was made as a new character; what a file lacks keeps those values.
    appController()->validateFileVersion(kFileVersion, kLosslessVersion, coder);
    removeAllColors();

    setProductCode(zdlDecodeObjectOfClass(coder, PlatformClass::kString, kProductCodeKey).toString());

    // Observation starts only once the names are unique, below. A colour listed twice is kept once.
    QSet<const ZDLColor*> seen;
    for (const Value& member :
        zdlDecodeObjectOfClasses(coder, { PlatformClass::kArray, ZDLColor::kClassName }, kColorsKey)
            .toList()) {
        ZDLColorPtr color = member.toObject<ZDLColor>();
        if (color && !seen.contains(color.get())) {
            seen.insert(color.get());
            m_colors.append(color);
        }
    }
    paletteChanged();

    const ElementList decoded = zdlDecodeElementsOfClasses(coder, comicElementClassNames(), kPartsKey);
    m_parts.adoptDecoded(coder, decoded);

    // A palette without none, black and white in front (a damaged or very old file) is brought into
    // the current form, so that the fallbacks below and every later user find them there.
    // The shared colours are taken out first: the migration puts them in front without looking
    // for them further down, which would list them twice.
    if (!hasRequiredColorsInFront()) {
        m_colors.removeIf([](const ZDLColorPtr& color) { return color->locked(); });
        paletteChanged();
        updateColors();
    }

    m_characterName = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kNameKey).toString();
    m_creator = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kCreatorKey).toString();

    m_tracingImage = zdlDecodeObjectOfClass<ZDLImage>(coder, kTracingImageKey);
    m_tracingImageScale = finiteOr(coder.decodeFloatForKey(kTracingImageScaleKey), 0.0f);
    m_tracingImageAlpha = finiteOr(coder.decodeFloatForKey(kTracingImageAlphaKey), 0.0f);
    if (coder.containsValueForKey(kTracingImageVisibleKey))
        m_tracingImageVisible = coder.decodeBoolForKey(kTracingImageVisibleKey);

    // What a file lacks reads as the field's missing value, as does a float that is not finite.
    const StyleFieldReading reading { .checksPresence = true, .nonFiniteAsMissing = true };
    decodeStyleFields(coder, m_style, reading, stylefields::lineColor, stylefields::lineAlpha);
    if (!m_style.lineColor)
        m_style.lineColor = blackColor();
    m_fillColor = zdlDecodeObjectOfClass<ZDLColor>(coder, kFillColorKey);
    if (!m_fillColor)
        m_fillColor = whiteColor();
    decodeStyleFields(coder, m_style, reading, stylefields::lineColorAdjust, stylefields::fill);

    // A copy: a damaged file could share the fill object with a path.
    m_style.fill = storedStyleValue(m_style.fill);
    if (!m_style.fill) {
        // Older files kept only the colour and its adjustment.
        auto colorFill = std::make_shared<ColorFill>();
        colorFill->setFillColor(m_fillColor);
        colorFill->setFillColorAdjust(finiteOr(coder.decodeFloatForKey(kFillColorAdjustKey), 0.0f));
        m_style.fill = colorFill;
    } else if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get());
               colorFill && !colorFill->fillColor()) {
        // New paths start from this fill; without a colour they would have nothing to merge.
        colorFill->setFillColor(m_fillColor);
    }

    decodeStyleFields(
        coder, m_style, reading, stylefields::fillAlpha, stylefields::lineWeight, stylefields::lineDash);
    const qint64 kind = coder.decodeIntegerForKey(kPartsKindKey);
    m_partsKind = static_cast<int>(
        std::clamp<qint64>(kind, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));

    if (coder.containsValueForKey(kThumbScaleKey)) {
        // A scale of zero or less would make the thumbnail frame infinite.
        const float scale = coder.decodeFloatForKey(kThumbScaleKey);
        if (std::isfinite(scale) && scale > 0.0f)
            m_thumbnailScale = scale;
        const float left = coder.decodeFloatForKey(kThumbLeftKey);
        const float top = coder.decodeFloatForKey(kThumbTopKey);
        if (std::isfinite(left) && std::isfinite(top))
            m_thumbnailOrigin = QPointF(left, top);
    }

    if (coder.containsValueForKey(kDocSettingsKey)) {
        if (auto settings = zdlDecodeObjectOfClass<DocumentSettings>(coder, kDocSettingsKey))
            m_documentSettings = settings;
    }

    makeColorNamesUnique();
    for (const ZDLColorPtr& color : std::as_const(m_colors))
        startObservingColor(color);

    const Value styles
        = zdlDecodeObjectOfClasses(coder, { PlatformClass::kArray, NamedShapeStyle::kClassName }, kStylesKey);
    if (styles.type() == Value::Type::List) {
        m_styles.clear();
        for (const Value& member : styles.toList()) {
            if (NamedShapeStylePtr style = member.toObject<NamedShapeStyle>())
                m_styles.append(style);
        }
    } else {
        // Older files had no style list.
        createDefaultStyles();
    }

    postUpdateModelColors();
    validateData();
    return shared_from_this();
}

bool CharacterModel::hasRequiredColorsInFront() const
{
    // Migrated palettes may hold colours of their own named Black and White there.
    return m_colors.size() >= 3 && m_colors.at(0) == ZDLColor::noneColor()
        && (m_colors.at(1) == ZDLColor::blackColor() || m_colors.at(1)->name() == localized("Black"))
        && (m_colors.at(2) == ZDLColor::whiteColor() || m_colors.at(2)->name() == localized("White"));
}

namespace {

void registerClasses()
{
    // The class chains written in the file come from the registry too, so writing needs it as
    // much as reading. Balloons and groups of free objects belong to the comic model but may
    // stand in a character.
    ClassRegistry::shared().registerOnce(&registerComicModelClasses);
}

} // namespace

QByteArray archivedPartsFile(const CharacterModel& model)
{
    return partsFileArchive(model).encodedData();
}

KeyedArchive partsFileArchive(const CharacterModel& model)
{
    registerClasses();
    return KeyedArchiver::archiveWithRootObject(std::const_pointer_cast<Object>(model.shared_from_this()));
}

CharacterModelPtr readPartsFile(const QByteArray& data)
{
    registerClasses();
    const Value root = KeyedUnarchiver::unarchive(data, { CharacterModel::kClassName });
    CharacterModelPtr model = root.toObject<CharacterModel>();
    if (!model)
        Exception::raise(kInvalidArchiveException, kNotACharacterReason);
    return model;
}

} // namespace zandrel
