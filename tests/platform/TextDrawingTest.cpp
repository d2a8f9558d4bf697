#include "CanvasTestSupport.h"
#include "platform/FontRegistry.h"
#include "platform/TextLayoutManager.h"

#include <QPainter>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <thread>

namespace zandrel {
namespace {

using test::renderCanvas;

const QSizeF kContainer(150, 2000);
const QPointF kOrigin(10, 6);

TextAttributes styled(const QColor& color, bool underline = false)
{
    TextAttributes attributes;
    attributes.font = TextFont { FontRegistry::kLetteringFontName, 16 };
    attributes.foregroundColor = RgbColor::fromQColor(color);
    TextParagraphStyle left;
    left.alignment = TextAlignment::Left;
    attributes.paragraphStyle = left;
    if (underline)
        attributes.otherAttributes.insert(kUnderlineStyleAttributeName, 1);
    return attributes;
}

// "Red and blue lettering" in red, black underlined and blue, over two lines.
AttributedText sample()
{
    AttributedText text(QStringLiteral("Red "), styled(Qt::red));
    text.append(AttributedText(QStringLiteral("and"), styled(Qt::black, true)));
    text.append(AttributedText(QStringLiteral(" blue lettering"), styled(Qt::blue)));
    return text;
}

// The same text drawn by Qt itself: one QTextLayout with colours in its formats, lines placed
// where ours are, painted with QPainter.
QImage drawnByQt(const TextLayoutManager& ours, double scale)
{
    const AttributedText& text = ours.text();
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(qRound(72 / 0.0254));
    device.setDotsPerMeterY(qRound(72 / 0.0254));
    QTextLayout layout(text.string(), FontRegistry::shared().qfont(text.runAttributes(0).font), &device);
    QList<QTextLayout::FormatRange> formats;
    for (qsizetype i = 0; i < text.runCount(); ++i) {
        QTextCharFormat format;
        format.setFont(
            FontRegistry::shared().qfont(text.runAttributes(i).font), QTextCharFormat::FontPropertiesAll);
        format.setForeground(text.runAttributes(i).foregroundColor.toQColor());
        format.setFontUnderline(text.runAttributes(i).underlineStyle() != 0);
        formats.append({ int(text.runRange(i).location), int(text.runRange(i).length), format });
    }
    layout.setFormats(formats);
    QTextOption option(Qt::AlignLeft);
    option.setUseDesignMetrics(true);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (qsizetype glyph = 0; glyph < ours.numberOfGlyphs();) {
        TextRange range;
        const QRectF fragment = ours.lineFragmentRectForGlyph(glyph, &range);
        QTextLine line = layout.createLine();
        line.setLineWidth(kContainer.width() - 2 * TextLayoutManager::kLineFragmentPadding);
        line.setLeadingIncluded(true);
        line.setPosition(QPointF(TextLayoutManager::kLineFragmentPadding, fragment.top()));
        glyph = range.end();
    }
    layout.endLayout();
    QImage image(QSize(200, 60) * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    layout.draw(&painter, kOrigin);
    return image;
}

TEST(TextDrawingTest, GlyphRunsMatchQtsOwnDrawing)
{
    const TextLayoutManager layout(sample(), kContainer);
    ASSERT_EQ(layout.visibleLineRects(150).size(), 2);
    for (const double scale : { 1.0, 4.0 }) {
        const QImage ours = renderCanvas(
            QSize(200, 60) * scale,
            [&](Canvas& canvas) { layout.drawGlyphs(layout.glyphRangeForTextContainer(), kOrigin, canvas); },
            scale);
        const QImage qt = drawnByQt(layout, scale);
        ASSERT_EQ(ours.size(), qt.size());
        int inked = 0;
        int different = 0;
        for (int y = 0; y < ours.height(); ++y) {
            for (int x = 0; x < ours.width(); ++x) {
                const QRgb a = test::rawAt(ours, x, y);
                const QRgb b = test::rawAt(qt, x, y);
                inked += qAlpha(a) > 128;
                different += std::abs(qRed(a) - qRed(b)) > 40 || std::abs(qGreen(a) - qGreen(b)) > 40
                    || std::abs(qBlue(a) - qBlue(b)) > 40 || std::abs(qAlpha(a) - qAlpha(b)) > 40;
            }
        }
        EXPECT_GT(inked, 300 * scale * scale) << "scale " << scale;
        EXPECT_LE(different, inked / 100) << "scale " << scale;
    }
}

TEST(TextDrawingTest, EachRunInksOnlyItsGlyphsInItsColour)
{
    const TextLayoutManager layout(sample(), kContainer);
    // The glyph rects of "Red", "and" and "blue lettering", in the image.
    const QRectF red = layout.rectsForGlyphRange({ 0, 3 }).first().translated(kOrigin);
    const QRectF underlined = layout.rectsForGlyphRange({ 4, 3 }).first().translated(kOrigin);
    const QList<QRectF> blue = layout.rectsForGlyphRange({ 8, 14 });
    ASSERT_EQ(blue.size(), 2);
    // Only the second line: the first stays blank.
    TextRange secondLine;
    layout.lineFragmentRectForGlyph(21, &secondLine);
    for (const bool wholeText : { true, false }) {
        const TextRange range = wholeText ? layout.glyphRangeForTextContainer() : secondLine;
        const QImage image = renderCanvas(
            QSize(200, 60), [&](Canvas& canvas) { layout.drawGlyphs(range, kOrigin, canvas); });
        int reds = 0, blacks = 0, blues = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) < 200)
                    continue;
                const QPointF centre(x + 0.5, y + 0.5);
                if (qRed(pixel) > 200 && qBlue(pixel) < 60) {
                    ++reds;
                    EXPECT_TRUE(red.contains(centre)) << x << "," << y;
                } else if (qBlue(pixel) > 200 && qRed(pixel) < 60) {
                    ++blues;
                    EXPECT_TRUE(blue[0].translated(kOrigin).contains(centre)
                        || blue[1].translated(kOrigin).contains(centre))
                        << x << "," << y;
                } else if (qRed(pixel) < 60 && qBlue(pixel) < 60) {
                    ++blacks;
                    // The underline sits a little below the glyphs' line.
                    EXPECT_TRUE(underlined.adjusted(0, 0, 0, 3).contains(centre)) << x << "," << y;
                }
            }
        }
        EXPECT_EQ(reds > 20, wholeText);
        EXPECT_EQ(blacks > 20, wholeText);
        EXPECT_GT(blues, 20);
    }
}

// Bands of an export draw the same balloon on several threads; the first of them lays it out.
TEST(TextDrawingTest, DrawsTheSameOnSeveralThreadsAtOnce)
{
    const auto draw = [](const TextLayoutManager& layout) {
        return renderCanvas(QSize(200, 60),
            [&](Canvas& canvas) { layout.drawGlyphs(layout.glyphRangeForTextContainer(), kOrigin, canvas); });
    };
    const QImage expected = draw(TextLayoutManager(sample(), kContainer));
    const TextLayoutManager shared(sample(), kContainer);
    std::vector<QImage> images(6);
    std::vector<std::thread> threads;
    for (QImage& image : images)
        threads.emplace_back([&] { image = draw(shared); });
    for (std::thread& thread : threads)
        thread.join();
    for (const QImage& image : images)
        EXPECT_EQ(image, expected);
}

} // namespace
} // namespace zandrel
