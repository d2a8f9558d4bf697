// The art store: its list read and cached, the choice of versions, and products installed from
// downloaded archives into a purchased catalog in a temporary folder, hostile archives included.
// After every install the catalog folder holds exactly what it should and the temporary folder
// nothing.
#include "app/core/ArtStore.h"

#include "CharacterFixtures.h"
#include "app/core/ArtProductInstaller.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ZDLAppController.h"
#include "app/core/ZipDirectory.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "platform/XmlPropertyList.h"
#include "support/ZipBuilder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <sys/inotify.h>
#include <unistd.h>

namespace zandrel {
namespace {

using test::ZipBuilder;

QByteArray plist(const QVariant& value)
{
    QString error;
    return writeXmlPropertyList(value, &error);
}

QVariantMap version(qint64 number, qint64 fileVersion, const QString& url)
{
    return { { ArtStore::kVersionKey, number }, { ArtStore::kFileVersionKey, fileVersion },
        { ArtStore::kUrlKey, url } };
}

QByteArray storeList(const QVariantList& products, const QDateTime& updated = {})
{
    QVariantMap list { { ArtStore::kProductsKey, products } };
    if (updated.isValid())
        list.insert(ArtStore::kUpdatedKey, updated);
    return plist(list);
}

QVariantMap product(const QString& code, const QString& name, const QVariantList& versions)
{
    return { { ArtStore::kProductCodeKey, code }, { ArtStore::kProductNameKey, name },
        { ArtStore::kVersionsKey, versions } };
}

TEST(ArtStoreListTest, VersionsAreChosenByNumberAndFileVersion)
{
    const QVariantList versions { version(1, 7, "https://s/abc-1.zip"), version(3, 8, "https://s/abc-3.zip"),
        version(2, 7, "https://s/abc-2.zip"), version(2, 7, "https://s/abc-2b.zip") };
    const auto list = ArtStore::parseList(storeList({ product("abc", "ABC", versions) }), nullptr);
    ASSERT_TRUE(list);
    const ArtStore::Product& abc = list->products.at(0);
    struct Case {
        qint64 start;
        qint64 maxFileVersion;
        QString url; // empty: nothing to download
    };
    const Case cases[] = {
        { 0, 7, "https://s/abc-2.zip" }, // 3 needs file version 8; of the two 2s the first
        { 1, 7, "https://s/abc-2.zip" }, // an update from 1
        { 2, 7, "" }, // installed 2 is the newest readable
        { 0, 8, "https://s/abc-3.zip" },
        { 0, 6, "" },
    };
    for (const Case& c : cases) {
        const auto chosen = ArtStore::chooseVersion(abc, c.start, c.maxFileVersion);
        EXPECT_EQ(chosen ? chosen->url.toString() : QString(), c.url) << c.start << " " << c.maxFileVersion;
    }
}

TEST(ArtStoreListTest, ProductCodesComeFromTheAddressAndNeverLeaveAFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        { "https://s/p/abc-2.zip", "abc" },
        { "https://s/p/abc.zip", "abc" },
        { "https://s/p/a.b_c-9-x.zip", "a.b_c" },
        { "https://s/p/..-1.zip", "" },
        // An encoded separator ends the name as a plain one does.
        { "https://s/p/%2E%2E%2Fetc-1.zip", "etc" },
        { "https://s/p/a%2Fb-1.zip", "b" },
        { "https://s/p/%2E%2E.zip", "" },
        { "https://s/p/", "" },
        { "https://s/p/-1.zip", "" },
        { "https://s/p/caf%C3%A9.zip", "" },
    };
    for (const auto& [url, code] : cases)
        EXPECT_EQ(ArtStore::productCodeFromURL(QUrl(QString::fromLatin1(url))), QString::fromLatin1(code))
            << url;
}

TEST(ArtStoreListTest, EntriesOfTheWrongKindAreLeftOut)
{
    QVariantMap wrongTypes = product("typed", "T", { version(1, 1, "https://s/typed.zip") });
    wrongTypes.insert(ArtStore::kVersionsKey,
        QVariantList { QVariantMap { { ArtStore::kVersionKey, "1" }, { ArtStore::kFileVersionKey, 1 },
                           { ArtStore::kUrlKey, "https://s/t.zip" } },
            version(2, 1, "http://s/plain.zip"), version(3, 1, "file:///etc/passwd"), QString("x"),
            version(4, 1, "https://s/good.zip") });
    const auto list = ArtStore::parseList(storeList({ product("../x", "Bad", {}), QString("not a product"),
                                              wrongTypes, product("empty", "E", {}) }),
        nullptr);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->products.size(), 2);
    EXPECT_EQ(list->products.at(0).code, "typed");
    ASSERT_EQ(list->products.at(0).versions.size(), 1);
    EXPECT_EQ(list->products.at(0).versions.at(0).version, 4);
    EXPECT_TRUE(list->products.at(1).versions.isEmpty());

