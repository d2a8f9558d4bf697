#include "charmodel/CharacterModel.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharXMLNames.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartTypes.h"
#include "charmodel/UIUtils.h"
#include "graphics/ArrayUtils.h"
#include "graphics/BigEndianReader.h"
#include "graphics/ColorFill.h"
#include "graphics/GraphicManipulator.h"
#include "graphics/ShapeStyle.h"
#include "graphics/StyleKeys.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/ArchiveNames.h"
#include "platform/Canvas.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/DecodingBudget.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/OffscreenImage.h"
#include "platform/UserName.h"

#include <algorithm>

namespace zandrel {

using namespace stylekeys;

const PropertyTable& CharacterModel::staticPropertyTable()
{
    using M = CharacterModel;
    // The style keys but "blur", so that styles copy from and apply to the model as to a path.
    static std::vector<Property> properties = styleProperties({ &stylefields::blur });
    properties.insert(properties.end(),
        {
            property<M>(kUnconvertingFillColorKey, &M::unconvertingFillColor, &M::setUnconvertingFillColor),
            property<M>(kFillColor, &M::fillColor, &M::setFillColor),
            property<M>(kFillColorAdjust, &M::fillColorAdjust, &M::setFillColorAdjust),
            property<M>(kCharacterNameKey, &M::characterName, &M::setCharacterName),
            property<M>(
                kStylesKey,
                [](const M& model) {
                    ValueList list;
                    for (const NamedShapeStylePtr& style : model.styles())
                        list.append(Value(ObjectPtr(style)));
                    return list;
                },
                [](M& model, const ValueList& list) {
                    // Anything but a style has no place in the list.
                    QList<NamedShapeStylePtr> styles;
                    for (const Value& item : list) {
                        if (NamedShapeStylePtr style = item.toObject<NamedShapeStyle>())
                            styles.append(style);
                    }
                    model.setStyles(styles);
                }),
            property<M>(kCreatorKey, &M::creator, &M::setCreator),
            readOnlyProperty<M>(kCharacterIdKey, &M::characterId),
            property<M>(kPartsKindKey, &M::partsKind, &M::setPartsKind),
            property<M>(kProductCodeKey, &M::productCode, &M::setProductCode),
            property<M>(kTracingImageKey, &M::tracingImage, &M::setTracingImage),
            property<M>(kTracingImageVisibleKey, &M::tracingImageVisible, &M::setTracingImageVisible),
            property<M>(kTracingImageScaleKey, &M::tracingImageScale, &M::setTracingImageScale),
            property<M>(kTracingImageAlphaKey, &M::tracingImageAlpha, &M::setTracingImageAlpha),
            property<M>(kThumbnailScaleKey, &M::thumbnailScale, &M::setThumbnailScale),
            property<M>(kThumbnailOriginKey, &M::thumbnailOrigin, &M::setThumbnailOrigin),
        });
    static const PropertyTable table(&Object::staticPropertyTable(), std::move(properties));
    return table;
}

CharacterModel::CharacterModel(Bare)
{
    setupRequiredColors();
}

CharacterModel::CharacterModel()
    : CharacterModel(Bare {})
{
    m_characterName = localized("Unnamed");
    m_creator = fullUserName();
    m_documentSettings = std::make_shared<DocumentSettings>();
    // A new character's translucent colours for shading.
    constexpr float kShadingAlpha = 0.25f;
    const auto shadow
        = ZDLColor::colorFromHexWithAlphaNamed(QStringLiteral("#000000"), kShadingAlpha, localized("Shadow"));
    const auto highlight = ZDLColor::colorFromHexWithAlphaNamed(
        QStringLiteral("#FFFFFF"), kShadingAlpha, localized("Highlight"));
    for (const ZDLColorPtr& color : { shadow, highlight }) {
        m_colors.append(color);
        startObservingColor(color);
    }
}

CharacterModel::~CharacterModel()
{
    removeAllColors();
}

CharacterModelPtr CharacterModel::initFromId(const QString& characterId)
{
    auto model = std::shared_ptr<CharacterModel>(new CharacterModel(Bare {}));
    const qsizetype tab = characterId.indexOf(u'\t');
    model->m_characterName = tab < 0 ? characterId : characterId.left(tab);
    model->m_creator = tab < 0 ? QString() : characterId.mid(tab + 1);
    return model;
}

CharacterModelPtr CharacterModel::initWithXMLAttributes(const QMap<QString, QString>& attributes)
{
    auto model = std::make_shared<CharacterModel>();
    if (attributes.contains(CharXML::kCharacterNameAttribute))
        model->m_characterName = attributes.value(CharXML::kCharacterNameAttribute);
    if (attributes.contains(CharXML::kCreatorAttribute))
        model->m_creator = attributes.value(CharXML::kCreatorAttribute);
    return model;
}

CharacterModelPtr CharacterModel::initWithParts86Data(const QByteArray& data)
{
    auto model = std::make_shared<CharacterModel>();
    BigEndianReader reader(data);
    const quint16 count = reader.readUnsignedShort();
    // Each record is capped, but a few bytes can declare another large record: the file as a whole
    // gets a budget, so a hostile one ends within seconds.
    DecodingBudget budget(data.size(), kBigEndianReaderException);
    const DecodingBudget::Scope budgetScope(budget);
    for (quint16 i = 0; i < count; ++i) {
        ImageElementPtr element = ImageElement::initFromParts86Reader(reader);
        if (!element)
            continue;
        model->m_parts.append(element);
    }
    return model;
}

QString CharacterModel::className() const
{
    return kClassName;
}

// --- Identity ---

void CharacterModel::setCharacterName(const QString& name)
{
    const QString old = m_characterName;
    m_characterName = name;
    if (m_document)
        m_document->notifyModelPropertyChange(kCharacterNameKey, old);
}

QString CharacterModel::characterId() const
{
    return m_characterName + u'\t' + m_creator;
}

void CharacterModel::setPartsKind(int kind)
{
    const int old = m_partsKind;
    m_partsKind = kind;
    if (m_document)
        m_document->notifyModelPropertyChange(kPartsKindKey, old);
}

void CharacterModel::setProductCode(const QString& code)
{
    m_productCode = code.isEmpty() ? QString() : code;
}

QImage CharacterModel::pathIcon() const
{
    static const QImage icon(QStringLiteral(":/images/path_char.png"));
    return icon;
}

// --- Parent ---

void CharacterModel::setChildren(const ElementList& children)
{
    // Nothing without a place in the tree is taken in: every walk of the tree expects elements.
    ElementList parts;
    for (const ObjectPtr& child : children) {
        if (asProtocol<ModelElement>(child))
            parts.append(child);
    }
    m_parts.adopt(parts);
}

void CharacterModel::addPart(const ObjectPtr& element)
{
    if (asProtocol<ModelElement>(element))
        m_parts.append(element);
}

QRectF CharacterModel::getBounds() const
{
    return ArrayUtils::getElementsBounds(m_parts.items());
}

QRectF CharacterModel::getGeometryBounds() const
{
    return ArrayUtils::getElementsGeometryBounds(m_parts.items());
}

ObjectPtr CharacterModel::getChildAt(const QPointF& point, float viewScale) const
{
    return topmostContaining(m_parts.items(), point, viewScale);
}

// --- Drawing ---

void CharacterModel::drawIn(ZDLContext& context, const QRectF& dirtyRect) const
{
    // A copy: drawing may flush caches, which must not disturb the walk.
    const ElementList parts = m_parts.items();
    for (const ObjectPtr& part : parts) {
        auto* element = asProtocol<GraphicElement>(part);
        if (element && intersectsRect(element->getInvalidationBounds(), dirtyRect))
            element->drawIn(context);
    }
}

void CharacterModel::drawTracingImageIn(Canvas& canvas) const
{
    if (!m_tracingImage || !m_tracingImageVisible)
        return;
    const QSizeF size = m_tracingImage->size();
    const double s = m_tracingImageScale;
    canvas.save();
    // Our canvases are y down already, so the upright image needs no flip.
    m_tracingImage->drawInRect(canvas, QRectF(0, 0, size.width() * s, size.height() * s), QRectF(),
        m_tracingImageAlpha, CompositionMode::PlusDarker);
    canvas.restore();
}

QRectF CharacterModel::getTracingImageBounds() const
{
    if (!m_tracingImage || !m_tracingImageVisible)
        return QRectF();
    const QSizeF size = m_tracingImage->size();
    return QRectF(0, 0, size.width() * m_tracingImageScale, size.height() * m_tracingImageScale);
}

QImage CharacterModel::getThumbnail() const
{
    OffscreenImage bitmap(QSize(kThumbnailWidth, kThumbnailHeight));
    Canvas* canvas = bitmap.canvas();
    if (!canvas)
        return QImage();
    const double s = m_thumbnailScale;
    canvas->translate(-m_thumbnailOrigin.x() * s, -m_thumbnailOrigin.y() * s);
    canvas->scale(s, s);
    {
        CanvasScope scope(canvas);
        ZDLContext context(m_thumbnailScale);
        context.setBlurThreshold(0.0f);
        context.setExporting(true);
        const ElementList parts = m_parts.items();
        for (const ObjectPtr& part : parts) {
            if (auto* element = asProtocol<GraphicElement>(part))
                element->drawIn(context);
        }
    }
    return bitmap.takeImage();
}

QRectF CharacterModel::thumbnailRect() const
{
    return QRectF(
        m_thumbnailOrigin, QSizeF(kThumbnailWidth / m_thumbnailScale, kThumbnailHeight / m_thumbnailScale));
}

// --- Tracing image ---

void CharacterModel::setTracingImage(const std::shared_ptr<ZDLImage>& image)
{
    m_tracingImage = image;
    if (m_document)
        m_document->updateViews();
}

void CharacterModel::setTracingImageVisible(bool visible)
{
    if (visible == m_tracingImageVisible)
        return;
    m_tracingImageVisible = visible;
    if (m_document)
        m_document->updateViews();
}

void CharacterModel::setTracingImageScale(float scale)
{
    if (scale == m_tracingImageScale)
        return;
    m_tracingImageScale = scale;
    if (m_document)
        m_document->updateViews();
}

void CharacterModel::setTracingImageAlpha(float alpha)
{
    if (alpha == m_tracingImageAlpha)
        return;
    m_tracingImageAlpha = alpha;
    if (m_document)
        m_document->updateViews();
}

// --- Default fill ---

void CharacterModel::styleFieldChanged(const StyleFieldInfo& field)
{
    if (&field != &stylefields::fill)
        return;
    if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
        m_fillColor = colorFill->fillColor();
}

void CharacterModel::setFillType(int type)
{
    // Without a fill there is no type to keep: either kind makes one.
    if (m_style.fill && type == fillType())
        return;
    if (type == FillTypeGradient) {
        setFill(gradientFillFrom(m_style.fill));
    } else if (type == FillTypeColor) {
        auto colorFill = std::make_shared<ColorFill>();
        colorFill->setFillColor(whiteColor());
        setFill(colorFill);
    }
}

void CharacterModel::setFillColor(const ZDLColorPtr& color)
{
    if (fillType() != FillTypeColor)
        setFillType(FillTypeColor);
    if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
        colorFill->setFillColor(color);
    m_fillColor = color;
}

void CharacterModel::setUnconvertingFillColor(const ZDLColorPtr& color)
{
    m_fillColor = color;
    if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
        colorFill->setFillColor(color);
}

void CharacterModel::setFillColorAdjust(float adjust)
{
    if (fillType() != FillTypeColor) {
        auto colorFill = std::make_shared<ColorFill>();
        colorFill->setFillColor(m_fillColor);
        setFill(colorFill);
    }
    if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
        colorFill->setFillColorAdjust(adjust);
}

void CharacterModel::setDefaultAttributesIn(PartPath& path) const
{
    forEachStyleField([&](const auto& field) {
        if (&field != static_cast<const StyleFieldInfo*>(&stylefields::blur))
            path.setStyleField(field, m_style.*field.member);
    });
}

// --- Styles ---

void CharacterModel::createDefaultStyles()
{
    struct Default {
        const char* name;
        bool lined;
        float lineColorAdjust;
        float blur;
    };
    static const Default defaults[] = {
        { "Skin", true, -0.7f, 0.0f },
        { "Shadow", false, 0.0f, 1.35f },
        { "Highlight", false, 0.0f, 1.35f },
    };
    QList<NamedShapeStylePtr> styles;
    for (const Default& made : defaults) {
        const QString name = localized(made.name);
        const ZDLColorPtr color = getColorNamed(name);
        if (!color)
            continue;
        auto style = std::make_shared<NamedShapeStyle>();
        style->setName(name);
        style->setLineColor(made.lined ? color : noneColor());
        style->setFillColor(color);
        if (made.lined)
            style->setLineColorAdjust(made.lineColorAdjust);
        else
            style->setBlur(made.blur);
        styles.append(style);
    }
    m_styles = styles;
}

void CharacterModel::setStyles(const QList<NamedShapeStylePtr>& styles)
{
    changeValueForKey(kStylesKey, [&] { m_styles = styles; });
}

std::shared_ptr<ShapeStyle> CharacterModel::stylePasteboard()
{
    if (!m_stylePasteboard)
        m_stylePasteboard = ShapeStyle::initWithOwner(this);
    return m_stylePasteboard;
}

QString CharacterModel::uniqueNameForStyle(const NamedShapeStyle* style, const QString& requested) const
{
    return UIUtils::uniqueNameForItem(style, m_styles, requested);
}

// --- Queries ---

QSet<int> CharacterModel::getPartTypes() const
{
    QSet<int> types;
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(m_parts.items())) {
        if (auto* comicElement = asProtocol<ComicElement>(element))
            types.insert(comicElement->partType());
    }
    return types;
}

