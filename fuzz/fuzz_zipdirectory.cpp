// Feeds arbitrary bytes to the zip table-of-contents reader that judges downloaded art products
// before they are unpacked, and to the check of its entries. Any crash, hang or exception is a
// finding; so is an accepted entry whose name could leave its folder.
#include "app/core/ZipDirectory.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto entries = listZipEntries(bytes, &error);
    if (!entries || !entriesAreSafeToUnpack(*entries, &error))
        return 0;
    for (const ZipEntry& entry : *entries) {
        if (entry.isSymlink || entry.name.startsWith(QLatin1Char('/'))
            || entry.name.split(QLatin1Char('/')).contains(QStringLiteral("..")))
            std::abort();
    }
    return 0;
}
