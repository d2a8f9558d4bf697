#pragma once

#include "platform/Value.h"

#include <QColor>
#include <QDateTime>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace zandrel {

// The user's preferences: values the user set, persisted through QSettings, over a layer of
// registered defaults that lives only in memory. Typed getters answer 0, false or empty when a key is
// absent or holds something of another kind.
class UserDefaults {
public:
    // Uses the application's default settings store.
    UserDefaults();

    static UserDefaults& standard();

    // Later registrations of a key replace earlier ones. Values of the map form are converted as
    // set() would store them (colours become "#RRGGBBAA" text; objects cannot be registered).
    void registerDefaults(const QVariantMap& defaults);
    void registerDefaults(const ValueMap& defaults);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant object(const QString& key) const;
    bool contains(const QString& key) const;
    // Numbers convert among themselves; text is read as a number, since the settings file keeps
    // numbers and flags as text between runs.
    int integer(const QString& key) const;
    bool boolean(const QString& key) const;
    float floating(const QString& key) const;
    double doubleValue(const QString& key) const;
    // Text, or a number written as text.
    QString string(const QString& key) const;
    // A list of text only. The settings file cannot tell a one-item list from text, so text reads as
    // a list of one.
    QStringList stringArray(const QString& key) const;
    QByteArray data(const QString& key) const;
    QDateTime date(const QString& key) const;
    // Nullopt when absent or unreadable.
    std::optional<QColor> color(const QString& key) const;

    // An invalid value removes the key.
    void set(const QString& key, const QVariant& value);
    void setColor(const QString& key, const QColor& color);
    // Back to the registered default, if any.
    void remove(const QString& key);
    void synchronize();

    static QString colorToText(const QColor& color);
    static std::optional<QColor> colorFromText(const QString& text);

private:
    static QVariant fromValue(const Value& value);

    QSettings m_settings;
    QVariantMap m_registered;
};

} // namespace zandrel
