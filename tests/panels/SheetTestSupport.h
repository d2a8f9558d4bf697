#pragma once

#include "app/core/ModalAlert.h"
#include "panels/PopupButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace zandrel::test {

// The sheet's window takes the keys, so that fields hear of leaving them as they do on screen.
inline void activate(QWidget* sheet)
{
    sheet->activateWindow();
    QApplication::setActiveWindow(sheet->window());
    (void)QTest::qWaitForWindowActive(sheet->window());
}

// The open sheet of the host's window made from the named interface file, made active.
inline QDialog* openSheet(QWidget* host, const QString& nibName, bool activating = true)
{
    for (QDialog* dialog : host->window()->findChildren<QDialog*>(nibName)) {
        if (dialog->isVisible()) {
            if (activating)
                activate(dialog);
            return dialog;
        }
    }
    return nullptr;
}

inline void typeInto(QLineEdit* field, const QString& text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, text);
}

// Clicks the n-th radio button that has the tag, in the order of the sheet's groups.
inline void clickRadio(QDialog* sheet, int tag, int group = 0)
{
    const QList<QButtonGroup*> groups = sheet->findChildren<QButtonGroup*>();
    ASSERT_LT(group, groups.size());
    QAbstractButton* button = groups.at(group)->button(tag);
    ASSERT_TRUE(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

inline void typeInSheet(QDialog* sheet, const char* field, const char* text)
{
    auto* edit = sheet->findChild<QLineEdit*>(QString::fromLatin1(field));
    ASSERT_TRUE(edit) << field;
    typeInto(edit, QString::fromUtf8(text));
}

inline void clickButton(QDialog* sheet, QDialogButtonBox::StandardButton which)
{
    auto* box = sheet->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(box);
    QTest::mouseClick(box->button(which), Qt::LeftButton);
}

// Opens the popup with a click and clicks the item with the tag in its menu.
inline void chooseFromPopup(QDialog* sheet, const char* popupName, int tag)
{
    auto* popup = sheet->findChild<PopupButton*>(QString::fromLatin1(popupName));
    ASSERT_TRUE(popup) << popupName;
    QTest::mouseClick(popup, Qt::LeftButton);
    QMenu* menu = popup->itemMenu();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QAction* item = popup->itemWithTag(tag);
    ASSERT_TRUE(item);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    EXPECT_FALSE(menu->isVisible());
}

// A picture of the widget's window, for looking at, when ZANDREL_SHEET_SCREENSHOTS names a folder.
inline void snapshot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("ZANDREL_SHEET_SCREENSHOTS");
    if (folder.isEmpty() || !widget)
        return;
    QApplication::processEvents();
    widget->window()->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

inline void freeClosedSheets()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

} // namespace zandrel::test
