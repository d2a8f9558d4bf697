// The help comics shipped with the program and their overlay: every comic reads and its command
// balloons become buttons; the overlay, driven with real mouse events, turns pages by clicks and
// dots, shows its close box and buttons while the pointer is over it, closes, remembers "don't show
// again" and opens its help and link addresses.
#include "app/WebLinks.h"
#include "app/core/ActionNames.h"
#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "app/windows/WindowTestSupport.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "panels/HelpComicView.h"
#include "panels/NavigationDots.h"
#include "platform/AttributedText.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace zandrel::test {

namespace {

class HelpComicTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        UserDefaults::standard().remove(kHiddenHelpPanelsKey);
        HelpComicView::setAnimates(false);
        host.resize(700, 500);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        WebLinks::setUrlOpener([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
    }
    void TearDown() override
    {
        WebLinks::setUrlOpener({});
        UserDefaults::standard().remove(kHiddenHelpPanelsKey);
        WindowTest::TearDown();
    }
    // Moves the pointer into the overlay, as a person reaching for it.
    static void hover(HelpComicView* view, const QPoint& at)
    {
        QTest::mouseMove(view, at);
        QEnterEvent enter(at, view->mapTo(view->window(), at), view->mapToGlobal(at));
        QApplication::sendEvent(view, &enter);
        QMouseEvent move(
            QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    }
    static void closed() { QTest::qWait(1); }

    QWidget host;
    ZDLDocument document;
    QList<QUrl> opened;
};

TEST_F(HelpComicTest, EveryShippedHelpComicReadsAndNamesItsButtons)
{
    const struct {
        QString id;
        int pages;
        QString anchor;
        QString linkTitle;
        QString link;
    } comics[] = {
        { HelpComicView::kComicViewHelp, 3, QStringLiteral("comic_view"), QStringLiteral("Zandrel website"),
            QStringLiteral("https://zandrel.org/") },
        { HelpComicView::kPartsViewHelp, 2, QStringLiteral("parts_view"), {}, {} },
        { HelpComicView::kPartElementsViewHelp, 2, QStringLiteral("part_elements_view"), {}, {} },
        { HelpComicView::kLibraryViewHelp, 1, QStringLiteral("library_view"), {}, {} },
        { QStringLiteral("image_view"), 3, QStringLiteral("image_view"), {}, {} },
        { QStringLiteral("group_view"), 2, QStringLiteral("group_view"), {}, {} },
        { QStringLiteral("floating_view"), 2, QStringLiteral("floating_view"), {}, {} },
        { QStringLiteral("balloon_group_view"), 2, QStringLiteral("balloon_group_view"), {}, {} },
    };
    QFile bookFile(QStringLiteral(":/help/index.html"));
    ASSERT_TRUE(bookFile.open(QIODevice::ReadOnly));
    const QString book = QString::fromUtf8(bookFile.readAll());
    for (const auto& c : comics) {
        SCOPED_TRACE(c.id.toStdString());
        EXPECT_TRUE(book.contains(QStringLiteral("id=\"%1\"").arg(c.anchor)))
            << "the help book has the section";
        HelpComicView* view = HelpComicView::createHelp(c.id, &document, &host, true);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->numPages(), c.pages);
        EXPECT_EQ(view->pageDots() != nullptr, c.pages >= 2);
        EXPECT_EQ(view->moreHelpAnchor(0), c.anchor);
        EXPECT_EQ(view->externalLinkText(c.pages - 1), c.linkTitle);
        EXPECT_EQ(view->externalLink(c.pages - 1), c.link);
        // The command balloon is hidden; the page's other balloons show.
        const auto panel = std::dynamic_pointer_cast<ComicPanel>(view->comic()->pageAtIndex(0)->firstPanel());
        const ElementList balloons = panel->allComicElementsOfClass(Balloon::kClassName);
        ASSERT_GE(balloons.size(), 2);
        EXPECT_FALSE(std::dynamic_pointer_cast<Balloon>(balloons.first())->visible());
        EXPECT_TRUE(std::dynamic_pointer_cast<Balloon>(balloons.last())->visible());
        EXPECT_EQ(view->width(), int(std::ceil(view->comic()->bounds().width() + 40)));
        EXPECT_EQ(
            view->pos(), QPoint((host.width() - view->width()) / 2, (host.height() - view->height()) / 2));
        view->closeAndRemove();
    }
    EXPECT_FALSE(HelpComicView::readHelpComic(QStringLiteral("../comic_view")));
    EXPECT_FALSE(HelpComicView::readHelpComic(QStringLiteral("no_such_help")));
    EXPECT_TRUE(HelpComicView::openHelpComics().isEmpty());
}

TEST_F(HelpComicTest, PagesTurnByClicksAndDotsAndTheCloseBoxCloses)
{
    HelpComicView* view = HelpComicView::createHelp(HelpComicView::kComicViewHelp, &document, &host, false);
    ASSERT_TRUE(view);
    EXPECT_EQ(HelpComicView::getOpenHelp(HelpComicView::kComicViewHelp, &document), view);
    EXPECT_FALSE(view->moreHelpButton()->isVisible());
    hover(view, QPoint(200, 100));
    EXPECT_TRUE(view->dontShowAgainButton()->isVisible());
    EXPECT_TRUE(view->moreHelpButton()->isVisible());
    EXPECT_EQ(view->moreHelpButton()->text(), QStringLiteral("More help"));

    const QPoint onComic = view->comicRect().center().toPoint();
    QTest::mouseClick(view, Qt::LeftButton, {}, onComic);
    EXPECT_EQ(view->currentPageIndex(), 1);
    QTest::mouseClick(view, Qt::LeftButton, {}, onComic);
    EXPECT_EQ(view->currentPageIndex(), 2);
    EXPECT_EQ(view->moreHelpButton()->text(), QStringLiteral("Zandrel website"));
    QTest::mouseClick(view, Qt::LeftButton, {}, onComic);
    EXPECT_EQ(view->currentPageIndex(), 0) << "the last page turns to the first";

    NavigationDots* dots = view->pageDots();
    QTest::mouseClick(dots, Qt::LeftButton, {}, dots->dotBoxFor(2).center().toPoint());
    EXPECT_EQ(view->currentPageIndex(), 2);
    EXPECT_EQ(dots->selectedDot(), 2);

    // Pressing in the close box and letting go outside keeps the overlay; inside closes it.
    const QPoint box = view->closeBox().center().toPoint();
    QTest::mousePress(view, Qt::LeftButton, {}, box);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(200, 100));
    EXPECT_TRUE(HelpComicView::getOpenHelp(HelpComicView::kComicViewHelp, &document));
    QPointer<HelpComicView> watched(view);
    QTest::mouseClick(view, Qt::LeftButton, {}, box);
    closed();
    EXPECT_FALSE(watched);
    EXPECT_TRUE(HelpComicView::openHelpComics().isEmpty());
}

