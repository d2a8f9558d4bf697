#include "charmodel/ImageElement.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/PartElement.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ArrayUtils.h"
#include "graphics/BigEndianReader.h"
#include "graphics/BoundsAccumulator.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicUtils.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImageRep.h"
#include "platform/ArchiveNames.h"
#include "platform/Canvas.h"
#include "platform/ClassRegistry.h"
#include "platform/DecodingBudget.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

// Archive keys, before those of the placement.
const QString kImageArchiveKey = QStringLiteral("image");
const QString kTransformArchiveKey = QStringLiteral("transform");
const QString kMasksArchiveKey = QStringLiteral("masks");

ImageElement::PanelLayerModelLookup& panelLayerModelLookup()
{
    static ImageElement::PanelLayerModelLookup lookup;
    return lookup;
}

bool isFiniteTransform(const QTransform& t)
{
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m13())
        && std::isfinite(t.m21()) && std::isfinite(t.m22()) && std::isfinite(t.m23())
        && std::isfinite(t.m31()) && std::isfinite(t.m32()) && std::isfinite(t.m33());
}

QRectF pixelRect(const ZDLImage& image)
{
    return QRectF(QPointF(0, 0), image.pixelSize());
}

} // namespace

const PropertyTable& ImageElement::staticPropertyTable()
{
    static const PropertyTable table(&GraphicElementBase::staticPropertyTable(), [] {
        std::vector<Property> properties = placementProperties<ImageElement>();
        properties.push_back(
            property<ImageElement>(kImageKey, &ImageElement::image, &ImageElement::setImage));
        return properties;
    }());
    return table;
}

// No parent: a copy outlives its source's container often enough (pasteboard, undo) that a link
// to it would dangle; whoever takes the copy in adopts it.
ImageElement::ImageElement(const ImageElement& other)
    : GraphicElementBase(other)
    , ComicGraphicElementState(other)
    , m_image(other.m_image)
    , m_transform(other.m_transform)
    , m_masks(this, other.m_masks)
{
}

ImageElementPtr ImageElement::withImage(const ZDLImagePtr& image)
{
    auto element = std::make_shared<ImageElement>();
    element->m_image = image;
    return element;
}

ImageElementPtr ImageElement::initFromURL(const QUrl& url, FileReadError* error)
{
    return withImage(ZDLImage::initByReferencingURL(url, error));
}

ImageElementPtr ImageElement::initFromImageData(const QByteArray& data)
{
    return withImage(ZDLImage::initWithData(data));
}

ImageElementPtr ImageElement::initFromImage(const ZDLImageRepPtr& firstRepresentation)
{
    if (std::dynamic_pointer_cast<ZDLPDFImageRep>(firstRepresentation))
        return withImage(ZDLImage::initWithImageRep(firstRepresentation));
    if (const auto bitmap = std::dynamic_pointer_cast<ZDLBitmapImageRep>(firstRepresentation))
        return initFromImage(bitmap->image());
    return nullptr;
}

ImageElementPtr ImageElement::initFromImage(const QImage& image)
{
    if (image.isNull())
        return nullptr;
    const bool withAlpha = image.hasAlphaChannel();
    const QByteArray data = ZDLImage::encodedBitmapData(image, withAlpha, ZDLImage::kImportJpegQuality);
    if (data.isEmpty())
        return nullptr;
    return initFromImageData(data);
}

ImageElementPtr ImageElement::initFromParts86Reader(BigEndianReader& reader)
{
    auto element = std::make_shared<ImageElement>();
    const quint16 rowBytes = reader.readUnsignedShort();
    const quint16 height = reader.readUnsignedShort();
    const quint16 width = reader.readUnsignedShort();
    const qint16 top = reader.readShort();
    const qint16 left = reader.readShort();
    const quint32 dataLength = reader.readUnsignedInt();
    const quint32 regionLength = reader.readUnsignedInt();
    const QByteArray pixels = reader.readData(dataLength);
    const QByteArray region = reader.readData(regionLength);
    DecodingBudget::charge(qint64(width) * height * 4);
    // The image wrapper refuses the row lengths that cannot be right (0, 0x8000 and above, shorter
    // than the width), so the signed value is safe to pass on.
    element->m_image
        = ZDLImage::initWithZDL86Data(pixels, region, QSizeF(width, height), static_cast<qint16>(rowBytes));
    element->m_transform.translate(left, top);
    return element;
}

