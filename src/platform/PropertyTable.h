#pragma once

#include "platform/AttributedText.h"
#include "platform/Exception.h"
#include "platform/Value.h"

#include <QHash>
#include <QStringList>
#include <functional>
#include <vector>

namespace zandrel {

// One property a class offers by name: a getter and, unless read-only, a setter over Value.
struct Property {
    QString name;
    std::function<Value(const Object&)> getter;
    std::function<void(Object&, const Value&)> setter;
    // A scalar (number or geometry) cannot hold nil: setting null calls setNilValueForKey instead.
    bool scalar = false;
};

// The properties a class declares, chained to its superclass's table so that lookups see inherited
// properties and a subclass may override one by declaring the same name again.
class PropertyTable {
public:
    PropertyTable(const PropertyTable* superTable, std::vector<Property> properties);

    const Property* find(const QString& name) const;
    // Every name, superclass properties first, each once.
    QStringList keys() const;

private:
    const PropertyTable* m_super;
    QHash<QString, Property> m_own;
    QStringList m_order;
};

namespace detail {

template <class T> struct IsSharedPtr : std::false_type {
};
template <class T> struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {
    using Element = T;
};

template <class T> struct IsObjectVector : std::false_type {
};
template <class T> struct IsObjectVector<std::vector<std::shared_ptr<T>>> : std::true_type {
    using Element = T;
};

[[noreturn]] void raiseWrongType(const QString& key, const Value& value, const char* expected);

template <class T>
constexpr bool isScalarType
    = std::is_arithmetic_v<
          T> || std::is_enum_v<T> || std::is_same_v<T, QPointF> || std::is_same_v<T, QSizeF> || std::is_same_v<T, QRectF>;

template <class T> Value toValue(const T& value)
{
    if constexpr (IsObjectVector<T>::value) {
        ValueList list;
        list.reserve(static_cast<qsizetype>(value.size()));
        for (const auto& item : value)
            list.append(Value(item));
        return list;
    } else {
        return Value(value);
    }
}

// Converts a non-null value to a property's C++ type; a value of an unusable type is an error rather
// than a silent zero, because it always means a caller bug or corrupt input.
template <class T> T fromValue(const Value& value, const QString& key)
{
    using Type = Value::Type;
    if constexpr (std::is_same_v<T, Value>) {
        return value;
    } else if constexpr (std::is_same_v<T, bool> || std::is_arithmetic_v<T> || std::is_enum_v<T>) {
        if (!value.isNumber())
            raiseWrongType(key, value, "number");
        if constexpr (std::is_same_v<T, bool>)
            return value.toBool();
        else if constexpr (std::is_floating_point_v<T>)
            return static_cast<T>(value.toDouble());
        else if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(quint64))
            return static_cast<T>(value.toUnsignedInteger());
        else
            return static_cast<T>(value.toInteger());
    } else if constexpr (std::is_same_v<T, QPointF>) {
        if (value.type() != Type::Point)
            raiseWrongType(key, value, "point");
        return value.toPoint();
    } else if constexpr (std::is_same_v<T, QSizeF>) {
        if (value.type() != Type::Size)
            raiseWrongType(key, value, "size");
        return value.toSize();
    } else if constexpr (std::is_same_v<T, QRectF>) {
        if (value.type() != Type::Rect)
            raiseWrongType(key, value, "rect");
        return value.toRect();
    } else if constexpr (std::is_same_v<T, QString>) {
        if (!value.isNull() && value.type() != Type::String)
            raiseWrongType(key, value, "string");
        return value.toString();
    } else if constexpr (std::is_same_v<T, QByteArray>) {
        if (!value.isNull() && value.type() != Type::Data)
            raiseWrongType(key, value, "data");
        return value.toData();
    } else if constexpr (std::is_same_v<T, RgbColor>) {
        if (!value.isNull() && value.type() != Type::Color)
            raiseWrongType(key, value, "color");
        return value.toColor();
    } else if constexpr (std::is_same_v<T, QTransform>) {
        if (!value.isNull() && value.type() != Type::Transform)
            raiseWrongType(key, value, "transform");
        return value.toTransform();
    } else if constexpr (std::is_same_v<T, AttributedText>) {
        if (!value.isNull() && value.type() != Type::AttributedText)
            raiseWrongType(key, value, "attributed text");
        return value.toAttributedText();
    } else if constexpr (std::is_same_v<T, ValueList>) {
        if (!value.isNull() && value.type() != Type::List)
            raiseWrongType(key, value, "list");
        return value.toList();
    } else if constexpr (std::is_same_v<T, ValueMap>) {
        if (!value.isNull() && value.type() != Type::Map)
            raiseWrongType(key, value, "map");
        return value.toMap();
    } else if constexpr (IsSharedPtr<T>::value) {
        using Element = typename IsSharedPtr<T>::Element;
        if (value.isNull())
            return nullptr;
        auto object = value.toObject<Element>();
        if (!object)
            raiseWrongType(key, value, "object of the property's class");
        return object;
    } else if constexpr (IsObjectVector<T>::value) {
        using Element = typename IsObjectVector<T>::Element;
        if (!value.isNull() && value.type() != Type::List)
            raiseWrongType(key, value, "list of objects");
        T result;
        const ValueList list = value.toList();
        result.reserve(static_cast<size_t>(list.size()));
        for (const Value& item : list) {
            auto object = item.toObject<Element>();
            if (!object)
                raiseWrongType(key, item, "object of the property's class");
            result.push_back(std::move(object));
        }
        return result;
    } else {
        static_assert(sizeof(T) == 0, "no conversion between Value and this property type");
    }
}

} // namespace detail

