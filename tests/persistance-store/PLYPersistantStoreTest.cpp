#include "PLYCoreManager.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPropertyList.h"
#include "PLYTestEnvironment.h"
#include "PLYWebServiceGateway.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Stands in for the web-service side, recording what the store asks of it.
class RecordingGateway : public PLYWebServiceGateway {
public:
    void beginManager() override { ++begun; }
    void clearStoredKeys() override { ++cleared; }
    QString storedEmail() const override { return email; }
    void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>&, std::function<void(bool)> done) override { done(true); }
    int begun = 0;
    int cleared = 0;
    QString email;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

std::shared_ptr<PLYPersistantStore> freshStore(const QString& root) {
    auto store = PLYPersistantStore::create(root);
    store->setUp(false);
    return store;
}

}  // namespace

TEST(PLYPersistantStore, AccountAndPostRoundTripEveryField) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("store"));
    QString postId;
    std::string layoutBytes;
    {
        auto store = freshStore(root);
        auto account = store->signInUser(QStringLiteral("  Writer@Example.com "));
        ASSERT_TRUE(account);
        account->setFirstName(QStringLiteral("Ada"));
        account->setLastName(QStringLiteral("Lovelace"));
        auto post = account->createNewPost(QStringLiteral("Autumn walk"));
        post->setSeoTitle(QStringLiteral("Autumn in the hills"));
        post->setMetaDescription(QStringLiteral("Leaves & light <3"));
        post->setFocusKeywords(QStringList{QStringLiteral("autumn"), QStringLiteral("hills")});
        post->setRemoteIdentifier(QStringLiteral("remote-42"));
        post->addSourceLocation(QStringLiteral("LOC-1"));
        post->toggleImageHiddenForImage(QStringLiteral("IMG-H"));
        post->incrementInUseCountForImage(QStringLiteral("IMG-A"));
        post->incrementInUseCountForImage(QStringLiteral("IMG-A"));
        post->setFocusKeywordsForImage({QStringLiteral("red"), QStringLiteral("leaf")}, QStringLiteral("IMG-B"));
        PLYSection* section = post->layout()->add_sections();
        section->set_id("S1");
        section->mutable_stacked();
        PLYBlock* block = section->add_blocks();
        block->set_id("B1");
        block->mutable_image()->set_img_ref("IMG-A");
        block->set_aspect_ratio(1.5f);
        postId = post->identifier();
        layoutBytes = post->constLayout().SerializeAsString();
        ASSERT_TRUE(store->save());
    }
    auto store = freshStore(root);
    ASSERT_EQ(store->accounts().size(), 1);
    auto account = store->signInUser(QStringLiteral("writer@example.COM"));
    ASSERT_EQ(store->accounts().size(), 1) << "sign-in must match the e-mail without case or blanks";
    EXPECT_EQ(account->email(), QStringLiteral("Writer@Example.com"));
    EXPECT_EQ(account->firstName(), QStringLiteral("Ada"));
    EXPECT_EQ(account->lastName(), QStringLiteral("Lovelace"));
    ASSERT_EQ(account->currentPosts().size(), 1);
    auto post = account->currentPosts().first();
    EXPECT_EQ(post->identifier(), postId);
    EXPECT_EQ(post->name(), QStringLiteral("Autumn walk"));
    EXPECT_EQ(post->seoTitle(), QStringLiteral("Autumn in the hills"));
    EXPECT_EQ(post->metaDescription(), QStringLiteral("Leaves & light <3"));
    ASSERT_TRUE(post->focusKeywords().has_value());
    EXPECT_EQ(*post->focusKeywords(), (QStringList{QStringLiteral("autumn"), QStringLiteral("hills")}));
    EXPECT_EQ(post->remoteIdentifier(), QStringLiteral("remote-42"));
    EXPECT_EQ(post->sourceLocations(), QStringList{QStringLiteral("LOC-1")});
    EXPECT_TRUE(post->isImageHidden(QStringLiteral("IMG-H")));
    EXPECT_EQ(post->inUseCountForImage(QStringLiteral("IMG-A")), 2);
    EXPECT_EQ(post->focusKeywordsForImage(QStringLiteral("IMG-B")), (QStringList{QStringLiteral("red"), QStringLiteral("leaf")}));
    EXPECT_EQ(post->inUseCountForImage(QStringLiteral("IMG-B")), 0);
    EXPECT_TRUE(post->creationDate().isValid());
    EXPECT_EQ(post->constLayout().SerializeAsString(), layoutBytes);
    EXPECT_EQ(readAll(QDir(post->folderPath()).filePath(QStringLiteral("layout"))).toStdString(), layoutBytes);
    EXPECT_TRUE(post->folderPath().endsWith(QStringLiteral(".plypost")));
    EXPECT_TRUE(account->folderPath().endsWith(QStringLiteral(".plyuser")));
}

