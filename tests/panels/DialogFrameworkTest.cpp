#include "app/core/ActionNames.h"
#include "app/windows/WindowTestSupport.h"
#include "graphics/Measurement.h"
#include "panels/DialogController.h"
#include "panels/DialogUtilities.h"
#include "panels/MeasurementFormatter.h"
#include "panels/PopupButton.h"
#include "panels/SheetTestSupport.h"
#include "panels/WaitForFileController.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

namespace zandrel::test {

namespace {

// A sheet with a number of each kind bound to plain members, as the real sheets bind theirs.
class TrialSheet : public DialogController {
public:
    explicit TrialSheet(QWidget* host)
        : DialogController(host, QStringLiteral("TrialSheet"))
        , length(72.0f)
        , lengthLimits(1.0, 720.0)
    {
        countField = addField(QStringLiteral("Count"), QStringLiteral("count"));
        bindInteger(
            countField, QStringLiteral("count"), [this] { return count; },
            [this](qint64 value) { count = int(value); }, 1, 20);
        ratioField = addField(QStringLiteral("Ratio"), QStringLiteral("ratio"));
        bindNumber(
            ratioField, QStringLiteral("ratio"), [this] { return ratio; },
            [this](double value) { ratio = value; }, 0.5, 4.0);
        lengthField = addField(QStringLiteral("Length"), QStringLiteral("length"));
        bindMeasurement(lengthField, &length, &lengthLimits);
        addButtons(QStringLiteral("Apply"), [this] {
            if (!makeFirstResponder())
                return;
            ++commits;
            close();
        });
    }
    bool setNilValueForKey(const QString& key) override
    {
        if (key != QStringLiteral("count"))
            return DialogController::setNilValueForKey(key);
        count = 3;
        return true;
    }
    void ok() { sheet()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click(); }
    void cancel() { sheet()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click(); }

    int count = 2;
    double ratio = 1.0;
    Measurement length;
    MeasurementFormatter lengthLimits;
    int commits = 0;
    QLineEdit* countField = nullptr;
    QLineEdit* ratioField = nullptr;
    QLineEdit* lengthField = nullptr;
};

class DialogFrameworkTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    }
    void TearDown() override
    {
        controller->setMeasurementUnits(ZDLAppController::Pixels);
        WindowTest::TearDown();
    }
    static void type(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        if (text.isEmpty())
            QTest::keyClick(field, Qt::Key_Delete);
        else
            QTest::keyClicks(field, text);
    }
    static void freeDeferred()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }

    QMainWindow host;
};

} // namespace

TEST_F(DialogFrameworkTest, SheetIsHeldWhileShownAndFreedAfterClose)
{
    const qsizetype heldBefore = controller->numberOfHeldObjects();
    QPointer<TrialSheet> sheet = DialogController::create<TrialSheet>(&host);
    EXPECT_EQ(controller->numberOfHeldObjects(), heldBefore + 1);
    sheet->showWindow();
    ASSERT_TRUE(sheet->isShown());
    EXPECT_EQ(sheet->sheet()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->sheet()->parentWidget(), &host);
    EXPECT_EQ(sheet->countField->text(), QStringLiteral("2"));
    EXPECT_EQ(sheet->lengthField->text(), QStringLiteral("72"));
    sheet->cancel();
    EXPECT_EQ(controller->numberOfHeldObjects(), heldBefore);
    freeDeferred();
    EXPECT_TRUE(sheet.isNull());
}

TEST_F(DialogFrameworkTest, ReturnOnAFocusedPopupPressesTheDefaultButton)
{
    QPointer<TrialSheet> sheet = DialogController::create<TrialSheet>(&host);
    sheet->showWindow();
    auto* units = new PopupButton(sheet->sheet());
    units->addItem(QStringLiteral("Pixels"));
    sheet->sheet()->layout()->addWidget(units);
    units->setFocus();
    QTest::keyClick(units, Qt::Key_Return);
    EXPECT_FALSE(units->itemMenu()->isVisible());
    EXPECT_EQ(sheet->commits, 1);
    EXPECT_FALSE(sheet->isShown());
}

