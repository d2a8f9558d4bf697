#include "graphics/ZDLImage.h"

#include "graphics/CoderExtensions.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/NotificationCenter.h"
#include "platform/RegularFile.h"

#include <QBuffer>
#include <QImageWriter>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <new>

namespace zandrel {

namespace {

const QString kImageDataKey = QStringLiteral("imageData");
const QString kPdfDataKey = QStringLiteral("pdfData");
const QString kImageRepKey = QStringLiteral("imageRep");

// PDF readers accept the header anywhere in the first kilobyte.
bool looksLikePdf(const QByteArray& data)
{
    return data.left(1024).contains("%PDF-");
}

// Device pixels per point that PDF and print destinations get at least (300 dpi).
constexpr double kMinPrintScale = 300.0 / 72.0;

} // namespace

ZDLImage::ZDLImage() = default;
ZDLImage::~ZDLImage() = default;

ZDLImagePtr ZDLImage::initWithData(const QByteArray& data)
{
    auto image = std::make_shared<ZDLImage>();
    return image->setData(data) ? image : nullptr;
}

bool ZDLImage::setData(const QByteArray& data)
{
    if (data.isEmpty())
        return false;
    // A bitmap file may carry "%PDF-" in its metadata, so one that is not a PDF is tried as a bitmap.
    ZDLImageRepPtr rep;
    if (looksLikePdf(data))
        rep = ZDLPDFImageRep::imageRepWithData(data);
    if (!rep) {
        QImage pixels = ZDLBitmapImageRep::decodeImageData(data);
        if (!pixels.isNull())
            rep = std::make_shared<ZDLBitmapImageRep>(std::move(pixels));
    }
    if (!rep)
        return false;
    setRep(rep);
    m_savedData = data;
    return true;
}

void ZDLImage::setRep(const ZDLImageRepPtr& rep)
{
    m_rep = rep;
    m_isVector = std::dynamic_pointer_cast<ZDLPDFImageRep>(rep) != nullptr;
}

ZDLImagePtr ZDLImage::initWithImageRep(const ZDLImageRepPtr& rep)
{
    if (!rep)
        return nullptr;
    auto image = std::make_shared<ZDLImage>();
    image->setRep(rep);
    return image;
}

ZDLImagePtr ZDLImage::initByReferencingURL(const QUrl& url, FileReadError* error)
{
    return url.isLocalFile() ? initByReferencingURL(url.toLocalFile(), error) : nullptr;
}

ZDLImagePtr ZDLImage::initByReferencingURL(const QString& path, FileReadError* error)
{
    const std::optional<QByteArray> data = readRegularFile(path, kMaxFileBytes, error);
    try {
        return data ? initWithData(*data) : nullptr;
    } catch (const std::bad_alloc&) {
        // A picture the memory cannot hold decoded is refused as one that cannot be read.
        if (error)
            *error = FileReadError::outOfMemory(path);
        return nullptr;
    }
}

QSizeF ZDLImage::size() const
{
    return m_rep ? m_rep->size() : QSizeF(0, 0);
}

QSizeF ZDLImage::pixelSize() const
{
    if (!m_rep)
        return QSizeF(0, 0);
    if (m_isVector)
        return m_rep->size();
    return QSizeF(m_rep->pixelsWide(), m_rep->pixelsHigh());
}

bool ZDLImage::hasAlpha() const
{
    return m_rep && m_rep->hasAlpha();
}

const ZDLBitmapImageRep* ZDLImage::bitmapRep() const
{
    if (m_isVector)
        return nullptr;
    const auto* bitmap = dynamic_cast<const ZDLBitmapImageRep*>(m_rep.get());
    return bitmap && !bitmap->image().isNull() ? bitmap : nullptr;
}

// --- Drawing and hit testing ---

namespace {

thread_local quint64 t_pendingRenderingsDrawn = 0;

} // namespace

quint64 ZDLImage::pendingRenderingsDrawn()
{
    return t_pendingRenderingsDrawn;
}

void ZDLImage::drawInRect(ZDLContext& context, const QRectF& target, const QRectF& source, float fraction,
    CompositionMode mode) const
{
    Canvas* canvas = context.canvas();
    if (!canvas)
        return;
    const bool onScreen = !context.exporting() && canvas->isDrawingToScreen();
    drawInRect(*canvas, target, source, fraction, mode,
        onScreen ? PDFRenderingMode::InBackground : PDFRenderingMode::Wait);
}

PDFRendering ZDLImage::vectorRendering(
    const Canvas& canvas, const QRectF& target, const QRectF& from, PDFRenderingMode rendering) const
{
    // The whole page renders at the scale at which the source rect lands on the device.
    const QRectF onDevice = canvas.deviceTransform().mapRect(target);
    double scale = std::max(onDevice.width() / from.width(), onDevice.height() / from.height());
    if (!canvas.isDrawingToScreen())
        scale = std::max(scale, kMinPrintScale);
    PDFRenderCache::Callback whenDone;
    if (rendering == PDFRenderingMode::InBackground) {
        whenDone = [weak = weak_from_this()] {
            if (const auto image = weak.lock())
                NotificationCenter::defaultCenter().post(
                    kImageRenderedNotification, static_cast<const ZDLImage*>(image.get()));
        };
    }
    return static_cast<const ZDLPDFImageRep&>(*m_rep).renderingAtScale(scale, rendering, std::move(whenDone));
}

void ZDLImage::drawPlaceholder(Canvas& canvas, const QRectF& target, float fraction, CompositionMode mode)
{
    canvas.save();
    canvas.setAlpha(canvas.alpha() * fraction);
    canvas.setCompositionMode(mode);
    canvas.fillRect(target, CanvasPaint(QColor::fromRgba(kPlaceholderFill)));
    // One device pixel wide, inside the box.
    const QTransform toDevice = canvas.deviceTransform();
    const double deviceScale = std::sqrt(std::abs(toDevice.determinant()));
    if (deviceScale > 0 && std::isfinite(deviceScale)) {
        const double width = 1.0 / deviceScale;
        const QRectF inside = target.adjusted(width / 2, width / 2, -width / 2, -width / 2);
        if (!inside.isEmpty())
            canvas.strokeRect(inside, CanvasPaint(QColor::fromRgba(kPlaceholderOutline)), width);
    }
    canvas.restore();
}

void ZDLImage::drawInRect(Canvas& canvas, const QRectF& target, const QRectF& source, float fraction,
    CompositionMode mode, PDFRenderingMode rendering) const
{
    if (!m_rep || target.isEmpty())
        return;
    const QSizeF points = m_rep->size();
    const QRectF whole(QPointF(0, 0), points);
    const QRectF from = source.isEmpty() ? whole : source;
    if (points.isEmpty())
        return;
    QImage pixels;
    if (m_isVector) {
        const PDFRendering made = vectorRendering(canvas, target, from, rendering);
        if (made.state == PDFRenderState::Pending)
            ++t_pendingRenderingsDrawn;
        if (made.image.isNull()) {
            drawPlaceholder(canvas, target, fraction, mode);
            return;
        }
        pixels = made.image;
    } else {
        pixels = m_rep->imageForDeviceSize(QSize());
    }
    if (pixels.isNull())
        return;
    // The source rect in points becomes a rect in the pixels at hand.
    const double sx = pixels.width() / points.width();
    const double sy = pixels.height() / points.height();
    const QRectF pixelSource(from.x() * sx, from.y() * sy, from.width() * sx, from.height() * sy);
    canvas.drawImage(pixels, target, pixelSource, fraction, mode);
}

bool ZDLImage::hitTestRect(const QRectF& rect, const QRectF& destination) const
{
    if (!m_rep || destination.isEmpty() || !std::isfinite(rect.x()) || !std::isfinite(rect.y()))
        return false;
    QImage pixels;
    if (m_isVector) {
        // Vector images are tested on a rendering at one device pixel per point.
        pixels
            = static_cast<const ZDLPDFImageRep&>(*m_rep).renderingAtScale(1.0, PDFRenderingMode::Wait).image;
    } else {
        pixels = m_rep->imageForDeviceSize(QSize());
    }
    // Without a rendering, the placeholder: opaque, one cell per point.
    const bool placeholder = pixels.isNull() && m_isVector;
    if (pixels.isNull() && !placeholder)
        return false;
    const double gridWidth = placeholder ? std::ceil(destination.width()) : pixels.width();
    const double gridHeight = placeholder ? std::ceil(destination.height()) : pixels.height();
    const double sx = gridWidth / destination.width();
    const double sy = gridHeight / destination.height();
    const double left = (rect.left() - destination.left()) * sx;
    const double top = (rect.top() - destination.top()) * sy;
    const double right = left + std::max(rect.width(), 0.0) * sx;
    const double bottom = top + std::max(rect.height(), 0.0) * sy;
    // The pixels the rect touches (a zero-size rect touches the one it lies on).
    const int x0 = int(std::clamp(std::floor(left), 0.0, gridWidth));
    const int y0 = int(std::clamp(std::floor(top), 0.0, gridHeight));
    const int x1 = int(std::clamp(std::max(std::ceil(right), std::floor(left) + 1), 0.0, gridWidth));
    const int y1 = int(std::clamp(std::max(std::ceil(bottom), std::floor(top) + 1), 0.0, gridHeight));
    if (placeholder || !pixels.hasAlphaChannel())
        return x0 < x1 && y0 < y1;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (qAlpha(pixels.pixel(x, y)) != 0)
                return true;
        }
    }
    return false;
}

