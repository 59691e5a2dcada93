#include "PLYKeyCodes.h"

#include <QHash>
#include <QKeyEvent>

namespace PLYKeyCodes {

int keyCodeForQtKey(int qtKey) {
    static const QHash<int, int> table = {
        {Qt::Key_A, A}, {Qt::Key_B, B}, {Qt::Key_C, C}, {Qt::Key_D, D}, {Qt::Key_E, E}, {Qt::Key_F, F},
        {Qt::Key_G, G}, {Qt::Key_H, H}, {Qt::Key_I, I}, {Qt::Key_J, J}, {Qt::Key_K, K}, {Qt::Key_L, L},
        {Qt::Key_M, M}, {Qt::Key_N, N}, {Qt::Key_O, O}, {Qt::Key_P, P}, {Qt::Key_Q, Q}, {Qt::Key_R, R},
        {Qt::Key_S, S}, {Qt::Key_T, T}, {Qt::Key_U, U}, {Qt::Key_V, V}, {Qt::Key_W, W}, {Qt::Key_X, X},
        {Qt::Key_Y, Y}, {Qt::Key_Z, Z},
        {Qt::Key_0, Key0}, {Qt::Key_1, Key1}, {Qt::Key_2, Key2}, {Qt::Key_3, Key3}, {Qt::Key_4, Key4},
        {Qt::Key_5, Key5}, {Qt::Key_6, Key6}, {Qt::Key_7, Key7}, {Qt::Key_8, Key8}, {Qt::Key_9, Key9},
        {Qt::Key_Equal, Equal}, {Qt::Key_Plus, Equal}, {Qt::Key_Minus, Minus},
        {Qt::Key_Return, Return}, {Qt::Key_Enter, KeypadEnter}, {Qt::Key_Tab, Tab}, {Qt::Key_Space, Space},
        // Both keys that erase: the Delete key of a PC keyboard deletes the selection too.
        {Qt::Key_Backspace, Delete}, {Qt::Key_Delete, Delete},
        {Qt::Key_Escape, Escape}, {Qt::Key_Home, Home}, {Qt::Key_End, End}, {Qt::Key_PageUp, PageUp},
        {Qt::Key_PageDown, PageDown}, {Qt::Key_Left, LeftArrow}, {Qt::Key_Right, RightArrow},
        {Qt::Key_Down, DownArrow}, {Qt::Key_Up, UpArrow},
    };
    return table.value(qtKey, -1);
}

quint64 modifierFlagsFromQt(Qt::KeyboardModifiers modifiers) {
    quint64 flags = 0;
    if (modifiers & Qt::ShiftModifier) flags |= Shift;
    if (modifiers & Qt::ControlModifier) flags |= Command;
    if (modifiers & Qt::AltModifier) flags |= Option;
    if (modifiers & Qt::MetaModifier) flags |= Control;
    return flags;
}

std::optional<KeyEvent> fromQKeyEvent(const QKeyEvent& event) {
    const bool up = event.type() == QEvent::KeyRelease;
    if (up && event.isAutoRepeat()) return std::nullopt;
    KeyEvent e;
    e.keyCode = keyCodeForQtKey(event.key());
    e.modifierFlags = modifierFlagsFromQt(event.modifiers());
    e.characters = event.text();
    e.isRepeat = event.isAutoRepeat();
    e.isKeyUp = up;
    return e;
}

}  // namespace PLYKeyCodes
