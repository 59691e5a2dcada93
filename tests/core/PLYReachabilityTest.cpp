#include <gtest/gtest.h>

#include "PLYReachability.h"
#include "PLYTestEnvironment.h"

TEST(Reachability, BlocksRunOnChangesOnly) {
    auto reach = PLYReachability::reachabilityForInternetConnection();
    QStringList calls;
    reach->setReachableBlock([&](PLYReachability* r) { calls << (r->isReachable() ? "up" : "up?"); });
    reach->setUnreachableBlock([&](PLYReachability* r) { calls << (r->isReachable() ? "down?" : "down"); });
    reach->setReachableForTesting(true);
    EXPECT_TRUE(calls.isEmpty());  // no notifier yet
    ASSERT_TRUE(reach->startNotifier());
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !calls.isEmpty(); }));
    EXPECT_EQ(calls, QStringList{"up"});  // the first report
    reach->setReachableForTesting(true);
    reach->setReachableForTesting(false);
    reach->setReachableForTesting(false);
    reach->setReachableForTesting(true);
    EXPECT_EQ(calls, (QStringList{"up", "down", "up"}));
    reach->stopNotifier();
    reach->setReachableForTesting(false);
    EXPECT_EQ(calls.size(), 3);
    EXPECT_FALSE(reach->isReachable());
}

TEST(Reachability, StartingReportsTheCurrentStateOnce) {
    PLYReachability reach;
    reach.setReachableForTesting(false);
    int down = 0, up = 0;
    reach.setReachableBlock([&](PLYReachability*) { ++up; });
    reach.setUnreachableBlock([&](PLYReachability*) { ++down; });
    reach.startNotifier();
    reach.startNotifier();  // already running: no second report
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return down == 1; }));
    PLYTestEnvironment::waitForQueuedCalls();  // after a second report the second start could have queued
    EXPECT_EQ(down, 1);
    EXPECT_EQ(up, 0);
}
