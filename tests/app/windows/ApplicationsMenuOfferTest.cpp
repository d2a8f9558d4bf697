// The offer of a program started from a folder the desktop does not know to add itself to the
// applications menu, the installation it makes, and its helpers.
#include "app/ApplicationsMenuOffer.h"

#include "WindowTestSupport.h"
#include "platform/Log.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace zandrel {
namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QStringList kInstalledFiles { QStringLiteral("applications/org.zandrel.Zandrel.desktop"),
    QStringLiteral("mime/packages/org.zandrel.Zandrel.xml"),
    QStringLiteral("icons/hicolor/128x128/apps/org.zandrel.Zandrel.png"),
    QStringLiteral("icons/hicolor/256x256/apps/org.zandrel.Zandrel.png") };

class ApplicationsMenuOfferTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        UserDefaults::standard().remove(kMoveToApplicationsFolderAlertSuppressKey);
        places.executable = QFileInfo(QStringLiteral(ZANDREL_EXECUTABLE)).canonicalFilePath();
        places.dataHome = home.filePath(QStringLiteral("share"));
        places.dataDirs = { system.path() };
        places.searchPath = { bin.path() };
    }
    void TearDown() override
    {
        UserDefaults::standard().remove(kMoveToApplicationsFolderAlertSuppressKey);
        WindowTest::TearDown();
    }
    QString installed(const QString& relative) const { return places.dataHome + QLatin1Char('/') + relative; }

    QTemporaryDir home;
    QTemporaryDir system;
    QTemporaryDir bin;
    DesktopPlaces places;
};

// The program writes what `make install-desktop` writes, byte for byte, and from then on the
// desktop's entry starts this very program.
TEST_F(ApplicationsMenuOfferTest, TheProgramInstallsItselfAsTheScriptDoes)
{
    QTemporaryDir scripted;
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), scripted.path());
    install.setProcessEnvironment(environment);
    install.start(test::sourcePath(QStringLiteral("scripts/install-desktop.sh")),
        { places.executable,
            QFileInfo(places.executable).absolutePath() + QStringLiteral("/interface/images") });
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    EXPECT_FALSE(ApplicationsMenu::startsThisProgram(places));
    QString error;
    ASSERT_TRUE(ApplicationsMenu::install(places, &error)) << error.toStdString();
    for (const QString& file : kInstalledFiles) {
        const QByteArray ours = contents(installed(file));
        EXPECT_FALSE(ours.isEmpty()) << file.toStdString();
        EXPECT_EQ(ours, contents(scripted.filePath(file))) << file.toStdString();
    }
    EXPECT_EQ(ApplicationsMenu::entryInUse(places), installed(kInstalledFiles.first()));
    EXPECT_TRUE(ApplicationsMenu::startsThisProgram(places));
}

// Whatever the folder is called, the entry's Exec line names it so that the desktop reads it back
// whole; an entry that names the program without a folder finds it on the search path.
TEST_F(ApplicationsMenuOfferTest, EntriesNameTheProgramWhateverItsFolderIsCalled)
{
    for (const QString& path :
        { QStringLiteral("/opt/zandrel/bin/zandrel"), QStringLiteral("/home/a b/z \"q\"/zandrel"),
            QStringLiteral("/tmp/$HOME/`x`/back\\slash/it's/zandrel") }) {
        const QString entry = QStringLiteral("[Desktop Entry]\nName=Zandrel\nExec=%1 %U\n")
                                  .arg(ApplicationsMenu::execLine(path));
        EXPECT_EQ(ApplicationsMenu::programOfEntry(entry), path) << entry.toStdString();
    }
    EXPECT_EQ(ApplicationsMenu::programOfEntry(QStringLiteral("[Other]\nExec=elsewhere\n")), QString());
    EXPECT_EQ(
        ApplicationsMenu::programOfEntry(QStringLiteral("[Desktop Entry]\nExec=\"unclosed %U\n")), QString());

    // The system's entry names "zandrel"; on the search path that is this program.
    write(system.filePath(QStringLiteral("applications/org.zandrel.Zandrel.desktop")),
        "[Desktop Entry]\nExec=zandrel %U\n");
    EXPECT_FALSE(ApplicationsMenu::startsThisProgram(places));
    ASSERT_TRUE(QFile::link(places.executable, bin.filePath(QStringLiteral("zandrel"))));
    EXPECT_TRUE(ApplicationsMenu::startsThisProgram(places));
    // The user's own entry comes first, and names another copy.
    write(installed(kInstalledFiles.first()), "[Desktop Entry]\nExec=/elsewhere/zandrel %U\n");
    EXPECT_FALSE(ApplicationsMenu::startsThisProgram(places));
}

