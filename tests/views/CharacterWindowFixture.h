#pragma once

#include "app/CharacterWindowContents.h"
#include "app/PartEditingView.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFixtures.h"
#include "app/windows/WindowTestSupport.h"
#include "charmodel/PartsFile.h"
#include "views/PartsView.h"
#include "views/ZDLScrollArea.h"

#include <QFile>
#include <QTemporaryDir>

namespace zandrel::test {

// A parts file of a character opened in its real window, with its editing view at hand: tests
// click, drag and type into that view and compare the model before and after as file bytes.
class CharacterWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        window = openCharacter(QStringLiteral("Bob"), 5);
        ASSERT_TRUE(window);
        document = dynamic_cast<CharacterDocument*>(window->document());
        view = window->findChild<PartsView*>();
        ASSERT_TRUE(document && view);
    }

    // Writes a character with the parts to a file and opens it in its window.
    DocumentWindow* openCharacter(const QString& name, int parts)
    {
        const QString path = dir.filePath(name + QStringLiteral(".parts"));
        return openInWindow(path, archivedPartsFile(*makeCharacter(name, parts, 2)));
    }

    static PartsView* viewOf(DocumentWindow* shown) { return shown->findChild<PartsView*>(); }

    // The model as its file would hold it.
    QByteArray bytes() const { return archivedPartsFile(*document->model()); }
    ObjectPtr part(int index) const { return document->model()->getChildAtIndex(std::size_t(index)); }
    // Where a document point of the view lies on the screen's view widget.
    QPoint at(const QPointF& documentPoint) const
    {
        return view->viewTransform().map(documentPoint).toPoint();
    }
    // The centre of the fixture's part: a star around (50, 50) in each 120-unit cell.
    static QPointF partCentre(int index)
    {
        return QPointF(120.0 * (index % 6) + 50, 120.0 * (index / 6) + 50);
    }
    void click(int index, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view, Qt::LeftButton, modifiers, at(partCentre(index)));
    }
    // Runs the menu item as a person choosing it would: validation first, then the action.
    void choose(const QString& action, DocumentWindow* in = nullptr)
    {
        QAction* item = showMenuItem(in ? in : window, action);
        ASSERT_TRUE(item) << action.toStdString();
        ASSERT_TRUE(item->isEnabled()) << action.toStdString();
        item->trigger();
    }
    QString undoTitle(DocumentWindow* in = nullptr)
    {
        return showMenuItem(in ? in : window, kUndoAction)->text();
    }
    // One user action is one undo step: the event loop closes the group.
    static void endOfEvent() { QTest::qWait(1); }

    QTemporaryDir dir;
    DocumentWindow* window = nullptr;
    CharacterDocument* document = nullptr;
    PartsView* view = nullptr;
};

// The same window with its part editor and the editor's drawing area at hand.
class PartEditorWindowTest : public CharacterWindowTest {
protected:
    void SetUp() override
    {
        CharacterWindowTest::SetUp();
        editor = window->findChild<PartEditingView*>(QStringLiteral("partEditor"));
        ASSERT_TRUE(editor);
        elements = editor->partElementsView();
    }

    PartEditingView* editor = nullptr;
    PartElementsView* elements = nullptr;
};

} // namespace zandrel::test
