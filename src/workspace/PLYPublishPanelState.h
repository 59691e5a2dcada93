#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <optional>

// What the publish panel decides, without widgets: which of its views show for a (post
// publisher state, service state, blog publisher status), what the category pop-ups offer and
// select, what the publish action does, and the texts of the upload's progress.

// A publish revision as the panel reads it.
struct PLYPublishRevisionFacts {
    qint64 status = 0;
    bool successful = false;
    bool autoPublish = false;
    QString category;
};

// A blog category (null: "Don't Publish") with the draft box, as a pop-up and its box show them.
struct PLYBlogChoice {
    QString category;
    bool draft = true;
    bool operator==(const PLYBlogChoice& other) const {
        return category.isNull() == other.category.isNull() && category == other.category && draft == other.draft;
    }
};

// Everything the panel reads of the post's publisher, the session and its own last action.
struct PLYPublishPanelInputs {
    bool collapsed = false;
    // The post publisher's state; empty when there is no publisher.
    QString publisherState;
    // The "Web_Service" machine's state.
    QString serviceState;
    bool updating = false;
    bool canCancel = false;
    bool canRetry = false;

    // The remote account's host: null without an account.
    QString accountHost;
    // The account's blog publisher.
    bool hasBlogPublisher = false;
    qint64 blogPublisherStatus = 0;
    QStringList categories;
    QString defaultCategory;
    bool blogAutoPublish = false;

    // The remote post and its revisions.
    bool hasRemotePost = false;
    bool hasPendingRevision = false;
    bool hasLiveRevision = false;
    QDateTime postCreated;
    QDateTime pendingUpdated;
    QDateTime liveUpdated;
    // The pending publish revision while updating or after an incomplete upload, else the live one.
    std::optional<PLYPublishRevisionFacts> shownPublishRevision;
    bool livePublishSuccessful = false;

    // The last publish action: nothing before the first; a null category inside means that
    // "Don't Publish" was chosen.
    std::optional<QString> lastUsedCategory;
    bool lastUsedAutoPublish = false;

    // The user's choice in the blog view of a published post and in the publish view, made
    // since the panel last filled them from the service; nothing when untouched.
    std::optional<PLYBlogChoice> infoChoice;
    std::optional<PLYBlogChoice> publishChoice;

    // The last upload batch that ended with images missing, and those images with why.
    qint64 imagesRequired = 0;
    qint64 imagesFailed = 0;
    QStringList failedImages;
};

// The items of a category pop-up: the titles, a separator, then "Don't Publish".
struct PLYCategoryMenu {
    QStringList titles;
    // The title to select; null selects "Don't Publish".
    QString selected;
    bool operator==(const PLYCategoryMenu&) const = default;
};

struct PLYPublishPanelView {
    // Null: left as it is (the collapsed panel).
    std::optional<bool> headerVisible;
    bool fetchingVisible = false;
    bool noInternetVisible = false;
    bool wordpressVisible = false;
    bool infoVisible = false;
    bool stateVisible = false;
    bool publishVisible = false;

    // Blog-publisher view (with the info and state views).
    struct Wordpress {
        QString host;
        PLYCategoryMenu menu;
        bool popUpEnabled = false;
        // Null: left as it is.
        std::optional<bool> draftChecked;
        bool draftEnabled = false;
        // "green-light", "red-light", or empty for a hidden image.
        QString statusImage;
        // Null: the error view is hidden.
        QString errorText;
    } wordpress;

    struct Info {
        // The "Published" row and its date: only once the post is published.
        bool publishedRowVisible = false;
        QString publishedDate;
        // The first item of the status pop-up: "Published" or "Not Published".
        QString statusTitle;
        bool statusLabelVisible = false;
        QString statusText;
        bool statusPopUpVisible = false;
        bool indicatorAnimating = false;
    } info;

    struct State {
        QString updatedDate;
        bool updateButtonVisible = false;
        bool updateButtonEnabled = false;
        bool linkButtonVisible = false;
        bool linkButtonEnabled = false;
        QString linkTitle;
        bool progressVisible = false;
        // Null: the indicator is left as it is.
        std::optional<double> progressValue;
        bool cancelVisible = false;
        bool cancelEnabled = false;
        bool retryVisible = false;
        bool retryEnabled = false;
        bool infoLabelVisible = false;
        QString infoText;
        // The line reports a failure.
        bool infoIsWarning = false;
    } state;

    struct Publish {
        bool wordpressVisible = false;
        bool generalHostVisible = false;
        QString host;
        // Set when the blog publisher's view shows.
        std::optional<PLYCategoryMenu> menu;
        bool popUpEnabled = false;
        std::optional<bool> draftChecked;
        bool draftEnabled = false;
        bool lineOnTop = true;
        QColor background = Qt::white;
    } publish;
};

