#include "ArchiveBuilder.h"
#include "ArchiveTestClasses.h"
#include "platform/AttributedText.h"
#include "platform/Exception.h"
#include "platform/KeyedUnarchiver.h"

#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using test::ArchiveBuilder;
using Index = PropertyList::Index;

// Attributed-string archives with pieces a case replaces: by default "abcdef" with two
// dictionaries {"NSKern": 0} and {"NSKern": 1} and the run table (3,0)(3,1).
struct TextArchive {
    ArchiveBuilder b;
    quint64 root = b.reserve();
    quint64 dictionaryClass = b.classRecord(QStringLiteral("NSDictionary"));

    quint64 object(Index node) { return b.add(node); }
    Index ref(quint64 uid) { return b.uid(uid); }
    quint64 dictionary(const std::vector<std::pair<QString, Index>>& entries)
    {
        std::vector<quint64> keys;
        std::vector<Index> values;
        for (const auto& [key, value] : entries) {
            keys.push_back(object(b.text(key)));
            values.push_back(value);
        }
        return object(b.record(dictionaryClass,
            { { QStringLiteral("NS.keys"), b.uids(keys) },
                { QStringLiteral("NS.objects"), b.array(values) } }));
    }
    quint64 kern(int value)
    {
        return dictionary({ { QStringLiteral("NSKern"), ref(object(b.integer(value))) } });
    }
    quint64 list(const std::vector<quint64>& members)
    {
        return object(b.record(b.classRecord(QStringLiteral("NSMutableArray"), QStringLiteral("NSArray")),
            { { QStringLiteral("NS.objects"), b.uids(members) } }));
    }
    quint64 record(const QString& className, const std::vector<std::pair<QString, Index>>& entries)
    {
        return object(b.record(b.classRecord(className), entries));
    }
    QByteArray finish(
        std::optional<Index> string, std::optional<Index> attributes, std::optional<QByteArray> runs)
    {
        std::vector<std::pair<QString, Index>> entries;
        if (string)
            entries.emplace_back(QStringLiteral("NSString"), *string);
        if (attributes)
            entries.emplace_back(QStringLiteral("NSAttributes"), *attributes);
        if (runs)
            entries.emplace_back(QStringLiteral("NSAttributeInfo"), ref(object(b.data(*runs))));
        b.set(root, b.record(b.classRecord(QStringLiteral("NSMutableAttributedString")), entries));
        return b.finish(root);
    }
    QByteArray standard(const QByteArray& runs)
    {
        const quint64 dictionaries = list({ kern(0), kern(1) });
        return finish(ref(object(b.text(QStringLiteral("abcdef")))), ref(dictionaries), runs);
    }
    // One dictionary holding the given attribute over "abc".
    QByteArray attribute(const QString& name, Index value)
    {
        const quint64 dictionary = this->dictionary({ { name, value } });
        return finish(ref(object(b.text(QStringLiteral("abc")))), ref(dictionary), std::nullopt);
    }
};

// "text|length:attributes ..." with the attributes as compact as the cases need.
std::string describe(const AttributedText& text)
{
    std::string out = text.string().toStdString() + "|";
    for (qsizetype i = 0; i < text.runCount(); ++i) {
        const TextAttributes& a = text.runAttributes(i);
        out += (i ? " " : "") + std::to_string(text.runRange(i).length) + ":";
        if (a.font)
            out += "font=" + a.font->name.toStdString() + "@" + QString::number(a.font->size).toStdString()
                + ";";
        if (a.foregroundColor.isValid())
            out += "color=" + a.foregroundColor.description().toStdString() + ";";
        if (a.paragraphStyle)
            out += "align=" + std::to_string(int(a.paragraphStyle->alignment)) + ";";
        for (auto it = a.otherAttributes.cbegin(); it != a.otherAttributes.cend(); ++it)
            out += it.key().toStdString() + "=" + it.value().toDebugString().toStdString() + ";";
    }
    return out;
}