TEST_F(DialogFrameworkTest, RefusedFieldsKeepTheSheetOpenWithTheirMessage)
{
    struct Case {
        const char* field;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        { "count", "0", "Please enter a whole number from 1 to 20." },
        { "count", "21", "Please enter a whole number from 1 to 20." },
        { "count", "2.5", "Please enter a whole number from 1 to 20." },
        { "count", "1e300", "Please enter a whole number from 1 to 20." },
        { "ratio", "abc", "Please enter a number from 0.5 to 4." },
        { "ratio", "nan", "Please enter a number from 0.5 to 4." },
        { "ratio", "", "Please enter a number from 0.5 to 4." },
        { "length", "721", "Please enter a length from 1 px to 720 px." },
        { "length", "-inf", "Please enter a length from 1 px to 720 px." },
    };
    for (const Case& trial : cases) {
        SCOPED_TRACE(std::string(trial.field) + " " + trial.text);
        alerts.clear();
        QPointer<TrialSheet> sheet = DialogController::create<TrialSheet>(&host);
        sheet->showWindow();
        type(sheet->sheet()->findChild<QLineEdit*>(QString::fromLatin1(trial.field)),
            QString::fromLatin1(trial.text));
        sheet->ok();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first().message, QString::fromUtf8(trial.message));
        EXPECT_EQ(sheet->commits, 0);
        EXPECT_TRUE(sheet->isShown());
        EXPECT_EQ(sheet->count, 2);
        EXPECT_EQ(sheet->ratio, 1.0);
        EXPECT_EQ(sheet->length.pixels(), 72.0f);
        sheet->cancel();
    }
}

TEST_F(DialogFrameworkTest, AcceptedFieldsWriteTheirPropertiesAndEmptiedOnesTakeDefaults)
{
    controller->setMeasurementUnits(ZDLAppController::Inches);
    QPointer<TrialSheet> sheet = DialogController::create<TrialSheet>(&host);
    sheet->showWindow();
    EXPECT_EQ(sheet->lengthField->text(), QStringLiteral("1"));
    type(sheet->countField, QString());
    type(sheet->ratioField, QStringLiteral("2.25"));
    type(sheet->lengthField, QStringLiteral("2.5"));
    sheet->ok();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(sheet->commits, 1);
    EXPECT_EQ(sheet->count, 3);
    EXPECT_EQ(sheet->ratio, 2.25);
    EXPECT_FLOAT_EQ(sheet->length.pixels(), 180.0f);
    EXPECT_FALSE(sheet->isShown());
}

TEST_F(DialogFrameworkTest, LengthFieldsAndLimitsFollowTheDisplayUnits)
{
    controller->setMeasurementUnits(ZDLAppController::Inches);
    QPointer<TrialSheet> sheet = DialogController::create<TrialSheet>(&host);
    sheet->showWindow();
    EXPECT_FLOAT_EQ(float(*sheet->lengthLimits.maximum()), 10.0f);
    MeasurementPopup popup;
    EXPECT_EQ(popup.selectedTag(), int(ZDLAppController::Inches));
    controller->setMeasurementUnits(ZDLAppController::Centimetres);
    EXPECT_EQ(popup.selectedTag(), int(ZDLAppController::Centimetres));
    EXPECT_NEAR(*sheet->lengthLimits.maximum(), 25.4, 1e-4);
    EXPECT_EQ(sheet->lengthField->text(), QStringLiteral("2.54"));
    popup.setCurrentIndex(0);
    popup.setMeasurementUnitsFromSelf();
    EXPECT_NEAR(*sheet->lengthLimits.maximum(), 720.0, 1e-3);
    EXPECT_EQ(sheet->lengthField->text(), QStringLiteral("72"));
    // A formatter with only a maximum has no minimum after a change either.
    MeasurementFormatter onlyMaximum(std::nullopt, 100.0);
    controller->setMeasurementUnits(ZDLAppController::Inches);
    EXPECT_FALSE(onlyMaximum.minimum());
    sheet->cancel();
}

