// EPS files as a real PostScript interpreter (ghostscript) draws them: representative drawings
// written through the EPS device and rendered by gs, against the same drawings painted straight
// into a bitmap; the interpreter reports no error and the file's bounding box is the page it marks.

#include "graphics/EpsPaintDevice.h"
#include "support/Ghostscript.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <functional>
#include <future>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

constexpr double kScale = 2.0; // device pixels in a point: 144 per inch
const QSizeF kSize(120, 90);

QImage checker(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(40 + 30 * x % 200, 20 + 25 * y % 230, (x + y) % 2 ? 220 : 30));
    return image.convertToFormat(format);
}

// A soft-edged spot, as a blurred part is drawn: its edge fades out through many alphas.
QImage blurredSpot()
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    QRadialGradient fade(QPointF(20, 20), 20);
    fade.setColorAt(0, QColor(150, 0, 120));
    fade.setColorAt(0.5, QColor(150, 0, 120, 200));
    fade.setColorAt(1, QColor(150, 0, 120, 0));
    p.fillRect(image.rect(), fade);
    return image;
}

struct Drawing {
    const char* name;
    bool pictures; // some of it is translucent and has to become a picture
    std::function<void(QPainter&)> draw;
};

std::vector<Drawing> drawings()
{
    return {
        { "orientation: a corner triangle and a bar at the bottom", false,
            [](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(200, 30, 30));
                p.drawPolygon(QPolygonF({ { 0, 0 }, { 50, 0 }, { 0, 30 } }));
                p.fillRect(QRectF(60, 80, 60, 10), QColor(20, 40, 180));
            } },
        { "whole area, colours", false,
            [](QPainter& p) {
                p.fillRect(QRectF(0, 0, 120, 90), QColor(250, 240, 200));
                const QColor colours[] = { QColor(200, 120, 40), QColor(10, 200, 90), QColor(60, 80, 230),
                    QColor::fromCmykF(0.1, 0.7, 0.2, 0.1), QColor::fromHsv(280, 180, 160),
                    QColor(128, 128, 128) };
                for (int k = 0; k < 6; ++k)
                    p.fillRect(QRectF(5 + 19 * k, 10, 16, 70), colours[k]);
            } },
        { "quadratic and cubic curves, winding and even-odd", false,
            [](QPainter& p) {
                QPainterPath drop;
                drop.moveTo(10, 80);
                drop.quadTo(30, -20, 55, 80);
                drop.cubicTo(40, 60, 25, 95, 10, 80);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(30, 120, 60));
                p.drawPath(drop);
                QPainterPath rings;
                rings.setFillRule(Qt::OddEvenFill);
                rings.addEllipse(QPointF(90, 45), 28, 38);
                rings.addEllipse(QPointF(90, 45), 15, 20);
                p.setBrush(QColor(220, 150, 0));
                p.drawPath(rings);
            } },
        { "strokes: weights, caps, joins, dashes, cosmetic and scaled pens", false,
            [](QPainter& p) {
                const double weights[] = { 0.5, 1, 3, 6, 10 };
                for (int k = 0; k < 5; ++k) {
                    p.setPen(QPen(
                        QColor(0, 0, 90 + 30 * k), weights[k], Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                    QPainterPath wave;
                    wave.moveTo(8, 8 + 8 * k);
                    wave.quadTo(30, 0 + 8 * k, 55, 10 + 8 * k);
                    p.drawPath(wave);
                }
                p.setPen(QPen(Qt::black, 6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
                p.drawPolyline(QPolygonF({ { 65, 10 }, { 110, 15 }, { 70, 30 } }));
                QPen dashed(QColor(200, 100, 0), 3, Qt::DashDotLine, Qt::FlatCap, Qt::BevelJoin);
                dashed.setDashOffset(1.5);
                p.setPen(dashed);
                p.drawLine(QPointF(5, 58), QPointF(115, 52));
                QPen custom(QColor(120, 0, 120), 2, Qt::CustomDashLine, Qt::FlatCap);
                custom.setDashPattern({ 4, 1, 1, 2 });
                p.setPen(custom);
                p.drawRect(QRectF(65, 35, 45, 12));
                QPen cosmetic(QColor(0, 128, 0), 3);
                cosmetic.setCosmetic(true);
                p.setPen(cosmetic);
                p.drawLine(QPointF(5, 65), QPointF(60, 70));
                p.save();
                p.translate(90, 72);
                p.scale(3, 1);
                p.setPen(QPen(QColor(0, 100, 160), 2, Qt::DashLine));
                p.drawEllipse(QPointF(0, 0), 6, 8);
                p.restore();
            } },
        { "linear gradients: stops, hard stop, transformed and on a stroke", false,
            [](QPainter& p) {
                QLinearGradient linear(10, 10, 50, 40);
                linear.setStops(
                    { { 0.2, Qt::yellow }, { 0.5, Qt::red }, { 0.5, Qt::blue }, { 0.9, Qt::white } });
                p.fillRect(QRectF(5, 5, 50, 45), linear);
                p.save();
                p.translate(85, 25);
                p.rotate(30);
                p.scale(1.5, 0.7);
                QLinearGradient turned(-15, 0, 15, 0);
                turned.setColorAt(0, QColor(0, 90, 0));
                turned.setColorAt(1, QColor(230, 230, 120));
                p.setPen(Qt::NoPen);
                p.setBrush(turned);
                p.drawRect(QRectF(-20, -15, 40, 30));
                p.restore();
                QLinearGradient vertical(0, 55, 0, 85);
                vertical.setColorAt(0, QColor(200, 0, 0));
                vertical.setColorAt(1, QColor(0, 0, 200));
                p.setPen(QPen(QBrush(vertical), 8));
                p.setBrush(Qt::NoBrush);
                p.drawLine(QPointF(10, 70), QPointF(110, 70));
            } },
        { "radial gradients: centred, focal and with a brush origin", false,
            [](QPainter& p) {
                QRadialGradient centred(QPointF(30, 30), 25);
                centred.setColorAt(0, Qt::white);
                centred.setColorAt(0.6, QColor(0, 140, 160));
                centred.setColorAt(1, QColor(0, 40, 60));
                p.setPen(Qt::NoPen);
                p.setBrush(centred);
                p.drawEllipse(QPointF(30, 30), 26, 26);
                QRadialGradient focal(QPointF(85, 35), 28, QPointF(75, 25));
                focal.setColorAt(0, QColor(255, 230, 0));
                focal.setColorAt(1, QColor(160, 0, 0));
                p.setBrush(focal);
                p.drawRect(QRectF(55, 5, 60, 60));
                QRadialGradient moved(QPointF(0, 0), 15);
                moved.setColorAt(0, QColor(20, 20, 20));
                moved.setColorAt(1, QColor(200, 200, 255));
                p.setBrush(moved);
                p.setBrushOrigin(QPointF(40, 75));
                p.drawRect(QRectF(5, 62, 110, 26));
            } },
        // Qt paints these into an image itself for a paint engine like the EPS device's.
        { "radial gradients between two circles: inside each other and apart", true,
            [](QPainter& p) {
                QRadialGradient nested(QPointF(30, 45), 28, QPointF(22, 38), 6);
                nested.setColorAt(0, QColor(250, 250, 120));
                nested.setColorAt(1, QColor(20, 90, 20));
                p.fillRect(QRectF(0, 0, 60, 90), nested);
                QRadialGradient apart(QPointF(100, 45), 15, QPointF(70, 30), 5);
                apart.setColorAt(0, QColor(255, 0, 0));
                apart.setColorAt(1, QColor(0, 0, 255));
                p.fillRect(QRectF(60, 0, 60, 90), apart);
            } },
        { "a patterned brush becomes a picture", true,
            [](QPainter& p) {
                p.setPen(QPen(Qt::black, 2));
                p.setBrush(QBrush(checker(4, 4, QImage::Format_RGB32)));
                p.drawEllipse(QRectF(10, 10, 100, 70));
            } },
        { "opaque images: odd sizes, formats, part of one, turned", false,
            [](QPainter& p) {
                p.drawImage(QRectF(5, 5, 35, 25), checker(7, 5, QImage::Format_RGB32));
                p.drawImage(QRectF(45, 5, 30, 30), checker(9, 9, QImage::Format_RGB888));
                p.drawImage(QRectF(80, 5, 35, 25), checker(5, 3, QImage::Format_Indexed8));
                p.drawImage(QRectF(5, 40, 40, 30), checker(8, 6, QImage::Format_RGB32), QRectF(2, 1, 4, 3));
                p.drawImage(QRectF(50, 40, 20, 20), checker(4, 4, QImage::Format_Grayscale8));
                p.save();
                p.translate(95, 65);
                p.rotate(-20);
                p.drawImage(QRectF(-15, -12, 30, 24), checker(6, 4, QImage::Format_RGB32));
                p.restore();
            } },
        { "images mirrored, turned a quarter and smoothed", false,
            [](QPainter& p) {
                const QImage image = checker(6, 4, QImage::Format_RGB32);
                p.save();
                p.translate(40, 5);
                p.scale(-1, 1);
                p.drawImage(QRectF(0, 0, 35, 25), image);
                p.restore();
                p.save();
                p.translate(45, 30);
                p.scale(1, -1);
                p.drawImage(QRectF(0, 0, 35, 25), image);
                p.restore();
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.save();
                p.translate(115, 5);
                p.rotate(90);
                p.drawImage(QRectF(0, 0, 35, 25), image);
                p.restore();
                p.drawImage(QRectF(5, 45, 60, 40), image);
            } },
        { "clips: nested, intersected, released, under a transform", false,
            [](QPainter& p) {
                p.save();
                p.setClipRect(QRectF(10, 10, 50, 40));
                p.fillRect(QRectF(0, 0, 120, 90), QColor(230, 200, 60));
                p.save();
                QPainterPath round;
                round.addEllipse(QPointF(40, 35), 20, 20);
                p.setClipPath(round, Qt::IntersectClip);
                p.fillRect(QRectF(0, 0, 120, 90), QColor(40, 40, 160));
                p.restore();
                QLinearGradient shade(0, 0, 120, 0);
                shade.setColorAt(0, Qt::black);
                shade.setColorAt(1, Qt::white);
                p.fillRect(QRectF(0, 40, 120, 50), shade);
                p.restore();
                // Nothing of the clips above may reach these.
                p.fillRect(QRectF(70, 5, 45, 20), QColor(0, 150, 0));
                p.save();
                p.translate(90, 65);
                p.rotate(45);
                p.setClipRect(QRectF(-12, -12, 24, 24));
                p.rotate(-45);
                p.fillRect(QRectF(-30, -30, 60, 60), QColor(180, 0, 90));
                p.setClipping(false);
                p.fillRect(QRectF(-28, 18, 56, 5), Qt::black);
                p.restore();
            } },
        { "translucency, opacity and soft edges over what is beneath", true,
            [](QPainter& p) {
                p.fillRect(QRectF(10, 10, 60, 60), QColor(0, 0, 200));
                p.setPen(QPen(QColor(0, 0, 0, 128), 6));
                p.setBrush(QColor(255, 0, 0, 128));
                p.drawEllipse(QRectF(40, 30, 60, 50));
                p.setOpacity(0.5);
                p.fillRect(QRectF(5, 60, 50, 25), QColor(0, 120, 0));
                p.setOpacity(1);
                p.drawImage(QRectF(70, 0, 45, 45), blurredSpot());
            } },
        { "translucent images inside a clip, then drawing after it", true,
            [](QPainter& p) {
                QImage masked = checker(8, 8, QImage::Format_ARGB32);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x)
                        if ((x - 3.5) * (x - 3.5) + (y - 3.5) * (y - 3.5) > 12)
                            masked.setPixel(x, y, qRgba(0, 0, 0, 0));
                p.fillRect(QRectF(0, 0, 60, 90), QColor(250, 220, 0));
                p.save();
                QPainterPath clip;
                clip.addEllipse(QPointF(40, 45), 35, 40);
                p.setClipPath(clip);
                p.drawImage(QRectF(5, 5, 80, 80), masked);
                p.restore();
                p.fillRect(QRectF(90, 10, 25, 70), QColor(90, 40, 0));
            } },
        { "text", false,
            [](QPainter& p) {
                QFont font;
                font.setPixelSize(24);
                p.setFont(font);
                p.setPen(QColor(30, 30, 120));
                p.drawText(QPointF(6, 35), QStringLiteral("Zandrel"));
                font.setPixelSize(14);
                font.setItalic(true);
                p.setFont(font);
                p.setPen(QColor(160, 0, 0));
                p.drawText(QPointF(10, 70), QStringLiteral("Hello, gs!"));
            } },
    };
}

TEST(EpsGhostscriptTest, DrawingsRenderedByGhostscriptAsPainted)
{
    ASSERT_FALSE(test::ghostscript().isEmpty())
        << "ghostscript (gs) is not installed; scripts/setup.sh installs it";
    const QSize pixels = (kSize * kScale).toSize();
    const std::vector<Drawing> all = drawings();
    std::vector<QImage> painted;
    std::vector<QByteArray> files;
    std::vector<std::future<test::GhostscriptRendering>> rendering;
    for (const Drawing& d : all) {
        // The same drawing into a bitmap and into the EPS device, whose units are pixels at 144
        // per inch as the bitmap's.
        QImage& direct = painted.emplace_back(pixels, QImage::Format_RGB32);
        direct.fill(Qt::white);
        EpsPaintDevice device(kSize, QStringLiteral("Drawing"), int(72 * kScale));
        for (QPaintDevice* target :
            { static_cast<QPaintDevice*>(&direct), static_cast<QPaintDevice*>(&device) }) {
            QPainter p(target);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(kScale, kScale);
            d.draw(p);
        }
        const QByteArray& eps = files.emplace_back(device.data());
        EXPECT_EQ(device.pictureRegions() > 0, d.pictures) << d.name;
        EXPECT_EQ(test::declaredBoundingBox(eps), QRectF(QPointF(), kSize)) << d.name;
        // The interpreter runs for every drawing at once.
        rendering.push_back(std::async(
            std::launch::async, [eps] { return test::renderWithGhostscript(eps, int(72 * kScale)); }));
    }

    for (size_t index = 0; index < all.size(); ++index) {
        const Drawing& d = all[index];
        const QImage& direct = painted[index];
        const test::GhostscriptRendering gs = rendering[index].get();
        ASSERT_TRUE(gs.error.isEmpty()) << d.name << ": " << gs.error.toStdString();
        ASSERT_EQ(gs.image.size(), pixels) << d.name;
        const double inside = test::differingAwayFromEdges(gs.image, direct, 32);
        const double share = test::differingShare(gs.image, direct, 40);
        EXPECT_LT(inside, 0.0002) << d.name;
        EXPECT_LT(share, 0.03) << d.name;
        if (inside >= 0.0002 || share >= 0.03) {
            // Kept for a look at what went wrong.
            const QString base = QDir::temp().filePath(QStringLiteral("zandrel-eps-%1").arg(index));
            gs.image.save(base + QStringLiteral("-ghostscript.png"));
            direct.save(base + QStringLiteral("-painted.png"));
            QFile file(base + QStringLiteral(".eps"));
            if (file.open(QIODevice::WriteOnly))
                file.write(files[index]);
            ADD_FAILURE() << d.name << ": see " << base.toStdString() << "*";
        }
        // What it marks is where the drawing inks the bitmap, within the bounding box.
        test::expectMarksWhereInked(gs.marked, direct, kScale, 1.0, d.name);
    }
}

// The file keeps the document structure a program placing it reads: the header, prolog, page and
// trailer comments in order, lines of at most 255 characters, and no line of data that starts as
// a comment would. A long title, a gradient of many stops and a noisy picture push at the limits.
TEST(EpsGhostscriptTest, FileKeepsItsDocumentStructure)
{
    ASSERT_FALSE(test::ghostscript().isEmpty())
        << "ghostscript (gs) is not installed; scripts/setup.sh installs it";
    QImage noise(97, 61, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            noise.setPixel(x, y, seed >> 8);
        }
    // Fourteen different bytes and then a run: encoded, its data starts with a percent sign.
    QImage percent(8, 2, QImage::Format_RGB888);
    percent.fill(QColor(200, 200, 200));
    for (int k = 0; k < 14; ++k)
        percent.scanLine(0)[k] = uchar(1 + k);
    QString title = QStringLiteral("Hero (left) 100% \u00e9 ");
    title = title.repeated(20);
    EpsPaintDevice device(kSize, title, 144);
    {
        QPainter p(&device);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(2, 2);
        QLinearGradient many(0, 0, 120, 0);
        for (int k = 0; k < 60; ++k)
            many.setColorAt(k / 59.0, QColor::fromHsv(k * 6, 200, 220));
        p.fillRect(QRectF(0, 0, 120, 40), many);
        p.setClipRect(QRectF(5, 45, 110, 40));
        p.drawImage(QRectF(0, 40, 120, 50), noise);
        p.fillRect(QRectF(30, 50, 60, 30), QColor(255, 255, 255, 100));
        p.setClipping(false);
        p.drawImage(QRectF(100, 80, 16, 4), percent);
    }
    const QByteArray eps = device.data();
    const QList<QByteArray> lines = eps.split('\n');
    ASSERT_GT(lines.size(), 10);
    EXPECT_EQ(lines.front(), "%!PS-Adobe-3.0 EPSF-3.0");
    EXPECT_TRUE(lines.back().isEmpty()) << "the file ends with a line break";
    EXPECT_EQ(lines[lines.size() - 2], "%%EOF");
    // The order of the structure comments, and every other line that starts with a percent sign.
    QByteArray structure;
    bool header = true;
    for (const QByteArray& line : lines) {
        EXPECT_LE(line.size(), 255) << line.left(60).constData();
        if (header) {
            EXPECT_TRUE(line.startsWith("%")) << "header line " << line.constData();
            header = line != "%%EndComments";
            continue;
        }
        if (line.startsWith('%'))
            structure += line + '\n';
    }
    EXPECT_EQ(structure.toStdString(), "%%BeginProlog\n%%EndProlog\n%%Page: 1 1\n%%Trailer\n%%EOF\n");
    const QByteArray titleLine = lines[2];
    EXPECT_TRUE(titleLine.startsWith("%%Title: Hero (left) 100% ? Hero")) << titleLine.constData();
    EXPECT_EQ(test::declaredBoundingBox(eps), QRectF(QPointF(), kSize));
    EXPECT_TRUE(eps.contains("%%BoundingBox: 0 0 120 90\n"));

    const test::GhostscriptRendering gs = test::renderWithGhostscript(eps, 72, 1);
    EXPECT_TRUE(gs.error.isEmpty()) << gs.error.toStdString();
    EXPECT_EQ(gs.image.size(), QSize(120, 90));
}

} // namespace
} // namespace zandrel
