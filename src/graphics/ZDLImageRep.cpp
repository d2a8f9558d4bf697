#include "graphics/ZDLImageRep.h"

#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <cmath>
#include <poppler-qt6.h>

namespace zandrel {

namespace {

const QString kPngDataKey = QStringLiteral("pngData");
const QString kPdfDataKey = QStringLiteral("pdfData");

// Pages larger than this (in points, about 70 m) are not drawings anyone places in a comic.
constexpr double kMaxPageSide = 200000.0;

void ignorePopplerMessages(const QString&, const QVariant&)
{
}

} // namespace

// --- Bitmap ---

QImage ZDLBitmapImageRep::decodeImageData(const QByteArray& data, const char* format)
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
    QImage image = reader.read();
    if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide
        || qint64(image.width()) * image.height() > kMaxPixels)
        return QImage();
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
    return QStringLiteral("ZDLBitmapImageRep");
}

void ZDLBitmapImageRep::encodeWithCoder(KeyedArchiver& coder) const
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(80); // zlib level 1: several times faster than the default level
    writer.write(m_image);
    coder.encodeObject(Value(png), kPngDataKey);
}

ObjectPtr ZDLBitmapImageRep::initWithCoder(KeyedUnarchiver& coder)
{
    const QByteArray png = coder.decodeObjectOfClass(QStringLiteral("NSData"), kPngDataKey).toData();
    const QImage image = decodeImageData(png, "png");
    if (image.isNull())
        return nullptr;
    m_image = image;
    return shared_from_this();
}

// --- PDF ---

ZDLPDFImageRep::ZDLPDFImageRep() = default;
ZDLPDFImageRep::~ZDLPDFImageRep() = default;

ZDLPDFImageRepPtr ZDLPDFImageRep::imageRepWithData(const QByteArray& data)
{
    auto rep = std::make_shared<ZDLPDFImageRep>();
    return rep->load(data) ? rep : nullptr;
}

bool ZDLPDFImageRep::load(const QByteArray& data)
{
    // Poppler reports every oddity of a damaged file on stderr; the caller learns of failure from
    // the answer instead.
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(&ignorePopplerMessages, QVariant());
        return true;
    }();
    Q_UNUSED(quiet);
    if (data.isEmpty())
        return false;
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(data);
    if (!document || document->isLocked() || document->numPages() < 1)
        return false;
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return false;
    const QSizeF size = page->pageSizeF();
    if (!(size.width() > 0 && size.height() > 0 && size.width() <= kMaxPageSide
            && size.height() <= kMaxPageSide))
        return false;
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    // A PDF page placed in a drawing shows what lies under it wherever the page draws nothing.
    document->setRenderHint(Poppler::Document::IgnorePaperColor);
    m_data = data;
    m_size = size;
    m_document = std::move(document);
    m_renderings.clear();
    return true;
}

QImage ZDLPDFImageRep::imageForDeviceSize(const QSize& deviceSize) const
{
    if (!m_document || deviceSize.isEmpty())
        return QImage();
    QSize size = deviceSize;
    const double fit
        = std::min({ 1.0, double(kMaxRenderSide) / size.width(), double(kMaxRenderSide) / size.height(),
            std::sqrt(double(kMaxRenderPixels) / (double(size.width()) * size.height())) });
    if (fit < 1.0)
        size = QSize(std::max(1, int(size.width() * fit)), std::max(1, int(size.height() * fit)));
    for (auto it = m_renderings.begin(); it != m_renderings.end(); ++it) {
        if (it->first == size) {
            m_renderings.splice(m_renderings.begin(), m_renderings, it);
            return it->second;
        }
    }
    const std::unique_ptr<Poppler::Page> page = m_document->page(0);
    if (!page)
        return QImage();
    const double xres = 72.0 * size.width() / m_size.width();
    const double yres = 72.0 * size.height() / m_size.height();
    QImage image = page->renderToImage(xres, yres, 0, 0, size.width(), size.height());
    if (image.isNull())
        return QImage();
    constexpr size_t kCachedRenderings = 4;
    m_renderings.emplace_front(size, image);
    if (m_renderings.size() > kCachedRenderings)
        m_renderings.pop_back();
    return image;
}

QString ZDLPDFImageRep::className() const
{
    return QStringLiteral("ZDLPDFImageRep");
}

void ZDLPDFImageRep::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(Value(m_data), kPdfDataKey);
}

ObjectPtr ZDLPDFImageRep::initWithCoder(KeyedUnarchiver& coder)
{
    const QByteArray data = coder.decodeObjectOfClass(QStringLiteral("NSData"), kPdfDataKey).toData();
    return load(data) ? shared_from_this() : nullptr;
}

void registerImageRepClasses(ClassRegistry& registry)
{
    registry.registerClass(QStringLiteral("NSImageRep"), QStringLiteral("NSObject"), nullptr);
    registry.registerClass<ZDLBitmapImageRep>(
        QStringLiteral("ZDLBitmapImageRep"), QStringLiteral("NSImageRep"));
    registry.registerClass<ZDLPDFImageRep>(QStringLiteral("ZDLPDFImageRep"), QStringLiteral("NSImageRep"));
}

} // namespace zandrel