    QString error;
    EXPECT_FALSE(ArtStore::parseList(QByteArray(ArtStore::kMaxListBytes + 1, ' '), &error));
    EXPECT_FALSE(ArtStore::parseList(plist(QVariantList {}), &error));
    EXPECT_FALSE(ArtStore::parseList("<plist><dict><key>products</key><array>", &error));
}

TEST(ZipDirectoryTest, HostileEntriesAreRefusedBeforeUnpacking)
{
    constexpr quint8 kUnix = 3, kDos = 0, kAtari = 5, kBeOS = 16, kAtheOS = 30;
    struct Case {
        const char* name;
        quint32 mode;
        const char* refusal; // empty: accepted
        quint8 host = kUnix;
    };
    const Case cases[] = {
        { "a.parts", ZipBuilder::kFileMode, "" },
        { "dir/", ZipBuilder::kDirectoryMode, "" },
        { "dir/b.parts", ZipBuilder::kFileMode, "" },
        { "dos.parts", 0, "", kDos },
        { "dos-dir/", 0, "", kDos },
        { "beos.parts", ZipBuilder::kFileMode, "", kBeOS },
        { "../escape.parts", ZipBuilder::kFileMode, "leaves its folder" },
        { "good/../../escape.parts", ZipBuilder::kFileMode, "leaves its folder" },
        { "/tmp/abs.parts", ZipBuilder::kFileMode, "is not a relative name" },
        { "..\\escape.parts", ZipBuilder::kFileMode, "is not a relative name" },
        { "C:x.parts", ZipBuilder::kFileMode, "is not a relative name" },
        { "a//b.parts", ZipBuilder::kFileMode, "leaves its folder" },
        { "./a.parts", ZipBuilder::kFileMode, "leaves its folder" },
        { "new\nline.parts", ZipBuilder::kFileMode, "control character" },
        { "link", ZipBuilder::kSymlinkMode, "is a link" },
        { "fifo", 0010644, "is not a file or a folder" },
        // A mode says link or device whatever system the archive names.
        { "link.parts", ZipBuilder::kSymlinkMode, "is a link", kBeOS },
        { "link.parts", ZipBuilder::kSymlinkMode, "is a link", kAtheOS },
        { "link.parts", ZipBuilder::kSymlinkMode, "is a link", kAtari },
        { "link.parts", ZipBuilder::kSymlinkMode, "is a link", kDos },
        { "device", 0020644, "is not a file or a folder", kBeOS },
    };
    for (const Case& c : cases) {
        const QByteArray zip
            = ZipBuilder().add(QString::fromUtf8(c.name), "data", c.mode).madeBy(c.host).build();
        QString error;
        const auto entries = listZipEntries(zip, &error);
        ASSERT_TRUE(entries) << c.name << error.toStdString();
        const bool safe = entriesAreSafeToUnpack(*entries, &error);
        EXPECT_EQ(safe, *c.refusal == 0) << c.name;
        if (!safe) {
            EXPECT_TRUE(error.contains(QString::fromLatin1(c.refusal)))
                << c.name << " " << error.toStdString();
        }
    }

    // Totals and counts beyond the limits, and archives that are not whole.
    ZipLimits small;
    small.maxEntries = 2;
    small.maxTotalBytes = 1000;
    QString error;
    const QByteArray three = ZipBuilder().add("a", "1").add("b", "2").add("c", "3").build();
    EXPECT_FALSE(listZipEntries(three, &error, small));
    const QByteArray bomb = ZipBuilder().add("a", "1").stateSize(600).add("b", "2").stateSize(600).build();
    EXPECT_FALSE(entriesAreSafeToUnpack(*listZipEntries(bomb, &error, small), &error, small));
    EXPECT_TRUE(error.contains("more than 1000 bytes"));
    for (const qsizetype cut : { qsizetype(0), qsizetype(10), three.size() - 1, three.size() - 30 })
        EXPECT_FALSE(listZipEntries(three.left(cut), &error)) << cut;

    // What an archive may unpack to: a hundred times its size, never less than the floor nor more
    // than the total, and no overflow on the way.
    const ZipLimits limits;
    const std::pair<qint64, qint64> allowances[] = {
        { 0, 16 << 20 },
        { 100 << 10, 16 << 20 },
        { 490 << 10, qint64(490 << 10) * 100 },
        { 5 << 20, qint64(500) << 20 },
        { 6 << 20, qint64(512) << 20 },
        { std::numeric_limits<qint64>::max(), qint64(512) << 20 },
    };
    for (const auto& [archive, allowance] : allowances)
        EXPECT_EQ(limits.allowanceFor(archive), allowance) << archive;
}

class ArtProductInstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        registerStandardFileFormats();
        controller = ZDLAppController::install(std::make_unique<TemporaryController>(dir.filePath("cache")));
        controller->setAppSupportFolder(dir.filePath("support"));
        controller->setBuiltInCatalogFolder(dir.filePath("none"));
        controller->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert.message + " | " + alert.informativeText);
            return ModalAlert::kFirstButton;
        });
    }
    void TearDown() override
    {
        ArtProductInstaller::unzipProgram = QStringLiteral("/usr/bin/unzip");
        ArtProductInstaller::freeBytesOf = {};
        ZDLAppController::install(std::make_unique<ZDLAppController>());
    }

    class TemporaryController : public ZDLAppController {
    public:
        explicit TemporaryController(const QString& folder)
            : m_folder(folder)
        {
        }
        QString temporaryFolder() override { return m_folder; }
        // The pane of the download panel, as reports: done of total, and -1 when it ended.
        void showWorkProgress(const void*, const QString& name, qint64 done, qint64 total) override
        {
            progress.append({ name, done, total });
        }
        void workEnded(const void*) override { progress.append({ QString(), -1, -1 }); }
        QList<std::tuple<QString, qint64, qint64>> progress;

    private:
        QString m_folder;
    };

    static QByteArray partsFile(const QString& name)
    {
        return archivedPartsFile(*test::makeCharacter(name, 1, 1));
    }
    static QByteArray manifest(const QString& code, qint64 number)
    {
        return plist(QVariantMap { { ArtStore::kProductCodeKey, code },
            { ArtStore::kProductNameKey, "Pack " + code }, { ArtStore::kVersionKey, number } });
    }

    QStringList catalogFiles()
    {
        QDir catalog(controller->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog));
        return catalog.entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    QStringList leftInTemporaryFolder()
    {
        return QDir(dir.filePath("cache")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // The message shown a moment after a download was handled.
    QString messageAfter(const QUrl& url, const QByteArray& data)
    {
        alerts.clear();
        controller->artProductDownloadDone(url, data);
        const QDeadlineTimer deadline(5000);
        while (alerts.isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return alerts.value(0);
    }

    QTemporaryDir dir;
    ZDLAppController* controller = nullptr;
    QStringList alerts;
};

TEST_F(ArtProductInstallTest, ArchivesInstallWholeOrNotAtAll)
{
    const QString okPack = "Downloaded and installed the purchased comic art product “Pack pk.” | ";
    const QString ok = "Downloaded and installed the purchased comic art product “pk.” | ";
    const QString refused = "The comic art product “pk” could not be installed. | ";
    const QStringList installed { "Ann.jpg", "Ann.parts", "Bob-Sue.jpg", "Bob-Sue.parts", "manifest.plist",
        "pk-manifest.plist" };
    struct Case {
        const char* what;
        QByteArray archive;
        QStringList catalog;
        QString message; // the start of the alert
    };
    QByteArray corrupted = ZipBuilder().add("Ann.parts", partsFile("Ann")).build();
    corrupted[40] = char(corrupted[40] ^ 0x55); // the data no longer matches its checksum
    const Case cases[] = {
        { "good",
            ZipBuilder()
                .add("Ann.parts", partsFile("Ann"))
                .deflated()
                .add("x.parts", partsFile("Bob/Sue"))
                .add("pk-manifest.plist", manifest("pk", 2))
                .add("readme.txt", "hi")
                .build(),
            installed, okPack },
        { "in a folder, hidden or not parts",
            ZipBuilder()
                .add("sub/", {}, ZipBuilder::kDirectoryMode)
                .add("sub/Deep.parts", partsFile("Deep"))
                .add(".Hidden.parts", partsFile("Hidden"))
                .add("Ann.parts", partsFile("Ann"))
                .build(),
            { "Ann.jpg", "Ann.parts", "manifest.plist" }, ok },
        { "zip slip",
            ZipBuilder().add("Ann.parts", partsFile("Ann")).add("../Evil.parts", partsFile("Evil")).build(),
            {}, refused + "The archive was refused: “../Evil.parts” leaves its folder" },
        { "symlink",
            ZipBuilder()
                .add("Ann.parts", partsFile("Ann"))
                .add("link", "/etc", ZipBuilder::kSymlinkMode)
                .add("link/x.parts", partsFile("X"))
                .build(),
            {}, refused + "The archive was refused: “link” is a link" },
        { "truncated", ZipBuilder().add("Ann.parts", partsFile("Ann")).build().chopped(5), {},
            refused + "The archive was refused: it is not a zip archive" },
        { "not a zip", QByteArray("<html>Server error</html>"), {}, refused },
        { "empty", QByteArray(), {}, refused },
        { "checksum", corrupted, {}, refused + "The archive is damaged" },
        { "no parts", ZipBuilder().add("pk-manifest.plist", manifest("pk", 2)).build(), {},
            refused + "The archive held no parts file" },
        { "undecodable parts", ZipBuilder().add("Ann.parts", "bplist00 but nothing else").build(), {},
            refused + "The archive held no parts file" },
        // 16 MB of zeros in a few kilobytes, said to be 100 bytes: the tool is stopped at that,
        // and the user hears of the archive, not of the tool's complaint about a full disk.
        { "lying size",
            ZipBuilder()
                .add("Ann.parts", partsFile("Ann"))
                .add("zeros.parts", QByteArray(16 << 20, '\0'))
                .deflated()
                .stateSize(100)
                .build(),
            {}, refused + "The archive holds more than it declares" },
        { "lying size, the largest entry",
            ZipBuilder()
                .add("Ann.parts", partsFile("Ann"))
                .add("zeros.parts", QByteArray(16 << 20, '\0'))
                .deflated()
                .stateSize(8000)
                .build(),
            {}, refused + "The archive holds more than it declares" },
        // A manifest there but refused would leave the product offered again: nothing goes in.
        { "foreign manifest",
            ZipBuilder()
                .add("Ann.parts", partsFile("Ann"))
                .add("pk-manifest.plist", manifest("other", 2))
                .build(),
            {}, refused + "Its manifest “pk-manifest.plist” was refused" },
        { "damaged manifest",
            ZipBuilder().add("Ann.parts", partsFile("Ann")).add("pk-manifest.plist", "<plist><dict>").build(),
            {}, refused + "Its manifest “pk-manifest.plist” was refused" },
        // 8 of 13 left out, and the user is told which kinds.
        { "partial",
            ZipBuilder()
                .add("a.parts", partsFile("A"))
                .add("b.parts", partsFile("B"))
                .add("c.parts", partsFile("C"))
                .add("d.parts", partsFile("D"))
                .add("e.parts", partsFile("E"))
                .add("g1.parts", "garbage")
                .add("g2.parts", QByteArray(300, '\xff'))
                .add("g3.parts", partsFile("G3").left(200))
                .add("g4.parts", partsFile("G4").mid(8))
                .add("comic1.parts", archivedComicFile(*std::make_shared<ComicModel>()))
                .add("comic2.parts", archivedComicFile(*std::make_shared<ComicModel>()))
                .add("dots.parts", partsFile(".."))
                .add("blank.parts", partsFile("\n\t "))
                .add("pk-manifest.plist", manifest("pk", 2))
                .build(),
            { "A.jpg", "A.parts", "B.jpg", "B.parts", "C.jpg", "C.parts", "D.jpg", "D.parts", "E.jpg",
                "E.parts", "manifest.plist", "pk-manifest.plist" },
            okPack
                + "8 of its 13 parts files were left out: 4 could not be read, 2 hold no character, 2 have "
                  "character names that cannot name a file." },
        { "one left out", ZipBuilder().add("a.parts", partsFile("A")).add("g1.parts", "garbage").build(),
            { "A.jpg", "A.parts", "manifest.plist" },
            ok + "1 of its 2 parts files was left out: 1 could not be read." },
    };
    // The messages are whole sentences: no placeholder is missing its argument.
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
              if (type == QtWarningMsg)
                  warnings.append(text);
          });
    for (const Case& c : cases) {
        QDir(dir.filePath("support")).removeRecursively();
        const QString message = messageAfter(QUrl("https://store.example/art/pk-2.zip"), c.archive);
        EXPECT_TRUE(message.startsWith(c.message)) << c.what << ": " << message.toStdString();
        EXPECT_FALSE(message.contains(dir.path())) << c.what << ": " << message.toStdString();
        EXPECT_EQ(catalogFiles(), c.catalog) << c.what;
        EXPECT_EQ(leftInTemporaryFolder(), QStringList()) << c.what;
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings.filter("QString::arg"), QStringList());
    // Nothing escaped the temporary folder either.
    EXPECT_FALSE(QFile::exists(dir.filePath("Evil.parts")));
    EXPECT_FALSE(QFile::exists(dir.filePath("cache/Evil.parts")));
}

