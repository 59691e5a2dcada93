#include "PLYAtomicFile.h"
#include "PLYLibraryFiles.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYSourceDirectory.h"
#include "PLYPropertyList.h"
#include "PLYTestEnvironment.h"
#include "PLYTestMount.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// What was kept aside of the damaged `path`, oldest name first.
QStringList keptAside(const QString& path) {
    const QDir dir(QFileInfo(path).path());
    QStringList paths;
    for (const QString& name : dir.entryList({QFileInfo(path).fileName() + QStringLiteral(".damaged-*")},
                                             QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

// Collects the log lines written while it lives.
struct LogLines {
    LogLines() : token(PLYLog::addObserver([this](PLYLog::Level, const QString& l) { lines << l; })) {}
    ~LogLines() { PLYLog::removeObserver(token); }
    bool mention(const QString& a, const QString& b = {}) const {
        return std::any_of(lines.cbegin(), lines.cend(), [&](const QString& l) { return l.contains(a) && l.contains(b); });
    }
    QStringList lines;
    int token;
};

class LibraryDamage : public ::testing::Test {
protected:
    void SetUp() override { root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("library")); }
    void TearDown() override { PLYPersistantPost::setSaveInterruptionForTesting({}); }

    std::shared_ptr<PLYPersistantStore> open() {
        auto store = PLYPersistantStore::create(root);
        store->setUp(false);
        return store;
    }
    // A saved post named `name` whose single section is called `name` too.
    std::shared_ptr<PLYPersistantPost> savedPost(const std::shared_ptr<PLYPersistantStore>& store, const QString& name) {
        auto post = store->signInUser(QStringLiteral("a@b.c"))->createNewPost(name);
        post->layout()->add_sections()->set_id(name.toStdString());
        EXPECT_TRUE(store->save());
        return post;
    }
    static std::shared_ptr<PLYPersistantPost> onlyPost(const std::shared_ptr<PLYPersistantStore>& store) {
        auto posts = store->signInUser(QStringLiteral("a@b.c"))->currentPosts();
        return posts.size() == 1 ? posts.first() : nullptr;
    }

    QString root;
};

}  // namespace

TEST_F(LibraryDamage, AKillBetweenTheWritesOfASaveLeavesExactlyOneSave) {
    using Step = PLYPersistantPost::SaveStep;
    for (const Step stop : {Step::LayoutStaged, Step::InfoCommitted}) {
        SetUp();
        auto post = savedPost(open(), QStringLiteral("first"));
        const QDir dir(post->folderPath());
        post->setName(QStringLiteral("second"));
        post->layout()->mutable_sections(0)->set_id("second");
        PLYPersistantPost::setSaveInterruptionForTesting([stop](Step step) { return step == stop; });
        EXPECT_FALSE(post->save());
        PLYPersistantPost::setSaveInterruptionForTesting({});
        // What a kill in the middle of a write leaves.
        writeAll(PLYAtomicFile::temporaryTemplate(dir.filePath(QStringLiteral("info.plist"))).replace(QStringLiteral("XXXXXX"), QStringLiteral("Ab3dE9")), "<?xml");
        writeAll(PLYAtomicFile::temporaryTemplate(dir.filePath(QStringLiteral("layout"))).replace(QStringLiteral("XXXXXX"), QStringLiteral("q1W2e3")), "\x0a\x03");

        auto loaded = onlyPost(open());
        ASSERT_TRUE(loaded) << "the post must load after a kill";
        const QString expected = stop == Step::LayoutStaged ? QStringLiteral("first") : QStringLiteral("second");
        EXPECT_EQ(loaded->name(), expected);
        EXPECT_EQ(QString::fromStdString(loaded->constLayout().sections(0).id()), expected) << "info and layout of two saves";
        EXPECT_EQ(dir.entryList(QDir::Files), (QStringList{QStringLiteral("info.plist"), QStringLiteral("layout")}))
            << "leftovers of the interrupted save stay";
        EXPECT_EQ(onlyPost(open())->name(), expected) << "the repaired folder loads the same save again";
    }
}

TEST_F(LibraryDamage, AnEmptyCutOrForeignLayoutIsReportedAndNeverSavedOver) {
    auto store = open();
    const QString good = savedPost(store, QStringLiteral("good"))->folderPath();
    QStringList folders;
    for (const char* name : {"empty", "cut", "no-sections", "legacy-empty", "foreign"}) folders << savedPost(store, QString::fromLatin1(name))->folderPath();
    auto layoutOf = [](const QString& folder) { return QDir(folder).filePath(QStringLiteral("layout")); };

    PLYLayout twoSections;
    twoSections.add_sections()->set_id("x");
    twoSections.add_sections()->set_id("y");
    const QByteArray full = QByteArray::fromStdString(twoSections.SerializeAsString());
    writeAll(layoutOf(folders[0]), {});
    writeAll(layoutOf(folders[1]), full.left(full.size() - 1));
    PLYLayout none;
    none.set_id("L");
    writeAll(layoutOf(folders[2]), QByteArray::fromStdString(none.SerializeAsString()));
    // A post written before info files named their layout's digest.
    QVariantMap info;
    ASSERT_TRUE(PLYPropertyList::readFile(QDir(folders[3]).filePath(QStringLiteral("info.plist")), &info));
    info.remove(QStringLiteral("layout_digest"));
    ASSERT_TRUE(PLYPropertyList::writeFile(QDir(folders[3]).filePath(QStringLiteral("info.plist")), info));
    writeAll(layoutOf(folders[3]), {});
    QFile::remove(layoutOf(folders[4]));
    ASSERT_TRUE(QFile::copy(layoutOf(good), layoutOf(folders[4])));  // a valid layout of another post

    QList<QByteArray> before;
    for (const QString& f : folders) before << readAll(layoutOf(f));
    LogLines log;
    store = open();
    auto account = store->signInUser(QStringLiteral("a@b.c"));
    ASSERT_EQ(account->currentPosts().size(), 1);
    EXPECT_EQ(account->currentPosts().first()->folderPath(), good);
    ASSERT_TRUE(store->save());
    for (int i = 0; i < folders.size(); ++i) {
        EXPECT_TRUE(log.mention(layoutOf(folders[i]), QStringLiteral("Skipping"))) << "no reason logged for " << i;
        EXPECT_EQ(readAll(layoutOf(folders[i])), before[i]) << "damaged layout " << i << " was written over";
    }
    EXPECT_TRUE(log.mention(layoutOf(folders[3]), QStringLiteral("empty")));
}

TEST_F(LibraryDamage, AnAccountInfoFileIsRecoveredFromItsLastGoodCopy) {
    auto store = open();
    auto account = store->signInUser(QStringLiteral("writer@example.com"));
    account->setFirstName(QStringLiteral("Ada"));
    account->createNewPost(QStringLiteral("P"))->layout()->add_sections();
    ASSERT_TRUE(store->save());
    const QString info = QDir(account->folderPath()).filePath(QStringLiteral("info.plist"));
    writeAll(info, QByteArray(300, '\0'));

    store = open();
    ASSERT_EQ(store->accounts().size(), 1);
    EXPECT_EQ(store->accounts().first()->email(), QStringLiteral("writer@example.com"));
    EXPECT_EQ(store->accounts().first()->firstName(), QStringLiteral("Ada"));
    EXPECT_EQ(store->accounts().first()->currentPosts().size(), 1);
    const QStringList aside = keptAside(info);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readAll(aside.first()), QByteArray(300, '\0'));
    EXPECT_TRUE(PLYPropertyList::readFile(info, nullptr)) << "the good copy is back in place";
}

