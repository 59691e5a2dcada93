#include <gtest/gtest.h>

#include "PLYKeyCodes.h"

#include <QKeyEvent>

TEST(KeyCodes, EditorKeysAndModifiers) {
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_Backspace), 51);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_Delete), 51);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_E), 14);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_Return), 36);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_Escape), 53);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_Left), 123);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_Up), 126);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_A), 0);
    EXPECT_EQ(PLYKeyCodes::keyCodeForQtKey(Qt::Key_F35), -1);
    EXPECT_EQ(PLYKeyCodes::modifierFlagsFromQt(Qt::ControlModifier), 0x100000u);
    EXPECT_EQ(PLYKeyCodes::modifierFlagsFromQt(Qt::ShiftModifier | Qt::AltModifier), 0x20000u | 0x80000u);
    EXPECT_EQ(PLYKeyCodes::modifierFlagsFromQt(Qt::NoModifier), 0u);
}

TEST(KeyCodes, AutoRepeatReleasesAreDropped) {
    const QKeyEvent repeatRelease(QEvent::KeyRelease, Qt::Key_Backspace, Qt::NoModifier, QString(), true);
    EXPECT_FALSE(PLYKeyCodes::fromQKeyEvent(repeatRelease).has_value());

    const QKeyEvent release(QEvent::KeyRelease, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("E"));
    auto e = PLYKeyCodes::fromQKeyEvent(release);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->keyCode, 14);
    EXPECT_TRUE(e->isKeyUp);
    EXPECT_EQ(e->modifierFlags, quint64(PLYKeyCodes::Command | PLYKeyCodes::Shift));

    const QKeyEvent repeatPress(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
    auto p = PLYKeyCodes::fromQKeyEvent(repeatPress);
    ASSERT_TRUE(p.has_value());
    EXPECT_TRUE(p->isRepeat);
    EXPECT_FALSE(p->isKeyUp);
}