TEST(AttributedTextHostileTest, DecodesOrRefusesAsTheTableSays)
{
    ClassRegistry::shared().registerOnce(&test::registerArchiveTestClasses);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::function<QByteArray(TextArchive&)> make;
        // The decoded text, or "refused" for the unarchiver's error.
        std::string expected;
    };
    const Case cases[] = {
        { "a sound table", [](TextArchive& t) { return t.standard(QByteArray::fromHex("03000301")); },
            "abcdef|3:NSKern=0; 3:NSKern=1;" },
        { "runs short of the text",
            [](TextArchive& t) { return t.standard(QByteArray::fromHex("03000201")); }, "refused" },
        { "runs past the text", [](TextArchive& t) { return t.standard(QByteArray::fromHex("03000401")); },
            "refused" },
        { "a missing dictionary", [](TextArchive& t) { return t.standard(QByteArray::fromHex("03000302")); },
            "refused" },
        { "a cut-off varint", [](TextArchive& t) { return t.standard(QByteArray::fromHex("0300038180")); },
            "refused" },
        { "a length beyond 64 bits",
            [](TextArchive& t) { return t.standard(QByteArray::fromHex("ffffffffffffffffffff7f00")); },
            "refused" },
        { "an absurd length",
            [](TextArchive& t) { return t.standard(QByteArray::fromHex("ffffffffffffffff7f00")); },
            "refused" },
        { "an empty run table", [](TextArchive& t) { return t.standard(QByteArray()); }, "refused" },
        { "empty runs are skipped",
            [](TextArchive& t) { return t.standard(QByteArray::fromHex("0001030000010301")); },
            "abcdef|3:NSKern=0; 3:NSKern=1;" },
        { "several dictionaries without a table",
            [](TextArchive& t) {
                const quint64 list = t.list({ t.kern(0), t.kern(1) });
                return t.finish(t.ref(t.object(t.b.text("abcdef"))), t.ref(list), std::nullopt);
            },
            "refused" },
        { "characters that are not a string",
            [](TextArchive& t) {
                return t.finish(t.ref(t.object(t.b.integer(5))), std::nullopt, std::nullopt);
            },
            "refused" },
        { "no characters at all",
            [](TextArchive& t) { return t.finish(std::nullopt, std::nullopt, std::nullopt); }, "|" },
        { "attributes that are a string",
            [](TextArchive& t) {
                return t.finish(
                    t.ref(t.object(t.b.text("abc"))), t.ref(t.object(t.b.text("x"))), std::nullopt);
            },
            "refused" },
        { "a member that is not a dictionary has no attributes",
            [](TextArchive& t) {
                const quint64 list = t.list({ t.object(t.b.text("x")), t.kern(1) });
                return t.finish(
                    t.ref(t.object(t.b.text("abcdef"))), t.ref(list), QByteArray::fromHex("03000301"));
            },
            "abcdef|3: 3:NSKern=1;" },
        { "a font whose name is a number is dropped",
            [](TextArchive& t) {
                return t.attribute(QStringLiteral("NSFont"),
                    t.ref(t.record(QStringLiteral("NSFont"),
                        { { QStringLiteral("NSName"), t.ref(t.object(t.b.integer(3))) },
                            { QStringLiteral("NSSize"), t.b.real(12) } })));
            },
            "abc|3:" },
        { "a font whose size is text is refused",
            [](TextArchive& t) {
                return t.attribute(QStringLiteral("NSFont"),
                    t.ref(t.record(QStringLiteral("NSFont"),
                        { { QStringLiteral("NSName"), t.ref(t.object(t.b.text("Helvetica"))) },
                            { QStringLiteral("NSSize"), t.b.text("12") } })));
            },
            "refused" },
        { "a size that is not a number reads as the default",
            [nan](TextArchive& t) {
                return t.attribute(QStringLiteral("NSFont"),
                    t.ref(t.record(QStringLiteral("NSFont"),
                        { { QStringLiteral("NSName"), t.ref(t.object(t.b.text("Helvetica"))) },
                            { QStringLiteral("NSSize"), t.b.real(nan) } })));
            },
            "abc|3:font=Helvetica@0;" },
        { "a colour that is text is dropped",
            [](TextArchive& t) {
                return t.attribute(QStringLiteral("NSColor"), t.ref(t.object(t.b.text("red"))));
            },
            "abc|3:" },
        { "a paragraph style of another class is dropped",
            [](TextArchive& t) {
                return t.attribute(
                    QStringLiteral("NSParagraphStyle"), t.ref(t.record(QStringLiteral("NSFont"), {})));
            },
            "abc|3:" },
        { "an alignment out of range is natural",
            [](TextArchive& t) {
                return t.attribute(QStringLiteral("NSParagraphStyle"),
                    t.ref(t.record(QStringLiteral("NSMutableParagraphStyle"),
                        { { QStringLiteral("NSAlignment"), t.b.integer(99) } })));
            },
            "abc|3:align=4;" },
        { "a model object in an attribute is dropped",
            [](TextArchive& t) {
                return t.attribute(QStringLiteral("Owner"), t.ref(t.record(QStringLiteral("TestNode"), {})));
            },
            "abc|3:" },
        { "attributed text inside an attribute is dropped",
            [](TextArchive& t) {
                const quint64 inner = t.record(QStringLiteral("NSAttributedString"),
                    { { QStringLiteral("NSString"), t.ref(t.object(t.b.text("in"))) } });
                return t.attribute(QStringLiteral("Nested"), t.ref(inner));
            },
            "abc|3:" },
        { "an attribute holding its own dictionary ends the cycle with nil",
            [](TextArchive& t) {
                const quint64 self = t.b.reserve();
                const quint64 key = t.object(t.b.text("Self"));
                t.b.set(self,
                    t.b.record(t.dictionaryClass,
                        { { QStringLiteral("NS.keys"), t.b.uids({ key }) },
                            { QStringLiteral("NS.objects"), t.b.uids({ self }) } }));
                return t.finish(t.ref(t.object(t.b.text("abc"))), t.ref(self), std::nullopt);
            },
            "abc|3:Self={Self = null};" },
    };
    for (const Case& c : cases) {
        TextArchive archive;
        const QByteArray bytes = c.make(archive);
        std::string result;
        try {
            result = describe(KeyedUnarchiver::unarchiveAnyClass(bytes).toAttributedText());
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), kInvalidArchiveException) << c.name;
            result = "refused";
        }
        EXPECT_EQ(result, c.expected) << c.name;
    }
}

