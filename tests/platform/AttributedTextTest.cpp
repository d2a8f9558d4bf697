#include "platform/AttributedText.h"

#include "platform/Exception.h"
#include "platform/Object.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

TextAttributes sized(double size)
{
    TextAttributes attributes;
    attributes.font = TextFont { QStringLiteral("ComicNeue-Regular"), size };
    return attributes;
}

// "size:length" per run, e.g. "14:3 18:2".
std::string runs(const AttributedText& text)
{
    std::string out;
    for (qsizetype i = 0; i < text.runCount(); ++i) {
        const TextAttributes& attributes = text.runAttributes(i);
        out += (out.empty() ? "" : " ") + (attributes.font ? std::to_string(int(attributes.font->size)) : "-")
            + ":" + std::to_string(text.runRange(i).length);
    }
    return out;
}

// "abcdef" as "abc" at 14 points and "def" at 18.
AttributedText twoRuns()
{
    AttributedText text(QStringLiteral("abc"), sized(14));
    text.append(AttributedText(QStringLiteral("def"), sized(18)));
    return text;
}

TEST(AttributedTextTest, EditsKeepRunsCoveringTheText)
{
    struct Case {
        const char* name;
        std::function<void(AttributedText&)> edit;
        const char* string;
        const char* runs;
    };
    const Case cases[] = {
        { "insert inside a run takes its attributes",
            [](AttributedText& t) {
                t.replaceCharacters({ 1, 0 }, QStringLiteral("XY"));
            },
            "aXYbcdef", "14:5 18:3" },
        { "insert at a boundary takes the character before",
            [](AttributedText& t) {
                t.replaceCharacters({ 3, 0 }, QStringLiteral("X"));
            },
            "abcXdef", "14:4 18:3" },
        { "insert at the start takes the first character's",
            [](AttributedText& t) {
                t.replaceCharacters({ 0, 0 }, QStringLiteral("X"));
            },
            "Xabcdef", "14:4 18:3" },
        { "replacing across runs takes the first replaced character's",
            [](AttributedText& t) {
                t.replaceCharacters({ 2, 3 }, QStringLiteral("XY"));
            },
            "abXYf", "14:4 18:1" },
        { "deleting a run's characters removes the run",
            [](AttributedText& t) {
                t.replaceCharacters({ 0, 3 }, QString());
            },
            "def", "18:3" },
        { "setting the attributes of one run to the other's merges them",
            [](AttributedText& t) {
                t.setAttributes(sized(14), { 3, 3 });
            },
            "abcdef", "14:6" },
        { "setting attributes inside a run splits it",
            [](AttributedText& t) {
                t.setAttributes(sized(30), { 1, 1 });
            },
            "abcdef", "14:1 30:1 14:1 18:3" },
        { "a converter sees each run once",
            [](AttributedText& t) {
                t.changeAttributes({ 2, 2 }, [](const TextAttributes& a) { return sized(a.font->size + 1); });
            },
            "abcdef", "14:2 15:1 19:1 18:2" },
        { "ranges are clamped to the text",
            [](AttributedText& t) {
                t.replaceCharacters({ 5, 100 }, QStringLiteral("!"));
            },
            "abcde!", "14:3 18:3" },
        { "an attributed insert keeps its own runs",
            [](AttributedText& t) {
                t.replaceCharacters({ 3, 0 }, AttributedText(QStringLiteral("Z"), sized(9)));
            },
            "abcZdef", "14:3 9:1 18:3" },
    };
    for (const Case& c : cases) {
        AttributedText text = twoRuns();
        c.edit(text);
        EXPECT_EQ(text.string().toStdString(), c.string) << c.name;
        EXPECT_EQ(runs(text), c.runs) << c.name;
    }
}

TEST(AttributedTextTest, AttributesAtAndSubstring)
{
    const AttributedText text = twoRuns();
    TextRange range;
    EXPECT_EQ(text.attributesAt(4, &range), sized(18));
    EXPECT_EQ(range, (TextRange { 3, 3 }));
    EXPECT_EQ(text.attributesAt(6, &range), TextAttributes());
    EXPECT_EQ(range, (TextRange { 6, 0 }));
    const AttributedText middle = text.substring({ 2, 2 });
    EXPECT_EQ(middle.string(), QStringLiteral("cd"));
    EXPECT_EQ(runs(middle), "14:1 18:1");
}

TEST(AttributedTextTest, EqualityIgnoresHowRunsAreSplit)
{
    AttributedText split(QStringLiteral("ab"), sized(14));
    split.append(AttributedText(QStringLiteral("cdef"), sized(18)));
    split.setAttributes(sized(14), { 2, 1 });
    EXPECT_EQ(split, twoRuns());
    AttributedText other = twoRuns();
    other.setAttributes(sized(15), { 5, 1 });
    EXPECT_FALSE(other == twoRuns());
    // A copy changes alone.
    AttributedText copy = other;
    copy.replaceCharacters({ 0, 1 }, QStringLiteral("A"));
    EXPECT_EQ(other.string(), QStringLiteral("abcdef"));
    EXPECT_EQ(Value(copy), Value(copy));
    EXPECT_FALSE(Value(copy) == Value(other));
}

class Lettered : public Object {
public:
    ZDL_PROPERTIES
    QString className() const override { return QStringLiteral("Lettered"); }
    AttributedText m_text;
};

const PropertyTable& Lettered::staticPropertyTable()
{
    static const PropertyTable table(
        &Object::staticPropertyTable(), { property<Lettered>("formattedText", &Lettered::m_text) });
    return table;
}

// Undoable edits set a balloon's text by name.
TEST(AttributedTextTest, IsAPropertyValue)
{
    Lettered object;
    object.setValueForKey(twoRuns(), QStringLiteral("formattedText"));
    EXPECT_EQ(object.m_text, twoRuns());
    EXPECT_EQ(object.valueForKey(QStringLiteral("formattedText")), Value(twoRuns()));
    EXPECT_THROW(object.setValueForKey(QStringLiteral("plain"), QStringLiteral("formattedText")), Exception);
}

} // namespace
} // namespace zandrel
