#include "platform/GaussianBlur.h"

#include "platform/OffscreenImage.h"

#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace zandrel {
namespace {

// Overlapping translucent shapes with soft (gradient) and antialiased edges over most of the frame.
QImage softShapes()
{
    QImage image(256, 192, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor colors[] = { QColor(220, 40, 40, 230), QColor(40, 160, 60, 200), QColor(30, 60, 220, 255),
        QColor(240, 200, 30, 180), QColor(120, 30, 160, 220) };
    for (int i = 0; i < 10; ++i) {
        const QPointF center(20 + (i * 53) % 220, 20 + (i * 37) % 150);
        const double radius = 25 + (i * 17) % 40;
        QRadialGradient gradient(center, radius);
        gradient.setColorAt(0, colors[i % 5]);
        gradient.setColorAt(1, Qt::transparent);
        painter.setBrush(gradient);
        painter.drawEllipse(center, radius, radius);
    }
    QLinearGradient band(QPointF(0, 120), QPointF(0, 180));
    band.setColorAt(0, QColor(0, 0, 0, 0));
    band.setColorAt(1, QColor(20, 20, 20, 160));
    painter.setBrush(band);
    painter.drawRect(QRectF(10, 120, 236, 60));
    painter.setBrush(QColor(250, 250, 250, 140));
    painter.drawEllipse(QRectF(150, 30, 60, 40));
    return image;
}

// The direct separable Gaussian (taps out to 4 sigma, normalised), in doubles, on the frame
// padded like the blur's output.
std::vector<double> exactBlur(const QImage& source, double sigma, int pad)
{
    const int w = source.width() + 2 * pad, h = source.height() + 2 * pad;
    const int reach = int(std::ceil(4 * sigma));
    std::vector<double> kernel(2 * reach + 1);
    double total = 0;
    for (int i = -reach; i <= reach; ++i)
        total += kernel[i + reach] = std::exp(-i * i / (2 * sigma * sigma));
    for (double& k : kernel)
        k /= total;
    std::vector<double> padded(std::size_t(w) * h * 4, 0.0), across(padded.size(), 0.0),
        result(padded.size(), 0.0);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width() * 4; ++x)
            padded[(std::size_t(y + pad) * w + pad) * 4 + x] = source.constScanLine(y)[x];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int i = -reach; i <= reach; ++i)
                if (x + i >= 0 && x + i < w)
                    for (int c = 0; c < 4; ++c)
                        across[(std::size_t(y) * w + x) * 4 + c]
                            += kernel[i + reach] * padded[(std::size_t(y) * w + x + i) * 4 + c];
    for (int y = 0; y < h; ++y)
        for (int i = -reach; i <= reach; ++i)
            if (y + i >= 0 && y + i < h)
                for (int x = 0; x < w * 4; ++x)
                    result[std::size_t(y) * w * 4 + x]
                        += kernel[i + reach] * across[std::size_t(y + i) * w * 4 + x];
    return result;
}

TEST(GaussianBlur, ThreeBoxesStayCloseToTheExactGaussian)
{
    const QImage source = softShapes();
    // Rounding to 8 bits alone accounts for a mean of about 0.25 levels; the boxes' own error
    // is largest at small sigma, where the three widths match the variance least well.
    struct Case {
        double sigma;
        double maxDifference;
    };
    for (const auto [sigma, maxDifference] : { Case { 2.0, 6.0 }, Case { 10.0, 2.5 } }) {
        const BlurredImage blurred = gaussianBlur(source, sigma);
        const int pad = gaussianBlurPadding(sigma);
        ASSERT_EQ(blurred.image.size(), source.size() + QSize(2 * pad, 2 * pad));
        const std::vector<double> exact = exactBlur(source, sigma, pad);
        double sum = 0, worst = 0;
        for (int y = 0; y < blurred.image.height(); ++y)
            for (int x = 0; x < blurred.image.width() * 4; ++x) {
                const double difference = std::abs(blurred.image.constScanLine(y)[x]
                    - exact[std::size_t(y) * blurred.image.width() * 4 + x]);
                sum += difference;
                worst = std::max(worst, difference);
            }
        const double mean = sum / exact.size();
        RecordProperty("sigma" + std::to_string(int(sigma)) + "_mean_x1000", int(mean * 1000));
        RecordProperty("sigma" + std::to_string(int(sigma)) + "_max_x1000", int(worst * 1000));
        EXPECT_LE(mean, 0.5) << "sigma " << sigma;
        EXPECT_LE(worst, maxDifference) << "sigma " << sigma;
    }
}