// On a real full disk a save fails and says so, every file of the library stays as it was, the
// next start reads the last save, and once there is room the same edits are saved after all.
TEST_F(LibraryDamage, ASaveOnAFullDiskFailsAndLeavesEveryFileAsItWas) {
    PLYTestMount disk(1024 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no full file system can be made: " << disk.problem().toStdString();
    root = disk.path() + QStringLiteral("/library");
    const QString photos = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
    auto store = open();
    auto account = store->signInUser(QStringLiteral("full@example.com"));
    auto post = account->createNewPost(QStringLiteral("before"));
    post->layout()->add_sections()->set_id("before");
    auto location = store->startWatchingPath(photos, {});
    post->addSourceLocation(location->identifier());
    ASSERT_TRUE(store->save());
    QMap<QString, QByteArray> files;
    const QStringList folders{account->folderPath(), post->folderPath(), store->locationsDirectory()};
    for (const QString& folder : folders)
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            files.insert(QDir(folder).filePath(name), readAll(QDir(folder).filePath(name)));
    ASSERT_GE(files.size(), 6);

    const QString filler = disk.fill();
    ASSERT_FALSE(filler.isEmpty());
    account->setFirstName(QStringLiteral("Changed"));
    post->setName(QStringLiteral("after"));
    post->layout()->mutable_sections(0)->set_id("after");
    location->setIncludeSubFolders(!location->includeSubFolders());
    LogLines log;
    for (int attempt = 0; attempt < 3; ++attempt) {
        PLYError error;
        EXPECT_FALSE(store->save(&error)) << "a save on a full disk was called a success (attempt " << attempt << ")";
        EXPECT_FALSE(error.failureReason.isEmpty());
    }
    EXPECT_TRUE(log.mention(QStringLiteral("Could not save")));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        EXPECT_EQ(readAll(it.key()), it.value()) << it.key().toStdString() << " changed on a full disk";
    for (const QString& folder : folders)
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(),
                  std::count_if(files.keyBegin(), files.keyEnd(), [&](const QString& f) { return QFileInfo(f).path() == folder; }))
            << "a file was left behind in " << folder.toStdString();
    {
        LogLines loading;
        auto earlier = open();
        ASSERT_EQ(earlier->accounts().size(), 1) << loading.lines.join(QLatin1Char('\n')).toStdString();
        const auto posts = earlier->accounts().first()->currentPosts();
        ASSERT_EQ(posts.size(), 1) << "the last save no longer loads: " << loading.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(posts.first()->name(), QStringLiteral("before"));
    }

    ASSERT_TRUE(QFile::remove(filler));
    ASSERT_TRUE(store->save()) << "the edits kept in memory were not saved once there was room";
    auto reloaded = open();
    ASSERT_EQ(reloaded->accounts().size(), 1);
    const auto posts = reloaded->accounts().first()->currentPosts();
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts.first()->name(), QStringLiteral("after"));
    EXPECT_EQ(posts.first()->constLayout().sections(0).id(), "after");
    EXPECT_EQ(reloaded->accounts().first()->firstName(), QStringLiteral("Changed"));
    EXPECT_EQ(reloaded->sourceLocations().first()->includeSubFolders(), location->includeSubFolders());
}