TEST(PLYPersistantStore, InfoFilesAreXmlPropertyLists) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("store"));
    auto store = freshStore(root);
    auto account = store->signInUser(QStringLiteral("a@b.c"));
    auto post = account->createNewPost(QStringLiteral("P"));
    ASSERT_TRUE(store->save());
    const QByteArray xml = readAll(QDir(post->folderPath()).filePath(QStringLiteral("info.plist")));
    EXPECT_TRUE(xml.startsWith("<?xml"));
    EXPECT_TRUE(xml.contains("<key>name</key>"));
    EXPECT_TRUE(readAll(QDir(account->folderPath()).filePath(QStringLiteral("info.plist"))).contains("a@b.c"));
}

TEST(PLYPersistantStore, CorruptFilesAreSkippedAndLeftUntouched) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("store"));
    QString badPostInfo, badLayoutFolder, badAccountInfo;
    {
        auto store = freshStore(root);
        auto account = store->signInUser(QStringLiteral("a@b.c"));
        for (const QString& name : {QStringLiteral("Good"), QStringLiteral("Bad"), QStringLiteral("Bad layout")})
            account->createNewPost(name)->layout()->add_sections()->mutable_stacked();
        auto bad = account->currentPosts().at(1);
        auto badLayout = account->currentPosts().at(2);
        auto other = store->signInUser(QStringLiteral("other@b.c"));
        other->createNewPost(QStringLiteral("Other's"))->layout()->add_sections()->mutable_stacked();
        ASSERT_TRUE(store->save());
        store->signInUser(QStringLiteral("a@b.c"));
        ASSERT_TRUE(store->save());
        badPostInfo = QDir(bad->folderPath()).filePath(QStringLiteral("info.plist"));
        badLayoutFolder = badLayout->folderPath();
        badAccountInfo = QDir(other->folderPath()).filePath(QStringLiteral("info.plist"));
    }
    const QByteArray garbage = "<?xml version=\"1.0\"?><plist><dict><key>name</ke";
    for (const QString& path : {badPostInfo, badAccountInfo}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(garbage);
    }
    {
        QFile f(QDir(badLayoutFolder).filePath(QStringLiteral("layout")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("\xff\xff\xff\xff\xff\xff");
    }
    const QByteArray badLayoutBytes = readAll(QDir(badLayoutFolder).filePath(QStringLiteral("layout")));

    // The last good copy of the account's info file is damaged as well: only the folder is left.
    ASSERT_TRUE(QFile::remove(badAccountInfo + QStringLiteral(".last-good")));
    QStringList logged;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { logged << line; });
    auto store = freshStore(root);
    // The posts' folders are read behind set-up; what they hold is known once that is done.
    store->finishLoading();
    PLYLog::removeObserver(token);
    for (const QString& path : {badPostInfo, badAccountInfo, QDir(badLayoutFolder).filePath(QStringLiteral("layout"))})
        EXPECT_TRUE(std::any_of(logged.cbegin(), logged.cend(), [&](const QString& l) { return l.contains(path); }))
            << "no log line names " << path.toStdString();
    ASSERT_EQ(store->accounts().size(), 2) << "the account with a damaged info file is recovered from its folder";
    auto account = store->signInUser(QStringLiteral("a@b.c"));
    ASSERT_EQ(account->currentPosts().size(), 1);
    EXPECT_EQ(account->currentPosts().first()->name(), QStringLiteral("Good"));
    ASSERT_TRUE(store->save());
    EXPECT_EQ(readAll(badPostInfo), garbage);
    const QStringList aside = QDir(QFileInfo(badAccountInfo).path()).entryList({QStringLiteral("info.plist.damaged-*")});
    ASSERT_EQ(aside.size(), 1) << "the damaged file is kept aside under a name that says so";
    EXPECT_EQ(readAll(QDir(QFileInfo(badAccountInfo).path()).filePath(aside.first())), garbage);
    EXPECT_EQ(readAll(QDir(badLayoutFolder).filePath(QStringLiteral("layout"))), badLayoutBytes);

    // Signing in again takes the recovered account over, with its post: no second account.
    auto recovered = store->signInUser(QStringLiteral("other@b.c"));
    EXPECT_EQ(store->accounts().size(), 2);
    ASSERT_EQ(recovered->currentPosts().size(), 1);
    EXPECT_EQ(recovered->currentPosts().first()->name(), QStringLiteral("Other's"));
    EXPECT_EQ(freshStore(root)->signInUser(QStringLiteral("other@b.c"))->currentPosts().size(), 1)
        << "the taken-over account was written back";
}