TEST(GaussianBlur, PreservesEnergyAndPremultiplication)
{
    const QImage source = softShapes();
    auto alphaTotal = [](const QImage& image) {
        double total = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                total += qAlpha(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
        return total;
    };
    const double before = alphaTotal(source);
    for (double sigma : { 0.6, 3.0, 17.5, 40.0 }) {
        const BlurredImage blurred = gaussianBlur(source, sigma);
        EXPECT_NEAR(alphaTotal(blurred.image) / before, 1.0, 0.003) << "sigma " << sigma;
        for (int y = 0; y < blurred.image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(blurred.image.constScanLine(y));
            for (int x = 0; x < blurred.image.width(); ++x)
                ASSERT_LE(std::max({ qRed(row[x]), qGreen(row[x]), qBlue(row[x]) }), qAlpha(row[x]));
        }
    }
}

TEST(GaussianBlur, PaddingIsThreeSigmaOnEverySide)
{
    QImage dot(5, 3, QImage::Format_ARGB32_Premultiplied);
    dot.fill(Qt::transparent);
    dot.setPixel(2, 1, qRgba(255, 255, 255, 255));
    struct Case {
        double sigma;
        int pad;
    };
    for (const Case c : { Case { 1.0, 3 }, Case { 2.5, 8 }, Case { 10.0, 30 }, Case { 1e9, 750 } }) {
        EXPECT_EQ(gaussianBlurPadding(c.sigma), c.pad);
        const BlurredImage blurred = gaussianBlur(dot, c.sigma);
        EXPECT_EQ(blurred.offset, QPoint(-c.pad, -c.pad));
        EXPECT_EQ(blurred.image.size(), QSize(5 + 2 * c.pad, 3 + 2 * c.pad));
        EXPECT_EQ(blurred.image.format(), QImage::Format_ARGB32_Premultiplied);
    }
    // The dot's blur is centred where the dot was, and symmetric.
    const BlurredImage blurred = gaussianBlur(dot, 2.0);
    const QPoint centre = QPoint(2, 1) - blurred.offset;
    EXPECT_EQ(blurred.image.pixel(centre + QPoint(3, 0)), blurred.image.pixel(centre - QPoint(3, 0)));
    EXPECT_EQ(blurred.image.pixel(centre + QPoint(0, 2)), blurred.image.pixel(centre - QPoint(0, 2)));
    EXPECT_GT(qAlpha(blurred.image.pixel(centre)), qAlpha(blurred.image.pixel(centre + QPoint(1, 0))));
}

TEST(GaussianBlur, EdgeCasesGiveDefinedResults)
{
    QImage transparent(40, 30, QImage::Format_ARGB32_Premultiplied);
    transparent.fill(Qt::transparent);
    const QImage blurredClear = gaussianBlur(transparent, 5.0).image;
    for (int y = 0; y < blurredClear.height(); ++y)
        for (int x = 0; x < blurredClear.width(); ++x)
            ASSERT_EQ(blurredClear.pixel(x, y), 0u);

    const QImage source = softShapes();
    for (double sigma : { 0.0, -3.0, std::nan("") }) {
        const BlurredImage copy = gaussianBlur(source, sigma);
        EXPECT_EQ(copy.offset, QPoint(0, 0));
        EXPECT_EQ(copy.image, source);
    }
    // Straight alpha comes back premultiplied.
    QImage straight(4, 4, QImage::Format_ARGB32);
    straight.fill(QColor(255, 0, 0, 128));
    EXPECT_EQ(gaussianBlur(straight, 0).image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(gaussianBlur(straight, 0).image.pixel(1, 1), qRgba(128, 0, 0, 128));

    EXPECT_TRUE(gaussianBlur(QImage(), 3.0).image.isNull());
    // A padded result beyond the offscreen limits is refused.
    QImage wide(32000, 1, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::transparent);
    EXPECT_TRUE(gaussianBlur(wide, 300.0).image.isNull());
}

TEST(GaussianBlur, ThreadsGiveTheSameResult)
{
    const QImage source = softShapes();
    const BlurredImage one = gaussianBlur(source, 6.0, 1);
    for (int threads : { 2, 3, 8, 1000 })
        EXPECT_EQ(gaussianBlur(source, 6.0, threads).image, one.image) << threads << " threads";
}

TEST(GaussianBlur, LargeBitmapsUseTheCoresExceptInsideABand)
{
    EXPECT_EQ(gaussianBlurThreadsFor(100 * 100), 1);
    const int cores = std::max(1, int(std::thread::hardware_concurrency()));
    EXPECT_EQ(gaussianBlurThreadsFor(4000 * 4000), std::min(cores, 16));
    {
        const SingleThreadedBlurScope band;
        EXPECT_EQ(gaussianBlurThreadsFor(4000 * 4000), 1);
        {
            const SingleThreadedBlurScope nested;
        }
        EXPECT_EQ(gaussianBlurThreadsFor(4000 * 4000), 1);
    }
    EXPECT_EQ(gaussianBlurThreadsFor(4000 * 4000), std::min(cores, 16));
}

} // namespace
} // namespace zandrel
