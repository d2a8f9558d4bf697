// The text editor's document holds a balloon's text at any zoom and gives back exactly what it was
// given, what it cannot show included; what it changes comes back in the text's own terms.
#include "views/TextDocumentBridge.h"

#include "support/TestSupport.h"

#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace zandrel {

namespace {

TextAttributes lettering(const QString& font, double size, const RgbColor& color, TextAlignment alignment)
{
    TextAttributes attributes;
    attributes.font = TextFont(font, size);
    attributes.foregroundColor = color;
    TextParagraphStyle paragraph;
    paragraph.alignment = alignment;
    attributes.paragraphStyle = paragraph;
    return attributes;
}

AttributedText runs(const QList<std::pair<QString, TextAttributes>>& pieces)
{
    AttributedText text;
    for (const auto& [string, attributes] : pieces)
        text.append(AttributedText(string, attributes));
    return text;
}

TEST(TextDocumentBridgeTest, TextsComeBackAsTheyWentInAtEveryZoom)
{
    const TextAttributes plain
        = lettering(QStringLiteral("ComicNeue-Regular"), 14, RgbColor(0, 0, 0, 1), TextAlignment::Center);
    // A font this machine lacks keeps its name; a link and an underline are kept though not edited.
    TextAttributes missing
        = lettering(QStringLiteral("NoSuchFont-Bold"), 0, RgbColor(0.2, 0.4, 0.6, 1), TextAlignment::Left);
    missing.otherAttributes.insert(QStringLiteral("NSLink"), Value(QStringLiteral("https://example.org")));
    missing.otherAttributes.insert(QStringLiteral("NSUnderline"), Value(qint64(1)));
    TextAttributes bare;
    const QList<AttributedText> texts {
        AttributedText(),
        AttributedText(QStringLiteral("Hello"), plain),
        runs({ { QStringLiteral("Bold "), missing }, { QStringLiteral("move!\n"), plain },
            { QStringLiteral("\nNext\u2028line"), bare }, { QStringLiteral("\n"), missing } }),
        runs({ { QStringLiteral("a\u2029"), plain }, { QStringLiteral("\u2029b\tc"), missing } }),
    };
    for (const double zoom : { 0.25, 1.0, 3.0 }) {
        for (const AttributedText& text : texts) {
            TextDocumentBridge bridge;
            QTextDocument document;
            bridge.fill(document, text, zoom);
            const QString expected = QString(text.string()).replace(QChar::ParagraphSeparator, u'\n');
            const AttributedText back = bridge.text(document);
            EXPECT_EQ(back.string(), expected) << zoom;
            for (qsizetype i = 0; i < text.length(); ++i)
                EXPECT_EQ(back.attributesAt(i), text.attributesAt(i)) << zoom << " at " << i;
            EXPECT_FALSE(document.isUndoAvailable()) << "filling is no edit";
        }
    }
}

TEST(TextDocumentBridgeTest, CarriageReturnLineFeedIsOneParagraphEnd)
{
    const TextAttributes plain
        = lettering(QStringLiteral("ComicNeue-Regular"), 14, RgbColor(0, 0, 0, 1), TextAlignment::Center);
    TextDocumentBridge bridge;
    QTextDocument document;
    bridge.fill(
        document, runs({ { QStringLiteral("one\r"), plain }, { QStringLiteral("\ntwo"), plain } }), 1.0);
    EXPECT_EQ(document.blockCount(), 2);
    EXPECT_EQ(bridge.text(document), AttributedText(QStringLiteral("one\ntwo"), plain));
}

TEST(TextDocumentBridgeTest, EditsComeBackInTheTextsTerms)
{
    const TextAttributes plain
        = lettering(QStringLiteral("ComicNeue-Regular"), 14, RgbColor(0, 0, 0, 1), TextAlignment::Center);
    TextDocumentBridge bridge;
    QTextDocument document;
    bridge.fill(document, AttributedText(QStringLiteral("Hi"), plain), 2.0);
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral(" there"));
    // As the formatting bar would change it: the last word larger and red, the paragraph left.
    cursor.movePosition(QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setFontPointSize(20 * 2.0);
    format.setForeground(QColor(Qt::red));
    cursor.mergeCharFormat(format);
    QTextBlockFormat left;
    left.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    cursor.mergeBlockFormat(left);

    TextAttributes typed = plain;
    typed.paragraphStyle->alignment = TextAlignment::Left;
    TextAttributes changed = typed;
    changed.font->size = 20;
    changed.foregroundColor = RgbColor::fromQColor(Qt::red);
    EXPECT_EQ(bridge.text(document),
        runs({ { QStringLiteral("Hi "), typed }, { QStringLiteral("there"), changed } }));
    // The next character typed at the end takes the attributes before it.
    cursor.movePosition(QTextCursor::End);
    EXPECT_EQ(bridge.typingAttributes(cursor), changed);
}

} // namespace
} // namespace zandrel
