// Menus listing names that the user or the network gave: a name shows as it is, ampersands
// included, and a long one keeps its menu narrow.
#include "CatalogPanelFixture.h"
#include "app/core/ArtStore.h"
#include "panels/PopupButton.h"
#include "platform/XmlPropertyList.h"

#include <QToolButton>

namespace zandrel::test {
namespace {

TEST_F(CatalogPanelTest, NamesInMenusShowAsTheyAreAndKeepTheMenuNarrow)
{
    std::vector<std::unique_ptr<QWidget>> kept;
    QMenu downloadMenu;
    // Each source of a menu, made to list the name.
    const std::vector<std::pair<const char*, std::function<QMenu*(const QString&)>>> menus {
        { "download menu",
            [&](const QString& name) {
                const QVariantMap product { { ArtStore::kProductCodeKey, "pk" },
                    { ArtStore::kProductNameKey, name },
                    { ArtStore::kVersionsKey,
                        QVariantList { QVariantMap { { ArtStore::kVersionKey, qint64(1) },
                            { ArtStore::kFileVersionKey, qint64(1) },
                            { ArtStore::kUrlKey, "https://s/pk.zip" } } } } };
                controller->checkForArtStore(writeXmlPropertyList(
                    QVariantMap { { ArtStore::kProductsKey, QVariantList { product } } }, nullptr));
                catalogView->fillDownloadMenu(&downloadMenu);
                return &downloadMenu;
            } },
        { "add character menu",
            [&](const QString& name) {
                const QString path = dir.filePath(name + ".parts");
                QFile file(path);
                EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(archivedPartsFile(*character({ name, 0, 1 })));
                file.close();
                DocumentError error;
                EXPECT_TRUE(documents().openDocument(path, &error));
                window->activateWindow();
                QTest::mouseClick(panelWidget->addCharacterButton(), Qt::LeftButton);
                return panelWidget->addCharacterMenu();
            } },
        { "open recent",
            [&](const QString& name) {
                documents().clearRecentDocuments();
                documents().noteRecentDocument(dir.filePath(name + ".comic"));
                for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
                    if (menu->title() == "Open Recent") {
                        emit menu->aboutToShow();
                        return menu;
                    }
                }
                return static_cast<QMenu*>(nullptr);
            } },
        { "more tabs",
            [&](const QString& name) {
                auto* strip = new ViewTabs;
                kept.emplace_back(strip);
                auto* more = new QToolButton(strip);
                strip->setMoreTabsButton(more);
                strip->resize(70, 22);
                strip->addTab("A", false, nullptr);
                strip->addTab(name, true, nullptr);
                strip->setSelectedTab(0);
                strip->layoutTabs();
                emit more->menu()->aboutToShow();
                return more->menu();
            } },
        { "popup",
            [&](const QString& name) {
                auto* popup = new PopupButton;
                kept.emplace_back(popup);
                popup->selectItem(popup->addItem(name));
                EXPECT_EQ(popup->itemWithTitle(name), popup->selectedItem());
                return popup->itemMenu();
            } },
    };
    // The part of the name the menu shows.
    const std::pair<QString, QString> names[] = {
        { "Tom & Jerry", "Tom & Jerry" },
        { "Tab\tand\nline", "Tab and line" },
        { QString(240, 'W'), "W\u2026W" },
    };
    for (const auto& [what, menuFor] : menus) {
        for (const auto& [name, shown] : names) {
            SCOPED_TRACE(std::string(what) + " " + name.left(20).toStdString());
            QMenu* menu = menuFor(name);
            ASSERT_TRUE(menu);
            QStringList titles;
            for (QAction* item : menu->actions())
                titles.append(item->iconText()); // as shown: "&&" is one ampersand
            EXPECT_TRUE(titles.filter(shown).size() == 1) << titles.join(" | ").toStdString();
            EXPECT_LT(menu->sizeHint().width(), 500);
            menu->close();
        }
    }
}

} // namespace
} // namespace zandrel::test
