// Sharing a comic from its window's Share button: each item of the share menu chosen as a person
// would, with the clipboard, the saved picture, the mail helper's arguments and the folder shown
// checked afterwards, and the copied picture pasted back into the comic.
#include "app/ComicSharing.h"

#include "ComicWindowFixture.h"
#include "app/WebLinks.h"
#include "charmodel/ImageElement.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QMimeData>
#include <QToolBar>

namespace zandrel::test {
namespace {

class ComicSharingTest : public ComicWindowTest {
protected:
    void SetUp() override
    {
        ComicWindowTest::SetUp();
        ComicSharing::setMenuRunner([this](QMenu& menu, const QPoint&) { shown = &menu; });
        ComicSharing::setMailHelper(QStringLiteral("/usr/bin/mail-helper"));
        ComicSharing::setProgramStarter([this](const QString& program, const QStringList& arguments) {
            started.append(program);
            started.append(arguments);
            return startWorks;
        });
        ComicSharing::setSavePathChooser([this](QWidget*, const QString& name, auto completion) {
            suggested = name;
            completion(savePath);
        });
        WebLinks::setUrlOpener([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
    }
    void TearDown() override
    {
        ComicSharing::setMenuRunner({});
        ComicSharing::setMailHelper({});
        ComicSharing::setProgramStarter({});
        ComicSharing::setSavePathChooser({});
        WebLinks::setUrlOpener({});
        ComicWindowTest::TearDown();
    }
    // Presses the Share button and chooses the item of its menu.
    void share(const QString& title)
    {
        shown = nullptr;
        QAction* button = toolbarItem(window, kShareAction);
        ASSERT_TRUE(button);
        MenuActions::validate(button, MenuActions::responderChain(window));
        ASSERT_TRUE(button->isEnabled());
        QTest::mouseClick(window->toolbar()->widgetForAction(button), Qt::LeftButton);
        endOfEvent();
        ASSERT_TRUE(shown);
        QAction* chosen = nullptr;
        for (QAction* candidate : shown->actions()) {
            if (candidate->text() == title)
                chosen = candidate;
        }
        ASSERT_TRUE(chosen) << title.toStdString();
        ASSERT_TRUE(chosen->isEnabled()) << title.toStdString();
        chosen->trigger();
        endOfEvent();
    }

    QPointer<QMenu> shown;
    QStringList started;
    bool startWorks = true;
    QString suggested;
    QString savePath;
    QList<QUrl> opened;
};

TEST_F(ComicSharingTest, EveryItemOfTheShareMenuHandsOnTheRenderedComic)
{
    const QImage expected = ComicSharing::renderComic(model());
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(expected.size(), model().bounds().size().toSize());
    // The page is drawn, not left blank: its panels' frames are dark.
    int dark = 0;
    for (int y = 0; y < expected.height(); y += 2) {
        for (int x = 0; x < expected.width(); x += 2)
            dark += qGray(expected.pixel(x, y)) < 128;
    }
    EXPECT_GT(dark, 100);

    // A comic without a description shares the user's default one.
    model().setComicDescription(QString());
    UserDefaults::standard().set(kDefaultDescriptionKey, QStringLiteral("Fresh from the desk."));
    share(QStringLiteral("Copy Image"));
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(copied && copied->hasImage());
    EXPECT_EQ(copied->text(), "Fresh from the desk.");
    EXPECT_EQ(qvariant_cast<QImage>(copied->imageData()).convertToFormat(QImage::Format_RGB32), expected);

    model().setComicDescription(QStringLiteral("Our heroes meet."));
    savePath = dir.filePath(QStringLiteral("shared.png"));
    share(QStringLiteral("Save Image…"));
    EXPECT_EQ(suggested, QStringLiteral("Reference.png"));
    EXPECT_EQ(QImageReader(savePath).read().convertToFormat(QImage::Format_RGB32), expected);
    // Cancelled: nothing written, nothing said.
    savePath.clear();
    share(QStringLiteral("Save Image…"));
    savePath = dir.filePath(QStringLiteral("no folder/shared.png"));
    share(QStringLiteral("Save Image…"));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, "The image could not be saved.");

    share(QStringLiteral("Email…"));
    ASSERT_EQ(started.size(), 8);
    EXPECT_EQ(started.first(), "/usr/bin/mail-helper");
    EXPECT_EQ(started.mid(1, 6),
        (QStringList { "--utf8", "--subject", "Reference", "--body", "Our heroes meet.", "--attach" }));
    EXPECT_EQ(QImageReader(started.last()).read().convertToFormat(QImage::Format_RGB32), expected);
    // A second mail attaches a file of its own; a helper that does not start is said so.
    started.clear();
    startWorks = false;
    share(QStringLiteral("Email…"));
    EXPECT_NE(started.last(), QString());
    EXPECT_TRUE(QFileInfo::exists(started.last()));
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts.last().message, "The mail program could not be started.");

    share(QStringLiteral("Show Comic File in Folder"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl::fromLocalFile(QFileInfo(document->filePath()).absolutePath()));
}

TEST_F(ComicSharingTest, ACopiedImagePastesIntoThePanelAsAnyPastedPictureAndUndoes)
{
    const QImage expected = ComicSharing::renderComic(model());
    share(QStringLiteral("Copy Image"));
    // A click inside a panel's frame, away from its objects, makes it the one pasted into.
    const auto target = panel(4);
    click(target->bounds().bottomRight() - QPointF(8, 8));
    const QByteArray before = bytes();
    choose(kPasteAction);
    const ElementList pasted = view->selection();
    ASSERT_EQ(pasted.size(), 1);
    const auto image = std::dynamic_pointer_cast<ImageElement>(pasted.first());
    ASSERT_TRUE(image && image->image());
    EXPECT_EQ(target->frontLayer()->children().last(), image);
    // Kept as the PNG file of the page that another program would have pasted.
    EXPECT_EQ(
        QImage::fromData(image->image()->savedData(), "PNG").convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Import image"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(ComicSharingTest, TheShareButtonOpensItsMenuOnMouseDownAndStaysDownWhileItIsUp)
{
    QAction* item = toolbarItem(window, kShareAction);
    ASSERT_TRUE(item);
    MenuActions::validate(item, MenuActions::responderChain(window));
    auto* button = qobject_cast<QAbstractButton*>(window->toolbar()->widgetForAction(item));
    ASSERT_TRUE(button);
    int runs = 0;
    QPoint at;
    ComicSharing::setMenuRunner([&](QMenu& menu, const QPoint& point) {
        ++runs;
        shown = &menu;
        at = point;
    });
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_EQ(runs, 1) << "the press opens the menu";
    EXPECT_EQ(at, button->mapToGlobal(QPoint(0, button->height()))) << "under the button";
    QTest::mouseRelease(button, Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(runs, 1) << "the release does not open it a second time";

    // With the real menu the button stays down until the menu goes.
    ComicSharing::setMenuRunner({});
    QTest::mousePress(button, Qt::LeftButton);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    EXPECT_TRUE(button->isDown());
    QTest::keyClick(menu, Qt::Key_Escape);
    endOfEvent();
    EXPECT_FALSE(QApplication::activePopupWidget());
    EXPECT_FALSE(button->isDown());
}

} // namespace
} // namespace zandrel::test
