#pragma once

#include "ComicWindowFixture.h"
#include "app/CatalogAndLibraryController.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CatalogThumbnailCache.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "views/CatalogView.h"
#include "views/ViewTabs.h"

#include <QDir>
#include <QImageWriter>
#include <QPainter>

namespace zandrel::test {

// A comic window whose panel shows catalogs written into temporary folders: a built-in catalog, a
// purchased one and the user's, each a folder of parts files, JPEG thumbnails and a manifest.
class CatalogPanelTest : public ComicWindowTest {
protected:
    struct Entry {
        QString name;
        int kind;
        int parts;
    };

    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        registerStandardFileFormats();
        controller->setAppSupportFolder(dir.filePath(QStringLiteral("support")));
        controller->setBuiltInCatalogFolder(dir.filePath(QStringLiteral("builtin")));
        writeCatalog(dir.filePath(QStringLiteral("builtin")),
            { { QStringLiteral("Alice"), 0, 3 }, { QStringLiteral("Bob"), 0, 2 },
                { QStringLiteral("Castle"), 1, 4 }, { QStringLiteral("Odd"), 2, 1 } });
        writeCatalog(controller->getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog),
            { { QStringLiteral("Dora"), 0, 2 } });
        writeCatalog(controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog),
            { { QStringLiteral("Eve"), 0, 1 }, { QStringLiteral("Forest"), 1, 3 } });
        window = openComic(QStringLiteral("Reference"), referenceComic());
        ASSERT_TRUE(window);
        window->resize(1000, 800);
        document = dynamic_cast<ComicDocument*>(window->document());
        view = window->findChild<ComicView*>();
        panelWidget = window->findChild<CatalogAndLibraryController*>();
        ASSERT_TRUE(document && view && panelWidget);
        catalogView = panelWidget->catalogView();
        tabs = panelWidget->libraryViewTabs();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        CatalogView::setDragRunner({});
        CatalogView::setSavePathChooser({});
        CatalogAndLibraryController::setOpenPanelChooser({});
        ComicWindowTest::TearDown();
    }

    // Each character's parts in a row, its thumbnail framed on them.
    static CharacterModelPtr character(const Entry& entry)
    {
        CharacterModelPtr model = makeCharacter(entry.name, entry.parts, 2);
        model->setPartsKind(entry.kind);
        const QRectF bounds = model->getBounds();
        const double scale = std::min(280.0 / bounds.width(), 200.0 / bounds.height());
        model->setThumbnailScale(float(scale));
        model->setThumbnailOrigin(bounds.topLeft());
        return model;
    }

    static void writeCatalog(const QString& folder, const QList<Entry>& entries)
    {
        QDir().mkpath(folder);
        QVariantList items;
        for (const Entry& entry : entries) {
            const CharacterModelPtr model = character(entry);
            QFile parts(QDir(folder).filePath(entry.name + QStringLiteral(".parts")));
            ASSERT_TRUE(parts.open(QIODevice::WriteOnly));
            parts.write(archivedPartsFile(*model));
            parts.close();
            QImageWriter thumbnail(QDir(folder).filePath(entry.name + QStringLiteral(".jpg")), "jpeg");
            QImage picture(model->getThumbnail().size(), QImage::Format_RGB32);
            picture.fill(Qt::white);
            QPainter(&picture).drawImage(0, 0, model->getThumbnail());
            ASSERT_TRUE(thumbnail.write(picture));
            items.append(
                QVariantMap { { CatalogManifest::kPartsFilenameKey, entry.name + QStringLiteral(".parts") },
                    { CatalogManifest::kThumbnailFileNameKey, entry.name + QStringLiteral(".jpg") },
                    { CatalogManifest::kCharacterNameKey, entry.name },
                    { CatalogManifest::kCreatorNameKey, QStringLiteral("Test Artist") },
                    { CatalogManifest::kPartsKindKey, qint64(entry.kind) } });
        }
        QString error;
        ASSERT_TRUE(CatalogManifest::write({ { CatalogManifest::kCatalogItemsKey, items } }, folder, &error))
            << error.toStdString();
    }

    static QStringList names(const CatalogView::Shelf& shelf)
    {
        QStringList list;
        for (const auto& item : shelf)
            list.append(item->characterName());
        return list;
    }
    QStringList tabTitles() const
    {
        QStringList titles;
        for (const ViewTab& tab : tabs->tabs())
            titles.append(tab.title);
        return titles;
    }
    // A click on the middle of a tab, or of its close box.
    void clickTab(qsizetype index, bool closeBox = false)
    {
        tabs->layoutTabs();
        tabs->repaint();
        const ViewTab& tab = tabs->tabs().at(index);
        QTest::mouseClick(tabs, Qt::LeftButton, {}, (closeBox ? tab.closeBox : tab.box).center().toPoint());
        endOfEvent();
    }
    QPoint itemPoint(qsizetype index) const
    {
        return catalogView->viewTransform().map(catalogView->getCatalogItemRect(index).center()).toPoint();
    }
    qsizetype indexOf(const QString& name) const
    {
        const auto& shelf = *catalogView->catalog();
        for (std::size_t i = 0; i < shelf.size(); ++i) {
            if (shelf[i]->characterName() == name)
                return qsizetype(i);
        }
        return -1;
    }
    // Right-clicks the item, as a person opening its menu does, and chooses the menu's item.
    bool chooseFromItemMenu(const QString& name, const QString& action)
    {
        QTest::mousePress(catalogView, Qt::RightButton, {}, itemPoint(indexOf(name)));
        QTest::mouseRelease(catalogView, Qt::RightButton, {}, itemPoint(indexOf(name)));
        auto* menu = catalogView->findChild<QMenu*>();
        if (!menu)
            return false;
        QAction* chosen = nullptr;
        for (QAction* candidate : menu->actions()) {
            if (MenuActions::actionOf(candidate) == action)
                chosen = candidate;
        }
        const bool shown = chosen && chosen->isVisible() && chosen->isEnabled();
        menu->close();
        if (shown)
            chosen->trigger();
        endOfEvent();
        return shown;
    }
    QString folder(int catalog) const
    {
        return catalog == CharacterLibraryItem::BuiltInCatalog ? dir.filePath(QStringLiteral("builtin"))
                                                               : controller->getCatalogFolderURL(catalog);
    }
    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    CatalogAndLibraryController* panelWidget = nullptr;
    CatalogView* catalogView = nullptr;
    ViewTabs* tabs = nullptr;
};

} // namespace zandrel::test
