#pragma once

#include "graphics/ZDLImageRep.h"
#include "platform/Canvas.h"
#include "platform/Object.h"

#include <QByteArray>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <memory>

namespace zandrel {

class ClassRegistry;
struct FileReadError;
class ZDLContext;
class ZDLImage;
using ZDLImagePtr = std::shared_ptr<ZDLImage>;

// Posted on the interface thread, with the image as object, when a rendering of a PDF image that
// the screen asked for has ended (ready or over budget): views redraw the image's area.
inline const QString kImageRenderedNotification = QStringLiteral("imageRendered");

// The image of an image element or a character's tracing image. It keeps the exact bytes it was
// made from, so that saving writes the user's own JPEG, PNG or PDF file back unchanged rather than
// a re-encoded rendering, and a PDF stays vector: it is drawn from poppler's renderings at the
// resolution of each destination, made within a budget (PDFRenderCache), so that a hostile page
// never stalls drawing. It also makes the image editor's derived images (downsampled and cropped
// copies) and decodes the 1-bit run-length bitmaps of legacy parts files.
//
// Constructors that can fail are static and answer null. Images are shared between copies of
// elements and compared by identity, so they are not changed after they are made.
//
// Archive keys, one per image: "imageData" (the saved bytes), else "pdfData" (the PDF of a vector
// image made from a representation), else "imageRep" (the representation object, a
// ZDLBitmapImageRep; also the only key of older files).
class ZDLImage : public Object {
public:
    // JPEG quality of the derived images (the image element's own import uses 0.8).
    static constexpr float kDerivedJpegQuality = 0.7f;
    static constexpr float kImportJpegQuality = 0.8f;
    // Cropping refuses results narrower or lower than this, in pixels.
    static constexpr int kMinCropSide = 10;
    // Legacy records whose pixel or mask buffer would exceed this are refused.
    static constexpr qint64 kMaxLegacyBufferBytes = 64LL * 1024 * 1024;
    // Legacy records of more pixels are refused: the decoded 32-bit image must stay well within
    // what the bitmap reader accepts back from its PNG, and one record within about half a second.
    static constexpr qint64 kMaxLegacyPixels = 16LL * 1024 * 1024;

    // No representation and no saved bytes.
    ZDLImage();
    ~ZDLImage() override;

    // From file bytes: a PDF (kept vector) or a bitmap file. Null for anything else.
    static ZDLImagePtr initWithData(const QByteArray& data);
    // An image of the representation's size holding it; no saved bytes. Null for a null rep.
    static ZDLImagePtr initWithImageRep(const ZDLImageRepPtr& rep);
    // Reads the whole file, then as initWithData. Null when the file cannot be read or there is not
    // the memory to decode it, with the reason in error when given (which stays empty for bytes that
    // are no picture). Files over kMaxFileBytes are not read.
    static constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
    static ZDLImagePtr initByReferencingURL(const QString& path, FileReadError* error = nullptr);
    // Only local files are read; any other URL gives null.
    static ZDLImagePtr initByReferencingURL(const QUrl& url, FileReadError* error = nullptr);
    // A bitmap copy scaled by the factor (sides rounded with roundf), re-encoded: JPEG at 0.7 when
    // the source has no alpha, else PNG. Null for a vector, empty or non-bitmap source, and for a
    // factor that leaves no pixel or makes a bitmap too large.
    static ZDLImagePtr initByDownsampling(const ZDLImage* image, float factor);
    // A bitmap copy of the pixels of rect (pixels, y measured from the top edge) within the image,
    // its edges rounded to whole pixels, encoded as above. Null for a vector, empty or non-bitmap
    // source, a rect that misses the image, or a result under kMinCropSide pixels either way.
    static ZDLImagePtr initByCropping(const ZDLImage* image, const QRectF& rect);
    // One legacy bitmap record: PackBits-coded 1-bit pixel rows (a stored 1 is black) and a region
    // telling which pixels are opaque; the result is held as PNG. Null for a width or height under
    // 1. A record that runs out of bytes, or whose row length is 0, 0x8000 or more, shorter than
    // the width, or makes buffers over kMaxLegacyBufferBytes or more than kMaxLegacyPixels pixels,
    // raises "BigEndianReaderException".
    // Pixel data that ends early is padded white and transparent; region rows and columns outside
    // the bitmap are clipped; an odd trailing x of a region row is ignored.
    static ZDLImagePtr initWithZDL86Data(
        const QByteArray& pixelData, const QByteArray& regionData, const QSizeF& size, qint16 rowBytes);

