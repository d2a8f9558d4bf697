// Feeds arbitrary bytes to the image wrapper. The first byte chooses the decoder:
//   even: ZDLImage::initWithData on the rest (bitmap files and PDF), then drawing (as a screen and
//         as an export), the hit test, the derived images and an archive round trip of what
//         decoded;
//   odd:  the legacy bitmap decoder; the next 8 bytes are rowBytes, width, height (each 16-bit,
//         the sizes kept under 600 so that runs stay fast) and the length of the pixel data, which
//         is followed by the region.
// Any exception but the legacy reader's, and an archive that does not give back the saved bytes,
// are findings.
#include "graphics/BigEndianReader.h"
#include "graphics/GraphicsClasses.h"
#include "graphics/PDFRenderCache.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"

#include <QtEndian>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <poppler-qt6.h>

namespace zandrel {
namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_image: %s\n", what);
    std::abort();
}

void exercise(const ZDLImagePtr& image)
{
    const QSizeF size = image->pixelSize();
    if (!(size.width() > 0 && size.height() > 0))
        finding("decoded image without a size");
    OffscreenImage offscreen(QSize(64, 48), 1.5);
    {
        // As a screen draws: a PDF renders on another thread meanwhile.
        CanvasScope current(offscreen.canvas());
        ZDLContext screen { 1.5f };
        image->drawInRect(screen, QRectF(0, 0, 40, 30));
        PDFRenderCache::shared().waitForPendingRenders();
        image->drawInRect(screen, QRectF(0, 0, 40, 30));
    }
    image->drawInRect(*offscreen.canvas(), QRectF(0, 0, 40, 30));
    image->drawInRect(*offscreen.canvas(), QRectF(-5, -5, 20, 20), QRectF(1, 1, 3, 3));
    image->hitTestRect(QRectF(3, 3, 1, 1), QRectF(0, 0, 40, 30));
    // Derived images are bounded by the source; keep runs short on big sources.
    if (size.width() * size.height() <= 1 << 20) {
        ZDLImage::initByDownsampling(image.get(), 0.5f);
        ZDLImage::initByCropping(image.get(), QRectF(1, 1, 12, 12));
    }
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(image);
    const ZDLImagePtr back
        = KeyedUnarchiver::unarchive(archive, { QStringLiteral("ZDLImage") }).toObject<ZDLImage>();
    if (!back || back->savedData() != image->savedData() || back->isVector() != image->isVector())
        finding("archive round trip lost the image");
}

void decodeLegacy(const QByteArray& bytes)
{
    if (bytes.size() < 8)
        return;
    const auto* header = reinterpret_cast<const uchar*>(bytes.constData());
    const qint16 rowBytes = qFromBigEndian<qint16>(header);
    const int width = qFromBigEndian<quint16>(header + 2) % 600;
    const int height = qFromBigEndian<quint16>(header + 4) % 600;
    const int pixelLength = qFromBigEndian<quint16>(header + 6);
    const QByteArray rest = bytes.mid(8);
    try {
        const ZDLImagePtr image = ZDLImage::initWithZDL86Data(
            rest.left(pixelLength), rest.mid(pixelLength), QSizeF(width, height), rowBytes);
        if (image && image->pixelSize() != QSizeF(width, height))
            finding("legacy image of the wrong size");
    } catch (const Exception& e) {
        if (e.name() != kBigEndianReaderException)
            finding("unexpected exception from the legacy decoder");
    }
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    ClassRegistry::shared().registerOnce(&registerGraphicsClasses);
    // poppler sets up its global tables with the first open document and takes them down with the
    // last: one kept open spares every input that work, which under the sanitizers is most of an
    // ordinary page's.
    static const auto keptOpen = PDFRenderCache::loadDocument(QByteArrayLiteral(
        "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]/Count "
        "1>>endobj\n"
        "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 1 1]>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n"));
    Q_UNUSED(keptOpen);
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1) {
        decodeLegacy(bytes);
        return 0;
    }
    try {
        if (const ZDLImagePtr image = ZDLImage::initWithData(bytes))
            exercise(image);
    } catch (const Exception&) {
        finding("exception from an image file");
    }
    return 0;
}
