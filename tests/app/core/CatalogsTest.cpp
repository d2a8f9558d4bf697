// The catalogs on disk: characters saved, re-saved, installed, copied and deleted in temporary
// catalog folders, the manifests checked by Python's own reader; damaged and hostile manifests
// refused without touching the folder.
#include "CharacterFixtures.h"
#include "app/core/CatalogFiles.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/TestComics.h"
#include "platform/NotificationCenter.h"
#include "support/ArchiveEditing.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// The manifest as Python reads it: one line per entry, its keys sorted, then its values.
const char* const kManifestScript = R"(
import plistlib, sys
m = plistlib.loads(open(sys.argv[1], 'rb').read(), fmt=plistlib.FMT_XML)
assert list(m) == ['catalogItems'], list(m)
for e in m['catalogItems']:
    assert isinstance(e['partsKind'], int)
    print(','.join(sorted(e)), e['partsFilename'], e['thumbnailFileName'], e['characterName'], e['creatorName'], e['partsKind'])
)";

class CatalogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        registerStandardFileFormats();
        controller = install(dir.filePath(QStringLiteral("support")));
        NotificationCenter::defaultCenter().addObserver(
            this, QString(), nullptr, [this](const Notification& n) {
                if (n.name == kCharacterCatalogUpdateNotification
                    || n.name == kCatalogCharacterDeletedNotification)
                    notices.append({ n.name, n.userInfo });
            });
    }
    void TearDown() override { NotificationCenter::defaultCenter().removeObserver(this); }

    ZDLAppController* install(const QString& support)
    {
        auto* installed = ZDLAppController::install(std::make_unique<ZDLAppController>());
        installed->setAppSupportFolder(support);
        installed->setBuiltInCatalogFolder(dir.filePath(QStringLiteral("none")));
        installed->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert);
            return answers.isEmpty() ? ModalAlert::kFirstButton : answers.takeFirst();
        });
        return installed;
    }

    QString userFolder() { return controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog); }

    std::unique_ptr<CharacterDocument> document(const QString& name, int kind = 0)
    {
        auto doc = std::make_unique<CharacterDocument>(test::makeCharacter(name, 2, 1));
        doc->model()->setPartsKind(kind);
        doc->setFileType(kCharacterDocumentType);
        return doc;
    }

    QString manifestLines(const QString& folder)
    {
        QFile file(QDir(folder).filePath(CatalogManifest::kFileName));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QString output;
        EXPECT_EQ(test::runPython(QString::fromUtf8(kManifestScript), file.readAll(), &output), 0)
            << output.toStdString();
        return output.trimmed();
    }

    QStringList catalogNames()
    {
        QStringList names;
        for (const auto& item : controller->characterCatalog())
            names.append(QStringLiteral("%1:%2:%3")
                             .arg(item->fromCatalog())
                             .arg(item->characterName(), item->characterFileName()));
        return names;
    }

    // The saved messages come a moment after the save.
    QStringList savedMessages(int expected)
    {
        QStringList messages;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            messages.clear();
            for (const ModalAlert& alert : alerts) {
                if (alert.message.contains(QStringLiteral("was saved to")))
                    messages.append(alert.message);
            }
            if (messages.size() >= expected)
                break;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return messages;
    }

    QTemporaryDir dir;
    ZDLAppController* controller = nullptr;
    QList<ModalAlert> alerts;
    QList<int> answers;
    QList<std::pair<QString, ValueMap>> notices;
};