// A product never replaces another's characters, nor a file that no entry accounts for, nor adds
// a name that would pass for one (a joiner in it): its own character of such a name takes a free
// one, and the user is told. Its update replaces its own.
TEST_F(ArtProductInstallTest, ProductsNeverReplaceEachOthersCharacters)
{
    const QDir catalog(controller->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog));
    ASSERT_TRUE(QDir().mkpath(catalog.path()));
    QFile stray(catalog.filePath("Str\u200Day.parts"));
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.write("mine");
    stray.close();
    const QByteArray first = partsFile("OkChar");
    EXPECT_TRUE(messageAfter(QUrl("https://s/other-1.zip"),
        ZipBuilder().add("ok.parts", first).add("other-manifest.plist", manifest("other", 1)).build())
                    .startsWith("Downloaded and installed"));
    const QString renamed = "Downloaded and installed the purchased comic art product “Pack pk.” | The "
                            "purchased catalog already had files of the names of 2 of its characters, so "
                            "they went in under new names: “OkChar.parts” as “OkChar 1.parts”, "
                            "“Stray.parts” as “Stray 1.parts”.";
    for (const int version : { 1, 2 }) {
        const QByteArray pack = ZipBuilder()
                                    .add("ok.parts", archivedPartsFile(*test::makeCharacter("OkChar", 2, 1)))
                                    .add("pia.parts", partsFile("Pia"))
                                    .add("stray.parts", partsFile("Stray"))
                                    .add("pk-manifest.plist", manifest("pk", version))
                                    .build();
        EXPECT_EQ(messageAfter(QUrl(QString("https://s/pk-%1.zip").arg(version)), pack), renamed) << version;
    }
    EXPECT_EQ(catalogFiles(),
        QStringList({ "OkChar 1.jpg", "OkChar 1.parts", "OkChar.jpg", "OkChar.parts", "Pia.jpg", "Pia.parts",
            "Stray 1.jpg", "Stray 1.parts", "Str\u200Day.parts", "manifest.plist", "other-manifest.plist",
            "pk-manifest.plist" }));
    QFile firstFile(catalog.filePath("OkChar.parts"));
    ASSERT_TRUE(firstFile.open(QIODevice::ReadOnly) && stray.open(QIODevice::ReadOnly));
    EXPECT_EQ(firstFile.readAll(), first);
    EXPECT_EQ(stray.readAll(), "mine");
    // Each entry once, with the product it came with; so is the list.
    QStringList owners;
    const auto entries = CatalogManifest::read(catalog.path(), nullptr);
    ASSERT_TRUE(entries);
    for (const QVariant& entry : entries->value(CatalogManifest::kCatalogItemsKey).toList())
        owners.append(entry.toMap().value(CatalogManifest::kPartsFilenameKey).toString() + ":"
            + entry.toMap().value(CatalogManifest::kProductCodeKey).toString());
    EXPECT_EQ(owners,
        QStringList({ "OkChar.parts:other", "OkChar 1.parts:pk", "Pia.parts:pk", "Stray 1.parts:pk" }));
    EXPECT_EQ(controller->characterCatalog().size(), 4u);
}

