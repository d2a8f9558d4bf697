#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

namespace zandrel::test {

// Writes zip archives entry by entry (stored, or deflated on request), with whatever names, Unix
// modes and stated sizes a test needs, hostile ones included, so that archives can be made without
// a tool.
class ZipBuilder {
public:
    static constexpr quint32 kFileMode = 0100644;
    static constexpr quint32 kDirectoryMode = 0040755;
    static constexpr quint32 kSymlinkMode = 0120777;

    ZipBuilder& add(const QString& name, const QByteArray& data, quint32 mode = kFileMode)
    {
        m_entries.append({ name, data, mode, quint32(data.size()), false });
        return *this;
    }
    // The entry just added says it was made on this system (3 Unix, 0 MS-DOS, 16 BeOS, 30 AtheOS);
    // its mode goes into the attributes all the same.
    ZipBuilder& madeBy(quint8 host)
    {
        m_entries.last().host = host;
        return *this;
    }
    // The next entry is deflated; a stated size then goes into both headers, as a hostile archive
    // whose data inflates to far more than it says would have it.
    ZipBuilder& deflated()
    {
        m_entries.last().deflated = true;
        return *this;
    }
    // The next entry claims to unpack to this many bytes.
    ZipBuilder& stateSize(quint32 size)
    {
        m_entries.last().statedSize = size;
        return *this;
    }

    QByteArray build() const
    {
        QByteArray out;
        QByteArray directory;
        for (const Entry& entry : m_entries) {
            const QByteArray name = entry.name.toUtf8();
            const quint32 crc = crc32(entry.data);
            const quint32 offset = quint32(out.size());
            // qCompress gives a length, a zlib header, the raw deflate stream and a checksum.
            const QByteArray payload
                = entry.deflated ? qCompress(entry.data, 9).mid(6).chopped(4) : entry.data;
            const quint16 method = entry.deflated ? 8 : 0;
            const quint16 needed = entry.deflated ? 20 : 10;
            put32(out, 0x04034b50);
            put16(out, needed);
            put16(out, 0x0800);
            put16(out, method);
            put16(out, 0);
            put16(out, 0x21);
            put32(out, crc);
            put32(out, quint32(payload.size()));
            put32(out, entry.deflated ? entry.statedSize : quint32(entry.data.size()));
            put16(out, quint16(name.size()));
            put16(out, 0);
            out += name;
            out += payload;

            put32(directory, 0x02014b50);
            put16(directory, quint16((entry.host << 8) | 20));
            put16(directory, needed);
            put16(directory, 0x0800);
            put16(directory, method);
            put16(directory, 0);
            put16(directory, 0x21);
            put32(directory, crc);
            put32(directory, quint32(payload.size()));
            put32(directory, entry.statedSize);
            put16(directory, quint16(name.size()));
            put16(directory, 0);
            put16(directory, 0);
            put16(directory, 0);
            put16(directory, 0);
            put32(directory, entry.mode << 16);
            put32(directory, offset);
            directory += name;
        }
        const quint32 directoryOffset = quint32(out.size());
        out += directory;
        put32(out, 0x06054b50);
        put16(out, 0);
        put16(out, 0);
        put16(out, quint16(m_entries.size()));
        put16(out, quint16(m_entries.size()));
        put32(out, quint32(directory.size()));
        put32(out, directoryOffset);
        put16(out, 0);
        return out;
    }

private:
    struct Entry {
        QString name;
        QByteArray data;
        quint32 mode;
        quint32 statedSize;
        bool deflated;
        quint8 host = 3;
    };

    static void put16(QByteArray& out, quint16 value)
    {
        char bytes[2];
        qToLittleEndian(value, bytes);
        out.append(bytes, 2);
    }
    static void put32(QByteArray& out, quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        out.append(bytes, 4);
    }
    static quint32 crc32(const QByteArray& data)
    {
        quint32 crc = 0xffffffffu;
        for (const char c : data) {
            crc ^= quint8(c);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    }

    QList<Entry> m_entries;
};

} // namespace zandrel::test
