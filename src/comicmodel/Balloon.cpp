#include "comicmodel/Balloon.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/ComicGraphicElementState.h"
#include "comicmodel/ComicStructureElement.h"
#include "comicmodel/PanelLayer.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ColorFill.h"
#include "graphics/DefaultsExtensions.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicUtils.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/DecodingBudget.h"
#include "platform/FontRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

namespace zandrel {

using namespace stylekeys;

namespace {

// Archive keys beside those of the style fields.
const QString kOriginXArchiveKey = QStringLiteral("originX");
const QString kOriginYArchiveKey = QStringLiteral("originY");
const QString kWidthArchiveKey = QStringLiteral("width");
const QString kTextArchiveKey = QStringLiteral("attributedText");
// What laying out a character of a balloon's text makes: its glyph, position and line records.
constexpr qint64 kLayoutBytesPerCharacter = 32;
// Older files hold the text storage itself.
const QString kLegacyTextArchiveKey = QStringLiteral("formattedText");
const QString kShapeArchiveKey = QStringLiteral("shape");
const QString kStyleArchiveKey = QStringLiteral("style");
const QString kPointersArchiveKey = QStringLiteral("pointers");
const QString kModelArchiveKey = QStringLiteral("model");
const QString kCharacterIdArchiveKey = QStringLiteral("characterId");

int clampedInt(qint64 value)
{
    return static_cast<int>(
        std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

float sanitizedWidth(float width)
{
    if (!std::isfinite(width) || width < 0.0f)
        return 0.0f;
    return std::min(width, static_cast<float>(TextLayoutManager::kMaxContainerExtent));
}

} // namespace

// In the order of the archive.
const ElementFields<Balloon>& Balloon::fields()
{
    namespace style = stylefields;
    static const ElementFields<Balloon> declared {
        { property<Balloon>(kOriginKey, &Balloon::origin, &Balloon::setOrigin),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                coder.encodeFloat(static_cast<float>(balloon.m_origin.x()), kOriginXArchiveKey);
                coder.encodeFloat(static_cast<float>(balloon.m_origin.y()), kOriginYArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_origin = QPointF(finiteOrZero(coder.decodeFloatForKey(kOriginXArchiveKey)),
                    finiteOrZero(coder.decodeFloatForKey(kOriginYArchiveKey)));
            } },
        { property<Balloon>(kWidthKey, &Balloon::width, &Balloon::setWidth),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                coder.encodeFloat(balloon.m_width, kWidthArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.setWidth(coder.decodeFloatForKey(kWidthArchiveKey));
            },
            true },
        { property<Balloon>(kFormattedTextKey, &Balloon::formattedText, &Balloon::setFormattedText),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                coder.encodeObject(Value(balloon.m_layout.text()), kTextArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                // The old key was read without a class restriction; only attributed strings are of
                // use here.
                const Value text = coder.containsValueForKey(kLegacyTextArchiveKey)
                    ? zdlDecodeObjectOfClass(coder, PlatformClass::kAttributedString, kLegacyTextArchiveKey)
                    : zdlDecodeObjectOfClass(coder, PlatformClass::kMutableAttributedString, kTextArchiveKey);
                if (text.type() == Value::Type::AttributedText) {
                    // Each balloon lays its text out on its own, and a file can name one long text
                    // from many balloons: the layout to come is charged per balloon.
                    const AttributedText attributed = text.toAttributedText();
                    DecodingBudget::charge(kLayoutBytesPerCharacter * qint64(attributed.length()));
                    balloon.releaseLettering();
                    balloon.m_layout.setText(attributed);
                    balloon.m_allowance = LetteringAllowance::forFileBeingRead();
                }
            },
            true },
        { property<Balloon>(kShapeKey, &Balloon::shape, &Balloon::setShape),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                coder.encodeInteger(balloon.m_shape, kShapeArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_shape = clampedInt(coder.decodeIntegerForKey(kShapeArchiveKey));
            },
            true, [] { return localized("Shape:"); },
            [] {
                return QStringList { localized("Standard"), localized("Ellipse"),
                    localized("Rounded Rectangle"), localized("Rectangle"), localized("Fitted"),
                    localized("Text Block") };
            } },
        { property<Balloon>(kStyleKey, &Balloon::style, &Balloon::setStyle),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                coder.encodeInteger(balloon.m_edgeStyle, kStyleArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_edgeStyle = clampedInt(coder.decodeIntegerForKey(kStyleArchiveKey));
            },
            true, [] { return localized("Style:"); },
            [] {
                return QStringList { localized("Plain"), localized("Rough Spikes"), localized("Spikes"),
                    localized("Scallops"), localized("Rough Scallops") };
            } },
        { property<Balloon>(
              kPointersKey,
              [](const Balloon& balloon) {
                  const BalloonPointerList& pointers = balloon.pointers();
                  return std::vector<BalloonPointerPtr>(pointers.begin(), pointers.end());
              },
              [](Balloon& balloon, const std::vector<BalloonPointerPtr>& pointers) {
                  balloon.setPointers(BalloonPointerList(pointers.begin(), pointers.end()));
              }),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                ValueList pointers;
                pointers.reserve(balloon.m_pointers.items().size());
                for (const BalloonPointerPtr& pointer : balloon.m_pointers.items())
                    pointers.append(Value(pointer));
                coder.encodeObject(Value(pointers), kPointersArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                // Without the key the balloon has no pointer.
                BalloonPointerList pointers;
                for (const ObjectPtr& object :
                    zdlDecodeElementsOfClasses(coder, { BalloonPointer::kClassName }, kPointersArchiveKey)) {
                    if (auto pointer = std::dynamic_pointer_cast<BalloonPointer>(object))
                        pointers.append(std::move(pointer));
                }
                balloon.m_pointers.clear();
                balloon.m_pointers.adoptDecoded(coder, pointers);
            },
            true },
        // The style fields balloons have: no line or fill opacity and no blur. A refused colour or
        // fill keeps black and white: a null colour would be merged into a palette.
        { styleProperty(style::lineColor),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                encodeStyleField(coder, balloon.m_style, style::lineColor);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                if (!coder.containsValueForKey(style::lineColor.archiveKey))
                    return;
                StyleValues read;
                decodeStyleField(coder, read, style::lineColor, {});
                if (read.lineColor)
                    balloon.m_style.lineColor = read.lineColor;
            },
            true },
        { styleProperty(style::lineColorAdjust),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                encodeStyleField(coder, balloon.m_style, style::lineColorAdjust);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_style.lineColorAdjust
                    = finiteOrZero(coder.decodeFloatForKey(style::lineColorAdjust.archiveKey));
            },
            true },
        { styleProperty(style::lineWeight),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                encodeStyleField(coder, balloon.m_style, style::lineWeight);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                if (!coder.containsValueForKey(style::lineWeight.archiveKey))
                    return;
                const float weight = coder.decodeFloatForKey(style::lineWeight.archiveKey);
                if (std::isfinite(weight))
                    balloon.m_style.lineWeight = boundedStyleValue(style::lineWeight, weight);
            },
            true },
        { styleProperty(style::fill),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                encodeStyleField(coder, balloon.m_style, style::fill);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                if (!coder.containsValueForKey(style::fill.archiveKey))
                    return;
                StyleValues read;
                decodeStyleField(coder, read, style::fill, {});
                if (read.fill)
                    balloon.m_style.fill = read.fill;
            },
            true },
        { styleProperty(style::lineDash),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                encodeStyleField(coder, balloon.m_style, style::lineDash);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_style.lineDash = coder.decodeIntegerForKey(style::lineDash.archiveKey);
            },
            true },
        // Written only when a colour set is stored.
        { property<Balloon>(
              kModelKey,
              [](const Balloon& balloon) {
                  CharacterModel* colors = balloon.colorsModel();
                  return colors ? std::static_pointer_cast<CharacterModel>(colors->shared_from_this())
                                : std::shared_ptr<CharacterModel>();
              },
              &Balloon::setModel),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                if (const std::shared_ptr<CharacterModel> stored = balloon.m_model.lock())
                    coder.encodeObject(stored, kModelArchiveKey);
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_model.reset();
                if (coder.containsValueForKey(kModelArchiveKey))
                    balloon.m_model
                        = zdlDecodeObjectOfClass(coder, CharacterModel::kClassName, kModelArchiveKey)
                              .toObject<CharacterModel>();
            } },
        // Written only for the pasteboard: the identifier of the colour set in use, not the one the
        // balloon was pasted with.
        { readOnlyProperty<Balloon>(kCharacterIdKey, &Balloon::characterId),
            [](const Balloon& balloon, KeyedArchiver& coder) {
                encodeCharacterIdForPasteboard(coder, balloon.model());
            },
            [](Balloon& balloon, KeyedUnarchiver& coder) {
                balloon.m_characterId.clear();
                if (coder.containsValueForKey(kCharacterIdArchiveKey))
                    balloon.m_characterId
                        = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kCharacterIdArchiveKey)
                              .toString();
            } },
        // Not kept in files: the fill holds them, and the text editor sets editing only while it
        // shows the text itself.
        { property<Balloon>(kEditingKey, &Balloon::editing, &Balloon::setEditing), nullptr, nullptr, true },
        { property<Balloon>(
            kFillColor, [](const Balloon& balloon) { return balloon.fillColor(); }, &Balloon::setFillColor) },
        { property<Balloon>(
            kFillColorAdjust, [](const Balloon& balloon) { return balloon.fillColorAdjust(); },
            &Balloon::setFillColorAdjust) },
        { readOnlyProperty<Balloon>(kFillType, &Balloon::fillType) },
    };
    return declared;
}

