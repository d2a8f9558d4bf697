// The application around the windows: the menus built in code, cursors, one running instance and
// the desktop integration.
#include "WindowTestSupport.h"
#include "app/SingleInstance.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterFileFormats.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "graphics/NamedShapeStyle.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <thread>

namespace zandrel {
namespace {

using ApplicationTest = test::WindowTest;

TEST_F(ApplicationTest, MenusBuiltInCode)
{
    QMenu menu;
    menu.addAction(QStringLiteral("left over"));
    AppController::setupPartTypeMenu(&menu, kSetPartTypeAction);
    const QList<int> types = CharacterModel::getAllPartTypesSorted();
    ASSERT_EQ(menu.actions().size(), types.size());
    for (qsizetype i = 0; i < types.size(); ++i) {
        QAction* item = menu.actions().at(i);
        EXPECT_EQ(MenuActions::tagOf(item), types.at(i));
        EXPECT_EQ(MenuActions::actionOf(item), kSetPartTypeAction);
        EXPECT_EQ(item->text(), Part::singularNameForType(static_cast<PartType>(types.at(i))));
    }

    AppController::setupRoundnessMenu(&menu);
    QStringList titles;
    QList<int> tags;
    for (QAction* item : menu.actions()) {
        titles.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        tags.append(item->data().toInt());
    }
    EXPECT_EQ(titles,
        (QStringList { "Roundness", "Sharp", "-", "4 px", "6 px", "7 px", "10 px", "12 px", "15 px", "18 px",
            "24 px", "30 px", "36 px", "48 px", "-", "Fully Round" }));
    EXPECT_EQ(tags.at(1), 1);
    EXPECT_EQ(tags.at(3), 0);
    EXPECT_EQ(tags.last(), 2);
    EXPECT_FALSE(menu.actions().first()->isEnabled());

    AppController::setupLineStyleMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 15);
    for (qsizetype i = 0; i < 15; ++i) {
        QAction* item = menu.actions().at(i);
        EXPECT_EQ(item->data().toInt(), i);
        EXPECT_EQ(item->text(), QStringLiteral("  ") + controller->getDashAtIndex(i).name());
        EXPECT_EQ(item->icon().availableSizes().value(0), QSize(32, 16));
    }
    // The solid line is drawn through; a dash of one and one leaves gaps along the line.
    const QImage solid = menu.actions().at(0)->icon().pixmap(QSize(32, 16)).toImage();
    const QImage dotted = menu.actions().at(1)->icon().pixmap(QSize(32, 16)).toImage();
    int solidInk = 0;
    int dottedInk = 0;
    for (int x = 0; x < 32; ++x) {
        solidInk += qAlpha(solid.pixel(x, 7)) > 0;
        dottedInk += qAlpha(dotted.pixel(x, 7)) > 0;
    }
    EXPECT_EQ(solidInk, 32);
    EXPECT_LT(dottedInk, 28);
    EXPECT_GT(dottedInk, 8);

    auto style = std::make_shared<NamedShapeStyle>();
    style->setName(QStringLiteral("Skin"));
    AppController::setupStyleMenuWithStyles(&menu, { style, style });
    ASSERT_EQ(menu.actions().size(), 2);
    EXPECT_EQ(MenuActions::actionOf(menu.actions().at(1)), kApplyStyleAction);
    EXPECT_EQ(MenuActions::tagOf(menu.actions().at(1)), 1);
    EXPECT_EQ(menu.actions().at(0)->text(), QStringLiteral("Skin"));
}

TEST_F(ApplicationTest, ShippedFontsAreRegisteredAndFavourites)
{
    EXPECT_GT(controller->activateFonts(), 0);
    EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("Comic Neue")));
    EXPECT_TRUE(controller->isAFavoriteFontFamily(QStringLiteral("Comic Neue")));
}

