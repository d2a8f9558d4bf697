#include "charmodel/MaskingPath.h"

#include "charmodel/CharacterModelClasses.h"
#include "charmodel/ImageElement.h"
#include "graphics/ZDLContext.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"
#include "platform/PainterCanvas.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class MaskingPathTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }

    // A square ring: the outer square (0, 0, 100, 100) with the inner one (25, 25, 50, 50).
    static MaskingPathPtr ring()
    {
        auto mask = std::make_shared<MaskingPath>();
        mask->setSegments({ Curve::initWithRect(QRectF(0, 0, 100, 100), 0),
            Curve::initWithRect(QRectF(25, 25, 50, 50), 0) });
        return mask;
    }
};

TEST_F(MaskingPathTest, NestedSegmentsFormARingAndBoundsIgnoreVisibility)
{
    const MaskingPathPtr mask = ring();
    EXPECT_TRUE(mask->containsPt(QPointF(10, 50), 1));
    EXPECT_FALSE(mask->containsPt(QPointF(50, 50), 1));
    EXPECT_FALSE(mask->containsPt(QPointF(150, 50), 4));

    const struct {
        const char* kind;
        QRectF actual;
        QRectF expected;
    } rows[] = {
        { "bounds", mask->getBounds(), QRectF(0, 0, 100, 100) },
        { "ignoring", mask->getBoundsIgnoringVisibility(), QRectF(0, 0, 100, 100) },
        { "visual", mask->getVisualBounds(), QRectF(0, 0, 100, 100) },
        { "filtered", mask->getFilteredBounds(), QRectF(0, 0, 100, 100) },
        { "geometry", mask->getGeometryBounds(), QRectF(0, 0, 100, 100) },
        { "invalidation", mask->getInvalidationBounds(), QRectF(-10, -10, 120, 120) },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.kind;
    EXPECT_EQ(mask->getBoundsOfPaths(), QList<QRectF> { QRectF(0, 0, 100, 100) });

    // A hidden mask still clips, so it keeps its bounds and its hits.
    mask->setVisible(false);
    EXPECT_EQ(mask->getBounds(), QRectF(0, 0, 100, 100));
    EXPECT_TRUE(mask->containsPt(QPointF(10, 50), 1));

    // Moves reach every segment.
    mask->offsetBy(QPointF(5, -5), false);
    EXPECT_EQ(mask->getBounds(), QRectF(5, -5, 100, 100));
    mask->transformBy(QTransform::fromScale(2, 1));
    EXPECT_EQ(mask->getBounds(), QRectF(10, -5, 200, 100));

    const MaskingPath empty;
    EXPECT_EQ(empty.getBounds(), QRectF());
    EXPECT_FALSE(empty.containsPt(QPointF(0, 0), 1));
    EXPECT_TRUE(empty.createCGPath().isEmpty());
}

TEST_F(MaskingPathTest, SegmentsAreHandedOutAsCopiesButEditedInPlace)
{
    const MaskingPathPtr mask = ring();
    ASSERT_EQ(mask->numSegments(), 2u);
    mask->segments().first()->offsetBy(QPointF(500, 0));
    EXPECT_EQ(mask->getBounds(), QRectF(0, 0, 100, 100));

    mask->getSegmentAtIndex(0)->offsetBy(QPointF(-10, 0));
    EXPECT_EQ(mask->getBounds(), QRectF(-10, 0, 100, 100));
    EXPECT_EQ(mask->getSegmentAtIndex(2), nullptr);
}

TEST_F(MaskingPathTest, OutlineIsOneScreenPixelWideAtEveryScale)
{
    for (const float scale : { 1.0f, 4.0f }) {
        auto mask = std::make_shared<MaskingPath>();
        mask->setSegments({ Curve::initWithRect(QRectF(5, 5, 10, 10), 0) });
        OffscreenImage offscreen(QSize(int(20 * scale), int(20 * scale)), scale);
        ZDLContext context(scale);
        context.setCanvas(offscreen.canvas());
        mask->drawIn(context);
        const QImage image = offscreen.takeImage();

        // Across the left edge (x = 5) on the middle row, the line covers one device pixel in all.
        const int row = int(10 * scale);
        double coverage = 0;
        for (int x = int(3 * scale); x < int(7 * scale); ++x)
            coverage += qAlpha(image.pixel(x, row)) / 255.0;
        EXPECT_NEAR(coverage, 1.0, 0.15) << scale;
        const QRgb edge = image.pixel(int(5 * scale), row);
        EXPECT_GT(qGreen(edge), 2 * qRed(edge)) << scale;
        EXPECT_EQ(qAlpha(image.pixel(row, row)), 0) << "never filled";

        mask->setVisible(false);
        OffscreenImage hidden(QSize(20, 20));
        context.setCanvas(hidden.canvas());
        mask->drawIn(context);
        EXPECT_EQ(qAlpha(hidden.takeImage().pixel(5, 10)), 0);
    }
}

// Remembers the strokes it is asked for, and the save depth at the time.
class StrokeRecorder : public PainterCanvas {
public:
    explicit StrokeRecorder(QImage* image)
        : PainterCanvas(image)
    {
    }
    void strokePath(const CanvasPath& path, const CanvasPaint& paint) override
    {
        widths.push_back(path.lineWidth());
        colors.push_back(paint.color());
        depths.push_back(saveDepth());
        PainterCanvas::strokePath(path, paint);
    }
    std::vector<double> widths;
    std::vector<QColor> colors;
    std::vector<int> depths;
};

TEST_F(MaskingPathTest, OutlineWidthAndColourAreExact)
{
    const struct {
        float scale;
        double width;
    } rows[] = { { 1.0f, 1.0 }, { 4.0f, 0.25 }, { 3.0f, double(1.0f / 3.0f) } };
    for (const auto& row : rows) {
        QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        StrokeRecorder canvas(&image);
        ZDLContext context(row.scale);
        context.setCanvas(&canvas);
        const int depth = canvas.saveDepth();
        ring()->drawIn(context);
        ASSERT_EQ(canvas.widths.size(), 1u) << row.scale;
        EXPECT_EQ(canvas.widths[0], row.width) << row.scale;
        EXPECT_EQ(canvas.colors[0], QColor::fromRgbF(0.24f, 0.71f, 0.24f, 1.0f));
        EXPECT_EQ(canvas.depths[0], depth + 1) << "inside a saved state";
        EXPECT_EQ(canvas.saveDepth(), depth);
    }
}

TEST_F(MaskingPathTest, ArchivesOnlyItsSegmentsAndCopiesDetached)
{
    const MaskingPathPtr mask = ring();
    mask->setVisible(false);
    const auto image = std::make_shared<ImageElement>();
    image->setChildren({ mask });
    ASSERT_EQ(mask->parent(), image.get());

    const auto decoded = KeyedUnarchiver::unarchive(
        KeyedArchiver::archivedDataWithRootObject(mask), { QStringLiteral("MaskingPath") })
                             .toObject<MaskingPath>();
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->visible());
    EXPECT_EQ(decoded->parent(), nullptr);
    ASSERT_EQ(decoded->numSegments(), 2u);
    EXPECT_EQ(decoded->getBounds(), QRectF(0, 0, 100, 100));
    EXPECT_FALSE(decoded->containsPt(QPointF(50, 50), 1));

    const auto copy = std::dynamic_pointer_cast<MaskingPath>(mask->initByCopying());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->visible());
    EXPECT_EQ(copy->parent(), nullptr);
    ASSERT_EQ(copy->numSegments(), 2u);
    EXPECT_NE(copy->getSegmentAtIndex(0), mask->getSegmentAtIndex(0));
    copy->offsetBy(QPointF(1, 1), true);
    EXPECT_EQ(mask->getBounds(), QRectF(0, 0, 100, 100));

    // Deleting a point edits the stored segment; indexes past the end change nothing.
    const int points = mask->getSegmentAtIndex(1)->numPoints();
    mask->deleteCurvePoint(0, 1);
    EXPECT_EQ(mask->getSegmentAtIndex(1)->numPoints(), points - 1);
    mask->deleteCurvePoint(0, 2);
    mask->deleteCurvePoint(1000, 0);
    EXPECT_EQ(mask->getSegmentAtIndex(0)->numPoints(), copy->getSegmentAtIndex(0)->numPoints());
}

TEST_F(MaskingPathTest, ACurveListedTwiceIsKeptOnce)
{
    auto curve = Curve::initWithRect(QRectF(0, 0, 10, 10), 0);
    const ValueList segments { Value(curve), Value(curve) };
    class Writer : public Object {
    public:
        explicit Writer(ValueList segments)
            : m_segments(std::move(segments))
        {
        }
        QString className() const override { return QStringLiteral("MaskingPath"); }
        void encodeWithCoder(KeyedArchiver& coder) const override
        {
            coder.encodeObject(Value(m_segments), QStringLiteral("segments"));
        }
        ValueList m_segments;
    };
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(std::make_shared<Writer>(segments));
    const auto decoded
        = KeyedUnarchiver::unarchive(data, { QStringLiteral("MaskingPath") }).toObject<MaskingPath>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->numSegments(), 1u);
    // A single square is inside; twice the same square would have cancelled out.
    EXPECT_TRUE(decoded->containsPt(QPointF(5, 5), 1));
}

} // namespace
} // namespace zandrel
