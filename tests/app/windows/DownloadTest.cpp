// Downloads against a web server on the loopback interface: art products installed or refused
// (with the catalog folder checked afterwards), failures of every kind reported as failures, the
// progress panel, and "zdltp" links opened as untitled documents.
#include "HttpStub.h"
#include "WindowTestSupport.h"
#include "app/DownloadPanel.h"
#include "app/WebLinks.h"
#include "app/ZDLDownloader.h"
#include "app/core/ActionNames.h"
#include "app/core/ArtStore.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "platform/XmlPropertyList.h"
#include "support/TestSupport.h"
#include "support/ZipBuilder.h"
#include "views/CatalogView.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

namespace zandrel {
namespace {

using test::HttpStub;
using test::ZipBuilder;

QByteArray partsFile(const QString& name)
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(name);
    return archivedPartsFile(*model);
}

// The program's controller, with links fetched from the loopback server instead of over https.
class LoopbackController : public AppController {
public:
    bool startDownload(const QUrl& url, const DownloadCallbacks& callbacks) override
    {
        QUrl local = url;
        if (plain && local.scheme() == QStringLiteral("https") && local.host() == QStringLiteral("127.0.0.1"))
            local.setScheme(QStringLiteral("http"));
        return AppController::startDownload(local, callbacks);
    }
    // Tests never leave the machine: any other host is unreachable.
    std::optional<QByteArray> fetchNow(const QUrl& url) override
    {
        if (url.host() != QStringLiteral("127.0.0.1"))
            return std::nullopt;
        return AppController::fetchNow(url);
    }
    QString temporaryFolder() override { return m_temporary; }
    QString m_temporary;
    // Whether https links to the loopback server are fetched over plain http.
    bool plain = true;
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ZDLDownloader::transferTimeoutMs = 400;
        auto made = std::make_unique<LoopbackController>();
        made->m_temporary = dir.filePath("cache");
        controller = static_cast<LoopbackController*>(ZDLAppController::install(std::move(made)));
        controller->applicationDidFinishLaunching();
        controller->setAppSupportFolder(dir.filePath("support"));
        controller->setBuiltInCatalogFolder(dir.filePath("none"));
        controller->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert.message + " | " + alert.informativeText);
            styles.append(alert.style);
            return answers.isEmpty() ? ModalAlert::kFirstButton : answers.takeFirst();
        });
    }
    void TearDown() override
    {
        ZDLDownloader::transferTimeoutMs = 60000;
        ZDLDownloader::totalTimeoutMs = 30 * 60 * 1000;
        controller->documentController().closeAllDocuments();
        // Replies and the network thread's objects are deleted later: let that happen while the
        // network thread still runs, so nothing outlives the test.
        QTest::qWait(50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        ZDLAppController::install(std::make_unique<ZDLAppController>());
    }

    // Runs the event loop until the condition holds or a few seconds pass.
    static bool waitFor(const std::function<bool()>& condition)
    {
        const QDeadlineTimer deadline(8000);
        while (!condition() && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return condition();
    }

    void installFrom(const QUrl& url)
    {
        controller->startDownload(url,
            { [this](const QUrl& u, const QByteArray& d) { controller->artProductDownloadDone(u, d); },
                [this](const QUrl& u) { controller->artProductFileNotFound(u); },
                [this](const QUrl& u, const QString& e) { controller->artProductDownloadGotError(u, e); } });
    }

    QStringList catalogFiles()
    {
        return QDir(controller->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir dir;
    HttpStub server;
    LoopbackController* controller = nullptr;
    QStringList alerts;
    QList<ModalAlert::Style> styles;
    QList<int> answers;
};

TEST_F(DownloadTest, ProductsInstallOnlyFromWholeGoodAnswers)
{
    const QByteArray good = ZipBuilder().add("Ann.parts", partsFile("Ann")).build();
    const QByteArray hostile = ZipBuilder()
                                   .add("Ann.parts", partsFile("Ann"))
                                   .add("link", "/etc", ZipBuilder::kSymlinkMode)
                                   .build();
    const QByteArray big(300 << 10, 'x');
    struct Case {
        const char* what;
        HttpStub::Response response;
        qint64 maxBytes;
        QStringList catalog;
        QString alert;
    };
    const Case cases[] = {
        { "good", { 200, good }, ZDLDownloader::kDefaultMaxBytes,
            { "Ann.jpg", "Ann.parts", "manifest.plist" },
            "Downloaded and installed the purchased comic art product “pk.” | " },
        { "hostile zip", { 200, hostile }, ZDLDownloader::kDefaultMaxBytes, {},
            "The comic art product “pk” could not be installed. | The archive was refused: “link” is a "
            "link" },
        { "not found", { 404, "<html>gone</html>" }, ZDLDownloader::kDefaultMaxBytes, {},
            "The comic art product “pk” is not in the Quorvane Store. | File not found." },
        { "forbidden", { 403, "" }, ZDLDownloader::kDefaultMaxBytes, {},
            "The comic art product “pk” is not in the Quorvane Store. | File not found." },
        { "server error", { 500, good }, ZDLDownloader::kDefaultMaxBytes, {},
            "The comic art product could not be downloaded. | The server answered 500 Status." },
        { "announced too large", { 200, big }, 100 << 10, {},
            "The comic art product could not be downloaded. | The file is larger than 100 KiB." },
        { "too large unannounced", { 200, big, -1, false }, 100 << 10, {},
            "The comic art product could not be downloaded. | The file is larger than 100 KiB." },
        { "truncated", { 200, good, good.size() + 100 }, ZDLDownloader::kDefaultMaxBytes, {},
            "The comic art product could not be downloaded. | " },
        { "stalled", { 200, good, -1, true, 10 }, ZDLDownloader::kDefaultMaxBytes, {},
            "The comic art product could not be downloaded. | The server did not answer in time." },
    };
    for (const Case& c : cases) {
        QDir(dir.filePath("support")).removeRecursively();
        alerts.clear();
        styles.clear();
        server.route("/pk-2.zip", c.response);
        // Sizes are capped per download; the controller's own choice is covered by its callers.
        ZDLDownloader::start(QUrl(server.url("/pk-2.zip")),
            { [this](const QUrl& u, const QByteArray& d) { controller->artProductDownloadDone(u, d); },
                [this](const QUrl& u) { controller->artProductFileNotFound(u); },
                [this](const QUrl& u, const QString& e) { controller->artProductDownloadGotError(u, e); } },
            c.maxBytes);
        ASSERT_TRUE(waitFor([this] { return !alerts.isEmpty(); })) << c.what;
        EXPECT_TRUE(alerts.first().startsWith(c.alert)) << c.what << ": " << alerts.first().toStdString();
        // What was installed is told; what failed warns.
        EXPECT_EQ(styles.first(),
            c.catalog.isEmpty() ? ModalAlert::Style::Warning : ModalAlert::Style::Informational)
            << c.what;
        EXPECT_EQ(catalogFiles(), c.catalog) << c.what;
        EXPECT_EQ(
            QDir(dir.filePath("cache")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList())
            << c.what;
        EXPECT_TRUE(waitFor([this] { return controller->numberOfHeldObjects() == 0; })) << c.what;
    }
    // Failed downloads left their panes with the reason, until closed.
    DownloadPanel* panel = DownloadPanel::shared();
    ASSERT_GE(panel->paneCount(), 1);
    for (DownloadPane* pane : panel->panes()) {
        EXPECT_TRUE(pane->showsError());
        EXPECT_EQ(pane->name(), "pk-2.zip");
        QTest::mouseClick(pane->closeButton(), Qt::LeftButton);
    }
    EXPECT_EQ(panel->paneCount(), 0);
    EXPECT_TRUE(panel->isHidden());
}

// Every entry under the folder, with its size.
QStringList treeOf(const QString& folder)
{
    QStringList tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        tree.append(QDir(folder).relativeFilePath(info.filePath()) + " " + QString::number(info.size()));
    }
    tree.sort();
    return tree;
}

// A link served by an https server with a certificate of its own (made for the tests, which trust
// it) that misbehaves in every way it can: each download ends, with what the user is told, and
// nothing is written anywhere.
TEST_F(DownloadTest, HostileHttpsServersAreRefusedOrBoundedWithAClearMessage)
{
    HttpStub::trustCertificate();
    HttpStub secure(HttpStub::Kind::Tls);
    ZDLDownloader::totalTimeoutMs = 1500;
    controller->plain = false;
    const QByteArray ann = partsFile("Ann");
    const QByteArray port = QByteArray::number(secure.serverPort());
    using Response = HttpStub::Response;
    secure.route("/Ann.parts", { .body = ann });
    const QString unable = "Unable to download Zandrel file. | ";
    const QString saveQuestion
        = "Would you like to save the downloaded parts file to Vivaviv Izazuda in your user catalog? | ";
    struct Case {
        const char* what;
        Response response;
        QString alert;
        qint64 maxBytes = qint64(128) << 20;
    };
    const Case cases[] = {
        { "served", { .body = ann }, saveQuestion },
        { "moved within the server", { .status = 301, .location = "/Ann.parts" }, saveQuestion },
        { "longer than announced", { .body = ann + QByteArray(1 << 20, 'x'), .statedLength = ann.size() },
            saveQuestion },
        { "sent to a file", { .status = 302, .location = "file:///etc/passwd" },
            unable
                + "The server sent the download on to “file:///etc/passwd”, which is not an https address." },
        { "sent to plain http", { .status = 307, .location = "http://127.0.0.1:" + port + "/Ann.parts" },
            unable + "The server sent the download on to “http://127.0.0.1:" + port
                + "/Ann.parts”, which is not an https address." },
        { "sent to another scheme", { .status = 302, .location = "ftp://127.0.0.1/Ann.parts" },
            unable
                + "The server sent the download on to “ftp://127.0.0.1/Ann.parts”, which is not an https "
                  "address." },
        { "sent to another server", { .status = 302, .location = "https://localhost:" + port + "/Ann.parts" },
            unable + "The server sent the download on to another server, “https://localhost:" + port + "”." },
        { "sent round and round", { .status = 302, .location = "/case.parts" },
            unable + "The server sent the download on more than 10 times." },
        { "never ends", { .body = QByteArray(64 << 10, 'x'), .endless = true },
            unable + "The file is larger than 1 MiB.", 1 << 20 },
        { "trickles", { .body = QByteArray(64 << 10, 'x'), .trickleBytes = 64, .trickleMs = 20 },
            unable + "The download was still not complete after 1.5 seconds." },
        { "never answers", { .silent = true }, unable + "The server did not answer in time." },
        { "endless error page", { .status = 404, .body = QByteArray(64 << 10, 'x'), .endless = true },
            unable + "File not found." },
    };
    const QStringList before = treeOf(dir.path());
    answers.clear();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        alerts.clear();
        answers = { ModalAlert::kSecondButton };
        secure.route("/case.parts", c.response);
        ASSERT_TRUE(ZDLDownloader::start(QUrl(secure.url("/case.parts")),
            { [this](const QUrl& u, const QByteArray& d) { controller->zdltpDownloadDone(u, d); },
                [this](const QUrl& u) { controller->zdltpFileNotFound(u); },
                [this](const QUrl& u, const QString& e) { controller->zdltpDownloadGotError(u, e); } },
            c.maxBytes));
        ASSERT_TRUE(waitFor([this] { return controller->numberOfHeldObjects() == 0; }));
        EXPECT_EQ(alerts.value(0), c.alert);
        const QList<ZDLDocument*> opened = controller->documentController().documents();
        if (c.alert == saveQuestion) {
            ASSERT_EQ(opened.size(), 1);
            const auto* character = dynamic_cast<CharacterDocument*>(opened.first());
            ASSERT_TRUE(character);
            EXPECT_EQ(character->model()->characterName(), "Ann");
        } else {
            EXPECT_TRUE(opened.isEmpty());
        }
        controller->documentController().closeAllDocuments();
        // The download's connection is closed, whatever the server would still send.
        EXPECT_TRUE(waitFor([&secure] { return secure.openConnections() == 0; }));
    }
    // One request a case, and the first and ten more of the one sent round and round.
    EXPECT_EQ(
        secure.requested.count("/case.parts"), qsizetype(std::size(cases)) + ZDLDownloader::kMaxRedirects);
    EXPECT_EQ(treeOf(dir.path()), before);
    for (DownloadPane* pane : DownloadPanel::shared()->panes())
        QTest::mouseClick(pane->closeButton(), Qt::LeftButton);
}

TEST_F(DownloadTest, TheStoreListIsFetchedWithinItsCap)
{
    const QByteArray list
        = writeXmlPropertyList(QVariantMap { { ArtStore::kProductsKey,
                                   QVariantList { QVariantMap { { ArtStore::kProductCodeKey, "pk" },
                                       { ArtStore::kProductNameKey, "Pack" } } } } },
            nullptr);
    controller->setArtStoreURL(QUrl(server.url("/art-products/")));
    server.route("/art-products/artstore.plist", { 200, list });
    controller->checkForArtStore();
    ASSERT_TRUE(controller->artStoreDict());
    EXPECT_EQ(controller->artStoreInfoFor("pk").value(ArtStore::kProductNameKey), "Pack");
    EXPECT_TRUE(QFile::exists(dir.filePath("support/artstore.plist")));
    // Too large, or no answer: the cached copy stays in use.
    server.route("/art-products/artstore.plist", { 200, QByteArray(ArtStore::kMaxListBytes + 10, ' ') });
    controller->checkForArtStore();
    server.route("/art-products/artstore.plist", { 200, list, -1, true, 5 });
    controller->checkForArtStore();
    ASSERT_TRUE(controller->artStoreDict());
    EXPECT_EQ(controller->artStoreDict()->products.size(), 1);
    EXPECT_EQ(DownloadPanel::shared()->paneCount(), 0);
}

TEST_F(DownloadTest, LinksOpenUntitledDocuments)
{
    server.route("/files/Ann%20Lee.PARTS", { 200, partsFile("Ann/Lee") });
    server.route("/files/bad.parts", { 200, "not a parts file" });
    server.route("/files/notes.txt", { 200, "hello" });
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());

    answers = { ModalAlert::kFirstButton };
    controller->getUrl("zdltp://" + host + "/files/Ann%20Lee.PARTS");
    ASSERT_TRUE(waitFor([this] { return !controller->documentController().documents().isEmpty(); }));
    ZDLDocument* document = controller->documentController().documents().first();
    auto* character = dynamic_cast<CharacterDocument*>(document);
    ASSERT_TRUE(character);
    EXPECT_TRUE(character->model()->characterName() == "Ann/Lee");
    EXPECT_EQ(alerts.value(0),
        "Would you like to save the downloaded parts file to Vivaviv Izazuda in your user catalog? | ");
    // Saved: the untitled document became the user catalog's file, named with the slash turned.
    EXPECT_EQ(document->filePath(),
        QDir(controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog)).filePath("Ann-Lee.parts"));

    // The catalog's "saved" message comes a moment later; it must not count as the next alert.
    ASSERT_TRUE(waitFor([this] { return alerts.size() >= 2; }));
    EXPECT_TRUE(alerts.at(1).startsWith("The character file “Ann-Lee.parts” was saved to"));
    alerts.clear();
    controller->getUrl("zdltp://" + host + "/files/bad.parts");
    ASSERT_TRUE(waitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_TRUE(alerts.first().startsWith("The downloaded file “bad.parts” could not be opened."))
        << alerts.first().toStdString();
    alerts.clear();
    controller->getUrl("zdltp://" + host + "/files/missing.comic");
    ASSERT_TRUE(waitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts.first(), "Unable to download Zandrel file. | File not found.");
    controller->getUrl("zdltp://" + host + "/files/notes.txt");
    ASSERT_TRUE(waitFor([this] { return controller->numberOfHeldObjects() == 0; }));
    EXPECT_EQ(controller->documentController().documents().size(), 1);
}

// A link of ours that fails is reported however it fails, a malformed one as well as one whose file
// is missing; links of other schemes, which the desktop never sends here, are only logged.
TEST_F(DownloadTest, MalformedLinksAreReportedAndOtherSchemesOnlyLogged)
{
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    const QString unable = "Unable to download Zandrel file. | ";
    const QString invalid = "The link “%1” is not valid: a Zandrel link is “zdltp://” followed by a "
                            "server and the path of a file.";
    const QString longLink = "zdltp://" + QString(300, 'a') + "/%zz.comic";
    struct Case {
        QString link;
        QString alert;
        QString log;
    };
    const Case cases[] = {
        { "zdltp://host/%zz%G1%.comic", unable + invalid.arg("zdltp://host/%zz%G1%.comic"),
            "URL is invalid (no host)" },
        { "zdltp://file:///etc/passwd", unable + invalid.arg("zdltp://file:///etc/passwd"),
            "URL is invalid (no protocol)" },
        { "zdltp://" + host + "/a://b.parts", unable + invalid.arg("zdltp://" + host + "/a://b.parts"),
            "URL is invalid (no protocol)" },
        { "Zdltp:x.comic", unable + invalid.arg("Zdltp:x.comic"), "URL is invalid (no protocol)" },
        { "zdltp:///x.comic", unable + invalid.arg("zdltp:///x.comic"), "URL is invalid (no host)" },
        // Shown on one line and cut short.
        { "zdltp://h\n\u202e/x.comic", unable + invalid.arg("zdltp://h  /x.comic"),
            "URL is invalid (no host)" },
        { longLink, unable + invalid.arg(longLink.left(60) + "…" + longLink.right(60)),
            "URL is invalid (no host)" },
        // A scheme is the same in capitals.
        { "ZDLTP://" + host + "/files/missing.comic", unable + "File not found.",
            "Open comic file: " + host + "/files/missing.comic" },
        { "http://" + host + "/files/Ann%20Lee.PARTS", "", "Unsupported protocol." },
        { "no protocol", "", "URL is invalid (no protocol)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link.toStdString());
        alerts.clear();
        Log::Capture log;
        controller->getUrl(c.link);
        ASSERT_TRUE(waitFor([this] { return controller->numberOfHeldObjects() == 0; }));
        EXPECT_EQ(alerts, c.alert.isEmpty() ? QStringList() : QStringList { c.alert });
        EXPECT_TRUE(log.lines().contains(c.log)) << log.lines().join('\n').toStdString();
    }
    EXPECT_TRUE(controller->documentController().documents().isEmpty());
}

// Names from the network make file names by one rule wherever they do: a link's save into the user
// catalog and a product's install into the purchased catalog give the same names, never a hidden
// file, a path, a control or direction character, or a name longer than the system takes. A name
// that leaves nothing is not offered for saving and is left out of a product.
TEST_F(DownloadTest, CharacterNamesMakeSafeFileNamesWhereverTheyGo)
{
    QString emoji;
    for (int i = 0; i < 60; ++i)
        emoji += QString::fromUcs4(U"\U0001F600", 1);
    const std::pair<QString, QString> names[] = {
        { "Bob/Sue", "Bob-Sue" },
        { "Ok\nChar", "Ok Char" },
        { "Tab\tand\u0085next\u2028", "Tab and next" },
        { "\u202Etxt.exe", "txt.exe" },
        { "Left\u2067Right\u2069\u200F", "LeftRight" },
        { "z\u200Dw\u00AD\uFEFF\u2060\u200B", "zw" },
        { "Cafe\u0301", "Caf\u00E9" },
        { "a\\b", "a-b" },
        { ".hidden", "hidden" },
        { "../../x", "-..-x" },
        { "  Ann  ", "Ann" },
        { QString(300, QChar(0xE9)), QString(100, QChar(0xE9)) },
        { emoji, emoji.left(100) },
        { "..", "" },
        { "\u2066\n. ", "" },
    };
    const QString host = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    const QDir user(controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog));
    ZipBuilder product;
    QStringList expected;
    qsizetype opened = 0;
    for (const auto& [name, base] : names) {
        SCOPED_TRACE(name.toStdString());
        const QString path = QStringLiteral("/n%1.parts").arg(opened);
        server.route(path, { 200, partsFile(name) });
        product.add(path.mid(1), partsFile(name));
        alerts.clear();
        answers = { ModalAlert::kFirstButton };
        controller->getUrl("zdltp://" + host + path);
        ASSERT_TRUE(waitFor([&] { return controller->documentController().documents().size() > opened; }));
        auto* character
            = dynamic_cast<CharacterDocument*>(controller->documentController().documents().at(opened++));
        ASSERT_TRUE(character);
        if (base.isEmpty()) {
            EXPECT_EQ(alerts.filter("Would you like"), QStringList());
            EXPECT_EQ(character->proposedFileName(), QString());
            continue;
        }
        EXPECT_EQ(character->filePath(), user.filePath(base + ".parts"));
        expected << base + ".jpg" << base + ".parts";
    }
    expected << "manifest.plist";
    expected.sort();
    QStringList saved = user.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    saved.sort();
    EXPECT_EQ(saved, expected);

    server.route("/pk-1.zip", { 200, product.build() });
    ASSERT_TRUE(waitFor([this] { return controller->numberOfHeldObjects() == 0; }));
    alerts.clear();
    installFrom(QUrl(server.url("/pk-1.zip")));
    // The catalog's "saved" messages may still come in meanwhile.
    ASSERT_TRUE(waitFor([this] { return !alerts.filter("comic art product").isEmpty(); }));
    EXPECT_EQ(alerts.filter("comic art product").first(),
        "Downloaded and installed the purchased comic art product “pk.” | 2 of its 15 parts files were left "
        "out: 2 have character names that cannot name a file.");
    QStringList installed = catalogFiles();
    installed.sort();
    EXPECT_EQ(installed, expected);
}

TEST_F(DownloadTest, UnsavedLinkDocumentIsUntitledAndChanged)
{
    server.route("/Bo.parts", { 200, partsFile("Bo") });
    answers = { ModalAlert::kSecondButton };
    controller->getUrl(QStringLiteral("zdltp://127.0.0.1:%1/Bo.parts").arg(server.serverPort()));
    ASSERT_TRUE(waitFor([this] { return !controller->documentController().documents().isEmpty(); }));
    ZDLDocument* document = controller->documentController().documents().first();
    EXPECT_TRUE(document->filePath().isEmpty());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->fileType(), kCharacterDocumentType);
    EXPECT_FALSE(QDir(controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog)).exists("Bo.parts"));
}

