#pragma once

#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

// The desktop's keyboard conventions, shared by the program's three windows.

// Return, or Enter on the keypad.
inline bool isEnterKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// The Menu key, or Shift+F10: opens the focused widget's context menu.
inline bool isContextMenuKey(const QKeyEvent* key) {
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

// Enter presses the focused button, as Space does; Qt does that only inside
// its own dialog class. A held key presses once. Answers whether the key
// was used.
inline bool pressFocusedButton(QWidget* window, QKeyEvent* key) {
    auto* button = qobject_cast<QPushButton*>(window->focusWidget());
    if (!isEnterKey(key) || !button || !button->isEnabled())
        return false;
    if (!key->isAutoRepeat())
        button->click();
    return true;
}

// Where a context menu opened from the keyboard appears: under the widget's
// left edge, where the pointer may be anywhere.
inline QPoint keyboardMenuPoint(const QWidget* widget) {
    return widget->mapToGlobal(QPoint(0, widget->height()));
}
