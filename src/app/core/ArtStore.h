#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <optional>

namespace zandrel {

// The art store's product list ("artstore.plist") and the manifests that come with its products.
// Both arrive from the network or from a cache anyone could have written, so they are read with a
// size cap through the bounded property-list reader, and every field is checked for its type: an
// entry that is not what it should be is left out, never guessed at.
namespace ArtStore {

inline const QString kListFileName = QStringLiteral("artstore.plist");
inline const QString kUpdatedKey = QStringLiteral("updated");
inline const QString kProductsKey = QStringLiteral("products");
inline const QString kProductCodeKey = QStringLiteral("productCode");
inline const QString kProductNameKey = QStringLiteral("productName");
inline const QString kVersionsKey = QStringLiteral("versions");
inline const QString kVersionKey = QStringLiteral("version");
inline const QString kFileVersionKey = QStringLiteral("fileversion");
inline const QString kUrlKey = QStringLiteral("url");

// Where the store is. Its address is a folder holding the store's page ("art-store.html") and the
// folder of products ("art-products/", with "artstore.plist"). The environment variable wins over
// the user default, which wins over the built-in address; that one is a placeholder that no store
// answers at yet, so until an address is set the program finds no store (and says so when asked).
inline const QString kStoreAddressKey = QStringLiteral("artStoreAddress");
inline const QString kStoreAddressVariable = QStringLiteral("ZANDREL_ART_STORE");
inline const QString kPlaceholderStoreAddress = QStringLiteral("https://store.zandrel.org/");
inline const QString kStorePageName = QStringLiteral("art-store.html");
inline const QString kProductsFolderName = QStringLiteral("art-products/");

struct StoreAddress {
    // Invalid when the address given is not one downloads may come from: the store is off.
    QUrl url;
    // Where it came from: the variable's name, the default's key, or empty for the built-in one.
    QString source;
    // The address as given, for messages.
    QString given;
    bool isPlaceholder() const { return source.isEmpty(); }
};
// The store's address, always ending in "/". http is taken only for the loopback host (a store
// tried out on one's own machine).
StoreAddress storeAddress();
StoreAddress storeAddressFrom(const QString& environment, const QString& userDefault);

// A store list names a few hundred products; a megabyte is far beyond any real one.
constexpr qint64 kMaxListBytes = qint64(1) << 20;
// A product manifest holds a code, a name and a version.
constexpr qint64 kMaxManifestBytes = qint64(64) << 10;

struct Version {
    qint64 version = 0;
    qint64 fileVersion = 0;
    QUrl url;
};

struct Product {
    QString code;
    QString name;
    // Only versions whose fields are all of the right type and whose address is one a download
    // may use.
    QList<Version> versions;
};

struct List {
    // Invalid when the list gives no date.
    QDateTime updated;
    QList<Product> products;

    const Product* productWithCode(const QString& code) const;
};

// A product code is used in file names ("<code>-manifest.plist"): letters, digits, "." and "_",
// and never "." or ".." alone, so that it cannot leave the folder it names a file in.
bool isSafeProductCode(const QString& code);
// The address a product may be downloaded from: https with a host, or plain http on this machine,
// as for the store itself.
bool isAllowedProductURL(const QUrl& url);

// The list, or nothing with the reason for a list that is not a property-list dictionary within the
// size cap. Products without a usable code are left out.
std::optional<List> parseList(const QByteArray& data, QString* error);

// The newest version that is above startVersion and whose file version the program reads; among
// versions of one number the first listed. Nothing when there is none.
std::optional<Version> chooseVersion(const Product& product, qint64 startVersion, qint64 maxFileVersion);

// The product code of an archive's address: its last path component without the extension, up to
// the first "-" ("abc-2.zip" and "abc.zip" both give "abc"). Empty when that is not a safe code.
QString productCodeFromURL(const QUrl& url);

// "<code>-manifest.plist".
QString manifestFileName(const QString& productCode);

// A product manifest: a dictionary whose "productCode", when present, is the code expected, and
// whose "version", when present, is an integer. Nothing for anything else.
std::optional<QVariantMap> parseProductManifest(
    const QByteArray& data, const QString& productCode, QString* error);

// The integer under the key, or the fallback when there is none or it is not an integer.
qint64 integerValue(const QVariantMap& map, const QString& key, qint64 fallback = 0);

} // namespace ArtStore

} // namespace zandrel
