#include "platform/TextLayoutManager.h"

#include "platform/FontRegistry.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Text is laid out in the shipped lettering font, so these numbers hold on every machine.
TextAttributes lettering(TextAlignment alignment = TextAlignment::Center, double size = 14)
{
    TextAttributes attributes;
    attributes.font = TextFont { FontRegistry::kLetteringFontName, size };
    TextParagraphStyle style;
    style.alignment = alignment;
    attributes.paragraphStyle = style;
    return attributes;
}

TextLayoutManager laidOut(const QString& text, TextAttributes attributes = lettering(), double width = 120)
{
    return TextLayoutManager(AttributedText(text, attributes), QSizeF(width, 2000));
}

// The characters of each line, "|"-separated.
QString lines(const TextLayoutManager& layout)
{
    QStringList out;
    for (qsizetype glyph = 0; glyph < layout.numberOfGlyphs();) {
        TextRange range;
        layout.lineFragmentRectForGlyph(glyph, &range);
        const qsizetype from = layout.characterIndexForGlyph(range.location);
        out << layout.text().string().mid(from, layout.characterIndexForGlyph(range.end()) - from);
        glyph = range.end();
    }
    return out.join(QLatin1Char('|'));
}

void expectRects(const QList<QRectF>& actual, const QList<QRectF>& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (qsizetype i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].x(), expected[i].x(), 1e-3) << what << " rect " << i;
        EXPECT_NEAR(actual[i].y(), expected[i].y(), 1e-3) << what << " rect " << i;
        EXPECT_NEAR(actual[i].width(), expected[i].width(), 1e-3) << what << " rect " << i;
        EXPECT_NEAR(actual[i].height(), expected[i].height(), 1e-3) << what << " rect " << i;
    }
}

TEST(TextLayoutManagerTest, LinesBreakWithinTheContainerAndTrimToVisibleGlyphs)
{
    const TextLayoutManager layout
        = laidOut(QStringLiteral("Lettering a comic balloon, one line at a time."));
    EXPECT_EQ(lines(layout), QStringLiteral("Lettering a comic |balloon, one line |at a time."));
    EXPECT_EQ(layout.glyphRangeForTextContainer(), (TextRange { 0, 46 }));
    TextRange second;
    EXPECT_EQ(layout.lineFragmentRectForGlyph(20, &second), QRectF(0, 17, 120, 17));
    EXPECT_EQ(second, (TextRange { 18, 18 }));
    // Selection-style rects include the space a wrapped line ends with; visible rects do not,
    // and centred lines are centred on their visible glyphs.
    expectRects(layout.rectsForGlyphRange({ 0, 46 }),
        { { 7.8125, 0, 107.1875, 17 }, { 10.96875, 17, 102.734375, 17 }, { 32.171875, 34, 55.65625, 17 } },
        "selection");
    const QList<QRectF> visible = layout.visibleLineRects(120);
    expectRects(visible,
        { { 7.8125, 0, 104.359375, 17 }, { 10.96875, 17, 98.0625, 17 }, { 32.171875, 34, 55.65625, 17 } },
        "visible");
    for (const QRectF& line : visible) {
        EXPECT_NEAR(line.center().x(), 60, 0.02);
        EXPECT_LE(line.width(), 120 - 2 * TextLayoutManager::kLineFragmentPadding);
    }
    EXPECT_EQ(layout.textHeight(), 51.0f);
}

TEST(TextLayoutManagerTest, SpacesAndLineEndsAreTrimmedFromVisibleLines)
{
    struct Case {
        QString text;
        QString lines;
        QList<QRectF> visible;
        float height;
    };
    const Case cases[] = {
        // Trailing spaces neither widen a line nor move centred text.
        { QStringLiteral("Hi   \n\nthere  "), QStringLiteral("Hi   \n|\n|there  "),
            { { 53.34375, 0, 13.28125, 17 }, { 60, 17, 0, 17 }, { 44.609375, 34, 30.78125, 17 } }, 51 },
        // Leading spaces take their room.
        { QStringLiteral("  Hi"), QStringLiteral("  Hi"), { { 58.03125, 0, 13.28125, 17 } }, 17 },
        // A line of spaces keeps one.
        { QStringLiteral("   "), QStringLiteral("   "), { { 59.984375, 0, 4.671875, 17 } }, 17 },
        { QString(), QString(), { { 0, 0, 120, 20 } }, 20 },
        // A final line end opens no line of its own.
        { QStringLiteral("Hi\n"), QStringLiteral("Hi\n"), { { 53.359375, 0, 13.28125, 17 } }, 17 },
    };
    for (const Case& c : cases) {
        const TextLayoutManager layout = laidOut(c.text);
        const std::string what = c.text.toStdString();
        EXPECT_EQ(lines(layout), c.lines) << what;
        expectRects(layout.visibleLineRects(120), c.visible, what.c_str());
        EXPECT_EQ(layout.textHeight(), c.height) << what;
    }
}

