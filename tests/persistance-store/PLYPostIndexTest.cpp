// Launching from the account's post index: home gets summaries at once, the post folders are
// read behind it and always win over what the index said.
#include "PLYCoreManager.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostIndex.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <random>

using PLYTestEnvironment::waitUntil;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

std::shared_ptr<PLYPersistantStore> launch(const QString& root) {
    auto store = PLYPersistantStore::create(root);
    store->setUp(false);
    return store;
}

// A library of posts with one text block each, saved; answers the account folder.
QString makeLibrary(const QString& root, const QStringList& names) {
    auto store = launch(root);
    auto account = store->signInUser(QStringLiteral("ada@example.org"));
    for (const QString& name : names) {
        auto post = account->createNewPost(name);
        PLYSection* section = post->layout()->add_sections();
        section->mutable_stacked();
        PLYBlock* block = section->add_blocks();
        block->set_id(("text-" + name).toStdString());
        block->mutable_text()->set_value(name.toStdString());
    }
    EXPECT_TRUE(store->save());
    return account->folderPath();
}

QStringList namesOf(const QList<std::shared_ptr<PLYPersistantPost>>& posts) {
    QStringList names;
    for (const auto& post : posts) names << post->name();
    return names;
}

// What the folders hold, read as if there were no index, by identifier.
QList<PLYPostSummary> foldersSay(const QString& accountFolder) {
    QList<PLYPostSummary> summaries;
    for (const auto& loaded : PLYPersistantAccount::loadPostFolders(accountFolder, {}))
        if (loaded.post) summaries << loaded.post->summary();
    std::sort(summaries.begin(), summaries.end(), [](const auto& a, const auto& b) { return a.identifier < b.identifier; });
    return summaries;
}

QList<PLYPostSummary> byIdentifier(QList<PLYPostSummary> summaries) {
    std::sort(summaries.begin(), summaries.end(), [](const auto& a, const auto& b) { return a.identifier < b.identifier; });
    return summaries;
}

QList<PLYPostSummary> summariesOf(const QList<std::shared_ptr<PLYPersistantPost>>& posts) {
    QList<PLYPostSummary> summaries;
    for (const auto& post : posts) summaries << post->summary();
    return byIdentifier(summaries);
}

}  // namespace

TEST(PostIndex, ReadsBackWhatItWroteAndRefusesWhatCannotNameAPost) {
    const QDateTime created = QDateTime::fromMSecsSinceEpoch(1700000000123, QTimeZone::utc());
    const QList<PLYPostSummary> written = {
        {QStringLiteral("A1"), QStringLiteral("Salt & <b>Pepper</b> \u00e9t\u00e9"), created, created.addSecs(90), QStringLiteral("42")},
        {QStringLiteral("B2"), QString(), QDateTime(), QDateTime(), QString()},
    };
    QList<PLYPostSummary> read;
    QString why;
    ASSERT_TRUE(PLYPostIndex::fromBytes(PLYPostIndex::toBytes(written), &read, &why)) << why.toStdString();
    EXPECT_EQ(read, written);

    const auto refuses = [](const QByteArray& bytes, const std::string& reason) {
        QList<PLYPostSummary> out = {{QStringLiteral("kept"), {}, {}, {}, {}}};
        QString why;
        EXPECT_FALSE(PLYPostIndex::fromBytes(bytes, &out, &why)) << reason;
        EXPECT_FALSE(why.isEmpty()) << reason;
        EXPECT_EQ(out.size(), 1) << "a refused index leaves the list alone: " << reason;
    };
    const QByteArray whole = PLYPostIndex::toBytes(written);
    for (qsizetype cut = 0; cut < whole.size(); ++cut) refuses(whole.left(cut), "cut short at byte " + std::to_string(cut));
    refuses(whole + "x", "bytes after the last entry");
    QByteArray otherVersion = whole;
    otherVersion[7] = '2';
    refuses(otherVersion, "another version");
    QByteArray hugeCount = whole;
    hugeCount[8] = hugeCount[9] = hugeCount[10] = hugeCount[11] = char(0xff);
    refuses(hugeCount, "a count beyond what the file holds");
    QByteArray hugeText = whole;
    hugeText[12] = hugeText[13] = hugeText[14] = char(0x7f);
    refuses(hugeText, "a text length beyond the file");
    refuses(PLYPostIndex::toBytes({{QStringLiteral("../x"), {}, {}, {}, {}}}), "an identifier that leaves the folder");
    refuses(PLYPostIndex::toBytes({written.first(), written.first()}), "a post listed twice");
    QByteArray farDate = PLYPostIndex::toBytes({{QStringLiteral("A1"), {}, {}, {}, {}}});
    farDate[12 + 4 + 2 + 4 + 7] = char(0x7f);  // the creation date's highest byte
    refuses(farDate, "a date no save can have made");

    // Control characters never reach home's tiles, whatever the file says.
    ASSERT_TRUE(PLYPostIndex::fromBytes(PLYPostIndex::toBytes({{QStringLiteral("A1"), QString::fromUtf8("a\0b\x1b" "c", 5), {}, {}, {}}}),
                                        &read, &why));
    EXPECT_EQ(read.first().name, QStringLiteral("abc"));
}

