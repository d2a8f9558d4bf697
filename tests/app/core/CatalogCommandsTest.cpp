// Which command on a catalog item each catalog allows.
#include "app/core/CatalogCommands.h"

#include "comicmodel/CharacterLibraryItem.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(CatalogCommandsTest, EachCatalogAllowsItsOwnCommands)
{
    using Item = CharacterLibraryItem;
    // Per action, whether an item of the built-in, purchased, user catalog or none allows it.
    const struct {
        QString action;
        bool allowed[4];
    } cases[] = {
        { CatalogCommands::kOpenCatalogCharacterAction, { true, true, true, true } },
        { CatalogCommands::kSaveACopyAction, { true, true, true, true } },
        { CatalogCommands::kDeleteCatalogItemAction, { false, true, true, false } },
        { CatalogCommands::kEditCatalogItemAction, { false, false, true, false } },
        { CatalogCommands::kCopyToUserCatalogAction, { true, true, false, false } },
        { QStringLiteral("delete:"), { false, false, false, false } },
    };
    const int catalogs[]
        = { Item::BuiltInCatalog, Item::PurchasedCatalog, Item::UserCatalog, Item::NotFromCatalog };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action.toStdString());
        EXPECT_FALSE(CatalogCommands::allows(c.action, nullptr));
        for (int i = 0; i < 4; ++i) {
            Item item;
            item.setFromCatalog(catalogs[i]);
            EXPECT_EQ(CatalogCommands::allows(c.action, &item), c.allowed[i]) << "catalog " << catalogs[i];
        }
    }
}

} // namespace
} // namespace zandrel
