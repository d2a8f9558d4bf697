#include "platform/Exception.h"

namespace zandrel {

Exception::Exception(QString name, QString reason)
    : m_name(std::move(name))
    , m_reason(std::move(reason))
    , m_what((m_name + QStringLiteral(": ") + m_reason).toUtf8())
{
}

void Exception::raise(const QString& name, const QString& reason)
{
    throw Exception(name, reason);
}

} // namespace zandrel