// A property read and written through a getter and a setter of class C (member function pointers or
// callables taking C). The setter receives the getter's type.
template <class C, class Getter, class Setter>
Property property(const QString& name, Getter getter, Setter setter)
{
    using T = std::decay_t<std::invoke_result_t<Getter, const C&>>;
    Property p;
    p.name = name;
    p.getter = [getter](const Object& object) {
        return detail::toValue<T>(std::invoke(getter, static_cast<const C&>(object)));
    };
    p.setter = [setter, name](Object& object, const Value& value) {
        std::invoke(setter, static_cast<C&>(object), detail::fromValue<T>(value, name));
    };
    p.scalar = detail::isScalarType<T>;
    return p;
}

// A property stored in a data member, read and written directly.
template <class C, class T> Property property(const QString& name, T C::*member)
{
    Property p;
    p.name = name;
    p.getter = [member](const Object& object) {
        return detail::toValue<T>(static_cast<const C&>(object).*member);
    };
    p.setter = [member, name](Object& object, const Value& value) {
        static_cast<C&>(object).*member = detail::fromValue<T>(value, name);
    };
    p.scalar = detail::isScalarType<T>;
    return p;
}

// A property that can be read by name but not set.
template <class C, class Getter> Property readOnlyProperty(const QString& name, Getter getter)
{
    using T = std::decay_t<std::invoke_result_t<Getter, const C&>>;
    Property p;
    p.name = name;
    p.getter = [getter](const Object& object) {
        return detail::toValue<T>(std::invoke(getter, static_cast<const C&>(object)));
    };
    p.scalar = detail::isScalarType<T>;
    return p;
}

} // namespace zandrel

// Declares a class's property table; place it in a public section of a class derived from Object and
// define staticPropertyTable() in the .cpp, chaining to the superclass's:
//     const PropertyTable& Foo::staticPropertyTable()
//     {
//         static const PropertyTable table(&Base::staticPropertyTable(), {
//             property<Foo>("width", &Foo::width, &Foo::setWidth),
//             readOnlyProperty<Foo>("area", &Foo::area),
//         });
//         return table;
//     }
#define ZDL_PROPERTIES                                                                                       \
    static const ::zandrel::PropertyTable& staticPropertyTable();                                            \
    const ::zandrel::PropertyTable& propertyTable() const override                                           \
    {                                                                                                        \
        return staticPropertyTable();                                                                        \
    }
