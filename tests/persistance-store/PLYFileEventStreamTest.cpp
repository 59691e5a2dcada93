#include "PLYFileEventStream.h"
#include "PLYLog.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYWatchLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <iostream>
#include <memory>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

TEST(PLYFileEventStream, AFolderMovedOutIsNoLongerReportedUnderItsOldPath) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("watched"));
    const QString elsewhere = PLYTestEnvironment::makeTempDirectory(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(QDir(root).filePath(QStringLiteral("sub/deeper"))));
    QStringList seen;
    PLYFileEventStream stream(root, true, 20, [&](const QVector<PLYFileEvent>& events) {
        for (const PLYFileEvent& e : events) seen << e.path();
    });
    ASSERT_TRUE(stream.start());

    const QString away = QDir(elsewhere).filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().rename(QDir(root).filePath(QStringLiteral("sub")), away));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(QDir(root).filePath(QStringLiteral("sub"))); }));
    seen.clear();

    // Work in the moved folder, then a change in the watched one to know the batch arrived.
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(away).filePath(QStringLiteral("new.jpg")), 20, 20));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(away).filePath(QStringLiteral("deeper/deep.jpg")), 20, 20));
    const QString marker = QDir(root).filePath(QStringLiteral("marker.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(marker, 20, 20));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(marker); }));
    for (const QString& p : std::as_const(seen))
        EXPECT_FALSE(p.startsWith(QDir(root).filePath(QStringLiteral("sub")))) << p.toStdString();

    // A folder renamed inside the tree is still followed at its new name.
    ASSERT_TRUE(QDir().mkpath(QDir(root).filePath(QStringLiteral("a"))));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(QDir(root).filePath(QStringLiteral("a"))); }));
    ASSERT_TRUE(QDir().rename(QDir(root).filePath(QStringLiteral("a")), QDir(root).filePath(QStringLiteral("b"))));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(QDir(root).filePath(QStringLiteral("b"))); }));
    const QString inRenamed = QDir(root).filePath(QStringLiteral("b/x.jpg"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(inRenamed, 20, 20));
    ASSERT_TRUE(waitUntil([&] { return seen.contains(inRenamed); }));
}

namespace {

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size()); }

void writeFile(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("x");
}

// A stream with what it heard, by path.
struct Listener {
    QSet<QString> heard;
    std::unique_ptr<PLYFileEventStream> stream;
    Listener(const QString& root, bool recursive) {
        stream = std::make_unique<PLYFileEventStream>(root, recursive, 10, [this](const QVector<PLYFileEvent>& events) {
            for (const PLYFileEvent& e : events) heard.insert(e.path());
        });
    }
};

// Writes `file` and waits until each of `hearers` heard of it.
[[nodiscard]] bool writeAndWaitForAll(const QString& file, std::initializer_list<const Listener*> hearers) {
    writeFile(file);
    return waitUntil([&] { return std::all_of(hearers.begin(), hearers.end(), [&](const Listener* l) { return l->heard.contains(file); }); }, 30000);
}

}  // namespace

// Each stream had an inotify instance of its own (and the mount table open): past the system's
// 128 instances a folder was never watched, and two descriptors went per folder.
TEST(PLYFileEventStream, ThreeHundredStreamsAllHearTheirFolderWithoutADescriptorEach) {
    const QString base = PLYTestEnvironment::makeTempDirectory(QStringLiteral("many"));
    constexpr int kStreams = 300;
    std::vector<std::unique_ptr<Listener>> listeners;
    QStringList folders;
    for (int i = 0; i < kStreams; ++i) {
        folders << QDir(base).filePath(QStringLiteral("post-%1").arg(i));
        ASSERT_TRUE(QDir().mkpath(folders.last()));
    }
    int withOne = 0;
    for (int i = 0; i < kStreams; ++i) {
        listeners.push_back(std::make_unique<Listener>(folders[i], true));
        ASSERT_TRUE(listeners.back()->stream->start()) << "stream " << i;
        if (i == 0) withOne = openDescriptors();
    }
    EXPECT_LE(openDescriptors(), withOne + 2) << "descriptors grow with the number of streams";

    for (int i = 0; i < kStreams; ++i) writeFile(QDir(folders[i]).filePath(QStringLiteral("photo.jpg")));
    int missing = kStreams;
    const bool all = waitUntil(
        [&] {
            missing = 0;
            for (int i = 0; i < kStreams; ++i)
                if (!listeners[i]->heard.contains(QDir(folders[i]).filePath(QStringLiteral("photo.jpg")))) ++missing;
            return missing == 0;
        },
        60000);
    EXPECT_TRUE(all) << missing << " streams never heard of the photo in their folder";
    for (int i = 0; i < kStreams; ++i)
        for (const QString& p : std::as_const(listeners[i]->heard))
            EXPECT_TRUE(p.startsWith(folders[i])) << i << " heard " << p.toStdString();

    // Stopped streams hold nothing: the descriptors go with the last of them.
    const int beforeFirst = openDescriptors();
    listeners.clear();
    EXPECT_LE(openDescriptors(), beforeFirst);
}

