// Feeds arbitrary bytes to the readers of what art products and the art store hand the program: a
// catalog folder's manifest, the store's list of products and a product's own manifest. Any crash
// or exception is a finding; so is an accepted manifest that names a file outside its folder, a
// product whose code could leave the folder it names a file in, or a version whose address a
// download may not use. An accepted catalog manifest must also write and read back whole.
#include "app/core/ArtStore.h"
#include "app/core/CatalogManifest.h"
#include "platform/XmlPropertyList.h"

#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_catalogmanifest: %s\n", what);
    std::abort();
}

void checkCatalogManifest(const QByteArray& bytes)
{
    using namespace zandrel;
    QString error;
    const auto manifest = CatalogManifest::parse(bytes, &error);
    if (!manifest)
        return;
    const QVariantList entries = manifest->value(CatalogManifest::kCatalogItemsKey).toList();
    for (const QVariant& entry : entries) {
        const QVariantMap map = entry.toMap();
        for (const QString& key :
            { CatalogManifest::kPartsFilenameKey, CatalogManifest::kThumbnailFileNameKey }) {
            if (map.contains(key)
                && !CatalogManifest::isPlainFileName(CatalogManifest::stringValue(map, key)))
                finding("an accepted manifest names a file outside its folder");
        }
        if (!map.contains(CatalogManifest::kPartsKindKey))
            finding("an accepted entry has no kind of parts");
    }
    const QByteArray written = writeXmlPropertyList(*manifest, &error);
    if (written.isEmpty())
        return; // text XML cannot hold, a real that is not finite: refused on writing, not a finding
    const auto again = CatalogManifest::parse(written, &error);
    if (!again || again->value(CatalogManifest::kCatalogItemsKey).toList().size() != entries.size())
        finding("a written manifest does not read back whole");
}

void checkStoreList(const QByteArray& bytes)
{
    using namespace zandrel;
    QString error;
    const auto list = ArtStore::parseList(bytes, &error);
    if (!list)
        return;
    for (const ArtStore::Product& product : list->products) {
        if (!ArtStore::isSafeProductCode(product.code))
            finding("a listed product has a code that could leave its folder");
        for (const ArtStore::Version& version : product.versions) {
            if (!ArtStore::isAllowedProductURL(version.url))
                finding("a listed version has an address a download may not use");
        }
        (void)ArtStore::chooseVersion(product, 0, 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkCatalogManifest(bytes);
    checkStoreList(bytes);
    QString error;
    if (const auto manifest = ArtStore::parseProductManifest(bytes, QStringLiteral("abc"), &error)) {
        const auto code = manifest->constFind(ArtStore::kProductCodeKey);
        if (code != manifest->cend() && code->toString() != QStringLiteral("abc"))
            finding("a manifest of another product was accepted");
    }
    return 0;
}