QString ImageElement::className() const
{
    return kClassName;
}

void ImageElement::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_image, kImageArchiveKey);
    coder.encodeObject(Value(m_transform), kTransformArchiveKey);
    ValueList masks;
    masks.reserve(m_masks.items().size());
    for (const MaskingPathPtr& mask : m_masks.items())
        masks.append(Value(mask));
    coder.encodeObject(Value(masks), kMasksArchiveKey);
    encodePlacement(coder);
}

ObjectPtr ImageElement::initWithCoder(KeyedUnarchiver& coder)
{
    m_image = zdlDecodeObjectOfClass<ZDLImage>(coder, kImageArchiveKey);

    const Value transform
        = zdlDecodeObjectOfClass(coder, PlatformClass::kAffineTransform, kTransformArchiveKey);
    // A transform that is not finite would place the picture nowhere and break every hit test and
    // bounds union it takes part in; the picture then stays where it was drawn.
    m_transform = transform.type() == Value::Type::Transform && isFiniteTransform(transform.toTransform())
        ? transform.toTransform()
        : QTransform();

    QList<MaskingPathPtr> decoded;
    for (const ObjectPtr& object :
        zdlDecodeElementsOfClasses(coder, { MaskingPath::kClassName }, kMasksArchiveKey)) {
        if (auto mask = std::dynamic_pointer_cast<MaskingPath>(object))
            decoded.append(std::move(mask));
    }
    // Masks never share a curve: each copies what another took (MaskingPath), at the budget's cost.
    m_masks.adoptDecoded(coder, decoded);

    decodePlacement(coder);
    resetVisibility();
    return shared_from_this();
}

void ImageElement::setPanelLayerModelLookup(PanelLayerModelLookup lookup)
{
    panelLayerModelLookup() = std::move(lookup);
}

Object* ImageElement::model() const
{
    if (Object* linked = linkedModel())
        return linked;
    if (const Object* layer = ArrayUtils::getAncestorOfClassNamed(this, PanelLayer::kClassName)) {
        if (const auto& lookup = panelLayerModelLookup())
            return lookup(*layer);
    }
    return const_cast<Object*>(ArrayUtils::getAncestorOfClassNamed(this, CharacterModel::kClassName));
}

QPointF ImageElement::defaultOrigin() const
{
    if (!m_image)
        return QPointF();
    const QSizeF size = m_image->pixelSize();
    return QPointF(size.width() / 2, size.height() / 2);
}

QPointF ImageElement::appliedOrigin() const
{
    return m_transform.map(origin());
}

ElementList ImageElement::children() const
{
    return ElementList(m_masks.items().begin(), m_masks.items().end());
}

void ImageElement::setChildren(const ElementList& children)
{
    QList<MaskingPathPtr> masks;
    for (const ObjectPtr& child : children) {
        if (auto mask = std::dynamic_pointer_cast<MaskingPath>(child))
            masks.append(std::move(mask));
    }
    m_masks.adopt(masks);
    flushCachedImage();
}

ObjectPtr ImageElement::getChildAt(const QPointF& point, float viewScale) const
{
    return topmostContaining(m_masks.items(), point, viewScale);
}

QString ImageElement::displayName() const
{
    return m_image && m_image->isVector() ? localized("Vector Graphic") : localized("Image");
}

QImage ImageElement::pathIcon() const
{
    static const QImage icon(QStringLiteral(":/images/path_image.png"));
    return icon;
}

CanvasPath ImageElement::createCGPath() const
{
    DrawCommandList commands;
    for (const MaskingPathPtr& mask : m_masks.items()) {
        const DrawCommandList own = mask->getDrawCommands();
        commands.insert(commands.end(), own.begin(), own.end());
    }
    CanvasPath path = createCGPathFromDrawCommands(commands);
    // Overlapping masks cut holes into each other rather than adding up.
    path.setWindingRule(WindingRule::EvenOdd);
    return path;
}

ObjectPtr ImageElement::initByCopying() const
{
    return std::make_shared<ImageElement>(*this);
}

void ImageElement::offsetBy(const QPointF& delta, bool /*directly*/)
{
    m_transform = m_transform * QTransform::fromTranslate(delta.x(), delta.y());
    flushCachedImage();
}

