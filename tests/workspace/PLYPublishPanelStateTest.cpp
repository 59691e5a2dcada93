// What the publish panel shows and does, without widgets: every (publisher state, service
// state, blog publisher status) row, the blog and publish views' pop-ups, the publish action's
// choices, and the upload's progress texts.
#include "PLYPublishPanelState.h"
#include "PLYWebServicePostPublisher.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

using Publisher = PLYWebServicePostPublisher;
using State = PLYPublishPanelState;

enum class Shows { Fetching, NoService, Published, Publish };
enum class Strip { Idle, Updating, Incomplete };

struct Row {
    const char* publisher;  // "" : no publisher
    Shows normal;           // under a working service
    Shows notVerified;      // while the account awaits verification
    Strip strip;            // the state view, where it shows
};

// Every publisher state, and no publisher at all.
const Row rows[] = {
    {"", Shows::Fetching, Shows::Fetching, Strip::Idle},
    {Publisher::StateFetchingInfo, Shows::Fetching, Shows::Fetching, Strip::Idle},
    {Publisher::StateWaitingForService, Shows::NoService, Shows::Publish, Strip::Idle},
    {Publisher::StateNotPublished, Shows::Publish, Shows::Publish, Strip::Idle},
    {Publisher::StateIdle, Shows::Published, Shows::Publish, Strip::Idle},
    {Publisher::StateUpdateAvailable, Shows::Published, Shows::Publish, Strip::Idle},
    {Publisher::StateCreatingPost, Shows::Published, Shows::Publish, Strip::Updating},
    {Publisher::StateCreatedPost, Shows::Published, Shows::Publish, Strip::Updating},
    {Publisher::StateUploadingImages, Shows::Published, Shows::Publish, Strip::Updating},
    {Publisher::StateUpdatingPost, Shows::Published, Shows::Publish, Strip::Updating},
    {Publisher::StateUpdatedPost, Shows::Published, Shows::Publish, Strip::Idle},
    {Publisher::StateServerBuilding, Shows::Published, Shows::Publish, Strip::Updating},
    {Publisher::StateCancelling, Shows::Published, Shows::Publish, Strip::Idle},
    {Publisher::StateUploadIncomplete, Shows::Published, Shows::Publish, Strip::Incomplete},
};

bool isUpdating(const QString& state) {
    return QStringList{"CREATING_POST", "CREATED_POST", "UPLOADING_IMAGES", "UPDATING_POST", "SERVER_BUILDING"}.contains(state);
}

PLYPublishPanelInputs inputsFor(const Row& row, const QString& service, std::optional<qint64> blogStatus) {
    PLYPublishPanelInputs in;
    in.publisherState = QString::fromLatin1(row.publisher);
    in.serviceState = service;
    in.updating = isUpdating(in.publisherState);
    in.canCancel = in.updating;
    in.accountHost = QStringLiteral("blog.example.org");
    in.hasBlogPublisher = blogStatus.has_value();
    in.blogPublisherStatus = blogStatus.value_or(0);
    in.categories = {QStringLiteral("Travel"), QStringLiteral("Food")};
    in.defaultCategory = QStringLiteral("Travel");
    in.hasRemotePost = true;
    in.postCreated = QDateTime(QDate(2024, 3, 5), QTime(14, 7));
    in.imagesRequired = 5;
    in.imagesFailed = 2;
    return in;
}

}  // namespace

