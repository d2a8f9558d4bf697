// The properties inspector of the part editor in a real character window: what it shows for a
// selection (mixed values included), and each change made through its controls as one named undo
// step that undo takes back.
#include "panels/PropertiesController.h"

#include "SheetTestSupport.h"
#include "app/PartEditingView.h"
#include "charmodel/CurveToleranceAdjuster.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "colorui/ColorAdjuster.h"
#include "colorui/GradientPopups.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "panels/DialogUtilities.h"
#include "panels/SegmentedControl.h"
#include "views/CharacterWindowFixture.h"
#include "views/PartElementsView.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace zandrel::test {
namespace {

class PropertiesControllerTest : public PartEditorWindowTest {
protected:
    void SetUp() override
    {
        PartEditorWindowTest::SetUp();
        props = editor->propsController();
        ASSERT_TRUE(props);
        view->setSelection({ part(0) });
        choose(kEditObjectAction);
        endOfEvent();
        ASSERT_EQ(document->currentEditor(), editor);
    }

    // Part 0 holds a skin-filled path, a coat-filled path and a group of two squares.
    ObjectPtr element(int index) const
    {
        return asProtocol<Parent>(elements->rootObject())->getChildAtIndex(std::size_t(index));
    }
    PartPath& path(int index) const { return dynamic_cast<PartPath&>(*element(index)); }
    void select(const QList<int>& indexes)
    {
        ElementList chosen;
        for (int index : indexes)
            chosen.append(element(index));
        elements->setSelection(chosen);
        endOfEvent();
    }
    QString label() const { return props->selectionLabel()->text(); }
    ZDLColorPtr colorNamed(const QString& name) const
    {
        for (const ZDLColorPtr& color : document->model()->colors()) {
            if (color && color->name() == name)
                return color;
        }
        return nullptr;
    }
    static ZDLColorPtr fillColorOf(const PartPath& path)
    {
        const auto* fill = dynamic_cast<const ColorFill*>(path.fill().get());
        return fill ? fill->fillColor() : nullptr;
    }
    // Opens the popup with a click and clicks the item in its menu.
    static void chooseItem(PopupButton* popup, QAction* item)
    {
        ASSERT_TRUE(popup && item);
        QTest::mouseClick(popup, Qt::LeftButton);
        QMenu* menu = popup->itemMenu();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        endOfEvent();
    }
    void chooseColor(PopupButton* popup, const QString& name)
    {
        // Items of a mixed value carry a mark before their title.
        QAction* named = nullptr;
        for (QAction* item : popup->items()) {
            if (item->isVisible() && item->text().endsWith(name))
                named = item;
        }
        chooseItem(popup, named);
    }
    // A whole drag of a control from one fraction of its width to another.
    static void drag(QWidget* control, double from, double to)
    {
        const int y = control->height() / 2;
        const auto x = [control](double f) { return int(f * (control->width() - 1)); };
        QTest::mousePress(control, Qt::LeftButton, {}, QPoint(x(from), y));
        for (int step = 1; step <= 4; ++step) {
            QMouseEvent move(QEvent::MouseMove, QPointF(x(from + (to - from) * step / 4), y),
                control->mapToGlobal(QPointF(x(from + (to - from) * step / 4), y)), Qt::NoButton,
                Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(control, &move);
            // The event loop passes while the control is held.
            QTest::qWait(1);
        }
        QTest::mouseRelease(control, Qt::LeftButton, {}, QPoint(x(to), y));
        endOfEvent();
    }
    // Drags a slider's handle from where it is to a fraction of the range.
    static void dragSlider(QSlider* slider, double to)
    {
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        const QRect handle
            = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
        const QRect groove
            = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
        const QPoint start = handle.center();
        const int span = groove.width() - handle.width();
        const QPoint end(groove.left() + handle.width() / 2 + int(to * span), start.y());
        QTest::mousePress(slider, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 4; ++step) {
            const QPointF at = start + QPointF(end - start) * step / 4;
            QMouseEvent move(
                QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(slider, &move);
            QTest::qWait(1);
        }
        QTest::mouseRelease(slider, Qt::LeftButton, {}, end);
        endOfEvent();
    }
    void undo()
    {
        choose(kUndoAction);
        endOfEvent();
    }

    PropertiesController* props = nullptr;
};

TEST_F(PropertiesControllerTest, SelectionLabelsAndMixedValues)
{
    ASSERT_TRUE(props->propertiesView()->isVisible());
    EXPECT_EQ(label(), QStringLiteral("Defaults"));
    select({ 0 });
    EXPECT_EQ(label(), QStringLiteral("Path"));
    EXPECT_EQ(props->fillColorPopup()->title(), QStringLiteral("Skin"));
    select({ 0, 1 });
    EXPECT_EQ(label(), QStringLiteral("2 Paths"));
    // Skin and coat fills: mixed; one black line: shown.
    EXPECT_EQ(props->fillColorPopup()->title(), DialogUtilities::multipleString());
    EXPECT_EQ(props->lineColorPopup()->title(), document->model()->blackColor()->name());
    EXPECT_EQ(props->lineWeightField()->text(), QStringLiteral("2"));
    select({ 2 });
    EXPECT_EQ(label(), QStringLiteral("Group"));
    // A group has none of a path's properties: the controls are off and show no value, not the
    // path's shown before.
    EXPECT_FALSE(props->lineColorPopup()->isEnabled());
    EXPECT_EQ(props->lineColorPopup()->title(), QString());
    EXPECT_FALSE(props->lineWeightField()->isEnabled());
    EXPECT_EQ(props->lineWeightField()->text(), QString());
    EXPECT_FALSE(props->lineColorAdjuster()->isEnabled());
    EXPECT_FALSE(props->lineColorAdjuster()->hasValue());
    EXPECT_FALSE(props->blurSlider()->isEnabled());
    EXPECT_EQ(props->blurSlider()->value(), props->blurSlider()->minimum());
    select({ 0, 2 });
    EXPECT_EQ(label(), QStringLiteral("Mixed Selection"));
    EXPECT_TRUE(props->hideButton()->isEnabled());
    EXPECT_FALSE(props->showAllButton()->isEnabled());

    // Colour and gradient fills together: both segments on, neither control shown.
    path(1).setFillType(1);
    select({ 0, 1 });
    EXPECT_TRUE(props->fillTypeButton(0)->isChecked());
    EXPECT_TRUE(props->fillTypeButton(1)->isChecked());
    EXPECT_FALSE(props->fillColorView()->isVisibleTo(props->propertiesView()));
    EXPECT_FALSE(props->fillGradientPopup()->isVisibleTo(props->propertiesView()));
    select({ 1 });
    EXPECT_FALSE(props->fillTypeButton(0)->isChecked());
    EXPECT_TRUE(props->fillTypeButton(1)->isChecked());
    EXPECT_TRUE(props->fillGradientPopup()->isVisibleTo(props->propertiesView()));
}

TEST_F(PropertiesControllerTest, PopupChoicesAreOneNamedStepEach)
{
    select({ 0, 1 });
    const ZDLColorPtr skin = colorNamed(QStringLiteral("Skin"));
    const ZDLColorPtr coat = colorNamed(QStringLiteral("Coat"));
    ASSERT_TRUE(skin && coat);

    chooseColor(props->fillColorPopup(), QStringLiteral("Coat"));
    EXPECT_EQ(fillColorOf(path(0)), coat);
    EXPECT_EQ(fillColorOf(path(1)), coat);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Fill Color"));
    EXPECT_EQ(props->fillColorPopup()->title(), QStringLiteral("Coat"));
    undo();
    EXPECT_EQ(fillColorOf(path(0)), skin);
    EXPECT_EQ(fillColorOf(path(1)), coat);

    chooseItem(props->lineStylePopup(), props->lineStylePopup()->itemWithTag(2));
    EXPECT_EQ(path(0).lineDash(), 2);
    EXPECT_EQ(path(1).lineDash(), 2);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Line Style"));

    typeInto(props->lineWeightField(), QStringLiteral("3"));
    QTest::keyClick(props->lineWeightField(), Qt::Key_Return);
    endOfEvent();
    EXPECT_FLOAT_EQ(path(0).lineWeight(), 3.0f);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Line Weight"));
    // The weight every path has already: no step.
    typeInto(props->lineWeightField(), QStringLiteral("3"));
    QTest::keyClick(props->lineWeightField(), Qt::Key_Return);
    endOfEvent();
    undo();
    EXPECT_FLOAT_EQ(path(0).lineWeight(), 2.0f);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Line Style"));
    undo();
    EXPECT_EQ(path(0).lineDash(), 0);

    chooseItem(props->lineWeightPopup(), props->lineWeightPopup()->itemWithTitle(QStringLiteral("0.5 pt")));
    EXPECT_FLOAT_EQ(path(1).lineWeight(), 0.5f);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Line Weight"));

    // The gradient segment turns both paths to gradients in one step, and shows the gradient well.
    QTest::mouseClick(props->fillTypeButton(1), Qt::LeftButton);
    endOfEvent();
    EXPECT_TRUE(path(0).fillGradient() && path(1).fillGradient());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Gradient Fill"));
    EXPECT_TRUE(props->fillGradientPopup()->isVisibleTo(props->propertiesView()));
    EXPECT_FALSE(props->fillColorView()->isVisibleTo(props->propertiesView()));
    undo();
    EXPECT_EQ(fillColorOf(path(0)), skin);
    EXPECT_EQ(fillColorOf(path(1)), coat);

    // "Add Color..." opens the new-colour popup on the fill; cancelling it changes nothing.
    const QString lastStep = undoTitle();
    chooseItem(props->fillColorPopup(), props->fillColorPopup()->items().constLast());
    ASSERT_TRUE(props->newColorPopup());
    props->newColorPopup()->cancelDialog();
    endOfEvent();
    EXPECT_EQ(fillColorOf(path(0)), skin);
    EXPECT_EQ(undoTitle(), lastStep);
    EXPECT_FALSE(props->changeOpen());

    // The none line colour leaves nothing of the line to set.
    chooseColor(props->lineColorPopup(), document->model()->noneColor()->name());
    EXPECT_EQ(path(0).lineColor(), document->model()->noneColor());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Line Color"));
    EXPECT_FALSE(props->lineWeightField()->isEnabled());
    EXPECT_FALSE(props->lineStylePopup()->isEnabled());
    EXPECT_FALSE(props->lineColorAdjuster()->isEnabled());
    EXPECT_FALSE(props->lineOpacitySlider()->isEnabled());
    undo();
    EXPECT_EQ(path(0).lineColor(), document->model()->blackColor());
    EXPECT_TRUE(props->lineWeightField()->isEnabled());
}

TEST_F(PropertiesControllerTest, DragsAreOneStepRestoringValuesFromBefore)
{
    path(1).setLineAlpha(0.5f);
    select({ 0, 1 });
    dragSlider(props->lineOpacitySlider(), 0.2);
    EXPECT_NEAR(path(0).lineAlpha(), 0.2, 0.02);
    EXPECT_EQ(path(0).lineAlpha(), path(1).lineAlpha());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Line Opacity"));
    undo();
    EXPECT_FLOAT_EQ(path(0).lineAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(path(1).lineAlpha(), 0.5f);

    drag(props->fillColorAdjuster(), 0.5, 1.0);
    EXPECT_FLOAT_EQ(path(0).fillColorAdjust(), 1.0f);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Fill Color Adjust"));
    undo();
    EXPECT_FLOAT_EQ(path(0).fillColorAdjust(), 0.0f);
    EXPECT_FLOAT_EQ(path(1).fillColorAdjust(), 0.0f);

    // The blur slider by the keyboard: squared into the blur.
    props->blurSlider()->setFocus();
    QTest::keyClick(props->blurSlider(), Qt::Key_End);
    endOfEvent();
    EXPECT_EQ(path(0).blur(), PropertiesController::kMaxBlur);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Blur"));
    EXPECT_EQ(props->blurSlider()->value(), props->blurSlider()->maximum()) << "the refresh shows the end";
    undo();
    EXPECT_FLOAT_EQ(path(0).blur(), 0.0f);
    EXPECT_EQ(PropertiesController::blurFromSlider(2.0f), 4.0f);
    EXPECT_EQ(PropertiesController::sliderFromBlur(9.0f), 3.0f);
}

TEST_F(PropertiesControllerTest, GradientPreviewsCancelAndCommit)
{
    select({ 0, 1 });
    QTest::mouseClick(props->fillTypeButton(1), Qt::LeftButton);
    endOfEvent();
    const FillPtr before0 = path(0).fill();
    const FillPtr before1 = path(1).fill();
    GradientFill preview(*std::dynamic_pointer_cast<GradientFill>(before0));
    preview.setLinearAngle(90);
    props->previewProperty(
        QStringLiteral("fill"), Value(FillPtr(preview.copy())), QStringLiteral("Set Gradient Fill"));
    preview.setLinearAngle(45);
    props->previewProperty(
        QStringLiteral("fill"), Value(FillPtr(preview.copy())), QStringLiteral("Set Gradient Fill"));
    EXPECT_EQ(std::dynamic_pointer_cast<GradientFill>(path(1).fill())->linearAngle(), 45);
    props->cancelPreviewed();
    EXPECT_EQ(std::dynamic_pointer_cast<GradientFill>(path(0).fill())->linearAngle(),
        std::dynamic_pointer_cast<GradientFill>(before0)->linearAngle());
    EXPECT_FALSE(props->changeOpen());

    props->previewProperty(
        QStringLiteral("fill"), Value(FillPtr(preview.copy())), QStringLiteral("Set Gradient Fill"));
    props->commitPreviewed();
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Gradient Fill"));
    EXPECT_EQ(std::dynamic_pointer_cast<GradientFill>(path(0).fill())->linearAngle(), 45);
    undo();
    EXPECT_EQ(std::dynamic_pointer_cast<GradientFill>(path(0).fill())->linearAngle(),
        std::dynamic_pointer_cast<GradientFill>(before0)->linearAngle());
}

TEST_F(PropertiesControllerTest, DefaultsAreEditedWithoutUndo)
{
    const bool couldUndo = document->undoManager()->canUndo();
    const QString title = undoTitle();
    chooseColor(props->fillColorPopup(), QStringLiteral("Coat"));
    EXPECT_EQ(document->model()->fillColor(), colorNamed(QStringLiteral("Coat")));
    dragSlider(props->fillOpacitySlider(), 0.5);
    EXPECT_NEAR(document->model()->fillAlpha(), 0.5, 0.02);
    EXPECT_EQ(document->undoManager()->canUndo(), couldUndo);
    EXPECT_EQ(undoTitle(), title);
    EXPECT_EQ(label(), QStringLiteral("Defaults"));
}

// The fill type is one segmented control: one kind lit alone, a mix of kinds both lit until a click
// on either makes every selected path that kind in one step; the defaults show the character's fill.
TEST_F(PropertiesControllerTest, FillTypeSegmentsShowTheKindsAndAClickSettlesAMix)
{
    SegmentedControl* selector = props->fillTypeSelector();
    ASSERT_TRUE(selector);
    EXPECT_EQ(selector->segmentCount(), 2);
    EXPECT_EQ(selector->tagOf(selector->segmentWithTag(1)), 1);
    path(1).setFillType(1);
    select({ 0 });
    EXPECT_EQ(selector->tracking(), SegmentedControl::Tracking::SelectOne);
    EXPECT_EQ(selector->selectedSegments(), QSet<int> { selector->segmentWithTag(0) });
    select({ 0, 1 });
    EXPECT_EQ(selector->tracking(), SegmentedControl::Tracking::SelectAny);
    EXPECT_EQ(selector->selectedSegments().size(), 2);
    QTest::mouseClick(props->fillTypeButton(0), Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(path(0).fillType(), FillTypeColor);
    EXPECT_EQ(path(1).fillType(), FillTypeColor);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Color Fill"));
    EXPECT_EQ(selector->tracking(), SegmentedControl::Tracking::SelectOne);
    EXPECT_EQ(selector->selectedSegment(), selector->segmentWithTag(0));
    EXPECT_TRUE(props->fillColorView()->isVisibleTo(props->propertiesView()));
    undo();
    EXPECT_EQ(path(1).fillType(), FillTypeGradient);
    // A group alone has no fill: nothing lit, nothing to click.
    select({ 2 });
    EXPECT_TRUE(selector->selectedSegments().isEmpty());
    EXPECT_FALSE(selector->isEnabled());

    // The defaults: a colour fill, then a gradient from that colour, shown in the well.
    select({});
    EXPECT_EQ(label(), QStringLiteral("Defaults"));
    EXPECT_EQ(selector->selectedSegment(), selector->segmentWithTag(0));
    EXPECT_TRUE(props->fillColorView()->isVisibleTo(props->propertiesView()));
    chooseColor(props->fillColorPopup(), QStringLiteral("Coat"));
    QTest::mouseClick(props->fillTypeButton(1), Qt::LeftButton);
    endOfEvent();
    const auto defaultGradient = std::dynamic_pointer_cast<GradientFill>(document->model()->fill());
    ASSERT_TRUE(defaultGradient);
    EXPECT_EQ(selector->selectedSegment(), selector->segmentWithTag(1));
    EXPECT_TRUE(props->fillGradientPopup()->isVisibleTo(props->propertiesView()));
    EXPECT_FALSE(props->fillColorView()->isVisibleTo(props->propertiesView()));
    EXPECT_EQ(props->fillGradientPopup()->gradientFillValue()->gradient()->colorOfStopAtIndex(0).toQColor(),
        colorNamed(QStringLiteral("Coat"))->color().toQColor());
    EXPECT_EQ(defaultGradient->gradient()->colorOfStopAtIndex(0).toQColor(),
        colorNamed(QStringLiteral("Coat"))->color().toQColor());
}

// A parts file with a style that keeps no fill: applied to the defaults and to a path, it leaves them
// without fill; then neither kind is lit, and a click on either gives the fill of that kind (a step
// for the path, none for the defaults).
TEST_F(PropertiesControllerTest, NoFillLightsNeitherKindAndAClickGivesOne)
{
    CharacterModelPtr bare = makeCharacter(QStringLiteral("Bare"), 2, 2);
    bare->createDefaultStyles();
    ASSERT_FALSE(bare->styles().isEmpty());
    bare->styles().first()->setFill(nullptr);
    const QString file = dir.filePath(QStringLiteral("Bare.parts"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(archivedPartsFile(*bare));
    out.close();
    DocumentError error;
    ZDLDocument* opened = documents().openDocument(file, &error);
    DocumentWindow* shown = opened ? documents().windowFor(opened) : nullptr;
    ASSERT_TRUE(shown && QTest::qWaitForWindowExposed(shown));
    auto* bareDocument = dynamic_cast<CharacterDocument*>(opened);
    ASSERT_FALSE(bareDocument->model()->styles().first()->fill()) << "the file keeps no fill for the style";
    auto* bareEditor = shown->findChild<PartEditingView*>(QStringLiteral("partEditor"));
    viewOf(shown)->setSelection({ bareDocument->model()->getChildAtIndex(0) });
    choose(kEditObjectAction, shown);
    endOfEvent();
    ASSERT_EQ(bareDocument->currentEditor(), bareEditor);
    PropertiesController* inspector = bareEditor->propsController();
    const auto shownInInspector
        = [inspector](QWidget* control) { return control->isVisibleTo(inspector->propertiesView()); };
    bareEditor->partElementsView()->setSelection({});
    bareEditor->partElementsView()->applyStyle(0);
    endOfEvent();
    ASSERT_FALSE(bareDocument->model()->fill());
    EXPECT_EQ(inspector->selectionLabel()->text(), QStringLiteral("Defaults"));
    EXPECT_TRUE(inspector->fillTypeSelector()->selectedSegments().isEmpty());
    EXPECT_TRUE(inspector->fillTypeSelector()->isEnabled());
    EXPECT_FALSE(
        shownInInspector(inspector->fillColorView()) || shownInInspector(inspector->fillGradientPopup()));
    QTest::mouseClick(inspector->fillTypeButton(1), Qt::LeftButton);
    endOfEvent();
    EXPECT_TRUE(std::dynamic_pointer_cast<GradientFill>(bareDocument->model()->fill()));
    EXPECT_EQ(inspector->fillTypeSelector()->selectedSegments(), QSet<int> { 1 });
    EXPECT_TRUE(shownInInspector(inspector->fillGradientPopup()));

    // A path without fill beside one with a colour fill: colour lit as far as there is one, a mix.
    PartElementsView* bareElements = bareEditor->partElementsView();
    const auto* root = asProtocol<Parent>(bareElements->rootObject());
    const ObjectPtr filled = root->getChildAtIndex(0);
    const auto unfilled = std::dynamic_pointer_cast<PartPath>(root->getChildAtIndex(1));
    ASSERT_TRUE(unfilled);
    bareElements->setSelection({ unfilled });
    bareElements->applyStyle(0);
    endOfEvent();
    ASSERT_FALSE(unfilled->fill());
    SegmentedControl* selector = inspector->fillTypeSelector();
    EXPECT_TRUE(selector->selectedSegments().isEmpty());
    EXPECT_TRUE(selector->isEnabled());
    bareElements->setSelection({ filled, unfilled });
    endOfEvent();
    EXPECT_EQ(selector->selectedSegments(), QSet<int> { 0 });
    EXPECT_FALSE(shownInInspector(inspector->fillColorView()));
    bareElements->setSelection({ unfilled });
    endOfEvent();
    QTest::mouseClick(inspector->fillTypeButton(0), Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(unfilled->fillType(), FillTypeColor);
    EXPECT_EQ(undoTitle(shown), QStringLiteral("Undo Set Color Fill"));
    EXPECT_EQ(selector->selectedSegment(), 0);
    choose(kUndoAction, shown);
    EXPECT_FALSE(unfilled->fill());
}

// The weight menu offers the presets the styles sheet offers too.
TEST_F(PropertiesControllerTest, WeightMenuOffersTheSharedPresets)
{
    QStringList titles;
    for (const QAction* item : props->lineWeightPopup()->items()) {
        if (item->isVisible() && !item->isSeparator())
            titles.append(item->text());
    }
    EXPECT_EQ(titles,
        (QStringList { "0.25 pt", "0.5 pt", "0.75 pt", "1 pt", "1.5 pt", "2 pt", "3 pt", "4 pt", "6 pt",
            "8 pt", "12 pt" }));
    select({ 0 });
    chooseItem(props->lineWeightPopup(), props->lineWeightPopup()->itemWithTitle(QStringLiteral("0.75 pt")));
    EXPECT_FLOAT_EQ(path(0).lineWeight(), 0.75f);
}

TEST_F(PropertiesControllerTest, ToleranceSliderFollowsThePencilStroke)
{
    select({ 0 });
    PartPath& stroke = path(0);
    const auto adjuster = CurveToleranceAdjuster::initForNewPath(
        std::static_pointer_cast<PartPath>(element(0)), stroke.segments().first(), 2.0, document);
    document->setToleranceAdjuster(adjuster);
    endOfEvent();
    QSlider* slider = props->toleranceSlider();
    EXPECT_TRUE(props->toleranceSliderView()->isVisibleTo(props->propertiesView()));
    EXPECT_NEAR(slider->minimum() / double(PropertiesController::kToleranceScale), 0.6667, 0.001);
    EXPECT_NEAR(slider->maximum() / double(PropertiesController::kToleranceScale), 6.0, 0.001);
    EXPECT_EQ(props->toleranceLabel()->text(), QStringLiteral("Tolerance: 2.00"));

    // Any other edit of the curve ends the offer.
    document->undoableSetPropertyFor(
        element(0), QStringLiteral("segments"), element(0)->valueForKey(QStringLiteral("segments")));
    endOfEvent();
    EXPECT_FALSE(props->toleranceSliderView()->isVisibleTo(props->propertiesView()));
    EXPECT_FALSE(props->toleranceAdjuster());
}

} // namespace
} // namespace zandrel::test