TEST_F(HelpComicTest, DontShowAgainHidesTheAutomaticHelpButNotTheHelpCommand)
{
    HelpComicView* view = HelpComicView::createHelp(HelpComicView::kPartsViewHelp, &document, &host, false);
    ASSERT_TRUE(view);
    hover(view, QPoint(100, 100));
    QTest::mouseClick(view->dontShowAgainButton(), Qt::LeftButton);
    closed();
    EXPECT_TRUE(HelpComicView::openHelpComics().isEmpty());
    EXPECT_TRUE(appController()->isHelpPanelHidden(HelpComicView::kPartsViewHelp));
    EXPECT_FALSE(HelpComicView::createHelp(HelpComicView::kPartsViewHelp, &document, &host, false));
    HelpComicView* forced = HelpComicView::createHelp(HelpComicView::kPartsViewHelp, &document, &host, true);
    ASSERT_TRUE(forced);
    EXPECT_FALSE(forced->dontShowAgainButton()) << "the help command has no don't-show button";
    forced->closeAndRemove();

    UserDefaults::standard().set(kHiddenHelpPanelsKey, QStringList { QStringLiteral("all") });
    EXPECT_FALSE(HelpComicView::createHelp(HelpComicView::kComicViewHelp, &document, &host, false));
}

TEST_F(HelpComicTest, HideAllHelpPanelsFromTheHelpMenuTakesTheOpenHelpAway)
{
    ZDLDocument* character
        = documents().makeUntitledDocument(QStringLiteral("org.zandrel.Zandrel.character"));
    DocumentWindow* window = documents().windowFor(character);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QPointer<HelpComicView> shown
        = HelpComicView::createHelp(HelpComicView::kPartsViewHelp, character, window->centralWidget(), true);
    QPointer<HelpComicView> elsewhere
        = HelpComicView::createHelp(HelpComicView::kComicViewHelp, &document, &host, false);
    ASSERT_TRUE(shown && elsewhere && shown->isVisible());
    QAction* hideAll = showMenuItem(window, kHideAllHelpPanelsAction);
    ASSERT_TRUE(hideAll && hideAll->isEnabled());
    hideAll->trigger();
    closed();
    EXPECT_FALSE(shown);
    EXPECT_FALSE(elsewhere);
    EXPECT_TRUE(HelpComicView::openHelpComics().isEmpty());
    EXPECT_TRUE(appController()->isHelpPanelHidden(HelpComicView::kLibraryViewHelp));
}

