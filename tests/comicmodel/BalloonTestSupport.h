#pragma once

#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModelClasses.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/FontRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/OffscreenImage.h"
#include "support/TestSupport.h"

#include <QImage>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace zandrel::test {

// Lettering in the shipped font, so that metrics are the same on every machine.
inline AttributedText lettering(
    const QString& text, double size = 14.0, TextAlignment alignment = TextAlignment::Center)
{
    TextAttributes attributes;
    attributes.font = TextFont(FontRegistry::kLetteringFontName, size);
    attributes.foregroundColor = RgbColor(0, 0, 0, 1);
    TextParagraphStyle paragraph;
    paragraph.alignment = alignment;
    attributes.paragraphStyle = paragraph;
    return AttributedText(text, attributes);
}

inline BalloonPtr balloonWith(const QString& text, float width, const QPointF& origin = QPointF(),
    TextAlignment alignment = TextAlignment::Center)
{
    BalloonPtr balloon = Balloon::initAt(origin, width);
    balloon->setFormattedText(lettering(text, 14.0, alignment));
    return balloon;
}

// A balloon without text: its body is exactly the one rectangle (0, 0, width, 20), whatever the
// fonts, so outlines and anchors come out as exact numbers.
inline BalloonPtr emptyBalloon(float width, const QPointF& origin = QPointF())
{
    BalloonPtr balloon = Balloon::initAt(origin, width);
    balloon->setFormattedText(AttributedText());
    return balloon;
}

inline QByteArray archived(const ObjectPtr& object)
{
    return KeyedArchiver::archivedDataWithRootObject(object);
}

// Draws into a white image of the size at the scale, as an export does.
inline QImage rendered(const QSize& size, float scale, const std::function<void(ZDLContext&)>& draw)
{
    OffscreenImage offscreen(size * scale);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return {};
    canvas->fillRect(QRectF(QPointF(0, 0), QSizeF(size * scale)), QColor(Qt::white));
    {
        CanvasScope scope(canvas);
        canvas->scale(scale, scale);
        ZDLContext context(scale);
        context.setExporting(true);
        draw(context);
    }
    return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
}

// A curve point as tests write them: coordinates and whether it lies on the curve.
struct CurvePt {
    double x;
    double y;
    bool on;
};

// The curve's points, each within a ten-thousandth (they pass through single precision).
inline void expectCurvePoints(const CurvePtr& curve, const std::vector<CurvePt>& expected, bool closed)
{
    ASSERT_TRUE(curve);
    EXPECT_EQ(curve->closed(), closed);
    ASSERT_EQ(curve->numPoints(), int(expected.size()));
    for (int i = 0; i < curve->numPoints(); ++i) {
        const CurvePointPtr p = curve->getPointAtIndex(i);
        EXPECT_NEAR(p->point().x(), expected[i].x, 1e-4) << i;
        EXPECT_NEAR(p->point().y(), expected[i].y, 1e-4) << i;
        EXPECT_EQ(p->onCurve(), expected[i].on) << i;
    }
}

// Runs the plistlib script on the archive; it must end without error (skipped without python3).
inline void expectPythonAccepts(const char* script, const QByteArray& archive)
{
    QString output;
    const int status = runPython(QString::fromUtf8(script), archive, &output);
    if (status != -1) {
        EXPECT_EQ(status, 0) << output.toStdString();
    }
}

class BalloonTestBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }
};

} // namespace zandrel::test
