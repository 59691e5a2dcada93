#include <gtest/gtest.h>

#include "PLYError.h"
#include "PLYStoryboard.h"

#include <QLabel>

TEST(Storyboard, InstantiatesRegisteredScenesAndReplacesFactories) {
    PLYStoryboard::registerScene("Test", "greeting", [](QWidget* parent) { return new QLabel("hello", parent); });
    QWidget parent;
    auto* label = PLYStoryboard::instantiateAs<QLabel>("Test", "greeting", &parent);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), QStringLiteral("hello"));
    EXPECT_EQ(label->parent(), &parent);
    EXPECT_EQ(label->objectName(), QStringLiteral("greeting"));
    auto* second = PLYStoryboard::instantiateAs<QLabel>("Test", "greeting", &parent);
    EXPECT_NE(second, label);  // a new scene each time

    PLYStoryboard::registerScene("Test", "greeting", [](QWidget* parent) { return new QLabel("bye", parent); });
    EXPECT_EQ(PLYStoryboard::instantiateAs<QLabel>("Test", "greeting", &parent)->text(), QStringLiteral("bye"));

    EXPECT_FALSE(PLYStoryboard::hasScene("Other", "greeting"));
    EXPECT_THROW(PLYStoryboard::instantiate("Other", "greeting"), PLYException);
    PLYStoryboard::unregisterScene("Test", "greeting");
    EXPECT_FALSE(PLYStoryboard::hasScene("Test", "greeting"));
}