TEST_F(DownloadTest, ThePanelShowsProgress)
{
    server.route("/Big%20Pack-3.zip", { 200, QByteArray(200 << 10, 'x'), -1, true, 150 << 10 });
    ZDLDownloader::transferTimeoutMs = 3000;
    installFrom(QUrl(server.url("/Big%20Pack-3.zip")));
    DownloadPanel* panel = DownloadPanel::shared();
    ASSERT_TRUE(waitFor(
        [panel] { return panel->paneCount() == 1 && panel->panes().first()->gauge()->value() == 150; }));
    DownloadPane* pane = panel->panes().first();
    EXPECT_EQ(pane->name(), "Big Pack-3.zip");
    EXPECT_EQ(pane->gauge()->maximum(), 200);
    EXPECT_TRUE(panel->isVisible());
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        panel->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT"));
    ASSERT_TRUE(waitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_TRUE(pane->showsError());
    EXPECT_EQ(pane->errorText(), "The server did not answer in time.");
    QTest::mouseClick(pane->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(panel->isHidden());
}

TEST_F(DownloadTest, ImportsOpenUntitledCharactersAndReportWhatDoesNotRead)
{
    const QString bad = dir.filePath("bad.zdlprt");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x01\x02 not a legacy parts file");
    file.close();
    QStringList filters;
    QString chosen;
    DocumentController::setImportPathChooser([&](QWidget*, const QString& filter) {
        filters.append(filter);
        return chosen;
    });
    DocumentController& documents = controller->documentController();
    // Cancelled: nothing.
    documents.tryToPerform(kImportAction, {});
    EXPECT_TRUE(documents.documents().isEmpty());

    chosen = test::sourcePath("tests/charmodel/data/sample.char");
    documents.tryToPerform(kImportAction, {});
    ASSERT_EQ(documents.documents().size(), 1);
    auto* imported = dynamic_cast<CharacterDocument*>(documents.documents().first());
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->model()->characterName(), "Pip");
    EXPECT_TRUE(imported->filePath().isEmpty());
    EXPECT_TRUE(imported->isDocumentEdited());
    EXPECT_TRUE(documents.windowFor(imported)->isVisible());

    chosen = bad;
    documents.tryToPerform(kImport86PartsAction, {});
    EXPECT_EQ(documents.documents().size(), 1);
    EXPECT_EQ(alerts.value(0), "The document “bad.zdlprt” could not be opened. | The data is corrupted.");
    EXPECT_TRUE(filters.value(0).contains("*.char"));
    EXPECT_TRUE(filters.value(2).contains("*.zdlprt"));
    DocumentController::setImportPathChooser({});
}

// The store list the loopback store serves: one product, its archive at the server.
QByteArray storeList(const HttpStub& server, const QDateTime& updated, const QString& scheme = "https")
{
    const QVariantMap version { { ArtStore::kVersionKey, qint64(2) },
        { ArtStore::kFileVersionKey, qint64(7) },
        { ArtStore::kUrlKey,
            QStringLiteral("%1://127.0.0.1:%2/pk-2.zip").arg(scheme).arg(server.serverPort()) } };
    const QVariantMap tooNew { { ArtStore::kVersionKey, qint64(1) },
        { ArtStore::kFileVersionKey, qint64(99) },
        { ArtStore::kUrlKey,
            QStringLiteral("%1://127.0.0.1:%2/far-1.zip").arg(scheme).arg(server.serverPort()) } };
    return writeXmlPropertyList(
        QVariantMap { { ArtStore::kUpdatedKey, updated },
            { ArtStore::kProductsKey,
                QVariantList {
                    QVariantMap { { ArtStore::kProductCodeKey, "pk" }, { ArtStore::kProductNameKey, "Pack" },
                        { ArtStore::kVersionsKey, QVariantList { version } } },
                    QVariantMap { { ArtStore::kProductCodeKey, "far" },
                        { ArtStore::kProductNameKey, "Far Future" },
                        { ArtStore::kVersionsKey, QVariantList { tooNew } } } } } },
        nullptr);
}

TEST_F(DownloadTest, TheCatalogsStoreHeaderVisitsTheStoreAndDownloadsItsProducts)
{
    QList<QUrl> opened;
    WebLinks::setUrlOpener([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    UserDefaults::standard().set(kLastVisitedArtStoreKey, QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC));
    server.route("/art-products/artstore.plist", { 200, storeList(server, QDateTime::currentDateTimeUtc()) });
    server.route("/pk-2.zip",
        { 200,
            ZipBuilder()
                .add("Ann.parts", partsFile("Ann"))
                .add("pk-manifest.plist",
                    writeXmlPropertyList(
                        QVariantMap { { ArtStore::kProductCodeKey, "pk" },
                            { ArtStore::kProductNameKey, "Pack" }, { ArtStore::kVersionKey, qint64(2) } },
                        nullptr))
                .build() });
    controller->setStoreAddress(ArtStore::storeAddressFrom(
        QString(), QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())));
    ZDLDocument* comic = controller->documentController().makeUntitledDocument(kComicDocumentType);
    DocumentWindow* window = controller->documentController().windowFor(comic);
    ASSERT_TRUE(window);
    window->resize(1000, 800);
    auto* catalog = window->findChild<CatalogView*>();
    ASSERT_TRUE(catalog);
    // No store list yet: no header.
    EXPECT_FALSE(catalog->storeHeader());
    EXPECT_EQ(catalog->topMargin(), CatalogView::kTopMargin);

    // The first refresh caches the list, the second finds it newer than the last visit.
    controller->checkForArtStore();
    controller->checkForArtStore();
    ASSERT_TRUE(catalog->storeHeader());
    QApplication::processEvents();
    EXPECT_EQ(catalog->topMargin(), 52);
    ASSERT_TRUE(catalog->newProductsNote());
    EXPECT_TRUE(catalog->newProductsNote()->isVisible());
    EXPECT_EQ(catalog->newProductsNote()->text(), "New products available!");
    const QRect header = catalog->storeHeader()->geometry();
    EXPECT_LE(std::abs(header.center().x() - catalog->width() / 2), 1);
    EXPECT_EQ(header.y(), 8);

    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT"));
    QTest::mouseClick(catalog->visitStoreButton(), Qt::LeftButton);
    EXPECT_EQ(opened, QList<QUrl> { QUrl(server.url("/art-store.html")) });
    EXPECT_GT(UserDefaults::standard().date(kLastVisitedArtStoreKey).date().year(), 2020);

    // The download menu lists what the store has: only what this program reads can be chosen.
    QMenu* menu = catalog->downloadButton()->menu();
    catalog->fillDownloadMenu(menu);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(0)->text(), "Pack");
    EXPECT_TRUE(menu->actions().at(0)->isEnabled());
    EXPECT_EQ(menu->actions().at(1)->text(), "Far Future (needs a newer Zandrel)");
    EXPECT_FALSE(menu->actions().at(1)->isEnabled());
    QTimer::singleShot(0, [menu] {
        // The menu is up under the button: the product is chosen from it.
        menu->actions().at(0)->trigger();
        menu->close();
    });
    QTest::mouseClick(catalog->downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts.first(), "Downloaded and installed the purchased comic art product “Pack.” | ");
    EXPECT_TRUE(catalogFiles().contains("Ann.parts"));
    catalog->fillDownloadMenu(menu);
    EXPECT_EQ(menu->actions().at(0)->text(), "Pack (installed)");
    EXPECT_FALSE(menu->actions().at(0)->isEnabled());

    // The store stops answering and its list is lost: the user is told, not left guessing.
    alerts.clear();
    QFile::remove(dir.filePath("support/artstore.plist"));
    server.route("/art-products/artstore.plist", { 500, "down" });
    controller->startArtProductDownloadForUser("pk", window);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith(
        "The Quorvane Store could not be reached. | Zandrel looked for the store at "
        + server.url("/art-products/") + " (from artStoreAddress)"))
        << alerts.first().toStdString();
    EXPECT_FALSE(catalog->storeHeader());
    EXPECT_EQ(catalog->topMargin(), CatalogView::kTopMargin);
    WebLinks::setUrlOpener({});
}