const PropertyTable& Balloon::staticPropertyTable()
{
    static const PropertyTable table(&GraphicElementBase::staticPropertyTable(), propertiesOf(fields()));
    return table;
}

void Balloon::registerUserDefaults()
{
    static std::once_flag once;
    std::call_once(once, [] {
        UserDefaults::standard().registerDefaults(
            QVariantMap { { kDefaultAlignmentKey, static_cast<int>(TextAlignment::Center) } });
    });
}

AttributedText Balloon::defaultText()
{
    const UserDefaults& defaults = UserDefaults::standard();
    // A font named in the defaults that this machine lacks gives the lettering font rather than
    // a name that would fall back to something else at every layout.
    const QString fontName = defaults.string(kDefaultFontKey);
    const double size = defaults.doubleValue(kDefaultSizeKey);
    TextAttributes attributes;
    attributes.font = TextFont(!fontName.isEmpty() && FontRegistry::shared().hasFont(fontName)
            ? fontName
            : FontRegistry::kLetteringFontName,
        std::isfinite(size) && size > 0 ? std::min(size, FontRegistry::kMaxFontSize) : kDefaultFontSize);
    const std::optional<QColor> color = zdlColorForKey(defaults, kDefaultTextColorKey);
    attributes.foregroundColor = color ? RgbColor::fromQColor(*color) : RgbColor(0, 0, 0, 1);
    TextParagraphStyle paragraph;
    paragraph.alignment = TextAlignment::Center;
    attributes.paragraphStyle = paragraph;
    return AttributedText(localized("Edit balloon text"), attributes);
}

