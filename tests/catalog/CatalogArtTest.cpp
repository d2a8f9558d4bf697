// The drawing vocabulary of the built-in catalog: shapes read from their text, smooth outlines
// whose strokes stay on the outline, strokes and tubes along their lines, and parts laid out on a
// sheet with their pivots and the thumbnail's frame.
#include "CatalogArt.h"

#include "charmodel/CharacterModel.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QImage>
#include <gtest/gtest.h>
#include <stdexcept>

namespace zandrel::catalogart {
namespace {

// The path drawn at the scale into a bitmap that holds its bounds grown by a margin; the number of
// inked pixels outside the bounds grown by the line's reach.
int inkOutside(const PartPathPtr& shape, double scale, double reach)
{
    const QRectF bounds = shape->getGeometryBounds();
    const QRectF area = bounds.adjusted(-20, -20, 20, 20);
    OffscreenImage bitmap(QSize(int(area.width() * scale), int(area.height() * scale)));
    Canvas* canvas = bitmap.canvas();
    EXPECT_TRUE(canvas);
    if (!canvas)
        return -1;
    canvas->translate(-area.x() * scale, -area.y() * scale);
    canvas->scale(scale, scale);
    {
        CanvasScope scope(canvas);
        ZDLContext context { float(scale) };
        context.setExporting(true);
        shape->drawIn(context);
    }
    const QImage image = bitmap.takeImage();
    const QRectF allowed = bounds.adjusted(-reach, -reach, reach, reach);
    int outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QPointF at = area.topLeft() + QPointF(x + 0.5, y + 0.5) / scale;
            outside += qAlpha(image.pixel(x, y)) > 40 && !allowed.contains(at);
        }
    }
    return outside;
}

TEST(CatalogArtTest, ShapesReadTheirPointsCornersAndCurves)
{
    const QList<CurvePtr> read = curves(QStringLiteral("@0,0 10,-5 @20,0 | 1.5,2 3,4 5,6"));
    ASSERT_EQ(read.size(), 2);
    ASSERT_EQ(read[0]->numPoints(), 3);
    EXPECT_TRUE(read[0]->getPointAtIndex(0)->onCurve());
    EXPECT_FALSE(read[0]->getPointAtIndex(1)->onCurve());
    EXPECT_EQ(read[0]->getPointAtIndex(1)->x(), 10.0f);
    EXPECT_EQ(read[0]->getPointAtIndex(1)->y(), -5.0f);
    EXPECT_TRUE(read[0]->closed());
    EXPECT_EQ(read[1]->numPoints(), 3);
    EXPECT_EQ(read[1]->getPointAtIndex(0)->x(), 1.5f);
    EXPECT_FALSE(curves(QStringLiteral("@0,0 1,1"), false).first()->closed());
    for (const char* bad : { "@0,0 1", "a,b", "1,2,3" })
        EXPECT_THROW(curves(QString::fromUtf8(bad)), std::invalid_argument) << bad;
}

TEST(CatalogArtTest, SmoothOutlinesStayWithinTheirBounds)
{
    // Outlines of control points alone, a head's and an eye's, at many places: their strokes stay
    // on them.
    int stray = 0;
    for (int i = 0; i < 40; ++i) {
        const QPointF centre = QPointF(167.36611938476562, 64.799998474121097) + QPointF(i * 0.37, i * 0.21);
        const Paint paint { ZDLColor::whiteColor(), ZDLColor::blackColor(), 0, 1.6f };
        QList<QPointF> head;
        for (int k = 0; k < 12; ++k) {
            const double a = M_PI / 6 * k + M_PI / 12;
            QPointF p = QPointF(std::cos(a) * 30, std::sin(a) * 32) / std::cos(M_PI / 12);
            if (std::sin(a) > 0.5)
                p = QPointF(p.x() * 0.86, p.y() * 1.03);
            head.append(centre + p);
        }
        stray += inkOutside(path({ smooth(head) }, paint), 2.0, 1.5) > 0;
        stray += inkOutside(path({ ellipse(centre, 5.824, 7.616) }, paint), 2.0, 1.5) > 0;
    }
    EXPECT_EQ(stray, 0);
    // The implied points of the ellipse lie on it.
    const CurvePtr e = ellipse(QPointF(10, 20), 8, 4);
    EXPECT_NEAR(e->getBounds().left(), 2, 0.05);
    EXPECT_NEAR(e->getBounds().right(), 18, 0.05);
    EXPECT_NEAR(e->getBounds().top(), 16, 0.05);
    EXPECT_NEAR(e->getBounds().bottom(), 24, 0.05);
}