TEST_F(HelpComicTest, ButtonsOpenTheHelpBookAndTheLinkAndCloseTheOverlay)
{
    HelpComicView* view = HelpComicView::createHelp(HelpComicView::kComicViewHelp, &document, &host, true);
    ASSERT_TRUE(view);
    hover(view, QPoint(200, 100));
    QTest::mouseClick(view->moreHelpButton(), Qt::LeftButton);
    closed();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.first().isLocalFile());
    EXPECT_EQ(opened.first().fragment(), QStringLiteral("comic_view"));
    EXPECT_TRUE(QFile::exists(opened.first().toLocalFile()));
    EXPECT_TRUE(HelpComicView::openHelpComics().isEmpty());

    view = HelpComicView::createHelp(HelpComicView::kComicViewHelp, &document, &host, true);
    ASSERT_TRUE(view);
    view->setCurrentPageIndex(2);
    hover(view, QPoint(200, 100));
    QTest::mouseClick(view->moreHelpButton(), Qt::LeftButton);
    closed();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.last(), QUrl(QStringLiteral("https://zandrel.org/")));
}

TEST_F(HelpComicTest, AOnePageComicHasNoDotsAndAClickDoesNotTurn)
{
    HelpComicView* view = HelpComicView::createHelp(HelpComicView::kLibraryViewHelp, &document, &host, true);
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->pageDots());
    QTest::mouseClick(view, Qt::LeftButton, {}, view->comicRect().center().toPoint());
    EXPECT_EQ(view->currentPageIndex(), 0);
    EXPECT_TRUE(HelpComicView::getOpenHelp(HelpComicView::kLibraryViewHelp, &document));
    // A change of editor closes it.
    NotificationCenter::defaultCenter().post(kEditViewChangedNotification, &document);
    closed();
    EXPECT_TRUE(HelpComicView::openHelpComics().isEmpty());
}

// The library's area under a small window is lower than the help comic: the comic shrinks to fit
// it, buttons and all, and grows back when the area does.
TEST_F(HelpComicTest, AComicShrinksToFitASmallAreaAndGrowsBack)
{
    host.resize(700, 220);
    HelpComicView* view = HelpComicView::createHelp(HelpComicView::kComicViewHelp, &document, &host, false);
    ASSERT_TRUE(view);
    const QSizeF natural = view->comic()->bounds().size();
    ASSERT_GT(natural.height() + 60, 220) << "the area is too small for the comic as drawn";
    EXPECT_LT(view->comicScale(), 1.0);
    EXPECT_TRUE(host.rect().contains(view->geometry())) << "nothing of it is cut off";
    EXPECT_NEAR(view->comicRect().height(), natural.height() * view->comicScale(), 0.01);
    hover(view, view->comicRect().center().toPoint());
    EXPECT_TRUE(view->rect().contains(view->dontShowAgainButton()->geometry()));
    EXPECT_TRUE(view->rect().contains(view->moreHelpButton()->geometry()));
    EXPECT_TRUE(view->rect().contains(view->pageDots()->geometry()));

    // The page is drawn at that size: what shows matches the comic rendered at that scale.
    const QImage shown = view->grab().toImage();
    QImage expected(view->comicRect().size().toSize(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        painter.drawImage(0, 0, view->comic()->getImageOfPage(0, float(view->comicScale())));
    }
    const QPoint origin = view->comicRect().topLeft().toPoint();
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x)
            differing
                += std::abs(qGray(shown.pixel(origin + QPoint(x, y))) - qGray(expected.pixel(x, y))) > 64;
    }
    EXPECT_LT(differing, expected.width() * expected.height() / 50);

    // A page turn clicked on the shrunken page still lands on the comic.
    QTest::mouseClick(view, Qt::LeftButton, {}, view->comicRect().bottomRight().toPoint() - QPoint(5, 5));
    EXPECT_EQ(view->currentPageIndex(), 1);

    host.resize(700, 500);
    EXPECT_DOUBLE_EQ(view->comicScale(), 1.0);
    EXPECT_EQ(view->width(), int(std::ceil(natural.width() + 40)));
    EXPECT_EQ(view->pos(), QPoint((host.width() - view->width()) / 2, (host.height() - view->height()) / 2));

    // A tiny area keeps the text readable and lets the comic be cut instead.
    host.resize(300, 80);
    EXPECT_DOUBLE_EQ(view->comicScale(), HelpComicView::kSmallestScale);
    view->closeAndRemove();
}