Balloon::Balloon()
{
    registerUserDefaults();
    m_style.lineColor = ZDLColor::blackColor();
    m_layout.setText(defaultText());
    m_pointers.append(std::make_shared<BalloonPointer>());
}

// No parent: whoever takes the copy in adopts it.
Balloon::Balloon(const Balloon& other)
    : GraphicElementBase(other)
    , StyleHolder(other)
    , m_layout(other.m_layout)
    , m_pointers(this, other.m_pointers)
    , m_model(other.m_model)
    , m_characterId(other.m_characterId)
    , m_allowance(other.m_allowance)
    , m_origin(other.m_origin)
    , m_width(other.m_width)
    , m_shape(other.m_shape)
    , m_edgeStyle(other.m_edgeStyle)
{
}

Balloon::~Balloon()
{
    releaseLettering();
}

BalloonPtr Balloon::initAt(const QPointF& origin, float width)
{
    auto balloon = std::make_shared<Balloon>();
    balloon->m_origin = origin;
    balloon->setWidth(width);
    return balloon;
}

ObjectPtr Balloon::initByCopying() const
{
    return std::make_shared<Balloon>(*this);
}

const Object* Balloon::PointerLinks::objectOf(const Balloon* owner)
{
    return owner;
}

QString Balloon::className() const
{
    return kClassName;
}

