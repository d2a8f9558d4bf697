// Importing a legacy parts file: 1-bit bitmap records, each with a region mask and a position,
// become the image elements of a new character.
#include "charmodel/CharacterModel.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/ImageElement.h"
#include "graphics/BigEndianReader.h"
#include "graphics/ZDLImage.h"
#include "graphics/ZDLImageRep.h"
#include "platform/ClassRegistry.h"
#include "platform/DecodingBudget.h"
#include "platform/Exception.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

template <typename T> QByteArray bigEndian(T value)
{
    QByteArray bytes(sizeof(T), '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray record(quint16 rowBytes, quint16 height, quint16 width, qint16 top, qint16 left,
    const QByteArray& pixels, const QByteArray& region)
{
    return bigEndian(rowBytes) + bigEndian(height) + bigEndian(width) + bigEndian(top) + bigEndian(left)
        + bigEndian(quint32(pixels.size())) + bigEndian(quint32(region.size())) + pixels + region;
}

QByteArray partsFile(const QList<QByteArray>& records)
{
    QByteArray file = bigEndian(quint16(records.size()));
    for (const QByteArray& r : records)
        file += r;
    return file;
}

// 8 x 2 at left 10, top -5: a literal run of a black row and a white row, a rectangular region.
const QByteArray kSmallRecord
    = record(1, 2, 8, -5, 10, QByteArray::fromHex("01ff00"), QByteArray::fromHex("000a00000208"));

QImage pixelsOf(const ObjectPtr& child)
{
    const auto element = std::dynamic_pointer_cast<ImageElement>(child);
    const ZDLImage* image = element ? element->image().get() : nullptr;
    const auto* rep = image ? dynamic_cast<const ZDLBitmapImageRep*>(image->imageRep().get()) : nullptr;
    return rep ? rep->image().convertToFormat(QImage::Format_ARGB32) : QImage();
}

// Refused with the reader's exception: for a damaged record (or over the budget, whose reason
// tells so instead).
void expectNothingOpens(const QByteArray& file, bool overBudget = false)
{
    try {
        CharacterModel::initWithParts86Data(file);
        ADD_FAILURE() << "a model from " << file.toHex().toStdString();
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), kBigEndianReaderException);
        if (!overBudget) {
            EXPECT_EQ(e.reason(), QStringLiteral("Failure scanning data from the bytes."));
        }
    }
}

class LegacyPartsFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }
};

TEST_F(LegacyPartsFileTest, RecordsBecomePlacedImageElementsInFileOrder)
{
    // 12 x 3 at left -3, top 7: every row 0F 0F (a repeat run), opaque in columns 3 to 5 of rows 1
    // and 2 (a region of inversion points with byte coordinates).
    const QByteArray region = QByteArray::fromHex("0020"
                                                  "01030306"
                                                  "010306ff"
                                                  "030306ff"
                                                  "ff");
    const QByteArray second = record(2, 3, 12, 7, -3, QByteArray::fromHex("fb0f"), region);
    const CharacterModelPtr model
        = CharacterModel::initWithParts86Data(partsFile({ kSmallRecord, second }) + "trailing bytes");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->characterName(), CharacterModel().characterName()) << "a new character's defaults";
    ASSERT_EQ(model->numChildren(), 2u);

    const auto first = std::dynamic_pointer_cast<ImageElement>(model->getChildAtIndex(0));
    const auto last = std::dynamic_pointer_cast<ImageElement>(model->getChildAtIndex(1));
    ASSERT_TRUE(first && last);
    EXPECT_EQ(first->parent(), model.get());
    EXPECT_EQ(last->parent(), model.get());
    EXPECT_EQ(first->transform(), QTransform::fromTranslate(10, -5));
    EXPECT_EQ(last->transform(), QTransform::fromTranslate(-3, 7));

    const QImage a = pixelsOf(first);
    ASSERT_EQ(a.size(), QSize(8, 2));
    EXPECT_EQ(a.pixel(0, 0), kBlack);
    EXPECT_EQ(a.pixel(7, 1), kWhite);

    const QImage b = pixelsOf(last);
    ASSERT_EQ(b.size(), QSize(12, 3));
    EXPECT_EQ(b.pixel(3, 1), kWhite);
    EXPECT_EQ(b.pixel(5, 2), kBlack);
    EXPECT_EQ(qAlpha(b.pixel(2, 1)), 0);
    EXPECT_EQ(qAlpha(b.pixel(6, 1)), 0);
    EXPECT_EQ(qAlpha(b.pixel(4, 0)), 0);

    EXPECT_EQ(CharacterModel::initWithParts86Data(QByteArray::fromHex("0000"))->numChildren(), 0u);
}

