#include "app/core/ZDLAppController.h"

#include "platform/Exception.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <stdexcept>

namespace zandrel {
namespace {

class AppControllerTest : public ::testing::Test {
protected:
    void SetUp() override { controller = ZDLAppController::install(std::make_unique<ZDLAppController>()); }
    void TearDown() override { UserDefaults::standard().remove(kDefaultUnitsKey); }

    ZDLAppController* controller = nullptr;
};

TEST_F(AppControllerTest, InstalledControllerIsTheOneEveryoneReaches)
{
    EXPECT_EQ(appController(), controller);
    EXPECT_EQ(ZDLAppController::appController(), controller);
    EXPECT_FALSE(controller->writingPasteboard());
    controller->setWritingPasteboard(true);
    EXPECT_TRUE(appController()->writingPasteboard());
}

TEST_F(AppControllerTest, ExceptionsBecomeTheErrorsTheUserSees)
{
    const DocumentError cancelled
        = ZDLAppController::getErrorForException(Exception(kUserCancelledException, "x"));
    EXPECT_TRUE(cancelled.isUserCancelled());
    EXPECT_EQ(cancelled.domain, DocumentError::kCocoaDomain);
    EXPECT_EQ(cancelled.code, 3072);
    EXPECT_FALSE(cancelled.hasUserInfo());

    const DocumentError tooNew = ZDLAppController::getErrorForException(
        Exception(kFileTooNewException, "Zandrel version 2.0 or newer is needed to open this file."));
    EXPECT_FALSE(tooNew.isUserCancelled());
    EXPECT_EQ(tooNew.domain, DocumentError::kOSStatusDomain);
    EXPECT_EQ(tooNew.code, -4);
    EXPECT_EQ(tooNew.failureReason, "It was created with a newer version of Zandrel.");
    EXPECT_EQ(tooNew.recoverySuggestion, "Zandrel version 2.0 or newer is needed to open this file.");

    const DocumentError corrupt = DocumentError::unreadableFile("The data is corrupted.");
    EXPECT_EQ(
        ZDLAppController::getErrorForException(Exception(kInvalidArchiveException, "bad UID")), corrupt);
    // Whatever else a reader throws is corrupt data too, never a crash.
    EXPECT_EQ(ZDLAppController::getErrorForException(std::runtime_error("parser")), corrupt);
}

TEST_F(AppControllerTest, DashTableHoldsFifteenPatternsInFileOrder)
{
    const QList<QList<double>> expected = { {}, { 1, 1 }, { 2, 1 }, { 3, 1 }, { 2, 2 }, { 3, 2 }, { 4, 2 },
        { 2, 3 }, { 3, 3 }, { 4, 3 }, { 5, 3 }, { 2, 4 }, { 3, 4 }, { 4, 4 }, { 5, 4 } };
    ASSERT_EQ(controller->numberOfDashes(), 15);
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(controller->getDashAtIndex(i).lengths(), expected[i]) << "index " << i;
    EXPECT_TRUE(controller->getDashAtIndex(0).isSolid());
    EXPECT_EQ(controller->getDashAtIndex(5).name(), "3 - 2");

    // Past the end, negative included: the solid entry itself.
    const Dash* solid = &controller->getDashAtIndex(0);
    for (qint64 index : { qint64(15), qint64(1000), qint64(-1), std::numeric_limits<qint64>::min() })
        EXPECT_EQ(&controller->getDashAtIndex(index), solid) << "index " << index;
}

TEST_F(AppControllerTest, UnitsConvertByPixelsPerUnit)
{
    struct Case {
        int units;
        float pixels;
        float inUnits;
    };
    const Case cases[] = {
        { ZDLAppController::Pixels, 144.0f, 144.0f },
        { ZDLAppController::Inches, 144.0f, 2.0f },
        { ZDLAppController::Inches, 36.0f, 0.5f },
        { ZDLAppController::Centimetres, 28.346457f, 1.0f },
        { ZDLAppController::Centimetres, 283.46457f, 10.0f },
        // Unknown units behave as pixels.
        { 7, 50.0f, 50.0f },
        { -1, 50.0f, 50.0f },
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(ZDLAppController::getUnitsFromPixels(c.pixels, c.units), c.inUnits)
            << "units " << c.units;
        EXPECT_FLOAT_EQ(ZDLAppController::getPixelsFromUnits(c.inUnits, c.units), c.pixels)
            << "units " << c.units;
    }

    controller->setMeasurementUnits(ZDLAppController::Inches);
    EXPECT_FLOAT_EQ(controller->getUnitsFromPixels(144.0f), 2.0f);
    EXPECT_FLOAT_EQ(controller->getPixelsFromUnits(2.0f), 144.0f);
}

TEST_F(AppControllerTest, MeasurementStringsRoundPerUnit)
{
    EXPECT_EQ(ZDLAppController::measurementStringFor(72.0f, ZDLAppController::Inches), "1 in");
    EXPECT_EQ(ZDLAppController::measurementStringFor(100.0f, ZDLAppController::Inches), "1.39 in");
    EXPECT_EQ(ZDLAppController::measurementStringFor(10.0f, ZDLAppController::Centimetres), "0.35 cm");
    EXPECT_EQ(ZDLAppController::measurementStringFor(12.34f, ZDLAppController::Pixels), "12.3 px");
    EXPECT_EQ(ZDLAppController::measurementStringFor(12.0f, 9), "12 px");
    EXPECT_EQ(ZDLAppController::measurementStringFor(-0.01f, ZDLAppController::Pixels), "0 px");
}

TEST_F(AppControllerTest, RegisteredDefaults)
{
    const auto& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.integer(kDefaultUnitsKey), 0);
    EXPECT_TRUE(defaults.contains("developer"));
    EXPECT_FALSE(defaults.boolean("developer"));
    EXPECT_EQ(defaults.string("defaultDescription"), "My latest comic from Zandrel.");
    EXPECT_EQ(defaults.string("defaultHashtags"), "#zandrel");
    EXPECT_TRUE(defaults.contains("favoriteFonts"));
    EXPECT_TRUE(defaults.stringArray("favoriteFonts").isEmpty());
    EXPECT_TRUE(defaults.contains("unfavoriteFonts"));
    EXPECT_TRUE(defaults.stringArray("unfavoriteFonts").isEmpty());
    // Noon at six hours behind UTC.
    const QDateTime expected(QDate(2016, 4, 5), QTime(18, 0), Qt::UTC);
    EXPECT_EQ(defaults.date("lastCheckedArtStore").toUTC(), expected);
    EXPECT_EQ(defaults.date("lastVisitedArtStore").toUTC(), expected);
    EXPECT_FALSE(defaults.contains("hiddenHelpPanels"));
}

TEST_F(AppControllerTest, SettingUnitsPostsThreeNotificationsAroundTheStore)
{
    auto& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.object(kDefaultUnitsKey).toInt(), 0) << "registered default";
    controller->setMeasurementUnits(ZDLAppController::Inches);

