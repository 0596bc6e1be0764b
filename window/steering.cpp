#include "window/steering.h"

#include <QKeyEvent>

namespace q3 {
namespace {

std::optional<ViewerKey> viewerKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
        return ViewerKey::Left;
    case Qt::Key_Right:
        return ViewerKey::Right;
    case Qt::Key_Home:
        return ViewerKey::Home;
    case Qt::Key_End:
        return ViewerKey::End;
    case Qt::Key_Comma:
        return ViewerKey::Comma;
    case Qt::Key_Period:
        return ViewerKey::Period;
    case Qt::Key_BracketLeft:
        return ViewerKey::BracketLeft;
    case Qt::Key_BracketRight:
        return ViewerKey::BracketRight;
    case Qt::Key_L:
        return ViewerKey::L;
    case Qt::Key_Q:
        return ViewerKey::Q;
    case Qt::Key_Space:
        return ViewerKey::Space;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ViewerKey::Enter;
    default:
        break;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return ViewerKey::Digit;
    return std::nullopt;
}

} // namespace

std::optional<KeyPress> keyPressOf(const QKeyEvent& event)
{
    const std::optional<ViewerKey> key = viewerKey(event.key());
    if (!key)
        return std::nullopt;
    // `,` `.` `[` `]` and the digits may need Shift on some keyboard layouts; the keypad's keys
    // are the same keys.
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return KeyPress{
        .key = *key,
        .digit = *key == ViewerKey::Digit ? event.key() - Qt::Key_0 : 0,
        .shift = modifiers == Qt::ShiftModifier,
        .command = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0,
        .autoRepeat = event.isAutoRepeat(),
    };
}

} // namespace q3