TEST(PublishPanelState, EveryPublisherStateServiceStateAndBlogStatusShowsItsRow) {
    const QStringList services{QStringLiteral("IDLE"), QStringLiteral("NO_INTERNET"), QStringLiteral("NOT_VERIFIED")};
    const std::optional<qint64> blogStatuses[] = {std::nullopt, 0, 4};
    int checked = 0;
    for (const Row& row : rows) {
        for (const QString& service : services) {
            for (const auto& blog : blogStatuses) {
                const PLYPublishPanelInputs in = inputsFor(row, service, blog);
                const PLYPublishPanelView v = State::compute(in);
                const Shows shows = service == "NOT_VERIFIED" ? row.notVerified : row.normal;
                const std::string where = std::string(row.publisher) + " / " + service.toStdString() + " / " +
                                          (blog ? std::to_string(*blog) : "no blog");
                SCOPED_TRACE(where);
                ASSERT_TRUE(v.headerVisible.has_value());
                EXPECT_EQ(*v.headerVisible, shows != Shows::Publish);
                EXPECT_EQ(v.fetchingVisible, shows == Shows::Fetching);
                EXPECT_EQ(v.noInternetVisible, shows == Shows::NoService);
                EXPECT_EQ(v.infoVisible, shows == Shows::Published);
                EXPECT_EQ(v.stateVisible, shows == Shows::Published);
                EXPECT_EQ(v.wordpressVisible, shows == Shows::Published && blog.has_value());
                EXPECT_EQ(v.publishVisible, shows == Shows::Publish);
                if (shows == Shows::Publish) {
                    EXPECT_EQ(v.publish.wordpressVisible, blog.has_value());
                    EXPECT_EQ(v.publish.generalHostVisible, !blog.has_value());
                    EXPECT_EQ(v.publish.popUpEnabled, blog.has_value() && (*blog == 0 || !in.categories.isEmpty()));
                }
                if (shows == Shows::Published) {
                    const auto& s = v.state;
                    EXPECT_EQ(s.progressVisible, row.strip == Strip::Updating);
                    EXPECT_EQ(s.cancelVisible, row.strip != Strip::Idle);
                    EXPECT_EQ(s.retryVisible, row.strip == Strip::Incomplete);
                    EXPECT_EQ(s.updateButtonVisible, row.strip == Strip::Idle);
                    EXPECT_EQ(s.updateButtonEnabled, in.publisherState == "UPDATE_AVAILABLE");
                    EXPECT_EQ(s.infoLabelVisible, row.strip != Strip::Idle);
                    EXPECT_EQ(v.info.indicatorAnimating, row.strip == Strip::Updating);
                    EXPECT_EQ(v.info.statusPopUpVisible, row.strip == Strip::Idle);
                    if (row.strip == Strip::Idle) {
                        EXPECT_EQ(s.infoText, in.publisherState == "UPDATE_AVAILABLE" ? "Update available" : "0 changes");
                    }
                    if (row.strip == Strip::Incomplete) {
                        EXPECT_EQ(s.infoText, "2 of 5 images could not be uploaded");
                    }
                    if (blog) {
                        EXPECT_EQ(v.wordpress.errorText, *blog == 0 ? QString() : QStringLiteral("Password is incorrect"));
                        EXPECT_FALSE(*blog != 0 && v.wordpress.popUpEnabled);
                    }
                }
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 14 * 3 * 3);

    // Folded, nothing but the header (left as it was) shows.
    PLYPublishPanelInputs folded = inputsFor(rows[4], QStringLiteral("IDLE"), 0);
    folded.collapsed = true;
    const PLYPublishPanelView v = State::compute(folded);
    EXPECT_FALSE(v.headerVisible.has_value());
    EXPECT_FALSE(v.fetchingVisible || v.noInternetVisible || v.wordpressVisible || v.infoVisible || v.stateVisible ||
                 v.publishVisible);
}

TEST(PublishPanelState, BlogViewFollowsTheShownPublishRevisionAndNeverSelectsAMissingCategory) {
    PLYPublishPanelInputs in = inputsFor(rows[4], QStringLiteral("IDLE"), 0);
    in.hasLiveRevision = true;
    in.livePublishSuccessful = true;

    // Live revision on the blog: its category, its draft flag, a green light, editable.
    in.shownPublishRevision = PLYPublishRevisionFacts{0, true, false, QStringLiteral("Food")};
    auto w = State::compute(in).wordpress;
    EXPECT_EQ(w.menu, (PLYCategoryMenu{{"Travel", "Food"}, "Food"}));
    EXPECT_EQ(w.draftChecked, true);
    EXPECT_EQ(w.statusImage, "green-light");
    EXPECT_TRUE(w.popUpEnabled && w.draftEnabled);
    EXPECT_EQ(State::compute(in).state.linkTitle, "Visit Page");

    // The blog refused it: red light and its reason. A category the blog no longer has selects
    // "Don't Publish", never a title outside the list.
    in.shownPublishRevision = PLYPublishRevisionFacts{3, false, true, QStringLiteral("Removed")};
    in.livePublishSuccessful = false;
    w = State::compute(in).wordpress;
    EXPECT_EQ(w.menu.selected, QString());
    EXPECT_TRUE(w.menu.selected.isNull());
    EXPECT_EQ(w.statusImage, "red-light");
    EXPECT_EQ(w.errorText, "Username is incorrect");
    EXPECT_EQ(State::compute(in).state.linkTitle, "Copy Link");

    // Still building on the blog (status 1): nothing editable, no error.
    in.shownPublishRevision = PLYPublishRevisionFacts{1, false, true, {}};
    w = State::compute(in).wordpress;
    EXPECT_TRUE(w.errorText.isNull());
    EXPECT_FALSE(w.popUpEnabled || w.draftEnabled);
    EXPECT_EQ(w.menu.selected, "Travel") << "no category of its own: the blog's default";

    // Live without the blog: an update does not go to the blog unless chosen.
    in.shownPublishRevision.reset();
    in.lastUsedAutoPublish = true;
    w = State::compute(in).wordpress;
    EXPECT_TRUE(w.menu.selected.isNull());
    EXPECT_EQ(w.draftChecked, false);
    // The last choice wins over the default while no live revision says otherwise.
    in.hasLiveRevision = false;
    in.lastUsedCategory = QStringLiteral("Food");
    EXPECT_EQ(State::compute(in).wordpress.menu.selected, "Food");
    in.lastUsedCategory = QString();  // "Don't Publish" was chosen
    EXPECT_TRUE(State::compute(in).wordpress.menu.selected.isNull());

    // No categories fetched: one placeholder, selected.
    in.categories.clear();
    in.lastUsedCategory.reset();
    EXPECT_EQ(State::compute(in).wordpress.menu, (PLYCategoryMenu{{"Categories Not Fetched"}, "Categories Not Fetched"}));
}

// The info view claims a publication only once one is live: not while the first one is still
// on its way, and not for a post that went live with "Don't Publish" (or that the blog refused)
// while the account has a blog.
TEST(PublishPanelState, TheInfoViewSaysPublishedOnlyOfWhatIsLive) {
    struct Case {
        const char* what;
        const char* state;
        bool blog;
        bool live;
        std::optional<PLYPublishRevisionFacts> publish;  // the live revision's publish revision
        bool published;
    };
    const PLYPublishRevisionFacts onBlog{0, true, true, QStringLiteral("Travel")};
    const PLYPublishRevisionFacts refused{3, false, true, QStringLiteral("Travel")};
    const Case cases[] = {
        {"first upload, with a blog", Publisher::StateUploadingImages, true, false, std::nullopt, false},
        {"first upload, a website", Publisher::StateUploadingImages, false, false, std::nullopt, false},
        {"first post sent", Publisher::StateCreatingPost, true, false, std::nullopt, false},
        {"first build", Publisher::StateServerBuilding, false, false, std::nullopt, false},
        {"first upload incomplete", Publisher::StateUploadIncomplete, true, false, std::nullopt, false},
        {"first publication cancelled", Publisher::StateUpdateAvailable, false, false, std::nullopt, false},
        {"built with Don't Publish", Publisher::StateIdle, true, true, std::nullopt, false},
        {"Don't Publish, then edited", Publisher::StateUpdateAvailable, true, true, std::nullopt, false},
        {"refused by the blog", Publisher::StateIdle, true, true, refused, false},
        {"on the blog", Publisher::StateIdle, true, true, onBlog, true},
        {"on the blog, an update uploading", Publisher::StateUploadingImages, true, true, onBlog, true},
        {"a website's live post", Publisher::StateIdle, false, true, std::nullopt, true},
        {"a website's live post, updating", Publisher::StateServerBuilding, false, true, std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PLYPublishPanelInputs in = inputsFor(Row{c.state, Shows::Published, Shows::Publish, Strip::Idle}, QStringLiteral("IDLE"),
                                             c.blog ? std::optional<qint64>(0) : std::nullopt);
        in.hasLiveRevision = c.live;
        in.liveUpdated = in.postCreated;
        in.livePublishSuccessful = c.publish && c.publish->successful;
        if (!in.updating) in.shownPublishRevision = c.publish;
        const PLYPublishPanelView::Info info = State::compute(in).info;
        EXPECT_EQ(info.publishedRowVisible, c.published);
        EXPECT_EQ(info.statusTitle, c.published ? "Published" : "Not Published");
        if (c.published) {
            EXPECT_EQ(info.publishedDate, "02:07PM, 05/03/24");
        }
    }
}

TEST(PublishPanelState, PublishViewForHostsBlogsAndProblems) {
    PLYPublishPanelInputs in = inputsFor(rows[3], QStringLiteral("IDLE"), std::nullopt);
    in.accountHost = QStringLiteral("");
    auto p = State::compute(in).publish;
    EXPECT_FALSE(p.wordpressVisible || p.generalHostVisible) << "an empty host is no host";
    EXPECT_FALSE(p.lineOnTop);
    EXPECT_EQ(p.background, QColor(0xFA, 0xFA, 0xFA));

    in = inputsFor(rows[3], QStringLiteral("IDLE"), 0);
    p = State::compute(in).publish;
    EXPECT_EQ(*p.menu, (PLYCategoryMenu{{"Travel", "Food"}, "Travel"}));
    EXPECT_EQ(p.draftChecked, true) << "the blog does not auto-publish";
    in.blogPublisherStatus = 2;
    in.categories.clear();
    p = State::compute(in).publish;
    EXPECT_EQ(*p.menu, (PLYCategoryMenu{{"Categories Not Fetched"}, "Categories Not Fetched"}));
    EXPECT_FALSE(p.popUpEnabled || p.draftEnabled);
}

TEST(PublishPanelState, PublishActionStartsOnlyFromUnpublishedOrBehindAndNeverSendsThePlaceholder) {
    const QString idle = QStringLiteral("IDLE");
    using A = PLYPublishChoice::Action;
    // An up-to-date post whose blog choice did not change has nothing to send: refused, like
    // every busy state.
    for (const char* state : {"IDLE", "FETCHING_INFO", "CREATING_POST", "UPLOADING_IMAGES", "SERVER_BUILDING",
                              "UPLOAD_INCOMPLETE", "CANCELLING", "WAITING_FOR_SERVICE", ""})
        EXPECT_EQ(State::choosePublishAction(state, idle, true, "Travel", false).action, A::Ignore) << state;
    // Awaiting verification, the publisher asks for it.
    EXPECT_EQ(State::choosePublishAction("WAITING_FOR_SERVICE", "NOT_VERIFIED", false, {}, false).action, A::Upload);

    auto choice = State::choosePublishAction("NOT_PUBLISHED", idle, false, "Travel", false);
    EXPECT_EQ(choice.action, A::Upload) << "without a blog publisher nothing goes to a blog";
    EXPECT_FALSE(choice.rememberCategory || choice.rememberAutoPublish);

    choice = State::choosePublishAction("UPDATE_AVAILABLE", idle, true, "Travel", false);
    EXPECT_EQ(choice.action, A::PublishToBlog);
    EXPECT_EQ(choice.category, "Travel");
    EXPECT_TRUE(choice.autoPublish);
    EXPECT_EQ(choice.rememberCategory, "Travel");

    choice = State::choosePublishAction("NOT_PUBLISHED", idle, true, QString(), true);
    EXPECT_EQ(choice.action, A::Upload) << "\"Don't Publish\", whatever the draft box says";
    ASSERT_TRUE(choice.rememberCategory);
    EXPECT_TRUE(choice.rememberCategory->isNull());

    choice = State::choosePublishAction("NOT_PUBLISHED", idle, true, "Categories Not Fetched", true);
    EXPECT_EQ(choice.action, A::PublishToBlog);
    EXPECT_TRUE(choice.category.isNull()) << "the placeholder is never sent as a category";
    EXPECT_FALSE(choice.autoPublish);
    EXPECT_FALSE(choice.rememberCategory);
}

// The user's blog choice stays shown until sent, and on an up-to-date post makes Update
// available exactly when it differs from what the live revision was published with.
TEST(PublishPanelState, TheUsersBlogChoiceIsShownAndEnablesUpdateOnlyWhereItDiffersFromTheLiveOne) {
    const Row& idleRow = rows[4];
    ASSERT_STREQ(idleRow.publisher, Publisher::StateIdle);
    PLYPublishPanelInputs in = inputsFor(idleRow, QStringLiteral("IDLE"), 0);
    in.hasLiveRevision = true;
    in.shownPublishRevision = PLYPublishRevisionFacts{0, true, true, QStringLiteral("Travel")};
    EXPECT_EQ(State::liveBlogChoice(in), (PLYBlogChoice{QStringLiteral("Travel"), false}));
    EXPECT_FALSE(State::compute(in).state.updateButtonEnabled);

    const struct {
        std::optional<PLYBlogChoice> chosen;
        bool differs;
    } cases[] = {
        {std::nullopt, false},
        {PLYBlogChoice{QStringLiteral("Travel"), false}, false},
        {PLYBlogChoice{QStringLiteral("Travel"), true}, true},
        {PLYBlogChoice{QStringLiteral("Food"), false}, true},
        {PLYBlogChoice{QString(), false}, true},
    };
    for (const auto& c : cases) {
        in.infoChoice = c.chosen;
        SCOPED_TRACE(c.chosen ? c.chosen->category.toStdString() + (c.chosen->draft ? " draft" : "") : "none");
        EXPECT_EQ(State::blogChoiceChanged(in), c.differs);
        const PLYPublishPanelView v = State::compute(in);
        EXPECT_EQ(v.state.updateButtonEnabled, c.differs);
        const PLYBlogChoice shown = c.chosen.value_or(State::liveBlogChoice(in));
        EXPECT_EQ(v.wordpress.menu.selected, shown.category);
        EXPECT_EQ(v.wordpress.draftChecked, shown.draft);
        const auto action = State::choosePublishAction(in.publisherState, in.serviceState, true, shown.category,
                                                       shown.draft, State::blogChoiceChanged(in));
        EXPECT_EQ(action.action == PLYPublishChoice::Action::Ignore, !c.differs);
    }

    // Live without the blog: "Don't Publish" is what it was published with; the draft box alone
    // changes nothing, a category does.
    in.shownPublishRevision.reset();
    in.infoChoice = PLYBlogChoice{QString(), false};
    EXPECT_FALSE(State::blogChoiceChanged(in));
    in.infoChoice = PLYBlogChoice{QStringLiteral("Food"), true};
    EXPECT_TRUE(State::blogChoiceChanged(in));
    EXPECT_EQ(State::compute(in).wordpress.menu.selected, "Food");

    // Behind or busy, the choice never enables anything by itself; a blog with a problem neither.
    for (const char* state : {"UPLOADING_IMAGES", "UPLOAD_INCOMPLETE", "FETCHING_INFO"}) {
        PLYPublishPanelInputs other = in;
        other.publisherState = QString::fromLatin1(state);
        other.updating = isUpdating(other.publisherState);
        EXPECT_FALSE(State::compute(other).state.updateButtonEnabled) << state;
    }
    in.blogPublisherStatus = 4;
    EXPECT_FALSE(State::blogChoiceChanged(in));

    // Not published yet: the publish view shows the choice over the blog's defaults.
    PLYPublishPanelInputs fresh = inputsFor(rows[3], QStringLiteral("IDLE"), 0);
    fresh.blogAutoPublish = false;
    EXPECT_EQ(State::compute(fresh).publish.menu->selected, "Travel");
    EXPECT_EQ(State::compute(fresh).publish.draftChecked, true);
    fresh.publishChoice = PLYBlogChoice{QStringLiteral("Food"), false};
    EXPECT_EQ(State::compute(fresh).publish.menu->selected, "Food");
    EXPECT_EQ(State::compute(fresh).publish.draftChecked, false);
}

TEST(PublishPanelState, ProgressKeepsTheHighestCountOfItsBatch) {
    PLYUploadProgress progress;
    const QString uploading = QString::fromLatin1(Publisher::StateUploadingImages);
    const auto report = [&](qint64 uploaded, qint64 required) {
        progress.take(uploading, {{"uploaded", uploaded}, {"required", required}, {"transition", QVariant()}});
    };
    EXPECT_EQ(progress.text(uploading), "Uploading Images...");
    EXPECT_EQ(progress.value(uploading), 0.0);
    progress.take(uploading, {});
    report(2, 5);
    report(1, 5);  // an older report arriving late
    EXPECT_EQ(progress.text(uploading), "Uploading 2/5 images...");
    EXPECT_DOUBLE_EQ(*progress.value(uploading), 0.4);
    report(3, 5);
    EXPECT_EQ(progress.text(uploading), "Uploading 3/5 images...");
    // Other states leave the count alone; building is full.
    progress.take(QString::fromLatin1(Publisher::StateServerBuilding), {{"uploaded", 0}, {"required", 5}});
    EXPECT_EQ(progress.text("SERVER_BUILDING"), "Building Blog");
    EXPECT_EQ(progress.value("SERVER_BUILDING"), 1.0);
    EXPECT_EQ(progress.value("IDLE"), std::nullopt);

    // A retry is a new batch: its entry resets, its reports count from there.
    progress.take(uploading, {});
    EXPECT_EQ(progress.text(uploading), "Uploading Images...");
    report(1, 2);
    EXPECT_EQ(progress.text(uploading), "Uploading 1/2 images...");
    // A batch whose entry the panel missed still never shows the old batch's count.
    report(1, 3);
    EXPECT_EQ(progress.text(uploading), "Uploading 1/3 images...");

    // The state view while updating takes its line and value from the progress.
    PLYPublishPanelInputs in = inputsFor(rows[8], QStringLiteral("IDLE"), std::nullopt);
    const auto s = State::compute(in, progress).state;
    EXPECT_EQ(s.infoText, "Uploading 1/3 images...");
    ASSERT_TRUE(s.progressValue);
    EXPECT_NEAR(*s.progressValue, 1.0 / 3.0, 1e-9);
}

TEST(PublishPanelState, DatesUseTheCalendarYearAndTwelveHourClock) {
    // 30 December 2024 falls in week 1 of 2025: a week-based year would read "25".
    const QDateTime late(QDate(2024, 12, 30), QTime(21, 5), QTimeZone::systemTimeZone());
    EXPECT_EQ(State::formatDate(late), "09:05PM, 30/12/24");
    const QDateTime early(QDate(2021, 1, 1), QTime(0, 30), QTimeZone::systemTimeZone());
    EXPECT_EQ(State::formatDate(early), "12:30AM, 01/01/21");
    EXPECT_EQ(State::formatDate(QDateTime()), "...");
}
