#include "graphics/ZDLImage.h"

#include "graphics/GraphicsClasses.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// Top half red, bottom half blue; with alpha, the right half is transparent instead.
QImage twoTone(int w, int h, bool alpha)
{
    QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter p(&image);
    p.fillRect(0, 0, w, h / 2, Qt::red);
    if (alpha) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(w / 2, 0, w - w / 2, h, Qt::transparent);
    }
    return image;
}

// A page of 144 x 72 points whose left half is filled red and whose right half is left empty.
QByteArray makePdf()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(144, 72), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter p(&writer);
    p.fillRect(QRectF(0, 0, 72, 72), Qt::red);
    p.end();
    return bytes;
}

class ZDLImageTest : public ::testing::Test {
protected:
    void SetUp() override { ClassRegistry::shared().registerOnce(&registerGraphicsClasses); }

    static ZDLImagePtr roundTrip(const ZDLImagePtr& image, QByteArray* archive = nullptr)
    {
        const QByteArray data = KeyedArchiver::archivedDataWithRootObject(image);
        if (archive)
            *archive = data;
        return KeyedUnarchiver::unarchive(data, { "ZDLImage" }).toObject<ZDLImage>();
    }
};

// Saving writes the user's own file back: the archive holds exactly the file's bytes.
TEST_F(ZDLImageTest, FileBytesArchiveVerbatimUnderImageData)
{
    for (const char* format : { "jpeg", "png" }) {
        const QByteArray file = encode(twoTone(40, 30, std::string(format) == "png"), format);
        const ZDLImagePtr image = ZDLImage::initWithData(file);
        ASSERT_TRUE(image) << format;
        EXPECT_FALSE(image->isVector());
        EXPECT_EQ(image->pixelSize(), QSizeF(40, 30));
        EXPECT_EQ(image->hasAlpha(), std::string(format) == "png");
        QByteArray archive;
        const ZDLImagePtr back = roundTrip(image, &archive);
        ASSERT_TRUE(back);
        EXPECT_TRUE(archive.contains(file));
        EXPECT_TRUE(archive.contains("imageData"));
        EXPECT_FALSE(archive.contains("imageRep"));
        EXPECT_EQ(back->savedData(), file);
        EXPECT_EQ(back->pixelSize(), QSizeF(40, 30));
    }
}

TEST_F(ZDLImageTest, RepresentationsArchiveAsImageRepOrPdfData)
{
    const QImage pixels = twoTone(12, 8, true);
    const ZDLImagePtr bitmap = ZDLImage::initWithImageRep(std::make_shared<ZDLBitmapImageRep>(pixels));
    ASSERT_TRUE(bitmap);
    EXPECT_TRUE(bitmap->savedData().isEmpty());
    QByteArray archive;
    const ZDLImagePtr bitmapBack = roundTrip(bitmap, &archive);
    ASSERT_TRUE(bitmapBack);
    EXPECT_TRUE(archive.contains("imageRep"));
    EXPECT_TRUE(archive.contains("ZDLBitmapImageRep"));
    EXPECT_FALSE(bitmapBack->isVector());
    EXPECT_TRUE(bitmapBack->savedData().isEmpty());
    const auto* rep = dynamic_cast<const ZDLBitmapImageRep*>(bitmapBack->imageRep().get());
    ASSERT_TRUE(rep);
    EXPECT_EQ(rep->image().convertToFormat(QImage::Format_ARGB32), pixels);

    const QByteArray pdf = makePdf();
    const ZDLImagePtr vector = ZDLImage::initWithImageRep(ZDLPDFImageRep::imageRepWithData(pdf));
    ASSERT_TRUE(vector);
    EXPECT_TRUE(vector->isVector());
    const ZDLImagePtr vectorBack = roundTrip(vector, &archive);
    ASSERT_TRUE(vectorBack);
    EXPECT_TRUE(archive.contains("pdfData"));
    EXPECT_TRUE(archive.contains(pdf));
    EXPECT_TRUE(vectorBack->isVector());
    // The PDF bytes do not become saved bytes: the next save writes "pdfData" again.
    EXPECT_TRUE(vectorBack->savedData().isEmpty());
    EXPECT_EQ(vectorBack->pixelSize(), QSizeF(144, 72));

    EXPECT_FALSE(ZDLImage::initWithImageRep(nullptr));
    EXPECT_EQ(ZDLImage().pixelSize(), QSizeF(0, 0));
    EXPECT_FALSE(ZDLImage().hasAlpha());
}

