// The art store: its product list, the installs and updates of its products, and the messages that
// follow them.
#include "app/core/ArtProductInstaller.h"
#include "app/core/ArtStore.h"
#include "app/core/FileFormat.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/AtomicFile.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/RegularFile.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <new>

namespace zandrel {

namespace {

const QString kInstalledAlertKey = QStringLiteral("artProductInstalledAlert");
// The message waits for the download panel to close its pane.
constexpr int kInstalledAlertDelayMs = 100;

// One of the store's small files, parsed: nothing when it cannot be read, is refused, or needs more
// memory than there is, which leaves the store as if the file were not there.
template <class Parse>
auto parsedSmallFile(const QString& path, qint64 maxBytes, const Parse& parse)
    -> decltype(parse(QByteArray()))
{
    try {
        if (const std::optional<QByteArray> data = readRegularFile(path, maxBytes))
            return parse(*data);
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

QString productNameOr(const QVariantMap& info, const QString& code)
{
    const QString name = info.value(ArtStore::kProductNameKey).toString();
    return name.isEmpty() ? code : name;
}

} // namespace

void ZDLAppController::checkForArtStore()
{
    std::optional<QByteArray> fetched;
    if (m_artStoreURL.isValid())
        fetched = fetchNow(m_artStoreURL.resolved(QUrl(ArtStore::kListFileName)));
    checkForArtStore(fetched);
}

void ZDLAppController::checkForArtStore(const std::optional<QByteArray>& fetched)
{
    const QString cachePath = QDir(getMyAppSupportFolderURL()).filePath(ArtStore::kListFileName);
    QString reason;
    std::optional<ArtStore::List> cached;
    cached = parsedSmallFile(cachePath, ArtStore::kMaxListBytes,
        [&reason](const QByteArray& data) { return ArtStore::parseList(data, &reason); });
    std::optional<ArtStore::List> list = cached;
    m_artStoreReachable = false;
    // Whatever happens, the catalog views show the store as it now is.
    struct Announce {
        ZDLAppController* controller;
        ~Announce() { NotificationCenter::defaultCenter().post(kArtStoreChangedNotification, controller); }
    } announce { this };
    if (fetched) {
        if (std::optional<ArtStore::List> fresh = ArtStore::parseList(*fetched, &reason)) {
            m_artStoreReachable = true;
            writeFileAtomically(cachePath, *fetched);
            list = std::move(fresh);
        } else {
            zdlLog(QStringLiteral("Art store list refused: %1").arg(reason));
        }
    }
    if (!list) {
        m_artStoreList.reset();
        return;
    }
    m_artStoreList = list->products.isEmpty() ? std::nullopt : std::move(list);
    if (!m_artStoreList || !cached || !cached->updated.isValid())
        return;
    const QDateTime lastVisited = UserDefaults::standard().date(kLastVisitedArtStoreKey);
    if (!lastVisited.isValid() || cached->updated > lastVisited)
        m_newProductsInStore = true;
}

QVariantMap ZDLAppController::artStoreInfoFor(const QString& productCode)
{
    if (m_artStoreList) {
        if (const ArtStore::Product* product = m_artStoreList->productWithCode(productCode)) {
            return { { ArtStore::kProductCodeKey, product->code },
                { ArtStore::kProductNameKey, product->name } };
        }
    }
    if (!ArtStore::isSafeProductCode(productCode))
        return {};
    const QString path = QDir(getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog))
                             .filePath(ArtStore::manifestFileName(productCode));
    return parsedSmallFile(path, ArtStore::kMaxManifestBytes, [&productCode](const QByteArray& data) {
        return ArtStore::parseProductManifest(data, productCode, nullptr);
    }).value_or(QVariantMap());
}

ZDLAppController::ArtProductRequest ZDLAppController::downloadAndInstallArtProduct(const QString& productCode)
{
    checkForArtStore();
    if (!m_artStoreList)
        return ArtProductRequest::StoreUnreachable;
    const ArtStore::Product* product = m_artStoreList->productWithCode(productCode);
    if (!product)
        return ArtProductRequest::NotInStore;
    const auto version = ArtStore::chooseVersion(*product, 0, CharacterModel::maximumSupportedFileVersion());
    if (!version)
        return ArtProductRequest::NoUsableVersion;
    const bool started = startDownload(version->url,
        { [this](const QUrl& url, const QByteArray& data) { artProductDownloadDone(url, data); },
            [this](const QUrl& url) { artProductFileNotFound(url); },
            [this](const QUrl& url, const QString& error) { artProductDownloadGotError(url, error); } });
    return started ? ArtProductRequest::Started : ArtProductRequest::NotStarted;
}

void ZDLAppController::startArtProductDownloadForUser(const QString& productCode, QObject* window)
{
    const QString name = productNameOr(artStoreInfoFor(productCode), productCode);
    switch (downloadAndInstallArtProduct(productCode)) {
    case ArtProductRequest::Started:
        return;
    case ArtProductRequest::StoreUnreachable:
        showAlertMessage(
            localized("The Quorvane Store could not be reached."), artStoreAddressExplanation(), window);
        return;
    case ArtProductRequest::NotInStore:
        showAlertMessage(localized("The comic art product “%1” is not in the Quorvane Store.").arg(name),
            localized("The store no longer lists it."), window);
        return;
    case ArtProductRequest::NoUsableVersion:
        showAlertMessage(localized("The comic art product “%1” needs a newer version of Zandrel.").arg(name),
            QString(), window);
        return;
    case ArtProductRequest::NotStarted:
        showAlertMessage(localized("The comic art product could not be downloaded."),
            localized("The download did not start."), window);
        return;
    }
}

void ZDLAppController::checkForArtStoreForUser(QObject* window)
{
    checkForArtStore();
    if (!m_artStoreReachable) {
        showAlertMessage(
            localized("The Quorvane Store could not be reached."), artStoreAddressExplanation(), window);
        return;
    }
    if (!m_artStoreList) {
        showAlertMessage(localized("The Quorvane Store has no products yet."), QString(), window,
            ModalAlert::Style::Informational);
        return;
    }
    const qsizetype count = m_artStoreList->products.size();
    showAlertMessage(count == 1 ? localized("The Quorvane Store has 1 product.")
                                : localized("The Quorvane Store has %1 products.").arg(count),
        localized("Download them from the top of a comic's catalog."), window,
        ModalAlert::Style::Informational);
}

QString ZDLAppController::artStoreAddressExplanation() const
{
    const QString how
        = localized("Set the store's address in the “%1” setting or the %2 environment variable.")
              .arg(ArtStore::kStoreAddressKey, ArtStore::kStoreAddressVariable);
    if (!m_storeAddress.url.isValid())
        return localized("The store's address, “%1”, is not an https address.").arg(m_storeAddress.given)
            + QLatin1Char(' ') + how;
    if (m_storeAddress.isPlaceholder())
        return localized("This copy of Zandrel has no store set up: %1 is a placeholder address.")
                   .arg(m_storeAddress.given)
            + QLatin1Char(' ') + how;
    return localized("Zandrel looked for the store at %1 (from %2) and got no list of products.")
               .arg(m_artStoreURL.toDisplayString(), m_storeAddress.source)
        + QLatin1Char(' ') + how;
}

void ZDLAppController::setStoreAddress(const ArtStore::StoreAddress& address)
{
    m_storeAddress = address;
    m_artStoreURL
        = address.url.isValid() ? address.url.resolved(QUrl(ArtStore::kProductsFolderName)) : QUrl();
}

QUrl ZDLAppController::artStorePageURL() const
{
    return m_storeAddress.url.isValid() ? m_storeAddress.url.resolved(QUrl(ArtStore::kStorePageName))
                                        : QUrl();
}

std::optional<qint64> ZDLAppController::installedArtProductVersion(const QString& productCode)
{
    if (!ArtStore::isSafeProductCode(productCode))
        return std::nullopt;
    const QDir catalog(getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog));
    const auto manifest = parsedSmallFile(catalog.filePath(ArtStore::manifestFileName(productCode)),
        ArtStore::kMaxManifestBytes, [&productCode](const QByteArray& data) {
            return ArtStore::parseProductManifest(data, productCode, nullptr);
        });
    if (!manifest)
        return std::nullopt;
    return ArtStore::integerValue(*manifest, ArtStore::kVersionKey);
}

QStringList ZDLAppController::installedArtProducts()
{
    QStringList codes;
    const QDir catalog(getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog));
    const QString suffix = ArtStore::manifestFileName(QString());
    for (const QString& name : catalog.entryList({ QStringLiteral("*") + suffix }, QDir::Files, QDir::Name)) {
        const QString code = name.left(name.size() - suffix.size());
        if (ArtStore::isSafeProductCode(code))
            codes.append(code);
    }
    return codes;
}

