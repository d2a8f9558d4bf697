#include "ArchiveBuilder.h"
#include "ArchiveOracle.h"
#include "ArchiveTestClasses.h"
#include "CorpusSeeds.h"
#include "platform/AttributedText.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::ArchiveBuilder;

// Reads an archived attributed string with plistlib alone: the class chain, the characters, the
// dictionaries and the run table decoded from its varints, printed as JSON runs
// [length, {"font": [name, size], "color": [r, g, b], "align": n, "other": {...}}].
const char* kRunTableScript = R"(
import json, plistlib, sys
top = plistlib.loads(open(sys.argv[1], 'rb').read())
objs = top['$objects']
obj = lambda u: objs[u.data]
chain = lambda o: obj(o['$class'])['$classes']
root = obj(top['$top']['root'])
text = obj(root['NSString'])
length = len(text.encode('utf-16-le')) // 2
def attributes(d):
    assert chain(d)[-2:] == ['NSDictionary', 'NSObject'], chain(d)
    out = {}
    for k, v in zip(d['NS.keys'], d['NS.objects']):
        name, value = obj(k), obj(v)
        if name == 'NSFont':
            assert chain(value) == ['NSFont', 'NSObject'] and isinstance(value['NSSize'], float)
            out['font'] = [obj(value['NSName']), value['NSSize']]
        elif name == 'NSColor':
            rgb = value['NSRGB']
            assert rgb.endswith(b'\0') and value['NSColorSpace'] == 1
            out['color'] = [float(x) for x in rgb[:-1].split()]
        elif name == 'NSParagraphStyle':
            assert chain(value) == ['NSMutableParagraphStyle', 'NSParagraphStyle', 'NSObject'], chain(value)
            out['align'] = value['NSAlignment']
            out['lineHeight'] = value.get('NSLineHeightMultiple', 0.0)
            out['headIndent'] = value.get('NSHeadIndent', 0.0)
        else:
            out.setdefault('other', {})[name] = value
    return out
def varints(data):
    values, value, shift = [], 0, 0
    for byte in data:
        value |= (byte & 0x7f) << shift
        shift += 7
        if not byte & 0x80:
            values.append(value)
            value, shift = 0, 0
    assert shift == 0
    return values
if length == 0:
    assert set(root) == {'NSString', '$class'}, root
    runs = []
elif 'NSAttributeInfo' not in root:
    runs = [[length, attributes(obj(root['NSAttributes']))]]
else:
    listed = obj(root['NSAttributes'])
    dictionaries = [attributes(obj(u)) for u in listed['NS.objects']]
    info = obj(root['NSAttributeInfo'])
    assert chain(info) == ['NSMutableData', 'NSData', 'NSObject']
    pairs = varints(info['NS.data'])
    runs = [[pairs[i], dictionaries[pairs[i + 1]]] for i in range(0, len(pairs), 2)]
    assert sum(run[0] for run in runs) == length
print(json.dumps({'chain': chain(root), 'runs': runs, 'dictionaries': len(listed['NS.objects']) if runs and 'NSAttributeInfo' in root else len(runs)}))
)";

QJsonObject summary(const TextAttributes& attributes)
{
    QJsonObject out;
    if (attributes.font)
        out.insert("font", QJsonArray { attributes.font->name, attributes.font->size });
    if (attributes.foregroundColor.isValid()) {
        const RgbColor& c = attributes.foregroundColor;
        out.insert("color", QJsonArray { c.red(), c.green(), c.blue() });
    }
    if (attributes.paragraphStyle) {
        out.insert("align", int(attributes.paragraphStyle->alignment));
        out.insert("lineHeight", attributes.paragraphStyle->lineHeightMultiple);
        double headIndent = 0;
        for (const ArchivedField& field : attributes.paragraphStyle->otherFields) {
            if (field.key == QLatin1String("NSHeadIndent"))
                headIndent = field.value.toDouble();
        }
        out.insert("headIndent", headIndent);
    }
    QJsonObject other;
    for (auto it = attributes.otherAttributes.cbegin(); it != attributes.otherAttributes.cend(); ++it)
        other.insert(it.key(),
            it.value().type() == Value::Type::String ? QJsonValue(it.value().toString())
                                                     : QJsonValue(it.value().toInteger()));
    if (!other.isEmpty())
        out.insert("other", other);
    return out;
}