TEST(PLYPersistantStore, UpdatedDateMovesOnlyWhenASaveChangesThePost) {
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("store"));
    auto store = freshStore(root);
    auto post = store->signInUser(QStringLiteral("a@b.c"))->createNewPost(QStringLiteral("P"));
    post->layout()->add_sections()->mutable_stacked();
    ASSERT_TRUE(post->save());
    const QDateTime first = post->updatedDate();
    QThread::msleep(20);
    ASSERT_TRUE(post->save());
    EXPECT_EQ(post->updatedDate(), first);
    post->setName(QStringLiteral("Renamed"));
    ASSERT_TRUE(post->save());
    EXPECT_GT(post->updatedDate(), first);
    const QDateTime second = post->updatedDate();

    auto reloaded = freshStore(root);
    auto again = reloaded->signInUser(QStringLiteral("a@b.c"))->currentPosts().first();
    EXPECT_EQ(again->updatedDate().toMSecsSinceEpoch() / 1000, second.toMSecsSinceEpoch() / 1000);
    const QByteArray onDisk = readAll(QDir(again->folderPath()).filePath(QStringLiteral("info.plist")));
    QThread::msleep(20);
    ASSERT_TRUE(again->save());
    EXPECT_EQ(readAll(QDir(again->folderPath()).filePath(QStringLiteral("info.plist"))), onDisk)
        << "a reloaded post saved unchanged is not rewritten with a new date";
}

TEST(PLYPersistantStore, SignOutClearsTheHostsKeys) {
    RecordingGateway gateway;
    PLYCoreManager::setWebServiceGateway(&gateway);
    auto store = freshStore(PLYTestEnvironment::makeTempDirectory(QStringLiteral("store")));
    store->signInUser(QStringLiteral("a@b.c"));
    store->signOut();
    EXPECT_FALSE(store->currentAccount());
    EXPECT_EQ(gateway.cleared, 1);
    PLYCoreManager::setWebServiceGateway(nullptr);
}

TEST(PLYPersistantStore, PostsSortByKeysInOneDirection) {
    auto store = freshStore(PLYTestEnvironment::makeTempDirectory(QStringLiteral("store")));
    auto account = store->signInUser(QStringLiteral("a@b.c"));
    account->createNewPost(QStringLiteral("b"));
    account->createNewPost(QStringLiteral("c"));
    account->createNewPost(QStringLiteral("a"));
    auto names = [](const QList<std::shared_ptr<PLYPersistantPost>>& posts) {
        QStringList n;
        for (const auto& p : posts) n << p->name();
        return n;
    };
    EXPECT_EQ(names(account->currentPostsSortedByKeys({QStringLiteral("name")}, true)),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(names(account->currentPostsSortedByKeys({QStringLiteral("name")}, false)),
              (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
}

TEST(PLYPropertyList, RefusesDamagedInput) {
    QVariantMap out;
    PLYError error;
    EXPECT_FALSE(PLYPropertyList::fromXml("", &out, &error));
    EXPECT_FALSE(PLYPropertyList::fromXml("<plist><array><string>x</string></array></plist>", &out, &error));
    QVariantMap in{{QStringLiteral("n"), qint64(-7)}, {QStringLiteral("d"), QByteArray("\x00\x01", 2)},
                   {QStringLiteral("t"), QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc())},
                   {QStringLiteral("nested"), QVariantMap{{QStringLiteral("l"), QVariant(QVariantList{true, 2.5})}}}};
    ASSERT_TRUE(PLYPropertyList::fromXml(PLYPropertyList::toXml(in), &out, &error));
    EXPECT_EQ(out.value(QStringLiteral("n")).toLongLong(), -7);
    EXPECT_EQ(out.value(QStringLiteral("d")).toByteArray(), QByteArray("\x00\x01", 2));
    EXPECT_EQ(out.value(QStringLiteral("t")).toDateTime().toSecsSinceEpoch(), 1700000000);
    EXPECT_EQ(out.value(QStringLiteral("nested")).toMap().value(QStringLiteral("l")).toList().value(1).toDouble(), 2.5);
}