// A product of many parts files installs while the event loop goes on: the call returns before
// anything is installed, the product's pane counts the files, and the catalog's manifest is
// written once, not once a file.
TEST_F(ArtProductInstallTest, ManyPartsFilesInstallWhileTheInterfaceAnswers)
{
    constexpr int kFiles = 300;
    ZipBuilder zip;
    for (int i = 0; i < kFiles; ++i)
        zip.add(QString("c%1.parts").arg(i), partsFile(QString("C%1").arg(i)));
    zip.add("pk-manifest.plist", manifest("pk", 1));
    const QString catalog = controller->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog);
    ASSERT_TRUE(QDir().mkpath(catalog));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(catalog).constData(), IN_CREATE | IN_MOVED_TO), 0);

    alerts.clear();
    controller->artProductDownloadDone(QUrl("https://store.example/pk-1.zip"), zip.build());
    EXPECT_EQ(catalogFiles(), QStringList());
    const QDeadlineTimer deadline(60000);
    while (alerts.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(alerts.value(0), "Downloaded and installed the purchased comic art product “Pack pk.” | ");
    EXPECT_EQ(catalogFiles().size(), 2 * kFiles + 2);

    int manifestWrites = 0;
    alignas(inotify_event) char buffer[64 << 10];
    for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            manifestWrites += event->len && qstrcmp(event->name, "manifest.plist") == 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    EXPECT_EQ(manifestWrites, 1);

    // The pane named after the archive, unknown while it unpacks, then counting up to its end.
    const auto& progress = static_cast<TemporaryController*>(controller)->progress;
    ASSERT_GE(progress.size(), 4);
    EXPECT_EQ(progress.first(), std::tuple(QString("pk-1.zip"), qint64(0), qint64(0)));
    EXPECT_EQ(progress.last(), std::tuple(QString(), qint64(-1), qint64(-1)));
    const auto& [name, done, total] = progress[progress.size() - 2];
    EXPECT_EQ(name, "pk-1.zip");
    EXPECT_EQ(total, 2 * kFiles);
    EXPECT_EQ(done, total);
    for (qsizetype i = 2; i < progress.size() - 1; ++i)
        EXPECT_GE(std::get<1>(progress[i]), std::get<1>(progress[i - 1]));
}

