#include "colorui/PopupController.h"

#include "colorui/ColorUiTestSupport.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

struct PlacementCase {
    const char* why;
    int side;
    QRectF anchor;
    QRectF expectedFrame;
    float expectedPointer;
    bool expectedShown;
};

// A 200 x 150 popup on a screen whose visible area is 1000 x 800.
const QRectF kVisible(0, 0, 1000, 800);
const QRectF kPanel(0, 0, 200, 150);

const PlacementCase kPlacements[] = {
    { "narrow anchor below: the popup moves left so that the pointer keeps off the corner", 0,
        QRectF(100, 100, 30, 20), QRectF(95, 120, 200, 150), 20.5f, true },
    { "wide anchor below: left edges aligned, pointer at its middle", 0, QRectF(100, 100, 50, 20),
        QRectF(100, 120, 200, 150), 25.5f, true },
    { "below, over the right edge: moves left, the pointer right by as much", 0, QRectF(900, 100, 50, 20),
        QRectF(800, 120, 200, 150), 125.5f, true },
    { "below, over the bottom edge: moves up and loses the pointer", 0, QRectF(100, 700, 50, 20),
        QRectF(100, 650, 200, 150), 25.5f, false },
    { "left of, over the bottom edge: moves up, the pointer down", 1, QRectF(500, 750, 20, 40),
        QRectF(300, 650, 200, 150), 120.5f, true },
    { "right of a small anchor at the top: pushed down, the pointer up", 3, QRectF(10, 5, 20, 10),
        QRectF(30, 0, 200, 150), 10.5f, true },
    { "above, a narrow anchor at the left edge: pushed right, the pointer left", 2, QRectF(0, 400, 30, 20),
        QRectF(0, 250, 200, 150), 15.5f, true },
    { "left of an anchor at the left edge: pushed right, across the pointer's edge", 1,
        QRectF(50, 300, 40, 40), QRectF(0, 300, 200, 150), 20.5f, false },
    { "an unknown side keeps the panel's own position", 7, QRectF(50, 300, 40, 40), QRectF(0, 0, 200, 150),
        30.5f, true },
};

} // namespace

TEST(PopupPlacementTest, BesideTheAnchorAndOnScreen)
{
    for (const PlacementCase& c : kPlacements) {
        SCOPED_TRACE(c.why);
        const PopupPlacement placement = placePopup(kPanel, c.anchor, kVisible, c.side);
        EXPECT_EQ(placement.frame, c.expectedFrame);
        EXPECT_FLOAT_EQ(placement.pointerOffset, c.expectedPointer);
        EXPECT_EQ(placement.showPointer, c.expectedShown);
    }
}

namespace {

// A popup that records its commits and cancels, with a button that can anchor a further popup.
class RecordingPopup : public PopupController {
public:
    RecordingPopup(QWidget* anchor, const QString& name, QStringList* log)
        : PopupController(anchor, name)
        , m_log(log)
    {
        auto* layout = new QVBoxLayout(contentArea());
        inner = new QPushButton(QStringLiteral("Inner"), contentArea());
        inner->setFixedSize(120, 30);
        layout->addWidget(inner);
    }
    void perform() override
    {
        if (isShown())
            m_log->append(sheet()->objectName() + QStringLiteral(" committed"));
        PopupController::perform();
    }
    void cancelDialog() override
    {
        m_log->append(sheet()->objectName() + QStringLiteral(" cancelled"));
        PopupController::cancelDialog();
    }
    QPushButton* inner = nullptr;

private:
    QStringList* m_log;
};

class PopupFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 300);
        auto* layout = new QVBoxLayout(&window);
        anchor = new QPushButton(QStringLiteral("Anchor"), &window);
        anchor->setFixedSize(80, 24);
        layout->addWidget(anchor, 0, Qt::AlignLeft | Qt::AlignTop);
        window.move(40, 40);
        window.show();
        QApplication::processEvents();
    }
    QWidget window;
    QPushButton* anchor = nullptr;
    QStringList log;
};

} // namespace

TEST_F(PopupFixture, ShowsBelowItsAnchorAndGrowsForThePointerOnce)
{
    RecordingPopup popup(anchor, QStringLiteral("outer"), &log);
    popup.showWindow();
    ASSERT_TRUE(popup.isShown());
    const QRect anchorRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    EXPECT_EQ(popup.sheet()->geometry().top(), anchorRect.bottom() + 1);
    EXPECT_EQ(popup.sheet()->geometry().left(), anchorRect.left());
    EXPECT_FLOAT_EQ(popup.sheet()->contentView()->pointerOffset(), 40.5f);
    const QSize first = popup.sheet()->size();
    popup.close();
    EXPECT_FALSE(popup.isShown());
    popup.showWindow();
    EXPECT_EQ(popup.sheet()->size(), first);
    // Closing a hidden popup does nothing.
    popup.close();
    popup.close();
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(PopupFixture, NestedPopupsCommitFromTheInnermostOutward)
{
    RecordingPopup outer(anchor, QStringLiteral("outer"), &log);
    outer.showWindow();
    RecordingPopup inner(outer.inner, QStringLiteral("inner"), &log);
    inner.showWindow();
    EXPECT_TRUE(outer.isShown());
    EXPECT_TRUE(inner.isOffOfPopup(&outer));
    EXPECT_FALSE(outer.isOffOfPopup(&inner));
    EXPECT_EQ(inner.parentController(), &outer);

    // The child coming forward leaves its parent open.
    outer.collapsePopupTo(inner.sheet()->windowHandle());
    EXPECT_TRUE(outer.isShown());
    // Back into the parent: only the child commits.
    inner.collapsePopupTo(outer.sheet()->windowHandle());
    EXPECT_EQ(log, QStringList { QStringLiteral("inner committed") });
    EXPECT_TRUE(outer.isShown());

    // Any other window commits the whole chain, innermost first.
    log.clear();
    inner.showWindow();
    inner.collapsePopupTo(window.windowHandle());
    EXPECT_EQ(log, (QStringList { QStringLiteral("inner committed"), QStringLiteral("outer committed") }));
    EXPECT_FALSE(outer.isShown());
    EXPECT_FALSE(inner.isShown());
}

TEST_F(PopupFixture, TurningToAnotherWindowCommitsAndEscapeCancels)
{
    RecordingPopup outer(anchor, QStringLiteral("outer"), &log);
    outer.showWindow();
    RecordingPopup inner(outer.inner, QStringLiteral("inner"), &log);
    inner.showWindow();
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    if (QGuiApplication::focusWindow() != other.windowHandle())
        GTEST_SKIP() << "this platform does not hand the focus over";
    EXPECT_EQ(log, (QStringList { QStringLiteral("inner committed"), QStringLiteral("outer committed") }));

    log.clear();
    outer.showWindow();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(outer.sheet(), &escape);
    EXPECT_EQ(log, QStringList { QStringLiteral("outer cancelled") });
    EXPECT_FALSE(outer.isShown());
}

TEST_F(PopupFixture, NoAnchorShowsNothing)
{
    RecordingPopup popup(anchor, QStringLiteral("outer"), &log);
    popup.setAnchorView(nullptr);
    popup.showWindow();
    EXPECT_FALSE(popup.isShown());
}

} // namespace zandrel::test