TEST(TextLayoutManagerTest, AlignmentsPlaceTheLineInThePaddedContainer)
{
    struct Case {
        TextAlignment alignment;
        QString text;
        double left;
        double right;
    };
    const Case cases[] = {
        { TextAlignment::Left, QStringLiteral("Hi there"), 5, 0 },
        { TextAlignment::Natural, QStringLiteral("Hi there"), 5, 0 },
        { TextAlignment::Right, QStringLiteral("Hi there  "), 0, 115 },
        { TextAlignment::Natural, QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd"), 0, 115 },
        { TextAlignment::Left, QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd"), 5, 0 },
    };
    for (const Case& c : cases) {
        const QList<QRectF> rects = laidOut(c.text, lettering(c.alignment)).visibleLineRects(120);
        ASSERT_EQ(rects.size(), 1);
        if (c.left) {
            EXPECT_NEAR(rects[0].left(), c.left, 1e-3) << c.text.toStdString();
        }
        if (c.right) {
            EXPECT_NEAR(rects[0].right(), c.right, 1e-3) << c.text.toStdString();
        }
    }
    // Justified lines fill the width, except a paragraph's last.
    const TextLayoutManager justified
        = laidOut(QStringLiteral("Lettering a comic balloon, one line at a time."),
            lettering(TextAlignment::Justified));
    const QList<QRectF> rects = justified.visibleLineRects(120);
    ASSERT_EQ(rects.size(), 3);
    EXPECT_NEAR(rects[0].left(), 5, 1e-3);
    EXPECT_NEAR(rects[0].right(), 115, 0.02);
    EXPECT_LT(rects[2].right(), 100);
}

TEST(TextLayoutManagerTest, GlyphsAreClustersAndControlsAreNotShown)
{
    // "e" with a combining accent, CR LF, an emoji (two UTF-16 units), a tab, a line separator.
    const QString text = QString::fromUtf8("e\u0301\r\n\U0001F600\tx\u2028y");
    const TextLayoutManager layout = laidOut(text, lettering(TextAlignment::Left), 400);
    const qsizetype expectedCharacters[] = { 0, 2, 4, 6, 7, 8, 9 };
    const bool expectedNotShown[] = { false, true, false, true, false, true, false };
    ASSERT_EQ(layout.numberOfGlyphs(), 7);
    for (qsizetype glyph = 0; glyph < 7; ++glyph) {
        EXPECT_EQ(layout.characterIndexForGlyph(glyph), expectedCharacters[glyph]) << glyph;
        EXPECT_EQ(layout.isGlyphNotShown(glyph), expectedNotShown[glyph]) << glyph;
    }
    EXPECT_EQ(layout.characterIndexForGlyph(7), text.size());
    // The separator breaks the second paragraph's line; CR LF ends the first.
    EXPECT_EQ(lines(layout), QString::fromUtf8("e\u0301\r\n|\U0001F600\tx\u2028|y"));
    EXPECT_TRUE(layout.isGlyphInvisible(1));
    EXPECT_FALSE(layout.isGlyphInvisible(2));
}

TEST(TextLayoutManagerTest, ParagraphStylesAndTheContainerHeightShapeTheLines)
{
    TextAttributes tall = lettering();
    tall.paragraphStyle->lineHeightMultiple = 2;
    tall.paragraphStyle->paragraphSpacing = 3;
    tall.paragraphStyle->paragraphSpacingBefore = 5;
    const TextLayoutManager spaced = laidOut(QStringLiteral("one\ntwo"), tall);
    // 34 per line; 3 after the first paragraph and 5 before the second.
    EXPECT_EQ(spaced.lineFragmentRectForGlyph(4), QRectF(0, 42, 120, 34));
    EXPECT_EQ(spaced.textHeight(), 76.0f);

    // Lines that do not fit the container are not laid out.
    TextLayoutManager cut(AttributedText(QStringLiteral("one\ntwo\nthree"), lettering()), QSizeF(120, 40));
    EXPECT_EQ(lines(cut), QStringLiteral("one\n|two\n"));
    EXPECT_EQ(cut.numberOfGlyphs(), 8);
    EXPECT_EQ(cut.characterIndexForGlyph(8), 8);
    cut.setContainerSize(QSizeF(120, 51));
    EXPECT_EQ(cut.numberOfGlyphs(), 13);
    // Absurd containers are clamped rather than laid out.
    cut.setContainerSize(QSizeF(std::numeric_limits<double>::infinity(), -5));
    EXPECT_EQ(cut.containerSize(), QSizeF(0, 0));
    EXPECT_EQ(cut.numberOfGlyphs(), 0);
}

TEST(TextLayoutManagerTest, MissingFontsFallBackToTheLetteringFont)
{
    FontRegistry& fonts = FontRegistry::shared();
    EXPECT_TRUE(fonts.hasFont(QStringLiteral("Comic Neue")));
    EXPECT_TRUE(fonts.hasFont(QStringLiteral("comicneue-bolditalic")));
    EXPECT_EQ(fonts.faceNamed(QStringLiteral("ComicNeue-BoldItalic")),
        (FontRegistry::Face { QStringLiteral("Comic Neue"), QStringLiteral("Bold Italic") }));
    EXPECT_FALSE(fonts.hasFont(QStringLiteral("NoSuchFont-BoldOblique")));

    TextAttributes missing = lettering();
    missing.font = TextFont { QStringLiteral("NoSuchFont-BoldOblique"), 14 };
    TextAttributes boldItalic = lettering();
    boldItalic.font = TextFont { QStringLiteral("ComicNeue-BoldItalic"), 14 };
    Log::Capture log;
    const TextLayoutManager fallback = laidOut(QStringLiteral("Bold words"), missing);
    expectRects(fallback.visibleLineRects(120),
        laidOut(QStringLiteral("Bold words"), boldItalic).visibleLineRects(120), "fallback");
    laidOut(QStringLiteral("again"), missing).numberOfGlyphs();
    EXPECT_EQ(log.lines(),
        QStringList { QStringLiteral(
            "Font \"NoSuchFont-BoldOblique\" is not available; using \"ComicNeue-BoldItalic\" instead.") });
    // The text keeps the name it was given.
    EXPECT_EQ(fallback.text().runAttributes(0).font->name, QStringLiteral("NoSuchFont-BoldOblique"));
}

} // namespace
} // namespace zandrel
