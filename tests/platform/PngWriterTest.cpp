// PNG files of bitmaps of every kind decode, by Qt's reader and by a decoder of the format written
// here on Python's zlib, to the pixels of the bitmap, in the fewest channels that hold them; the
// bytes are the same whatever the number of threads, and the resolution is recorded when asked.
#include "platform/PngWriter.h"

#include "support/TestSupport.h"

#include <QBuffer>
#include <QDataStream>
#include <QImageReader>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

// Checks every chunk's CRC and the zlib stream's checksum, undoes the five row filters and
// compares the rows with the expected ones. Data: the file's length (4 bytes, big-endian), the
// file, then the expected rows.
const char* const kDecoder = R"(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
size = struct.unpack('>I', data[:4])[0]
png, expected = data[4:4 + size], data[4 + size:]
assert png[:8] == b'\x89PNG\r\n\x1a\n', 'signature'
at, idat, chunks = 8, b'', []
while at < len(png):
    length, kind = struct.unpack('>I4s', png[at:at + 8])
    body = png[at + 8:at + 8 + length]
    assert zlib.crc32(kind + body) == struct.unpack('>I', png[at + 8 + length:at + 12 + length])[0], 'crc'
    chunks.append(kind)
    if kind == b'IHDR':
        width, height, depth, colour = struct.unpack('>IIBB', body[:10])
    if kind == b'IDAT':
        idat += body
    at += 12 + length
assert chunks[0] == b'IHDR' and chunks[-1] == b'IEND', chunks
channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
raw = zlib.decompress(idat)
stride = width * channels
assert len(raw) == height * (stride + 1), 'length'
rows, above = [], bytearray(stride)
for y in range(height):
    kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - channels] if i >= channels else 0
        b = above[i]
        c = above[i - channels] if i >= channels else 0
        if kind == 1: line[i] = (line[i] + a) & 255
        elif kind == 2: line[i] = (line[i] + b) & 255
        elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        else: assert kind == 0, 'filter %d' % kind
    rows.append(bytes(line))
    above = line
assert b''.join(rows) == expected, 'pixels'
print('colour', colour, 'chunks', len(chunks))
)";

// The image's pixels as the file should hold them, in its channels.
QByteArray expectedRows(const QImage& image, int channels)
{
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    QByteArray rows;
    for (int y = 0; y < straight.height(); ++y) {
        for (int x = 0; x < straight.width(); ++x) {
            const QRgb pixel = straight.pixel(x, y);
            if (channels <= 2) {
                rows.append(char(qRed(pixel)));
            } else {
                rows.append(char(qRed(pixel)));
                rows.append(char(qGreen(pixel)));
                rows.append(char(qBlue(pixel)));
            }
            if (channels == 2 || channels == 4)
                rows.append(char(qAlpha(pixel)));
        }
    }
    return rows;
}

// Shapes of every colour and translucency, antialiased, over a fill that may be opaque, grey or not.
QImage drawing(QSize size, QImage::Format format, QColor background, bool grey)
{
    QImage image(size, format);
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> level(0, 255);
    for (int i = 0; i < 40; ++i) {
        const int shade = level(random);
        const QColor colour = grey ? QColor(shade, shade, shade, level(random))
                                   : QColor(shade, level(random), level(random), level(random));
        painter.setBrush(colour);
        painter.setPen(QPen(Qt::black, 1.5));
        painter.drawEllipse(
            QPointF(level(random) * size.width() / 255.0, level(random) * size.height() / 255.0),
            3.0 + level(random) % 30, 2.0 + level(random) % 20);
    }
    return image;
}

QImage transparentPixel()
{
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

TEST(PngWriter, FilesHoldThePixelsInTheFewestChannels)
{
    const QColor clear(0, 0, 0, 0);
    const struct {
        QImage image;
        int colourType;
    } cases[] = {
        { drawing(QSize(97, 61), QImage::Format_ARGB32_Premultiplied, Qt::white, true), 0 },
        { drawing(QSize(97, 61), QImage::Format_ARGB32_Premultiplied, clear, true), 4 },
        { drawing(QSize(97, 61), QImage::Format_ARGB32_Premultiplied, Qt::white, false), 2 },
        { drawing(QSize(97, 61), QImage::Format_ARGB32_Premultiplied, clear, false), 6 },
        { drawing(QSize(64, 50), QImage::Format_ARGB32, QColor(10, 200, 30, 128), false), 6 },
        { drawing(QSize(64, 50), QImage::Format_RGB32, Qt::yellow, false), 2 },
        { drawing(QSize(33, 20), QImage::Format_Grayscale8, Qt::gray, true), 0 },
        { drawing(QSize(40, 30), QImage::Format_RGB32, Qt::white, false)
                .convertToFormat(QImage::Format_Indexed8),
            2 },
        { transparentPixel(), 4 },
        // Taller than a segment: several segments, each primed with the window before it.
        { drawing(QSize(300, 2000), QImage::Format_ARGB32_Premultiplied, clear, false), 6 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image.format());
        const QByteArray file = PngWriter::encode(c.image, { std::nullopt, 4 });
        ASSERT_GT(file.size(), 40);
        EXPECT_EQ(int(file.at(25)), c.colourType);
        const QImage read = QImage::fromData(file, "png").convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(read, c.image.convertToFormat(QImage::Format_ARGB32));

        const int channels = c.colourType == 0 ? 1 : c.colourType == 4 ? 2 : c.colourType == 2 ? 3 : 4;
        QByteArray data;
        QDataStream(&data, QIODevice::WriteOnly) << quint32(file.size());
        data += file + expectedRows(c.image, channels);
        QString output;
        EXPECT_EQ(test::runPython(QString::fromLatin1(kDecoder), data, &output), 0) << output.toStdString();
    }
    EXPECT_TRUE(PngWriter::encode(QImage()).isEmpty());
}

TEST(PngWriter, TheBytesDoNotDependOnTheThreadsAndTheResolutionIsRecordedWhenAsked)
{
    const QImage image = drawing(QSize(700, 1500), QImage::Format_ARGB32_Premultiplied, Qt::white, false);
    const QByteArray alone = PngWriter::encode(image, { std::nullopt, 1 });
    EXPECT_EQ(PngWriter::encode(image, { std::nullopt, 3 }), alone);
    EXPECT_EQ(PngWriter::encode(image, { std::nullopt, 8 }), alone);
    EXPECT_FALSE(alone.contains("pHYs"));

    const QByteArray recorded = PngWriter::encode(image, { QSize(11811, 5906), 2 });
    QBuffer buffer;
    buffer.setData(recorded);
    QImageReader reader(&buffer, "png");
    const QImage read = reader.read();
    EXPECT_EQ(read.dotsPerMeterX(), 11811);
    EXPECT_EQ(read.dotsPerMeterY(), 5906);
    EXPECT_EQ(read.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
}

} // namespace
} // namespace zandrel