// --- Archiving ---

QString ZDLImage::className() const
{
    return kClassName;
}

void ZDLImage::encodeWithCoder(KeyedArchiver& coder) const
{
    if (!m_savedData.isEmpty()) {
        // Reading the bytes back decodes them again.
        if (m_isVector)
            coder.noteExpansion(m_savedData, static_cast<const ZDLPDFImageRep&>(*m_rep).expansionWhenRead());
        else if (const ZDLBitmapImageRep* bitmap = bitmapRep())
            coder.noteExpansion(m_savedData, bitmap->image().sizeInBytes());
        coder.encodeObject(Value(m_savedData), kImageDataKey);
    } else if (m_isVector) {
        const auto& pdf = static_cast<const ZDLPDFImageRep&>(*m_rep);
        coder.noteExpansion(pdf.PDFRepresentation(), pdf.expansionWhenRead());
        coder.encodeObject(Value(pdf.PDFRepresentation()), kPdfDataKey);
    } else if (m_rep) {
        coder.encodeObject(ObjectPtr(m_rep), kImageRepKey);
    }
}

ObjectPtr ZDLImage::initWithCoder(KeyedUnarchiver& coder)
{
    if (coder.containsValueForKey(kImageRepKey)) {
        const auto rep
            = zdlDecodeObjectOfClass(coder, PlatformClass::kImageRep, kImageRepKey).toObject<ZDLImageRep>();
        if (!rep)
            return nullptr;
        setRep(rep);
        return shared_from_this();
    }
    if (coder.containsValueForKey(kImageDataKey)) {
        const QByteArray data = zdlDecodeObjectOfClass(coder, PlatformClass::kData, kImageDataKey).toData();
        return setData(data) ? shared_from_this() : nullptr;
    }
    if (coder.containsValueForKey(kPdfDataKey)) {
        const QByteArray data = zdlDecodeObjectOfClass(coder, PlatformClass::kData, kPdfDataKey).toData();
        const ZDLPDFImageRepPtr rep = ZDLPDFImageRep::imageRepWithData(data);
        if (!rep)
            return nullptr;
        setRep(rep);
        return shared_from_this();
    }
    return nullptr;
}

