#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace zandrel {

// Property lists in their XML form, as small settings files (catalog manifests, store lists) are
// kept: dictionaries become QVariantMap, arrays QVariantList, strings QString, integers qint64,
// reals double, booleans bool, data QByteArray and dates QDateTime (UTC).
//
// These files may come from anyone, so reading is bounded: the size of the text, the nesting of
// containers and the number of values are limited, no entity is declared or expanded, and the
// parse never recurses.
struct XmlPropertyListLimits {
    qint64 maxBytes = qint64(16) << 20;
    int maxDepth = 32;
    qint64 maxValues = qint64(1) << 20;
};

// The value under the root, or nothing with the reason in error.
std::optional<QVariant> readXmlPropertyList(
    const QByteArray& data, QString* error, const XmlPropertyListLimits& limits = {});

// The text of the value, or empty with the reason in error when the value holds something a
// property list cannot (a type it has no element for, a string with characters XML forbids).
QByteArray writeXmlPropertyList(const QVariant& root, QString* error);

} // namespace zandrel