TEST_F(ApplicationTest, InterfaceImagesAndCursorsAreCompiledIn)
{
    for (const char* name : { "path_char", "path_part", "path_path", "path_partgroup", "path_image",
             "path_comic", "path_group", "path_balloongroup", "path_page", "free_objects" }) {
        const QImage image(QStringLiteral(":/images/%1.png").arg(QLatin1String(name)));
        EXPECT_EQ(image.size(), QSize(16, 16)) << name;
        EXPECT_EQ(QImage(QStringLiteral(":/images/%1@2x.png").arg(QLatin1String(name))).size(), QSize(32, 32))
            << name;
    }
    const QCursor first = controller->getCursorResource(QStringLiteral("Cur_Marquee"), QPointF(4, 4));
    EXPECT_FALSE(first.pixmap().isNull());
    EXPECT_EQ(
        controller->getCursorResource(QStringLiteral("Cur_Marquee"), QPointF(9, 9)).hotSpot(), QPoint(4, 4));
}

TEST_F(ApplicationTest, ASecondStartHandsItsFileToTheRunningInstance)
{
    const QString name = QStringLiteral("zandrel-test-%1").arg(QCoreApplication::applicationPid());
    qputenv("ZANDREL_INSTANCE_NAME", name.toUtf8());
    SingleInstance running;
    QStringList received;
    ASSERT_TRUE(running.listen([&received](const QStringList& arguments) { received = arguments; }));

    QTemporaryDir dir;
    QProcess second;
    second.setWorkingDirectory(dir.path());
    second.start(QStringLiteral(ZANDREL_EXECUTABLE),
        { QStringLiteral("Relative.parts"), QStringLiteral("zdltp://host/x.comic"),
            QStringLiteral("file:///tmp/From%20Desktop.parts") });
    ASSERT_TRUE(second.waitForStarted());
    // The running instance answers from its event loop.
    QElapsedTimer clock;
    clock.start();
    while (second.state() != QProcess::NotRunning && clock.elapsed() < 20000)
        QTest::qWait(20);
    qunsetenv("ZANDREL_INSTANCE_NAME");
    ASSERT_EQ(second.state(), QProcess::NotRunning) << "the second start should end once it handed over";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(received,
        (QStringList { QDir(dir.path()).absoluteFilePath(QStringLiteral("Relative.parts")),
            QStringLiteral("zdltp://host/x.comic"), QStringLiteral("/tmp/From Desktop.parts") }));
}

TEST_F(ApplicationTest, QuittingWhileALinkDownloadsEndsCleanly)
{
    // A host that takes the connection and never answers: the download is still waiting when the
    // program quits (it takes its picture and quits).
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QTemporaryDir home;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("ZANDREL_INSTANCE_NAME"),
        QStringLiteral("quit-%1").arg(QCoreApplication::applicationPid()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZANDREL_EXECUTABLE),
        { QStringLiteral("--screenshot"), home.filePath(QStringLiteral("shot.png")),
            QStringLiteral("--screenshot-delay"), QStringLiteral("1000"),
            QStringLiteral("zdltp://127.0.0.1:%1/x.parts").arg(silent.serverPort()) });
    ASSERT_TRUE(program.waitForFinished(20000));
    const QString output = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Open comic file: 127.0.0.1:"))) << output.toStdString();
    // The network ends before the application does, never after.
    EXPECT_FALSE(output.contains(QStringLiteral("invalid nullptr parameter"))) << output.toStdString();
}

