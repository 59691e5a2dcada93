#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

// Driving real widgets by their object names, as a person would with mouse and keys.
namespace PLYTestWidgets {

// The named child; a missing one fails the test and comes back null.
template <class T = QWidget>
T* child(QObject* root, const char* name) {
    T* found = root ? root->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// A click in the middle of the named button; a check box takes clicks on its box and title
// only, at its left, however wide it is laid out.
inline void click(QWidget* root, const char* name) {
    auto* button = child<QAbstractButton>(root, name);
    if (!button) return;
    if (qobject_cast<QCheckBox*>(button)) QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    else QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

// Replaces the field's text: select all, delete, type, and Return when asked.
inline void type(QWidget* root, const char* name, const QString& text, bool enter = false) {
    auto* edit = child<QLineEdit>(root, name);
    if (!edit) return;
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (const QChar c : text) {
        // QTest maps only ASCII to keys; other letters arrive as the text of a key event.
        if (c.unicode() < 128) QTest::keyClick(edit, char(c.unicode()));
        else QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    if (enter) QTest::keyClick(edit, Qt::Key_Return);
}

}  // namespace PLYTestWidgets