// Hand-written archives: a key that decodes to nothing gives no image at all.
class ImageArchive : public Object {
public:
    QString key;
    Value value;
    QString className() const override { return QStringLiteral("ZDLImage"); }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeObject(value, key); }
};

TEST_F(ZDLImageTest, UndecodableArchivesGiveNoImage)
{
    const std::pair<QString, Value> cases[] = {
        { "imageData", Value(QByteArray("not an image")) },
        { "imageData", Value(QStringLiteral("a string")) },
        { "pdfData", Value(QByteArray("%PDF-1.4 broken")) },
        { "imageRep", Value(QByteArray("bytes are not a representation")) },
        { "other", Value(QByteArray("x")) },
    };
    for (const auto& [key, value] : cases) {
        auto archived = std::make_shared<ImageArchive>();
        archived->key = key;
        archived->value = value;
        const QByteArray data = KeyedArchiver::archivedDataWithRootObject(archived);
        EXPECT_FALSE(KeyedUnarchiver::unarchive(data, { "ZDLImage" }).toObject<ZDLImage>())
            << key.toStdString();
    }
}

TEST_F(ZDLImageTest, UndecodableDataGivesNull)
{
    QByteArray bomb = encode(QImage(1, 1, QImage::Format_RGB32), "png");
    // IHDR width and height rewritten to 100000 x 100000 (the CRC no longer matches either).
    bomb.replace(16, 8, QByteArray::fromHex("000186a0000186a0"));
    const QByteArray truncated = encode(twoTone(64, 64, false), "jpeg").left(40);
    const QByteArray xpm = "/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #000000\", \"a\"};\n";
    for (const QByteArray& data :
        { QByteArray(), QByteArray("garbage bytes"), QByteArray("%PDF-1.7\n%%EOF"), truncated, bomb, xpm })
        EXPECT_FALSE(ZDLImage::initWithData(data)) << data.left(20).toHex().toStdString();

    QTemporaryDir dir;
    EXPECT_FALSE(ZDLImage::initByReferencingURL(dir.filePath("missing.png")));
    QFile file(dir.filePath("image.png"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray png = encode(twoTone(5, 5, true), "png");
    file.write(png);
    file.close();
    const ZDLImagePtr image = ZDLImage::initByReferencingURL(file.fileName());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->savedData(), png);
    EXPECT_TRUE(ZDLImage::initByReferencingURL(QUrl::fromLocalFile(file.fileName())));
    EXPECT_FALSE(ZDLImage::initByReferencingURL(QUrl("https://example.org/image.png")));

    // Text that merely mentions a PDF header does not stop a bitmap from decoding.
    QImage tagged = twoTone(8, 8, false);
    tagged.setText("Comment", "%PDF-1.4");
    EXPECT_TRUE(ZDLImage::initWithData(encode(tagged, "png")));
}

// A PDF keeps its page size in points and draws sharp at every scale, showing what lies under
// the parts of the page where nothing is drawn.
TEST_F(ZDLImageTest, PdfDrawsAtTheDestinationScale)
{
    const QByteArray pdf = makePdf();
    const ZDLImagePtr image = ZDLImage::initWithData(pdf);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->isVector());
    EXPECT_EQ(image->pixelSize(), QSizeF(144, 72));
    EXPECT_EQ(image->size(), QSizeF(144, 72));
    EXPECT_EQ(image->savedData(), pdf);
    for (double scale : { 1.0, 2.0 }) {
        OffscreenImage offscreen(QSize(int(200 * scale), int(100 * scale)), scale);
        ASSERT_TRUE(offscreen.isValid());
        image->drawInRect(*offscreen.canvas(), QRectF(10, 10, 144, 72));
        const QImage out = offscreen.takeImage();
        const auto at = [&](double x, double y) { return out.pixelColor(int(x * scale), int(y * scale)); };
        EXPECT_EQ(at(20, 40), QColor(Qt::red)) << scale;
        EXPECT_EQ(at(80, 40), QColor(Qt::red)) << scale;
        EXPECT_EQ(at(90, 40).alpha(), 0) << scale;
        EXPECT_EQ(at(5, 5).alpha(), 0) << scale;
        // The red edge at x = 82 is as sharp as a device pixel allows.
        const int edge = int(82 * scale);
        EXPECT_GT(out.pixelColor(edge - 1, int(40 * scale)).alpha(), 240) << scale;
        EXPECT_LT(out.pixelColor(edge + 1, int(40 * scale)).alpha(), 15) << scale;
    }
    // Part of the page: its right half is empty.
    OffscreenImage offscreen(QSize(72, 72));
    image->drawInRect(*offscreen.canvas(), QRectF(0, 0, 72, 72), QRectF(72, 0, 72, 72));
    EXPECT_EQ(offscreen.takeImage().pixelColor(36, 36).alpha(), 0);

    EXPECT_TRUE(image->hitTestRect(QRectF(10, 10, 1, 1), QRectF(0, 0, 144, 72)));
    EXPECT_FALSE(image->hitTestRect(QRectF(100, 10, 1, 1), QRectF(0, 0, 144, 72)));
}