// What a click on publish or update does.
struct PLYPublishChoice {
    enum class Action {
        Ignore,         // not a state to publish from
        Upload,         // upload and build, not published to the blog
        PublishToBlog,  // upload, build and publish to the blog
    };
    Action action = Action::Ignore;
    // For PublishToBlog: the category (null: none is sent) and the auto-publish flag.
    QString category;
    bool autoPublish = false;
    // What the panel remembers of the choice; nothing when it remembers nothing new.
    std::optional<QString> rememberCategory;
    std::optional<bool> rememberAutoPublish;
};

// The upload's progress as the state-change notifications report it: the highest count of
// uploaded images seen in the current batch, taken from the transitions' own user info.
class PLYUploadProgress {
public:
    // A state change with its transition's user info ("required", "uploaded").
    void take(const QString& state, const QVariantMap& userInfo);
    // Nothing before the first report of a batch.
    std::optional<qint64> uploaded() const { return m_uploaded; }
    qint64 required() const { return m_required; }

    // The indicator's value (0 to 1) and the label's text for the publisher's state; nothing
    // for states that show no progress.
    std::optional<double> value(const QString& state) const;
    QString text(const QString& state) const;

private:
    std::optional<qint64> m_uploaded;
    qint64 m_required = 0;
};

class PLYPublishPanelState {
public:
    static constexpr const char* DontPublishTitle = "Don't Publish";
    static constexpr const char* CategoriesNotFetchedTitle = "Categories Not Fetched";
    static constexpr const char* UpdateAvailableText = "Update available";
    static constexpr const char* NoChangesText = "0 changes";
    static constexpr const char* VisitPageTitle = "Visit Page";
    static constexpr const char* CopyLinkTitle = "Copy Link";
    static constexpr const char* GreenLight = "green-light";
    static constexpr const char* RedLight = "red-light";
    static constexpr const char* NoDateText = "...";
    static constexpr const char* NotVerifiedState = "NOT_VERIFIED";
    static constexpr const char* PublishingText = "Publishing...";
    static constexpr const char* PublishedText = "Published";
    static constexpr const char* NotPublishedText = "Not Published";
    static constexpr const char* IncompleteText = "Upload incomplete";

    // The views for `inputs`, the upload's texts taken from `progress`.
    static PLYPublishPanelView compute(const PLYPublishPanelInputs& inputs, const PLYUploadProgress& progress = {});

    // A category pop-up over `categories` wanting `wanted` (null: "Don't Publish"). A wanted
    // title that the list lacks selects "Don't Publish".
    static PLYCategoryMenu categoryMenu(const QStringList& categories, const QString& wanted);

    // The publish action from the publisher's and service's states, with the blog pop-up's
    // selected title (null: "Don't Publish") and the draft box. Publishing starts only from
    // NOT_PUBLISHED or UPDATE_AVAILABLE, from IDLE when `blogChoiceChanged` (the choice differs
    // from what the live revision was published with), or, while the account awaits
    // verification, to ask for it.
    static PLYPublishChoice choosePublishAction(const QString& publisherState, const QString& serviceState,
                                                bool hasBlogPublisher, const QString& selectedTitle, bool draftChecked,
                                                bool blogChoiceChanged = false);

    // What the live revision was published with: its publish revision's category and draft
    // setting, or "Don't Publish" when it went live without the blog.
    static PLYBlogChoice liveBlogChoice(const PLYPublishPanelInputs& inputs);
    // Whether the user's choice in the blog view of a published, up-to-date post differs from
    // what its live revision was published with (an update then sends the new choice).
    static bool blogChoiceChanged(const PLYPublishPanelInputs& inputs);

    // Whether the post is published: a revision of it is live, and on the blog when the account
    // has one (a post built with "Don't Publish", or refused by the blog, is not).
    static bool isPublished(const PLYPublishPanelInputs& inputs);

    // The service's answer for a link to the post as an address to open or copy: a web address
    // of at most MaxLinkLength characters (surrounding blanks aside); nothing for anything else.
    static constexpr qsizetype MaxLinkLength = 2048;
    static std::optional<QUrl> linkAddress(const QString& answer);

    // "hh:mmAP, dd/MM/yy" in local time, with the calendar year; "..." for no date.
    static QString formatDate(const QDateTime& date);

    // The line of the state view after an upload that left images behind, naming them (each
    // "<file> (<why>)") when known.
    static QString failedImagesText(qint64 failed, qint64 required, const QStringList& images = {});
};
