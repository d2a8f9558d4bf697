// The application controller's shared services: interface colours, cursors, favourite fonts,
// help-comic flags and held objects.
#include "app/core/ZDLAppController.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QColor>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class AppControllerServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& key : { kFavoriteFontsKey, kUnfavoriteFontsKey, kHiddenHelpPanelsKey })
            UserDefaults::standard().remove(key);
        controller = ZDLAppController::install(std::make_unique<ZDLAppController>());
    }
    ZDLAppController* controller = nullptr;
};

TEST_F(AppControllerServicesTest, InterfaceColoursAreTheCalibratedValues)
{
    const QList<std::pair<QColor, std::array<float, 3>>> table {
        { controller->selectionColor(), { 0.24f, 0.71f, 0.99f } },
        { controller->reshapeSelectionColor(), { 0.0f, 0.81f, 0.17f } },
        { controller->unspecifiedPartSelectionColor(), { 1.0f, 0.0f, 0.0f } },
        { controller->closedTargetColor(), { 1.0f, 0.0f, 0.0f } },
        { controller->openTargetColor(), { 0.0f, 0.0f, 1.0f } },
        { controller->highlightedControlTopColor(), { 0.4f, 0.65f, 0.982f } },
        { controller->highlightedControlBottomColor(), { 0.049f, 0.46f, 0.998f } },
    };
    for (const auto& [color, rgb] : table) {
        EXPECT_NEAR(color.redF(), rgb[0], 1e-4);
        EXPECT_NEAR(color.greenF(), rgb[1], 1e-4);
        EXPECT_NEAR(color.blueF(), rgb[2], 1e-4);
        EXPECT_EQ(color.alphaF(), 1.0f);
    }
}

TEST_F(AppControllerServicesTest, FavouriteFontsOfTheUserAndBuiltIn)
{
    controller->setBuiltInFavoriteFonts({ QStringLiteral("Comic Neue") });
    int told = 0;
    NotificationCenter::defaultCenter().addObserver(
        this, kFavoriteFontsChangedNotification, controller, [&told](const Notification&) { ++told; });
    auto& defaults = UserDefaults::standard();

    // Un-favouriting a built-in favourite records it; favouriting it again takes it out and leaves
    // the user's favourites alone.
    controller->setFontFamily(QStringLiteral("Comic Neue"), false);
    EXPECT_FALSE(controller->isAFavoriteFontFamily(QStringLiteral("Comic Neue")));
    EXPECT_EQ(defaults.stringArray(kUnfavoriteFontsKey), QStringList { QStringLiteral("Comic Neue") });
    controller->setFontFamily(QStringLiteral("Comic Neue"), true);
    EXPECT_TRUE(controller->isAFavoriteFontFamily(QStringLiteral("Comic Neue")));
    EXPECT_TRUE(defaults.stringArray(kUnfavoriteFontsKey).isEmpty());
    EXPECT_TRUE(defaults.stringArray(kFavoriteFontsKey).isEmpty());

    controller->setFontFamily(QStringLiteral("Serif"), true);
    controller->setFontFamily(QStringLiteral("Serif"), true);
    EXPECT_EQ(defaults.stringArray(kFavoriteFontsKey), QStringList { QStringLiteral("Serif") });
    EXPECT_EQ(told, 3) << "a wish already granted changes nothing and tells nobody";
    NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(AppControllerServicesTest, HelpPanelsHideOneByOneOrAllAtOnce)
{
    EXPECT_FALSE(controller->isHelpPanelHidden(QStringLiteral("parts_view")));
    controller->hideHelpPanel(QStringLiteral("parts_view"));
    controller->hideHelpPanel(QStringLiteral("parts_view"));
    EXPECT_EQ(UserDefaults::standard().stringArray(kHiddenHelpPanelsKey),
        QStringList { QStringLiteral("parts_view") });
    controller->hideAllHelpPanels();
    EXPECT_TRUE(controller->isHelpPanelHidden(QStringLiteral("comic_view")));
    controller->showAllHelpPanels();
    EXPECT_FALSE(controller->isHelpPanelHidden(QStringLiteral("parts_view")));
}

TEST_F(AppControllerServicesTest, LettingGoReleasesEveryHold)
{
    auto sheet = std::make_shared<int>(7);
    controller->holdOnTo(sheet);
    controller->holdOnTo(sheet);
    controller->holdOnTo(std::make_shared<int>(8));
    EXPECT_EQ(sheet.use_count(), 3);
    controller->letGoOf(sheet.get());
    EXPECT_EQ(sheet.use_count(), 1);
    EXPECT_EQ(controller->numberOfHeldObjects(), 1);
}

} // namespace
} // namespace zandrel