TEST_F(ZDLImageTest, HitTestFollowsPixelAlpha)
{
    const ZDLImagePtr image = ZDLImage::initWithData(encode(twoTone(20, 10, true), "png"));
    ASSERT_TRUE(image);
    const QRectF destination(0, 0, 40, 20); // drawn at twice its pixel size
    EXPECT_TRUE(image->hitTestRect(QRectF(5, 5, 1, 1), destination));
    EXPECT_FALSE(image->hitTestRect(QRectF(25, 5, 1, 1), destination));
    EXPECT_TRUE(image->hitTestRect(QRectF(18, 5, 4, 1), destination)); // straddles the edge
    EXPECT_FALSE(image->hitTestRect(QRectF(-5, 5, 1, 1), destination));
    EXPECT_FALSE(image->hitTestRect(QRectF(5, 25, 1, 1), destination));
    EXPECT_FALSE(image->hitTestRect(QRectF(NAN, 5, 1, 1), destination));

    const ZDLImagePtr opaque = ZDLImage::initWithData(encode(twoTone(20, 10, false), "jpeg"));
    EXPECT_TRUE(opaque->hitTestRect(QRectF(39, 19, 1, 1), destination));
    EXPECT_FALSE(opaque->hitTestRect(QRectF(40, 19, 1, 1), destination));
}