TEST_F(ArtProductInstallTest, WhatTheToolLeavesIsWalkedWithoutFollowingLinks)
{
    // A tool that slips a link past the listing: the walk refuses it and installs nothing.
    const QString script = dir.filePath("fake-unzip");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nln -s /etc/hostname \"$5/Ann.parts\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ArtProductInstaller::unzipProgram = script;
    const QString message = messageAfter(
        QUrl("https://store.example/pk.zip"), ZipBuilder().add("Ann.parts", partsFile("Ann")).build());
    EXPECT_TRUE(message.contains("“Ann.parts”, which is not a file or a folder")) << message.toStdString();
    EXPECT_EQ(catalogFiles(), QStringList());
    EXPECT_EQ(leftInTemporaryFolder(), QStringList());

    ArtProductInstaller::unzipProgram = dir.filePath("missing-unzip");
    EXPECT_TRUE(messageAfter(
        QUrl("https://store.example/pk.zip"), ZipBuilder().add("A.parts", partsFile("A")).build())
                    .contains("The unzip tool"));
}

// Every entry under the folder, links not followed: its path and its size, or where it links to.
std::string treeOf(const QString& folder)
{
    QStringList tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        tree.append(QDir(folder).relativeFilePath(info.filePath())
            + (info.isSymLink()    ? " -> " + info.symLinkTarget()
                    : info.isDir() ? "/"
                                   : " " + QString::number(info.size())));
    }
    tree.sort();
    return tree.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ArtProductInstallTest, HostileArchivesWriteNothingAnywhereAndLeaveNothingBehind)
{
    // The tool, when it runs, leaves a mark beside the folders: refusals come before it runs.
    const QString mark = dir.filePath("unzip ran");
    const QString script = dir.filePath("marking-unzip");
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/unzip ran\"\nexec /usr/bin/unzip \"$@\"\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ArtProductInstaller::unzipProgram = script;
    const QString victim = dir.filePath("victim.txt");
    QFile target(victim);
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("untouched");
    target.close();
    const QString catalog = controller->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog);
    ASSERT_TRUE(QDir().mkpath(catalog) && QDir().mkpath(dir.filePath("cache")));

    constexpr quint8 kDos = 0, kAtari = 5, kBeOS = 16, kAtheOS = 30;
    const QByteArray ann = partsFile("Ann");
    const QByteArray good = ZipBuilder().add("Ann.parts", ann).build();
    const qint64 plenty = qint64(1) << 40;
    struct Case {
        const char* what;
        QByteArray archive;
        QString refusal;
        QString detail = {};
        qint64 freeInCache = plenty;
        qint64 freeInCatalog = plenty;
    };
    const QString refused = "The comic art product “pk” could not be installed. | The archive was refused: ";
    const Case cases[] = {
        { "BeOS link to a file",
            ZipBuilder()
                .add("Ann.parts", ann)
                .add("link.parts", victim.toUtf8(), ZipBuilder::kSymlinkMode)
                .madeBy(kBeOS)
                .build(),
            refused + "“link.parts” is a link" },
        { "AtheOS link to a folder, a file written through it",
            ZipBuilder()
                .add("link", dir.path().toUtf8(), ZipBuilder::kSymlinkMode)
                .madeBy(kAtheOS)
                .add("link/Evil.parts", ann)
                .build(),
            refused + "“link” is a link" },
        { "MS-DOS link",
            ZipBuilder()
                .add("link.parts", "../../victim.txt", ZipBuilder::kSymlinkMode)
                .madeBy(kDos)
                .add("Ann.parts", ann)
                .build(),
            refused + "“link.parts” is a link" },
        { "Atari device", ZipBuilder().add("dev", "", 0020644).madeBy(kAtari).build(),
            refused + "“dev” is not a file or a folder" },
        // Honest about its size, and 20 MB of zeros in 20 KB: a thousand times its size.
        { "expands a thousandfold",
            ZipBuilder()
                .add("Ann.parts", ann)
                .add("zeros.parts", QByteArray(20 << 20, '\0'))
                .deflated()
                .build(),
            refused + "it unpacks to 20.0 MiB, more than 100 times its own size of " },
        { "temporary disk nearly full", good, refused + "it unpacks to ",
            ", and the disk of " + dir.filePath("cache") + " has only 8.0 MiB free", 8 << 20 },
        { "catalog disk nearly full", good, refused + "it unpacks to ",
            ", and the disk of " + catalog + " has only 10.0 MiB free", plenty, 10 << 20 },
    };
    for (const Case& c : cases) {
        ArtProductInstaller::freeBytesOf
            = [&](const QString& folder) { return folder == catalog ? c.freeInCatalog : c.freeInCache; };
        const std::string before = treeOf(dir.path());
        const QString message = messageAfter(QUrl("https://store.example/art/pk-2.zip"), c.archive);
        EXPECT_TRUE(message.startsWith(c.refusal) && message.contains(c.detail))
            << c.what << ": " << message.toStdString();
        EXPECT_EQ(treeOf(dir.path()), before) << c.what;
    }
    EXPECT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "untouched");

    // With room, the same tool installs: the mark shows it would have been seen running.
    ArtProductInstaller::freeBytesOf = [&](const QString&) { return plenty; };
    EXPECT_TRUE(messageAfter(QUrl("https://store.example/art/pk-2.zip"), good).startsWith("Downloaded"));
    EXPECT_TRUE(QFile::exists(mark));
    EXPECT_TRUE(QFile::exists(QDir(catalog).filePath("Ann.parts")));
    EXPECT_EQ(leftInTemporaryFolder(), QStringList());
}

