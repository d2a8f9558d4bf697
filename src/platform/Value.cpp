#include "platform/Value.h"

#include "platform/AttributedText.h"
#include "platform/Object.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace zandrel {

namespace {

// Doubles equal as values: NaN equals NaN, so that "did the value change" questions terminate.
bool sameDouble(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool sameTransform(const QTransform& a, const QTransform& b)
{
    return sameDouble(a.m11(), b.m11()) && sameDouble(a.m12(), b.m12()) && sameDouble(a.m13(), b.m13())
        && sameDouble(a.m21(), b.m21()) && sameDouble(a.m22(), b.m22()) && sameDouble(a.m23(), b.m23())
        && sameDouble(a.m31(), b.m31()) && sameDouble(a.m32(), b.m32()) && sameDouble(a.m33(), b.m33());
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

Value::Value(const QTransform& value)
    : m_data(std::make_shared<const QTransform>(value))
{
}

Value::Value(const AttributedText& value)
    : m_data(std::make_shared<const AttributedText>(value))
{
}

Value::Value(ObjectPtr value)
{
    // A null reference is nil, the same as an empty value.
    if (value)
        m_data = std::move(value);
}

bool Value::isNumber() const
{
    switch (type()) {
    case Type::Bool:
    case Type::Integer:
    case Type::UnsignedInteger:
    case Type::Float:
    case Type::Double:
        return true;
    default:
        return false;
    }
}

bool Value::toBool() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_data);
    case Type::Integer:
        return std::get<qint64>(m_data) != 0;
    case Type::UnsignedInteger:
        return true; // never below 2^63
    case Type::Float:
        return std::get<float>(m_data) != 0.0f;
    case Type::Double:
        return std::get<double>(m_data) != 0.0;
    default:
        return false;
    }
}

qint64 Value::toInteger() const
{
    // Out-of-range and non-finite reals clamp instead of invoking undefined behaviour.
    auto fromReal = [](double d) -> qint64 {
        if (std::isnan(d))
            return 0;
        if (d >= 9.2233720368547758e18)
            return std::numeric_limits<qint64>::max();
        if (d <= -9.2233720368547758e18)
            return std::numeric_limits<qint64>::min();
        return static_cast<qint64>(d);
    };
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_data) ? 1 : 0;
    case Type::Integer:
        return std::get<qint64>(m_data);
    case Type::UnsignedInteger:
        return std::numeric_limits<qint64>::max();
    case Type::Float:
        return fromReal(std::get<float>(m_data));
    case Type::Double:
        return fromReal(std::get<double>(m_data));
    default:
        return 0;
    }
}

quint64 Value::toUnsignedInteger() const
{
    if (const auto* p = std::get_if<quint64>(&m_data))
        return *p;
    if (type() == Type::Integer)
        return quint64(std::max<qint64>(std::get<qint64>(m_data), 0));
    const double d = toDouble();
    if (!(d > 0.0))
        return 0;
    if (d >= 18446744073709551616.0)
        return std::numeric_limits<quint64>::max();
    return static_cast<quint64>(d);
}

double Value::toDouble() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_data) ? 1.0 : 0.0;
    case Type::Integer:
        return static_cast<double>(std::get<qint64>(m_data));
    case Type::UnsignedInteger:
        return static_cast<double>(std::get<quint64>(m_data));
    case Type::Float:
        return std::get<float>(m_data);
    case Type::Double:
        return std::get<double>(m_data);
    default:
        return 0.0;
    }
}

QPointF Value::toPoint() const
{
    const auto* p = std::get_if<QPointF>(&m_data);
    return p ? *p : QPointF();
}

QSizeF Value::toSize() const
{
    // QSizeF() is (-1, -1); the platform's zero size is (0, 0).
    const auto* p = std::get_if<QSizeF>(&m_data);
    return p ? *p : QSizeF(0, 0);
}

QRectF Value::toRect() const
{
    const auto* p = std::get_if<QRectF>(&m_data);
    return p ? *p : QRectF();
}

QString Value::toString() const
{
    const auto* p = std::get_if<QString>(&m_data);
    return p ? *p : QString();
}

QByteArray Value::toData() const
{
    const auto* p = std::get_if<QByteArray>(&m_data);
    return p ? *p : QByteArray();
}

RgbColor Value::toColor() const
{
    const auto* p = std::get_if<RgbColor>(&m_data);
    return p ? *p : RgbColor();
}

QTransform Value::toTransform() const
{
    const auto* p = std::get_if<TransformBox>(&m_data);
    return p && *p ? **p : QTransform();
}

ObjectPtr Value::toObject() const
{
    const auto* p = std::get_if<ObjectPtr>(&m_data);
    return p ? *p : ObjectPtr();
}

const ValueList Value::toList() const
{
    const auto* p = std::get_if<ValueList>(&m_data);
    return p ? *p : ValueList();
}

const ValueMap Value::toMap() const
{
    const auto* p = std::get_if<ValueMap>(&m_data);
    return p ? *p : ValueMap();
}

AttributedText Value::toAttributedText() const
{
    const auto* p = std::get_if<TextBox>(&m_data);
    return p && *p ? **p : AttributedText();
}

