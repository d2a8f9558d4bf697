// The tab strip: exact layout for titles of known widths, the more-tabs list, and real clicks on
// tabs and close boxes.
#include "views/ViewTabs.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Titles measure what their text says ("50" is 50 points wide), whatever the fonts.
class MeasuredTabs : public ViewTabs {
public:
    using ViewTabs::ViewTabs;

protected:
    double titleWidth(const QString& title) const override { return title.toDouble(); }
};

struct Fixture {
    explicit Fixture(int width)
    {
        tabs.resize(width, 22);
        QObject::connect(&tabs, &ViewTabs::tabAction, [this] { sent.append(tabs.closedTabIndex()); });
    }
    void add(std::initializer_list<std::pair<const char*, bool>> titles)
    {
        for (const auto& [title, closeable] : titles) {
            objects.push_back(std::make_shared<int>(0));
            tabs.addTab(QString::fromLatin1(title), closeable, objects.back());
        }
        tabs.layoutTabs();
    }
    QList<double> lefts() const
    {
        QList<double> list;
        for (const ViewTab& tab : tabs.tabs())
            list.append(tab.visible ? tab.box.x() : -1);
        return list;
    }

    MeasuredTabs tabs;
    std::vector<std::shared_ptr<int>> objects;
    QList<qsizetype> sent;
};

TEST(ViewTabsTest, LayoutFitsTheWidthAndKeepsTheSelectedTabInView)
{
    Fixture f(300);
    f.add({ { "50", false }, { "60", false }, { "200", false } });
    const QList<ViewTab>& tabs = f.tabs.tabs();
    EXPECT_EQ(tabs[0].box, QRectF(2.5, 1.5, 70, 20.5));
    EXPECT_EQ(tabs[1].box, QRectF(72.5, 1.5, 80, 20.5));
    EXPECT_EQ(tabs[2].box, QRectF(152.5, 1.5, 220, 20.5));
    EXPECT_EQ(f.lefts(), (QList<double> { 2.5, 72.5, -1 })) << "372.5 passes the limit 297.5";

    // With a more-tabs button at x 280, the edge is 277.5: the hidden tab is listed there.
    auto* more = new QToolButton;
    f.tabs.setMoreTabsButton(more);
    more->setParent(&f.tabs);
    more->setGeometry(280, 2, 18, 18);
    f.tabs.layoutTabs();
    EXPECT_EQ(f.lefts(), (QList<double> { 2.5, 72.5, -1 }));
    EXPECT_FALSE(more->isHidden());
    emit more->menu()->aboutToShow();
    ASSERT_EQ(more->menu()->actions().size(), 1);
    EXPECT_EQ(more->menu()->actions().first()->text(), QStringLiteral("200"));

    // Selected, the wide tab comes right after the tabs that fit before the button.
    Fixture g(400);
    g.add({ { "50", false }, { "60", false }, { "100", false }, { "150", true } });
    auto* button = new QToolButton(&g.tabs);
    g.tabs.setMoreTabsButton(button);
    button->setGeometry(370, 2, 18, 18);
    g.tabs.setSelectedTab(3);
    g.tabs.layoutTabs();
    // Limit 397.5, edge 367.5 less the selected tab's 185: only the first two fit before it.
    EXPECT_EQ(g.lefts(), (QList<double> { 2.5, 72.5, -1, 152.5 }));
    emit button->menu()->aboutToShow();
    ASSERT_EQ(button->menu()->actions().size(), 1);
    button->menu()->actions().first()->trigger();
    EXPECT_EQ(g.tabs.selectedTab(), 2);
    EXPECT_EQ(g.sent, QList<qsizetype> { -1 });
    g.tabs.layoutTabs();
    EXPECT_EQ(g.lefts(), (QList<double> { 2.5, 72.5, 152.5, -1 }));

    // A closeable tab is 15 wider; its close box sits 4 from its left, centred on the title line.
    Fixture h(600);
    h.add({ { "50", false }, { "50", true } });
    h.tabs.grab();
    const ViewTab& closeable = h.tabs.tabs()[1];
    EXPECT_EQ(closeable.box.width(), h.tabs.tabs()[0].box.width() + 15);
    const double textTop = 1.5 + (20.5 - h.tabs.textHeight()) / 2;
    EXPECT_EQ(closeable.closeBox,
        QRectF(std::round(72.5 + 4), std::round(textTop + (h.tabs.textHeight() - 12) / 2), 12, 12));

    // Tabs stand for their objects by identity.
    const auto equal = std::make_shared<int>(0);
    EXPECT_FALSE(h.tabs.selectTabRepresentingObject(equal.get()));
    EXPECT_EQ(h.tabs.selectedTab(), 0);
    EXPECT_TRUE(h.tabs.selectTabRepresentingObject(h.objects[1].get()));
    EXPECT_EQ(h.tabs.selectedTab(), 1);
    EXPECT_EQ(h.tabs.selectedTabRepresentedObject(), h.objects[1]);
    h.tabs.setSelectedTab(7);
    EXPECT_FALSE(h.tabs.selectedTabRepresentedObject());
}