TEST_F(LegacyPartsFileTest, LongPixelDataIsReadWholeAndTheNextRecordFollowsIt)
{
    // 70000 bytes: one black byte, then no-op headers. What the data does not reach is transparent.
    const QByteArray pixels = QByteArray::fromHex("00ff") + QByteArray(69998, char(0x80));
    const QByteArray region = QByteArray::fromHex("000a00006480");
    const CharacterModelPtr model = CharacterModel::initWithParts86Data(
        partsFile({ record(16, 100, 128, 0, 0, pixels, region), kSmallRecord }));
    ASSERT_EQ(model->numChildren(), 2u);
    const QImage big = pixelsOf(model->getChildAtIndex(0));
    ASSERT_EQ(big.size(), QSize(128, 100));
    EXPECT_EQ(big.pixel(7, 0), kBlack);
    EXPECT_EQ(qAlpha(big.pixel(8, 0)), 0);
    EXPECT_EQ(pixelsOf(model->getChildAtIndex(1)).size(), QSize(8, 2));
}

TEST_F(LegacyPartsFileTest, ShortOrDamagedFilesOpenNothing)
{
    const QByteArray whole = partsFile({ kSmallRecord });
    expectNothingOpens(QByteArray()); // an unreadable file is read as empty
    expectNothingOpens(QByteArray::fromHex("00"));
    expectNothingOpens(QByteArray::fromHex("0001"));
    expectNothingOpens(whole.chopped(1)); // the region one byte short
    expectNothingOpens(whole.left(2 + 18 + 2)); // the pixel data one byte short
    expectNothingOpens(whole.left(2 + 17)); // the header
    expectNothingOpens(partsFile({ kSmallRecord, kSmallRecord }).chopped(1));

    // A count the file cannot hold, a negative row length, a region without its end marker.
    QByteArray hostileCount = whole;
    hostileCount[0] = char(0xFF);
    hostileCount[1] = char(0xFF);
    expectNothingOpens(hostileCount);
    expectNothingOpens(partsFile(
        { record(0x8000, 2, 8, 0, 0, QByteArray::fromHex("01ff00"), QByteArray::fromHex("000a00000208")) }));
    expectNothingOpens(partsFile(
        { record(1, 2, 8, 0, 0, QByteArray::fromHex("01ff00"), QByteArray::fromHex("0020000002080003")) }));
}

TEST_F(LegacyPartsFileTest, RecordsDrawOnTheFilesBudget)
{
    // What one record costs: its pixels, four bytes each, and the decoding of its picture.
    qint64 perRecord = 0;
    {
        const auto budget = DecodingBudget::withAllowance(1 << 20, kBigEndianReaderException);
        const DecodingBudget::Scope scope(*budget);
        BigEndianReader reader(kSmallRecord);
        ASSERT_TRUE(ImageElement::initFromParts86Reader(reader)->image());
        perRecord = budget->spent();
        EXPECT_GE(perRecord, 8 * 2 * 4 * 2);
    }
    // The pixels are charged before anything is decoded; a record without pixels costs nothing and
    // gives an element without a picture, still placed.
    const auto budget = DecodingBudget::withAllowance(perRecord + 63, kBigEndianReaderException);
    const DecodingBudget::Scope scope(*budget);
    BigEndianReader reader(kSmallRecord + record(0, 0, 0, 3, 4, {}, {}) + kSmallRecord);
    ASSERT_TRUE(ImageElement::initFromParts86Reader(reader)->image());
    const ImageElementPtr empty = ImageElement::initFromParts86Reader(reader);
    EXPECT_FALSE(empty->image());
    EXPECT_EQ(empty->transform(), QTransform::fromTranslate(4, 3));
    EXPECT_EQ(budget->spent(), perRecord);
    try {
        ImageElement::initFromParts86Reader(reader);
        ADD_FAILURE() << "a record past the budget";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), kBigEndianReaderException);
    }
    EXPECT_EQ(budget->spent(), perRecord);

    // The import's own budget: records of the largest legacy size, each a few bytes long.
    const QByteArray blank = record(512, 4096, 4096, 0, 0, {}, QByteArray::fromHex("00000000000000000000"));
    const qint64 pixelBytes = 4096 * 4096 * 4;
    ASSERT_LE(4096 * 4096, ZDLImage::kMaxLegacyPixels);
    const int fitting = int(DecodingBudget::kFloorBytes / pixelBytes);
    expectNothingOpens(partsFile(QList<QByteArray>(fitting + 1, blank)), true);
}

} // namespace
} // namespace zandrel
