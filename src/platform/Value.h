#pragma once

#include "platform/DynamicCast.h"
#include "platform/RgbColor.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <concepts>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>
#include <variant>

namespace zandrel {

class AttributedText;
class Object;
class Value;

using ObjectPtr = std::shared_ptr<Object>;
using ValueList = QList<Value>;
using ValueMap = QMap<QString, Value>;

// The dynamic value that properties set by name, observers, notifications and archives pass around.
// Copies are cheap: the largest inline member is a rect; transforms and attributed texts are
// shared, lists and maps are implicitly shared.
class Value {
public:
    enum class Type {
        Null,
        Bool,
        Integer,
        // An integer above the largest signed 64-bit one; smaller ones are always Integer.
        UnsignedInteger,
        Float,
        Double,
        Point,
        Size,
        Rect,
        String,
        Data,
        Color,
        Transform,
        Object,
        List,
        Map,
        AttributedText,
    };

    Value() = default;
    Value(std::nullptr_t) { }
    Value(bool value)
        : m_data(value)
    {
    }
    template <std::integral I>
    requires(!std::same_as<I, bool>) Value(I value)
        : m_data(static_cast<qint64>(value))
    {
        if constexpr (std::is_unsigned_v<I> && sizeof(I) >= sizeof(qint64)) {
            if (quint64(value) > quint64(std::numeric_limits<qint64>::max()))
                m_data = quint64(value);
        }
    }
    template <class E>
    requires std::is_enum_v<E> Value(E value)
        : m_data(static_cast<qint64>(value))
    {
    }
    Value(float value)
        : m_data(value)
    {
    }
    Value(double value)
        : m_data(value)
    {
    }
    Value(const QPointF& value)
        : m_data(value)
    {
    }
    Value(const QSizeF& value)
        : m_data(value)
    {
    }
    Value(const QRectF& value)
        : m_data(value)
    {
    }
    Value(const QString& value)
        : m_data(value)
    {
    }
    Value(const char* value)
        : m_data(QString::fromUtf8(value))
    {
    }
    Value(const QByteArray& value)
        : m_data(value)
    {
    }
    Value(const RgbColor& value)
        : m_data(value)
    {
    }
    Value(const QTransform& value);
    Value(ObjectPtr value);
    template <class T>
    requires(std::derived_from<T, Object> && !std::same_as<T, Object>) Value(const std::shared_ptr<T>& value)
        : Value(std::static_pointer_cast<Object>(value))
    {
    }
    Value(const ValueList& value)
        : m_data(value)
    {
    }
    Value(ValueList&& value)
        : m_data(std::move(value))
    {
    }
    Value(const ValueMap& value)
        : m_data(value)
    {
    }
    Value(const AttributedText& value);
    // A raw pointer would otherwise silently become a bool.
    template <class T> Value(T*) = delete;

    Type type() const { return static_cast<Type>(m_data.index()); }
    bool isNull() const { return type() == Type::Null; }
    // Bool, integer, float or double.
    bool isNumber() const;

    // Numbers convert among themselves, saturating where the asked type is too small; any other
    // type gives 0 or false.
    bool toBool() const;
    qint64 toInteger() const;
    quint64 toUnsignedInteger() const;
    int toInt() const { return static_cast<int>(toInteger()); }
    float toFloat() const { return static_cast<float>(toDouble()); }
    double toDouble() const;

    // A value of another type gives the empty or zero value of the asked type.
    QPointF toPoint() const;
    QSizeF toSize() const;
    QRectF toRect() const;
    QString toString() const;
    QByteArray toData() const;
    RgbColor toColor() const;
    QTransform toTransform() const;
    ObjectPtr toObject() const;
    template <class T> std::shared_ptr<T> toObject() const
    {
        ObjectPtr object = toObject();
        T* cast = dynamicCast<T>(object.get());
        return cast ? std::shared_ptr<T>(std::move(object), cast) : nullptr;
    }
    // Const, so that a loop over the result shares the value's members instead of detaching a
    // copy of them (which would double what a list of a file's references holds).
    const ValueList toList() const;
    const ValueMap toMap() const;
    // Callers include platform/AttributedText.h.
    AttributedText toAttributedText() const;

    // What copies of this value share: the payload of a non-empty list or map, of a transform or of
    // an attributed text, and how many entries it has (1 for the single values); null for other
    // types. A writer writes a payload that many values share once, as a reader shares it among
    // all references to it.
    std::pair<const void*, qsizetype> sharedPayload() const;

    // True for a non-empty list that no other value or list shares: dropping this value frees it.
    bool holdsUnsharedList() const;

    // Same type and same contents; objects compare by identity, and NaN equals NaN so that a
    // value always equals a copy of itself.
    bool operator==(const Value& other) const;

    // For logs and test failures only; the format is not stable.
    QString toDebugString() const;

    static QString typeName(Type type);

private:
    using TransformBox = std::shared_ptr<const QTransform>;
    using TextBox = std::shared_ptr<const AttributedText>;
    std::variant<std::monostate, bool, qint64, quint64, float, double, QPointF, QSizeF, QRectF, QString,
        QByteArray, RgbColor, TransformBox, ObjectPtr, ValueList, ValueMap, TextBox>
        m_data;
};

} // namespace zandrel