TEST(PostIndex, AnOverlongNameIsCutBetweenCharacters) {
    // Two ASCII letters, then three-byte characters: a cut at the byte bound would fall inside one.
    const QString name = QStringLiteral("xy") + QString(8 * 1024, QChar(0x20ac));
    QList<PLYPostSummary> read;
    QString why;
    ASSERT_TRUE(PLYPostIndex::fromBytes(PLYPostIndex::toBytes({{QStringLiteral("A1"), name, {}, {}, {}}}), &read, &why))
        << why.toStdString();
    ASSERT_EQ(read.size(), 1);
    EXPECT_FALSE(read.first().name.contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(name.startsWith(read.first().name));
    EXPECT_LE(read.first().name.toUtf8().size(), 16 * 1024);
    EXPECT_GT(read.first().name.toUtf8().size(), 16 * 1024 - 3);
}

TEST(LaunchFromIndex, HomeSortsSummariesAtOnceAndTheFoldersCorrectThemBehind) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("index"));
    const QString accountFolder = makeLibrary(root, {QStringLiteral("Alpha"), QStringLiteral("Bravo"), QStringLiteral("Charlie")});
    const QString indexPath = PLYPostIndex::pathForAccountFolder(accountFolder);
    const QByteArray staleIndex = readAll(indexPath);
    ASSERT_FALSE(staleIndex.isEmpty()) << "a save writes the index";

    // Behind the index's back (its write lost, or an older version at work): one post renamed,
    // one deleted, one added, one damaged.
    QString damagedLayout;
    {
        auto store = launch(root);
        auto account = store->signInUser(QStringLiteral("ada@example.org"));
        const auto posts = account->currentPostsSortedByKeys({QStringLiteral("name")}, true);
        posts.at(0)->setName(QStringLiteral("Alpha, renamed"));
        account->removePost(posts.at(1));
        account->createNewPost(QStringLiteral("Delta"))->layout()->add_sections()->mutable_stacked();
        ASSERT_TRUE(store->save());
        damagedLayout = QDir(posts.at(2)->folderPath()).filePath(QStringLiteral("layout"));
    }
    writeAll(indexPath, staleIndex);
    writeAll(damagedLayout, "\xff\xff\xff\xff");

    int updates = 0;
    const auto token = PLYNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr, [&](const PLYNotification&) { ++updates; });
    QStringList logged;
    const int logToken = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { logged << line; });
    auto store = launch(root);
    auto account = store->signInUser(QStringLiteral("ada@example.org"));
    updates = 0;  // the sign-in's own

    // Home's first look: what the index says, without waiting for a single post folder.
    ASSERT_TRUE(store->isLoading());
    const auto shown = account->currentPostsSortedByKeys({QStringLiteral("name")}, true);
    EXPECT_EQ(namesOf(shown), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Bravo"), QStringLiteral("Charlie")}));
    for (const auto& post : shown) EXPECT_TRUE(post->isSummaryOnly());
    EXPECT_TRUE(store->isLoading()) << "sorting by a summary's keys waits for nothing";

    // Then the folders, read behind, correct the list and home hears of it.
    ASSERT_TRUE(waitUntil([&] { return updates > 0; }, 30000));
    PLYLog::removeObserver(logToken);
    PLYNotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_FALSE(store->isLoading());
    const auto corrected = account->currentPostsSortedByKeys({QStringLiteral("name")}, true);
    EXPECT_EQ(namesOf(corrected), (QStringList{QStringLiteral("Alpha, renamed"), QStringLiteral("Delta")}));
    EXPECT_EQ(corrected.first(), shown.first()) << "the tile's post is the same object, now whole";
    ASSERT_EQ(corrected.first()->constLayout().sections_size(), 1);
    EXPECT_EQ(corrected.first()->constLayout().sections(0).blocks(0).text().value(), "Alpha");
    EXPECT_TRUE(std::any_of(logged.cbegin(), logged.cend(), [&](const QString& l) { return l.contains(damagedLayout); }));

    // The damaged post is never written back: not by a save of the store, nor of its summary.
    EXPECT_TRUE(store->save());
    PLYError error;
    EXPECT_FALSE(shown.at(2)->save(&error));
    EXPECT_FALSE(error.toString().isEmpty());
    EXPECT_EQ(readAll(damagedLayout), QByteArray("\xff\xff\xff\xff"));

    // The index now says what the folders say.
    QList<PLYPostSummary> indexed;
    QString why;
    ASSERT_TRUE(PLYPostIndex::read(accountFolder, &indexed, &why)) << why.toStdString();
    EXPECT_EQ(byIdentifier(indexed), foldersSay(accountFolder));
}

