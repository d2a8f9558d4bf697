// The EPS device: the PostScript of path operations, and drawings written as EPS, drawn again by
// the test's PostScript reader, against the same drawings painted straight into a bitmap.

#include "graphics/EpsPaintDevice.h"

#include "support/EpsReader.h"
#include "support/TestSupport.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(EpsPaintDeviceTest, PathOperators)
{
    struct Case {
        const char* name;
        std::function<void(QPainterPath&)> build;
        QByteArray expected;
    };
    const std::vector<Case> cases = {
        { "closed triangle",
            [](QPainterPath& p) {
                p.moveTo(0, 0);
                p.lineTo(10, 0);
                p.lineTo(10, 10);
                p.closeSubpath();
            },
            "0 0 m\n10 0 l\n10 10 l\n0 0 l\nh\n" },
        { "quadratic as its exact cubic",
            [](QPainterPath& p) {
                p.moveTo(0, 0);
                p.quadTo(30, 60, 60, 0);
            },
            "0 0 m\n20 40 40 40 60 0 c\n" },
        { "cubic",
            [](QPainterPath& p) {
                p.moveTo(1.5, 2);
                p.cubicTo(3, 4, 5, 6, 7, 8);
            },
            "1.5 2 m\n3 4 5 6 7 8 c\n" },
        { "open subpaths, four decimals",
            [](QPainterPath& p) {
                p.moveTo(0, 0);
                p.lineTo(1, 1);
                p.moveTo(2, 2);
                p.lineTo(3, 10.0 / 3);
            },
            "0 0 m\n1 1 l\n2 2 m\n3 3.3333 l\n" },
        { "no negative zero",
            [](QPainterPath& p) {
                p.moveTo(-0.00001, 5);
                p.lineTo(-2.5, -0.25);
            },
            "0 5 m\n-2.5 -0.25 l\n" },
        { "closed curve", [](QPainterPath& p) { p.addEllipse(QRectF(0, 0, 2, 2)); }, QByteArray() },
    };
    for (const Case& c : cases) {
        QPainterPath path;
        c.build(path);
        const QByteArray ops = EpsPaintDevice::pathOperators(path);
        if (c.expected.isEmpty())
            EXPECT_TRUE(ops.endsWith(" c\nh\n")) << c.name << ": " << ops.constData();
        else
            EXPECT_EQ(ops, c.expected) << c.name;
    }
}

using test::differingShare;

