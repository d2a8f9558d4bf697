#include "panels/ElementPropertiesSheets.h"

#include "ComicSheetCase.h"
#include "colorui/ColorAdjuster.h"
#include "colorui/ColorPopups.h"
#include "colorui/GradientGeometryControl.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicRow.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/StyleKeys.h"
#include "panels/DialogUtilities.h"
#include "panels/PanelFrameControls.h"
#include "panels/PopupButton.h"

#include <QGuiApplication>
#include <QLabel>
#include <QSlider>

namespace zandrel::test {

namespace {

void clickSegment(QDialog* sheet, const char* selector, int segment)
{
    auto* control = sheet->findChild<SegmentedControl*>(QString::fromLatin1(selector));
    ASSERT_TRUE(control) << selector;
    QTest::mouseClick(control->button(segment), Qt::LeftButton);
}

QSet<int> segments(QDialog* sheet, const char* selector)
{
    return sheet->findChild<SegmentedControl*>(QString::fromLatin1(selector))->selectedSegments();
}

PopupButton* popup(QDialog* sheet, const char* name)
{
    return sheet->findChild<PopupButton*>(QString::fromLatin1(name));
}

QString fieldText(QDialog* sheet, const char* name)
{
    return sheet->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
}

// A click on the adjuster's cell for the adjustment.
void clickAdjuster(QDialog* sheet, const char* name, float adjustment)
{
    auto* adjuster = sheet->findChild<ColorAdjuster*>(QString::fromLatin1(name));
    ASSERT_TRUE(adjuster && adjuster->isVisible()) << name;
    for (int x = 0; x < adjuster->width(); ++x) {
        const QPoint at(x, adjuster->height() / 2);
        if (std::abs(adjuster->valueFromPoint(at) - adjustment) < 0.01f) {
            QTest::mouseClick(adjuster, Qt::LeftButton, {}, at);
            return;
        }
    }
    FAIL() << "no cell for " << adjustment;
}

FillPtr fillOf(const std::shared_ptr<Balloon>& balloon)
{
    return std::dynamic_pointer_cast<Fill>(balloon->valueForKey(stylekeys::kFill).toObject());
}

ColorFill* colorFillOf(const FillPtr& fill)
{
    return dynamic_cast<ColorFill*>(fill.get());
}

} // namespace

TEST(PanelWeights, TheTableAndWhatItDoesNotHold)
{
    const std::pair<float, int> cases[]
        = { { 0.0f, 0 }, { 0.5f, 1 }, { 1.0f, 2 }, { 1.5f, 3 }, { 2.0f, 4 }, { 0.75f, 2 }, { 7.0f, 2 } };
    for (const auto& [weight, tag] : cases)
        EXPECT_EQ(PanelFrameControls::weightToInt(weight), tag) << weight;
    EXPECT_EQ(PanelFrameControls::intToWeight(3), 1.5f);
    EXPECT_EQ(PanelFrameControls::intToWeight(9), 1.0f);
    EXPECT_EQ(PanelFrameControls::intToWeight(-1), 1.0f);
}

TEST_F(ComicSheetTest, PanelPropertiesSheet)
{
    // The reference comic's current panel: plain, 1 point, sharp, filled with the colour "Sky".
    const auto first = model().currentPanel();
    ASSERT_EQ(first, panel(0));
    ComicStructureList all;
    model().getPanelsInArray(all);
    const auto panels = [&all] {
        std::vector<std::shared_ptr<ComicPanel>> list;
        for (const auto& element : all)
            list.push_back(std::dynamic_pointer_cast<ComicPanel>(element));
        return list;
    };
    const auto colors = model().comicColorsModel()->colors();
    const int black = int(colors.indexOf(model().comicColorsModel()->blackColor()));
    run({
        { "nothing touched", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(popup(sheet, "shapePopup")->selectedTag(), PanelShapePlain);
                EXPECT_EQ(popup(sheet, "weightPopup")->selectedTag(), 2);
                EXPECT_EQ(fieldText(sheet, "roundnessField"), QStringLiteral("0"));
                EXPECT_EQ(segments(sheet, "fillSelector"), QSet<int> { 1 });
                EXPECT_EQ(popup(sheet, "colorPopup")->title(), QStringLiteral("Sky"));
                EXPECT_TRUE(popup(sheet, "colorPopup")->isVisible());
                EXPECT_FALSE(sheet->findChild<QWidget*>(QStringLiteral("gradientWell"))->isVisible());
                EXPECT_TRUE(popup(sheet, "colorPopup")->itemWithTag(DialogUtilities::kAddColorTag));
                EXPECT_FALSE(popup(sheet, "colorPopup")->itemWithTag(0)) << "no none colour to fill with";
                // "Add Color..." opens the new-colour popup and stays no choice; cancelled, nothing.
                chooseFromPopup(sheet, "colorPopup", DialogUtilities::kAddColorTag);
                auto* adding = sheet->findChild<NewColorPopupController*>();
                ASSERT_TRUE(adding && adding->isShown());
                EXPECT_EQ(popup(sheet, "colorPopup")->title(), QStringLiteral("Sky"));
                adding->cancelDialog();
                EXPECT_EQ(popup(sheet, "colorPopup")->title(), QStringLiteral("Sky"));
            } },
        { "shape, weight and a roundness beyond the largest", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) {
                chooseFromPopup(sheet, "shapePopup", PanelShapeSpikes);
                chooseFromPopup(sheet, "weightPopup", 4);
                typeInSheet(sheet, "roundnessField", "300");
            },
            nullptr, "Set Panel Properties",
            [&] {
                EXPECT_EQ(first->shape(), PanelShapeSpikes);
                EXPECT_EQ(first->weight(), 2.0f);
                EXPECT_EQ(first->roundness(), 144.0f);
                EXPECT_EQ(panel(1)->shape(), PanelShapeHandDrawn) << "only the current panel";
            } },
        { "full roundness on every panel", kPanelPropertiesAction, "PanelPropertiesDialog",
            [&](QDialog* sheet) {
                clickSegment(sheet, "setSelector", 1);
                // Mixed values: an empty roundness field, "Multiple" weights, every kind of fill lit.
                EXPECT_EQ(fieldText(sheet, "roundnessField"), QString());
                EXPECT_EQ(popup(sheet, "weightPopup")->title(), DialogUtilities::multipleString());
                EXPECT_EQ(segments(sheet, "fillSelector"), (QSet<int> { 0, 1 }));
                EXPECT_FALSE(popup(sheet, "colorPopup")->isVisible());
                typeInSheet(sheet, "roundnessField", "FULL");
            },
            nullptr, "Set Panel Properties",
            [&] {
                for (const auto& each : panels())
                    EXPECT_EQ(each->roundness(), -1.0f);
                EXPECT_EQ(panel(1)->shape(), PanelShapeHandDrawn) << "untouched properties stay";
            } },
        { "one colour fill for every panel, each its own", kPanelPropertiesAction, "PanelPropertiesDialog",
            [&](QDialog* sheet) {
                clickSegment(sheet, "setSelector", 1);
                clickSegment(sheet, "fillSelector", 1);
                EXPECT_TRUE(popup(sheet, "colorPopup")->isVisible());
                chooseFromPopup(sheet, "colorPopup", black);
                clickAdjuster(sheet, "colorAdjuster", 0.5f);
            },
            nullptr, "Set Panel Properties",
            [&] {
                std::set<Fill*> fills;
                for (const auto& each : panels()) {
                    ColorFill* fill = colorFillOf(each->fill());
                    ASSERT_TRUE(fill);
                    EXPECT_EQ(fill->fillColor(), colors.at(black));
                    EXPECT_FLOAT_EQ(fill->fillColorAdjust(), 0.5f);
                    fills.insert(fill);
                }
                EXPECT_EQ(fills.size(), all.size());
            } },
        { "a new adjustment alone", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) { clickAdjuster(sheet, "colorAdjuster", -0.3f); }, nullptr,
            "Set Panel Properties",
            [&] {
                EXPECT_EQ(colorFillOf(first->fill())->fillColor()->name(), QStringLiteral("Sky"));
                EXPECT_FLOAT_EQ(colorFillOf(first->fill())->fillColorAdjust(), -0.3f);
            } },
        { "no fill", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) {
                clickSegment(sheet, "fillSelector", 0);
                EXPECT_FALSE(popup(sheet, "layerPopup")->isVisible());
            },
            nullptr, "Set Panel Properties", [&] { EXPECT_FALSE(first->fill()); } },
        { "a gradient fill", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) {
                clickSegment(sheet, "fillSelector", 2);
                EXPECT_TRUE(sheet->findChild<QWidget*>(QStringLiteral("gradientWell"))->isVisible());
            },
            nullptr, "Set Panel Properties",
            [&] { EXPECT_TRUE(dynamic_cast<GradientFill*>(first->fill().get())); } },
        { "layer and opacity", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) {
                chooseFromPopup(sheet, "layerPopup", PanelFillBetweenLayers);
                auto* slider = sheet->findChild<QSlider*>(QStringLiteral("opacitySlider"));
                EXPECT_EQ(slider->value(), 100);
                slider->setFocus();
                QTest::keyClick(slider, Qt::Key_PageDown);
            },
            nullptr, "Set Panel Properties",
            [&] {
                EXPECT_EQ(first->fillLayer(), PanelFillBetweenLayers);
                EXPECT_LT(first->fillAlpha(), 1.0f);
                EXPECT_EQ(first->shape(), PanelShapePlain);
            } },
        { "an emptied roundness field is left alone", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "roundnessField", ""); } },
        { "a roundness that is no number", kPanelPropertiesAction, "PanelPropertiesDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "roundnessField", "roundish"); },
            "Please enter a corner roundness from 0 to 144, or “full”." },
    });
}