QList<int> CharacterModel::getPartTypesSorted() const
{
    const QSet<int> types = getPartTypes();
    return PartTypes::sortedTypes(QList<int>(types.begin(), types.end()));
}

QList<int> CharacterModel::getAllPartTypesSorted()
{
    return PartTypes::displayOrder();
}

ElementList CharacterModel::getPartAliasesOfType(int partType) const
{
    ElementList aliases;
    if (partType == -2) {
        for (const int type : getPartTypesSorted())
            aliases.append(getPartAliasesOfType(type));
        return aliases;
    }
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(m_parts.items())) {
        const auto* comicElement = asProtocol<ComicElement>(element);
        if (comicElement && comicElement->partType() == partType)
            aliases.append(std::make_shared<PartAlias>(element));
    }
    std::stable_sort(aliases.begin(), aliases.end(), [](const ObjectPtr& a, const ObjectPtr& b) {
        return asProtocol<GraphicElement>(a)->getBounds().height()
            < asProtocol<GraphicElement>(b)->getBounds().height();
    });
    return aliases;
}

ElementList CharacterModel::allImageElementsUsingImage(const ZDLImage* image) const
{
    ElementList found;
    const auto take = [&](const ObjectPtr& element) {
        const auto* imageElement = dynamic_cast<const ImageElement*>(element.get());
        if (imageElement && imageElement->image().get() == image)
            found.append(element);
    };
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(m_parts.items())) {
        take(element);
        const auto* part = asProtocol<Parent>(element);
        if (part && ArrayUtils::isKindOfClassNamed(element.get(), Part::kClassName)) {
            for (const ObjectPtr& inner : ArrayUtils::flattenPartElementsArray(part->children()))
                take(inner);
        }
    }
    return found;
}

