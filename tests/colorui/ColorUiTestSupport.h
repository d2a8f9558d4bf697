#pragma once

#include "platform/RgbColor.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointF>
#include <QWidget>

namespace zandrel::test {

// Real mouse events, delivered as the window system would: press, moves with the button held,
// release, each at a point of the widget.
inline void sendMouse(QWidget* widget, QEvent::Type type, const QPointF& at, Qt::MouseButtons buttons,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF global = widget->mapToGlobal(at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, at, global, button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void press(QWidget* widget, const QPointF& at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    sendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, modifiers);
}

inline void dragTo(QWidget* widget, const QPointF& at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    sendMouse(widget, QEvent::MouseMove, at, Qt::LeftButton, modifiers);
}

inline void release(QWidget* widget, const QPointF& at)
{
    sendMouse(widget, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

inline void click(QWidget* widget, const QPointF& at)
{
    press(widget, at);
    release(widget, at);
}

// The widget as it draws itself, one pixel a point.
inline QImage rendered(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    widget->render(&image);
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Largest channel difference between two colours.
inline int colorDistance(const QColor& a, const QColor& b)
{
    return std::max({ std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
        std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha()) });
}

inline const RgbColor kRed(1, 0, 0);
inline const RgbColor kGreen(0, 1, 0);
inline const RgbColor kBlue(0, 0, 1);

// Lets the undo manager close the group of the pass, as the event loop does between user actions.
inline void endOfPass()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

} // namespace zandrel::test