// "Add Color..." of the panel sheet brings up the new-colour popup, also when the window system
// reports the sheet taking the focus back from the closing menu only after the popup came up, as
// window managers do: the popup stays until the user answers. Cancel adds nothing, OK adds the
// colour named and picked, and turning back to the sheet commits as OK does. Each is one colour at
// most, however often the menu is used.
TEST_F(ComicSheetTest, AddColorWaitsForTheUserWhicheverWayTheFocusComes)
{
    CharacterModel& colors = *model().comicColorsModel();
    const qsizetype before = colors.colors().size();
    open(kPanelPropertiesAction);
    QDialog* sheet = openSheet(window, QStringLiteral("PanelPropertiesDialog"));
    ASSERT_TRUE(sheet);
    clickSegment(sheet, "fillSelector", 1);
    const auto chooseAddColor = [&]() -> NewColorPopupController* {
        chooseFromPopup(sheet, "colorPopup", DialogUtilities::kAddColorTag);
        emit qApp->focusWindowChanged(sheet->windowHandle());
        auto* adding = sheet->findChild<NewColorPopupController*>();
        return adding && adding->isShown() ? adding : nullptr;
    };

    NewColorPopupController* adding = chooseAddColor();
    ASSERT_TRUE(adding) << "the popup is there for the user";
    EXPECT_EQ(colors.colors().size(), before + 1) << "the provisional colour only";
    ASSERT_TRUE(QTest::qWaitForWindowActive(adding->sheet()));
    QTest::mouseClick(adding->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(adding->isShown());
    EXPECT_EQ(colors.colors().size(), before);

    adding = chooseAddColor();
    ASSERT_TRUE(adding);
    ASSERT_TRUE(QTest::qWaitForWindowActive(adding->sheet()));
    typeInto(adding->nameField(), QStringLiteral("Sea"));
    QTest::mouseClick(adding->okButton(), Qt::LeftButton);
    endOfEvent();
    ASSERT_EQ(colors.colors().size(), before + 1);
    EXPECT_EQ(colors.colors().last()->name(), QStringLiteral("Sea"));
    EXPECT_EQ(popup(sheet, "colorPopup")->title(), QStringLiteral("Sea"));

    adding = chooseAddColor();
    ASSERT_TRUE(adding);
    ASSERT_TRUE(QTest::qWaitForWindowActive(adding->sheet()));
    typeInto(adding->nameField(), QStringLiteral("Leaf"));
    activate(sheet);
    endOfEvent();
    EXPECT_FALSE(adding->isShown());
    ASSERT_EQ(colors.colors().size(), before + 2);
    EXPECT_EQ(colors.colors().last()->name(), QStringLiteral("Leaf"));
    clickButton(sheet, QDialogButtonBox::Cancel);
    freeClosedSheets();
}

TEST_F(ComicSheetTest, ACurrentPanelAloneOffersNoChoiceOfPanels)
{
    DocumentWindow* single = openComic(QStringLiteral("Single"), [] {
        auto comic = std::make_shared<ComicModel>();
        comic->setupWithSize(QSizeF(200, 150), 1, 1);
        return comic;
    }());
    ASSERT_TRUE(single);
    QAction* item = showMenuItem(single, kPanelPropertiesAction);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    endOfEvent();
    QDialog* sheet = openSheet(single, QStringLiteral("PanelPropertiesDialog"));
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->findChild<SegmentedControl*>(QStringLiteral("setSelector"))->isEnabled());
    EXPECT_EQ(segments(sheet, "fillSelector"), QSet<int> { 0 });
    clickButton(sheet, QDialogButtonBox::Cancel);
    freeClosedSheets();
}

