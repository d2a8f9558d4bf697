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

// Compares with the reference image at the path (from the source tree), allowing a few pixels off
// by more than a few levels; ZANDREL_WRITE_REFERENCE_IMAGES=1 writes the reference instead.
inline void expectLikeReferenceImage(const QImage& image, const QString& relativePath)
{
    ASSERT_FALSE(image.isNull());
    const QString path = sourcePath(relativePath);
    if (qEnvironmentVariableIsSet("ZANDREL_WRITE_REFERENCE_IMAGES")) {
        // Black on white keeps small as grey levels.
        ASSERT_TRUE((image.allGray() ? image.convertToFormat(QImage::Format_Grayscale8) : image).save(path));
        GTEST_SKIP() << "wrote " << path.toStdString();
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(reference.isNull()) << path.toStdString();
    ASSERT_EQ(reference.size(), image.size());
    int different = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y);
            const QRgb b = reference.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24
                || std::abs(qBlue(a) - qBlue(b)) > 24)
                ++different;
        }
    }
    EXPECT_LE(different, image.width() * image.height() / 500) << "pixels off by more than 24 levels";
}

class BalloonTestBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }
};

} // namespace zandrel::test