// inotify answers one watch descriptor for one folder: two streams over it share that watch.
TEST(PLYFileEventStream, TwoStreamsOverOneFolderBothHearAndStoppingOneLeavesTheOther) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("shared"));
    Listener first(root, true), second(root, false);
    ASSERT_TRUE(first.stream->start());
    ASSERT_TRUE(second.stream->start());
    ASSERT_TRUE(writeAndWaitForAll(QDir(root).filePath(QStringLiteral("a.jpg")), {&first, &second}));

    second.stream->stop();
    EXPECT_FALSE(second.stream->isRunning());
    const QString b = QDir(root).filePath(QStringLiteral("b.jpg"));
    ASSERT_TRUE(writeAndWaitForAll(b, {&first})) << "stopping one stream ended the other's watch";
    EXPECT_FALSE(second.heard.contains(b));

    // Started again, it shares the watch again; and the first may go.
    ASSERT_TRUE(second.stream->start());
    first.stream->stop();
    const QString c = QDir(root).filePath(QStringLiteral("c.jpg"));
    ASSERT_TRUE(writeAndWaitForAll(c, {&second}));
    EXPECT_FALSE(first.heard.contains(c));
}

TEST(PLYFileEventStream, AStreamOverASubFolderOfAnotherStreamsRootHearsItsFilesAndOutlivesIt) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("outer"));
    const QString sub = QDir(root).filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkpath(sub));
    Listener outer(root, true), flat(root, false), inner(sub, true);
    ASSERT_TRUE(outer.stream->start());
    ASSERT_TRUE(flat.stream->start());
    ASSERT_TRUE(inner.stream->start());

    const QString inSub = QDir(sub).filePath(QStringLiteral("a.jpg"));
    const QString top = QDir(root).filePath(QStringLiteral("top.jpg"));
    writeFile(inSub);
    writeFile(top);
    ASSERT_TRUE(waitUntil([&] { return outer.heard.contains(inSub) && inner.heard.contains(inSub) && outer.heard.contains(top) && flat.heard.contains(top); }, 30000));
    EXPECT_FALSE(inner.heard.contains(top)) << "the sub-folder's stream heard its parent";
    EXPECT_FALSE(flat.heard.contains(inSub)) << "a stream without sub-folders heard one";

    // A folder made under the inner root is watched by both; the outer one leaves.
    const QString deeper = QDir(sub).filePath(QStringLiteral("deeper"));
    ASSERT_TRUE(QDir().mkpath(deeper));
    ASSERT_TRUE(waitUntil([&] { return outer.heard.contains(deeper) && inner.heard.contains(deeper); }, 30000));
    outer.stream->stop();
    ASSERT_TRUE(writeAndWaitForAll(QDir(deeper).filePath(QStringLiteral("d.jpg")), {&inner}))
        << "the outer stream took the inner one's watches";

    // And the other way round: the inner one leaves, the outer one (again) hears the sub-folder.
    ASSERT_TRUE(outer.stream->start());
    inner.stream->stop();
    const QString again = QDir(deeper).filePath(QStringLiteral("e.jpg"));
    ASSERT_TRUE(writeAndWaitForAll(again, {&outer}));
    EXPECT_FALSE(flat.heard.contains(again));
}

