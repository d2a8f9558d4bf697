#pragma once

#include <QByteArray>
#include <QList>

namespace zandrel::test {

// Big-endian bytes of a value, for hand-made objects.
inline QByteArray bigEndian(quint64 value, int width)
{
    QByteArray bytes;
    for (int i = width - 1; i >= 0; --i)
        bytes.append(char((value >> (8 * i)) & 0xff));
    return bytes;
}

// A container object: marker with count, then references of the given width.
inline QByteArray containerObject(uchar type, const QList<quint64>& refs, int refSize = 1)
{
    QByteArray bytes;
    if (refs.size() < 15) {
        bytes.append(char(type | uchar(refs.size())));
    } else {
        bytes.append(char(type | 0x0f));
        bytes.append(char(0x12));
        bytes.append(bigEndian(refs.size(), 4));
    }
    for (quint64 ref : refs)
        bytes.append(bigEndian(ref, refSize));
    return bytes;
}

inline QByteArray asciiObject(const QByteArray& text)
{
    QByteArray bytes;
    if (text.size() < 15) {
        bytes.append(char(0x50 | text.size()));
    } else {
        bytes.append(char(0x5f));
        bytes.append(char(0x12));
        bytes.append(bigEndian(quint64(text.size()), 4));
    }
    return bytes + text;
}

// Assembles a binary property list from raw objects, so that tests can build files no writer of
// ours would make. offsetSize 0 picks the smallest width that holds the offset table position.
inline QByteArray assemblePlist(
    const QList<QByteArray>& objects, int refSize = 1, quint64 top = 0, int offsetSize = 0)
{
    QByteArray file("bplist00");
    QList<quint64> offsets;
    for (const QByteArray& object : objects) {
        offsets.append(quint64(file.size()));
        file.append(object);
    }
    const quint64 tableOffset = quint64(file.size());
    if (offsetSize == 0)
        offsetSize = tableOffset <= 0xff ? 1 : tableOffset <= 0xffff ? 2 : tableOffset <= 0xffffffffu ? 4 : 8;
    for (quint64 offset : offsets)
        file.append(bigEndian(offset, offsetSize));
    file.append(QByteArray(6, '\0'));
    file.append(char(offsetSize));
    file.append(char(refSize));
    file.append(bigEndian(quint64(objects.size()), 8));
    file.append(bigEndian(top, 8));
    file.append(bigEndian(tableOffset, 8));
    return file;
}

} // namespace zandrel::test