TEST_F(ArtProductInstallTest, TemporaryNamesTakeTheFirstFreeNumber)
{
    QDir().mkpath(dir.filePath("cache"));
    QFile(dir.filePath("cache/art download 1.zip")).open(QIODevice::WriteOnly);
    EXPECT_EQ(ArtProductInstaller::firstFreeName(dir.filePath("cache"), "art download %1.zip"),
        dir.filePath("cache/art download 2.zip"));
    EXPECT_EQ(ArtProductInstaller::firstFreeName(dir.filePath("cache"), "art folder %1"),
        dir.filePath("cache/art folder 1"));
}

TEST_F(ArtProductInstallTest, StoreListIsCachedAndUpdatesFollowTheInstalledVersion)
{
    const QDateTime updated = QDateTime::fromString("2030-01-01T00:00:00Z", Qt::ISODate);
    const QByteArray list
        = storeList({ product("pk", "Pack",
                        { version(1, 7, "https://s/pk-1.zip"), version(2, 7, "https://s/pk-2.zip") }) },
            updated);
    controller->checkForArtStore(list);
    ASSERT_TRUE(controller->artStoreDict());
    // The flag follows the cached copy as it was before this refresh: none yet.
    EXPECT_FALSE(controller->newProductsInStore());
    // Offline: the cache stays in use, and its date is later than the last visit.
    controller->checkForArtStore(std::nullopt);
    ASSERT_TRUE(controller->artStoreDict());
    EXPECT_TRUE(controller->newProductsInStore());
    EXPECT_EQ(controller->artStoreInfoFor("pk").value(ArtStore::kProductNameKey), "Pack");
    // A damaged list from the network leaves the cache as it was; a list without products means no store.
    controller->checkForArtStore(QByteArray("<plist"));
    EXPECT_TRUE(controller->artStoreDict());
    controller->checkForArtStore(storeList({}));
    EXPECT_FALSE(controller->artStoreDict());

    // The update check asks for what is newer than the installed manifest, through the application.
    class Recording : public TemporaryController {
    public:
        using TemporaryController::TemporaryController;
        bool startDownload(const QUrl& url, const DownloadCallbacks&) override
        {
            started.append(url.toString());
            return true;
        }
        QStringList started;
    };
    auto* recording = static_cast<Recording*>(
        ZDLAppController::install(std::make_unique<Recording>(dir.filePath("cache"))));
    recording->setAppSupportFolder(dir.filePath("support2"));
    recording->checkForArtStore(list);
    const QString catalog = recording->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog);
    QDir().mkpath(catalog);
    for (const auto& [installedVersion, expected] :
        { std::pair { 2, QStringList {} }, std::pair { 1, QStringList { "https://s/pk-2.zip" } } }) {
        QFile manifestFile(QDir(catalog).filePath("pk-manifest.plist"));
        ASSERT_TRUE(manifestFile.open(QIODevice::WriteOnly));
        manifestFile.write(manifest("pk", installedVersion));
        manifestFile.close();
        recording->started.clear();
        recording->checkArtProductsForUpdates();
        EXPECT_EQ(recording->started, expected) << installedVersion;
    }
    controller = recording;
}