// --- Notices and lifecycle ---

void CharacterModel::tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) const
{
    notifyChildrenOf(*this, notice, object);
}

void CharacterModel::flushAllCachesUsingColor() const
{
    const ElementList parts = m_parts.items();
    for (const ObjectPtr& part : parts) {
        if (auto* element = asProtocol<GraphicElement>(part))
            element->flushCachesUsingColor();
    }
}

bool CharacterModel::validateData()
{
    m_style.lineColor = mergeColor(m_style.lineColor);
    if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
        setFillColor(mergeColor(colorFill->fillColor()));
    for (const NamedShapeStylePtr& style : m_styles) {
        if (!style)
            continue;
        style->setLineColor(mergeColor(style->lineColor()));
        if (style->fillType() == FillTypeColor)
            style->setFillColor(mergeColor(style->fillColor()));
    }
    m_parts.removeInvalid(QStringLiteral("CharacterModel validateData removing an element"));
    return true;
}

void CharacterModel::retire()
{
    BreakdownModelManipulator breakdown;
    tellAllGraphics(GraphicNotice::ApplyManipulator, &breakdown);
    m_stylePasteboard.reset();
    removeAllColors();
    m_parts.clear();
    m_document = nullptr;
    m_styles.clear();
}

void registerCharacterModelClass(ClassRegistry& registry)
{
    registry.registerClass<CharacterModel>(CharacterModel::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
