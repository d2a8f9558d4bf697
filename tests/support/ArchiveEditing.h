#pragma once

#include "platform/PropertyList.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <unordered_map>
#include <utility>

namespace zandrel::test {

// Adds a value to the list being written and returns its node.
using NodeMaker = std::function<PropertyList::Index(PropertyList&)>;

inline NodeMaker integer(qint64 value)
{
    return [value](PropertyList& list) { return list.addInt(value); };
}

inline NodeMaker real32(float value)
{
    return [value](PropertyList& list) { return list.addReal32(value); };
}

inline NodeMaker uidRef(quint64 value)
{
    return [value](PropertyList& list) { return list.addUid(value); };
}

// The UIDs of the archived objects, with the class name of each (empty for values without one).
inline QList<std::pair<quint64, QString>> archivedObjects(const QByteArray& data)
{
    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    QList<std::pair<quint64, QString>> found;
    for (std::size_t uid = 0; uid < objects.size(); ++uid) {
        QString name;
        const auto node = objects[uid];
        if (list.kind(node) == PropertyList::Kind::Dict) {
            const auto classRef = list.valueForKey(node, u"$class");
            if (classRef != PropertyList::kNoNode)
                name = list.string(list.valueForKey(objects[list.uid(classRef)], u"$classname"));
        }
        found.append({ quint64(uid), name });
    }
    return found;
}

// The UID of the archive's root object.
inline quint64 rootUid(const QByteArray& data)
{
    const PropertyList list = PropertyList::fromBinary(data);
    return list.uid(list.valueForKey(list.valueForKey(list.root(), u"$top"), u"root"));
}

// Copies an archive, leaving out some keys of the chosen objects and setting others, as an older or
// a newer program (or a damaged file) would have them.
inline QByteArray editObjects(const QByteArray& data, const std::function<bool(quint64 uid)>& chosen,
    const QStringList& drop, const QList<std::pair<QString, NodeMaker>>& set = {})
{
    using Index = PropertyList::Index;
    const PropertyList from = PropertyList::fromBinary(data);
    const auto objects = from.items(from.valueForKey(from.root(), u"$objects"));
    std::unordered_map<Index, quint64> edited;
    for (std::size_t uid = 0; uid < objects.size(); ++uid) {
        if (chosen(quint64(uid)))
            edited.emplace(objects[uid], quint64(uid));
    }
    PropertyList to;
    std::unordered_map<Index, Index> copied;
    std::function<Index(Index)> copy = [&](Index node) -> Index {
        if (auto it = copied.find(node); it != copied.end())
            return it->second;
        Index result = PropertyList::kNoNode;
        std::vector<Index> keys;
        std::vector<Index> values;
        const bool editing = edited.count(node) > 0;
        switch (from.kind(node)) {
        case PropertyList::Kind::Bool:
            result = to.addBool(from.boolValue(node));
            break;
        case PropertyList::Kind::Int:
            result = to.addInt(from.intValue(node));
            break;
        case PropertyList::Kind::Real32:
            result = to.addReal32(float(from.realValue(node)));
            break;
        case PropertyList::Kind::Real64:
            result = to.addReal64(from.realValue(node));
            break;
        case PropertyList::Kind::String:
            result = to.addString(from.string(node));
            break;
        case PropertyList::Kind::Data:
            result = to.addData(from.data(node));
            break;
        case PropertyList::Kind::Uid:
            result = to.addUid(from.uid(node));
            break;
        case PropertyList::Kind::Array:
            for (Index item : from.items(node))
                values.push_back(copy(item));
            result = to.addArray(values);
            break;
        case PropertyList::Kind::Dict:
            for (qsizetype i = 0; i < from.count(node); ++i) {
                const QString key = from.string(from.keys(node)[i]);
                if (editing && (drop.contains(key) || std::any_of(set.begin(), set.end(), [&](const auto& s) {
                        return s.first == key;
                    })))
                    continue;
                keys.push_back(copy(from.keys(node)[i]));
                values.push_back(copy(from.values(node)[i]));
            }
            if (editing) {
                for (const auto& [key, make] : set) {
                    keys.push_back(to.addString(key));
                    values.push_back(make(to));
                }
            }
            result = to.addDict(keys, values);
            break;
        default:
            ADD_FAILURE() << "unexpected node kind";
            result = to.addNull();
        }
        copied.emplace(node, result);
        return result;
    };
    to.setRoot(copy(from.root()));
    return to.toBinary();
}

inline QByteArray editRoot(
    const QByteArray& data, const QStringList& drop, const QList<std::pair<QString, NodeMaker>>& set = {})
{
    const quint64 root = rootUid(data);
    return editObjects(
        data, [root](quint64 uid) { return uid == root; }, drop, set);
}

// Edits every object of the class.
inline QByteArray editObjectsOfClass(const QByteArray& data, const QString& className,
    const QStringList& drop, const QList<std::pair<QString, NodeMaker>>& set = {})
{
    QList<quint64> uids;
    for (const auto& [uid, name] : archivedObjects(data)) {
        if (name == className)
            uids.append(uid);
    }
    return editObjects(
        data, [&uids](quint64 uid) { return uids.contains(uid); }, drop, set);
}

inline QStringList rootKeys(const QByteArray& data)
{
    const PropertyList list = PropertyList::fromBinary(data);
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const PropertyList::Index root = objects[rootUid(data)];
    QStringList keys;
    for (PropertyList::Index key : list.keys(root))
        keys.append(list.string(key));
    return keys;
}

} // namespace zandrel::test