// A single-file root and a missing root watch a folder another stream watches whole: each
// still hears only what it asked for.
TEST(PLYFileEventStream, FileAndMissingRootsShareTheirFolderWithAFolderStream) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("mixed"));
    const QString file = QDir(root).filePath(QStringLiteral("one.jpg"));
    writeFile(file);
    const QString later = QDir(root).filePath(QStringLiteral("later"));
    Listener folder(root, true), single(file, false);
    QVector<PLYFileEvent> missingEvents;
    PLYFileEventStream missing(later, true, 10, [&](const QVector<PLYFileEvent>& events) { missingEvents += events; });
    ASSERT_TRUE(folder.stream->start());
    ASSERT_TRUE(single.stream->start());
    ASSERT_TRUE(missing.start());

    const QString other = QDir(root).filePath(QStringLiteral("other.jpg"));
    writeFile(other);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("more");
    f.close();
    ASSERT_TRUE(waitUntil([&] { return folder.heard.contains(other) && folder.heard.contains(file) && single.heard.contains(file); }, 30000));
    EXPECT_FALSE(single.heard.contains(other));

    missingEvents.clear();
    ASSERT_TRUE(QDir().mkpath(later));
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(missingEvents.cbegin(), missingEvents.cend(), [&](const PLYFileEvent& e) { return e.hasFlag(PLYFileEvent::RootChanged); });
    }, 30000));
    missingEvents.clear();
    const QString inLater = QDir(later).filePath(QStringLiteral("x.jpg"));
    writeFile(inLater);
    ASSERT_TRUE(waitUntil([&] {
        return folder.heard.contains(inLater) &&
               std::any_of(missingEvents.cbegin(), missingEvents.cend(), [&](const PLYFileEvent& e) { return e.path() == inLater; });
    }, 30000));
}

// Streams start and stop over a few folders that nest; after each new file every running
// stream whose root holds it hears it, and none hears a file outside its root.
TEST(PLYFileEventStream, RandomWalkOfStreamsOverSharedFoldersHearExactlyTheirFiles) {
    const quint32 seed = qEnvironmentVariableIsSet("PELLORY_SEED") ? quint32(qEnvironmentVariableIntValue("PELLORY_SEED"))
                                                                   : QRandomGenerator::global()->generate();
    std::cout << "seed " << seed << " (PELLORY_SEED to repeat)" << std::endl;
    QRandomGenerator random(seed);
    const QString base = PLYTestEnvironment::makeTempDirectory(QStringLiteral("walk"));
    const QStringList folders = {base, base + QStringLiteral("/a"), base + QStringLiteral("/a/b"), base + QStringLiteral("/c")};
    for (const QString& f : folders) ASSERT_TRUE(QDir().mkpath(f));
    struct Slot {
        QString root;
        bool recursive;
        std::unique_ptr<Listener> listener;
        QSet<QString> expected;
        bool holds(const QString& file) const {
            const QString dir = QFileInfo(file).absolutePath();
            return dir == root || (recursive && dir.startsWith(root + QLatin1Char('/')));
        }
    };
    std::vector<Slot> runs;
    for (const QString& f : folders) {
        runs.push_back({f, true, nullptr, {}});
        runs.push_back({f, false, nullptr, {}});
    }
    QSet<QString> created;
    int files = 0;
    for (int step = 0; step < 80; ++step) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed << " step " << step);
        if (random.bounded(3) == 0) {
            Slot& s = runs[random.bounded(int(runs.size()))];
            if (s.listener) {
                s.listener.reset();
            } else {
                s.listener = std::make_unique<Listener>(s.root, s.recursive);
                s.expected.clear();
                ASSERT_TRUE(s.listener->stream->start());
            }
            continue;
        }
        const QString file = QDir(folders[random.bounded(int(folders.size()))]).filePath(QStringLiteral("f%1.jpg").arg(++files));
        writeFile(file);
        created.insert(file);
        for (Slot& s : runs)
            if (s.listener && s.holds(file)) s.expected.insert(file);
        ASSERT_TRUE(waitUntil([&] {
            for (const Slot& s : runs)
                if (s.listener && !s.listener->heard.contains(file) && s.holds(file)) return false;
            return true;
        }, 30000)) << file.toStdString();
        for (const Slot& s : runs) {
            if (!s.listener) continue;
            QSet<QString> heardFiles = s.listener->heard;
            heardFiles.intersect(created);
            EXPECT_EQ(heardFiles, s.expected) << "stream over " << s.root.toStdString() << (s.recursive ? " and its sub-folders" : "");
        }
    }
}

