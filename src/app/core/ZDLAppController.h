#pragma once

#include "app/core/ArtProductInstaller.h"
#include "app/core/ArtStore.h"
#include "app/core/DocumentError.h"
#include "app/core/ModalAlert.h"
#include "graphics/Dash.h"

#include <QColor>
#include <QCursor>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zandrel {

class CharacterLibraryItem;
class ZDLDocument;
class CharacterModel;
class KeyedArchiver;
class KeyedUnarchiver;
class CharacterDocument;

// Names of the exceptions raised while a file is read from a newer program.
inline const QString kFileTooNewException = QStringLiteral("fileTooNew");
inline const QString kUserCancelledException = QStringLiteral("userCancelled");

// Notifications the controller posts with itself as object, and the keys of their user info.
inline const QString kMeasurementUnitsWillChangeNotification = QStringLiteral("measurementUnitsWillChange");
inline const QString kMeasurementUnitsChangedNotification = QStringLiteral("measurementUnitsChanged");
inline const QString kMeasurementUnitsDidChangeNotification = QStringLiteral("measurementUnitsDidChange");
inline const QString kConversionFactorKey = QStringLiteral("conversionFactor");
inline const QString kOldUnitsKey = QStringLiteral("oldUnits");
inline const QString kNewUnitsKey = QStringLiteral("newUnits");

inline const QString kFavoriteFontsChangedNotification = QStringLiteral("favoriteFontsChanged");
inline const QString kUpdateCharacterFileNotification = QStringLiteral("updateCharacterFile");
inline const QString kCharacterFileKey = QStringLiteral("characterFile");
// A catalog entry was added or changed: the user info is the entry, with "catalogFile".
inline const QString kCharacterCatalogUpdateNotification = QStringLiteral("characterCatalogUpdate");
// A catalog character was deleted: the user info holds its file's path as "catalogFile".
inline const QString kCatalogCharacterDeletedNotification = QStringLiteral("catalogCharacterDeleted");
// The store list was refreshed: the catalog views show or hide their store header.
inline const QString kArtStoreChangedNotification = QStringLiteral("artStoreChanged");

// User-defaults keys: the display units, and the settings registered for the application.
inline const QString kDefaultUnitsKey = QStringLiteral("defaultUnits");
inline const QString kDeveloperKey = QStringLiteral("developer");
inline const QString kDefaultDescriptionKey = QStringLiteral("defaultDescription");
inline const QString kDefaultHashtagsKey = QStringLiteral("defaultHashtags");
inline const QString kFavoriteFontsKey = QStringLiteral("favoriteFonts");
inline const QString kUnfavoriteFontsKey = QStringLiteral("unfavoriteFonts");
inline const QString kLastCheckedArtStoreKey = QStringLiteral("lastCheckedArtStore");
inline const QString kLastVisitedArtStoreKey = QStringLiteral("lastVisitedArtStore");
// Written without registration: the help comics the user hid.
inline const QString kHiddenHelpPanelsKey = QStringLiteral("hiddenHelpPanels");

// What a download reports when it ends: the whole body, a missing file (HTTP 403 or 404), or a
// failure with its description. Exactly one of them is called, once.
struct DownloadCallbacks {
    std::function<void(const QUrl& url, const QByteArray& data)> done;
    std::function<void(const QUrl& url)> fileNotFound;
    std::function<void(const QUrl& url, const QString& error)> error;
};

// The application-wide services the models and documents reach: the archive version header and the
// errors of failed reads, the dash table, the display units and the pasteboard flag. This class is
// the headless part; the application installs a subclass that adds windows, menus and fonts and
// shows the questions asked through runModalAlert.
class ZDLAppController {
public:
    // Display units.
    enum Units : int { Pixels = 0, Inches = 1, Centimetres = 2 };

    ZDLAppController();
    virtual ~ZDLAppController();
    ZDLAppController(const ZDLAppController&) = delete;
    ZDLAppController& operator=(const ZDLAppController&) = delete;