TEST_F(ApplicationTest, DesktopIntegrationInstallsForTheUserOnly)
{
    QTemporaryDir data;
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    install.setProcessEnvironment(environment);
    install.start(test::sourcePath(QStringLiteral("scripts/install-desktop.sh")),
        { QStringLiteral(ZANDREL_EXECUTABLE),
            QFileInfo(QStringLiteral(ZANDREL_EXECUTABLE)).absolutePath()
                + QStringLiteral("/interface/images") });
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    QFile entry(data.filePath(QStringLiteral("applications/org.zandrel.Zandrel.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral(
        "MimeType=application/x-zandrel-comic;application/x-zandrel-parts;x-scheme-handler/zdltp;")));
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"%1\" %U")
                                  .arg(QFileInfo(QStringLiteral(ZANDREL_EXECUTABLE)).canonicalFilePath())));
    EXPECT_EQ(
        QImage(data.filePath(QStringLiteral("icons/hicolor/256x256/apps/org.zandrel.Zandrel.png"))).size(),
        QSize(256, 256));

    // The file types, read by an independent XML reader.
    QString output;
    QFile types(data.filePath(QStringLiteral("mime/packages/org.zandrel.Zandrel.xml")));
    ASSERT_TRUE(types.open(QIODevice::ReadOnly));
    const int status
        = test::runPython(QStringLiteral("import sys, xml.etree.ElementTree as ET\n"
                                         "ns = '{http://www.freedesktop.org/standards/shared-mime-info}'\n"
                                         "for t in ET.parse(sys.argv[1]).getroot().iter(ns + 'mime-type'):\n"
                                         "    print(t.get('type'), t.find(ns + 'glob').get('pattern'))\n"),
            types.readAll(), &output);
    if (status == -1)
        GTEST_SKIP() << "python3 is not available";
    EXPECT_EQ(output.trimmed(),
        QStringLiteral("application/x-zandrel-comic *.comic\napplication/x-zandrel-parts *.parts"));
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST_F(ApplicationTest, ContextualMenusHideWhatNobodyAnswers)
{
    DocumentController& controllerDocuments = documents();
    auto* document
        = controllerDocuments.makeUntitledDocument(QStringLiteral("org.zandrel.Zandrel.character"));
    ASSERT_TRUE(document);
    QWidget* window = controllerDocuments.windowFor(document);
    QMenu* menu = controller->contextualMenu();
    EXPECT_EQ(controller->contextualMenu(), menu);
    // Every command is titled, as the main menu titles it.
    for (QAction* item : menu->actions()) {
        if (!MenuActions::actionOf(item).isEmpty())
            EXPECT_FALSE(item->text().isEmpty()) << MenuActions::actionOf(item).toStdString();
    }
    const auto shownItems = [menu, window] {
        MenuActions::validateAndHideContextMenuItems(menu, window);
        QStringList shown;
        for (QAction* item : menu->actions()) {
            if (item->isVisible() && !item->isSeparator())
                shown.append(item->text());
        }
        return shown;
    };
    // The new character's sheet is up: nothing edits the character before it is done.
    EXPECT_EQ(shownItems(), QStringList()) << shownItems().join(", ").toStdString();
    auto* sheet = window->findChild<QDialog*>(QStringLiteral("NewCharacterSheet"));
    ASSERT_TRUE(sheet);
    QTest::mouseClick(sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTest::qWait(1);
    // Nothing to undo, redo or act on, no part types or styles yet, no editor to leave: a paste and
    // a new part, which the character's parts view takes and makes.
    EXPECT_EQ(shownItems(), (QStringList { QStringLiteral("Paste"), QStringLiteral("New Part") }))
        << shownItems().join(", ").toStdString();

    document->undoableSetPropertyFor(std::dynamic_pointer_cast<Object>(document->rootModel()),
        QStringLiteral("characterName"), Value(QStringLiteral("X")));
    document->undoManager()->setActionName(QStringLiteral("Rename"));
    QTest::qWait(1);
    MenuActions::validateAndHideContextMenuItems(menu, window);
    EXPECT_TRUE(document->undoManager()->canUndo());
    EXPECT_TRUE(menu->actions().at(0)->isEnabled());
    EXPECT_TRUE(menu->actions().at(0)->isVisible());
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Undo Rename"));
    EXPECT_FALSE(menu->actions().at(1)->isVisible());
}

TEST_F(ApplicationTest, QuittingAsksAboutUntitledChangesAndSavesTheRest)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kept.parts"));
    auto* untitled = documents().makeUntitledDocument(QStringLiteral("org.zandrel.Zandrel.character"));
    auto* titled = documents().makeUntitledDocument(QStringLiteral("org.zandrel.Zandrel.character"));
    DocumentError error;
    ASSERT_TRUE(titled->saveToFile(path, SaveOperation::SaveAs, &error));
    for (ZDLDocument* document : { untitled, titled }) {
        document->undoableSetPropertyFor(
            document->rootModel(), QStringLiteral("characterName"), Value(QStringLiteral("Changed")));
    }
    QTest::qWait(1);

    // Cancel: nothing closes and the quit stops.
    answers = { ModalAlert::kSecondButton };
    EXPECT_FALSE(controller->applicationShouldTerminate());
    EXPECT_EQ(documents().documents().size(), 2);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message,
        QStringLiteral("Do you want to save the changes made to the document “Untitled”?"));
    // The document with a file was written in place without a question.
    EXPECT_FALSE(titled->isDocumentEdited());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Changed"));

    answers = { ModalAlert::kThirdButton };
    EXPECT_TRUE(controller->applicationShouldTerminate());
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST_F(ApplicationTest, AlertsAttachToTheirWindowAndAnswerWithTheButtonsCode)
{
    controller->setModalAlertHandler({});
    auto* document = documents().makeUntitledDocument(QStringLiteral("org.zandrel.Zandrel.character"));
    QWidget* window = documents().windowFor(document);
    ModalAlert alert;
    alert.message = QStringLiteral("Question");
    alert.buttons = { QStringLiteral("Paste"), QStringLiteral("Cancel") };
    int answer = 0;
    controller->showAlert(alert, window, [&answer](int code) { answer = code; });
    // The box is open over its window and the call has returned already.
    auto* box = window->findChild<QMessageBox*>();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(answer, 0);
    QAbstractButton* cancel = nullptr;
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == QStringLiteral("Cancel"))
            cancel = button;
    }
    ASSERT_TRUE(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(answer, ModalAlert::kSecondButton);
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST(SingleInstanceTest, DisplaysAreNamedOncePerDisplay)
{
    const struct {
        const char* platform;
        const char* wayland;
        const char* x11;
        const char* display;
    } cases[] = {
        { "xcb", "", ":0", ":0" },
        { "xcb", "", ":0.1", ":0" },
        { "xcb", "", "unix:0", ":0" },
        { "xcb", "", ":15", ":15" },
        { "xcb", "", "localhost:10.0", "localhost:10" },
        { "xcb", "wayland-0", ":1", ":1" },
        { "wayland", "wayland-1", ":0", "wayland-1" },
        { "wayland", "", "", "wayland-0" },
        { "offscreen", "", "", "offscreen" },
    };
    for (const auto& each : cases)
        EXPECT_EQ(SingleInstance::displayName(QString::fromLatin1(each.platform),
                      QString::fromLatin1(each.wayland), QString::fromLatin1(each.x11)),
            QString::fromLatin1(each.display))
            << each.platform << " " << each.x11;
}

TEST_F(ApplicationTest, AStartOnAnotherDisplayDoesNotHandItsFilesOver)
{
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("ZANDREL_INSTANCE_NAME",
        QStringLiteral("zandrel-display-%1").arg(QCoreApplication::applicationPid()).toUtf8());
    qputenv("DISPLAY", ":91");
    SingleInstance running;
    QStringList received;
    ASSERT_TRUE(running.listen([&received](const QStringList& arguments) { received = arguments; }));
    const QString onDisplay91 = SingleInstance::serverName();

    qputenv("DISPLAY", ":92");
    EXPECT_NE(SingleInstance::serverName(), onDisplay91);
    EXPECT_FALSE(SingleInstance::forwardToRunningInstance({ QStringLiteral("/tmp/Elsewhere.parts") }, 500));
    // Another screen of the same display is the same display.
    qputenv("DISPLAY", ":91.1");
    bool handedOver = false;
    std::thread second([&handedOver] {
        handedOver = SingleInstance::forwardToRunningInstance({ QStringLiteral("/tmp/Here.parts") }, 5000);
    });
    QElapsedTimer clock;
    clock.start();
    while (received.isEmpty() && clock.elapsed() < 5000)
        QTest::qWait(10);
    second.join();
    EXPECT_TRUE(handedOver);
    EXPECT_EQ(received, QStringList { QStringLiteral("/tmp/Here.parts") });
    qunsetenv("ZANDREL_INSTANCE_NAME");
    if (display.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", display);
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == title)
            return button;
    }
    return nullptr;
}

