#include "views/ZDLEvent.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace zandrel {

quint32 ZDLEvent::modifierFlagsFrom(Qt::KeyboardModifiers modifiers)
{
    quint32 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= kShiftKeyMask;
    if (modifiers & Qt::ControlModifier)
        flags |= kCommandKeyMask;
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        flags |= kOptionKeyMask;
    return flags;
}

ZDLEvent ZDLEvent::fromMouse(Type type, const QMouseEvent& event, int clickCount)
{
    ZDLEvent made;
    made.type = type;
    made.locationInWindow = event.scenePosition();
    made.modifierFlags = modifierFlagsFrom(event.modifiers());
    made.clickCount = clickCount;
    if (const QPointingDevice* device = event.pointingDevice(); device
        && device->capabilities().testFlag(QInputDevice::Capability::Pressure) && !event.points().isEmpty())
        made.pressure = event.points().first().pressure();
    return made;
}

ZDLEvent ZDLEvent::fromKey(Type type, const QKeyEvent& event)
{
    ZDLEvent made;
    made.type = type;
    made.modifierFlags = modifierFlagsFrom(event.modifiers());
    made.key = event.key();
    made.isRepeat = event.isAutoRepeat();
    // The text Qt gives already ignores Ctrl and Alt for printable keys; a space is a space.
    made.charactersIgnoringModifiers = event.key() == Qt::Key_Space ? QStringLiteral(" ") : event.text();
    return made;
}

} // namespace zandrel
