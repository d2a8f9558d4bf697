#pragma once

#include "app/AppController.h"
#include "app/DocumentController.h"
#include "app/DocumentWindow.h"
#include "app/MenuActions.h"
#include "app/core/ModalAlert.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace zandrel::test {

// The running program's controller with its document types, and every question it asks answered
// from a queue (the first button when the queue is empty), so the windows never wait for a person.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::standard().remove(QStringLiteral("recentDocuments"));
        controller
            = static_cast<AppController*>(ZDLAppController::install(std::make_unique<AppController>()));
        controller->applicationDidFinishLaunching();
        controller->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert);
            return answers.isEmpty() ? ModalAlert::kFirstButton : answers.takeFirst();
        });
    }
    void TearDown() override
    {
        DocumentWindow::setSavePathChooser({});
        controller->documentController().closeAllDocuments();
        QApplication::processEvents();
        ZDLAppController::install(std::make_unique<ZDLAppController>());
    }

    DocumentController& documents() { return controller->documentController(); }

    // Writes the bytes to the path and opens the file in its window, shown and active; null when
    // any step fails.
    DocumentWindow* openInWindow(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return nullptr;
        file.close();
        DocumentError error;
        ZDLDocument* opened = documents().openDocument(path, &error);
        DocumentWindow* shown = opened ? documents().windowFor(opened) : nullptr;
        if (!shown || !QTest::qWaitForWindowExposed(shown))
            return nullptr;
        shown->activateWindow();
        QTest::qWaitForWindowActive(shown);
        return shown;
    }

    // The window's menu item or toolbar item that sends the action.
    static QAction* item(QWidget* window, const QString& action)
    {
        for (QAction* candidate : window->findChildren<QAction*>()) {
            if (MenuActions::actionOf(candidate) == action)
                return candidate;
        }
        return nullptr;
    }
    static QAction* toolbarItem(DocumentWindow* window, const QString& action)
    {
        for (QAction* candidate : window->toolbar()->actions()) {
            if (MenuActions::actionOf(candidate) == action)
                return candidate;
        }
        return nullptr;
    }
    static QAction* menuItem(QMainWindow* window, const QString& action)
    {
        for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
            for (QAction* candidate : menu->actions()) {
                if (MenuActions::actionOf(candidate) == action)
                    return candidate;
            }
        }
        return nullptr;
    }
    // Opens the menu holding the item as a person would before choosing it: validation runs then.
    static QAction* showMenuItem(QMainWindow* window, const QString& action)
    {
        QAction* found = menuItem(window, action);
        if (!found)
            return nullptr;
        auto* menu = qobject_cast<QMenu*>(found->parent());
        emit menu->aboutToShow();
        return found;
    }

    // Enters, moves over and drops onto the widget as a drag from another program would; false when
    // the widget refused the drag. The data stays the caller's.
    static bool dropOn(
        QWidget* target, QMimeData* data, const QPoint& position, Qt::DropActions offered = Qt::CopyAction)
    {
        QDragEnterEvent enter(position, offered, data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(position, offered, data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        if (!enter.isAccepted() || !move.isAccepted())
            return false;
        QDropEvent dropped(position, offered, data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QTest::qWait(1);
        return dropped.isAccepted() && dropped.dropAction() != Qt::IgnoreAction;
    }

    // A double click as a person makes it: press, release, the second press (which Qt reports as a
    // double click) and its release. QTest's own double click sends the second press alone.
    static void doubleClick(QWidget* widget, const QPoint& position, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(widget, Qt::LeftButton, modifiers, position);
        QTest::mouseDClick(widget, Qt::LeftButton, modifiers, position);
        QTest::mouseRelease(widget, Qt::LeftButton, modifiers, position);
    }

    AppController* controller = nullptr;
    QList<ModalAlert> alerts;
    QList<int> answers;
};

} // namespace zandrel::test