// Alerts attached to a window, as the user sees them: the icon says whether they warn or inform, and
// the buttons stand in the order of every dialog's OK and Cancel while answering by their position
// in the question.
TEST_F(ApplicationTest, AlertsOrderTheirButtonsAsDialogsDoAndAnswerByPosition)
{
    DocumentWindow* window = documents().windowFor(documents().makeUntitledDocument(kCharacterDocumentType));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    controller->setModalAlertHandler({});
    ModalAlert question;
    question.message = QStringLiteral("Do you want to save the changes?");
    question.buttons = { QStringLiteral("Save"), QStringLiteral("Cancel"), QStringLiteral("Don’t Save") };
    QList<int> answered;
    const auto ask = [&] {
        controller->showAlert(question, window, [&answered](int code) { answered.append(code); });
        auto* box = window->findChild<QMessageBox*>();
        EXPECT_TRUE(box && QTest::qWaitForWindowExposed(box));
        return box;
    };
    QMessageBox* box = ask();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    QAbstractButton* save = buttonTitled(box, QStringLiteral("Save"));
    QAbstractButton* cancel = buttonTitled(box, QStringLiteral("Cancel"));
    ASSERT_TRUE(save && cancel);
    EXPECT_EQ(box->buttonRole(save), QMessageBox::AcceptRole);
    EXPECT_EQ(box->buttonRole(cancel), QMessageBox::RejectRole);
    EXPECT_EQ(box->buttonRole(buttonTitled(box, QStringLiteral("Don’t Save"))), QMessageBox::DestructiveRole);
    QDialogButtonBox sheetButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    sheetButtons.resize(300, 40);
    sheetButtons.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheetButtons));
    EXPECT_EQ(save->x() < cancel->x(),
        sheetButtons.button(QDialogButtonBox::Ok)->x() < sheetButtons.button(QDialogButtonBox::Cancel)->x());
    QTest::mouseClick(buttonTitled(box, QStringLiteral("Don’t Save")), Qt::LeftButton);
    QTest::qWait(1);
    QTest::keyClick(ask(), Qt::Key_Escape);
    QTest::qWait(1);
    EXPECT_EQ(answered, (QList<int> { ModalAlert::kThirdButton, ModalAlert::kSecondButton }));

    controller->showAlertMessage(
        QStringLiteral("Saved."), QString(), window, ModalAlert::Style::Informational);
    box = window->findChild<QMessageBox*>();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    box->accept();
}

