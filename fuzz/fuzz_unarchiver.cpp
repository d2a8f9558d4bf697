// Feeds arbitrary bytes to the binary property list reader and the keyed unarchiver. Anything
// but the layer's exception is a finding, and so is a decoded graph that does not write and read
// back to the same bytes.
#include "platform/ArchiveTestClasses.h"
#include "platform/PropertyList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

using namespace test;

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_unarchiver: %s\n", what);
    std::abort();
}

// Reading, writing and reading again must reach a fixed point: the second write equals the first.
void checkContainer(const QByteArray& bytes)
{
    try {
        const PropertyList list = PropertyList::fromBinary(bytes);
        const QByteArray written = list.toBinary();
        const PropertyList again = PropertyList::fromBinary(written);
        if (again.toBinary() != written)
            finding("property list rewrite is not stable");
    } catch (const Exception& e) {
        if (e.name() != kInvalidArchiveException)
            finding("unexpected exception name from the property list reader");
    }
}

KeyedUnarchiver::Limits roundTripLimits()
{
    // Encoding recurses as deep as decoding went; keep that well inside a sanitizer's stack.
    KeyedUnarchiver::Limits limits;
    limits.maxDepth = 200;
    return limits;
}

void checkArchive(const QByteArray& bytes)
{
    try {
        KeyedUnarchiver restricted(bytes);
        restricted.decodeObjectOfClasses(
            { TestNode::kClassName, PlatformClass::kArray }, ArchiveLayoutKey::kRoot);
        restricted.decodeRectForKey(ArchiveLayoutKey::kRoot);
    } catch (const Exception&) {
    }
    try {
        // Both unarchivers stay alive while their graphs are written, so that weak links resolve
        // the same way in both rounds.
        KeyedUnarchiver first(bytes, roundTripLimits());
        const Value root = first.decodeObjectForKey(ArchiveLayoutKey::kRoot);
        const QByteArray written = KeyedArchiver::archivedData(root);
        KeyedUnarchiver second(written, roundTripLimits());
        const Value again = second.decodeObjectForKey(ArchiveLayoutKey::kRoot);
        if (KeyedArchiver::archivedData(again) != written)
            finding("keyed archive round trip is not stable");
    } catch (const Exception& e) {
        if (e.name() != kInvalidArchiveException)
            finding("unexpected exception name from the unarchiver");
    }
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    ClassRegistry::shared().registerOnce(&test::registerDecodableArchiveTestClasses);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkContainer(bytes);
    checkArchive(bytes);
    return 0;
}
