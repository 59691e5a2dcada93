// The publish panel in each state it shows, and the inspector pane with its Document and SEO
// tabs over the panel of a published post. The panel is shown from the facts its publisher and
// the session would report, since the pictures run without a service.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYInspectorViewController.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYPostSelecorPopUpButton.h"
#include "PLYPublishViewController.h"
#include "PLYWebServicePostPublisher.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLayout>
#include <QTimeZone>
#include <QWidget>
#include <algorithm>

namespace {

using Publisher = PLYWebServicePostPublisher;

QDateTime at(int day, int hour, int minute) {
    return QDateTime(QDate(2024, 10, day), QTime(hour, minute), QTimeZone::systemTimeZone());
}

// A published post on a blog with categories, as the session reports it.
PLYPublishPanelInputs publishedPost(const char* state) {
    PLYPublishPanelInputs in;
    in.publisherState = QString::fromLatin1(state);
    in.serviceState = QStringLiteral("IDLE");
    in.accountHost = QStringLiteral("highland-journal.example.com");
    in.hasBlogPublisher = true;
    in.categories = {QStringLiteral("Uncategorized"), QStringLiteral("Travel"), QStringLiteral("Landscapes"),
                     QStringLiteral("Walks and Hikes")};
    in.defaultCategory = QStringLiteral("Travel");
    in.blogAutoPublish = true;
    in.hasRemotePost = true;
    in.postCreated = at(12, 9, 41);
    in.hasLiveRevision = true;
    in.liveUpdated = at(14, 18, 5);
    in.livePublishSuccessful = true;
    in.shownPublishRevision = PLYPublishRevisionFacts{0, true, true, QStringLiteral("Landscapes")};
    return in;
}

// The same post while an update of it is under way.
PLYPublishPanelInputs updatingPost(const char* state) {
    PLYPublishPanelInputs in = publishedPost(state);
    in.updating = true;
    in.canCancel = true;
    in.hasPendingRevision = true;
    in.pendingUpdated = at(15, 21, 30);
    in.shownPublishRevision = PLYPublishRevisionFacts{1, false, true, QStringLiteral("Landscapes")};
    return in;
}

QWidget* panel(const PLYPublishPanelInputs& inputs, const PLYUploadProgress& progress = {}) {
    auto* panel = new PLYPublishViewController;
    panel->present(inputs, progress);
    // Wrapped lines (the names of failed images) need the height for the panel's width.
    QLayout* layout = panel->layout();
    panel->resize(300, layout->hasHeightForWidth() ? std::max(layout->heightForWidth(300), panel->sizeHint().height())
                                                   : panel->sizeHint().height());
    return panel;
}

const bool notPublished = PLYScreens::add(QStringLiteral("publish-panel-not-published"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = publishedPost(Publisher::StateNotPublished);
    in.hasRemotePost = in.hasLiveRevision = false;
    in.shownPublishRevision.reset();
    return panel(in);
});

const bool notPublishedWebsite =
    PLYScreens::add(QStringLiteral("publish-panel-not-published-without-blog"), [](PLYScreensFixture&) {
        PLYPublishPanelInputs in;
        in.publisherState = QString::fromLatin1(Publisher::StateNotPublished);
        in.serviceState = QStringLiteral("IDLE");
        in.accountHost = QStringLiteral("highland-journal.example.com");
        return panel(in);
    });

const bool uploading = PLYScreens::add(QStringLiteral("publish-panel-uploading"), [](PLYScreensFixture&) {
    PLYUploadProgress progress;
    progress.take(QString::fromLatin1(Publisher::StateUploadingImages), {});
    progress.take(QString::fromLatin1(Publisher::StateUploadingImages),
                  {{QString::fromLatin1(Publisher::ProgressRequiredKey), 5}, {QString::fromLatin1(Publisher::ProgressUploadedKey), 2}});
    return panel(updatingPost(Publisher::StateUploadingImages), progress);
});

// The first publication on its way: nothing is live, so nothing is said to be published.
const bool firstUpload = PLYScreens::add(QStringLiteral("publish-panel-first-upload"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = updatingPost(Publisher::StateUploadingImages);
    in.hasLiveRevision = false;
    in.livePublishSuccessful = false;
    PLYUploadProgress progress;
    progress.take(QString::fromLatin1(Publisher::StateUploadingImages), {});
    return panel(in, progress);
});

// Built with "Don't Publish": live on the service, not on the blog.
const bool builtWithoutBlog = PLYScreens::add(QStringLiteral("publish-panel-built-without-blog"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = publishedPost(Publisher::StateIdle);
    in.livePublishSuccessful = false;
    in.shownPublishRevision.reset();
    return panel(in);
});

const bool building = PLYScreens::add(QStringLiteral("publish-panel-building"), [](PLYScreensFixture&) {
    return panel(updatingPost(Publisher::StateServerBuilding));
});

const bool published = PLYScreens::add(QStringLiteral("publish-panel-published"), [](PLYScreensFixture&) {
    return panel(publishedPost(Publisher::StateIdle));
});

const bool updateAvailable = PLYScreens::add(QStringLiteral("publish-panel-update-available"), [](PLYScreensFixture&) {
    return panel(publishedPost(Publisher::StateUpdateAvailable));
});

const bool failedImages = PLYScreens::add(QStringLiteral("publish-panel-failed-images"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = updatingPost(Publisher::StateUploadIncomplete);
    in.updating = false;
    in.canRetry = true;
    in.imagesRequired = 5;
    in.imagesFailed = 2;
    in.failedImages = {QStringLiteral("loch-morning.jpg (the file is empty, unreadable or not an image)"),
                       QStringLiteral("ridge-path.jpg (refused by the service, status 500)")};
    return panel(in);
});

// A published post whose blog category the user changed: Update sends it.
const bool choiceChanged = PLYScreens::add(QStringLiteral("publish-panel-blog-choice-changed"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = publishedPost(Publisher::StateIdle);
    in.infoChoice = PLYBlogChoice{QStringLiteral("Walks and Hikes"), false};
    return panel(in);
});

// The link copied on a desktop that shows no notifications: the panel says it.
const bool linkFeedback = PLYScreens::add(QStringLiteral("publish-panel-link-copied-feedback"), [](PLYScreensFixture&) {
    auto* view = new PLYPublishViewController;
    view->present(publishedPost(Publisher::StateIdle), {});
    view->showFeedback(QStringLiteral("Link Copied to Clipboard: Post \"Highland Mornings\""));
    view->resize(300, std::max(view->layout()->heightForWidth(300), view->sizeHint().height()));
    return view;
});

const bool blogProblem = PLYScreens::add(QStringLiteral("publish-panel-blog-problem"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = publishedPost(Publisher::StateIdle);
    in.blogPublisherStatus = 5;
    return panel(in);
});

const bool unavailable = PLYScreens::add(QStringLiteral("publish-panel-service-unavailable"), [](PLYScreensFixture&) {
    PLYPublishPanelInputs in = publishedPost(Publisher::StateWaitingForService);
    in.serviceState = QStringLiteral("NO_INTERNET");
    return panel(in);
});

const bool fetching = PLYScreens::add(QStringLiteral("publish-panel-fetching"), [](PLYScreensFixture&) {
    return panel(publishedPost(Publisher::StateFetchingInfo));
});

QWidget* inspector(PLYScreensFixture& fixture, bool seo) {
    auto* pane = new PLYInspectorViewController;
    const auto manager = fixture.mainPostManager();
    pane->setPostManager(manager);
    pane->publishViewController()->present(publishedPost(Publisher::StateUpdateAvailable), {});
    if (seo) pane->selectSEOTab();
    pane->resize(300, 820);
    QObject::connect(pane, &QObject::destroyed, [manager] {});
    return pane;
}

const bool inspectorDocument = PLYScreens::add(QStringLiteral("inspector-document"), [](PLYScreensFixture& fixture) {
    return inspector(fixture, false);
});

const bool inspectorSeo = PLYScreens::add(QStringLiteral("inspector-seo"), [](PLYScreensFixture& fixture) {
    return inspector(fixture, true);
});

// The post switcher in a strip of the window's toolbar, titled with the current post.
const bool postSwitcher = PLYScreens::add(QStringLiteral("post-switcher"), [](PLYScreensFixture& fixture) {
    auto* strip = new QWidget;
    strip->setAutoFillBackground(true);
    QPalette palette = strip->palette();
    palette.setColor(QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
    strip->setPalette(palette);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(12, 8, 12, 8);
    auto* button = new PLYPostSelecorPopUpButton(strip);
    button->setText(fixture.mainPostManager()->representedPost()->name());
    row->addWidget(button);
    row->addStretch(1);
    strip->resize(320, 40);
    return strip;
});

}  // namespace