TEST(CatalogArtTest, SharpCornersAreCutShort)
{
    // A thin spike of a corner stroked with mitred joins would reach far beyond its point.
    const CurvePtr spike = curve({ QPointF(0, 0), QPointF(40, -3), QPointF(40, 3) }, { true, true, true });
    EXPECT_EQ(spike->numPoints(), 4);
    const Paint paint { ZDLColor::whiteColor(), ZDLColor::blackColor(), 0, 2.0f };
    EXPECT_EQ(inkOutside(path({ spike }, paint), 2.0, 2.5), 0);
    // Ordinary corners stay as they are.
    EXPECT_EQ(
        curve({ QPointF(0, 0), QPointF(10, 0), QPointF(10, 10) }, { true, true, true })->numPoints(), 3);
}

TEST(CatalogArtTest, StrokesAndTubesFollowTheirLines)
{
    const QList<QPointF> line { QPointF(0, 0), QPointF(20, -10), QPointF(40, 0) };
    const QRectF stroke = taperedStroke(line, 4)->getBounds();
    EXPECT_NEAR(stroke.left(), 0, 0.01);
    EXPECT_NEAR(stroke.right(), 40, 0.01);
    // The middle of the line is at y = -5, the stroke half its width either side of it.
    EXPECT_NEAR(stroke.top(), -7, 0.5);
    EXPECT_LT(stroke.bottom(), 0.5);

    const QRectF limb = tube({ QPointF(0, 0), QPointF(0, 50) }, 10, 6)->getBounds();
    EXPECT_NEAR(limb.left(), -5, 0.3);
    EXPECT_NEAR(limb.right(), 5, 0.3);
    // Rounded caps reach past both ends.
    EXPECT_LT(limb.top(), -2);
    EXPECT_GT(limb.bottom(), 52);
    EXPECT_THROW(tube({ QPointF(0, 0) }, 2, 2), std::invalid_argument);
}

TEST(CatalogArtTest, SheetPlacesPartsWithTheirPivotsAndFramesTheThumbnail)
{
    auto model = std::make_shared<CharacterModel>();
    Sheet sheet(model);
    const ZDLColorPtr skin = sheet.color(QStringLiteral("Skin"), QStringLiteral("#F0C0A0"));
    EXPECT_EQ(sheet.color(QStringLiteral("Skin"), QStringLiteral("#000000")), skin);
    EXPECT_TRUE(model->ownsColor(skin.get()));
    const Paint paint { skin, skin, -0.6f, 1.0f };

    const PartPtr arm = sheet.add(PartTypeArm, { path(QStringLiteral("@0,0 @10,0 @10,40 @0,40"), paint) },
        QPointF(100, 50), QPointF(5, 0));
    EXPECT_EQ(arm->partType(), PartTypeArm);
    EXPECT_EQ(arm->origin(), QPointF(105, 50));
    EXPECT_EQ(arm->getGeometryBounds(), QRectF(100, 50, 10, 40));
    const PartPtr mirrored = sheet.addMirrored(PartTypeArm,
        { path(QStringLiteral("@0,0 @10,0 @10,40 @0,40"), paint) }, QPointF(100, 50), QPointF(5, 0));
    EXPECT_EQ(mirrored->getGeometryBounds(), QRectF(90, 50, 10, 40));
    EXPECT_EQ(mirrored->origin(), QPointF(95, 50));
    const PartPtr loose = sheet.add(
        PartTypeHead, { path(QStringLiteral("@0,0 @6,0 @6,6 @0,6"), paint) }, QPointF(), std::nullopt);
    EXPECT_FALSE(loose->hasOrigin());

    // Flowed parts line up from the row's start, a gap apart, their tops on the row's top.
    sheet.startRow(QPointF(200, 10));
    sheet.flow(loose, 4);
    sheet.flow(arm, 4);
    sheet.nextRow(5);
    sheet.flow(mirrored);
    EXPECT_EQ(loose->getGeometryBounds(), QRectF(200, 10, 6, 6));
    EXPECT_EQ(arm->getGeometryBounds(), QRectF(210, 10, 10, 40));
    EXPECT_EQ(arm->origin(), QPointF(215, 10));
    EXPECT_EQ(mirrored->getGeometryBounds().topLeft(), QPointF(200, 55));
    EXPECT_EQ(model->numChildren(), 3);

    // The frame keeps the thumbnail's shape, centred on the rect and holding it whole.
    sheet.frameThumbnail(QRectF(0, 0, 100, 200));
    EXPECT_FLOAT_EQ(model->thumbnailScale(), 1.0f);
    EXPECT_EQ(model->thumbnailRect(), QRectF(-90, 0, 280, 200));
    sheet.frameThumbnail(QRectF(10, 10, 560, 100));
    EXPECT_FLOAT_EQ(model->thumbnailScale(), 0.5f);
    EXPECT_EQ(model->thumbnailRect(), QRectF(10, -140, 560, 400));
}

} // namespace
} // namespace zandrel::catalogart
