// Feeds arbitrary bytes to the XML property-list reader that catalog manifests and store lists go
// through. What reads must write, and what it writes must read back and write the same bytes again.
// Any crash, exception or difference is a finding.
#include "platform/XmlPropertyList.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto value = readXmlPropertyList(bytes, &error);
    if (!value)
        return 0;
    const QByteArray written = writeXmlPropertyList(*value, &error);
    if (written.isEmpty())
        return 0; // a string XML cannot hold, a real that is not finite: refused, not a finding
    const auto again = readXmlPropertyList(written, &error);
    if (!again || writeXmlPropertyList(*again, &error) != written)
        std::abort();
    return 0;
}