// Only the first command balloon of a page's first panel counts; a link without "|" is all title.
TEST_F(HelpComicTest, CommandBalloonsOfAHandMadeComic)
{
    auto comic = std::make_shared<ComicModel>();
    comic->setupWithSize(QSizeF(300, 200), 1, 2);
    auto second = std::make_shared<ComicPage>();
    second->initWithRect(comic->bounds(), comic.get(), 1, 1);
    comic->setContents({ comic->currentPage(), second });
    auto lettered = [](const QString& text) {
        auto balloon = Balloon::initAt(QPointF(20, 20), 80);
        balloon->setFormattedText(AttributedText(text));
        return balloon;
    };
    const auto first = std::dynamic_pointer_cast<ComicPanel>(comic->pageAtIndex(0)->firstPanel());
    const auto link = lettered(QStringLiteral("link:Read on|https://example.org/a|b"));
    const auto help = lettered(QStringLiteral("help:second"));
    first->frontLayer()->setChildren({ lettered(QStringLiteral("Hello")), link, help });
    const auto last = std::dynamic_pointer_cast<ComicPanel>(second->firstPanel());
    const auto bare = lettered(QStringLiteral("link:No address"));
    last->frontLayer()->setChildren({ bare });

    HelpComicView* view = HelpComicView::showHelpComic(QStringLiteral("made"), comic, &document, &host, true);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->externalLinkText(0), QStringLiteral("Read on"));
    EXPECT_EQ(view->externalLink(0), QStringLiteral("https://example.org/a|b"));
    EXPECT_TRUE(view->moreHelpAnchor(0).isEmpty());
    EXPECT_FALSE(link->visible());
    EXPECT_TRUE(help->visible()) << "the second command balloon stays";
    EXPECT_EQ(view->externalLinkText(1), QStringLiteral("No address"));
    view->setCurrentPageIndex(1);
    hover(view, QPoint(100, 100));
    QTest::mouseClick(view->moreHelpButton(), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty()) << "a link without address opens nothing";
    EXPECT_TRUE(HelpComicView::getOpenHelp(QStringLiteral("made"), &document));
    view->closeAndRemove();
}

TEST(NavigationDotsTest, WidthsAndDotBoxes)
{
    NavigationDots dots;
    dots.resize(200, 14);
    dots.setNumDots(5);
    EXPECT_FLOAT_EQ(dots.activeWidth(), 82.0f);
    EXPECT_EQ(dots.activeBox(), QRectF(59, 0, 82, 14)) << "centred";
    EXPECT_EQ(dots.dotBoxFor(0), QRectF(66, 3, 8, 8));
    EXPECT_EQ(dots.dotBoxFor(4), QRectF(126, 3, 8, 8));
    EXPECT_EQ(dots.dotBoxFor(5), QRectF());
    dots.setDotsAlignment(NavigationDots::Right);
    EXPECT_EQ(dots.activeBox().x(), 118);
    dots.resize(60, 14);
    EXPECT_FLOAT_EQ(dots.activeWidth(), 60.0f);
    dots.setSelectedDot(7);
    EXPECT_EQ(dots.selectedDot(), 0);
    dots.setNumDots(-1);
    EXPECT_EQ(dots.numDots(), 5);
}

} // namespace

} // namespace zandrel::test