TEST(LaunchFromIndex, AskingForMoreThanASummaryWaitsForTheLoadingAndGetsTheSavedPost) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("index"));
    makeLibrary(root, {QStringLiteral("Alpha"), QStringLiteral("Bravo")});
    auto store = launch(root);
    auto account = store->signInUser(QStringLiteral("ada@example.org"));
    const auto posts = account->currentPostsSortedByKeys({QStringLiteral("creationDate")}, false);
    ASSERT_EQ(posts.size(), 2);
    ASSERT_TRUE(posts.first()->isSummaryOnly());
    // No event loop has run: the layout is there because asking for it finished the loading.
    const PLYLayout& layout = posts.first()->constLayout();
    EXPECT_FALSE(store->isLoading());
    EXPECT_FALSE(posts.first()->isSummaryOnly());
    ASSERT_EQ(layout.sections_size(), 1);
    EXPECT_EQ(layout.sections(0).blocks(0).text().value(), posts.first()->name().toStdString());
    // A sort by a key a summary lacks waits too, and an edit after the loading is saved.
    posts.last()->setSeoTitle(QStringLiteral("Coast"));
    EXPECT_TRUE(store->save());
    auto again = launch(root);
    EXPECT_EQ(again->accounts().first()->postForIdentifier(posts.last()->identifier())->seoTitle(), QStringLiteral("Coast"));
}

TEST(LaunchFromIndex, ADamagedIndexIsSetAsideByReadingThePostsBeforeSetUpReturns) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("index"));
    const QString accountFolder = makeLibrary(root, {QStringLiteral("Alpha"), QStringLiteral("Bravo")});
    const QString indexPath = PLYPostIndex::pathForAccountFolder(accountFolder);
    writeAll(indexPath, PLYPostIndex::toBytes({{QStringLiteral("../../x"), QStringLiteral("Elsewhere"), {}, {}, {}}}));
    QStringList logged;
    const int logToken = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { logged << line; });
    auto store = launch(root);
    PLYLog::removeObserver(logToken);
    const auto posts = store->accounts().first()->currentPostsSortedByKeys({QStringLiteral("name")}, true);
    EXPECT_EQ(namesOf(posts), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Bravo")}));
    for (const auto& post : posts) EXPECT_FALSE(post->isSummaryOnly());
    EXPECT_TRUE(std::any_of(logged.cbegin(), logged.cend(), [&](const QString& l) { return l.contains(indexPath); }))
        << "the refused index is named in the log";
    QList<PLYPostSummary> indexed;
    QString why;
    ASSERT_TRUE(PLYPostIndex::read(accountFolder, &indexed, &why)) << why.toStdString();
    EXPECT_EQ(byIdentifier(indexed), foldersSay(accountFolder));
}