TEST(ArtStoreAddressTest, TheEnvironmentWinsOverTheDefaultWhichWinsOverThePlaceholder)
{
    struct Case {
        const char* environment;
        const char* userDefault;
        const char* url;
        const char* source;
    };
    const Case cases[] = {
        { "", "", "https://store.zandrel.org/", "" },
        { "", "https://art.example.org/shop", "https://art.example.org/shop/", "artStoreAddress" },
        { " https://env.example.org/ ", "https://art.example.org/", "https://env.example.org/",
            "ZANDREL_ART_STORE" },
        { "", "http://127.0.0.1:8080", "http://127.0.0.1:8080/", "artStoreAddress" },
        // Not https (but for one's own machine), or not an address: the store is off.
        { "http://art.example.org/", "", "", "ZANDREL_ART_STORE" },
        { "http://localhost.example.org/", "", "", "ZANDREL_ART_STORE" },
        { "http://127.0.0.1.example.org/", "", "", "ZANDREL_ART_STORE" },
        { "", "file:///srv/store/", "", "artStoreAddress" },
        { "", "https://art.example.org/?x=1", "", "artStoreAddress" },
        { "", "https:///nohost", "", "artStoreAddress" },
    };
    for (const Case& c : cases) {
        const ArtStore::StoreAddress address = ArtStore::storeAddressFrom(c.environment, c.userDefault);
        EXPECT_EQ(address.url, QUrl(QString::fromUtf8(c.url))) << c.environment << c.userDefault;
        EXPECT_EQ(address.source, QString::fromUtf8(c.source)) << c.environment << c.userDefault;
    }
    ZDLAppController controller;
    controller.setStoreAddress(ArtStore::storeAddressFrom({}, "https://art.example.org/shop"));
    EXPECT_EQ(controller.artStoreURL(), QUrl("https://art.example.org/shop/art-products/"));
    EXPECT_EQ(controller.artStorePageURL(), QUrl("https://art.example.org/shop/art-store.html"));
}

} // namespace
} // namespace zandrel