// "Hi 😀 there" and a second paragraph: a bold centred red run, an underlined blue emoji (two
// UTF-16 units), the first run's attributes again, and a run without attributes.
AttributedText sampleText()
{
    TextAttributes bold;
    bold.font = TextFont { QStringLiteral("ComicNeue-Bold"), 18.5, 16 };
    bold.foregroundColor = RgbColor(1, 0, 0);
    TextParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    centred.lineHeightMultiple = 1.5;
    centred.otherFields = { { QStringLiteral("NSHeadIndent"), 4.25, true },
        { QStringLiteral("NSTabStops"), ValueList { 28, 56 }, false } };
    bold.paragraphStyle = centred;
    TextAttributes emoji;
    emoji.foregroundColor = RgbColor(0, 0, 1);
    emoji.otherAttributes.insert(kUnderlineStyleAttributeName, 1);
    emoji.otherAttributes.insert(QStringLiteral("NSLink"), QStringLiteral("zdltp://help"));

    AttributedText text(QStringLiteral("Hi "), bold);
    text.append(AttributedText(QString::fromUtf8("\U0001F600"), emoji));
    text.append(AttributedText(QStringLiteral(" there"), bold));
    text.append(AttributedText(QStringLiteral("\nnext line")));
    return text;
}

QJsonObject expectedSummary(const AttributedText& text, const QString& className)
{
    QJsonArray runs;
    for (qsizetype i = 0; i < text.runCount(); ++i)
        runs.append(QJsonArray { int(text.runRange(i).length), summary(text.runAttributes(i)) });
    return QJsonObject { { "chain", QJsonArray { className, "NSAttributedString", "NSObject" } },
        { "runs", runs }, { "dictionaries", int(text.attributeTable().size()) } };
}

TEST(AttributedTextArchiveTest, RoundTripReadByPlistlib)
{
    const AttributedText text = sampleText();
    ASSERT_EQ(text.runCount(), 4);
    ASSERT_EQ(text.attributeTable().size(), 3);
    const QByteArray archive = KeyedArchiver::archivedData(text);

    KeyedUnarchiver unarchiver(archive);
    const Value decoded
        = unarchiver.decodeObjectOfClass(QStringLiteral("NSMutableAttributedString"), QStringLiteral("root"));
    ASSERT_EQ(decoded.type(), Value::Type::AttributedText);
    EXPECT_EQ(decoded.toAttributedText(), text);
    EXPECT_EQ(KeyedArchiver::archivedData(decoded), archive) << "writing what was read changes the bytes";

    if (test::python3().isEmpty())
        GTEST_SKIP() << "python3 is missing";
    const QStringList inlineKinds = test::checkWithPython(archive);
    for (const char* kind : { " NSSize real8", " NSAlignment int", " NSHeadIndent real8", " NS.data data" })
        EXPECT_TRUE(inlineKinds.filter(QString::fromLatin1(kind)).size() >= 1) << kind;
    QString output;
    ASSERT_EQ(test::runPython(QString::fromLatin1(kRunTableScript), archive, &output), 0)
        << output.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(output.toUtf8()).object(),
        expectedSummary(text, QStringLiteral("NSMutableAttributedString")))
        << output.toStdString();
}

TEST(AttributedTextArchiveTest, OneRunAndEmptyTextTakeTheShortForms)
{
    TextAttributes attributes;
    attributes.font = TextFont { QStringLiteral("ComicNeue-Regular"), 14 };
    const AttributedText texts[] = { AttributedText(QStringLiteral("one run"), attributes),
        AttributedText(QString(), attributes), AttributedText(QStringLiteral("no attributes")) };
    for (const AttributedText& text : texts) {
        const QByteArray archive = KeyedArchiver::archivedData(text);
        EXPECT_EQ(KeyedUnarchiver::unarchiveAnyClass(archive).toAttributedText(), text);
        QString output;
        if (test::python3().isEmpty())
            continue;
        ASSERT_EQ(test::runPython(QString::fromLatin1(kRunTableScript), archive, &output), 0)
            << output.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(output.toUtf8()).object(),
            expectedSummary(text, QStringLiteral("NSMutableAttributedString")))
            << output.toStdString();
    }
}

