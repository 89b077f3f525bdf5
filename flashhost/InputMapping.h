#pragma once
// Qt's keys and buttons as the engine's input: key codes scripts see, the character a
// key types, and which mouse button it was.

#include "swf/input/InputEvent.h"

#include <QKeyEvent>

namespace orvane {

// The key code for a Qt key event, 0 when the movie has no code for it.
int flashKeyCode(const QKeyEvent& event);
// The character the key types (0 for none, and for control characters).
int flashCharCode(const QKeyEvent& event);
swf::input::MouseButton flashButton(Qt::MouseButton button);

} // namespace orvane