TEST_F(ZDLImageTest, DownsamplingSizesAndEncodings)
{
    struct Case {
        QImage source;
        const char* format;
        float factor;
        QSizeF expected; // empty: no image
        bool jpeg;
    };
    const QImage grey = twoTone(30, 20, false).convertToFormat(QImage::Format_Grayscale8);
    const Case cases[] = {
        { twoTone(101, 51, false), "png", 0.5f, QSizeF(51, 26), true }, // roundf of 50.5 and 25.5
        { twoTone(101, 51, true), "png", 0.5f, QSizeF(51, 26), false },
        { twoTone(100, 100, false), "jpeg", 0.333f, QSizeF(33, 33), true },
        { twoTone(10, 10, false), "png", 2.0f, QSizeF(20, 20), true },
        { grey, "png", 0.5f, QSizeF(15, 10), true },
        { twoTone(10, 10, false), "png", 0.04f, QSizeF(), false }, // rounds to no pixel
        { twoTone(10, 10, false), "png", 0.0f, QSizeF(), false },
        { twoTone(10, 10, false), "png", NAN, QSizeF(), false },
        { twoTone(10, 10, false), "png", 1e9f, QSizeF(), false },
    };
    for (const Case& c : cases) {
        const ZDLImagePtr source = ZDLImage::initWithData(encode(c.source, c.format));
        ASSERT_TRUE(source);
        const ZDLImagePtr result = ZDLImage::initByDownsampling(source.get(), c.factor);
        if (c.expected.isEmpty()) {
            EXPECT_FALSE(result) << c.factor;
            continue;
        }
        ASSERT_TRUE(result) << c.factor;
        EXPECT_EQ(result->pixelSize(), c.expected);
        EXPECT_EQ(result->savedData().startsWith("\xFF\xD8"), c.jpeg);
        EXPECT_EQ(result->hasAlpha(), c.source.hasAlphaChannel());
    }
    // The downsampled image is kept while its representation is looked at.
    const ZDLImagePtr greyHalf
        = ZDLImage::initByDownsampling(ZDLImage::initWithData(encode(grey, "png")).get(), 0.5f);
    ASSERT_TRUE(greyHalf);
    const auto* greyRep = dynamic_cast<const ZDLBitmapImageRep*>(greyHalf->imageRep().get());
    ASSERT_TRUE(greyRep);
    EXPECT_EQ(greyRep->samplesPerPixel(), 1);

    EXPECT_FALSE(ZDLImage::initByDownsampling(ZDLImage::initWithData(makePdf()).get(), 0.5f));
    EXPECT_FALSE(ZDLImage::initByDownsampling(nullptr, 0.5f));
    EXPECT_FALSE(ZDLImage::initByDownsampling(std::make_shared<ZDLImage>().get(), 0.5f));
}

TEST_F(ZDLImageTest, CroppingTakesRowsFromTheTop)
{
    const ZDLImagePtr source = ZDLImage::initWithData(encode(twoTone(100, 100, true), "png"));
    ASSERT_TRUE(source);
    struct Case {
        QRectF rect;
        QSizeF expected; // empty: no image
    };
    const Case cases[] = {
        { QRectF(0, 0, 20, 10), QSizeF(20, 10) },
        { QRectF(90, 90, 50, 50), QSizeF(10, 10) },
        { QRectF(-10.4, 5.6, 30, 20.2), QSizeF(20, 20) }, // edges 0, 6, 20, 26
        { QRectF(0, 0, 9, 50), QSizeF() },
        { QRectF(200, 0, 50, 50), QSizeF() },
        { QRectF(100, 0, 50, 50), QSizeF() }, // touches the edge only
        { QRectF(0, 0, 9.6, 50), QSizeF(10, 50) },
        { QRectF(0, 0, NAN, 50), QSizeF() },
    };
    for (const Case& c : cases) {
        const ZDLImagePtr result = ZDLImage::initByCropping(source.get(), c.rect);
        if (c.expected.isEmpty()) {
            EXPECT_FALSE(result) << c.rect.x();
            continue;
        }
        ASSERT_TRUE(result) << c.rect.x();
        EXPECT_EQ(result->pixelSize(), c.expected);
        EXPECT_TRUE(result->savedData().startsWith("\x89PNG"));
    }
    // The top ten rows of the source are red; the crop's pixels are the same.
    const ZDLImagePtr top = ZDLImage::initByCropping(source.get(), QRectF(0, 0, 20, 10));
    const auto* rep = dynamic_cast<const ZDLBitmapImageRep*>(top->imageRep().get());
    EXPECT_EQ(rep->image().pixelColor(5, 9), QColor(Qt::red));
    const ZDLImagePtr bottom = ZDLImage::initByCropping(source.get(), QRectF(0, 60, 20, 10));
    EXPECT_EQ(dynamic_cast<const ZDLBitmapImageRep*>(bottom->imageRep().get())->image().pixelColor(5, 0),
        QColor(Qt::blue));

    const ZDLImagePtr jpeg = ZDLImage::initByCropping(
        ZDLImage::initWithData(encode(twoTone(50, 50, false), "jpeg")).get(), QRectF(0, 0, 20, 20));
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(jpeg->savedData().startsWith("\xFF\xD8"));
    EXPECT_FALSE(ZDLImage::initByCropping(ZDLImage::initWithData(makePdf()).get(), QRectF(0, 0, 50, 50)));
}

} // namespace
} // namespace zandrel
