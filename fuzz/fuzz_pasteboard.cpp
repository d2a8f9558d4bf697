// Feeds arbitrary bytes to the pasteboard payload reader, as another program or a hostile clipboard
// would. A payload that reads must write, and once written read back to the same bytes again.
#include "app/core/PasteboardParent.h"
#include "platform/Exception.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_pasteboard: %s\n", what);
    std::abort();
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The reader never throws: a payload that is not usable reads as none.
    const PasteboardParentPtr payload = PasteboardParent::fromArchivedData(bytes);
    if (!payload)
        return 0;
    try {
        // Links to characters the payload does not own are gone after one reading; from then on the
        // bytes must be stable.
        const PasteboardParentPtr once = PasteboardParent::fromArchivedData(payload->archivedData());
        if (!once)
            finding("a written payload does not read");
        const QByteArray written = once->archivedData();
        const PasteboardParentPtr twice = PasteboardParent::fromArchivedData(written);
        if (!twice || twice->archivedData() != written)
            finding("a written payload does not write back to the same bytes");
        if (once->children().size() != payload->children().size())
            finding("children were lost on the way through the pasteboard");
    } catch (const Exception& exception) {
        finding(qPrintable(QStringLiteral("writing raised %1").arg(exception.name())));
    }
    return 0;
}