// Two balloons of the reference comic's second panel, one of them added with other values: a
// gradient fill, a wider line and another shape.
class BalloonSheetTest : public ComicSheetTest {
protected:
    void SetUp() override
    {
        ComicSheetTest::SetUp();
        const auto layer = panel(1)->frontLayer();
        hello = std::dynamic_pointer_cast<Balloon>(layer->children().value(0));
        ASSERT_TRUE(hello);
        other = std::static_pointer_cast<Balloon>(hello->initByCopying());
        other->setShape(int(BalloonShape::Ellipse));
        other->setValueForKey(Value(2.0f), stylekeys::kLineWeight);
        other->setValueForKey(Value(ObjectPtr(std::make_shared<GradientFill>())), stylekeys::kFill);
        other->setOrigin(hello->origin() + QPointF(0, 30));
        layer->setChildren({ hello, other });
        focusView = view;
        click(panel(1)->bounds().center());
        ASSERT_EQ(model().currentPanel(), panel(1));
        view->setSelection({ hello, other });
        ASSERT_EQ(view->selection().size(), 2);
    }

    std::shared_ptr<Balloon> hello;
    std::shared_ptr<Balloon> other;
};

TEST_F(BalloonSheetTest, BalloonPropertiesSheet)
{
    const auto colors = model().comicColorsModel()->colors();
    const int black = 1;
    run({
        { "mixed values shown, nothing written", kEditBalloonPropertiesAction, "BalloonPropertiesDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(fieldText(sheet, "lineWeightField"), QString());
                EXPECT_EQ(popup(sheet, "balloonShapePopup")->title(), DialogUtilities::multipleString());
                EXPECT_EQ(popup(sheet, "balloonStylePopup")->selectedTag(), 0);
                EXPECT_EQ(segments(sheet, "fillTypeSelector"), (QSet<int> { 0, 1 }));
                EXPECT_FALSE(popup(sheet, "fillColorPopup")->isVisible());
                EXPECT_TRUE(popup(sheet, "lineColorPopup")->itemWithTag(0)) << "lines may be of no colour";
                EXPECT_FALSE(popup(sheet, "fillColorPopup")->itemWithTag(0)) << "fills not";
            } },
        { "one shape for both", kEditBalloonPropertiesAction, "BalloonPropertiesDialog",
            [](QDialog* sheet) { chooseFromPopup(sheet, "balloonShapePopup", int(BalloonShape::Rect)); },
            nullptr, "Set Balloon Properties",
            [&] {
                EXPECT_EQ(hello->shape(), int(BalloonShape::Rect));
                EXPECT_EQ(other->shape(), int(BalloonShape::Rect));
                EXPECT_EQ(other->valueForKey(stylekeys::kLineWeight).toFloat(), 2.0f) << "mixed stays";
            } },
        { "a typed weight and a line colour", kEditBalloonPropertiesAction, "BalloonPropertiesDialog",
            [&](QDialog* sheet) {
                typeInSheet(sheet, "lineWeightField", "2.5");
                chooseFromPopup(sheet, "lineColorPopup", black);
                chooseFromPopup(sheet, "lineDashPopup", 1);
            },
            nullptr, "Set Balloon Properties",
            [&] {
                for (const auto& balloon : { hello, other }) {
                    EXPECT_EQ(balloon->valueForKey(stylekeys::kLineWeight).toFloat(), 2.5f);
                    EXPECT_EQ(
                        balloon->valueForKey(stylekeys::kLineColor).toObject(), ObjectPtr(colors.at(black)));
                    EXPECT_EQ(balloon->valueForKey(stylekeys::kLineDash).toInt(), 1);
                }
            } },
        { "a weight preset", kEditBalloonPropertiesAction, "BalloonPropertiesDialog",
            [](QDialog* sheet) {
                chooseFromPopup(sheet, "lineWeightPopup", 40);
                EXPECT_EQ(fieldText(sheet, "lineWeightField"), QStringLiteral("4"));
            },
            nullptr, "Set Balloon Properties",
            [&] { EXPECT_EQ(hello->valueForKey(stylekeys::kLineWeight).toFloat(), 4.0f); } },
        { "an absurd weight", kEditBalloonPropertiesAction, "BalloonPropertiesDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "lineWeightField", "5000"); },
            "Please enter a number from 0 to 100." },
        { "both filled with the first colour fill's colour", kEditBalloonPropertiesAction,
            "BalloonPropertiesDialog", [](QDialog* sheet) { clickSegment(sheet, "fillTypeSelector", 0); },
            nullptr, "Set Balloon Properties",
            [&] {
                ColorFill* mine = colorFillOf(fillOf(hello));
                ColorFill* theirs = colorFillOf(fillOf(other));
                ASSERT_TRUE(mine && theirs);
                EXPECT_NE(mine, theirs);
                EXPECT_EQ(theirs->fillColor(), mine->fillColor());
            } },
        { "both filled with a gradient from the colour", kEditBalloonPropertiesAction,
            "BalloonPropertiesDialog", [](QDialog* sheet) { clickSegment(sheet, "fillTypeSelector", 1); },
            nullptr, "Set Balloon Properties",
            [&] {
                auto* mine = dynamic_cast<GradientFill*>(fillOf(hello).get());
                ASSERT_TRUE(mine);
                EXPECT_TRUE(dynamic_cast<GradientFill*>(fillOf(other).get()));
                EXPECT_NE(fillOf(hello), fillOf(other));
            } },
    });
}

TEST_F(BalloonSheetTest, AnUnchangedBalloonGetsNoUndoStep)
{
    view->setSelection({ hello });
    run({
        { "the same values chosen again", kEditBalloonPropertiesAction, "BalloonPropertiesDialog",
            [&](QDialog* sheet) {
                EXPECT_EQ(fieldText(sheet, "lineWeightField"),
                    DialogController::formatNumber(hello->valueForKey(stylekeys::kLineWeight).toFloat()));
                chooseFromPopup(sheet, "balloonShapePopup", hello->shape());
                chooseFromPopup(sheet, "balloonStylePopup", hello->style());
            } },
    });
}

} // namespace zandrel::test
