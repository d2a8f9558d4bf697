#pragma once

#include "SheetTestSupport.h"
#include "panels/DialogController.h"
#include "views/CharacterWindowFixture.h"
#include "views/ComicWindowFixture.h"

#include <functional>

namespace zandrel::test {

// One use of a sheet: the menu command that opens it, what the person does in it before OK, then
// either the alert that keeps it open, or the undo step it makes ("" for a step the command leaves
// unnamed; none: the document is as it was) and what the document shows after.
struct SheetCase {
    const char* name;
    QString action;
    QString nibName;
    std::function<void(QDialog*)> act;
    const char* alert = nullptr;
    const char* undoName = nullptr;
    std::function<void()> check = {};
};

// Runs cases on a document window: opens the sheet from its menu item, acts, presses OK with the
// mouse; a refused sheet stays open with its alert and changes nothing; an accepted one makes exactly
// one undo step of the case's name whose undo gives the saved bytes back.
template <class Window> class SheetCaseTest : public Window {
protected:
    // The command as a person gives it, from the window with its view in focus: its menu item, or
    // its toolbar item for commands only the toolbar offers.
    void open(const QString& action)
    {
        this->window->activateWindow();
        QApplication::setActiveWindow(this->window);
        (focusView ? focusView : static_cast<QWidget*>(this->view))->setFocus();
        if (this->menuItem(this->window, action)) {
            this->choose(action);
            return;
        }
        QAction* item = this->toolbarItem(this->window, action);
        ASSERT_TRUE(item) << action.toStdString();
        MenuActions::validate(item, MenuActions::responderChain(this->window));
        ASSERT_TRUE(item->isEnabled()) << action.toStdString();
        item->trigger();
        this->endOfEvent();
    }

    // The view the commands are given in; the window's own view when none.
    QWidget* focusView = nullptr;

    void run(const std::vector<SheetCase>& cases)
    {
        for (const SheetCase& trial : cases) {
            SCOPED_TRACE(trial.name);
            this->alerts.clear();
            const QByteArray before = this->bytes();
            const QString undoBefore = this->undoTitle();
            open(trial.action);
            QDialog* sheet = openSheet(this->window, trial.nibName);
            ASSERT_TRUE(sheet);
            trial.act(sheet);
            clickButton(sheet, QDialogButtonBox::Ok);
            this->endOfEvent();
            if (trial.alert) {
                ASSERT_EQ(this->alerts.size(), 1);
                EXPECT_EQ(this->alerts.first().message, QString::fromUtf8(trial.alert));
                EXPECT_TRUE(sheet->isVisible());
                EXPECT_EQ(this->bytes(), before);
                clickButton(sheet, QDialogButtonBox::Cancel);
                this->endOfEvent();
                EXPECT_EQ(this->bytes(), before);
                EXPECT_EQ(this->undoTitle(), undoBefore);
                freeClosedSheets();
                continue;
            }
            EXPECT_TRUE(this->alerts.isEmpty())
                << (this->alerts.isEmpty() ? "" : this->alerts.first().message.toStdString());
            EXPECT_FALSE(openSheet(this->window, trial.nibName, false));
            if (trial.check)
                trial.check();
            if (!trial.undoName) {
                EXPECT_EQ(this->bytes(), before);
                EXPECT_EQ(this->undoTitle(), undoBefore);
            } else {
                const QString name = QString::fromUtf8(trial.undoName);
                EXPECT_EQ(this->undoTitle(),
                    name.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + name);
                EXPECT_NE(this->bytes(), before);
                this->choose(kUndoAction);
                this->endOfEvent();
                EXPECT_EQ(this->bytes(), before);
                EXPECT_EQ(this->undoTitle(), undoBefore);
            }
            freeClosedSheets();
        }
    }
};

using ComicSheetTest = SheetCaseTest<ComicWindowTest>;
using CharacterSheetTest = SheetCaseTest<CharacterWindowTest>;

} // namespace zandrel::test
