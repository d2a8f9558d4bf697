#include "graphics/BigEndianReader.h"

#include "platform/Exception.h"

#include <QtEndian>

namespace zandrel {

BigEndianReader::BigEndianReader(QByteArray data)
    : m_data(std::move(data))
{
}

void BigEndianReader::moveBy(quint64 n)
{
    if (n > bytesRemaining())
        Exception::raise(kBigEndianReaderException, QStringLiteral("Failure scanning data from the bytes."));
    m_current += n;
}

const uchar* BigEndianReader::take(quint64 n)
{
    const quint64 start = m_current;
    moveBy(n);
    return reinterpret_cast<const uchar*>(m_data.constData()) + start;
}

qint8 BigEndianReader::readByte()
{
    return qint8(*take(1));
}

quint8 BigEndianReader::readUnsignedByte()
{
    return *take(1);
}

qint16 BigEndianReader::readShort()
{
    return qFromBigEndian<qint16>(take(2));
}

quint16 BigEndianReader::readUnsignedShort()
{
    return qFromBigEndian<quint16>(take(2));
}

qint32 BigEndianReader::readInt()
{
    return qFromBigEndian<qint32>(take(4));
}

quint32 BigEndianReader::readUnsignedInt()
{
    return qFromBigEndian<quint32>(take(4));
}

QByteArray BigEndianReader::readData(quint32 n)
{
    const uchar* start = take(n);
    return QByteArray(reinterpret_cast<const char*>(start), qsizetype(n));
}

QByteArray BigEndianReader::readMutableData(quint32 n)
{
    return readData(n);
}

} // namespace zandrel