TEST_F(CatalogsTest, CharactersAreSavedListedUpdatedCopiedAndDeleted)
{
    if (test::python3().isEmpty())
        GTEST_SKIP() << "python3 is needed to read the manifest independently";
    // An untitled character becomes the catalog file; a saved one stays on its file.
    auto zed = document(QStringLiteral("Zed"));
    zed->saveToCatalog();
    const QString zedPath = QDir(userFolder()).filePath(QStringLiteral("Zed.parts"));
    EXPECT_EQ(zed->filePath(), zedPath);
    auto amy = document(QStringLiteral("Amy/Ann"), 1);
    const QString ownPath = dir.filePath(QStringLiteral("Amy.parts"));
    ASSERT_TRUE(amy->saveToFile(ownPath, SaveOperation::SaveAs, nullptr));
    amy->saveToCatalog();
    EXPECT_EQ(amy->filePath(), ownPath);
    EXPECT_TRUE(QFile::exists(QDir(userFolder()).filePath(QStringLiteral("Amy.parts"))));
    EXPECT_EQ(QImage(QDir(userFolder()).filePath(QStringLiteral("Zed.jpg"))).size(), QSize(280, 200));

    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[0].first, kCharacterCatalogUpdateNotification);
    EXPECT_EQ(notices[0].second.value(CatalogManifest::kCatalogFileKey).toString(), zedPath);
    EXPECT_EQ(
        notices[1].second.value(CatalogManifest::kCharacterNameKey).toString(), QStringLiteral("Amy/Ann"));
    EXPECT_EQ(notices[1].second.value(CatalogManifest::kPartsKindKey).toInteger(), 1);
    EXPECT_EQ(catalogNames(), QStringList({ "2:Amy/Ann:Amy.parts", "2:Zed:Zed.parts" }));
    const QString keys
        = QStringLiteral("characterName,creatorName,partsFilename,partsKind,thumbnailFileName");
    EXPECT_EQ(manifestLines(userFolder()),
        keys + " Zed.parts Zed.jpg Zed Test Artist 0\n" + keys + " Amy.parts Amy.jpg Amy/Ann Test Artist 1");
    EXPECT_TRUE(controller->isCatalogFile(zedPath));
    EXPECT_EQ(savedMessages(2),
        QStringList({ "The character file “Zed.parts” was saved to Vivaviv Izazuda.",
            "The character file “Amy.parts” was saved to Scenery." }));

    // A plain save of a catalog file updates its entry in place; the list follows the new name.
    zed->model()->setCharacterName(QStringLiteral("Ada"));
    ASSERT_TRUE(zed->saveToFile(zedPath, SaveOperation::Save, nullptr));
    EXPECT_EQ(catalogNames(), QStringList({ "2:Ada:Zed.parts", "2:Amy/Ann:Amy.parts" }));
    EXPECT_EQ(
        notices.last().second.value(CatalogManifest::kCharacterNameKey).toString(), QStringLiteral("Ada"));
    // Saving a file of the same name again asks first; Cancel writes nothing, Replace keeps one entry.
    answers = { ModalAlert::kSecondButton };
    const qsizetype before = notices.size();
    amy->saveToCatalog();
    EXPECT_EQ(alerts.last().message,
        QStringLiteral("Do you want to replace the existing Scenery file named “Amy.parts”?"));
    EXPECT_EQ(notices.size(), before);
    amy->saveToCatalog();
    EXPECT_EQ(manifestLines(userFolder()),
        keys + " Zed.parts Zed.jpg Ada Test Artist 0\n" + keys + " Amy.parts Amy.jpg Amy/Ann Test Artist 1");

    // Installed into the purchased catalog under its name, then copied, then copied anew: "Bob 3",
    // "Bob 4", "Bob 5".
    const QString source = dir.filePath(QStringLiteral("download.parts"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob 3"), 1, 1)));
    }
    ASSERT_TRUE(controller->savePartsFile(source, CharacterLibraryItem::PurchasedCatalog));
    const auto bob = controller->getCharacterFromCatalogByFilename(
        QStringLiteral("Bob 3.parts"), CharacterLibraryItem::PurchasedCatalog);
    ASSERT_TRUE(bob);
    controller->copyCharacterLibraryItem(bob, nullptr);
    answers = { ModalAlert::kSecondButton, ModalAlert::kSecondButton };
    controller->copyCharacterLibraryItem(bob, nullptr);
    controller->copyCharacterLibraryItem(bob, nullptr);
    EXPECT_EQ(alerts.last().buttons, QStringList({ "Replace", "Make a New Copy", "Cancel" }));
    EXPECT_EQ(catalogNames(),
        QStringList({ "1:Bob 3:Bob 3.parts", "2:Ada:Zed.parts", "2:Amy/Ann:Amy.parts", "2:Bob 3:Bob 3.parts",
            "2:Bob 3:Bob 4.parts", "2:Bob 3:Bob 5.parts" }));
    EXPECT_EQ(QFile(QDir(userFolder()).filePath(QStringLiteral("Bob 5.parts"))).size(), QFile(source).size());

    // Deleting: not for built-in items or items outside the list; a user item leaves list and disk.
    const qsizetype noticesBefore = notices.size();
    auto stranger = CharacterLibraryItem::initWithURL(source);
    EXPECT_FALSE(controller->deleteCharacter(stranger, false));
    stranger->setFromCatalog(CharacterLibraryItem::UserCatalog);
    EXPECT_FALSE(controller->deleteCharacter(stranger, false));
    EXPECT_EQ(notices.size(), noticesBefore);
    const auto ada = controller->getCharacterFromCatalogByURL(zedPath);
    ASSERT_TRUE(controller->deleteCharacter(ada, false));
    EXPECT_FALSE(QFile::exists(zedPath));
    EXPECT_FALSE(QFile::exists(QDir(userFolder()).filePath(QStringLiteral("Zed.jpg"))));
    EXPECT_EQ(notices.last().first, kCatalogCharacterDeletedNotification);
    EXPECT_EQ(notices.last().second.value(CatalogManifest::kCatalogFileKey).toString(), zedPath);
    EXPECT_FALSE(manifestLines(userFolder()).contains(QStringLiteral("Zed.parts")));
    EXPECT_EQ(controller->getCharacterFromCatalogByURL(zedPath), nullptr);

    // Another start reads the same list back from the manifests.
    controller = install(dir.filePath(QStringLiteral("support")));
    EXPECT_EQ(catalogNames(),
        QStringList({ "1:Bob 3:Bob 3.parts", "2:Amy/Ann:Amy.parts", "2:Bob 3:Bob 3.parts",
            "2:Bob 3:Bob 4.parts", "2:Bob 3:Bob 5.parts" }));
}