// --- Archiving ---

void Balloon::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeFields(fields(), *this, coder);
}

ObjectPtr Balloon::initWithCoder(KeyedUnarchiver& coder)
{
    // The object starts as a new balloon: every key missing keeps that default, except where a
    // field says otherwise.
    decodeFields(fields(), *this, coder);
    m_editing = false;
    resetVisibility();
    flushCaches();
    return shared_from_this();
}

// --- Text ---

void Balloon::setFormattedText(const AttributedText& text)
{
    // Dropped within the change, so that observers measure the new text.
    changeValueForKey(kFormattedTextKey, [&] {
        releaseLettering();
        m_layout.setText(text);
        flushCaches();
    });
}

void Balloon::setWidth(float width)
{
    width = sanitizedWidth(width);
    if (width == m_width)
        return;
    changeValueForKey(kWidthKey, [&] {
        m_width = width;
        m_layout.setContainerSize(QSizeF(width, kContainerHeight));
        flushCaches();
    });
}

const TextLayoutManager* Balloon::lettering() const
{
    const std::lock_guard lock(m_letteringMutex);
    if (m_lettering == Lettering::Undecided) {
        m_lettering = Lettering::Shown;
        if (m_allowance) {
            const qint64 cost = LetteringAllowance::costOf(m_layout.text());
            if (m_allowance->take(cost))
                m_letteringTaken = cost;
            else
                m_lettering = Lettering::LeftOut;
        }
    }
    return m_lettering == Lettering::Shown ? &m_layout : nullptr;
}

void Balloon::releaseLettering()
{
    const std::lock_guard lock(m_letteringMutex);
    if (m_allowance && m_letteringTaken > 0)
        m_allowance->giveBack(m_letteringTaken);
    m_letteringTaken = 0;
    m_lettering = Lettering::Undecided;
}

qsizetype Balloon::numberOfGlyphs() const
{
    const TextLayoutManager* laid = lettering();
    return laid ? laid->numberOfGlyphs() : 0;
}

float Balloon::textHeight() const
{
    const TextLayoutManager* laid = lettering();
    return laid ? laid->textHeight() : TextLayoutManager::kEmptyTextHeight;
}

QList<QRectF> Balloon::getVisibleLineRects() const
{
    if (!m_lineRects) {
        const TextLayoutManager* laid = lettering();
        m_lineRects = laid ? laid->visibleLineRects(m_width)
                           : QList<QRectF> { QRectF(0, 0, m_width, TextLayoutManager::kEmptyTextHeight) };
    }
    return *m_lineRects;
}

QRectF Balloon::getVisibleEnclosingRect() const
{
    QRectF body;
    for (const QRectF& line : getVisibleLineRects())
        body = unionRect(body, line);
    return body;
}

bool Balloon::isGlyphAtIndexInvisible(qsizetype glyph) const
{
    const TextLayoutManager* laid = lettering();
    return laid && laid->isGlyphInvisible(glyph);
}

// --- Appearance ---

void Balloon::setShape(int shape)
{
    if (shape == m_shape)
        return;
    changeValueForKey(kShapeKey, [&] {
        m_shape = shape;
        flushCaches();
    });
}

void Balloon::setStyle(int style)
{
    if (style == m_edgeStyle)
        return;
    changeValueForKey(kStyleKey, [&] {
        m_edgeStyle = style;
        flushCaches();
    });
}

void Balloon::setEditing(bool editing)
{
    if (editing != m_editing)
        changeValueForKey(kEditingKey, [&] { m_editing = editing; });
}

void Balloon::setOrigin(const QPointF& origin)
{
    changeValueForKey(kOriginKey, [&] { m_origin = origin; });
}

