#include "ComicSheetCase.h"
#include "app/PartEditingView.h"
#include "charmodel/PartPath.h"
#include "graphics/ArrayUtils.h"
#include "panels/ScaleSheets.h"
#include "views/PartElementsView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

namespace zandrel::test {

namespace {

QString fieldText(QDialog* sheet, const char* name)
{
    return sheet->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
}

} // namespace

// The character window's sheets: properties, the global blur, the tracing image, scaling the
// selection and splitting a part.
TEST_F(CharacterSheetTest, CharacterSheets)
{
    CharacterModel& character = *document->model();
    // Two blurred paths; the others stay unblurred.
    std::vector<PartPath*> paths;
    for (const ObjectPtr& part : character.children()) {
        for (const ObjectPtr& element :
            ArrayUtils::flattenContainedPathsArray(asProtocol<Parent>(part)->children())) {
            if (auto* path = dynamic_cast<PartPath*>(element.get()))
                paths.push_back(path);
        }
    }
    ASSERT_GE(paths.size(), 4u);
    paths.at(0)->setBlur(2.0f);
    paths.at(3)->setBlur(30.0f);
    const auto blurOf = [&paths](int index) { return paths.at(std::size_t(index))->blur(); };
    QImage tracing(40, 30, QImage::Format_RGB32);
    tracing.fill(Qt::gray);
    const QString tracingPath = dir.filePath(QStringLiteral("trace.png"));
    ASSERT_TRUE(tracing.save(tracingPath));
    ASSERT_TRUE(document->openTracingImage(tracingPath));
    endOfEvent();
    // The part to scale: the fixture's star part 0 is 80 wide with 2-point lines.
    view->setSelection({ part(0) });
    const QRectF geometric = ArrayUtils::getElementsBounds({ part(0) });
    const QRectF visual = ArrayUtils::getElementsFilteredBounds({ part(0) });
    const double margin = visual.width() - geometric.width();

    run({
        { "character properties", kPropertiesDialogAction, "CharacterPropertiesDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(fieldText(sheet, "characterName"), QStringLiteral("Bob"));
                typeInSheet(sheet, "characterName", "Robo");
                typeInSheet(sheet, "artistName", "Me");
                // Called what the new-character and comic sheets call it.
                auto* form = sheet->findChild<QFormLayout*>();
                auto* label = form ? qobject_cast<QLabel*>(form->labelForField(
                                  sheet->findChild<QLineEdit*>(QStringLiteral("artistName"))))
                                   : nullptr;
                EXPECT_EQ(label ? label->text() : QString(), QStringLiteral("Creator:"));
                clickRadio(sheet, 1);
            },
            nullptr, "Set Character Properties",
            [&character] {
                EXPECT_EQ(character.characterName(), QStringLiteral("Robo"));
                EXPECT_EQ(character.creator(), QStringLiteral("Me"));
                EXPECT_NE(character.partsKind(), 0);
            } },
        { "blurs doubled, held within the largest", kGlobalBlurAdjustmentAction, "AdjustBlur",
            [](QDialog* sheet) {
                EXPECT_EQ(fieldText(sheet, "blurFactor"), QStringLiteral("1"));
                typeInSheet(sheet, "blurFactor", "2");
            },
            nullptr, "",
            [&] {
                EXPECT_EQ(blurOf(0), 4.0f);
                EXPECT_EQ(blurOf(3), AdjustBlurController::kLargestBlur);
                EXPECT_EQ(blurOf(1), 0.0f) << "paths without blur keep none";
            } },
        { "a blur factor of 1 changes nothing", kGlobalBlurAdjustmentAction, "AdjustBlur", [](QDialog*) {} },
        { "a blur factor of 0 changes nothing", kGlobalBlurAdjustmentAction, "AdjustBlur",
            [](QDialog* sheet) { typeInSheet(sheet, "blurFactor", "0"); } },
        { "an absurd blur factor", kGlobalBlurAdjustmentAction, "AdjustBlur",
            [](QDialog* sheet) { typeInSheet(sheet, "blurFactor", "1e9"); },
            "Please enter a number from 0 to 100." },
        { "tracing image: several changes, one step", kTracingImageSettingsAction, "TraceImageSettingsDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(fieldText(sheet, "scale"), QStringLiteral("1"));
                typeInSheet(sheet, "scale", "2.5");
                auto* slider = sheet->findChild<QSlider*>(QStringLiteral("alphaSlider"));
                slider->setFocus();
                for (int i = 0; i < 3; ++i)
                    QTest::keyClick(slider, Qt::Key_Right);
                QTest::mouseClick(sheet->findChild<QCheckBox*>(QStringLiteral("visibleCheckbox")),
                    Qt::LeftButton, {}, QPoint(4, 6));
            },
            nullptr, "",
            [&character] {
                EXPECT_EQ(character.tracingImageScale(), 2.5f);
                EXPECT_FALSE(character.tracingImageVisible());
                EXPECT_GT(character.tracingImageAlpha(), 0.2f);
            } },
        { "tracing image: an absurd scale", kTracingImageSettingsAction, "TraceImageSettingsDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "scale", "-4"); },
            "Please enter a number from 0.01 to 20." },
        { "scale by percent, locked", kScaleAction, "ScaleDialog",
            [&](QDialog* sheet) {
                typeInSheet(sheet, "widthPercent", "200");
                QTest::keyClick(sheet->findChild<QLineEdit*>(QStringLiteral("widthPercent")), Qt::Key_Tab);
                EXPECT_EQ(fieldText(sheet, "heightPercent"), QStringLiteral("200"));
                EXPECT_EQ(fieldText(sheet, "widthPixels"),
                    DialogController::formatNumber(2 * geometric.width() + margin));
            },
            nullptr, "Scale",
            [&] {
                EXPECT_NEAR(ArrayUtils::getElementsBounds({ part(0) }).width(), 2 * geometric.width(), 0.01);
            } },
        { "scale to pixels, free", kScaleAction, "ScaleDialog",
            [&](QDialog* sheet) {
                QTest::mouseClick(sheet->findChild<QCheckBox*>(QStringLiteral("lockedButton")),
                    Qt::LeftButton, {}, QPoint(4, 6));
                typeInSheet(
                    sheet, "widthPixels", qPrintable(QString::number(geometric.width() / 2 + margin)));
                QTest::keyClick(sheet->findChild<QLineEdit*>(QStringLiteral("widthPixels")), Qt::Key_Tab);
                EXPECT_EQ(fieldText(sheet, "widthPercent"), QStringLiteral("50"));
                EXPECT_EQ(fieldText(sheet, "heightPercent"), QStringLiteral("100"));
            },
            nullptr, "Scale",
            [&] {
                const QRectF scaled = ArrayUtils::getElementsBounds({ part(0) });
                EXPECT_NEAR(scaled.width(), geometric.width() / 2, 0.01);
                EXPECT_NEAR(scaled.height(), geometric.height(), 0.01);
            } },
        { "a scale of nothing", kScaleAction, "ScaleDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "widthPercent", "0"); },
            "Please choose a scale from 0.1 % to 10000 %." },
    });

    // Splitting elements of a part into a part of their own.
    view->setSelection({ part(0) });
    choose(kEditObjectAction);
    endOfEvent();
    auto* elements = window->findChild<PartEditingView*>(QStringLiteral("partEditor"))->partElementsView();
    ASSERT_EQ(document->currentEditor()->rootObject(), part(0));
    focusView = elements;
    elements->setSelection({ asProtocol<Parent>(part(0))->getChildAtIndex(0) });
    const std::size_t partsBefore = character.numChildren();
    run({
        { "split a path into a hat", kSplitToSeparatePartAction, "SplitPartDialog",
            [](QDialog* sheet) { chooseFromPopup(sheet, "partTypePopup", PartTypeHat); }, nullptr,
            "Split Part",
            [&] {
                ASSERT_EQ(character.numChildren(), partsBefore + 1);
                const auto* made = dynamic_cast<const Part*>(character.children().last().get());
                ASSERT_TRUE(made);
                EXPECT_EQ(made->partType(), PartTypeHat);
            } },
    });
}

} // namespace zandrel::test

