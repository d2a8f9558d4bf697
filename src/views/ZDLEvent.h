#pragma once

#include <QPointF>
#include <QString>
#include <Qt>

class QKeyEvent;
class QMouseEvent;

namespace zandrel {

// The modifier keys in the bit layout the tools' rules are written in. Command is Ctrl on this
// platform and Option is Alt, with Meta accepted as well since window managers often keep Alt-drag
// for themselves. Control has no key of its own here.
enum ModifierFlag : quint32 {
    kShiftKeyMask = 1u << 17,
    kControlKeyMask = 1u << 18,
    kOptionKeyMask = 1u << 19,
    kCommandKeyMask = 1u << 20,
};
inline constexpr quint32 kDeviceIndependentModifierMask
    = kShiftKeyMask | kControlKeyMask | kOptionKeyMask | kCommandKeyMask;

// What tools and trackers learn of one mouse, key or magnify event, made from Qt's event by the view.
// Points given to tools are in document coordinates and travel beside the event; the event keeps the
// location in window coordinates (screen points), which the drag threshold measures, because it
// does not change when the view zooms or scrolls under a resting pointer.
struct ZDLEvent {
    enum class Type {
        None,
        LeftMouseDown,
        LeftMouseDragged,
        LeftMouseUp,
        RightMouseDown,
        MouseMoved,
        FlagsChanged,
        KeyDown,
        KeyUp,
        Magnify,
    };

    Type type = Type::None;
    QPointF locationInWindow;
    quint32 modifierFlags = 0;
    // 1 for a press, 2 for the second press of a double click and its release.
    int clickCount = 0;
    double pressure = 1.0;
    // Pinches: the change of scale the gesture asks for, 0.1 for ten per cent larger.
    double magnification = 0.0;
    // Keys: Qt's key code and the text typed without modifiers.
    int key = 0;
    QString charactersIgnoringModifiers;
    bool isRepeat = false;

    bool shift() const { return modifierFlags & kShiftKeyMask; }
    bool option() const { return modifierFlags & kOptionKeyMask; }
    bool command() const { return modifierFlags & kCommandKeyMask; }

    static quint32 modifierFlagsFrom(Qt::KeyboardModifiers modifiers);
    static ZDLEvent fromMouse(Type type, const QMouseEvent& event, int clickCount);
    static ZDLEvent fromKey(Type type, const QKeyEvent& event);
};

} // namespace zandrel
