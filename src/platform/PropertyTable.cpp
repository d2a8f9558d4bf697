#include "platform/PropertyTable.h"

namespace zandrel {

PropertyTable::PropertyTable(const PropertyTable* superTable, std::vector<Property> properties)
    : m_super(superTable)
{
    for (Property& p : properties) {
        if (!m_own.contains(p.name))
            m_order.append(p.name);
        const QString name = p.name;
        m_own.insert(name, std::move(p));
    }
}

const Property* PropertyTable::find(const QString& name) const
{
    for (const PropertyTable* table = this; table; table = table->m_super) {
        auto it = table->m_own.constFind(name);
        if (it != table->m_own.cend())
            return &it.value();
    }
    return nullptr;
}

QStringList PropertyTable::keys() const
{
    QStringList result = m_super ? m_super->keys() : QStringList();
    for (const QString& name : m_order) {
        if (!result.contains(name))
            result.append(name);
    }
    return result;
}

namespace detail {

void raiseWrongType(const QString& key, const Value& value, const char* expected)
{
    Exception::raise(kInvalidArgumentException,
        QStringLiteral("The property \"%1\" needs a %2, not a %3")
            .arg(key, QString::fromLatin1(expected), Value::typeName(value.type())));
}

} // namespace detail

} // namespace zandrel
