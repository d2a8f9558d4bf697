#pragma once

#include <QByteArray>
#include <QString>

namespace zandrel {

// Name of the exception raised when a read runs past the end of the bytes.
inline const QString kBigEndianReaderException = QStringLiteral("BigEndianReaderException");

// A forward-only cursor over a block of bytes that reads big-endian integers and byte blocks.
// Every read first checks that it fits; one that does not raises kBigEndianReaderException and
// leaves the cursor where it was, so a short or damaged file can never be read out of bounds.
class BigEndianReader {
public:
    // The cursor starts at the first byte. The reader holds its own reference to the bytes.
    explicit BigEndianReader(QByteArray data);

    quint64 bytesRemaining() const { return quint64(m_data.size()) - m_current; }

    // Skips n bytes; raises and changes nothing when fewer remain.
    void moveBy(quint64 n);

    qint8 readByte();
    quint8 readUnsignedByte();
    qint16 readShort();
    quint16 readUnsignedShort();
    qint32 readInt();
    quint32 readUnsignedInt();
    // Copies of the next n bytes. Both are plain byte arrays here; the two names stay so that
    // callers read like the format they decode.
    QByteArray readData(quint32 n);
    QByteArray readMutableData(quint32 n);

private:
    // Steps over n bytes and answers where they start.
    const uchar* take(quint64 n);

    QByteArray m_data;
    quint64 m_current = 0;
};

} // namespace zandrel