// A damaged info or location file, or a folder standing where the file should be, is moved
// aside under a dated name that says so, whole, and logged by that name; only then is the last
// good copy put back. A second damage later keeps the first one's remains too.
TEST_F(LibraryDamage, WhatStandsWhereADamagedFileShouldBeIsKeptAsideUnderADatedName) {
    const QString photos = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
    QString info, locationFile;
    {
        auto store = open();
        auto account = store->signInUser(QStringLiteral("keep@example.com"));
        auto post = account->createNewPost(QStringLiteral("P"));
        post->layout()->add_sections();
        auto location = store->startWatchingPath(photos, {});
        ASSERT_TRUE(location);
        post->addSourceLocation(location->identifier());
        ASSERT_TRUE(store->save());
        info = QDir(account->folderPath()).filePath(QStringLiteral("info.plist"));
        locationFile = location->filePath();
    }
    // A folder with a user's file in it where the account's info file should be, and a cut
    // location file.
    ASSERT_TRUE(QFile::remove(info));
    ASSERT_TRUE(QDir().mkpath(info + QStringLiteral("/kept")));
    writeAll(info + QStringLiteral("/kept/notes.txt"), "the user's notes");
    writeAll(locationFile, "<?xml version=\"1.0\"?><plist><dict><key>identifier</key><str");

    for (int round = 1; round <= 2; ++round) {
        LogLines log;
        auto store = open();
        ASSERT_EQ(store->accounts().size(), 1) << "round " << round;
        EXPECT_EQ(store->accounts().first()->email(), QStringLiteral("keep@example.com"));
        EXPECT_EQ(store->sourceLocations().size(), 1) << "the location was not recovered in round " << round;
        EXPECT_TRUE(PLYPropertyList::readFile(info, nullptr)) << "the good copy is back in place";
        EXPECT_TRUE(PLYPropertyList::readFile(locationFile, nullptr)) << "the good copy is back in place";
        const QStringList infoAside = keptAside(info), locationAside = keptAside(locationFile);
        ASSERT_EQ(infoAside.size(), round);
        ASSERT_EQ(locationAside.size(), round);
        EXPECT_EQ(readAll(infoAside.first() + QStringLiteral("/kept/notes.txt")), QByteArray("the user's notes"))
            << "the folder went aside with everything in it";
        EXPECT_TRUE(readAll(locationAside.first()).endsWith("<key>identifier</key><str"));
        for (const QString& aside : {infoAside.last(), locationAside.last()}) {
            EXPECT_TRUE(QFileInfo(aside).fileName().contains(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))))
                << aside.toStdString() << " does not say when";
            EXPECT_TRUE(log.mention(aside)) << "no log line names " << aside.toStdString();
        }
        // The next damage, to be kept beside the first.
        writeAll(info, "garbage " + QByteArray::number(round));
        writeAll(locationFile, "");
    }
    EXPECT_EQ(readAll(keptAside(info).last()), QByteArray("garbage 1"));
}