// Random libraries and random damage to the index between launches: a launch always ends with
// exactly the posts the folders hold, and the index it leaves says so.
TEST(LaunchFromIndex, WhateverTheIndexSaysALaunchEndsWithWhatTheFoldersHold) {
    constexpr int kSeeds = 8;
    constexpr int kSteps = 40;
    for (unsigned seed = 1; seed <= kSeeds; ++seed) {
        std::mt19937 rng(seed);
        const auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
        const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("walk"));
        const QString accountFolder = makeLibrary(root, {QStringLiteral("First")});
        const QString indexPath = PLYPostIndex::pathForAccountFolder(accountFolder);
        QByteArray older = readAll(indexPath);
        auto store = launch(root);
        for (int step = 0; step < kSteps; ++step) {
            const std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            auto account = store->signInUser(QStringLiteral("ada@example.org"));
            const auto posts = account->currentPosts();
            switch (pick(7)) {
            case 0:
                account->createNewPost(QStringLiteral("Post %1").arg(step))->layout()->add_sections()->mutable_stacked();
                break;
            case 1:
                if (!posts.isEmpty()) posts.at(pick(int(posts.size())))->setName(QStringLiteral("Renamed %1").arg(step));
                break;
            case 2:
                if (!posts.isEmpty()) posts.at(pick(int(posts.size())))->setRemoteIdentifier(QString::number(step));
                break;
            case 3:
                if (!posts.isEmpty()) account->removePost(posts.at(pick(int(posts.size()))));
                break;
            case 4: {
                // An older index, a missing one or a cut-short one, then a new launch.
                ASSERT_TRUE(store->save()) << where;
                const int damage = pick(3);
                store.reset();
                if (damage == 0) writeAll(indexPath, older);
                else if (damage == 1) QFile::remove(indexPath);
                else writeAll(indexPath, readAll(indexPath).left(pick(40)));
                store = launch(root);
                auto relaunched = store->accounts().first();
                ASSERT_TRUE(store->isLoading()) << where;
                relaunched->currentPostsSortedByKeys({QStringLiteral("updatedDate")}, true);
                store->finishLoading();
                EXPECT_EQ(summariesOf(relaunched->currentPosts()), foldersSay(accountFolder)) << where;
                QList<PLYPostSummary> indexed;
                QString why;
                EXPECT_TRUE(PLYPostIndex::read(accountFolder, &indexed, &why)) << where << ": " << why.toStdString();
                EXPECT_EQ(byIdentifier(indexed), foldersSay(accountFolder)) << where;
                break;
            }
            case 5:
                older = readAll(indexPath);
                break;
            default:
                ASSERT_TRUE(store->save()) << where;
                break;
            }
        }
    }
}

// After a launch every folder a post uses is watched: two posts over one folder both see a photo
// added to it.
TEST(LaunchFromIndex, TheFoldersOfThePostsAreWatchedOnceTheLibraryIsRead) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("index"));
    const QString photos = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(photos).filePath(QStringLiteral("a.jpg")), 64, 48));
    {
        auto store = launch(root);
        auto account = store->signInUser(QStringLiteral("ada@example.org"));
        for (const QString& name : {QStringLiteral("Coast"), QStringLiteral("Lakes")}) {
            auto post = account->createNewPost(name);
            post->layout()->add_sections()->mutable_stacked();
            auto location = store->startWatchingPath(photos, {});
            location->setFolderLocation(true);
            post->addSourceLocation(location->identifier());
            location->startWatching();
            ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready && location->watchedImages().size() == 1; }, 30000));
        }
        ASSERT_TRUE(store->save());
    }
    auto store = PLYPersistantStore::create(root);
    store->setUp(true);
    auto account = store->signInUser(QStringLiteral("ada@example.org"));
    const auto posts = account->currentPostsSortedByKeys({QStringLiteral("name")}, true);
    ASSERT_EQ(posts.size(), 2);
    QList<std::shared_ptr<PLYSourceDirectory>> locations;
    for (const auto& post : posts) locations << post->mainSourceDirectory();
    for (const auto& location : locations) ASSERT_NE(location, nullptr);
    ASSERT_TRUE(waitUntil([&] {
        return std::all_of(locations.cbegin(), locations.cend(), [](const auto& l) { return l->isWatching() && l->state() == PLYSourceDirectory::Ready; });
    }, 30000));
    ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(photos).filePath(QStringLiteral("b.jpg")), 64, 48));
    for (const auto& location : locations)
        EXPECT_TRUE(waitUntil([&] { return location->watchedImages().size() == 2; }, 30000)) << location->filePath().toStdString();
}