// Notes the document window that last became the active one.
struct FrontWindowWatch : QObject {
    FrontWindowWatch() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate && qobject_cast<DocumentWindow*>(watched))
            front = static_cast<QWidget*>(watched);
        return false;
    }
    QWidget* front = nullptr;
};

// Quitting with two untitled windows changed, the second in front: each question comes over the
// window it names, and that window has come to the front before it.
TEST_F(ApplicationTest, QuittingAsksAboutEachUnsavedWindowOverIt)
{
    controller->setModalAlertHandler({});
    using Question = std::tuple<QString, QWidget*, QWidget*>;
    QList<Question> expected;
    for (int i = 0; i < 2; ++i) {
        ZDLDocument* document = documents().makeUntitledDocument(kCharacterDocumentType);
        document->undoableSetPropertyFor(
            document->rootModel(), QStringLiteral("characterName"), Value(QStringLiteral("Changed")));
        DocumentWindow* window = documents().windowFor(document);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        expected.append({ QStringLiteral("Do you want to save the changes made to the document “%1”?")
                              .arg(document->displayName()),
            window, window });
    }
    QTest::qWait(1);
    const FrontWindowWatch watch;
    QList<Question> asked;
    QTimer answering;
    // A busy machine may deliver the activation after the question shows: each is given a second
    // for its window to come to the front.
    QPointer<QMessageBox> seen;
    QElapsedTimer shown;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box != seen) {
            seen = box;
            shown.start();
        }
        if (watch.front != box->parentWidget() && shown.elapsed() < 1000)
            return;
        asked.append({ box->text(), box->parentWidget(), watch.front });
        QTest::mouseClick(buttonTitled(box, QStringLiteral("Don’t Save")), Qt::LeftButton);
    });
    answering.start(10);
    EXPECT_TRUE(controller->applicationShouldTerminate());
    EXPECT_EQ(asked, expected);
}

} // namespace
} // namespace zandrel
