#include "colorui/ColorPopups.h"

#include "app/core/CharacterDocument.h"
#include "charmodel/CharacterModel.h"
#include "colorui/ColorAdjuster.h"
#include "colorui/ColorEditorController.h"
#include "colorui/ColorSwatchGrid.h"
#include "colorui/ColorUiTestSupport.h"
#include "colorui/HsbControls.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

class ColorWellFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(400, 300);
        well = new ColorPopupButton(&window);
        well->setGeometry(20, 20, 40, 20);
        well->setColor(kRed);
        window.show();
        QApplication::processEvents();
    }
    void TearDown() override { well->popupController()->close(); }
    // A drag on the square of the open popup to full saturation and half brightness.
    void dragSquare()
    {
        SaturationBrightnessControl* square = popup()->editorController()->saturationBrightnessControl();
        const QRectF box = square->activeBox();
        press(square, box.center());
        dragTo(square, QPointF(box.right(), box.center().y()));
        release(square, QPointF(box.right(), box.center().y()));
    }
    ColorPopupController* popup() const { return well->popupController(); }
    QWidget window;
    ColorPopupButton* well = nullptr;
};

} // namespace

TEST_F(ColorWellFixture, AModalPopupReportsOnlyOnOk)
{
    QSignalSpy actions(well, &ColorPopupButton::action);
    int commits = 0;
    well->setCommitHandler([&](PopupWell*) { ++commits; });
    click(well, QPointF(5, 5));
    ASSERT_TRUE(popup()->isShown());
    EXPECT_FALSE(popup()->cancelButton()->isHidden());
    dragSquare();
    EXPECT_EQ(well->color(), rgbFromHsb(0, 1, 0.5));
    EXPECT_EQ(actions.count(), 0);
    popup()->okButton()->click();
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(commits, 1);
    EXPECT_FALSE(popup()->isShown());
}

TEST_F(ColorWellFixture, CancelPutsTheOpeningColourBack)
{
    QSignalSpy actions(well, &ColorPopupButton::action);
    int cancels = 0;
    well->setModeless(true);
    well->setCancelHandler([&](PopupWell*) { ++cancels; });
    well->popupColorPanel();
    EXPECT_FALSE(popup()->cancelButton()->isHidden());
    dragSquare();
    EXPECT_EQ(actions.count(), 2);
    popup()->cancelButton()->click();
    EXPECT_EQ(well->color(), kRed);
    EXPECT_EQ(actions.count(), 2);
    EXPECT_EQ(cancels, 1);

    // Modeless without a cancel handler: no Cancel, and every change reported.
    well->setCancelHandler({});
    well->popupColorPanel();
    EXPECT_TRUE(popup()->cancelButton()->isHidden());
    // Turning to another window commits as OK does.
    popup()->collapsePopupTo(window.windowHandle());
    EXPECT_FALSE(popup()->isShown());
    EXPECT_EQ(actions.count(), 3);

    well->setEnabled(false);
    click(well, QPointF(5, 5));
    EXPECT_FALSE(popup()->isShown());
}

TEST(ColorWellDrawingTest, SmallWellsDrawASmallerTriangle)
{
    ColorPopupButton big;
    big.resize(80, 40);
    big.setColor(RgbColor(1, 1, 1, 0.5));
    const QImage bigImage = rendered(&big);
    // The triangle's black inside, and the checkerboard showing through the translucent white.
    EXPECT_EQ(bigImage.pixelColor(80 - 16 + 5, 40 - 10 + 2), QColor(Qt::black));
    EXPECT_NE(bigImage.pixelColor(10, 10), bigImage.pixelColor(14, 10));
    ColorPopupButton small;
    small.resize(40, 20);
    small.setColor(kGreen);
    const QImage smallImage = rendered(&small);
    EXPECT_EQ(smallImage.pixelColor(40 - 10 + 4, 20 - 6 + 1), QColor(Qt::black));
    EXPECT_EQ(smallImage.pixelColor(10, 10), QColor(Qt::green));
}

namespace {

struct AdjusterCase {
    double x;
    float value;
};

// A strip 210 wide: cells of 10.
const AdjusterCase kAdjusterCases[] = { { 0, -1.0f }, { 9.9, -1.0f }, { 10, -0.9f }, { 105, 0.0f },
    { 205, 1.0f }, { -50, -1.0f }, { 400, 1.0f } };

} // namespace

TEST(ColorAdjusterTest, CellsGiveTenthsAndOneDragIsOneUndoStep)
{
    ColorAdjuster adjuster;
    adjuster.resize(210, 30);
    for (const AdjusterCase& c : kAdjusterCases)
        EXPECT_FLOAT_EQ(adjuster.valueFromPoint(QPointF(c.x, 10)), c.value) << "at " << c.x;

    UndoManager undo;
    adjuster.setUndoManager(&undo);
    float modelValue = 0.0f;
    // The owner records each change, as an inspector does.
    QObject::connect(&adjuster, &ColorAdjuster::action, [&] {
        const float old = modelValue;
        undo.registerUndo(&modelValue, [&modelValue, old] { modelValue = old; });
        modelValue = adjuster.floatValue();
    });
    QSignalSpy actions(&adjuster, &ColorAdjuster::action);
    press(&adjuster, QPointF(105, 10));
    EXPECT_EQ(actions.count(), 0);
    for (double x : { 115.0, 125.0, 135.0, 145.0, 155.0 })
        dragTo(&adjuster, QPointF(x, 10));
    release(&adjuster, QPointF(155, 10));
    EXPECT_EQ(actions.count(), 5);
    EXPECT_FLOAT_EQ(modelValue, 0.5f);
    endOfPass();
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_FLOAT_EQ(modelValue, 0.0f);
    EXPECT_FALSE(undo.canUndo());

    // Not continuous: one report at the release, even without a change.
    adjuster.setFloatValue(0.0f);
    adjuster.setContinuous(false);
    endOfPass();
    actions.clear();
    click(&adjuster, QPointF(105, 10));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(undo.groupingLevel(), 0);

    // Disabled in the middle of a press, the group it opened is closed all the same.
    adjuster.setContinuous(true);
    endOfPass();
    press(&adjuster, QPointF(25, 10));
    adjuster.setEnabled(false);
    EXPECT_EQ(undo.groupingLevel(), 0);
    release(&adjuster, QPointF(25, 10));
    EXPECT_FLOAT_EQ(adjuster.floatValue(), -0.8f);

    adjuster.setColor(RgbColor(0, 0, 1, 0.5));
    EXPECT_EQ(adjuster.color(), kBlue);
}

