#include "ArchiveTestClasses.h"
#include "RawPropertyList.h"
#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using test::assemblePlist;
using test::bigEndian;

constexpr quint64 kTwoTo63 = quint64(1) << 63;
constexpr quint64 kAllOnes = ~quint64(0);

// Files as lines of hexadecimal digits, for a Python script to read one by one.
QByteArray linesOf(const QList<QByteArray>& files)
{
    QByteArray lines;
    for (const QByteArray& file : files)
        lines += file.toHex() + '\n';
    return lines;
}

bool reads(const QByteArray& file)
{
    try {
        PropertyList::fromBinary(file);
        return true;
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), kInvalidArchiveException);
        return false;
    }
}

TEST(PropertyListRangeTest, SixteenByteIntegersReadAsSixtyFourBitsOrAreRefused)
{
    // High and low halves of a 16-byte integer, read as a signed 128-bit number, as the reference
    // reader does; only what fits a signed or an unsigned 64-bit integer is kept.
    const struct Row {
        quint64 high, low;
        bool fits;
        bool isUnsigned;
    } rows[] = {
        { 0, 42, true, false },
        { 0, kTwoTo63 + 44, true, true },
        { 0, kAllOnes, true, true },
        { kAllOnes, kAllOnes, true, false }, // -1
        { kAllOnes, kTwoTo63, true, false }, // the smallest signed 64-bit integer
        { 1, 0, false, false }, // 2^64
        { kAllOnes, kTwoTo63 - 1, false, false }, // one below the smallest
        { kTwoTo63, 0, false, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.high << " " << row.low);
        const QByteArray file
            = assemblePlist({ QByteArray::fromHex("14") + bigEndian(row.high, 8) + bigEndian(row.low, 8) });
        ASSERT_EQ(reads(file), row.fits);
        if (!row.fits)
            continue;
        const PropertyList list = PropertyList::fromBinary(file);
        EXPECT_EQ(list.isUnsignedInt(0), row.isUnsigned);
        EXPECT_EQ(row.isUnsigned ? list.unsignedIntValue(0) : quint64(list.intValue(0)), row.low);
        EXPECT_EQ(list.intValue(0), row.isUnsigned ? std::numeric_limits<qint64>::max() : qint64(row.low));
        EXPECT_EQ(list.realValue(0), row.isUnsigned ? double(row.low) : double(qint64(row.low)));
    }
}

TEST(PropertyListRangeTest, UnsignedIntegersMatchTheReferenceWriterBothWays)
{
    const quint64 values[] = { kTwoTo63 + 44, kAllOnes, kTwoTo63 - 1, 300 };
    QList<QByteArray> ours;
    for (quint64 value : values) {
        PropertyList list;
        list.setRoot(list.addUnsignedInt(value));
        ours.append(list.toBinary());
        EXPECT_EQ(PropertyList::fromBinary(ours.last()).unsignedIntValue(0), value);
    }
    // Python writes each value and says whether our bytes are its bytes and read as the value.
    const QString script = QStringLiteral(R"(
import plistlib, sys
values = [2**63 + 44, 2**64 - 1, 2**63 - 1, 300]
ours = [bytes.fromhex(line) for line in open(sys.argv[1]).read().split()]
for value, data in zip(values, ours):
    assert plistlib.dumps(value, fmt=plistlib.FMT_BINARY) == data, (value, data.hex())
    assert plistlib.loads(data) == value, value
)");
    QString output;
    const int status = test::runPython(script, linesOf(ours), &output);
    if (status == -1)
        GTEST_SKIP() << "python3 is not available";
    EXPECT_EQ(status, 0) << output.toStdString();
}

TEST(PropertyListRangeTest, UnsignedValuesArchiveAndReadBack)
{
    EXPECT_EQ(Value(quint64(5)).type(), Value::Type::Integer);
    EXPECT_EQ(Value(kAllOnes).type(), Value::Type::UnsignedInteger);
    EXPECT_EQ(Value(kAllOnes).toInteger(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Value(-3).toUnsignedInteger(), 0u);
    EXPECT_EQ(Value(1e300).toUnsignedInteger(), kAllOnes);

    // -1 and 2^64 - 1 have the same bits; they stay two numbers.
    const ValueList numbers { Value(kTwoTo63 + 44), Value(kAllOnes), Value(-1), Value(quint64(7)) };
    EXPECT_EQ(KeyedUnarchiver::unarchiveAnyClass(KeyedArchiver::archivedData(numbers)), Value(numbers));
}

TEST(PropertyListRangeTest, DatesOutsideTheYearsOneTo9999AreRefusedAsTheReferenceReaderDoes)
{
    const double earliest = -63113904000.0; // 0001-01-01
    const double end = 252423993600.0; // 10000-01-01
    const double inf = std::numeric_limits<double>::infinity();
    const struct Row {
        double seconds;
        bool reads;
    } rows[] = {
        { 0.0, true },
        { 12.5, true },
        { earliest, true },
        { std::nextafter(earliest, -inf), false },
        { std::nextafter(end, 0.0), true },
        { end, false },
        { 1e300, false },
        { inf, false },
        { -inf, false },
        { std::numeric_limits<double>::quiet_NaN(), false },
    };
    QList<QByteArray> files;
    for (const Row& row : rows) {
        quint64 bits;
        std::memcpy(&bits, &row.seconds, sizeof bits);
        files.append(assemblePlist({ QByteArray::fromHex("33") + bigEndian(bits, 8) }));
        EXPECT_EQ(reads(files.last()), row.reads) << row.seconds;
    }
    const QString script = QStringLiteral(R"(
import plistlib, sys
for line in open(sys.argv[1]).read().split():
    try:
        plistlib.loads(bytes.fromhex(line))
        print(1, end='')
    except (ValueError, OverflowError):
        print(0, end='')
)");
    QString output;
    const int status = test::runPython(script, linesOf(files), &output);
    if (status == -1)
        GTEST_SKIP() << "python3 is not available";
    QString expected;
    for (const Row& row : rows)
        expected += row.reads ? u'1' : u'0';
    EXPECT_EQ(output, expected);
}

} // namespace
} // namespace zandrel