    // The installed controller; a headless one is made on first use when none was installed.
    static ZDLAppController* appController();
    // Makes the controller the installed one, destroying the one installed before. Returns it.
    static ZDLAppController* install(std::unique_ptr<ZDLAppController> controller);

    // Registers the defaults the controller relies on. Runs once, before the first controller is made.
    static void registerUserDefaults();

    // --- Archive version header ---
    // Virtual so that tests can write the headers of other program versions.
    virtual void encodeFileVersion(qint32 fileVersion, const QString& minimumAppVersion,
        qint32 losslessVersion, const QString& losslessAppVersion, KeyedArchiver& coder) const;
    // Returns when the reader may go on; raises kFileTooNewException when the file cannot be read
    // by this program, kUserCancelledException when the user declines a lossy read.
    void validateFileVersion(qint32 fileVersion, qint32 losslessVersion, KeyedUnarchiver& coder);
    // The error to report for an exception raised while a document was read. Memory that could not
    // be had says so; anything else that is not one of the version exceptions, a foreign exception
    // included, is reported as corrupt data.
    static DocumentError getErrorForException(const std::exception& exception);

    // --- Questions to the user ---
    // Runs a modal alert and returns the code of the button chosen (ModalAlert::kFirstButton...).
    // The base class asks the handler set below, or answers the first button when there is none:
    // without anyone to ask, the cautious choice is taken.
    virtual int runModalAlert(const ModalAlert& alert);
    void setModalAlertHandler(std::function<int(const ModalAlert&)> handler);
    bool hasModalAlertHandler() const { return bool(m_alertHandler); }
    // Asks the question attached to a window when there is one (the answer comes later, through the
    // completion), else modally. The base asks runModalAlert and answers at once.
    virtual void showAlert(const ModalAlert& alert, QObject* window, std::function<void(int)> completion);
    // Tells the user something, with an optional explanation; nothing to answer.
    void showAlertMessage(const QString& message, const QString& explanation = QString(),
        QObject* window = nullptr, ModalAlert::Style style = ModalAlert::Style::Warning);

    // --- Interface colours (ZDLAppControllerServices.cpp) ---
    const QColor& selectionColor() const { return m_selectionColor; }
    const QColor& reshapeSelectionColor() const { return m_reshapeSelectionColor; }
    const QColor& unspecifiedPartSelectionColor() const { return m_unspecifiedPartSelectionColor; }
    const QColor& closedTargetColor() const { return m_closedTargetColor; }
    const QColor& openTargetColor() const { return m_openTargetColor; }
    const QColor& highlightedControlTopColor() const { return m_highlightedControlTopColor; }
    const QColor& highlightedControlBottomColor() const { return m_highlightedControlBottomColor; }

    // --- Cursors ---
    // The cursor of the interface image ":/cursors/<name>.png", made on first request: the hot spot
    // asked first for a name stays.
    QCursor getCursorResource(const QString& imageName, const QPointF& hotSpot);
    QCursor marqueeCursor();

    // --- Fonts ---
    bool isAFavoriteFontFamily(const QString& family) const;
    void setFontFamily(const QString& family, bool favorite);
    // The families shipped as favourites, whatever the user chose.
    void setBuiltInFavoriteFonts(const QSet<QString>& families) { m_builtInFavoriteFonts = families; }
    // Registers the fonts shipped inside the program; the number registered.
    virtual int activateFonts();

    // --- Help comics ---
    bool isHelpPanelHidden(const QString& helpId) const;
    void hideHelpPanel(const QString& helpId);
    void showAllHelpPanels();
    void hideAllHelpPanels();

    // --- Lifetime: objects that must outlive the call that made them (downloads, sheets) ---
    void holdOnTo(const std::shared_ptr<void>& object);
    // Releases every hold on the object.
    void letGoOf(const void* object);
    qsizetype numberOfHeldObjects() const { return m_retainer.size(); }

    // --- Documents ---
    // After a plain save or an autosave in place of a parts file: catalog entries of the file are
    // refreshed and "updateCharacterFile" is posted with its path.
    virtual void characterDocSavedByUser(CharacterDocument& document);
    // Whether the file is a catalog item's.
    bool isCatalogFile(const QString& path);
    // Opens a parts file as a character document and shows it (its windows, when it is open
    // already). The headless controller has no windows and answers false.
    virtual bool openCharacterFileToEdit(const QString& path);

