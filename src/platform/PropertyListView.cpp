#include "platform/PropertyListView.h"

#include <cstring>

namespace zandrel {

namespace {

const QString kEmptyString;
const QByteArray kEmptyData;

} // namespace

// Every read below trusts what the checker saw: offsets, counts and payloads of reachable objects.

PropertyList::Node PropertyListView::read(Index index) const
{
    const uchar* object = objectAt(index);
    const uchar* p = object + 1;
    const uchar marker = object[0];
    PropertyList::Node node;
    node.kind = kindOfMarker(marker);
    switch (node.kind) {
    case Kind::Null:
        break;
    case Kind::Bool:
        node.i = marker == 0x09 ? 1 : 0;
        break;
    case Kind::Int: {
        const int width = 1 << (marker & 0x0f);
        if (width == 16) {
            // The checker let through only what fits in 64 bits.
            node.u = readBigEndian(p + 8, 8);
            node.isUnsigned = readBigEndian(p, 8) == 0 && node.i < 0;
        } else {
            node.i = qint64(readBigEndian(p, width));
        }
        break;
    }
    case Kind::Real32: {
        const quint32 bits = quint32(readBigEndian(p, 4));
        float f;
        std::memcpy(&f, &bits, 4);
        node.d = double(f);
        break;
    }
    case Kind::Real64:
    case Kind::Date:
        node.u = readBigEndian(p, 8);
        break;
    case Kind::Uid:
        node.u = readBigEndian(p, (marker & 0x0f) + 1);
        break;
    default: {
        const auto [payload, count] = countedPayload(object);
        node.count = quint32(count);
        node.u = quint64(payload - m_bytes);
        break;
    }
    }
    return node;
}

QString PropertyListView::decodeString(Index node) const
{
    const uchar* object = objectAt(node);
    const auto [p, units] = countedPayload(object);
    // ASCII strings from lenient writers may carry 8-bit bytes; read them as Latin-1.
    if ((object[0] >> 4) == 0x5)
        return QString::fromLatin1(reinterpret_cast<const char*>(p), qsizetype(units));
    QString text(qsizetype(units), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (quint64 i = 0; i < units; ++i)
        out[i] = char16_t((p[2 * i] << 8) | p[2 * i + 1]);
    // A lone surrogate cannot be carried to UTF-8 or back; it becomes U+FFFD, as our writer does.
    for (quint64 i = 0; i < units; ++i) {
        const char16_t c = out[i];
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < units && QChar::isLowSurrogate(out[i + 1]))
                ++i;
            else
                out[i] = 0xfffd;
        } else if (QChar::isLowSurrogate(c)) {
            out[i] = 0xfffd;
        }
    }
    return text;
}

QByteArray PropertyListView::decodeData(Index node) const
{
    const auto [p, bytes] = countedPayload(objectAt(node));
    return QByteArray(reinterpret_cast<const char*>(p), qsizetype(bytes));
}

const QString& PropertyListView::string(Index node) const
{
    if (kind(node) != Kind::String)
        return kEmptyString;
    auto [it, inserted] = m_strings.try_emplace(node);
    if (inserted)
        it->second = decodeString(node);
    return it->second;
}

const QByteArray& PropertyListView::data(Index node) const
{
    if (kind(node) != Kind::Data)
        return kEmptyData;
    auto [it, inserted] = m_datas.try_emplace(node);
    if (inserted)
        it->second = decodeData(node);
    return it->second;
}

bool PropertyListView::stringEquals(Index node, QStringView text) const
{
    const uchar* object = objectAt(node);
    const uchar type = object[0] >> 4;
    if (type != 0x5 && type != 0x6)
        return false;
    const auto [p, units] = countedPayload(object);
    if (units != quint64(text.size()))
        return false;
    const QChar* t = text.data();
    if (type == 0x5) {
        for (quint64 i = 0; i < units; ++i) {
            if (t[i].unicode() != p[i])
                return false;
        }
        return true;
    }
    // Wide strings are rare as keys; compare what reading would make of them.
    return string(node) == text;
}

qsizetype PropertyListView::count(Index node) const
{
    const uchar* object = objectAt(node);
    return PropertyList::isContainerKind(kindOfMarker(object[0])) ? qsizetype(countedPayload(object).second)
                                                                  : 0;
}

PropertyList::Index PropertyListView::valueForKey(Index dict, QStringView key) const
{
    const Refs dictKeys = keys(dict);
    for (size_t i = 0; i < dictKeys.size(); ++i) {
        if (stringEquals(dictKeys[i], key))
            return values(dict)[i];
    }
    return PropertyList::kNoNode;
}

} // namespace zandrel