// Every file of the folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        files.insert(it.filePath(), file.readAll());
    }
    return files;
}

QByteArray plist(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
}

QByteArray entry(const QByteArray& name, const QByteArray& thumbnail = "x.jpg")
{
    return "<dict><key>partsFilename</key><string>" + name + "</string><key>thumbnailFileName</key><string>"
        + thumbnail + "</string><key>characterName</key><string>X</string></dict>";
}

TEST_F(CatalogsTest, DamagedAndHostileManifestsAreRefusedAndTheFolderLeftAlone)
{
    const QByteArray laughs
        = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">"
          "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
          "<plist><dict><key>catalogItems</key><array><string>&c;</string></array></dict></plist>";
    const QList<std::pair<const char*, QByteArray>> cases = {
        { "not XML", "\x89PNG garbage" },
        { "binary property list", QByteArray("bplist00\xd1\x01\x02", 11) },
        { "cut short", plist("<dict><key>catalogItems</key><array>" + entry("A.parts")) },
        { "root is a list", plist("<array/>") },
        { "no items", plist("<dict><key>other</key><true/></dict>") },
        { "items not a list", plist("<dict><key>catalogItems</key><string>x</string></dict>") },
        { "entry not a dictionary",
            plist("<dict><key>catalogItems</key><array><integer>1</integer></array></dict>") },
        { "file up the tree",
            plist("<dict><key>catalogItems</key><array>" + entry("../../victim.parts") + "</array></dict>") },
        { "absolute thumbnail",
            plist("<dict><key>catalogItems</key><array>" + entry("A.parts", "/etc/passwd")
                + "</array></dict>") },
        { "file name not text",
            plist("<dict><key>catalogItems</key><array><dict><key>partsFilename</key><integer>7</integer></"
                  "dict></array></dict>") },
        { "entity expansion", laughs },
        { "external entity",
            "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM "
            "\"file:///etc/passwd\">]><plist><string>&x;</string></plist>" },
        { "nested too deeply",
            plist(QByteArray("<array>").repeated(200) + QByteArray("</array>").repeated(200)) },
        { "two roots", plist("<dict><key>catalogItems</key><array/></dict><dict/>") },
        { "key without value", plist("<dict><key>catalogItems</key></dict>") },
        { "bad number",
            plist("<dict><key>catalogItems</key><array><dict><key>partsKind</key><integer>1e99</integer></"
                  "dict></array></dict>") },
        { "too large",
            plist("<dict><key>catalogItems</key><array>" + QByteArray("<string>x</string>").repeated(600000)
                + "</array></dict>") },
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        controller = install(dir.filePath(QStringLiteral("hostile")));
        const QString folder = userFolder();
        ASSERT_TRUE(QDir().mkpath(folder));
        {
            QFile file(QDir(folder).filePath(CatalogManifest::kFileName));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        }
        const auto before = snapshot(folder);
        alerts.clear();
        notices.clear();

        EXPECT_TRUE(controller->characterCatalog().empty());
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].message.startsWith(QStringLiteral("The catalog in")))
            << alerts[0].message.toStdString();
        document(QStringLiteral("A"))->saveToCatalog();
        EXPECT_FALSE(controller->savePartsFile(
            dir.filePath(QStringLiteral("missing.parts")), CharacterLibraryItem::UserCatalog));
        EXPECT_TRUE(notices.isEmpty());
        EXPECT_EQ(snapshot(folder), before);
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("victim.parts"))));
    }

    // A sound manifest whose entry has no kind lists it as a character.
    controller = install(dir.filePath(QStringLiteral("sound")));
    QDir().mkpath(userFolder());
    QFile file(QDir(userFolder()).filePath(CatalogManifest::kFileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(plist("<dict><key>catalogItems</key><array>" + entry("A.parts") + "</array></dict>"));
    file.close();
    ASSERT_EQ(controller->characterCatalog().size(), 1u);
    EXPECT_EQ(controller->characterCatalog().front()->partsKind(), 0);
    EXPECT_EQ(
        controller->characterCatalog().front()->thumbnailFileURL(), QDir(userFolder()).filePath("x.jpg"));
}

// A disk that fills up in the middle of a catalog write (a size limit stands in for it): every
// writer fails with a reason, and the catalog keeps each file whole as it was, with no temporary
// file beside it.
TEST_F(CatalogsTest, WritesThatFillTheDiskLeaveTheCatalogAsItWas)
{
    document(QStringLiteral("Zed"))->saveToCatalog();
    const QString folder = userFolder();
    const QString source = dir.filePath(QStringLiteral("download.parts"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob"), 3, 2)));
    }
    ASSERT_TRUE(controller->savePartsFile(source, CharacterLibraryItem::PurchasedCatalog));
    const auto bob = controller->getCharacterFromCatalogByFilename(
        QStringLiteral("Bob.parts"), CharacterLibraryItem::PurchasedCatalog);
    ASSERT_TRUE(bob);
    QImage noise(300, 200, QImage::Format_ARGB32);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    }
    QVariantList entries;
    for (int i = 0; i < 50; ++i)
        entries.append(
            QVariantMap { { CatalogManifest::kPartsFilenameKey, QStringLiteral("C%1.parts").arg(i) } });

    const auto before = snapshot(dir.path());
    constexpr qint64 kLimit = 256;
    QString reason;
    const QList<std::pair<const char*, std::function<bool()>>> writers = {
        { "parts file",
            [&] {
                return writeCatalogFile(
                    QDir(folder).filePath(QStringLiteral("Zed.parts")), QByteArray(4096, 'x'), &reason);
            } },
        { "thumbnail",
            [&] {
                return writeCatalogThumbnail(
                    noise, QDir(folder).filePath(QStringLiteral("Zed.jpg")), &reason);
            } },
        { "manifest",
            [&] {
                return CatalogManifest::write(
                    QVariantMap { { CatalogManifest::kCatalogItemsKey, entries } }, folder, &reason);
            } },
        { "installed parts file",
            [&] { return controller->savePartsFile(source, CharacterLibraryItem::UserCatalog); } },
        { "copied library item",
            [&] {
                alerts.clear();
                controller->copyCharacterLibraryItem(bob, nullptr);
                return alerts.isEmpty();
            } },
    };
    for (const auto& [name, write] : writers) {
        SCOPED_TRACE(name);
        reason = QStringLiteral("unset");
        {
            test::FileSizeLimit limit(kLimit);
            if (!limit.ok)
                GTEST_SKIP() << "this system refuses a file size limit";
            EXPECT_FALSE(write());
        }
        EXPECT_FALSE(reason.isEmpty());
        EXPECT_EQ(snapshot(dir.path()), before);
    }
    EXPECT_TRUE(alerts.last().message.contains(QStringLiteral("could not be copied")))
        << alerts.last().message.toStdString();
}

// The keys of each archived library item, as Python reads them.
const char* const kLibraryItemsScript = R"(
import plistlib, sys
top = plistlib.loads(open(sys.argv[1], 'rb').read())
objs = top['$objects']
for o in objs:
    if isinstance(o, dict) and '$class' in o and objs[o['$class'].data]['$classname'] == 'CharacterLibraryItem':
        print(','.join(sorted(k for k in o if k != '$class')))
)";