    // --- Dashes ---
    qsizetype numberOfDashes() const { return m_dashes.size(); }
    // An index at or past the end, a negative one included, gives entry 0, the solid line.
    const Dash& getDashAtIndex(qint64 index) const;

    // --- Measurement units ---
    // Pixels per unit: 72 to the inch, 28.346457 to the centimetre, 1 for pixels and unknown units.
    static float pixelsPerUnit(int units);
    static float getPixelsFromUnits(float length, int units);
    static float getUnitsFromPixels(float pixels, int units);
    // The length in the units, rounded to 0.01 (inches, centimetres) or 0.1, with the unit's suffix.
    static QString measurementStringFor(float pixels, int units);

    int measurementUnits() const { return m_measurementUnits; }
    // Posts the three units notifications around the change and saves the units in the defaults,
    // also when the units do not change.
    void setMeasurementUnits(int units);
    float getPixelsFromUnits(float length) const { return getPixelsFromUnits(length, m_measurementUnits); }
    float getUnitsFromPixels(float pixels) const { return getUnitsFromPixels(pixels, m_measurementUnits); }
    QString measurementStringFor(float pixels) const
    {
        return measurementStringFor(pixels, m_measurementUnits);
    }

    // --- Character catalogs (ZDLAppControllerCatalogs.cpp) ---
    using CatalogList = std::vector<std::shared_ptr<CharacterLibraryItem>>;
    // Every item of the built-in, purchased and user catalogs, read from their manifests on first
    // use and kept sorted by catalog, then by name; never read again from disk.
    const CatalogList& characterCatalog();
    // The folder of a catalog: 0 the built-in one (empty when the program has none), 2 the user's,
    // any other number the purchased one.
    QString getCatalogFolderURL(int catalog);
    // The folder of the program's own files, made when missing.
    QString getMyAppSupportFolderURL();
    // Where the application-support and built-in catalog folders are; empty restores the standard
    // places. For portable installs and tests; set before the catalog is first used.
    void setAppSupportFolder(const QString& folder) { m_appSupportFolder = folder; }
    void setBuiltInCatalogFolder(const QString& folder)
    {
        m_builtInCatalogFolder = folder;
        m_resolvedBuiltInCatalogFolder.reset();
    }

    // The manifest of a folder; nothing, after telling the user, when it cannot be used.
    std::optional<QVariantMap> getCatalogManifestFromFolder(const QString& folder);
    // False, after telling the user, when the manifest could not be written; the old one stays.
    bool saveCatalogManifest(const QVariantMap& manifest, const QString& folder);

    // The catalog item of the parts file at the path, or of the file name in a catalog; null when
    // there is none.
    std::shared_ptr<CharacterLibraryItem> getCharacterFromCatalogByURL(const QString& path);
    std::shared_ptr<CharacterLibraryItem> getCharacterFromCatalogByFilename(
        const QString& fileName, int catalog);
    void addCatalogItemsTo(CatalogList& list, int catalog);
    void sortCatalog();
    // An entry written to a catalog's manifest, with "catalogFile": its item is added or reset,
    // and "characterCatalogUpdate" is posted.
    void addCatalogEntry(const QVariantMap& entry, int catalog);
    void updateCatalogEntry(const QVariantMap& entry, const QString& folder, int catalog);

