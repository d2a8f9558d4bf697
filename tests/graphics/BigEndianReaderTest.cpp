#include "graphics/BigEndianReader.h"

#include "platform/Exception.h"

#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray data;
    for (int v : values)
        data.append(char(v));
    return data;
}

TEST(BigEndianReader, ReadsBigEndianIntegersInOrder)
{
    BigEndianReader reader(bytes({ 0x12, 0x34, 0x56, 0x78, 0xFF }));
    EXPECT_EQ(reader.bytesRemaining(), 5u);
    EXPECT_EQ(reader.readUnsignedShort(), 0x1234);
    EXPECT_EQ(reader.readShort(), 0x5678);
    EXPECT_EQ(reader.readByte(), -1);
    EXPECT_EQ(reader.bytesRemaining(), 0u);

    EXPECT_EQ(BigEndianReader(bytes({ 0x80, 0, 0, 1 })).readInt(), -2147483647);
    EXPECT_EQ(BigEndianReader(bytes({ 0x80, 0, 0, 1 })).readUnsignedInt(), 2147483649u);
    EXPECT_EQ(BigEndianReader(bytes({ 0, 1, 0x86, 0xA0 })).readUnsignedInt(), 100000u);
    EXPECT_EQ(BigEndianReader(bytes({ 0xFF, 0xFE })).readShort(), -2);
    EXPECT_EQ(BigEndianReader(bytes({ 0xFF })).readUnsignedByte(), 255);
}

TEST(BigEndianReader, DataBlocksAreCopiesAndZeroLengthDoesNotMove)
{
    BigEndianReader reader(bytes({ 1, 2, 3, 4 }));
    EXPECT_TRUE(reader.readData(0).isEmpty());
    EXPECT_EQ(reader.bytesRemaining(), 4u);
    EXPECT_EQ(reader.readData(2), bytes({ 1, 2 }));
    EXPECT_EQ(reader.readMutableData(2), bytes({ 3, 4 }));
    EXPECT_TRUE(reader.readData(0).isEmpty());

    BigEndianReader skipping(bytes({ 1, 2, 3 }));
    skipping.moveBy(3);
    EXPECT_EQ(skipping.bytesRemaining(), 0u);
}

// A read that does not fit raises before it reads, so the bytes that are there stay readable.
TEST(BigEndianReader, ShortReadRaisesAndLeavesTheCursor)
{
    BigEndianReader reader(bytes({ 0x10, 0x20, 0x30 }));
    reader.readUnsignedShort();
    const std::function<void()> reads[] = {
        [&] { reader.readUnsignedShort(); },
        [&] { reader.readShort(); },
        [&] { reader.readInt(); },
        [&] { reader.readUnsignedInt(); },
        [&] { reader.readData(2); },
        [&] { reader.readMutableData(0xFFFFFFFFu); },
        [&] { reader.moveBy(2); },
        [&] { reader.moveBy(~quint64(0)); },
    };
    for (const auto& read : reads) {
        try {
            read();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.name(), "BigEndianReaderException");
            EXPECT_EQ(e.reason(), "Failure scanning data from the bytes.");
        }
        EXPECT_EQ(reader.bytesRemaining(), 1u);
    }
    EXPECT_EQ(reader.readUnsignedByte(), 0x30);
    EXPECT_THROW(reader.readByte(), Exception);
    EXPECT_THROW(BigEndianReader(QByteArray()).readUnsignedByte(), Exception);
}

} // namespace
} // namespace zandrel
