#pragma once

#include "platform/PropertyList.h"

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace zandrel::test {

// Assembles keyed archives object by object, so that tests can write what no archiver would.
class ArchiveBuilder {
public:
    using Index = PropertyList::Index;

    ArchiveBuilder() { m_objects.push_back(text(QStringLiteral("$null"))); }

    Index text(const QString& value) { return m_list.addString(value); }
    Index uid(quint64 value) { return m_list.addUid(value); }
    Index integer(qint64 value) { return m_list.addInt(value); }
    Index real(double value) { return m_list.addReal64(value); }
    Index real32(float value) { return m_list.addReal32(value); }
    Index data(const QByteArray& value) { return m_list.addData(value); }
    Index array(const std::vector<Index>& items) { return m_list.addArray(items); }
    Index uids(const std::vector<quint64>& values)
    {
        std::vector<Index> items;
        for (quint64 value : values)
            items.push_back(uid(value));
        return array(items);
    }

    // Adds an object and returns its UID.
    quint64 add(Index node)
    {
        m_objects.push_back(node);
        return m_objects.size() - 1;
    }
    // Reserves a UID, to fill once the object can refer to later ones.
    quint64 reserve() { return add(PropertyList::kNoNode); }
    void set(quint64 at, Index node) { m_objects[at] = node; }

    quint64 classRecord(const QString& name, const QString& superclass = QStringLiteral("NSObject"))
    {
        const Index keys[] = { text(QStringLiteral("$classname")), text(QStringLiteral("$classes")) };
        const Index values[] = { text(name), array({ text(name), text(superclass) }) };
        return add(m_list.addDict(keys, values));
    }
    Index record(quint64 classUid, const std::vector<std::pair<QString, Index>>& entries)
    {
        std::vector<Index> keys;
        std::vector<Index> values;
        for (const auto& [key, value] : entries) {
            keys.push_back(text(key));
            values.push_back(value);
        }
        if (classUid != 0) {
            keys.push_back(text(QStringLiteral("$class")));
            values.push_back(uid(classUid));
        }
        return m_list.addDict(keys, values);
    }

    QByteArray finish(
        quint64 root, const QString& archiver = QStringLiteral("NSKeyedArchiver"), qint64 version = 100000)
    {
        const Index topKeys[] = { text(QStringLiteral("root")) };
        const Index topValues[] = { uid(root) };
        const Index top = m_list.addDict(topKeys, topValues);
        const Index keys[] = { text(QStringLiteral("$version")), text(QStringLiteral("$objects")),
            text(QStringLiteral("$archiver")), text(QStringLiteral("$top")) };
        const Index values[] = { integer(version), array(m_objects), text(archiver), top };
        m_list.setRoot(m_list.addDict(keys, values));
        return m_list.toBinary();
    }

private:
    PropertyList m_list;
    std::vector<Index> m_objects;
};

} // namespace zandrel::test