std::pair<const void*, qsizetype> Value::sharedPayload() const
{
    if (const auto* list = std::get_if<ValueList>(&m_data))
        return list->isEmpty() ? std::pair<const void*, qsizetype>()
                               : std::pair(list->constData(), list->size());
    // The first entry lives in the map's shared data.
    if (const auto* map = std::get_if<ValueMap>(&m_data))
        return map->isEmpty() ? std::pair<const void*, qsizetype>()
                              : std::pair<const void*, qsizetype>(&*map->cbegin(), map->size());
    if (const auto* transform = std::get_if<TransformBox>(&m_data))
        return { transform->get(), 1 };
    if (const auto* text = std::get_if<TextBox>(&m_data))
        return { text->get(), 1 };
    return {};
}

bool Value::holdsUnsharedList() const
{
    const auto* list = std::get_if<ValueList>(&m_data);
    return list && !list->isEmpty() && list->isDetached();
}

bool Value::operator==(const Value& other) const
{
    if (type() != other.type())
        return false;
    switch (type()) {
    case Type::Null:
        return true;
    case Type::Float:
        return sameDouble(std::get<float>(m_data), std::get<float>(other.m_data));
    case Type::Double:
        return sameDouble(std::get<double>(m_data), std::get<double>(other.m_data));
    case Type::Point: {
        const QPointF& a = std::get<QPointF>(m_data);
        const QPointF& b = std::get<QPointF>(other.m_data);
        return sameDouble(a.x(), b.x()) && sameDouble(a.y(), b.y());
    }
    case Type::Size: {
        const QSizeF& a = std::get<QSizeF>(m_data);
        const QSizeF& b = std::get<QSizeF>(other.m_data);
        return sameDouble(a.width(), b.width()) && sameDouble(a.height(), b.height());
    }
    case Type::Rect: {
        const QRectF& a = std::get<QRectF>(m_data);
        const QRectF& b = std::get<QRectF>(other.m_data);
        return sameDouble(a.x(), b.x()) && sameDouble(a.y(), b.y()) && sameDouble(a.width(), b.width())
            && sameDouble(a.height(), b.height());
    }
    case Type::Transform:
        return sameTransform(toTransform(), other.toTransform());
    case Type::AttributedText: {
        const TextBox& a = std::get<TextBox>(m_data);
        const TextBox& b = std::get<TextBox>(other.m_data);
        return a == b || *a == *b;
    }
    default:
        // A list or map shared by both is equal without a walk: a file can share collections so
        // that walking them takes exponential time.
        if (const auto shared = sharedPayload(); shared.first && shared == other.sharedPayload())
            return true;
        // Exact comparisons: bool, integer, string, data, colour, object identity, lists, maps.
        return m_data == other.m_data;
    }
}

QString Value::typeName(Type type)
{
    // The words messages use for the types, in the order of Value::Type.
    static constexpr const char* kTypeNames[] = {
        "null",
        "bool",
        "integer",
        "unsigned integer",
        "float",
        "double",
        "point",
        "size",
        "rect",
        "string",
        "data",
        "color",
        "transform",
        "object",
        "list",
        "map",
        "attributed text",
    };
    const auto index = std::size_t(type);
    return index < std::size(kTypeNames) ? QString::fromLatin1(kTypeNames[index]) : QString();
}

QString Value::toDebugString() const
{
    switch (type()) {
    case Type::Null:
        return typeName(Type::Null);
    case Type::Bool:
        return QString::fromLatin1(toBool() ? "true" : "false");
    case Type::Integer:
        return QString::number(toInteger());
    case Type::UnsignedInteger:
        return QString::number(toUnsignedInteger());
    case Type::Float:
        return number(toFloat()) + QLatin1Char('f');
    case Type::Double:
        return number(toDouble());
    case Type::Point: {
        const QPointF p = toPoint();
        return QStringLiteral("{%1, %2}").arg(number(p.x()), number(p.y()));
    }
    case Type::Size: {
        const QSizeF s = toSize();
        return QStringLiteral("{%1, %2}").arg(number(s.width()), number(s.height()));
    }
    case Type::Rect: {
        const QRectF r = toRect();
        return QStringLiteral("{{%1, %2}, {%3, %4}}")
            .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()));
    }
    case Type::String:
        return QLatin1Char('"') + toString() + QLatin1Char('"');
    case Type::Data:
        return QStringLiteral("<%1>").arg(QString::fromLatin1(toData().toHex()));
    case Type::Color:
        return QStringLiteral("RGB ") + toColor().description();
    case Type::Transform: {
        const QTransform t = toTransform();
        return QStringLiteral("[%1 %2 %3 %4 %5 %6]")
            .arg(number(t.m11()), number(t.m12()), number(t.m21()), number(t.m22()), number(t.dx()),
                number(t.dy()));
    }
    case Type::Object: {
        const ObjectPtr object = toObject();
        return QStringLiteral("<%1 %2>").arg(
            object->className(), QString::number(reinterpret_cast<quintptr>(object.get()), 16));
    }
    case Type::List: {
        QStringList parts;
        for (const Value& v : std::get<ValueList>(m_data))
            parts << v.toDebugString();
        return QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    case Type::Map: {
        QStringList parts;
        const ValueMap& map = std::get<ValueMap>(m_data);
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts << it.key() + QStringLiteral(" = ") + it.value().toDebugString();
        return QLatin1Char('{') + parts.join(QStringLiteral("; ")) + QLatin1Char('}');
    }
    case Type::AttributedText: {
        const AttributedText text = toAttributedText();
        return QStringLiteral("<text \"%1\", %2 runs>").arg(text.string()).arg(text.runCount());
    }
    }
    return QString();
}

} // namespace zandrel