// Where the damaged file cannot be moved aside (a read-only library here), it stays as it is:
// the good copy is used in memory, nothing is written over the damage, and once the library can
// be written again the damage goes aside before the save.
TEST_F(LibraryDamage, ADamagedFileThatCannotBeMovedAsideIsNeverWrittenOver) {
    PLYTestMount disk(8 * 1024 * 1024);
    if (!disk.isMounted()) GTEST_SKIP() << "no read-only library can be made: " << disk.problem().toStdString();
    root = disk.path() + QStringLiteral("/library");
    QString info;
    {
        auto store = open();
        auto account = store->signInUser(QStringLiteral("ro@example.com"));
        account->createNewPost(QStringLiteral("P"))->layout()->add_sections();
        ASSERT_TRUE(store->save());
        info = QDir(account->folderPath()).filePath(QStringLiteral("info.plist"));
    }
    writeAll(info, "damaged bytes");
    ASSERT_TRUE(disk.setReadOnly(true));
    {
        auto store = open();
        ASSERT_EQ(store->accounts().size(), 1);
        auto account = store->signInUser(QStringLiteral("ro@example.com"));
        EXPECT_EQ(account->currentPosts().size(), 1);
        EXPECT_FALSE(store->save());
        EXPECT_EQ(readAll(info), QByteArray("damaged bytes"));
        EXPECT_TRUE(keptAside(info).isEmpty());

        ASSERT_TRUE(disk.setReadOnly(false));
        account->setFirstName(QStringLiteral("Writable"));
        EXPECT_TRUE(store->save());
        ASSERT_EQ(keptAside(info).size(), 1);
        EXPECT_EQ(readAll(keptAside(info).first()), QByteArray("damaged bytes"));
    }
    QVariantMap map;
    ASSERT_TRUE(PLYPropertyList::readFile(info, &map));
    EXPECT_EQ(map.value(QStringLiteral("first_name")).toString(), QStringLiteral("Writable"));
}

