#include "platform/PropertyList.h"

#include "platform/Exception.h"

#include <algorithm>
#include <limits>

namespace zandrel {

namespace {

const QString kEmptyString;
const QByteArray kEmptyData;

} // namespace

PropertyList::Index PropertyList::push(Node node)
{
    if (m_nodes.size() >= kNoNode)
        Exception::raise(kInvalidArchiveException, QStringLiteral("Too many property list objects."));
    m_nodes.push_back(node);
    return Index(m_nodes.size() - 1);
}

void PropertyList::reserve(qsizetype nodes, qsizetype refs)
{
    m_nodes.reserve(size_t(nodes));
    m_refs.reserve(size_t(refs));
}

PropertyList::Index PropertyList::addNull()
{
    return push(Node());
}

PropertyList::Index PropertyList::addBool(bool value)
{
    Node node;
    node.kind = Kind::Bool;
    node.i = value ? 1 : 0;
    return push(node);
}

PropertyList::Index PropertyList::addInt(qint64 value)
{
    Node node;
    node.kind = Kind::Int;
    node.i = value;
    return push(node);
}

PropertyList::Index PropertyList::addUnsignedInt(quint64 value)
{
    if (value <= quint64(std::numeric_limits<qint64>::max()))
        return addInt(qint64(value));
    Node node;
    node.kind = Kind::Int;
    node.isUnsigned = true;
    node.u = value;
    return push(node);
}

PropertyList::Index PropertyList::addReal32(float value)
{
    Node node;
    node.kind = Kind::Real32;
    node.d = double(value);
    return push(node);
}

PropertyList::Index PropertyList::addReal64(double value)
{
    Node node;
    node.kind = Kind::Real64;
    node.d = value;
    return push(node);
}

PropertyList::Index PropertyList::addDate(double secondsSince2001)
{
    Node node;
    node.kind = Kind::Date;
    node.d = secondsSince2001;
    return push(node);
}

PropertyList::Index PropertyList::addData(const QByteArray& bytes)
{
    Node node;
    node.kind = Kind::Data;
    node.u = m_datas.size();
    m_datas.push_back(bytes);
    return push(node);
}

PropertyList::Index PropertyList::addString(const QString& text)
{
    Node node;
    node.kind = Kind::String;
    node.u = m_strings.size();
    m_strings.push_back(text);
    return push(node);
}

PropertyList::Index PropertyList::addUid(quint64 value)
{
    Node node;
    node.kind = Kind::Uid;
    node.u = value;
    return push(node);
}

PropertyList::Index PropertyList::addContainer(
    Kind kind, std::span<const Index> first, std::span<const Index> second)
{
    const size_t existing = m_nodes.size();
    for (Index child : first) {
        if (child >= existing)
            Exception::raise(kInvalidArchiveException, QStringLiteral("Container refers to a later node."));
    }
    for (Index child : second) {
        if (child >= existing)
            Exception::raise(kInvalidArchiveException, QStringLiteral("Container refers to a later node."));
    }
    Node node;
    node.kind = kind;
    node.count = quint32(first.size());
    node.u = m_refs.size();
    if (kind != Kind::Dict)
        m_collectionEntries += first.size();
    m_refs.insert(m_refs.end(), first.begin(), first.end());
    m_refs.insert(m_refs.end(), second.begin(), second.end());
    return push(node);
}

PropertyList::Index PropertyList::addArray(std::span<const Index> items)
{
    return addContainer(Kind::Array, items, {});
}

PropertyList::Index PropertyList::addSet(std::span<const Index> items)
{
    return addContainer(Kind::Set, items, {});
}

PropertyList::Index PropertyList::addDict(std::span<const Index> keys, std::span<const Index> values)
{
    if (keys.size() != values.size())
        Exception::raise(
            kInvalidArchiveException, QStringLiteral("Dictionary keys and values differ in count."));
    for (Index key : keys) {
        if (key < m_nodes.size() && m_nodes[key].kind != Kind::String)
            Exception::raise(kInvalidArchiveException, QStringLiteral("Dictionary key is not a string."));
    }
    return addContainer(Kind::Dict, keys, values);
}

void PropertyList::setRoot(Index node)
{
    if (node >= m_nodes.size())
        Exception::raise(kInvalidArchiveException, QStringLiteral("Root is not a node."));
    m_root = node;
}

bool PropertyList::isNumberKind(Kind k)
{
    return k == Kind::Int || k == Kind::Real32 || k == Kind::Real64 || k == Kind::Bool;
}

bool PropertyList::isContainerKind(Kind k)
{
    return k == Kind::Array || k == Kind::Set || k == Kind::Dict;
}

bool PropertyList::Node::boolValue() const
{
    switch (kind) {
    case Kind::Bool:
    case Kind::Int:
        return i != 0;
    case Kind::Real32:
    case Kind::Real64:
        return d != 0.0;
    default:
        return false;
    }
}

qint64 PropertyList::Node::intValue() const
{
    switch (kind) {
    case Kind::Bool:
    case Kind::Int:
        return isUnsigned ? std::numeric_limits<qint64>::max() : i;
    case Kind::Real32:
    case Kind::Real64:
        // Saturate instead of the undefined conversion of NaN and out-of-range values.
        if (d != d)
            return 0;
        if (d >= 9223372036854775807.0)
            return std::numeric_limits<qint64>::max();
        if (d <= -9223372036854775808.0)
            return std::numeric_limits<qint64>::min();
        return qint64(d);
    default:
        return 0;
    }
}

quint64 PropertyList::Node::unsignedIntValue() const
{
    if (isUnsigned)
        return u;
    return quint64(std::max<qint64>(intValue(), 0));
}

double PropertyList::Node::realValue() const
{
    switch (kind) {
    case Kind::Bool:
    case Kind::Int:
        return isUnsigned ? double(u) : double(i);
    case Kind::Real32:
    case Kind::Real64:
    case Kind::Date:
        return d;
    default:
        return 0.0;
    }
}

bool PropertyList::boolValue(Index node) const
{
    return m_nodes[node].boolValue();
}

qint64 PropertyList::intValue(Index node) const
{
    return m_nodes[node].intValue();
}

bool PropertyList::isUnsignedInt(Index node) const
{
    return m_nodes[node].isUnsigned;
}

quint64 PropertyList::unsignedIntValue(Index node) const
{
    return m_nodes[node].unsignedIntValue();
}

double PropertyList::realValue(Index node) const
{
    return m_nodes[node].realValue();
}

const QString& PropertyList::string(Index node) const
{
    return kind(node) == Kind::String ? m_strings[m_nodes[node].u] : kEmptyString;
}

const QByteArray& PropertyList::data(Index node) const
{
    return kind(node) == Kind::Data ? m_datas[m_nodes[node].u] : kEmptyData;
}

quint64 PropertyList::uid(Index node) const
{
    return kind(node) == Kind::Uid ? m_nodes[node].u : 0;
}

qsizetype PropertyList::count(Index node) const
{
    return isContainer(node) ? qsizetype(m_nodes[node].count) : 0;
}

std::span<const PropertyList::Index> PropertyList::items(Index node) const
{
    const Kind k = kind(node);
    if (k != Kind::Array && k != Kind::Set)
        return {};
    return std::span<const Index>(m_refs.data() + m_nodes[node].u, m_nodes[node].count);
}

std::span<const PropertyList::Index> PropertyList::keys(Index node) const
{
    if (kind(node) != Kind::Dict)
        return {};
    return std::span<const Index>(m_refs.data() + m_nodes[node].u, m_nodes[node].count);
}

std::span<const PropertyList::Index> PropertyList::values(Index node) const
{
    if (kind(node) != Kind::Dict)
        return {};
    return std::span<const Index>(m_refs.data() + m_nodes[node].u + m_nodes[node].count, m_nodes[node].count);
}

PropertyList::Index PropertyList::valueForKey(Index dict, QStringView key) const
{
    const auto dictKeys = keys(dict);
    for (size_t i = 0; i < dictKeys.size(); ++i) {
        if (string(dictKeys[i]) == key)
            return values(dict)[i];
    }
    return kNoNode;
}

} // namespace zandrel
