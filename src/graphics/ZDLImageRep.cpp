#include "graphics/ZDLImageRep.h"

#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/DecodingBudget.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cmath>
#include <poppler-qt6.h>

namespace zandrel {

namespace {

const QString kPngDataKey = QStringLiteral("pngData");
const QString kPdfDataKey = QStringLiteral("pdfData");

// What DecodingBudget::expandOnce keeps decodings under.
const QString kBitmapDecodingKind = QStringLiteral("bitmap:");
const QString kPdfDecodingKind = QStringLiteral("pdf");
// One per file read: the work allowance its PDF images share.
const QString kPdfWorkKind = QStringLiteral("pdfWork");

// Pages larger than this (in points, about 70 m) are not drawings anyone places in a comic.
constexpr double kMaxPageSide = 200000.0;

} // namespace

// --- Bitmap ---

QImage ZDLBitmapImageRep::decodeImageData(const QByteArray& data, const char* format)
{
    // Records that share their bytes share one decoding.
    const auto decoded = DecodingBudget::expandOnce<QImage>(
        kBitmapDecodingKind + QLatin1String(format ? format : ""), data, [&]() -> std::shared_ptr<QImage> {
            QImage image = decodeImageDataOnce(data, format);
            return image.isNull() ? nullptr : std::make_shared<QImage>(std::move(image));
        });
    return decoded ? *decoded : QImage();
}

QImage ZDLBitmapImageRep::decodeImageDataOnce(const QByteArray& data, const char* format)
{
    static const QList<QByteArray> allowed { "png", "jpeg", "jpg", "gif", "bmp", "ico", "tiff", "tif",
        "webp" };
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(format == nullptr);
    reader.setAutoTransform(false);
    if (!reader.canRead() || !allowed.contains(reader.format().toLower()))
        return QImage();
    // The header's size, where the format tells it, refuses a bomb before any pixel is decoded; the
    // reader's own allocation limit covers the rest.
    const QSize declared = reader.size();
    if (declared.isValid()
        && (declared.width() > kMaxSide || declared.height() > kMaxSide
            || qint64(declared.width()) * declared.height() > kMaxPixels))
        return QImage();
    // The pixels are charged to the decoding budget before they are made, as the header says
    // they will be stored; what the decoder makes beyond that afterwards.
    qint64 charged = 0;
    if (declared.isValid()) {
        const QPixelFormat pixels = QImage::toPixelFormat(reader.imageFormat());
        const qint64 bitsPerPixel
            = reader.imageFormat() == QImage::Format_Invalid ? 32 : pixels.bitsPerPixel();
        charged = (qint64(declared.width()) * bitsPerPixel + 31) / 32 * 4 * declared.height();
        DecodingBudget::charge(charged);
    }
    QImage image = reader.read();
    if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide
        || qint64(image.width()) * image.height() > kMaxPixels)
        return QImage();
    DecodingBudget::charge(qint64(image.sizeInBytes()) - charged);
    return image;
}

ZDLBitmapImageRep::ZDLBitmapImageRep(QImage image)
    : m_image(std::move(image))
{
}

int ZDLBitmapImageRep::samplesPerPixel() const
{
    if (m_image.hasAlphaChannel())
        return 4;
    switch (m_image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
        return m_image.isGrayscale() ? 1 : 3;
    default:
        return 3;
    }
}

QString ZDLBitmapImageRep::className() const
{
    return kClassName;
}

void ZDLBitmapImageRep::encodeWithCoder(KeyedArchiver& coder) const
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(80); // zlib level 1: several times faster than the default level
    writer.write(m_image);
    coder.noteExpansion(png, m_image.sizeInBytes());
    coder.encodeObject(Value(png), kPngDataKey);
}

ObjectPtr ZDLBitmapImageRep::initWithCoder(KeyedUnarchiver& coder)
{
    const QByteArray png = coder.decodeObjectOfClass(PlatformClass::kData, kPngDataKey).toData();
    const QImage image = decodeImageData(png, "png");
    if (image.isNull())
        return nullptr;
    m_image = image;
    return shared_from_this();
}

// --- PDF ---

ZDLPDFImageRep::ZDLPDFImageRep()
    : m_renderKey(PDFRenderCache::newKey())
{
}

ZDLPDFImageRep::~ZDLPDFImageRep()
{
    PDFRenderCache::shared().forget(m_renderKey);
}

