#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace zandrel {

// The exception the layer and the model raise, with a name that callers dispatch on
// ("fileTooNew", "userCancelled", "invalidArchive", ...) and a human-readable reason.
class Exception : public std::exception {
public:
    Exception(QString name, QString reason);

    const QString& name() const { return m_name; }
    const QString& reason() const { return m_reason; }
    const char* what() const noexcept override { return m_what.constData(); }

    [[noreturn]] static void raise(const QString& name, const QString& reason);

private:
    QString m_name;
    QString m_reason;
    QByteArray m_what;
};

// Name of the exception raised for malformed, truncated or hostile archive data.
inline const QString kInvalidArchiveException = QStringLiteral("invalidArchive");
// Name of the exception raised for well-formed data that holds more than the program can lay out
// or draw in reasonable time; its reason says which limit.
inline const QString kBeyondLimitsException = QStringLiteral("beyondLimits");
// Names of the exceptions raised for a property name a class does not declare (or declares
// read-only), and for an argument of an unusable type or value.
inline const QString kUndefinedKeyException = QStringLiteral("undefinedKey");
inline const QString kInvalidArgumentException = QStringLiteral("invalidArgument");

} // namespace zandrel
