#include "app/core/ArtStore.h"

#include "platform/UserDefaults.h"
#include "platform/WebAddress.h"
#include "platform/XmlPropertyList.h"

#include <QRegularExpression>

namespace zandrel::ArtStore {

namespace {

QString stringOf(const QVariantMap& map, const QString& key)
{
    const auto it = map.constFind(key);
    return it != map.cend() && it->typeId() == QMetaType::QString ? it->toString() : QString();
}

bool isInteger(const QVariant& value)
{
    return value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int;
}

std::optional<QVariant> readBounded(const QByteArray& data, qint64 maxBytes, QString* error)
{
    if (data.size() > maxBytes) {
        *error = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
        return std::nullopt;
    }
    XmlPropertyListLimits limits;
    limits.maxBytes = maxBytes;
    limits.maxDepth = 8;
    limits.maxValues = maxBytes / 8;
    return readXmlPropertyList(data, error, limits);
}

std::optional<Version> versionFrom(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = value.toMap();
    const QVariant version = map.value(kVersionKey);
    const QVariant fileVersion = map.value(kFileVersionKey);
    const QUrl url(stringOf(map, kUrlKey), QUrl::StrictMode);
    if (!isInteger(version) || !isInteger(fileVersion) || !isAllowedProductURL(url))
        return std::nullopt;
    return Version { version.toLongLong(), fileVersion.toLongLong(), url };
}

} // namespace

const Product* List::productWithCode(const QString& code) const
{
    for (const Product& product : products) {
        if (product.code == code)
            return &product;
    }
    return nullptr;
}

StoreAddress storeAddressFrom(const QString& environment, const QString& userDefault)
{
    StoreAddress address;
    if (!environment.trimmed().isEmpty()) {
        address.source = kStoreAddressVariable;
        address.given = environment.trimmed();
    } else if (!userDefault.trimmed().isEmpty()) {
        address.source = kStoreAddressKey;
        address.given = userDefault.trimmed();
    } else {
        address.given = kPlaceholderStoreAddress;
    }
    QUrl url(address.given, QUrl::StrictMode);
    if (!isAllowedDownloadAddress(url) || !url.query().isEmpty())
        return address;
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    url.setFragment(QString());
    address.url = url;
    return address;
}

StoreAddress storeAddress()
{
    return storeAddressFrom(qEnvironmentVariable(qPrintable(kStoreAddressVariable)),
        UserDefaults::standard().string(kStoreAddressKey));
}

bool isSafeProductCode(const QString& code)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9._]{1,100}$"));
    return allowed.match(code).hasMatch() && code != QStringLiteral(".") && code != QStringLiteral("..");
}

bool isAllowedProductURL(const QUrl& url)
{
    return isAllowedDownloadAddress(url);
}

std::optional<List> parseList(const QByteArray& data, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const std::optional<QVariant> root = readBounded(data, kMaxListBytes, error);
    if (!root)
        return std::nullopt;
    if (root->typeId() != QMetaType::QVariantMap) {
        *error = QStringLiteral("it is not a dictionary");
        return std::nullopt;
    }
    const QVariantMap map = root->toMap();
    List list;
    if (map.value(kUpdatedKey).typeId() == QMetaType::QDateTime)
        list.updated = map.value(kUpdatedKey).toDateTime();
    for (const QVariant& entry : map.value(kProductsKey).toList()) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap productMap = entry.toMap();
        Product product;
        product.code = stringOf(productMap, kProductCodeKey);
        if (!isSafeProductCode(product.code))
            continue;
        product.name = stringOf(productMap, kProductNameKey);
        for (const QVariant& version : productMap.value(kVersionsKey).toList()) {
            if (const std::optional<Version> usable = versionFrom(version))
                product.versions.append(*usable);
        }
        list.products.append(product);
    }
    return list;
}

std::optional<Version> chooseVersion(const Product& product, qint64 startVersion, qint64 maxFileVersion)
{
    std::optional<Version> best;
    qint64 bestNumber = startVersion;
    for (const Version& version : product.versions) {
        if (version.version > bestNumber && version.fileVersion <= maxFileVersion) {
            bestNumber = version.version;
            best = version;
        }
    }
    return best;
}

QString productCodeFromURL(const QUrl& url)
{
    // The decoded name: an encoded "/" or ".." must not slip through as harmless text.
    QString name = url.fileName(QUrl::FullyDecoded);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    if (dash >= 0)
        name.truncate(dash);
    return isSafeProductCode(name) ? name : QString();
}

QString manifestFileName(const QString& productCode)
{
    return QStringLiteral("%1-manifest.plist").arg(productCode);
}

std::optional<QVariantMap> parseProductManifest(
    const QByteArray& data, const QString& productCode, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const std::optional<QVariant> root = readBounded(data, kMaxManifestBytes, error);
    if (!root)
        return std::nullopt;
    if (root->typeId() != QMetaType::QVariantMap) {
        *error = QStringLiteral("it is not a dictionary");
        return std::nullopt;
    }
    const QVariantMap manifest = root->toMap();
    const auto code = manifest.constFind(kProductCodeKey);
    if (code != manifest.cend()
        && (code->typeId() != QMetaType::QString || code->toString() != productCode)) {
        *error = QStringLiteral("it belongs to another product");
        return std::nullopt;
    }
    const auto version = manifest.constFind(kVersionKey);
    if (version != manifest.cend() && !isInteger(*version)) {
        *error = QStringLiteral("its version is not a number");
        return std::nullopt;
    }
    return manifest;
}

qint64 integerValue(const QVariantMap& map, const QString& key, qint64 fallback)
{
    const QVariant value = map.value(key);
    return isInteger(value) ? value.toLongLong() : fallback;
}

} // namespace zandrel::ArtStore