void registerImageClasses(ClassRegistry& registry)
{
    registerImageRepClasses(registry);
    registry.registerClass(PlatformClass::kImage, PlatformClass::kObject, nullptr);
    registry.registerClass<ZDLImage>(ZDLImage::kClassName, PlatformClass::kImage);
}

// --- Encoding of derived images ---

QByteArray ZDLImage::encodedBitmapData(const QImage& pixels, bool withAlpha, float jpegQuality)
{
    if (pixels.isNull())
        return QByteArray();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (withAlpha) {
        QImageWriter writer(&buffer, "png");
        // zlib level 1: several times faster than the default level for a little more size.
        writer.setQuality(80);
        if (!writer.write(pixels))
            return QByteArray();
    } else {
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(qRound(std::clamp(jpegQuality, 0.0f, 1.0f) * 100));
        const bool grey = pixels.format() == QImage::Format_Grayscale8;
        if (!writer.write(grey ? pixels : pixels.convertToFormat(QImage::Format_RGB32)))
            return QByteArray();
    }
    return bytes;
}

ZDLImagePtr ZDLImage::fromDerivedBitmap(const QImage& pixels, bool sourceHasAlpha)
{
    return initWithData(encodedBitmapData(pixels, sourceHasAlpha, kDerivedJpegQuality));
}

} // namespace zandrel
