#include "graphics/ZDLImage.h"

#include "graphics/CoderExtensions.h"
#include "graphics/ZDLContext.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QUrl>
#include <algorithm>
#include <cmath>

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

ZDLImagePtr ZDLImage::initByReferencingURL(const QUrl& url)
{
    return url.isLocalFile() ? initByReferencingURL(url.toLocalFile()) : nullptr;
}

ZDLImagePtr ZDLImage::initByReferencingURL(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return nullptr;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return nullptr;
    return initWithData(data);
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

void ZDLImage::drawInRect(ZDLContext& context, const QRectF& target, const QRectF& source, float fraction,
    CompositionMode mode) const
{
    if (context.canvas())
        drawInRect(*context.canvas(), target, source, fraction, mode);
}

void ZDLImage::drawInRect(
    Canvas& canvas, const QRectF& target, const QRectF& source, float fraction, CompositionMode mode) const
{
    if (!m_rep || target.isEmpty())
        return;
    const QSizeF points = m_rep->size();
    const QRectF whole(QPointF(0, 0), points);
    const QRectF from = source.isEmpty() ? whole : source;
    if (points.isEmpty())
        return;
    QSize deviceSize;
    if (m_isVector) {
        // Render the whole page at the scale at which the source rect lands on the device.
        const QTransform toDevice = canvas.transform() * canvas.baseToDevice();
        const QRectF onDevice = toDevice.mapRect(target);
        double scaleX = onDevice.width() / from.width();
        double scaleY = onDevice.height() / from.height();
        if (!canvas.isDrawingToScreen()) {
            scaleX = std::max(scaleX, kMinPrintScale);
            scaleY = std::max(scaleY, kMinPrintScale);
        }
        const double w = std::ceil(points.width() * scaleX);
        const double h = std::ceil(points.height() * scaleY);
        if (!(w >= 1 && h >= 1))
            return;
        // Past the rep's render cap the size is only a request; keep the int conversion defined.
        deviceSize = QSize(int(std::min(w, 1e6)), int(std::min(h, 1e6)));
    }
    const QImage pixels = m_rep->imageForDeviceSize(deviceSize);
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
    const QSizeF points = m_rep->size();
    // Vector images are tested on a rendering at one device pixel per point.
    const QImage pixels = m_rep->imageForDeviceSize(
        QSize(std::max(1, int(std::ceil(points.width()))), std::max(1, int(std::ceil(points.height())))));
    if (pixels.isNull())
        return false;
    const double sx = pixels.width() / destination.width();
    const double sy = pixels.height() / destination.height();
    const double left = (rect.left() - destination.left()) * sx;
    const double top = (rect.top() - destination.top()) * sy;
    const double right = left + std::max(rect.width(), 0.0) * sx;
    const double bottom = top + std::max(rect.height(), 0.0) * sy;
    // The pixels the rect touches (a zero-size rect touches the one it lies on).
    const int x0 = int(std::clamp(std::floor(left), 0.0, double(pixels.width())));
    const int y0 = int(std::clamp(std::floor(top), 0.0, double(pixels.height())));
    const int x1
        = int(std::clamp(std::max(std::ceil(right), std::floor(left) + 1), 0.0, double(pixels.width())));
    const int y1
        = int(std::clamp(std::max(std::ceil(bottom), std::floor(top) + 1), 0.0, double(pixels.height())));
    if (!pixels.hasAlphaChannel())
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
    return QStringLiteral("ZDLImage");
}

void ZDLImage::encodeWithCoder(KeyedArchiver& coder) const
{
    if (!m_savedData.isEmpty()) {
        coder.encodeObject(Value(m_savedData), kImageDataKey);
    } else if (m_isVector) {
        coder.encodeObject(
            Value(std::static_pointer_cast<ZDLPDFImageRep>(m_rep)->PDFRepresentation()), kPdfDataKey);
    } else if (m_rep) {
        coder.encodeObject(ObjectPtr(m_rep), kImageRepKey);
    }
}

ObjectPtr ZDLImage::initWithCoder(KeyedUnarchiver& coder)
{
    if (coder.containsValueForKey(kImageRepKey)) {
        const auto rep = zdlDecodeObjectOfClass(coder, QStringLiteral("NSImageRep"), kImageRepKey)
                             .toObject<ZDLImageRep>();
        if (!rep)
            return nullptr;
        setRep(rep);
        return shared_from_this();
    }
    if (coder.containsValueForKey(kImageDataKey)) {
        const QByteArray data
            = zdlDecodeObjectOfClass(coder, QStringLiteral("NSData"), kImageDataKey).toData();
        return setData(data) ? shared_from_this() : nullptr;
    }
    if (coder.containsValueForKey(kPdfDataKey)) {
        const QByteArray data = zdlDecodeObjectOfClass(coder, QStringLiteral("NSData"), kPdfDataKey).toData();
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
    registry.registerClass(QStringLiteral("NSImage"), QStringLiteral("NSObject"), nullptr);
    registry.registerClass<ZDLImage>(QStringLiteral("ZDLImage"), QStringLiteral("NSImage"));
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