namespace {

// The log lines that mention `part`.
struct LogLines {
    QStringList lines;
    std::mutex mutex;
    int token;
    LogLines() {
        token = PLYLog::addObserver([this](PLYLog::Level, const QString& line) {
            std::lock_guard lock(mutex);
            lines << line;
        });
    }
    ~LogLines() { PLYLog::removeObserver(token); }
    QStringList mentioning(const QString& part) {
        std::lock_guard lock(mutex);
        return lines.filter(part);
    }
};

void makeFolders(const QString& root, int subFolders) {
    for (int i = 0; i < subFolders; ++i) ASSERT_TRUE(QDir().mkpath(QDir(root).filePath(QStringLiteral("sub-%1").arg(i))));
}

}  // namespace

// Past the limit a stream claimed to run while it watched nothing, and the log said only that
// there was no space left on the device.
TEST(PLYFileEventStream, AStreamPastTheWatchLimitDoesNotStartAndSaysWhy) {
    if (const auto whyNot = PLYWatchLimit::rerunWithLimit(8)) {
        if (!whyNot->isEmpty()) GTEST_SKIP() << whyNot->toStdString();
        return;
    }
    LogLines log;
    const QString big = PLYTestEnvironment::makeTempDirectory(QStringLiteral("big"));
    makeFolders(big, 12);
    PLYFileEventStream tooMany(big, true, 10, [](const QVector<PLYFileEvent>&) {});
    EXPECT_FALSE(tooMany.start());
    EXPECT_FALSE(tooMany.isRunning());
    const QStringList said = log.mentioning(QStringLiteral("Could not start watching ") + big);
    ASSERT_EQ(said.size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(said.first().contains(QStringLiteral("limit of watched folders is reached"))) << said.first().toStdString();

    // The failed start kept none of the watches it had taken: a folder that fits still starts.
    const QString fits = PLYTestEnvironment::makeTempDirectory(QStringLiteral("fits"));
    makeFolders(fits, 7);
    Listener fitting(fits, true);
    ASSERT_TRUE(fitting.stream->start());
    ASSERT_TRUE(writeAndWaitForAll(QDir(fits).filePath(QStringLiteral("sub-6/a.jpg")), {&fitting}));

    // Without its sub-folders the big one fits beside it no more, and says so again.
    PLYFileEventStream flat(big, false, 10, [](const QVector<PLYFileEvent>&) {});
    EXPECT_FALSE(flat.start());
    EXPECT_EQ(log.mentioning(QStringLiteral("Could not start watching ") + big).size(), 2);
    fitting.stream->stop();
    EXPECT_TRUE(flat.start());
}

// A missing root came back with more sub-folders than can be watched: the stream stops, says
// so, and still tells of the change.
TEST(PLYFileEventStream, AStreamThatCannotWatchItsReturningRootStopsAndSaysWhy) {
    if (const auto whyNot = PLYWatchLimit::rerunWithLimit(6)) {
        if (!whyNot->isEmpty()) GTEST_SKIP() << whyNot->toStdString();
        return;
    }
    LogLines log;
    const QString base = PLYTestEnvironment::makeTempDirectory(QStringLiteral("base"));
    const QString later = QDir(base).filePath(QStringLiteral("later"));
    QVector<PLYFileEvent> events;
    PLYFileEventStream stream(later, true, 10, [&](const QVector<PLYFileEvent>& batch) { events += batch; });
    ASSERT_TRUE(stream.start());
    const QString staged = PLYTestEnvironment::makeTempDirectory(QStringLiteral("staged"));
    makeFolders(staged, 9);
    ASSERT_TRUE(QDir().rename(staged, later));
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(events.cbegin(), events.cend(), [](const PLYFileEvent& e) { return e.hasFlag(PLYFileEvent::RootChanged); });
    }, 30000));
    EXPECT_FALSE(stream.isRunning());
    const QStringList said = log.mentioning(QStringLiteral("Stopped watching ") + later);
    ASSERT_EQ(said.size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(said.first().contains(QStringLiteral("limit of watched folders is reached"))) << said.first().toStdString();
}
