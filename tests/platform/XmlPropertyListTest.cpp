// XML property lists: every kind written, read by Python's own reader and read back equal; values a
// property list cannot hold are refused rather than written half.
#include "platform/XmlPropertyList.h"

#include "support/TestSupport.h"

#include <QDateTime>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(XmlPropertyListTest, EveryKindIsWrittenAsOtherReadersReadItAndReadsBackEqual)
{
    QVariantMap inner;
    inner.insert(QStringLiteral("name"), QStringLiteral("Bob & <Sue> “quoted” \t"));
    inner.insert(QStringLiteral("kind"), qint64(-9007199254740993));
    QVariantMap root;
    root.insert(QStringLiteral("items"), QVariantList { inner, QVariantList(), 0.1, true, false });
    root.insert(QStringLiteral("bytes"), QByteArray("\x00\x01zz", 4));
    root.insert(QStringLiteral("updated"), QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30), Qt::UTC));
    root.insert(QStringLiteral("zero"), -0.0);
    QString error;
    const QByteArray text = writeXmlPropertyList(root, &error);
    ASSERT_FALSE(text.isEmpty()) << error.toStdString();

    const auto back = readXmlPropertyList(text, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(*back, QVariant(root));
    EXPECT_TRUE(std::signbit(back->toMap().value(QStringLiteral("zero")).toDouble()));

    if (test::python3().isEmpty())
        GTEST_SKIP() << "python3 is needed to read the text independently";
    QString output;
    ASSERT_EQ(test::runPython(
                  QStringLiteral("import plistlib, sys\n"
                                 "m = plistlib.loads(open(sys.argv[1], 'rb').read(), fmt=plistlib.FMT_XML)\n"
                                 "print(sorted(m.items()))\n"),
                  text, &output),
        0)
        << output.toStdString();
    EXPECT_EQ(output.trimmed(),
        QStringLiteral(
            "[('bytes', b'\\x00\\x01zz'), ('items', [{'kind': -9007199254740993, 'name': 'Bob & "
            "<Sue> “quoted” \\t'}, [], 0.1, True, False]), ('updated', datetime.datetime(2024, 5, 1, "
            "10, 20, 30)), ('zero', -0.0)]"));
}

TEST(XmlPropertyListTest, ValuesWithoutAPlaceInAPropertyListAreRefused)
{
    QString error;
    for (const QVariant& value : { QVariant(QStringLiteral("bell \x07")), QVariant(qInf()),
             QVariant(QPointF(1, 2)), QVariant(QVariantMap { { QStringLiteral("k"), QVariant() } }),
             QVariant(QDateTime()), QVariant(QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC)) }) {
        EXPECT_TRUE(writeXmlPropertyList(value, &error).isEmpty());
        EXPECT_FALSE(error.isEmpty());
    }
}

// A date is read only where the writer can write it back: an offset moving it out of the years 1 to
// 9999 is refused, while the edges themselves round-trip.
TEST(XmlPropertyListTest, DatesReadOnlyWhereTheyCanBeWrittenBack)
{
    const std::pair<const char*, bool> dates[] = {
        { "0001-01-01T00:30:00+14:00", false },
        { "9999-12-31T23:30:00-02:00", false },
        { "0001-01-01T00:00:00Z", true },
        { "9999-12-31T23:59:59Z", true },
        { "2024-05-01T12:00:00+02:00", true },
    };
    for (const auto& [text, readable] : dates) {
        QString error;
        const auto value
            = readXmlPropertyList(QByteArray("<plist><date>") + text + "</date></plist>", &error);
        EXPECT_EQ(value.has_value(), readable) << text << " " << error.toStdString();
        if (value)
            EXPECT_FALSE(writeXmlPropertyList(*value, &error).isEmpty())
                << text << " " << error.toStdString();
    }
}

} // namespace
} // namespace zandrel
