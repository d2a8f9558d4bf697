#include "colorui/ColorEditorController.h"
#include "colorui/ColorEyedropperOverlay.h"
#include "colorui/ColorPopups.h"
#include "colorui/ColorUiTestSupport.h"
#include "colorui/GradientPopups.h"
#include "colorui/GradientRuler.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

// Waits for the window system to draw what was just shown.
void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

bool grabScreenTo(const QString& path)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(path);
}

} // namespace

// Pictures of the popups as a user sees them, for looking at: run with ZANDREL_POPUP_SCREENSHOTS
// set to a folder, on a real display (xvfb-run with QT_QPA_PLATFORM=xcb).
TEST(PopupScreenshotTest, ColourAndGradientPopups)
{
    const QString folder = qEnvironmentVariable("ZANDREL_POPUP_SCREENSHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set ZANDREL_POPUP_SCREENSHOTS to a folder to take the pictures";
    QDir().mkpath(folder);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Colour controls"));
    window.resize(520, 520);
    window.move(60, 60);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Fill colour and gradient"), &window));
    auto* colorWell = new ColorPopupButton(&window);
    colorWell->setFixedSize(70, 34);
    colorWell->setColor(RgbColor(0.85, 0.35, 0.2, 0.8));
    layout->addWidget(colorWell);
    auto* gradientWell = new GradientPopupButton(&window);
    gradientWell->setFixedSize(70, 34);
    GradientFill fill;
    GradientPtr gradient = fill.gradient();
    gradient->setColor(RgbColor(0.1, 0.3, 0.8), 0);
    gradient->setColor(RgbColor(1, 0.9, 0.3, 0.6), 1);
    gradient->setColor(RgbColor(0.9, 0.2, 0.5), gradient->addColorStopAt(0.4f));
    fill.setGradient(gradient);
    fill.setLinearAngle(30);
    gradientWell->setGradientFillValue(fill);
    layout->addWidget(gradientWell);
    layout->addStretch();
    window.show();
    settle();

    click(colorWell, QPointF(10, 10));
    ColorEditorController* editor = colorWell->popupController()->editorController();
    editor->addColorToGrid();
    settle();
    EXPECT_TRUE(grabScreenTo(folder + QStringLiteral("/colour-popup.png")));
    // The eyedropper over the colour well.
    const QPoint overWell = colorWell->mapToGlobal(QPoint(30, 12));
    QCursor::setPos(overWell);
    editor->eyedropperButton()->click();
    ASSERT_TRUE(editor->eyedropperOverlay());
    settle();
    EXPECT_TRUE(editor->eyedropperOverlay()->capturesScreens());
    EXPECT_TRUE(grabScreenTo(folder + QStringLiteral("/eyedropper.png")));
    const RgbColor underWell = editor->eyedropperOverlay()->color();
    editor->eyedropperClicked();
    settle();
    EXPECT_EQ(editor->color(), underWell);
    EXPECT_TRUE(colorWell->popupController()->isShown());
    colorWell->popupController()->perform();
    settle();

    click(gradientWell, QPointF(10, 10));
    settle();
    EXPECT_TRUE(grabScreenTo(folder + QStringLiteral("/gradient-popup.png")));
    // A stop's colour opens a second popup from inside the first.
    GradientRuler* ruler = gradientWell->popupController()->gradientRuler();
    const QPointF stop = ruler->rulerToWidget().map(QPointF(10, ruler->yFromLocation(0.4f)));
    click(ruler, stop);
    settle();
    EXPECT_TRUE(grabScreenTo(folder + QStringLiteral("/gradient-stop-popup.png")));
    gradientWell->popupController()->perform();
    settle();
}

} // namespace zandrel::test