// Each decoder of the library's files over a fixed corpus of malformed input: every one is
// refused with an error (or read), none crashes, hangs or allocates without bound.
TEST(LibraryDecoders, PropertyListsRefuseMalformedInput) {
    const QByteArray head = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>";
    const QByteArray tail = "</dict></plist>";
    auto nested = [&](const char* open, const char* close, int depth) {
        return head + QByteArray(open).repeated(depth) + "<true/>" + QByteArray(close).repeated(depth) + tail;
    };
    const QList<QByteArray> refused = {
        {},
        "<plist",
        nested("<array>", "</array>", 100000),
        nested("<dict><key>a</key>", "</dict>", 100000),
        nested("<array >", "</array >", PLYPropertyList::MaxDepth + 1),
        head + QByteArray("<string>a\0b</string>", 20) + tail,
        head + QByteArray("<string>ab</string></dict><key>x\0</key>", 39) + tail,
        head + "<string>x&#0;y</string>" + tail,
        "<plist><array><string>x</string></array></plist>",
        head + "<string>unterminated" + tail.left(7),
    };
    for (int i = 0; i < refused.size(); ++i) {
        PLYError error;
        QVariantMap out;
        EXPECT_FALSE(PLYPropertyList::fromXml(refused[i], &out, &error)) << "case " << i;
        EXPECT_FALSE(error.description.isEmpty()) << "case " << i;
    }
    QVariantMap out;
    EXPECT_TRUE(PLYPropertyList::fromXml(head + "<array>" + QByteArray("<dict/><array/>").repeated(40) + "</array>" + tail, &out))
        << "empty containers open no level";

    // Cut and flipped versions of a real file: read or refused, never a crash.
    const QByteArray valid = PLYPropertyList::toXml({{QStringLiteral("images"), QVariantList{QVariantMap{{QStringLiteral("id"), QStringLiteral("A")}}}},
                                                     {QStringLiteral("n"), 7}});
    quint32 seed = 12345;
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes = valid.left(i % 2 ? valid.size() : 1 + i % valid.size());
        for (int flips = 0; flips < 3; ++flips) {
            seed = seed * 1103515245u + 12345u;
            bytes[int((seed >> 8) % quint32(qMax<qsizetype>(1, bytes.size())))] = char(seed >> 24);
        }
        PLYPropertyList::fromXml(bytes, &out);
    }

    // A file larger than the bound is refused before it is read (a sparse file costs nothing).
    const QString huge = QDir(PLYTestEnvironment::makeTempDirectory()).filePath(QStringLiteral("huge.plist"));
    QFile f(huge);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(PLYPropertyList::MaxBytes + 1));
    f.close();
    PLYError error;
    EXPECT_FALSE(PLYPropertyList::readFile(huge, &out, &error));
    EXPECT_TRUE(error.description.contains(huge));
}

// The bound refuses a file; it is not what a read reserves: a small file reads under a bound
// far larger than the memory of any machine, and a file at the bound is read whole.
TEST(LibraryFiles, AReadReservesWhatTheFileHoldsNotItsBound) {
    const QString path = QDir(PLYTestEnvironment::makeTempDirectory()).filePath(QStringLiteral("small"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1000, 'x'));
    f.close();
    QByteArray bytes;
    PLYError error;
    bool read = false;
    EXPECT_NO_THROW(read = PLYLibraryFiles::readFile(path, qint64(1) << 42, &bytes, &error));
    EXPECT_TRUE(read) << error.toString().toStdString();
    EXPECT_EQ(bytes, QByteArray(1000, 'x'));
    // An info file is read under a bound of hundreds of megabytes; it keeps no more than it holds.
    ASSERT_TRUE(PLYLibraryFiles::readFile(path, PLYPropertyList::MaxBytes, &bytes, &error));
    EXPECT_LT(bytes.capacity(), 64 * 1024);
    EXPECT_TRUE(PLYLibraryFiles::readFile(path, 1000, &bytes, &error));
    EXPECT_EQ(bytes.size(), 1000);
    EXPECT_FALSE(PLYLibraryFiles::readFile(path, 999, &bytes, &error));
    EXPECT_TRUE(error.description.contains(path));
}