// The question comes only where the desktop would start another copy or none: refused with the box
// ticked it never comes again; accepted, the program is installed, an entry for another copy goes to
// the Trash, and nothing more is asked; a failure is told and leaves nothing half installed.
TEST_F(ApplicationsMenuOfferTest, TheOfferAsksOnceAndInstallsOrRemembersTheRefusal)
{
    bool tick = false;
    controller->setModalAlertHandler([this, &tick](const ModalAlert& alert) {
        alerts.append(alert);
        if (alert.suppressed)
            *alert.suppressed = tick;
        return answers.isEmpty() ? ModalAlert::kFirstButton : answers.takeFirst();
    });

    // Refused without the box: asked again next time. Refused with it: never again.
    for (const bool ticked : { false, true }) {
        tick = ticked;
        answers = { ModalAlert::kSecondButton };
        offerToAddToApplicationsMenu(places);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first().message, QStringLiteral("Add Zandrel to your applications menu?"));
        EXPECT_EQ(alerts.first().buttons, (QStringList { "Add to Applications Menu", "Do Not Add" }));
        EXPECT_EQ(alerts.first().suppressionText, QStringLiteral("Do not ask again"));
        EXPECT_EQ(alerts.first().style, ModalAlert::Style::Question);
        EXPECT_EQ(UserDefaults::standard().boolean(kMoveToApplicationsFolderAlertSuppressKey), ticked);
        EXPECT_FALSE(QFileInfo::exists(places.dataHome));
        alerts.clear();
    }
    offerToAddToApplicationsMenu(places);
    EXPECT_TRUE(alerts.isEmpty());
    UserDefaults::standard().remove(kMoveToApplicationsFolderAlertSuppressKey);

    // Accepted over an entry of the user's for another copy.
    const QString entry = installed(kInstalledFiles.first());
    write(entry, "[Desktop Entry]\nExec=/elsewhere/zandrel %U\n");
    Log::Capture log;
    offerToAddToApplicationsMenu(places);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("INFO -- Adding myself to the applications menu")));
    for (const QString& file : kInstalledFiles)
        EXPECT_TRUE(QFileInfo::exists(installed(file))) << file.toStdString();
    EXPECT_TRUE(ApplicationsMenu::startsThisProgram(places));
    alerts.clear();
    offerToAddToApplicationsMenu(places);
    EXPECT_TRUE(alerts.isEmpty()) << "this copy is the one in the menu now";

    // Where the folders cannot be made, the user is told and no file is left.
    QTemporaryDir blocked;
    places.dataHome = blocked.filePath(QStringLiteral("share"));
    write(places.dataHome + QStringLiteral("/icons"), "a file where a folder must go");
    offerToAddToApplicationsMenu(places);
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts.last().message, QStringLiteral("Could not add to the applications menu"));
    EXPECT_FALSE(alerts.last().informativeText.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(installed(kInstalledFiles.first())));
    EXPECT_FALSE(QFileInfo::exists(installed(kInstalledFiles.at(1))));

    // Where the files cannot be written whole, the system's reason is told and no file is left,
    // truncated or not.
    QTemporaryDir small;
    places.dataHome = small.filePath(QStringLiteral("share"));
    {
        test::FileSizeLimit limit(100);
        ASSERT_TRUE(limit.ok);
        offerToAddToApplicationsMenu(places);
    }
    ASSERT_EQ(alerts.size(), 4);
    EXPECT_TRUE(alerts.last().informativeText.endsWith(qt_error_string(EFBIG)))
        << alerts.last().informativeText.toStdString();
    for (const QString& file : kInstalledFiles)
        EXPECT_FALSE(QFileInfo::exists(installed(file))) << file.toStdString();
}

// Without a person in front of a screen (the tests' offscreen platform) nothing is asked.
TEST_F(ApplicationsMenuOfferTest, NothingIsAskedWithoutADisplay)
{
    offerMoveToApplicationsFolder();
    EXPECT_TRUE(alerts.isEmpty());
}

// The check box of a real message box: ticked and refused with Escape, the answer is the second
// button and the tick is reported.
TEST_F(ApplicationsMenuOfferTest, TheMessageBoxReportsItsCheckBox)
{
    controller->setModalAlertHandler({});
    ModalAlert alert;
    alert.message = QStringLiteral("Question");
    alert.buttons = { QStringLiteral("Add"), QStringLiteral("Do Not Add") };
    alert.suppressionText = QStringLiteral("Do not ask again");
    bool suppressed = false;
    alert.suppressed = &suppressed;
    QTimer::singleShot(0, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box && box->checkBox());
        QTest::mouseClick(box->checkBox(), Qt::LeftButton, {}, QPoint(5, box->checkBox()->height() / 2));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(controller->runModalAlert(alert), ModalAlert::kSecondButton);
    EXPECT_TRUE(suppressed);
}

// A path with single quotes reaches the shell whole; what cannot be removed goes to the Trash or is
// reported.
TEST(ApplicationsMenuHelpersTest, QuotingRemovingAndTrashing)
{
    for (const QString& text : { QStringLiteral("plain"), QStringLiteral("it's"), QStringLiteral("'"),
             QStringLiteral("a b $HOME `x` \"q\" \\"), QString() }) {
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
            { QStringLiteral("-c"), QStringLiteral("printf %s ") + quoteForShell(text) });
        ASSERT_TRUE(shell.waitForFinished(10000));
        EXPECT_EQ(QString::fromUtf8(shell.readAllStandardOutput()), text)
            << quoteForShell(text).toStdString();
    }
    EXPECT_EQ(quoteForShell(QStringLiteral("it's")), QStringLiteral("'it'\\''s'"));

    QTemporaryDir dir;
    write(dir.filePath(QStringLiteral("folder/inside/file")), "x");
    EXPECT_TRUE(deletePathOrWarn(dir.filePath(QStringLiteral("folder"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("folder"))));
    Log::Capture log;
    EXPECT_FALSE(deletePathOrWarn(dir.filePath(QStringLiteral("missing"))));
    EXPECT_EQ(log.lines().size(), 2);
    EXPECT_TRUE(log.lines().value(0).startsWith(
        QStringLiteral("WARNING -- Could not delete '%1': ").arg(dir.filePath(QStringLiteral("missing")))));
    EXPECT_EQ(log.lines().value(1),
        QStringLiteral("ERROR -- Could not trash '%1'").arg(dir.filePath(QStringLiteral("missing"))));
}

} // namespace
} // namespace zandrel
