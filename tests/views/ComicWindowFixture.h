#pragma once

#include "app/ComicWindowContents.h"
#include "app/core/ActionNames.h"
#include "app/core/ComicDocument.h"
#include "app/windows/WindowTestSupport.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/TestComics.h"
#include "views/ComicView.h"
#include "views/ZDLScrollArea.h"

#include <QFile>
#include <QTemporaryDir>

namespace zandrel::test {

// A comic file opened in its real window, with its comic view at hand: tests click and choose menu
// items as a person would and compare the model before and after as file bytes.
class ComicWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        window = openComic(QStringLiteral("Reference"), referenceComic());
        ASSERT_TRUE(window);
        document = dynamic_cast<ComicDocument*>(window->document());
        view = window->findChild<ComicView*>();
        ASSERT_TRUE(document && view);
    }

    // Writes the comic to a file and opens it in its window.
    DocumentWindow* openComic(const QString& name, const ComicModelPtr& comic)
    {
        const QString path = dir.filePath(name + QStringLiteral(".comic"));
        return openInWindow(path, archivedComicFile(*comic));
    }

    ComicModel& model() const { return *document->model(); }
    QByteArray bytes() const { return archivedComicFile(model()); }
    // The panels of the page's rows, in order; the free panels are left out.
    std::shared_ptr<ComicPanel> panel(std::size_t index) const
    {
        ComicStructureList panels;
        for (const auto& row : model().currentPage()->contents()) {
            for (const auto& cell : row->contents())
                panels.push_back(cell);
        }
        return index < panels.size() ? std::dynamic_pointer_cast<ComicPanel>(panels[index]) : nullptr;
    }
    QPoint at(const QPointF& documentPoint) const
    {
        return view->viewTransform().map(documentPoint).toPoint();
    }
    void click(const QPointF& documentPoint, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view, Qt::LeftButton, modifiers, at(documentPoint));
    }
    // Runs the menu item as a person choosing it would: validation first, then the action.
    void choose(const QString& action)
    {
        QAction* item = showMenuItem(window, action);
        ASSERT_TRUE(item) << action.toStdString();
        ASSERT_TRUE(item->isEnabled()) << action.toStdString();
        item->trigger();
        endOfEvent();
    }
    bool enabled(const QString& action) { return showMenuItem(window, action)->isEnabled(); }
    QString undoTitle() { return showMenuItem(window, kUndoAction)->text(); }
    // One user action is one undo step: the event loop closes the group.
    static void endOfEvent() { QTest::qWait(1); }

    QTemporaryDir dir;
    DocumentWindow* window = nullptr;
    ComicDocument* document = nullptr;
    ComicView* view = nullptr;
};

} // namespace zandrel::test