// An archive laid out as a standard archiver writes one: four dictionaries and the run table
// (1,0)(1,1)(4,2)(2,1)(1,3)(1,0) over "0123456789", the table inside an NSMutableData record or,
// as some writers have it, as bare data.
QByteArray standardArchive(const QString& className, bool bareData)
{
    ArchiveBuilder b;
    const quint64 root = b.reserve();
    const quint64 characters = b.add(b.text(QStringLiteral("0123456789")));
    const quint64 dictionaryClass = b.classRecord(QStringLiteral("NSDictionary"));
    std::vector<quint64> dictionaries;
    for (int i = 0; i < 4; ++i) {
        const quint64 key = b.add(b.text(QStringLiteral("NSKern")));
        const quint64 value = b.add(b.integer(i));
        dictionaries.push_back(b.add(b.record(dictionaryClass,
            { { QStringLiteral("NS.keys"), b.uids({ key }) },
                { QStringLiteral("NS.objects"), b.uids({ value }) } })));
    }
    const quint64 list = b.add(b.record(b.classRecord(QStringLiteral("NSMutableArray")),
        { { QStringLiteral("NS.objects"), b.uids(dictionaries) } }));
    const QByteArray table = QByteArray::fromHex("010001010402020101030100");
    const quint64 info = bareData ? b.add(b.data(table))
                                  : b.add(b.record(b.classRecord(QStringLiteral("NSMutableData")),
                                      { { QStringLiteral("NS.data"), b.data(table) } }));
    b.set(root,
        b.record(b.classRecord(className),
            { { QStringLiteral("NSString"), b.uid(characters) },
                { QStringLiteral("NSAttributes"), b.uid(list) },
                { QStringLiteral("NSAttributeInfo"), b.uid(info) } }));
    return b.finish(root);
}

// Legacy balloons hold an NSTextStorage.
TEST(AttributedTextArchiveTest, ReadsTheStandardLayout)
{
    for (const bool bareData : { false, true }) {
        for (const QString& className :
            { QStringLiteral("NSAttributedString"), QStringLiteral("NSTextStorage") }) {
            const QByteArray archive = standardArchive(className, bareData);
            const AttributedText text = KeyedUnarchiver::unarchiveAnyClass(archive).toAttributedText();
            ASSERT_EQ(text.string(), QStringLiteral("0123456789"));
            QString runs;
            for (qsizetype i = 0; i < text.runCount(); ++i)
                runs
                    += QStringLiteral("(%1,%2)")
                           .arg(text.runRange(i).length)
                           .arg(
                               text.runAttributes(i).otherAttributes.value(QStringLiteral("NSKern")).toInt());
            EXPECT_EQ(runs, QStringLiteral("(1,0)(1,1)(4,2)(2,1)(1,3)(1,0)"));
            // Balloons read their text restricted to the mutable class; the legacy storage is one.
            const Value restricted
                = KeyedUnarchiver::unarchive(archive, { QStringLiteral("NSMutableAttributedString") });
            EXPECT_EQ(restricted.isNull(), className == QLatin1String("NSAttributedString"));
        }
    }
}

// The seed corpus of the attributed-text fuzz target, doubling as golden files of the encoding.
TEST(AttributedTextArchiveTest, SeedsMatchWhatTheArchiverWrites)
{
    QMap<QString, QByteArray> seeds;
    const QByteArray sample = KeyedArchiver::archivedData(sampleText());
    seeds.insert(QStringLiteral("runs.archive"), sample);
    seeds.insert(QStringLiteral("one-run.archive"),
        KeyedArchiver::archivedData(
            AttributedText(QStringLiteral("Edit balloon text"), sampleText().runAttributes(0))));
    seeds.insert(QStringLiteral("empty.archive"), KeyedArchiver::archivedData(AttributedText()));
    seeds.insert(QStringLiteral("storage.archive"), standardArchive(QStringLiteral("NSTextStorage"), true));
    seeds.insert(QStringLiteral("bad-truncated.archive"), sample.left(sample.size() * 2 / 3));
    test::checkCorpusSeeds(QStringLiteral("fuzz_attributedtext"), seeds,
        { "runs.archive", "one-run.archive", "empty.archive", "storage.archive" });
}

} // namespace
} // namespace zandrel