TEST_F(DialogFrameworkTest, ClosingTheHostWindowLetsGoOfTheSheet)
{
    auto* other = new QMainWindow;
    other->show();
    const qsizetype heldBefore = controller->numberOfHeldObjects();
    QPointer<TrialSheet> sheet = DialogController::create<TrialSheet>(other);
    sheet->showWindow();
    delete other;
    EXPECT_EQ(controller->numberOfHeldObjects(), heldBefore);
    freeDeferred();
    EXPECT_TRUE(sheet.isNull());
}

TEST(DialogUtilitiesTest, RoundnessFieldsRead)
{
    const std::pair<const char*, float> cases[] = { { "FULL", -1.0f }, { "full", -1.0f }, { " Full ", -1.0f },
        { "200", 144.0f }, { "-5", 0.0f }, { "abc", 0.0f }, { "7.5", 7.5f }, { "", 0.0f }, { "inf", 0.0f } };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(DialogUtilities::roundnessFromText(QString::fromLatin1(text)), expected) << text;
    const std::pair<const char*, float> weights[]
        = { { "1.5 pt", 1.5f }, { "2", 2.0f }, { "0.5pt wide", 0.5f }, { "px 4", 0.0f }, { "", 0.0f } };
    for (const auto& [title, expected] : weights)
        EXPECT_EQ(DialogUtilities::floatFromWeightTitle(QString::fromLatin1(title)), expected) << title;
}

TEST(DialogUtilitiesTest, MixedValuesShowMultipleOnceAndMarkTheItems)
{
    PopupButton popup;
    for (int tag = 0; tag < 3; ++tag)
        popup.addItem(QStringLiteral("Shape %1").arg(tag), tag);
    DialogUtilities::setPopupToTagValues(popup, { 0, 2 });
    DialogUtilities::setPopupToTagValues(popup, { 0, 2 });
    EXPECT_EQ(popup.title(), QStringLiteral("Multiple"));
    EXPECT_EQ(popup.selectedItem(), nullptr);
    ASSERT_EQ(popup.items().size(), 4);
    EXPECT_FALSE(popup.items().first()->isVisible());
    EXPECT_EQ(PopupButton::stateOf(popup.itemWithTag(0)), -1);
    EXPECT_EQ(PopupButton::stateOf(popup.itemWithTag(1)), 0);
    EXPECT_EQ(PopupButton::stateOf(popup.itemWithTag(2)), -1);
    DialogUtilities::setPopupToTagValues(popup, { 1 });
    EXPECT_EQ(popup.selectedTag(), 1);
    EXPECT_EQ(popup.title(), QStringLiteral("Shape 1"));
    EXPECT_EQ(PopupButton::stateOf(popup.itemWithTag(2)), 0);
    DialogUtilities::setPopupToTagValues(popup, {});
    EXPECT_FALSE(popup.isEnabled());

    // Objects without the property select nothing but leave the popup enabled.
    PopupButton colors;
    colors.addItem(QStringLiteral("Red"), 0, QStringLiteral("red"));
    colors.addItem(QStringLiteral("Add Color..."), 0);
    DialogUtilities::setPopupToRepresentedObjectValues(colors, { QVariant() });
    EXPECT_TRUE(colors.isEnabled());
    EXPECT_EQ(colors.selectedItem(), nullptr);

    QLineEdit field;
    DialogUtilities::setNumberFieldValue(&field, { 1.0f, 2.0f });
    EXPECT_TRUE(field.isEnabled());
    EXPECT_EQ(field.text(), QString());
    DialogUtilities::setNumberFieldValue(&field, {});
    EXPECT_FALSE(field.isEnabled());
}

TEST(DialogUtilitiesTest, RoundnessPresetsFillTheFieldAndLabel)
{
    PopupButton popup;
    popup.setPullsDown(true);
    AppController::setupRoundnessMenu(popup.itemMenu());
    QLineEdit field;
    QLabel label;
    popup.selectItem(popup.itemWithTag(DialogUtilities::kFullyRoundTag));
    DialogUtilities::setRoundnessFieldFromPopup(&field, &popup, &label);
    EXPECT_EQ(field.text(), QStringLiteral("full"));
    EXPECT_TRUE(label.isHidden());
    popup.selectItem(popup.itemWithTitle(QStringLiteral("12 px")));
    DialogUtilities::setRoundnessFieldFromPopup(&field, &popup, &label);
    EXPECT_EQ(field.text(), QStringLiteral("12"));
    EXPECT_FALSE(label.isHidden());
    EXPECT_EQ(PopupButton::stateOf(popup.itemWithTitle(QStringLiteral("12 px"))), 1);
    EXPECT_EQ(PopupButton::stateOf(popup.itemWithTag(DialogUtilities::kSharpTag)), 0);
}

} // namespace zandrel::test