// A million runs over two thousand dictionaries that share a paragraph style of many keys:
// each piece is decoded once, so the work stays linear in the file.
TEST(AttributedTextHostileTest, SharedPiecesAreDecodedOnce)
{
    TextArchive t;
    std::vector<std::pair<QString, Index>> fields { { QStringLiteral("NSAlignment"), t.b.integer(2) } };
    for (int i = 0; i < 20000; ++i)
        fields.emplace_back(QStringLiteral("k%1").arg(i), t.b.integer(i));
    const quint64 style = t.record(QStringLiteral("NSMutableParagraphStyle"), fields);
    std::vector<quint64> dictionaries;
    for (int i = 0; i < 2000; ++i) {
        dictionaries.push_back(t.dictionary({ { QStringLiteral("NSParagraphStyle"), t.ref(style) },
            { QStringLiteral("NSKern"), t.ref(t.object(t.b.integer(i))) } }));
    }
    const qsizetype runs = 1000000;
    QByteArray table;
    for (qsizetype i = 0; i < runs; ++i) {
        const int index = int(i % 2000);
        table.append(char(1));
        table.append(char(0x80 | (index & 0x7f)));
        table.append(char(index >> 7));
    }
    const QByteArray bytes = t.finish(
        t.ref(t.object(t.b.text(QString(runs, QLatin1Char('x'))))), t.ref(t.list(dictionaries)), table);
    const AttributedText text = KeyedUnarchiver::unarchiveAnyClass(bytes).toAttributedText();
    EXPECT_EQ(text.runCount(), runs);
    ASSERT_EQ(text.attributeTable().size(), 2000);
    EXPECT_EQ(text.runAttributes(0).paragraphStyle->otherFields.size(), 20000);
    EXPECT_EQ(text.runAttributes(1999).paragraphStyle->alignment, TextAlignment::Center);
    EXPECT_EQ(text.runAttributes(1999).otherAttributes.value(QStringLiteral("NSKern")).toInt(), 1999);
}

} // namespace
} // namespace zandrel