void ImageElement::transformBy(const QTransform& transform)
{
    m_transform = m_transform * transform;
    flushCachedImage();
}

void ImageElement::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    const QPointF centre = rectCenter(getBounds());
    const QPointF target = mapPointIntoQuad(quad.data(), source, centre);
    if (!isNanPoint(target))
        offsetBy(target - centre, true);
}

void ImageElement::recordGeometry(GeometryRecord& record) const
{
    record.addTransform(m_transform);
}

void ImageElement::restoreGeometry(GeometryReader& reader)
{
    if (const auto transform = reader.readTransform())
        m_transform = *transform;
    flushCachedImage();
}

void ImageElement::centerOn(const QPointF& point)
{
    offsetBy(point - rectCenter(getBounds()), true);
}

void ImageElement::fitInPanel(const QRectF& panelBounds)
{
    const QRectF bounds = getBounds();
    const float s = std::max(static_cast<float>(panelBounds.width() / bounds.width()),
        static_cast<float>(panelBounds.height() / bounds.height()));
    if (s < 1.0f)
        transformBy(QTransform::fromScale(s, s));
    centerOn(rectCenter(panelBounds));
}

void ImageElement::fitToSize(float length, const QPointF& point)
{
    const QRectF bounds = getBounds();
    const float s
        = std::min(static_cast<float>(length / bounds.width()), static_cast<float>(length / bounds.height()));
    if (s < 1.0f)
        transformBy(QTransform::fromScale(s, s));
    centerOn(point);
}

QPointF ImageElement::getOffsetForCrop(const QRectF& cropRect) const
{
    return m_transform.map(cropRect.topLeft()) - m_transform.map(QPointF(0, 0));
}

QRectF ImageElement::getBoundsIgnoringVisibility() const
{
    if (!m_image)
        return QRectF();
    QRectF source;
    if (m_masks.isEmpty()) {
        source = pixelRect(*m_image);
    } else {
        for (const MaskingPathPtr& mask : m_masks.items())
            source = unionRect(source, mask->getBounds());
    }
    BoundsAccumulator acc;
    boundsAccumulatorInit(&acc);
    for (const QPointF& corner :
        { source.topLeft(), source.topRight(), source.bottomLeft(), source.bottomRight() })
        boundsAccumulatorAddPoint(&acc, m_transform.map(corner));
    return boundsAccumulatorRect(&acc);
}

void ImageElement::drawIn(ZDLContext& context)
{
    Canvas* canvas = context.canvas();
    if (!m_image || !visible() || !canvas || !isFiniteTransform(m_transform)
        || !context.canShow(getVisualBounds()))
        return;
    canvas->save();
    canvas->concatenate(m_transform);
    // The clip is made in image coordinates, so masks follow the picture however it is placed.
    if (!m_masks.isEmpty())
        canvas->clipToPath(createCGPath());
    m_image->drawInRect(context, pixelRect(*m_image), QRectF(), context.imageAlpha());
    canvas->restore();
}

bool ImageElement::containsPt(const QPointF& point, float /*viewScale*/) const
{
    if (!m_image)
        return false;
    bool invertible = false;
    const QTransform inverse = m_transform.inverted(&invertible);
    if (!invertible || !isFiniteTransform(inverse))
        return false;
    const QPointF p = inverse.map(point);
    if (!m_masks.isEmpty())
        return createCGPath().contains(p);
    const QRectF destination = pixelRect(*m_image);
    if (p.x() < 0 || p.y() < 0 || p.x() > destination.width() || p.y() > destination.height())
        return false;
    // Transparent pixels are not hit.
    return m_image->hitTestRect(QRectF(p, QSizeF(1, 1)), destination);
}

void ImageElement::flushCachesUsingColor()
{
    for (const MaskingPathPtr& mask : m_masks.items())
        mask->flushCachesUsingColor();
}

void ImageElement::flushCachedImage()
{
    GraphicElementBase::flushCachedImage();
}

void ImageElement::setImage(const ZDLImagePtr& image)
{
    m_image = image;
    flushCachedImage();
}

bool ImageElement::validateData()
{
    return true;
}

void registerImageElementClasses(ClassRegistry& registry)
{
    registry.registerClass<ImageElement>(ImageElement::kClassName, PlatformClass::kObject);
    registerMaskingPathClasses(registry);
}

} // namespace zandrel
