// The preferences window, the about panel and the help menu's links, driven through the windows.
#include "WindowTestSupport.h"
#include "app/AboutPanelController.h"
#include "app/DeveloperPanel.h"
#include "app/FavoriteFontsController.h"
#include "app/MenuActions.h"
#include "app/PreferencesController.h"
#include "app/WebLinks.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterFileFormats.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTextBrowser>
#include <QUrlQuery>

namespace zandrel {
namespace {

class PreferencesTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        for (const QString& key :
            { kDefaultDescriptionKey, kDefaultHashtagsKey, kFavoriteFontsKey, kUnfavoriteFontsKey })
            UserDefaults::standard().remove(key);
        WebLinks::setUrlOpener([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
        window = documents().windowFor(documents().makeUntitledDocument(kCharacterDocumentType));
        ASSERT_TRUE(window);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void TearDown() override
    {
        WebLinks::setUrlOpener({});
        WindowTest::TearDown();
    }

    // Waits out the resize and answers the window's frame.
    static QRect settledFrame(PreferencesController* prefs)
    {
        EXPECT_TRUE(QTest::qWaitFor([prefs] { return prefs->geometry() == prefs->targetGeometry(); }));
        return prefs->geometry();
    }
    static void clickToolbarItem(PreferencesController* prefs, const QString& paneId)
    {
        QWidget* button = prefs->toolbar()->widgetForAction(prefs->toolbarItem(paneId));
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // With ZANDREL_SCREENSHOT set, the window as it looks now goes to /tmp for a person to see.
    static void screenshot(QWidget* widget, const QString& name)
    {
        if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
            widget->grab().save(QStringLiteral("/tmp/prefs-%1.png").arg(name));
    }

    DocumentWindow* window = nullptr;
    QList<QUrl> opened;
};

TEST_F(PreferencesTest, PanesSwitchKeepingTheTopEdgeAndWriteTheirDefaults)
{
    showMenuItem(window, kShowPreferencesAction)->trigger();
    PreferencesController* prefs = controller->preferences();
    ASSERT_TRUE(prefs);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(prefs));
    EXPECT_EQ(prefs->currentPaneId(), PreferencesController::kSharingPane);
    prefs->move(120, 90);
    const QRect sharingFrame = settledFrame(prefs);
    const int chrome = sharingFrame.height() - prefs->pane(PreferencesController::kSharingPane)->height();

    // Sharing: what the fields hold is the defaults' text, typed characters and all.
    struct TextField {
        const char* key;
        QString typed;
    };
    const TextField fields[] = { { "defaultDescription", QStringLiteral("Page one & #2: 100% new?") },
        { "defaultHashtags", QStringLiteral("#cats #dogs") } };
    for (const TextField& field : fields) {
        auto* edit = prefs->findChild<QLineEdit*>(QString::fromLatin1(field.key));
        ASSERT_TRUE(edit) << field.key;
        edit->selectAll();
        QTest::keyClicks(edit, field.typed);
    }

    // Fonts: the frame grows downwards to the pane's size; the top edge stays.
    clickToolbarItem(prefs, PreferencesController::kFontsPane);
    EXPECT_EQ(prefs->currentPaneId(), PreferencesController::kFontsPane);
    EXPECT_FALSE(prefs->toolbarItem(PreferencesController::kSharingPane)->isChecked());
    const QRect fontsFrame = settledFrame(prefs);
    QWidget* fontsPane = prefs->pane(PreferencesController::kFontsPane);
    EXPECT_EQ(fontsFrame.topLeft(), sharingFrame.topLeft());
    EXPECT_EQ(fontsFrame.size(), QSize(460, 380 + chrome));
    EXPECT_EQ(fontsPane->geometry().size(), QSize(460, 380));
    EXPECT_FALSE(prefs->pane(PreferencesController::kSharingPane)->isVisible());

    // Un-checking the built-in favourite and checking another family, each found by the search
    // field, then toggled with the space bar on its row.
    const QStringList families = prefs->fontsController()->families();
    ASSERT_TRUE(families.contains(QStringLiteral("Comic Neue")));
    QString other;
    for (const QString& family : families) {
        if (!controller->isAFavoriteFontFamily(family) && !family.contains(QStringLiteral("Comic Neue"))) {
            other = family;
            break;
        }
    }
    ASSERT_FALSE(other.isEmpty());
    auto* search = prefs->findChild<QLineEdit*>(QStringLiteral("fontSearch"));
    auto* table = prefs->findChild<QListView*>(QStringLiteral("fontsTable"));
    ASSERT_TRUE(search && table);
    for (const QString& family : { QStringLiteral("Comic Neue"), other }) {
        search->selectAll();
        QTest::keyClicks(search, family);
        QModelIndex row;
        for (int i = 0; i < table->model()->rowCount(); ++i) {
            if (table->model()->index(i, 0).data().toString() == family)
                row = table->model()->index(i, 0);
        }
        ASSERT_TRUE(row.isValid()) << family.toStdString();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(row).center());
        QTest::keyClick(table, Qt::Key_Space);
    }
    search->clear();
    screenshot(prefs, QStringLiteral("fonts"));

    // Back to sharing: shorter again, same top edge; choosing it again changes nothing.
    clickToolbarItem(prefs, PreferencesController::kSharingPane);
    const QRect backFrame = settledFrame(prefs);
    EXPECT_EQ(backFrame, sharingFrame);
    clickToolbarItem(prefs, PreferencesController::kSharingPane);
    EXPECT_EQ(prefs->targetGeometry(), backFrame);
    EXPECT_EQ(prefs->geometry(), backFrame);
    screenshot(prefs, QStringLiteral("sharing"));

    // The table of what was written, read back from the settings store by a fresh reader.
    UserDefaults stored;
    const struct {
        QString key;
        QVariant value;
    } written[] = {
        { kDefaultDescriptionKey, QStringLiteral("Page one & #2: 100% new?") },
        { kDefaultHashtagsKey, QStringLiteral("#cats #dogs") },
        { kUnfavoriteFontsKey, QStringList { QStringLiteral("Comic Neue") } },
        { kFavoriteFontsKey, QStringList { other } },
    };
    for (const auto& entry : written) {
        if (entry.value.typeId() == QMetaType::QStringList)
            EXPECT_EQ(stored.stringArray(entry.key), entry.value.toStringList()) << entry.key.toStdString();
        else
            EXPECT_EQ(stored.string(entry.key), entry.value.toString()) << entry.key.toStdString();
    }
    EXPECT_FALSE(controller->isAFavoriteFontFamily(QStringLiteral("Comic Neue")));
    EXPECT_TRUE(controller->isAFavoriteFontFamily(other));

    // The window lives on: asking again shows the same one.
    prefs->close();
    showMenuItem(window, kShowPreferencesAction)->trigger();
    EXPECT_EQ(controller->preferences(), prefs);
    EXPECT_TRUE(prefs->isVisible());
    // The close key closes it too, from any of its fields.
    prefs->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(prefs));
    QTest::keySequence(prefs->findChild<QLineEdit*>(QStringLiteral("defaultHashtags")), QKeySequence::Close);
    EXPECT_FALSE(prefs->isVisible());
}

TEST_F(PreferencesTest, WindowsWithoutMenusAnswerTheApplicationsKeys)
{
    showMenuItem(window, kShowPreferencesAction)->trigger();
    showMenuItem(window, kShowAboutAction)->trigger();
    for (QWidget* panel : { static_cast<QWidget*>(controller->preferences()),
             static_cast<QWidget*>(controller->aboutPanel()) }) {
        ASSERT_TRUE(panel);
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
        const qsizetype before = documents().documents().size();
        QTest::keySequence(panel, QKeySequence(QStringLiteral("Ctrl+N")));
        EXPECT_EQ(documents().documents().size(), before + 1);
        // Quitting is there too, and enabled; firing it would end the test run.
        QAction* quit = nullptr;
        for (QAction* item : panel->actions()) {
            if (item->shortcut() == QKeySequence(QStringLiteral("Ctrl+Q")))
                quit = item;
        }
        ASSERT_TRUE(quit);
        EXPECT_EQ(MenuActions::actionOf(quit), kTerminateAction);
        EXPECT_TRUE(MenuActions::validate(quit, MenuActions::responderChain(panel)));
        EXPECT_TRUE(quit->isEnabled());
    }
}

TEST_F(PreferencesTest, AboutPanelShowsVersionAndCreditsOnceAndItsLinksOpen)
{
    const struct {
        QString version;
        QString label;
    } versions[] = { { QStringLiteral("1.0.134"), QStringLiteral("Version 1.0 (134)") },
        { QStringLiteral("2.1"), QStringLiteral("Version 2 (1)") },
        { QStringLiteral("7"), QStringLiteral("Version 7 (7)") } };
    for (const auto& entry : versions)
        EXPECT_EQ(AboutPanelController::versionText(entry.version), entry.label);

    showMenuItem(window, kShowAboutAction)->trigger();
    AboutPanelController* about = controller->aboutPanel();
    ASSERT_TRUE(about);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    showMenuItem(window, kShowAboutAction)->trigger();
    EXPECT_EQ(controller->aboutPanel(), about);

    // Credits, then the software licence, then the content licence; read-only.
    const QString text = about->creditsView()->toPlainText();
    const qsizetype credits = text.indexOf(QStringLiteral("Comic Neue, by Craig Rozynski"));
    const qsizetype software = text.indexOf(QStringLiteral("GNU General Public License as published"));
    const qsizetype content = text.indexOf(QStringLiteral("SIL Open Font License, version 1.1"));
    EXPECT_GE(credits, 0);
    EXPECT_GT(software, credits);
    EXPECT_GT(content, software);
    EXPECT_TRUE(about->creditsView()->isReadOnly());

    // A click on a licence link opens it in the browser and leaves the credits in place.
    QTextCursor link = about->creditsView()->document()->find(QStringLiteral("SIL Open Font License"));
    ASSERT_FALSE(link.isNull());
    link.setPosition(link.selectionStart() + 2);
    about->creditsView()->setTextCursor(link);
    about->creditsView()->ensureCursorVisible();
    const QPoint at = about->creditsView()->cursorRect(link).center();
    QTest::mouseClick(about->creditsView()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(opened, QList<QUrl> { QUrl(QStringLiteral("https://openfontlicense.org")) });
    EXPECT_EQ(about->creditsView()->toPlainText(), text);

    screenshot(about, QStringLiteral("about"));
}

TEST_F(PreferencesTest, HelpMenuLinksOpenTheirAddresses)
{
    const QString runningVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.134"));
    const QUrl website(QStringLiteral("https://zandrel.org/"));
    const QUrl downloads(QStringLiteral("https://zandrel.org/download/"));
    const struct {
        QString action;
        bool visible;
        QString scheme;
        QUrl url;
    } links[] = { { kVisitWebsiteAction, true, QStringLiteral("https"), website },
        { kVisitAppStoreAction, false, QStringLiteral("https"), website },
        { kCheckForUpdatesAction, true, QStringLiteral("https"), downloads },
        { kReportABugAction, true, QStringLiteral("mailto"), QUrl() } };
    for (const auto& link : links) {
        opened.clear();
        QAction* item = showMenuItem(window, link.action);
        ASSERT_TRUE(item) << link.action.toStdString();
        EXPECT_EQ(item->isVisible(), link.visible) << link.action.toStdString();
        // A hidden item cannot be chosen; its action still answers when sent.
        if (link.visible)
            item->trigger();
        else
            EXPECT_TRUE(controller->tryToPerform(link.action, ActionSender {}));
        ASSERT_EQ(opened.size(), 1) << link.action.toStdString();
        EXPECT_EQ(opened.first().scheme(), link.scheme);
        if (link.scheme == QStringLiteral("https"))
            EXPECT_EQ(opened.first(), link.url);
    }
    const QUrl mail = opened.first();
    EXPECT_EQ(mail.path(), WebLinks::kSupportAddress);
    const QString body = QUrlQuery(mail).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    EXPECT_TRUE(body.startsWith(QStringLiteral("Zandrel version: 1.0.134\r\nSystem version: ")));
    EXPECT_TRUE(
        body.endsWith(QStringLiteral("\r\n\r\nDescription:\r\n\r\nSteps to Duplicate:\r\n\r\nResult:\r\n\r\n"
                                     "Expected Result:\r\n")));

    // Versions with the characters that end a field or a link arrive whole, read back by an
    // independent parser: subject and body are the only fields.
    const QUrl hostile
        = WebLinks::bugReportUrl(QStringLiteral("1.0 & more=#2"), QStringLiteral("Linux 100%?\nx+y"));
    const QByteArray encoded = hostile.toEncoded();
    EXPECT_TRUE(encoded.startsWith("mailto:support@zandrel.org?subject=%5BZandrel%20Bug%5D&body="));
    EXPECT_EQ(encoded.count('&'), 1);
    EXPECT_EQ(encoded.count('?'), 1);
    for (char raw : { '#', ' ', '\n', '\r', '+' })
        EXPECT_FALSE(encoded.contains(raw)) << raw;
    QString output;
    ASSERT_EQ(test::runPython(
                  QStringLiteral("import sys, urllib.parse\n"
                                 "url = open(sys.argv[1]).read()\n"
                                 "fields = urllib.parse.parse_qs(url.split('?', 1)[1], strict_parsing=True)\n"
                                 "print(sorted(fields), repr(fields['body'][0].split('\\r\\n')[:2]))\n"),
                  encoded, &output),
        0)
        << output.toStdString();
    EXPECT_EQ(output.trimmed(),
        QStringLiteral(
            "['body', 'subject'] ['Zandrel version: 1.0 & more=#2', 'System version: Linux 100%?\\nx+y']"));
}

// The developer panel comes and goes with its action, whose item carries a check mark while the
// panel is shown; the panel tells where the program keeps its files and how its documents stand.
TEST_F(PreferencesTest, TheDeveloperPanelTogglesWithItsCheckMark)
{
    QAction* item = MenuActions::make(window, QStringLiteral("Developer Panel"), kShowTestPanelAction);
    item->setCheckable(true);
    const auto checked = [this, item] {
        EXPECT_TRUE(MenuActions::validate(item, MenuActions::responderChain(window)));
        EXPECT_TRUE(item->isEnabled());
        return item->isChecked();
    };
    EXPECT_FALSE(checked());
    ASSERT_TRUE(MenuActions::send(item, window));
    DeveloperPanel* panel = controller->developerPanel();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    EXPECT_TRUE(checked());
    EXPECT_TRUE(
        panel->text().contains(QStringLiteral("Support folder: ") + controller->getMyAppSupportFolderURL()));
    EXPECT_TRUE(panel->text().contains(QStringLiteral("Untitled")));
    ASSERT_TRUE(MenuActions::send(item, window));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(checked());
}

} // namespace
} // namespace zandrel
