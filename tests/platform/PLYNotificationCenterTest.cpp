#include <gtest/gtest.h>

#include "PLYNotificationCenter.h"

TEST(NotificationCenter, DeliversInRegistrationOrderFilteredByNameAndObject) {
    auto& nc = PLYNotificationCenter::defaultCenter();
    QStringList seen;
    int posterA = 0, posterB = 0;
    PLYObserverBag bag;
    bag.add(QStringLiteral("N"), nullptr, [&](const PLYNotification&) { seen << "any"; });
    bag.add(QStringLiteral("N"), &posterA, [&](const PLYNotification& n) {
        seen << QStringLiteral("a:%1").arg(n.userInfo.value("k").toInt());
    });
    bag.add(QStringLiteral("Other"), nullptr, [&](const PLYNotification&) { seen << "other"; });

    nc.post(QStringLiteral("N"), &posterA, {{"k", 7}});
    nc.post(QStringLiteral("N"), &posterB);
    EXPECT_EQ(seen, (QStringList{"any", "a:7", "any"}));
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalled) {
    auto& nc = PLYNotificationCenter::defaultCenter();
    int secondCalls = 0;
    PLYNotificationCenter::Token second = 0;
    auto first = nc.addObserver(QStringLiteral("R"), nullptr, [&](const PLYNotification&) { nc.removeObserver(second); });
    second = nc.addObserver(QStringLiteral("R"), nullptr, [&](const PLYNotification&) { ++secondCalls; });
    nc.post(QStringLiteral("R"));
    EXPECT_EQ(secondCalls, 0);
    nc.removeObserver(first);
}

TEST(NotificationCenter, BagUnregistersWhenDestroyed) {
    auto& nc = PLYNotificationCenter::defaultCenter();
    int calls = 0;
    {
        PLYObserverBag bag;
        bag.add(QStringLiteral("B"), nullptr, [&](const PLYNotification&) { ++calls; });
        nc.post(QStringLiteral("B"));
    }
    nc.post(QStringLiteral("B"));
    EXPECT_EQ(calls, 1);
}