TEST(ViewTabsTest, ClicksSelectOnPressAndCloseBoxesCloseOnlyWhenReleasedInside)
{
    Fixture f(600);
    f.add({ { "50", false }, { "60", true }, { "70", true } });
    f.tabs.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.tabs));
    f.tabs.repaint();
    const QList<ViewTab>& tabs = f.tabs.tabs();
    const QPoint inTab2 = QPoint(int(tabs[2].box.right() - 10), int(tabs[2].box.center().y()));
    QTest::mousePress(&f.tabs, Qt::LeftButton, {}, inTab2);
    EXPECT_EQ(f.tabs.selectedTab(), 2);
    EXPECT_EQ(f.sent, QList<qsizetype> { -1 }) << "sent on the press";
    QTest::mouseRelease(&f.tabs, Qt::LeftButton, {}, inTab2);
    EXPECT_EQ(f.sent.size(), 1);

    // Pressed, dragged out and released outside: nothing. Dragged back in before release: closed.
    const QPoint box = tabs[1].closeBox.center().toPoint();
    const auto drag = [&f](const QPoint& to) {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), f.tabs.mapToGlobal(QPointF(to)), Qt::NoButton,
            Qt::LeftButton, {});
        QApplication::sendEvent(&f.tabs, &move);
    };
    QTest::mousePress(&f.tabs, Qt::LeftButton, {}, box);
    EXPECT_TRUE(tabs[1].trackingMouseInCloseBox);
    drag(box + QPoint(30, 0));
    EXPECT_FALSE(tabs[1].trackingMouseInCloseBox);
    QTest::mouseRelease(&f.tabs, Qt::LeftButton, {}, box + QPoint(30, 0));
    EXPECT_EQ(f.sent.size(), 1);
    EXPECT_EQ(f.tabs.selectedTab(), 2) << "a close-box press selects nothing";
    QTest::mousePress(&f.tabs, Qt::LeftButton, {}, box);
    drag(box + QPoint(30, 0));
    drag(box);
    QTest::mouseRelease(&f.tabs, Qt::LeftButton, {}, box);
    EXPECT_EQ(f.sent, (QList<qsizetype> { -1, 1 }));
    EXPECT_EQ(f.tabs.closedTabIndex(), -1);

    // Hovering marks the tab and its close box; leaving clears both.
    const auto hover = [&f](const QPoint& to) {
        QMouseEvent move(
            QEvent::MouseMove, QPointF(to), f.tabs.mapToGlobal(QPointF(to)), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(&f.tabs, &move);
    };
    hover(box);
    EXPECT_TRUE(tabs[1].hoveringMouseInCloseBox);
    EXPECT_TRUE(tabs[1].trackingMouseInTab);
    hover(inTab2);
    EXPECT_FALSE(tabs[1].trackingMouseInTab);
    EXPECT_TRUE(tabs[2].trackingMouseInTab);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&f.tabs, &leave);
    EXPECT_FALSE(tabs[2].trackingMouseInTab);
}

} // namespace
} // namespace zandrel