    // Writes the thumbnail and the manifest entry of a parts file just written into a catalog: the
    // entry at replacing in the manifest's items, or a new one when replacing is negative. With
    // showAlert the user is told a moment later. False when the thumbnail or manifest failed.
    bool saveCatalogAssociatedFilesFor(const CharacterModel& model, int catalog, const QString& fileName,
        int replacing, QVariantMap& manifest, QObject* window, bool showAlert);
    // Saves the document's character into a catalog under the file name, asking before it replaces
    // a file of that name. The built-in catalog is refused.
    void saveCharacter(CharacterDocument& document, QObject* window, int catalog, const QString& fileName);
    bool saveCharacter(CharacterDocument& document, int catalog, const QString& fileName, int replacing,
        QVariantMap manifest, QObject* window);
    // Installs a parts file into a catalog: named after its character, replacing the entry of that
    // name unless an art product installed it (then it takes a free name). False when nothing was
    // installed.
    bool savePartsFile(const QString& path, int catalog);
    // Enters parts files already written into a catalog folder under their chosen names: the
    // manifest is written once for all of them, with the owner's product code in their entries when
    // there is one, then the list learns of them and "characterCatalogUpdate" is posted for each.
    // False, with the reason, when the manifest could not be read or written.
    bool addInstalledPartsFiles(
        int catalog, const QList<CatalogPartsFile>& files, const QString& owner, QString* error);
    // Copies a built-in or purchased item into the user catalog, asking what to do when the user
    // catalog has a file of that name.
    void copyCharacterLibraryItem(const std::shared_ptr<CharacterLibraryItem>& item, QObject* window);
    // Removes a purchased or user item from its catalog and its files from disk (to the trash when
    // asked). False, with nothing changed, for any other item.
    bool deleteCharacter(const std::shared_ptr<CharacterLibraryItem>& item, bool movingToTrash);

    // --- Art products (ZDLAppControllerArtStore.cpp) ---
    // Refreshes the store list: the cached copy, then the store's own when it can be fetched
    // (written over the cache). No list, or one without products, leaves artStoreDict empty.
    void checkForArtStore();
    // The same with the store's list already fetched (or nothing when that failed).
    void checkForArtStore(const std::optional<QByteArray>& fetched);
    const std::optional<ArtStore::List>& artStoreDict() const { return m_artStoreList; }
    bool newProductsInStore() const { return m_newProductsInStore; }
    // The product's name and code from the store list, else from its installed manifest; empty when
    // neither knows it.
    QVariantMap artStoreInfoFor(const QString& productCode);
    // What became of a request to install a product.
    enum class ArtProductRequest { Started, StoreUnreachable, NotInStore, NoUsableVersion, NotStarted };
    // Downloads and installs the newest version of the product that this version reads; the store
    // list is refreshed first. Nothing starts when there is no list, the product is not in it or
    // none of its versions can be read here.
    ArtProductRequest downloadAndInstallArtProduct(const QString& productCode);
    // The same asked by the user: anything that did not start is told in an alert.
    void startArtProductDownloadForUser(const QString& productCode, QObject* window);
    // Refreshes the store list at the user's request and tells what came of it: the store could not
    // be reached (its address a placeholder, or not answering), has no products, or how many.
    void checkForArtStoreForUser(QObject* window);
    // Whether the last refresh of the store list reached the store.
    bool artStoreReachable() const { return m_artStoreReachable; }
    // The version of an installed product; nothing when it is not installed.
    std::optional<qint64> installedArtProductVersion(const QString& productCode);
    // The explanation of an unreachable store: which address was asked and how to set another.
    QString artStoreAddressExplanation() const;
    // Installs newer versions of the installed products, quietly.
    void checkArtProductsForUpdates();
    // The codes of the products whose manifests are in the purchased catalog.
    QStringList installedArtProducts();
    // Unpacks a downloaded product into the purchased catalog while the interface goes on; products
    // install one at a time, in the order they came. The completion gets what became of it and,
    // when it went in, the product's information.
    using ArtProductInstalled = std::function<void(const ArtProductInstallResult&, const QVariantMap& info)>;
    void installDownloadedArtProduct(const QUrl& url, const QByteArray& data, ArtProductInstalled done);
    // Where the store keeps "artstore.plist" (a folder address ending in "art-products/").
    QUrl artStoreURL() const { return m_artStoreURL; }
    void setArtStoreURL(const QUrl& url) { m_artStoreURL = url; }
    // The store's address (from the environment, the defaults, or the placeholder); setting it also
    // sets the folder of products.
    const ArtStore::StoreAddress& storeAddress() const { return m_storeAddress; }
    void setStoreAddress(const ArtStore::StoreAddress& address);
    // The store's page in the browser; invalid when the store is off.
    QUrl artStorePageURL() const;
    // The download callbacks of a new install and of an update.
    void artProductDownloadDone(const QUrl& url, const QByteArray& data);
    void artProductFileNotFound(const QUrl& url);
    void artProductDownloadGotError(const QUrl& url, const QString& error);
    void artProductUpdateDownloadDone(const QUrl& url, const QByteArray& data);
    void artProductUpdateGotError(const QUrl& url, const QString& error);