    struct Seen {
        QString name;
        ValueMap userInfo;
        int unitsThen;
        int storedThen;
    };
    QList<Seen> seen;
    int observer = 0;
    NotificationCenter::defaultCenter().addObserver(
        &observer, QString(), controller, [&](const Notification& n) {
            seen.append(
                { n.name, n.userInfo, controller->measurementUnits(), defaults.integer(kDefaultUnitsKey) });
        });
    controller->setMeasurementUnits(ZDLAppController::Centimetres);
    controller->setMeasurementUnits(ZDLAppController::Centimetres);
    NotificationCenter::defaultCenter().removeObserver(&observer);

    ASSERT_EQ(seen.size(), 6);
    const QStringList names
        = { "measurementUnitsWillChange", "measurementUnitsChanged", "measurementUnitsDidChange" };
    // Units are stored before "changed"; the default is written between "changed" and "did change".
    const int unitsThen[] = { 1, 2, 2 };
    const int storedThen[] = { 1, 1, 2 };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(seen[i].name, names[i]);
        EXPECT_EQ(seen[i].unitsThen, unitsThen[i]) << i;
        EXPECT_EQ(seen[i].storedThen, storedThen[i]) << i;
        const ValueMap& info = seen[i].userInfo;
        EXPECT_EQ(info.value(kConversionFactorKey), Value(72.0f / 28.346457f));
        EXPECT_EQ(info.value(kOldUnitsKey), Value(1));
        EXPECT_EQ(info.value(kNewUnitsKey), Value(2));
    }
    // The same units again still notify, with factor 1.
    EXPECT_EQ(seen[3].name, names[0]);
    EXPECT_EQ(seen[5].userInfo.value(kConversionFactorKey), Value(1.0f));
    EXPECT_EQ(seen[5].userInfo.value(kOldUnitsKey), Value(2));
    EXPECT_EQ(defaults.integer(kDefaultUnitsKey), 2);
}

} // namespace
} // namespace zandrel