TEST_F(CatalogsTest, ComicLibraryItemsFindTheirCatalogFileByNameOnAnotherInstallation)
{
    if (test::python3().isEmpty())
        GTEST_SKIP() << "python3 is needed to read the archive independently";
    document(QStringLiteral("Hero"))->saveToCatalog();
    const auto master = controller->getCharacterFromCatalogByFilename(
        QStringLiteral("Hero.parts"), CharacterLibraryItem::UserCatalog);
    ASSERT_TRUE(master);
    const QString outside = dir.filePath(QStringLiteral("outside.parts"));
    ASSERT_TRUE(document(QStringLiteral("Outsider"))->saveToFile(outside, SaveOperation::SaveAs, nullptr));
    auto tied = std::make_shared<CharacterLibraryItem>();
    tied->setCatalogMaster(master);
    tied->setViewScale(2.0f);
    tied->setPartType(3);
    auto comic = test::richComic();
    comic->setCharacterLibrary({ tied, CharacterLibraryItem::initWithURL(outside) });
    const QByteArray data = archivedComicFile(*comic);
    QString keys;
    ASSERT_EQ(test::runPython(QString::fromUtf8(kLibraryItemsScript), data, &keys), 0) << keys.toStdString();
    // Never a bookmark; the catalog file also by its name; the thumbnail only for the catalog's.
    EXPECT_EQ(keys.trimmed(),
        QStringLiteral("bundleFileName,fromCatalog,name,partsKind,scale,thumbnailUrl,url\n"
                       "fromCatalog,name,partsKind,scale,url"));
    // Another program wrote a bookmark instead of a path: only a catalog file is found again.
    const QByteArray legacy = test::editObjectsOfClass(data, CharacterLibraryItem::kClassName,
        { QStringLiteral("url") },
        { { QStringLiteral("bookmark"), [](PropertyList& list) { return list.addData("book\x00mark"); } } });

    // Another installation, whose user catalog has its own Hero.parts.
    controller = install(dir.filePath(QStringLiteral("elsewhere")));
    document(QStringLiteral("Hero"))->saveToCatalog();
    const auto otherMaster = controller->getCharacterFromCatalogByFilename(
        QStringLiteral("Hero.parts"), CharacterLibraryItem::UserCatalog);
    ASSERT_TRUE(otherMaster);
    for (const QByteArray& bytes : { data, legacy }) {
        const ComicModelPtr read = readComicFile(bytes);
        ASSERT_EQ(read->characterLibrary().size(), bytes == data ? 2u : 1u);
        const auto& item = read->characterLibrary().front();
        EXPECT_EQ(item->catalogMaster(), otherMaster);
        EXPECT_EQ(item->characterFileURL(), otherMaster->characterFileURL());
        EXPECT_EQ(item->thumbnailFileURL(), otherMaster->thumbnailFileURL());
        EXPECT_EQ(item->viewScale(), 2.0f);
        EXPECT_EQ(item->partType(), CharacterLibraryItem::kWholeCharacter);
        ASSERT_TRUE(item->character());
        EXPECT_EQ(item->character(), otherMaster->character());
    }
    const auto outsider = readComicFile(data)->characterLibrary().back();
    EXPECT_EQ(outsider->characterFileURL(), outside);
    EXPECT_EQ(outsider->characterName(), QStringLiteral("Outsider"));
}

} // namespace
} // namespace zandrel