TEST_F(LibraryDamage, LayoutFilesRefuseMalformedInput) {
    auto post = savedPost(open(), QStringLiteral("p"));
    const QString layout = QDir(post->folderPath()).filePath(QStringLiteral("layout"));
    QVariantMap info;
    const QString infoPath = QDir(post->folderPath()).filePath(QStringLiteral("info.plist"));
    ASSERT_TRUE(PLYPropertyList::readFile(infoPath, &info));
    info.remove(QStringLiteral("layout_digest"));  // as an older file: only the decoder stands guard
    ASSERT_TRUE(PLYPropertyList::writeFile(infoPath, info));

    // Containers nested far deeper than the parser's recursion limit.
    PLYLayout deep;
    PLYBlock* block = deep.add_sections()->add_blocks();
    for (int i = 0; i < 150; ++i) block = block->mutable_container()->add_sub_blocks();
    const QByteArray valid = readAll(layout);
    QList<QByteArray> corpus = {QByteArray::fromStdString(deep.SerializeAsString()), QByteArray(64, '\xff'),
                                QByteArray("\x0a\xff\xff\xff\xff\x0f", 6)};
    quint32 seed = 777;
    for (int i = 0; i < 100; ++i) {
        QByteArray bytes = valid;
        seed = seed * 1103515245u + 12345u;
        bytes[int((seed >> 8) % quint32(bytes.size()))] = char(seed >> 24);
        corpus << bytes << valid.left(i % valid.size());
    }
    for (const QByteArray& bytes : corpus) {
        writeAll(layout, bytes);
        PLYError error;
        auto loaded = PLYPersistantPost::load(post->folderPath(), {}, &error);
        if (loaded) {
            EXPECT_GT(loaded->constLayout().sections_size(), 0);
        } else {
            EXPECT_TRUE(error.description.contains(layout)) << error.toString().toStdString();
        }
    }
    QFile f(layout);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(PLYLibraryFiles::MaxLayoutBytes + 1));
    f.close();
    EXPECT_FALSE(PLYPersistantPost::load(post->folderPath(), {}));
}

// Every temporary file a save makes, whatever it belongs to, is what a kill in the middle of
// that save leaves behind; the next launch removes all of them, and nothing else: a user's
// "info.plist.backup" or "layout.backup" beside them stays.
TEST_F(LibraryDamage, TheLaunchRemovesEveryTemporaryFileOfASaveAndNoFileOfTheUser) {
    auto store = open();
    const QString photos = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
    const auto location = store->startWatchingPath(photos, {});
    ASSERT_TRUE(location);
    auto post = savedPost(store, QStringLiteral("first"));
    post->addSourceLocation(location->identifier());
    ASSERT_TRUE(store->save());
    const QStringList folders = {post->folderPath(), QFileInfo(post->folderPath()).absolutePath(), store->locationsDirectory()};

    // The names each folder sees come and go during a save that rewrites every file of the post,
    // its account's index and the location.
    const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    QMap<int, QString> watched;
    for (const QString& folder : folders) {
        const int wd = ::inotify_add_watch(watcher, QFile::encodeName(folder).constData(), IN_CREATE);
        ASSERT_GE(wd, 0) << folder.toStdString();
        watched.insert(wd, folder);
    }
    post->setName(QStringLiteral("second"));
    post->layout()->add_sections()->set_id("more");
    post->removeSourceLocation(location->identifier());
    post->addSourceLocation(location->identifier());
    ASSERT_TRUE(store->save());
    QStringList temporaries;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t n; (n = ::read(watcher, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const QString path = QDir(watched.value(event->wd)).filePath(QFile::decodeName(event->name));
            if (event->len > 0 && !QFileInfo::exists(path) && !temporaries.contains(path)) temporaries << path;
            at += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
    ::close(watcher);
    store.reset();
    post.reset();
    ASSERT_TRUE(std::any_of(temporaries.cbegin(), temporaries.cend(), [](const QString& p) { return p.contains(QStringLiteral("posts.index")); }))
        << "the index was not written through a temporary file: " << temporaries.join(u' ').toStdString();

    for (const QString& path : temporaries) writeAll(path, "cut short");
    QStringList users;
    for (const char* name : {"info.plist.backup", "layout.backup", "layout.next.Ab3dE9"}) users << QDir(folders[0]).filePath(QString::fromLatin1(name));
    users << QDir(folders[1]).filePath(QStringLiteral("posts.index.backup"));
    for (const QString& path : users) writeAll(path, "mine");

    store = open();
    ASSERT_TRUE(onlyPost(store));
    EXPECT_EQ(onlyPost(store)->name(), QStringLiteral("second"));
    for (const QString& path : temporaries) EXPECT_FALSE(QFileInfo::exists(path)) << "left behind: " << path.toStdString();
    for (const QString& path : users) EXPECT_EQ(readAll(path), QByteArray("mine")) << "the user's file is gone: " << path.toStdString();
}