// A store tried out on one's own machine over plain http, as the program is shipped: its list and
// its product come from it as they are, nothing rewritten on the way.
TEST_F(DownloadTest, APlainHttpStoreOnThisMachineServesItsListAndItsProducts)
{
    controller->plain = false;
    server.route("/art-products/artstore.plist",
        { 200, storeList(server, QDateTime::currentDateTimeUtc(), QStringLiteral("http")) });
    server.route("/pk-2.zip", { 200, ZipBuilder().add("Ann.parts", partsFile("Ann")).build() });
    controller->setStoreAddress(ArtStore::storeAddressFrom(
        QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()), QString()));
    controller->startArtProductDownloadForUser("pk", nullptr);
    ASSERT_TRUE(waitFor([this] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts.first(), "Downloaded and installed the purchased comic art product “Pack.” | ");
    EXPECT_EQ(server.requested, (QStringList { "/art-products/artstore.plist", "/pk-2.zip" }));
    EXPECT_TRUE(catalogFiles().contains("Ann.parts"));
}

TEST_F(DownloadTest, ThePlaceholderStoreIsNamedAsSuchWhenTheUserAsks)
{
    controller->setStoreAddress(ArtStore::storeAddressFrom(QString(), QString()));
    EXPECT_TRUE(controller->storeAddress().isPlaceholder());
    EXPECT_EQ(controller->artStoreURL(), QUrl(ArtStore::kPlaceholderStoreAddress + "art-products/"));
    controller->tryToPerform(kCheckForArtStoreAction, {});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first(),
        "The Quorvane Store could not be reached. | This copy of Zandrel has no store set up: "
        "https://store.zandrel.org/ is a placeholder address. Set the store's address in the "
        "“artStoreAddress” setting or the ZANDREL_ART_STORE environment variable.");
    // An address that is not https turns the store off; asking says why.
    alerts.clear();
    controller->setStoreAddress(ArtStore::storeAddressFrom(QStringLiteral("ftp://example.org/"), QString()));
    EXPECT_FALSE(controller->artStoreURL().isValid());
    controller->tryToPerform(kCheckForArtStoreAction, {});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith("The Quorvane Store could not be reached. | The store's address, "
                                          "“ftp://example.org/”, is not an https address."));
}

} // namespace
} // namespace zandrel
