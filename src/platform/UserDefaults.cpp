#include "platform/UserDefaults.h"

#include "platform/Log.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace zandrel {

namespace {

bool isNumberType(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// Reads a number from a stored value; text counts when all of it is a number or a flag word.
std::optional<double> numberOf(const QVariant& v)
{
    if (isNumberType(v))
        return v.toDouble();
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = v.toString().trimmed();
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (ok)
        return d;
    const auto isOneOf = [&text](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&text](const char* word) {
            return text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
        });
    };
    if (isOneOf({ "true", "yes" }))
        return 1.0;
    if (isOneOf({ "false", "no" }))
        return 0.0;
    return std::nullopt;
}

} // namespace

UserDefaults::UserDefaults() = default;

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults;
    return defaults;
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QColor)
            m_registered.insert(it.key(), colorToText(it.value().value<QColor>()));
        else
            m_registered.insert(it.key(), it.value());
    }
}

void UserDefaults::registerDefaults(const ValueMap& defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        const QVariant v = fromValue(it.value());
        if (v.isValid())
            m_registered.insert(it.key(), v);
        else
            zdlLog(QStringLiteral("The default \"%1\" cannot be registered: %2 values are not stored")
                       .arg(it.key(), Value::typeName(it.value().type())));
    }
}

QVariant UserDefaults::fromValue(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Bool:
        return value.toBool();
    case Value::Type::Integer:
        return value.toInteger();
    case Value::Type::UnsignedInteger:
        return value.toUnsignedInteger();
    case Value::Type::Float:
        return value.toFloat();
    case Value::Type::Double:
        return value.toDouble();
    case Value::Type::String:
        return value.toString();
    case Value::Type::Data:
        return value.toData();
    case Value::Type::Color:
        // Defaults keep colours as "#RRGGBBAA" text, 8 bits a channel.
        return colorToText(value.toColor().toQColor());
    case Value::Type::List: {
        const ValueList list = value.toList();
        const bool allText = std::all_of(
            list.cbegin(), list.cend(), [](const Value& v) { return v.type() == Value::Type::String; });
        if (allText) {
            QStringList texts;
            for (const Value& v : list)
                texts << v.toString();
            return texts;
        }
        QVariantList items;
        for (const Value& v : list)
            items << fromValue(v);
        return items;
    }
    default:
        return QVariant();
    }
}

QVariant UserDefaults::object(const QString& key) const
{
    if (m_settings.contains(key))
        return m_settings.value(key);
    return m_registered.value(key);
}

bool UserDefaults::contains(const QString& key) const
{
    return m_settings.contains(key) || m_registered.contains(key);
}

int UserDefaults::integer(const QString& key) const
{
    const std::optional<double> n = numberOf(object(key));
    if (!n || std::isnan(*n))
        return 0;
    // Clamped, so that a hand-edited huge number cannot overflow.
    return static_cast<int>(std::clamp(*n, -2147483648.0, 2147483647.0));
}

bool UserDefaults::boolean(const QString& key) const
{
    const std::optional<double> n = numberOf(object(key));
    return n && *n != 0 && !std::isnan(*n);
}

float UserDefaults::floating(const QString& key) const
{
    return static_cast<float>(doubleValue(key));
}

double UserDefaults::doubleValue(const QString& key) const
{
    return numberOf(object(key)).value_or(0.0);
}

QString UserDefaults::string(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (isNumberType(v))
        return v.toString();
    return QString();
}

QStringList UserDefaults::stringArray(const QString& key) const
{
    const QVariant v = object(key);
    switch (v.typeId()) {
    case QMetaType::QStringList:
        return v.toStringList();
    case QMetaType::QString:
        return QStringList { v.toString() };
    case QMetaType::QVariantList: {
        QStringList result;
        for (const QVariant& item : v.toList()) {
            if (item.typeId() != QMetaType::QString)
                return QStringList();
            result << item.toString();
        }
        return result;
    }
    default:
        // An empty list is kept as an invalid value by the settings file.
        return QStringList();
    }
}

QByteArray UserDefaults::data(const QString& key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QByteArray ? v.toByteArray() : QByteArray();
}

QDateTime UserDefaults::date(const QString& key) const
{
    const QVariant v = object(key);
    return v.typeId() == QMetaType::QDateTime ? v.toDateTime() : QDateTime();
}

std::optional<QColor> UserDefaults::color(const QString& key) const
{
    const QVariant v = object(key);
    if (v.typeId() == QMetaType::QColor) {
        const QColor c = v.value<QColor>();
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return colorFromText(v.toString());
}

void UserDefaults::set(const QString& key, const QVariant& value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    if (value.typeId() == QMetaType::QColor) {
        setColor(key, value.value<QColor>());
        return;
    }
    m_settings.setValue(key, value);
}

void UserDefaults::setColor(const QString& key, const QColor& color)
{
    if (!color.isValid()) {
        remove(key);
        return;
    }
    m_settings.setValue(key, colorToText(color));
}

void UserDefaults::remove(const QString& key)
{
    m_settings.remove(key);
}

void UserDefaults::synchronize()
{
    m_settings.sync();
}

QString UserDefaults::colorToText(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return QStringLiteral("#%1%2%3%4")
        .arg(rgb.red(), 2, 16, QLatin1Char('0'))
        .arg(rgb.green(), 2, 16, QLatin1Char('0'))
        .arg(rgb.blue(), 2, 16, QLatin1Char('0'))
        .arg(rgb.alpha(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QColor> UserDefaults::colorFromText(const QString& text)
{
    // "#RRGGBBAA"; "#RRGGBB" (opaque) is read as well for hand-edited files.
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#')) || (t.size() != 9 && t.size() != 7))
        return std::nullopt;
    for (qsizetype i = 1; i < t.size(); ++i) {
        if (t[i].unicode() > 127 || !std::isxdigit(t[i].unicode()))
            return std::nullopt;
    }
    const uint value = t.mid(1).toUInt(nullptr, 16);
    if (t.size() == 7)
        return QColor((value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
    return QColor((value >> 24) & 0xff, (value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
}

} // namespace zandrel