ZDLPDFImageRepPtr ZDLPDFImageRep::imageRepWithData(const QByteArray& data)
{
    // Records that share their bytes share the representation, and its renderings.
    return DecodingBudget::expandOnce<ZDLPDFImageRep>(kPdfDecodingKind, data, [&]() -> ZDLPDFImageRepPtr {
        // What poppler builds while it reads the document is about as large as the document.
        DecodingBudget::charge(data.size());
        auto rep = std::make_shared<ZDLPDFImageRep>();
        return rep->load(data) ? rep : nullptr;
    });
}

bool ZDLPDFImageRep::load(const QByteArray& data)
{
    // Only the page size is learnt here; every rendering loads a document of its own.
    const std::unique_ptr<Poppler::Document> document = PDFRenderCache::loadDocument(data);
    if (!document || document->isLocked() || document->numPages() < 1)
        return false;
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return false;
    const QSizeF size = page->pageSizeF();
    if (!(size.width() > 0 && size.height() > 0 && size.width() <= kMaxPageSide
            && size.height() <= kMaxPageSide))
        return false;
    PDFRenderCache::shared().forget(m_renderKey);
    m_data = data;
    m_size = size;
    // Images read from the same file share one allowance; one made otherwise has its own.
    m_allowance = DecodingBudget::expandOnce<PDFWorkAllowance>(
        kPdfWorkKind, QByteArray(), [] { return std::make_shared<PDFWorkAllowance>(); });
    return true;
}

QSize ZDLPDFImageRep::cappedSize(double width, double height)
{
    const double fit = std::min({ 1.0, kMaxRenderSide / width, kMaxRenderSide / height,
        std::sqrt(double(kMaxRenderPixels) / (width * height)) });
    return QSize(std::max(1, int(width * fit)), std::max(1, int(height * fit)));
}

QImage ZDLPDFImageRep::imageForDeviceSize(const QSize& deviceSize) const
{
    if (m_data.isEmpty() || deviceSize.isEmpty())
        return QImage();
    const QSize size = cappedSize(deviceSize.width(), deviceSize.height());
    return PDFRenderCache::shared().rendering(source(), size, PDFRenderingMode::Wait).image;
}

QSize ZDLPDFImageRep::renderSizeForScale(double scale) const
{
    if (!(scale > 0 && std::isfinite(scale)) || m_size.isEmpty())
        return QSize();
    // Far beyond the caps; keeps the arithmetic below finite.
    scale = std::min(scale, 1e6);
    // The small slack keeps a scale that is a bucket already (1, 2) from rounding a bucket up.
    const double bucket = std::ceil(std::log2(scale) * kScaleBucketsPerOctave - 1e-9);
    const double bucketScale = std::exp2(bucket / kScaleBucketsPerOctave);
    return cappedSize(std::ceil(m_size.width() * bucketScale), std::ceil(m_size.height() * bucketScale));
}

PDFRendering ZDLPDFImageRep::renderingAtScale(
    double scale, PDFRenderingMode mode, PDFRenderCache::Callback whenDone) const
{
    const QSize size = renderSizeForScale(scale);
    if (m_data.isEmpty() || size.isEmpty())
        return {};
    return PDFRenderCache::shared().rendering(source(), size, mode, std::move(whenDone));
}

QString ZDLPDFImageRep::className() const
{
    return kClassName;
}

void ZDLPDFImageRep::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.noteExpansion(m_data, expansionWhenRead());
    coder.encodeObject(Value(m_data), kPdfDataKey);
}

ObjectPtr ZDLPDFImageRep::initWithCoder(KeyedUnarchiver& coder)
{
    const QByteArray data = coder.decodeObjectOfClass(PlatformClass::kData, kPdfDataKey).toData();
    return load(data) ? shared_from_this() : nullptr;
}

void registerImageRepClasses(ClassRegistry& registry)
{
    registry.registerClass(PlatformClass::kImageRep, PlatformClass::kObject, nullptr);
    registry.registerClass<ZDLBitmapImageRep>(ZDLBitmapImageRep::kClassName, PlatformClass::kImageRep);
    registry.registerClass<ZDLPDFImageRep>(ZDLPDFImageRep::kClassName, PlatformClass::kImageRep);
}

} // namespace zandrel