TEST(EpsPaintDeviceTest, DrawingsReadBackAsPainted)
{
    const QSizeF size(120, 90);
    constexpr double kScale = 2.0;
    QImage checker(8, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? qRgb(200, 30, 30) : qRgb(20, 20, 160));
    QImage translucent(10, 10, QImage::Format_ARGB32);
    translucent.fill(QColor(0, 120, 0, 100));
    struct Case {
        const char* name;
        bool pictures; // some of it has to be a picture
        std::function<void(QPainter&)> draw;
    };
    const std::vector<Case> cases = {
        { "winding and even-odd fills", false,
            [](QPainter& p) {
                QPolygonF star;
                for (int k = 0; k < 5; ++k)
                    star << QPointF(
                        30 + 25 * std::sin(k * 4 * M_PI / 5), 45 - 25 * std::cos(k * 4 * M_PI / 5));
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::red);
                p.drawPolygon(star, Qt::WindingFill);
                p.setBrush(Qt::blue);
                p.drawPolygon(star.translated(55, 0), Qt::OddEvenFill);
            } },
        { "caps, joins, miter limit and dash", false,
            [](QPainter& p) {
                p.setPen(QPen(Qt::darkGreen, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.drawPolyline(QPolygonF({ { 10, 10 }, { 50, 20 }, { 20, 40 } }));
                p.setPen(QPen(Qt::black, 6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
                p.drawPolyline(QPolygonF({ { 60, 10 }, { 110, 15 }, { 70, 30 } }));
                QPen dashed(QColor(200, 100, 0), 4, Qt::DashLine, Qt::FlatCap, Qt::BevelJoin);
                dashed.setDashOffset(1);
                p.setPen(dashed);
                p.drawLine(QPointF(10, 70), QPointF(110, 60));
            } },
        { "clip, transforms and curves", false,
            [](QPainter& p) {
                p.save();
                p.setClipRect(QRectF(10, 10, 80, 60));
                p.translate(60, 45);
                p.rotate(25);
                p.scale(1.5, 0.8);
                QPainterPath path;
                path.moveTo(-40, 0);
                path.quadTo(0, -60, 40, 0);
                path.cubicTo(20, 40, -20, 40, -40, 0);
                p.setBrush(QColor(90, 40, 160));
                p.setPen(QPen(Qt::black, 3));
                p.drawPath(path);
                p.restore();
                p.fillRect(QRectF(95, 75, 20, 10), Qt::magenta);
            } },
        { "linear and radial gradients", false,
            [](QPainter& p) {
                QLinearGradient linear(10, 0, 60, 0);
                linear.setStops(
                    { { 0.2, Qt::yellow }, { 0.5, Qt::red }, { 0.5, Qt::blue }, { 0.9, Qt::white } });
                p.fillRect(QRectF(5, 5, 60, 80), linear);
                QRadialGradient radial(QPointF(90, 45), 25, QPointF(85, 40));
                radial.setColorAt(0, Qt::white);
                radial.setColorAt(1, Qt::darkCyan);
                p.setPen(Qt::NoPen);
                p.setBrush(radial);
                p.rotate(3);
                p.drawEllipse(QPointF(90, 45), 25, 30);
            } },
        { "opaque image", false,
            [&](QPainter& p) {
                p.drawImage(QRectF(10, 10, 80, 40), checker);
                p.drawImage(QRectF(20, 55, 40, 30), checker, QRectF(2, 0, 4, 3));
            } },
        { "translucent colours over what is beneath", true,
            [](QPainter& p) {
                p.fillRect(QRectF(10, 10, 60, 60), Qt::blue);
                p.setPen(QPen(QColor(0, 0, 0, 128), 6));
                p.setBrush(QColor(255, 0, 0, 128));
                p.drawEllipse(QRectF(40, 30, 60, 50));
            } },
        { "opacity, modes and translucent images", true,
            [&](QPainter& p) {
                p.fillRect(QRectF(0, 0, 120, 45), Qt::darkYellow);
                p.drawImage(QRectF(10, 10, 40, 60), translucent);
                p.setOpacity(0.4);
                p.fillRect(QRectF(60, 20, 40, 60), Qt::black);
                p.setOpacity(1);
                p.setCompositionMode(QPainter::CompositionMode_Multiply);
                p.fillRect(QRectF(80, 5, 35, 70), QColor(100, 200, 255));
            } },
    };
    for (const Case& c : cases) {
        QImage direct((size * kScale).toSize(), QImage::Format_RGB32);
        direct.fill(Qt::white);
        {
            QPainter p(&direct);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(kScale, kScale);
            c.draw(p);
        }
        // Device units are pixels at 144 per inch, two to a point, as in the bitmap.
        EpsPaintDevice device(size, QStringLiteral("Test"), int(72 * kScale));
        {
            QPainter p(&device);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(kScale, kScale);
            c.draw(p);
        }
        QString error;
        const QImage read = test::renderEps(device.data(), kScale, &error);
        ASSERT_FALSE(read.isNull()) << c.name << ": " << error.toStdString();
        EXPECT_LT(differingShare(read, direct, 48), 0.02) << c.name;
        EXPECT_EQ(device.pictureRegions() > 0, c.pictures) << c.name;
    }
}

TEST(EpsPaintDeviceTest, HeaderAndText)
{
    EpsPaintDevice device(QSizeF(100.5, 50.25), QStringLiteral("Hero \u00e9"), 72);
    EXPECT_TRUE(device.data().isEmpty());
    {
        QPainter p(&device);
        QFont font;
        font.setPixelSize(30);
        p.setFont(font);
        p.drawText(QPointF(5, 40), QStringLiteral("Zandrel"));
    }
    const QByteArray eps = device.data();
    EXPECT_TRUE(eps.startsWith("%!PS-Adobe-3.0 EPSF-3.0\n"));
    EXPECT_TRUE(eps.contains("%%Title: Hero ?\n"));
    EXPECT_TRUE(eps.contains("%%BoundingBox: 0 0 101 51\n"));
    EXPECT_TRUE(eps.contains("%%HiResBoundingBox: 0 0 100.5 50.25\n"));
    EXPECT_TRUE(eps.contains("%%LanguageLevel: 3\n"));
    // Text is outlines: curves, and no font in the file.
    EXPECT_TRUE(eps.contains(" c\n"));
    EXPECT_FALSE(eps.contains("findfont"));
    EXPECT_EQ(device.pictureRegions(), 0);
    QString error;
    const QImage read = test::renderEps(eps, 2.0, &error);
    ASSERT_FALSE(read.isNull()) << error.toStdString();
    int inked = 0;
    for (int y = 0; y < read.height(); ++y)
        for (int x = 0; x < read.width(); ++x)
            inked += qGray(read.pixel(x, y)) < 128;
    EXPECT_GT(inked, 500);
}

} // namespace
} // namespace zandrel
