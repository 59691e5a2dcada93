#pragma once

#include <QString>
#include <Qt>
#include <optional>

class QKeyEvent;

// The application's key codes and modifier bits, mapped once from Qt's keys. Ctrl stands for
// Command, Alt for Option, Meta for Control.
namespace PLYKeyCodes {

enum Code : int {
    A = 0, S = 1, D = 2, F = 3, H = 4, G = 5, Z = 6, X = 7, C = 8, V = 9, B = 11, Q = 12, W = 13, E = 14,
    R = 15, Y = 16, T = 17, Key1 = 18, Key2 = 19, Key3 = 20, Key4 = 21, Key6 = 22, Key5 = 23, Equal = 24,
    Key9 = 25, Key7 = 26, Minus = 27, Key8 = 28, Key0 = 29, O = 31, U = 32, I = 34, P = 35, Return = 36,
    L = 37, J = 38, K = 40, N = 45, M = 46, Tab = 48, Space = 49, Delete = 51, Escape = 53,
    KeypadEnter = 76, Home = 115, PageUp = 116, ForwardDelete = 117, End = 119, PageDown = 121,
    LeftArrow = 123, RightArrow = 124, DownArrow = 125, UpArrow = 126,
};

enum ModifierFlag : quint64 {
    Shift = 0x20000,
    Control = 0x40000,
    Option = 0x80000,
    Command = 0x100000,
};

// -1 for a key without a code.
int keyCodeForQtKey(int qtKey);
quint64 modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);

struct KeyEvent {
    int keyCode = -1;
    quint64 modifierFlags = 0;
    QString characters;
    bool isRepeat = false;
    bool isKeyUp = false;
};

// Null for the releases that auto-repeat generates: a key acted on at key-up acts once.
std::optional<KeyEvent> fromQKeyEvent(const QKeyEvent& event);

}  // namespace PLYKeyCodes