    // --- Downloads and notifications: the application supplies them ---
    // Starts downloading the address; false (and no callback) when no download could be started.
    // The headless controller has no network.
    virtual bool startDownload(const QUrl& url, const DownloadCallbacks& callbacks);
    // Fetches a small file at once, waiting for it; nothing when it could not be fetched.
    virtual std::optional<QByteArray> fetchNow(const QUrl& url);
    // Whether the desktop shows notifications; the headless controller logs them.
    virtual bool useUserNotifications() const { return true; }
    virtual void deliverUserNotification(const QString& title, const QString& text);
    // Where downloads are unpacked (the user's cache folder of the program).
    virtual QString temporaryFolder();
    // Shows that some work goes on (an art product installing), how far it is (a total of 0: of
    // unknown length), and that it ended. The headless controller shows nothing.
    virtual void showWorkProgress(const void* work, const QString& name, qint64 done, qint64 total);
    virtual void workEnded(const void* work);

    // --- Links and downloaded documents (ZDLAppControllerLinks.cpp) ---
    // Opens a "zdltp://host/path" link: the file at "https://host/path" is downloaded and opened.
    void getUrl(const QString& link);
    void zdltpDownloadDone(const QUrl& url, const QByteArray& data);
    void zdltpFileNotFound(const QUrl& url);
    void zdltpDownloadGotError(const QUrl& url, const QString& error);
    // Makes an untitled, changed document of the type from the bytes and shows it; null with the
    // error set when the bytes do not read. The headless controller has no windows.
    virtual ZDLDocument* openUntitledDocumentFromData(
        const QByteArray& data, const QString& typeName, DocumentError* error);

    // --- Pasteboard flag ---
    // True only while the program archives copied or dragged elements for the pasteboard.
    bool writingPasteboard() const { return m_writingPasteboard; }
    void setWritingPasteboard(bool writing) { m_writingPasteboard = writing; }

private:
    void makeInterfaceColors();

    QList<Dash> m_dashes;
    QColor m_selectionColor;
    QColor m_reshapeSelectionColor;
    QColor m_unspecifiedPartSelectionColor;
    QColor m_closedTargetColor;
    QColor m_openTargetColor;
    QColor m_highlightedControlTopColor;
    QColor m_highlightedControlBottomColor;
    QHash<QString, QCursor> m_cursors;
    QSet<QString> m_builtInFavoriteFonts;
    QSet<QString> m_userFavoriteFonts;
    QSet<QString> m_userUnfavoriteFonts;
    std::vector<std::shared_ptr<void>> m_retainer;
    qint32 m_measurementUnits = Pixels;
    bool m_writingPasteboard = false;
    std::function<int(const ModalAlert&)> m_alertHandler;
    CatalogList m_characterCatalog;
    bool m_catalogBuilt = false;
    QString m_appSupportFolder;
    QString m_builtInCatalogFolder;
    std::optional<QString> m_resolvedBuiltInCatalogFolder;
    std::optional<ArtStore::List> m_artStoreList;
    bool m_newProductsInStore = false;
    bool m_artStoreReachable = false;
    QUrl m_artStoreURL;
    ArtStore::StoreAddress m_storeAddress;
    // The running install first, then those waiting.
    struct ArtProductInstall {
        std::unique_ptr<ArtProductInstaller> installer;
        std::function<void(const ArtProductInstallResult&)> done;
    };
    std::vector<ArtProductInstall> m_artProductInstalls;
};

// Shorthand for ZDLAppController::appController().
inline ZDLAppController* appController()
{
    return ZDLAppController::appController();
}

} // namespace zandrel
