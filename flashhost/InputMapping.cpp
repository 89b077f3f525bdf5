#include "InputMapping.h"

#include "swf/input/KeyCodes.h"

namespace orvane {

int flashKeyCode(const QKeyEvent& event) {
    using namespace swf::input::key;
    const int k = event.key();
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return k; // Qt numbers these as their ASCII capitals and digits
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12)
        return kF1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace:
        return kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnter;
    case Qt::Key_Shift:
        return kShift;
    case Qt::Key_Control:
        return kControl;
    case Qt::Key_Alt:
        return kAlt;
    case Qt::Key_CapsLock:
        return kCapsLock;
    case Qt::Key_Escape:
        return kEscape;
    case Qt::Key_Space:
        return kSpace;
    case Qt::Key_PageUp:
        return kPageUp;
    case Qt::Key_PageDown:
        return kPageDown;
    case Qt::Key_End:
        return kEnd;
    case Qt::Key_Home:
        return kHome;
    case Qt::Key_Left:
        return kLeft;
    case Qt::Key_Up:
        return kUp;
    case Qt::Key_Right:
        return kRight;
    case Qt::Key_Down:
        return kDown;
    case Qt::Key_Insert:
        return kInsert;
    case Qt::Key_Delete:
        return kDelete;
    case Qt::Key_NumLock:
        return kNumLock;
    case Qt::Key_ScrollLock:
        return kScrollLock;
    default:
        break;
    }
    // Punctuation: the US-layout key that types the character.
    return k > 0 && k < 0x80 ? swf::input::keyCodeOfChar(char32_t(k)) : 0;
}

int flashCharCode(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Delete:
        return 127;
    default:
        break;
    }
    const QString text = event.text();
    if (text.size() != 1 || text[0].unicode() < 0x20 || text[0].unicode() == 0x7F)
        return 0;
    return text[0].unicode();
}

swf::input::MouseButton flashButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::RightButton:
        return swf::input::MouseButton::Right;
    case Qt::MiddleButton:
        return swf::input::MouseButton::Middle;
    default:
        return swf::input::MouseButton::Left;
    }
}

} // namespace orvane
