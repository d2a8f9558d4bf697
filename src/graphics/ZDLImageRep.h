#pragma once

#include "graphics/PDFRenderCache.h"
#include "platform/Canvas.h"
#include "platform/Object.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <memory>

namespace zandrel {

class ClassRegistry;
class ZDLImageRep;
class ZDLBitmapImageRep;
class ZDLPDFImageRep;
using ZDLImageRepPtr = std::shared_ptr<ZDLImageRep>;
using ZDLBitmapImageRepPtr = std::shared_ptr<ZDLBitmapImageRep>;
using ZDLPDFImageRepPtr = std::shared_ptr<ZDLPDFImageRep>;

// One representation of an image: a bitmap, or a PDF page drawn from renderings. Archived as
// "NSImageRep" subclasses so that an image made from a representation can be saved with it.
class ZDLImageRep : public Object {
public:
    // Size in points; for a bitmap, one point per pixel.
    virtual QSizeF size() const = 0;
    virtual int pixelsWide() const = 0;
    virtual int pixelsHigh() const = 0;
    virtual bool hasAlpha() const = 0;
    // The pixels the representation shows at a given size in device pixels: a bitmap answers its
    // own pixels, a PDF page a rendering of at least that size (within the caps and the render
    // budget). Null when nothing can be made.
    virtual QImage imageForDeviceSize(const QSize& deviceSize) const = 0;
};

// A decoded bitmap. Archive key (ours): "pngData", the pixels as PNG bytes.
class ZDLBitmapImageRep : public ZDLImageRep {
public:
    ZDLBitmapImageRep() = default;
    explicit ZDLBitmapImageRep(QImage image);

    // Decodes a bitmap file (PNG, JPEG, GIF, BMP, ICO, TIFF, WebP where Qt reads them), first frame
    // only. Null for other data, for sides over kMaxSide or more than kMaxPixels pixels: a few
    // bytes of a hostile file never make a giant allocation. The pixels are charged to the current
    // decoding budget, and while it lasts equal bytes are decoded once (the images share pixels).
    static constexpr int kMaxSide = 32767;
    static constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
    static QImage decodeImageData(const QByteArray& data, const char* format = nullptr);

    const QImage& image() const { return m_image; }
    // 1 for grey images without alpha, else 3 (RGB) or 4 (RGBA), as the pixels' format says.
    int samplesPerPixel() const;

    QSizeF size() const override { return QSizeF(m_image.size()); }
    int pixelsWide() const override { return m_image.width(); }
    int pixelsHigh() const override { return m_image.height(); }
    bool hasAlpha() const override { return m_image.hasAlphaChannel(); }
    QImage imageForDeviceSize(const QSize&) const override { return m_image; }

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ZDLBitmapImageRep");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // Null when the PNG bytes are missing or do not decode.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    static QImage decodeImageDataOnce(const QByteArray& data, const char* format);

    QImage m_image;
};

// Page 0 of a PDF document, drawn by poppler from bitmaps that PDFRenderCache makes within a
// budget and keeps per scale bucket (quarter octaves, so that zooming reuses them and the screen,
// the thumbnail and hit tests share them). Archive key (ours): "pdfData", the document's bytes.
class ZDLPDFImageRep : public ZDLImageRep {
public:
    // Renderings are capped at this many pixels a side and in all (larger requests render smaller
    // and are scaled up when drawn), so a huge page or zoom never makes a giant bitmap.
    static constexpr int kMaxRenderSide = kFuzzingBuild ? 1024 : 8192;
    static constexpr qint64 kMaxRenderPixels = scaledAllowance(32LL * 1024 * 1024);
    static constexpr int kScaleBucketsPerOctave = 4;

    ZDLPDFImageRep();
    ZDLPDFImageRep(const ZDLPDFImageRep&) = delete;
    ZDLPDFImageRep& operator=(const ZDLPDFImageRep&) = delete;
    // Drops the renderings and stops the ones under way.
    ~ZDLPDFImageRep() override;

    // Null when poppler cannot open the bytes, the document is locked, has no page, or its first
    // page has no usable size. While a decoding budget lasts, equal bytes give the one
    // representation, and what reading them costs is charged to it (expansionWhenRead).
    static ZDLPDFImageRepPtr imageRepWithData(const QByteArray& data);

    const QByteArray& PDFRepresentation() const { return m_data; }
    qint64 expansionWhenRead() const { return m_data.size(); }

    QSizeF size() const override { return m_size; }
    // The page in points: a vector representation has no pixels of its own.
    int pixelsWide() const override { return qRound(m_size.width()); }
    int pixelsHigh() const override { return qRound(m_size.height()); }
    bool hasAlpha() const override { return true; }
    // Waits for a rendering at least of the size (capped as above); null when over budget.
    QImage imageForDeviceSize(const QSize& deviceSize) const override;

    // The page at the scale's bucket: device pixels per point rounded up to a quarter octave, the
    // size capped as above. Empty for a scale that is not a positive finite number.
    QSize renderSizeForScale(double scale) const;
    // The rendering for a scale; whenDone as PDFRenderCache::rendering.
    PDFRendering renderingAtScale(
        double scale, PDFRenderingMode mode, PDFRenderCache::Callback whenDone = {}) const;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ZDLPDFImageRep");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    bool load(const QByteArray& data);
    // Within the render caps.
    static QSize cappedSize(double width, double height);
    PDFRenderCache::Source source() const { return { m_renderKey, m_data, m_size, m_allowance }; }

    QByteArray m_data;
    QSizeF m_size;
    std::shared_ptr<PDFWorkAllowance> m_allowance;
    const quint64 m_renderKey;
};

// Registers "NSImageRep" (for class chains), "ZDLBitmapImageRep" and "ZDLPDFImageRep".
void registerImageRepClasses(ClassRegistry& registry);

} // namespace zandrel