    // The file bytes the image was made from; empty for an image made from a representation.
    const QByteArray& savedData() const { return m_savedData; }
    bool isVector() const { return m_isVector; }
    // Null for an image without a representation.
    const ZDLImageRepPtr& imageRep() const { return m_rep; }
    // Points: the page size for a PDF, the pixel size for a bitmap.
    QSizeF size() const;
    // The page size for a vector image; otherwise the first representation's pixels, or zero.
    QSizeF pixelSize() const;
    bool hasAlpha() const;

    // Draws the source rect (points, y from the top; empty: the whole image) into the target rect of
    // the canvas's user space, the image's top row at the target's smallest y. A PDF is drawn from
    // a rendering at the destination's device resolution, rounded up to a scale bucket (at least
    // 300 dpi for PDF and print destinations, which get a bitmap too). With InBackground, a PDF
    // whose rendering is not ready shows the best one at hand or a placeholder, and
    // kImageRenderedNotification follows; one over its render budget shows the placeholder.
    void drawInRect(Canvas& canvas, const QRectF& target, const QRectF& source = QRectF(),
        float fraction = 1.0f, CompositionMode mode = CompositionMode::SourceOver,
        PDFRenderingMode rendering = PDFRenderingMode::Wait) const;
    // The same into the context's canvas; nothing without one. On screen (not exporting, raster
    // canvas) a PDF renders in the background.
    void drawInRect(ZDLContext& context, const QRectF& target, const QRectF& source = QRectF(),
        float fraction = 1.0f, CompositionMode mode = CompositionMode::SourceOver) const;
    // Whether any pixel under rect is not fully transparent, with the whole image drawn into
    // destination (both in the same y-down space). Rects outside the destination hit nothing. A PDF
    // over its render budget is hit all over, like the placeholder it shows.
    bool hitTestRect(const QRectF& rect, const QRectF& destination) const;

    // The placeholder of a PDF with no rendering to show: a light grey box with a thin outline.
    static constexpr QRgb kPlaceholderFill = 0xFFE0E0E0;
    static constexpr QRgb kPlaceholderOutline = 0xFFA0A0A0;
    // How many times this thread drew a PDF whose rendering was still under way (a placeholder or
    // a rendering of another scale). Bitmap caches of drawings compare it before and after, and do
    // not keep a bitmap that will be out of date when the rendering arrives.
    static quint64 pendingRenderingsDrawn();

    // File bytes for pixels: PNG when withAlpha, else JPEG at the quality (0 to 1). Empty when
    // the pixels cannot be encoded.
    static QByteArray encodedBitmapData(const QImage& pixels, bool withAlpha, float jpegQuality);

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ZDLImage");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // Null when the chosen key decodes to nothing usable.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    // Takes the representation and the bytes; false when the bytes are not an image.
    bool setData(const QByteArray& data);
    void setRep(const ZDLImageRepPtr& rep);
    // The pixels a bitmap-only operation works on; null for vector or empty images.
    const ZDLBitmapImageRep* bitmapRep() const;
    // The derived-image encoding: JPEG at 0.7 without alpha, else PNG; then initWithData.
    static ZDLImagePtr fromDerivedBitmap(const QImage& pixels, bool sourceHasAlpha);
    // The rendering a vector image is drawn from at the canvas's resolution.
    PDFRendering vectorRendering(
        const Canvas& canvas, const QRectF& target, const QRectF& from, PDFRenderingMode rendering) const;
    static void drawPlaceholder(Canvas& canvas, const QRectF& target, float fraction, CompositionMode mode);

    QByteArray m_savedData;
    bool m_isVector = false;
    ZDLImageRepPtr m_rep;
};

// Registers "NSImage" (for class chains), "ZDLImage" and the representation classes.
void registerImageClasses(ClassRegistry& registry);

} // namespace zandrel