void ZDLAppController::checkArtProductsForUpdates()
{
    if (!m_artStoreList)
        return;
    const QDir catalog(getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog));
    for (const QString& code : installedArtProducts()) {
        const auto manifest = parsedSmallFile(catalog.filePath(ArtStore::manifestFileName(code)),
            ArtStore::kMaxManifestBytes,
            [&code](const QByteArray& data) { return ArtStore::parseProductManifest(data, code, nullptr); });
        const ArtStore::Product* product = m_artStoreList->productWithCode(code);
        if (!manifest || !product)
            continue;
        const auto version
            = ArtStore::chooseVersion(*product, ArtStore::integerValue(*manifest, ArtStore::kVersionKey),
                CharacterModel::maximumSupportedFileVersion());
        if (!version)
            continue;
        auto failed = [this](const QUrl& url, const QString& error) { artProductUpdateGotError(url, error); };
        startDownload(version->url,
            { [this](const QUrl& url, const QByteArray& data) { artProductUpdateDownloadDone(url, data); },
                [failed](const QUrl& url) { failed(url, localized("File not found.")); }, failed });
    }
}

void ZDLAppController::installDownloadedArtProduct(
    const QUrl& url, const QByteArray& data, ArtProductInstalled done)
{
    const QString code = ArtStore::productCodeFromURL(url);
    auto installer
        = std::make_unique<ArtProductInstaller>(*this, temporaryFolder(), data, code, url.fileName());
    ArtProductInstaller* running = installer.get();
    auto finished
        = [this, url, code, running, done = std::move(done)](const ArtProductInstallResult& result) {
              QVariantMap info;
              if (result.succeeded()) {
                  info = artStoreInfoFor(code);
                  info.insert(ArtStore::kProductCodeKey, code);
              } else {
                  zdlLog(QStringLiteral("Art product from %1 not installed: %2")
                             .arg(url.toDisplayString(), result.error));
              }
              // The installer is still on the stack: it goes once the event loop has it back.
              const auto it = std::find_if(m_artProductInstalls.begin(), m_artProductInstalls.end(),
                  [running](const ArtProductInstall& install) { return install.installer.get() == running; });
              if (it != m_artProductInstalls.end()) {
                  it->installer.release()->deleteLater();
                  m_artProductInstalls.erase(it);
              }
              if (!m_artProductInstalls.empty())
                  m_artProductInstalls.front().installer->start(m_artProductInstalls.front().done);
              if (done)
                  done(result, info);
          };
    m_artProductInstalls.push_back({ std::move(installer), std::move(finished) });
    if (m_artProductInstalls.size() == 1)
        running->start(m_artProductInstalls.front().done);
}