namespace {

// Shows a previewed value on a pretend selection and commits it as one undoable change.
class FakePreviewer : public PropertyPreviewer {
public:
    explicit FakePreviewer(UndoManager* undo)
        : m_undo(undo)
    {
    }
    void previewProperty(const QString& key, const Value& value, const QString& actionName) override
    {
        if (!previewing)
            before = shown;
        previewing = true;
        shownKey = key;
        shown = value.toObject();
        lastActionName = actionName;
    }
    void commitPreviewed() override
    {
        const ObjectPtr old = before;
        m_undo->registerUndo(this, [this, old] { shown = old; });
        // As the inspector does: the commit names the step with the previews' name.
        m_undo->setActionName(lastActionName);
        previewing = false;
    }
    void cancelPreviewed() override
    {
        shown = before;
        previewing = false;
    }
    ObjectPtr shown;
    ObjectPtr before;
    QString shownKey;
    QString lastActionName;
    bool previewing = false;

private:
    UndoManager* m_undo;
};

class NewColorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(300, 200);
        anchor = new QWidget(&window);
        anchor->setGeometry(10, 10, 60, 20);
        window.show();
        model = document.model().get();
        colorsBefore = model->colors();
        previewer.shown = model->blackColor();
        endOfPass();
        document.undoManager()->removeAllActions();
    }
    void TearDown() override { popup.close(); }
    void dragSquare()
    {
        SaturationBrightnessControl* square = popup.editorController()->saturationBrightnessControl();
        const QRectF box = square->activeBox();
        press(square, box.topLeft() + QPointF(40, 40));
        dragTo(square, box.topLeft() + QPointF(80, 20));
        release(square, box.topLeft() + QPointF(80, 20));
    }
    CharacterDocument document;
    CharacterModel* model = nullptr;
    QList<ZDLColorPtr> colorsBefore;
    QWidget window;
    QWidget* anchor = nullptr;
    FakePreviewer previewer { document.undoManager() };
    NewColorPopupController popup { nullptr, nullptr, &previewer, QStringLiteral("fillColor") };
};

} // namespace

TEST_F(NewColorFixture, OkAddsAndAppliesTheColourInOneUndoStep)
{
    popup.setModelAndAnchor(model, anchor, QStringLiteral("fillColor"));
    popup.showWindow();
    ASSERT_TRUE(popup.isShown());
    const ZDLColorPtr provisional = popup.newColor();
    ASSERT_TRUE(provisional);
    EXPECT_EQ(model->colors().size(), colorsBefore.size() + 1);
    EXPECT_EQ(previewer.shown, provisional);
    EXPECT_EQ(previewer.lastActionName, QStringLiteral("Add Color and Set"));
    dragSquare();
    popup.nameField()->setText(QStringLiteral("Sky"));
    endOfPass();
    EXPECT_FALSE(document.undoManager()->canUndo());

    const RgbColor chosen = popup.editorController()->color();
    popup.perform();
    EXPECT_FALSE(popup.isShown());
    EXPECT_EQ(provisional->name(), QStringLiteral("Sky"));
    EXPECT_EQ(provisional->color(), chosen);
    EXPECT_EQ(model->colors().size(), colorsBefore.size() + 1);
    EXPECT_EQ(previewer.shown, provisional);
    endOfPass();
    ASSERT_TRUE(document.undoManager()->canUndo());
    EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Add Color and Set"));
    document.undoManager()->undo();
    EXPECT_EQ(model->colors(), colorsBefore);
    EXPECT_EQ(previewer.shown, model->blackColor());
    EXPECT_FALSE(document.undoManager()->canUndo());
}

TEST_F(NewColorFixture, CancelLeavesNothingBehindAndNamesStayUnique)
{
    popup.setModelAndAnchor(model, anchor, QStringLiteral("fillColor"));
    popup.showWindow();
    dragSquare();
    popup.cancelDialog();
    EXPECT_EQ(model->colors(), colorsBefore);
    EXPECT_EQ(previewer.shown, model->blackColor());
    endOfPass();
    EXPECT_FALSE(document.undoManager()->canUndo());

    // The name of a colour already there gets the list's unique variant.
    ZDLColorPtr handedOver;
    popup.setColorSetter([&](const ZDLColorPtr& color) { handedOver = color; });
    popup.showWindow();
    popup.nameField()->setText(model->blackColor()->name());
    popup.perform();
    // The colour is handed over once the popup has gone.
    EXPECT_FALSE(handedOver);
    EXPECT_FALSE(popup.isShown());
    endOfPass();
    ASSERT_TRUE(handedOver);
    EXPECT_NE(handedOver->name(), model->blackColor()->name());
    EXPECT_TRUE(model->ownsColor(handedOver.get()));
}

} // namespace zandrel::test
