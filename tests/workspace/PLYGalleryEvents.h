#pragma once

// Mouse and key events synthesized on the real widgets.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace PLYGalleryEvents {

inline void mouse(QWidget* w, QEvent::Type type, const QPointF& pos, Qt::KeyboardModifiers mods = {},
                  Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : button, held, mods);
    QCoreApplication::sendEvent(w, &event);
}

inline void click(QWidget* w, const QPointF& pos, Qt::KeyboardModifiers mods = {}) {
    mouse(w, QEvent::MouseButtonPress, pos, mods);
    mouse(w, QEvent::MouseButtonRelease, pos, mods);
}

inline void doubleClick(QWidget* w, const QPointF& pos, Qt::KeyboardModifiers mods = {}) {
    click(w, pos, mods);
    mouse(w, QEvent::MouseButtonDblClick, pos, mods);
    mouse(w, QEvent::MouseButtonRelease, pos, mods);
}

inline void key(QWidget* w, int qtKey, Qt::KeyboardModifiers mods = {}, const QString& text = {}) {
    QKeyEvent event(QEvent::KeyPress, qtKey, mods, text);
    QCoreApplication::sendEvent(w, &event);
}

}  // namespace PLYGalleryEvents