void ZDLAppController::artProductDownloadDone(const QUrl& url, const QByteArray& data)
{
    installDownloadedArtProduct(
        url, data, [this, url](const ArtProductInstallResult& result, const QVariantMap& info) {
            const QString code = ArtStore::productCodeFromURL(url);
            QString message;
            QString explanation;
            const ModalAlert::Style style
                = result.succeeded() ? ModalAlert::Style::Informational : ModalAlert::Style::Warning;
            if (result.succeeded()) {
                message = localized("Downloaded and installed the purchased comic art product “%1.”")
                              .arg(productNameOr(info, code));
                // What the message alone would hide: files left out, characters under other names.
                explanation = result.notes();
            } else {
                message
                    = localized("The comic art product “%1” could not be installed.")
                          .arg(productNameOr(artStoreInfoFor(code), code.isEmpty() ? url.fileName() : code));
                explanation = result.error;
                if (const QString notes = result.notes(); !notes.isEmpty())
                    explanation += (explanation.endsWith(QLatin1Char('.')) ? QStringLiteral(" ")
                                                                           : QStringLiteral(". "))
                        + notes;
            }
            DeferredCalls::perform(
                this, kInstalledAlertKey, kInstalledAlertDelayMs, [this, message, explanation, style] {
                    showAlertMessage(message, explanation, nullptr, style);
                });
        });
}

void ZDLAppController::artProductFileNotFound(const QUrl& url)
{
    const QString code = ArtStore::productCodeFromURL(url);
    showAlertMessage(localized("The comic art product “%1” is not in the Quorvane Store.")
                         .arg(code.isEmpty() ? url.fileName() : code),
        localized("File not found."));
}

void ZDLAppController::artProductDownloadGotError(const QUrl&, const QString& error)
{
    showAlertMessage(localized("The comic art product could not be downloaded."), error);
}

void ZDLAppController::artProductUpdateDownloadDone(const QUrl& url, const QByteArray& data)
{
    installDownloadedArtProduct(
        url, data, [this, url](const ArtProductInstallResult& result, const QVariantMap& info) {
            if (!result.succeeded()) {
                // An update that installed nothing failed, whatever the server said.
                artProductUpdateGotError(url, result.error);
                return;
            }
            if (useUserNotifications()) {
                QString text = localized("Zandrel updated the comic art product “%1.”")
                                   .arg(productNameOr(info, ArtStore::productCodeFromURL(url)));
                if (const QString notes = result.notes(); !notes.isEmpty())
                    text += QLatin1Char(' ') + notes;
                deliverUserNotification(localized("Art product updated"), text);
            }
        });
}

void ZDLAppController::artProductUpdateGotError(const QUrl& url, const QString& error)
{
    zdlLog(QStringLiteral("Art product update from %1 failed: %2").arg(url.toDisplayString(), error));
    const QString code = ArtStore::productCodeFromURL(url);
    if (!useUserNotifications() || code.isEmpty())
        return;
    deliverUserNotification(localized("Art product update error"),
        localized("Zandrel had a problem trying to update “%1.”")
            .arg(productNameOr(artStoreInfoFor(code), code)));
}

// --- What the application supplies ---

bool ZDLAppController::startDownload(const QUrl&, const DownloadCallbacks&)
{
    return false;
}

std::optional<QByteArray> ZDLAppController::fetchNow(const QUrl&)
{
    return std::nullopt;
}

void ZDLAppController::deliverUserNotification(const QString& title, const QString& text)
{
    zdlLog(QStringLiteral("%1: %2").arg(title, text));
}

void ZDLAppController::showWorkProgress(const void*, const QString&, qint64, qint64)
{
}

void ZDLAppController::workEnded(const void*)
{
}

QString ZDLAppController::temporaryFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1Char('/')
        + kBundleIdentifier;
}

} // namespace zandrel
