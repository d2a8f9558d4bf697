#pragma once

#include "platform/ArchiveBuilder.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cmath>
#include <vector>

// Files that refer to one part of themselves many times, written object by object: a reader that
// copied, renamed or decoded per reference would grow far beyond the file. The tests make the
// large ones at test time; small ones seed the fuzz corpora.
namespace zandrel::test {

// Writes the records of such files: the root is reserved first, as archivers write it, and each
// class record is written once.
class HostileArchive {
public:
    using Index = PropertyList::Index;

    ArchiveBuilder& builder() { return m_builder; }

    // An array object holding the UIDs.
    quint64 list(const std::vector<quint64>& uids)
    {
        return m_builder.add(
            record(QStringLiteral("NSArray"), { { QStringLiteral("NS.objects"), m_builder.uids(uids) } }));
    }
    // An array object whose members are one UID, count times.
    quint64 repeatedList(quint64 uid, qsizetype count)
    {
        const Index member = m_builder.uid(uid);
        return m_builder.add(record(QStringLiteral("NSArray"),
            { { QStringLiteral("NS.objects"),
                m_builder.array(std::vector<Index>(size_t(count), member)) } }));
    }
    quint64 point(float x, float y)
    {
        return m_builder.add(record(QStringLiteral("CurvePoint"),
            { { QStringLiteral("x"), m_builder.real32(x) }, { QStringLiteral("y"), m_builder.real32(y) } }));
    }
    quint64 curve(quint64 pointList)
    {
        return m_builder.add(
            record(QStringLiteral("Curve"), { { QStringLiteral("points"), m_builder.uid(pointList) } }));
    }
    // A curve of count points round a circle.
    quint64 roundCurve(int count)
    {
        std::vector<quint64> points;
        for (int i = 0; i < count; ++i)
            points.push_back(point(float(100 + 50 * std::cos(i * 6.283 / count)),
                float(100 + 50 * std::sin(i * 6.283 / count))));
        return curve(list(points));
    }
    quint64 path(quint64 curveList)
    {
        return m_builder.add(
            record(QStringLiteral("PartPath"), { { QStringLiteral("segments"), m_builder.uid(curveList) } }));
    }
    quint64 part(const std::vector<quint64>& elements)
    {
        return m_builder.add(record(
            QStringLiteral("Part"), { { QStringLiteral("elements"), m_builder.uid(list(elements)) } }));
    }
    // A palette colour record bearing the name; add it under as many UIDs as wanted.
    Index colorRecord(quint64 name)
    {
        return record(QStringLiteral("ZDLColor"),
            { { QStringLiteral("name"), m_builder.uid(name) },
                { QStringLiteral("r"), m_builder.real32(0.5f) } });
    }
    // An image record whose bytes are the data object's.
    quint64 image(quint64 data)
    {
        return m_builder.add(
            record(QStringLiteral("ZDLImage"), { { QStringLiteral("imageData"), m_builder.uid(data) } }));
    }
    // An image element showing the image record.
    quint64 imageElementOf(quint64 image)
    {
        return m_builder.add(
            record(QStringLiteral("ImageElement"), { { QStringLiteral("image"), m_builder.uid(image) } }));
    }
    // An image element of its own image record, whose bytes are the data object's.
    quint64 imageElement(quint64 data) { return imageElementOf(image(data)); }

protected:
    // A record of the class. The entries are made before the class record, whatever the compiler's
    // order of arguments, so that every build writes the same bytes.
    Index record(const QString& className, const std::vector<std::pair<QString, Index>>& entries)
    {
        return m_builder.record(classOf(className), entries);
    }
    quint64 classOf(const QString& name)
    {
        for (const auto& [known, uid] : m_classes) {
            if (known == name)
                return uid;
        }
        const quint64 uid = m_builder.classRecord(name);
        m_classes.emplace_back(name, uid);
        return uid;
    }

