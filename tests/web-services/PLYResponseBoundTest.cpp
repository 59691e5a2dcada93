// Answers past the size bound are refused before they are read whole or parsed, whatever their
// shape, and the session goes round its connection road with back-off.
#include "PLYSessionTestSupport.h"

#include "PLYOversizedAnswers.h"
#include "PelloryServices.h"

namespace {

using M = PLYWebServiceManager;

class ResponseBound : public PLYWebServiceManagerTest, public ::testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(ResponseBound, AVersionAnswerPastTheBoundIsRefusedUnparsedAndTheSessionRetriesWithBackOff) {
    const qint64 bound = PelloryServices::maximumResponseBodySize();
    ASSERT_EQ(bound, 16 * 1024 * 1024) << "the bound as shipped";
    const PLYFakeReply huge =
        PLYFakeReply::text(200, PLYOversizedJSON("\"version\": \"1.0.0\",", 20 * 1000 * 1000, GetParam()), "application/json");
    service.enqueueReply("GET", "/core/supported", huge);
    service.enqueueReply("GET", "/core/supported", huge);
    PLYResetPeakMemory();
    const qint64 before = PLYProcessStatusBytes("VmRSS");
    ASSERT_GT(before, 0);

    start();
    ASSERT_TRUE(reach(M::StateNoAccount, 60000)) << "the third, well-formed answer lets the session go on";
    const qint64 peak = PLYProcessStatusBytes("VmHWM");
    EXPECT_EQ(service.requestsMatching("GET", "/core/supported").size(), 3);
    EXPECT_TRUE(logged("The response is larger than 16777216 bytes"));
    // Each refusal sends the session round the connection road, the wait doubling.
    EXPECT_EQ(history.count(M::StateCheckingServerVersion), 3);
    EXPECT_EQ(history.count(M::StateCheckingConnection), 2);
    EXPECT_TRUE(logged("Checking the connection again in 0.02 s"));
    EXPECT_TRUE(logged("Checking the connection again in 0.04 s"));
    // The fake service on loopback holds and sends its own copies of the answer in this process;
    // the client adds at most the bound's worth of buffer. Parsing the answer costs many times more.
    EXPECT_LT(peak - before, 6 * bound) << "peak grew by " << (peak - before) / (1024 * 1024) << " MiB";
    std::printf("peak grew by %lld MiB\n", (long long)((peak - before) / (1024 * 1024)));
}

INSTANTIATE_TEST_SUITE_P(SmallObjectsAndOneLongString, ResponseBound, ::testing::Bool());
