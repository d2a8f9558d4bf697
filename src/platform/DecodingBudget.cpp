#include "platform/DecodingBudget.h"

#include <algorithm>
#include <limits>

namespace zandrel {

namespace {

thread_local DecodingBudget* t_current = nullptr;

} // namespace

qint64 DecodingBudget::allowanceForFileSize(qint64 fileBytes)
{
    const qint64 bytes = std::max<qint64>(fileBytes, 0);
    // Saturates rather than overflowing for sizes no file has.
    if (bytes > std::numeric_limits<qint64>::max() / kBytesPerFileByte)
        return std::numeric_limits<qint64>::max();
    return std::max(kFloorBytes, bytes * kBytesPerFileByte);
}

DecodingBudget::DecodingBudget(qint64 fileBytes, QString exceptionName)
    : DecodingBudget(allowanceForFileSize(fileBytes), std::move(exceptionName), true)
{
}

DecodingBudget::DecodingBudget(qint64 allowance, QString exceptionName, bool)
    : m_allowance(std::max<qint64>(allowance, 0))
    , m_exceptionName(std::move(exceptionName))
    , m_outer(t_current)
{
}

std::unique_ptr<DecodingBudget> DecodingBudget::withAllowance(qint64 allowance, QString exceptionName)
{
    return std::unique_ptr<DecodingBudget>(new DecodingBudget(allowance, std::move(exceptionName), true));
}

DecodingBudget::~DecodingBudget() = default;

void DecodingBudget::spend(qint64 bytes)
{
    if (bytes <= 0)
        return;
    for (DecodingBudget* budget = this; budget; budget = budget->m_outer) {
        if (bytes > budget->remaining())
            Exception::raise(budget->m_exceptionName,
                QStringLiteral("Reading the file would take more memory than a file of its size needs "
                               "(%1 bytes allowed)")
                    .arg(budget->m_allowance));
    }
    for (DecodingBudget* budget = this; budget; budget = budget->m_outer)
        budget->m_spent += bytes;
}

DecodingBudget::Scope::Scope(DecodingBudget& budget)
    : m_previous(t_current)
{
    t_current = &budget;
}

DecodingBudget::Scope::~Scope()
{
    t_current = m_previous;
}

DecodingBudget* DecodingBudget::current()
{
    return t_current;
}

void DecodingBudget::charge(qint64 bytes)
{
    if (t_current)
        t_current->spend(bytes);
}

} // namespace zandrel