// The autosave runs every few seconds: with nothing changed it writes no file of the library.
TEST(LaunchFromIndex, ASaveWithNothingChangedWritesNoFileAndAChangeWritesItsOwn) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("index"));
    const QString accountFolder = makeLibrary(root, {QStringLiteral("Alpha"), QStringLiteral("Bravo")});
    auto store = launch(root);
    auto account = store->signInUser(QStringLiteral("ada@example.org"));
    const auto posts = account->currentPostsSortedByKeys({QStringLiteral("name")}, true);
    const QStringList files = {QDir(accountFolder).filePath(QStringLiteral("info.plist")), PLYPostIndex::pathForAccountFolder(accountFolder),
                               QDir(posts.first()->folderPath()).filePath(QStringLiteral("info.plist")),
                               QDir(posts.first()->folderPath()).filePath(QStringLiteral("layout"))};
    // An atomic write replaces the file: a new inode, whatever the clock's resolution.
    const auto identities = [&] {
        QStringList ids;
        for (const QString& file : files) {
            struct stat st {};
            EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0) << file.toStdString();
            ids << QStringLiteral("%1:%2.%3").arg(st.st_ino).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
        }
        return ids;
    };
    const QStringList before = identities();
    ASSERT_TRUE(store->save());
    ASSERT_TRUE(store->save());
    EXPECT_EQ(identities(), before);

    account->setFirstName(QStringLiteral("Augusta"));
    posts.first()->setName(QStringLiteral("Alpha, renamed"));
    ASSERT_TRUE(store->save());
    const QStringList after = identities();
    EXPECT_NE(after.at(0), before.at(0)) << "the account's info file";
    EXPECT_NE(after.at(1), before.at(1)) << "the index, for the new name";
    EXPECT_NE(after.at(2), before.at(2)) << "the renamed post's info file";
    EXPECT_EQ(after.at(3), before.at(3)) << "its layout did not change";
    store.reset();
    auto again = launch(root);
    EXPECT_EQ(again->signInUser(QStringLiteral("ada@example.org"))->firstName(), QStringLiteral("Augusta"));
}

// A name longer than the index holds was cut there but not in the post: each launch found them
// different, told home the posts had changed and wrote the index again.
TEST(LaunchFromIndex, AnOverlongNameIsHeldToWhatTheIndexKeepsSoALaunchFindsNothingChanged) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("index"));
    const QString name = QStringLiteral("Skye ") + QString(20 * 1024, QChar(0x20ac));
    const QString accountFolder = makeLibrary(root, {name});
    const QString indexPath = PLYPostIndex::pathForAccountFolder(accountFolder);
    const auto identity = [&] {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(indexPath).constData(), &st), 0);
        return QStringLiteral("%1:%2.%3").arg(st.st_ino).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
    };
    const QString before = identity();

    int updates = 0;
    const auto token = PLYNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr, [&](const PLYNotification&) { ++updates; });
    auto store = launch(root);
    auto account = store->signInUser(QStringLiteral("ada@example.org"));
    updates = 0;  // the sign-in's own
    const auto posts = account->currentPosts();
    ASSERT_TRUE(waitUntil([&] { return !store->isLoading(); }, 30000));
    QCoreApplication::processEvents();
    PLYNotificationCenter::defaultCenter().removeObserver(token);
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(updates, 0) << "home was told the posts changed";
    EXPECT_EQ(identity(), before) << "the launch wrote the index again";
    EXPECT_TRUE(name.startsWith(posts.first()->name()));
    EXPECT_LE(posts.first()->name().toUtf8().size(), 16 * 1024);
}