namespace zandrel::test {

TEST_F(DialogFrameworkTest, ContextMenusHideSeparatorsWithNothingToSeparate)
{
    QMenu menu;
    const QString answered = kNewComicAction;
    const QString unanswered = QStringLiteral("noSuchAction:");
    QList<QAction*> items;
    items << menu.addSeparator() << MenuActions::add(&menu, QStringLiteral("N1"), answered)
          << menu.addSeparator() << MenuActions::add(&menu, QStringLiteral("X1"), unanswered)
          << menu.addSeparator() << MenuActions::add(&menu, QStringLiteral("N2"), answered);
    QMenu* empty = menu.addMenu(QStringLiteral("Empty"));
    MenuActions::add(empty, QStringLiteral("X2"), unanswered);
    items << empty->menuAction() << menu.addSeparator()
          << MenuActions::add(&menu, QStringLiteral("X3"), unanswered);
    EXPECT_TRUE(MenuActions::validateAndHideContextMenuItems(&menu, &host));
    QString shown;
    for (QAction* item : items)
        shown += item->isVisible() ? (item->isSeparator() ? QStringLiteral("|") : item->text()) : QString();
    EXPECT_EQ(shown, QStringLiteral("N1|N2"));

    QMenu nothing;
    MenuActions::add(&nothing, QStringLiteral("X"), unanswered);
    EXPECT_FALSE(MenuActions::validateAndHideContextMenuItems(&nothing, &host));
}

} // namespace zandrel::test

namespace zandrel::test {

// The wait sheet looks for the promised file on its timer and hands it over at the first look at
// which it is there, however little of it is written yet, exactly once; cancelled, it hands over
// nothing, whatever arrives later. Either way it is let go.
TEST_F(DialogFrameworkTest, TheWaitSheetHandsOverAtTheFirstLookAtWhichTheFileIsThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("promised.png"));
    for (const bool cancelled : { false, true }) {
        SCOPED_TRACE(cancelled ? "cancelled" : "arrived");
        QFile::remove(path);
        QStringList handedOver;
        const qsizetype heldBefore = controller->numberOfHeldObjects();
        QPointer<WaitForFileController> waiting = DialogController::create<WaitForFileController>(&host, path,
            QStringLiteral("Waiting for file \u201cpromised.png\u201d"),
            [&handedOver](const QString& arrived) { handedOver.append(arrived); });
        EXPECT_EQ(waiting->indicator()->maximum(), 1) << "still until shown";
        waiting->showWindow();
        ASSERT_TRUE(waiting->isShown());
        EXPECT_EQ(waiting->sheet()->objectName(), QStringLiteral("WaitForFileDialog"));
        EXPECT_EQ(waiting->sheet()->windowModality(), Qt::WindowModal);
        EXPECT_EQ(
            waiting->messageField()->text(), QStringLiteral("Waiting for file \u201cpromised.png\u201d"));
        EXPECT_EQ(waiting->indicator()->maximum(), 0) << "running without an end";
        waiting->checkForFile();
        EXPECT_TRUE(waiting->isShown());
        if (cancelled)
            clickButton(waiting->sheet(), QDialogButtonBox::Cancel);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("P");
        file.close();
        QTest::qWait(3 * WaitForFileController::kPollIntervalMs);
        EXPECT_EQ(handedOver, cancelled ? QStringList() : QStringList { path });
        EXPECT_EQ(controller->numberOfHeldObjects(), heldBefore);
        freeDeferred();
        EXPECT_TRUE(waiting.isNull());
    }
}

} // namespace zandrel::test