    ArchiveBuilder m_builder;
    // The root comes first, as archivers write it.
    const quint64 m_root = m_builder.reserve();

private:
    std::vector<std::pair<QString, quint64>> m_classes;
};

class HostilePartsFile : public HostileArchive {
public:
    // The character with the given palette colours (UIDs) and parts (UIDs).
    QByteArray finish(const std::vector<quint64>& colors, const std::vector<quint64>& parts)
    {
        m_builder.set(m_root,
            record(QStringLiteral("CharacterModel"),
                { { QStringLiteral("colors"), m_builder.uid(list(colors)) },
                    { QStringLiteral("parts"), m_builder.uid(list(parts)) } }));
        return m_builder.finish(m_root);
    }
};

// Palette colours sharing one name: every record names one string, and the records themselves
// are one dictionary listed under many UIDs, each of which decodes to a colour of its own.
inline QByteArray sharedNamePartsFile(int colors, int nameLength)
{
    HostilePartsFile file;
    ArchiveBuilder& b = file.builder();
    const quint64 name = b.add(b.text(QString(nameLength, QLatin1Char('n'))));
    const PropertyList::Index record = file.colorRecord(name);
    std::vector<quint64> uids;
    for (int i = 0; i < colors; ++i)
        uids.push_back(b.add(record));
    return file.finish(uids, {});
}

// One curve naming one point references times.
inline QByteArray sharedPointPartsFile(qsizetype references)
{
    HostilePartsFile file;
    const quint64 point = file.point(1, 2);
    const quint64 curve = file.curve(file.repeatedList(point, references));
    return file.finish({}, { file.part({ file.path(file.list({ curve })) }) });
}

// One path naming one curve of points points references times.
inline QByteArray sharedCurvePartsFile(qsizetype references, int points)
{
    HostilePartsFile file;
    const quint64 curve = file.roundCurve(points);
    return file.finish({}, { file.part({ file.path(file.repeatedList(curve, references)) }) });
}

// Image records, each an element with an image of its own, all holding the same bytes.
inline QByteArray sharedImagePartsFile(int records, const QByteArray& imageBytes)
{
    HostilePartsFile file;
    const quint64 data = file.builder().add(file.builder().data(imageBytes));
    std::vector<quint64> elements;
    for (int i = 0; i < records; ++i)
        elements.push_back(file.imageElement(data));
    return file.finish({}, elements);
}

// A PNG of one colour: a few bytes per thousand pixels.
inline QByteArray flatPng(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgba(200, 40, 40, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0); // zlib's best compression
    writer.write(image);
    return bytes;
}

// An XML character whose colours all bear one long name.
inline QByteArray sharedNameCharacterXml(int colors, int nameLength)
{
    const QByteArray name(nameLength, 'n');
    QByteArray xml = "<CharacterDocument name=\"Shared\">";
    for (int i = 0; i < colors; ++i)
        xml += "<Color name=\"" + name + "\" color=\"#A0B0C0\"/>";
    xml += "<Part><Curve curveData=\"p 0 0 c 10 10\" lineColor=\"" + name + " 7\"/></Part>";
    return xml + "</CharacterDocument>";
}

// An XML character of one part whose curves, in rows of 60, have the line weight (points) given and
// take the blurs (hundredths of a point) in turn, as the format writes them.
inline QByteArray heavyCharacterXml(int curves, const QByteArray& lineWeight, const QList<QByteArray>& blurs)
{
    QByteArray xml = "<CharacterDocument name=\"Heavy\"><Part>";
    for (int i = 0; i < curves; ++i) {
        const int x = i % 60 * 20;
        const int y = i / 60 * 20;
        const QByteArray curve
            = QStringLiteral("p %1 %2 c %3 %2 p %3 %4").arg(x).arg(y).arg(x + 10).arg(y + 10).toLatin1();
        xml += "<Curve closed=\"true\" curveData=\"" + curve + "\" lineColor=\"#000000\" lineWeight=\""
            + lineWeight + "\" blur=\"" + blurs.at(i % blurs.size()) + "\"/>";
    }
    return xml + "</Part></CharacterDocument>";
}

} // namespace zandrel::test