namespace zandrel::test {

// The resample sheet of the image editor: percent and pixels follow each other, never above the
// image's own size, and OK hands the scale to the editor.
TEST_F(CharacterSheetTest, ResampleSheet)
{
    struct Case {
        const char* field;
        const char* text;
        const char* percent;
        const char* width;
        const char* height;
        float scale;
        const char* alert = nullptr;
    };
    const Case cases[] = {
        { "percent", "33", "33", "330", "247", 0.33f },
        { "widthPixels", "500", "50", "500", "375", 0.5f },
        { "heightPixels", "75", "10", "100", "75", 0.1f },
        { "percent", "", "100", "1000", "750", 1.0f },
        { "widthPixels", "2000", nullptr, nullptr, nullptr, 0,
            "Please enter a whole number from 1 to 1000." },
        { "percent", "0", nullptr, nullptr, nullptr, 0, "Please enter a number from 0.1 to 100." },
    };
    for (const Case& trial : cases) {
        SCOPED_TRACE(std::string(trial.field) + " " + trial.text);
        alerts.clear();
        float resampled = -1;
        QPointer<ResampleDialogController> controller = DialogController::create<ResampleDialogController>(
            window, QSize(1000, 750), [&resampled](float scale) { resampled = scale; });
        controller->showWindow();
        QDialog* sheet = controller->sheet();
        activate(sheet);
        typeInSheet(sheet, trial.field, trial.text);
        if (!trial.alert) {
            QTest::keyClick(sheet->findChild<QLineEdit*>(QString::fromLatin1(trial.field)), Qt::Key_Tab);
            EXPECT_EQ(fieldText(sheet, "percent"), QString::fromLatin1(trial.percent));
            EXPECT_EQ(fieldText(sheet, "widthPixels"), QString::fromLatin1(trial.width));
            EXPECT_EQ(fieldText(sheet, "heightPixels"), QString::fromLatin1(trial.height));
        }
        clickButton(sheet, QDialogButtonBox::Ok);
        if (trial.alert) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first().message, QString::fromLatin1(trial.alert));
            EXPECT_EQ(resampled, -1.0f);
            clickButton(sheet, QDialogButtonBox::Cancel);
        } else {
            EXPECT_FLOAT_EQ(resampled, trial.scale);
        }
        freeClosedSheets();
        EXPECT_TRUE(controller.isNull());
    }
}

} // namespace zandrel::test