// A new colour fill rather than a change of the one held, so that the fill's observers (and an
// undo of "fill") see the fill before and after. A gradient gives way to a white colour fill.
void Balloon::changeColorFill(const QString& key, const std::function<void(ColorFill&)>& change)
{
    changeValueForKey(kFill, [&] {
        changeValueForKey(key, [&] {
            const auto* held = dynamic_cast<const ColorFill*>(m_style.fill.get());
            auto colorFill = held ? std::make_shared<ColorFill>(*held) : std::make_shared<ColorFill>();
            change(*colorFill);
            m_style.fill = colorFill;
        });
    });
}

void Balloon::setFillColor(const ZDLColorPtr& color)
{
    changeColorFill(kFillColor, [&](ColorFill& fill) { fill.setFillColor(color); });
}

void Balloon::setFillColorAdjust(float adjust)
{
    changeColorFill(kFillColorAdjust, [&](ColorFill& fill) { fill.setFillColorAdjust(adjust); });
}

void Balloon::setPointers(const BalloonPointerList& pointers)
{
    changeValueForKey(kPointersKey, [&] {
        m_pointers.adopt(m_pointers.acceptable(pointers, decltype(m_pointers)::Repeats::Refused),
            decltype(m_pointers)::Leaving::ClearLinks);
    });
}

void Balloon::flushCaches()
{
    m_outline.reset();
    m_lineRects.reset();
    for (const BalloonPointerPtr& pointer : m_pointers.items())
        pointer->flushCache();
}

// --- Colour set ---

Object* Balloon::model() const
{
    if (const std::shared_ptr<CharacterModel> stored = m_model.lock())
        return stored.get();
    if (const PanelLayer* layer = ArrayUtils::getAncestorOfClass<PanelLayer>(this))
        return layer->comicColorsModel();
    // A free object of a page: the page belongs to the comic, which answers its colour set.
    if (const ComicStructureElement* page = ArrayUtils::getAncestorOfClass<ComicStructureElement>(this)) {
        const auto* comic = dynamic_cast<const PanelComicServices*>(page->owner());
        return comic ? comic->comicColorsModel().get() : nullptr;
    }
    return ArrayUtils::getAncestorOfClass<CharacterModel>(this);
}

CharacterModel* Balloon::colorsModel() const
{
    return dynamic_cast<CharacterModel*>(model());
}

void Balloon::setModel(const std::shared_ptr<CharacterModel>& model)
{
    m_model = model;
}

CharacterModel* Balloon::storedModel() const
{
    return m_model.lock().get();
}

bool Balloon::validateData()
{
    CharacterModel* colors = colorsModel();
    if (!colors) {
        zdlLog(QStringLiteral("Balloon can't find owner model"));
        return true;
    }
    if (lineColor())
        setLineColor(colors->mergeColor(lineColor()));
    if (const ZDLColorPtr fill = fillColor())
        setFillColor(colors->mergeColor(fill));
    return true;
}

// --- Geometry ---

QPointF Balloon::getCenter() const
{
    return QPointF(m_origin.x() + m_width * 0.5, m_origin.y());
}

void Balloon::offsetBy(const QPointF& delta, bool /*directly*/)
{
    setOrigin(m_origin + delta);
}

void Balloon::transformBy(const QTransform& transform)
{
    const QPointF centre = getCenter();
    const QPointF moved = transform.map(centre);
    // A transform that is not finite would put the balloon nowhere.
    if (std::isfinite(moved.x()) && std::isfinite(moved.y()))
        offsetBy(moved - centre, true);
}

void Balloon::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    const QPointF centre = getCenter();
    const QPointF moved = mapPointIntoQuad(quad.data(), source, centre);
    if (!isNanPoint(moved) && std::isfinite(moved.x()) && std::isfinite(moved.y()))
        offsetBy(moved - centre, true);
}

void Balloon::recordGeometry(GeometryRecord& record) const
{
    record.addPoint(m_origin);
}

void Balloon::restoreGeometry(GeometryReader& reader)
{
    if (const auto origin = reader.readPoint())
        setOrigin(*origin);
}

void registerBalloonClasses(ClassRegistry& registry)
{
    registry.registerClass<Balloon>(Balloon::kClassName, PlatformClass::kObject);
    registry.registerClass<BalloonPointer>(BalloonPointer::kClassName, PlatformClass::kObject);
    registry.registerClass<BalloonPoint>(BalloonPoint::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
