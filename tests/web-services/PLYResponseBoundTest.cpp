// Answers past the size bound are refused before they are read whole or parsed, whatever their
// shape, and the session goes round its connection road with back-off.
#include "PLYSessionTestSupport.h"

#include "PelloryServices.h"

#include <QFile>

namespace {

using M = PLYWebServiceManager;

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
qint64 statusBytes(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key + ':')) return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// Starts the peak over from what is resident now, where the kernel lets a process do so.
void resetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// {"version": "1.0.0", "pad": ...} of `bytes` bytes: many small objects, or one long string.
QByteArray oversizedVersionAnswer(qint64 bytes, bool smallObjects) {
    QByteArray body("{\"version\": \"1.0.0\", \"pad\": ");
    body.reserve(bytes + 16);
    if (smallObjects) {
        body += '[';
        while (body.size() < bytes) body += "{\"a\": 1},";
        body += "{}]}";
    } else {
        body += '"';
        body += QByteArray(bytes - body.size(), 'x');
        body += "\"}";
    }
    return body;
}

class ResponseBound : public PLYWebServiceManagerTest, public ::testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(ResponseBound, AVersionAnswerPastTheBoundIsRefusedUnparsedAndTheSessionRetriesWithBackOff) {
    const qint64 bound = PelloryServices::maximumResponseBodySize();
    ASSERT_EQ(bound, 16 * 1024 * 1024) << "the bound as shipped";
    const PLYFakeReply huge =
        PLYFakeReply::text(200, oversizedVersionAnswer(20 * 1000 * 1000, GetParam()), "application/json");
    service.enqueueReply("GET", "/core/supported", huge);
    service.enqueueReply("GET", "/core/supported", huge);
    resetPeakMemory();
    const qint64 before = statusBytes("VmRSS");
    ASSERT_GT(before, 0);

    start();
    ASSERT_TRUE(reach(M::StateNoAccount, 60000)) << "the third, well-formed answer lets the session go on";
    const qint64 peak = statusBytes("VmHWM");
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
