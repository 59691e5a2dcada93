#include "PLYPublishViewController.h"

#include "PLYElidedLabel.h"

#include "InspectorBGView.h"
#include "PLYAlertPresenter.h"
#include "PLYColor.h"
#include "PLYDefaults.h"
#include "PLYDesktopServices.h"
#include "PLYFiniteStateMachine.h"
#include "PLYFiniteTransition.h"
#include "PLYInspectorStyle.h"
#include "PLYLog.h"
#include "PLYNamedImage.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSafeText.h"
#include "PLYUserNotifier.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostRevision.h"
#include "PLYWebServicePublishRevision.h"
#include "PLYWebServicePublisher.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

namespace {

using Publisher = PLYWebServicePostPublisher;
using PLYInspectorStyle::detailLabel;
using PLYInspectorStyle::fieldLabel;
using PLYInspectorStyle::sectionHeading;

// "Don't Publish" carries the largest tag; the categories carry 0.
constexpr qint64 DontPublishTag = std::numeric_limits<qint64>::max();
// The info view's pop-up: its first item names the state, the other is an action.
constexpr int InfoPublishedTag = 0;
constexpr int InfoDeleteTag = 1;

constexpr int ProgressSteps = 1000;

InspectorBGView* panelSection(const char* name, QWidget* parent) {
    auto* view = new InspectorBGView(parent);
    view->setObjectName(QLatin1String(name));
    return view;
}

QVBoxLayout* sectionLayout(QWidget* view) {
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(16, 10, 16, 12);
    layout->setSpacing(8);
    return layout;
}

QProgressBar* busyIndicator(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setTextVisible(false);
    bar->setFixedHeight(6);
    bar->setRange(0, 0);
    return bar;
}

void setAnimating(QProgressBar* bar, bool animating) {
    // An empty range is the platform's indeterminate, moving bar.
    if (animating) bar->setRange(0, 0);
    else bar->setRange(0, 1);
}

QPushButton* pushButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

QToolButton* linkButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(title);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QToolButton { color: palette(link); padding: 1px 2px; }"));
    return button;
}


QLabel* hostLabel(const char* name, QWidget* parent) {
    auto* label = new PLYElidedLabel(parent);
    label->setObjectName(QLatin1String(name));
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

QComboBox* categoryPopUp(const char* name, QWidget* parent) {
    auto* popUp = new QComboBox(parent);
    popUp->setObjectName(QLatin1String(name));
    popUp->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    popUp->setMinimumContentsLength(8);
    popUp->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return popUp;
}

QCheckBox* draftBox(const char* name, QWidget* parent) {
    auto* box = new QCheckBox(QObject::tr("Save as draft"), parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(QObject::tr("Send the post to the blog as a draft instead of publishing it"));
    return box;
}

QString categoryTitle(const QVariant& value) {
    const QVariantMap map = value.toMap();
    return map.isEmpty() ? value.toString() : map.value(QStringLiteral("name")).toString();
}

}  // namespace

PLYPublishViewController::PLYPublishViewController(QWidget* parent) : PLYGenericPostViewController(parent) {
    setObjectName(QStringLiteral("PLYPublishViewController"));
    QFont base = font();
    base.setPixelSize(PLYInspectorStyle::BodyPixelSize);
    setFont(base);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Header: the panel's title and its fold.
    m_publishHeaderView = panelSection("publishHeaderView", this);
    m_publishHeaderView->setLineOnTop(true);
    {
        auto* row = new QHBoxLayout(m_publishHeaderView);
        row->setContentsMargins(16, 8, 10, 8);
        row->addWidget(sectionHeading(tr("Publishing"), m_publishHeaderView));
        row->addStretch(1);
        m_publishToggleButton = new QToolButton(m_publishHeaderView);
        m_publishToggleButton->setObjectName(QStringLiteral("publishToggleButton"));
        m_publishToggleButton->setAutoRaise(true);
        m_publishToggleButton->setArrowType(Qt::DownArrow);
        m_publishToggleButton->setToolTip(tr("Show or hide the publishing details"));
        row->addWidget(m_publishToggleButton);
        connect(m_publishToggleButton, &QToolButton::clicked, this, [this] { tooglePublishTab(); });
    }
    root->addWidget(m_publishHeaderView);

    // Unavailable service.
    m_noInternetView = panelSection("noInternetView", this);
    {
        auto* layout = sectionLayout(m_noInternetView);
        auto* label = detailLabel(tr("Publishing is unavailable until Pellory can reach the service."), m_noInternetView);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    root->addWidget(m_noInternetView);

    // Fetching.
    m_fetchingStatusView = panelSection("fetchingStatusView", this);
    {
        auto* layout = sectionLayout(m_fetchingStatusView);
        layout->addWidget(detailLabel(tr("Checking the published post..."), m_fetchingStatusView));
        m_fetchingProgressIndicator = busyIndicator("fetchingProgressIndicator", m_fetchingStatusView);
        layout->addWidget(m_fetchingProgressIndicator);
    }
    root->addWidget(m_fetchingStatusView);

    // The blog publisher of a published post.
    m_wordpressContainerView = panelSection("wordpressContainerView", this);
    {
        auto* layout = sectionLayout(m_wordpressContainerView);
        auto* top = new QHBoxLayout;
        top->setSpacing(6);
        m_wordpressStatusImageView = new QLabel(m_wordpressContainerView);
        m_wordpressStatusImageView->setObjectName(QStringLiteral("wordpressStatusImageView"));
        m_wordpressStatusImageView->setFixedSize(12, 12);
        top->addWidget(m_wordpressStatusImageView);
        m_wordpressInfoHostLabel = hostLabel("wordpressInfoHostLabel", m_wordpressContainerView);
        top->addWidget(m_wordpressInfoHostLabel, 1);
        auto* settings = linkButton(tr("Settings..."), "wordpressSettingsButton", m_wordpressContainerView);
        connect(settings, &QToolButton::clicked, this, [this] { showWordpressSettings(); });
        top->addWidget(settings);
        layout->addLayout(top);

        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(6);
        grid->setColumnStretch(1, 1);
        m_wordpressInfoCategoryPopUpButton = categoryPopUp("wordpressInfoCategoryPopUpButton", m_wordpressContainerView);
        grid->addWidget(fieldLabel(tr("Category"), m_wordpressContainerView), 0, 0);
        grid->addWidget(m_wordpressInfoCategoryPopUpButton, 0, 1);
        m_wordpressDraftButton = draftBox("wordpressDraftButton", m_wordpressContainerView);
        grid->addWidget(m_wordpressDraftButton, 1, 1);
        layout->addLayout(grid);

        m_wordpressErrorView = new QWidget(m_wordpressContainerView);
        m_wordpressErrorView->setObjectName(QStringLiteral("wordpressErrorView"));
        auto* errorRow = new QHBoxLayout(m_wordpressErrorView);
        errorRow->setContentsMargins(0, 0, 0, 0);
        errorRow->setSpacing(6);
        m_wordpressErrorLabel = new QLabel(m_wordpressErrorView);
        PLYSafeText::makePlain(m_wordpressErrorLabel);
        m_wordpressErrorLabel->setObjectName(QStringLiteral("wordpressErrorLabel"));
        m_wordpressErrorLabel->setWordWrap(true);
        m_wordpressErrorLabel->setStyleSheet(QStringLiteral("color: %1;").arg(PLYColor::kro_errorRedColour().name()));
        errorRow->addWidget(m_wordpressErrorLabel, 1);
        auto* help = linkButton(tr("Help"), "wordpressErrorHelpButton", m_wordpressErrorView);
        connect(help, &QToolButton::clicked, this, [this] { showWPError(); });
        errorRow->addWidget(help, 0, Qt::AlignTop);
        layout->addWidget(m_wordpressErrorView);
    }
    root->addWidget(m_wordpressContainerView);

    // Published: the first date and the post's status.
    m_infoContainerView = panelSection("infoContainerView", this);
    {
        auto* layout = sectionLayout(m_infoContainerView);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(8);
        grid->setColumnStretch(1, 1);
        m_infoPublishedDateLabel = new QLabel(m_infoContainerView);
        PLYSafeText::makePlain(m_infoPublishedDateLabel);
        m_infoPublishedDateLabel->setObjectName(QStringLiteral("infoPublishedDateLabel"));
        m_infoPublishedDateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_infoPublishedTitleLabel = fieldLabel(tr("Published"), m_infoContainerView);
        m_infoPublishedTitleLabel->setObjectName(QStringLiteral("infoPublishedTitleLabel"));
        grid->addWidget(m_infoPublishedTitleLabel, 0, 0);
        grid->addWidget(m_infoPublishedDateLabel, 0, 1);

        auto* status = new QHBoxLayout;
        status->setSpacing(8);
        m_infoProgressIndicator = busyIndicator("infoProgressIndicator", m_infoContainerView);
        m_infoProgressIndicator->setFixedWidth(60);
        m_infoStatusLabel = new QLabel(m_infoContainerView);
        PLYSafeText::makePlain(m_infoStatusLabel);
        m_infoStatusLabel->setObjectName(QStringLiteral("infoStatusLabel"));
        m_infoStatusPopUpButton = new QComboBox(m_infoContainerView);
        m_infoStatusPopUpButton->setObjectName(QStringLiteral("infoStatusPopUpButton"));
        m_infoStatusPopUpButton->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        m_infoStatusPopUpButton->setMinimumContentsLength(9);
        m_infoStatusPopUpButton->addItem(tr("Published"), InfoPublishedTag);
        m_infoStatusPopUpButton->addItem(tr("Delete from the Web..."), InfoDeleteTag);
        status->addStretch(1);
        status->addWidget(m_infoProgressIndicator, 0, Qt::AlignVCenter);
        status->addWidget(m_infoStatusLabel);
        status->addWidget(m_infoStatusPopUpButton);
        grid->addWidget(fieldLabel(tr("Status"), m_infoContainerView), 1, 0);
        grid->addLayout(status, 1, 1);
        layout->addLayout(grid);
        connect(m_infoStatusPopUpButton, &QComboBox::activated, this, [this](int index) { infoStatusChosen(index); });
    }
    root->addWidget(m_infoContainerView);

    // The state of the published post: last update, progress, actions.
    m_stateContainerView = panelSection("stateContainerView", this);
    {
        auto* layout = sectionLayout(m_stateContainerView);
        auto* dateRow = new QHBoxLayout;
        dateRow->addWidget(fieldLabel(tr("Updated"), m_stateContainerView));
        m_statusUpdatedDateLabel = new QLabel(m_stateContainerView);
        PLYSafeText::makePlain(m_statusUpdatedDateLabel);
        m_statusUpdatedDateLabel->setObjectName(QStringLiteral("statusUpdatedDateLabel"));
        m_statusUpdatedDateLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        dateRow->addWidget(m_statusUpdatedDateLabel, 1);
        layout->addLayout(dateRow);

        m_statusInfoLabel = new QLabel(m_stateContainerView);
        PLYSafeText::makePlain(m_statusInfoLabel);
        m_statusInfoLabel->setObjectName(QStringLiteral("statusInfoLabel"));
        m_statusInfoLabel->setWordWrap(true);
        layout->addWidget(m_statusInfoLabel);
        m_statusProgressIndicator = new QProgressBar(m_stateContainerView);
        m_statusProgressIndicator->setObjectName(QStringLiteral("statusProgressIndicator"));
        m_statusProgressIndicator->setRange(0, ProgressSteps);
        m_statusProgressIndicator->setTextVisible(false);
        m_statusProgressIndicator->setFixedHeight(6);
        layout->addWidget(m_statusProgressIndicator);

        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(6);
        m_statusUpdateButton = pushButton(tr("Update"), "statusUpdateButton", m_stateContainerView);
        m_statusViewBlogButton = pushButton(QString::fromLatin1(PLYPublishPanelState::CopyLinkTitle), "statusViewBlogButton", m_stateContainerView);
        m_statusRetryButton = pushButton(tr("Retry"), "statusRetryButton", m_stateContainerView);
        m_statusRetryButton->setToolTip(tr("Upload the images that did not reach the service again"));
        m_statusCancelUpdateButton = pushButton(tr("Cancel"), "statusCancelUpdateButton", m_stateContainerView);
        buttons->addWidget(m_statusUpdateButton);
        buttons->addWidget(m_statusViewBlogButton);
        buttons->addStretch(1);
        buttons->addWidget(m_statusRetryButton);
        buttons->addWidget(m_statusCancelUpdateButton);
        layout->addLayout(buttons);
        connect(m_statusUpdateButton, &QPushButton::clicked, this, [this] { performUpdate(); });
        connect(m_statusViewBlogButton, &QPushButton::clicked, this, [this] { copyLinkToClipboard(); });
        connect(m_statusRetryButton, &QPushButton::clicked, this, [this] { retryFailedImages(); });
        connect(m_statusCancelUpdateButton, &QPushButton::clicked, this, [this] { cancelUpdate(); });
    }
    root->addWidget(m_stateContainerView);

    // Not published yet: where it goes, the blog's category and draft box, and the button.
    m_publishContainerView = panelSection("publishContainerView", this);
    m_publishContainerView->setLineOnTop(true);
    {
        auto* layout = sectionLayout(m_publishContainerView);
        layout->setContentsMargins(16, 12, 16, 14);
        layout->setSpacing(10);
        m_publishWordpressView = new QWidget(m_publishContainerView);
        m_publishWordpressView->setObjectName(QStringLiteral("publishWordpressView"));
        auto* wp = new QGridLayout(m_publishWordpressView);
        wp->setContentsMargins(0, 0, 0, 0);
        wp->setHorizontalSpacing(10);
        wp->setVerticalSpacing(6);
        wp->setColumnStretch(1, 1);
        m_publishWordpressHostLabel = hostLabel("publishWordpressHostLabel", m_publishWordpressView);
        wp->addWidget(fieldLabel(tr("Blog"), m_publishWordpressView), 0, 0);
        wp->addWidget(m_publishWordpressHostLabel, 0, 1);
        m_publishWordpressCategoryPopUpButton = categoryPopUp("publishWordpressCategoryPopUpButton", m_publishWordpressView);
        wp->addWidget(fieldLabel(tr("Category"), m_publishWordpressView), 1, 0);
        wp->addWidget(m_publishWordpressCategoryPopUpButton, 1, 1);
        m_publishWordpressDraftButton = draftBox("publishWordpressDraftButton", m_publishWordpressView);
        wp->addWidget(m_publishWordpressDraftButton, 2, 1);
        layout->addWidget(m_publishWordpressView);

        m_publishGeneralHostView = new QWidget(m_publishContainerView);
        m_publishGeneralHostView->setObjectName(QStringLiteral("publishGeneralHostView"));
        auto* general = new QHBoxLayout(m_publishGeneralHostView);
        general->setContentsMargins(0, 0, 0, 0);
        general->setSpacing(6);
        general->addWidget(fieldLabel(tr("Website"), m_publishGeneralHostView));
        m_publishGeneralHostLabel = hostLabel("publishGeneralHostLabel", m_publishGeneralHostView);
        general->addWidget(m_publishGeneralHostLabel, 1);
        auto* change = linkButton(tr("Change..."), "publishHostSettingsButton", m_publishGeneralHostView);
        connect(change, &QToolButton::clicked, this, [this] { showHostSettings(); });
        general->addWidget(change);
        layout->addWidget(m_publishGeneralHostView);

        m_publishButton = new PLYPublishButton(m_publishContainerView);
        m_publishButton->setDelegate(this);
        layout->addWidget(m_publishButton);
    }
    root->addWidget(m_publishContainerView);

    // Feedback the desktop may not show (no notification service, no browser): said here.
    m_feedbackLabel = new QLabel(this);
    m_feedbackLabel->setObjectName(QStringLiteral("publishFeedbackLabel"));
    PLYSafeText::makePlain(m_feedbackLabel);
    m_feedbackLabel->setWordWrap(true);
    m_feedbackLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_feedbackLabel->setContentsMargins(16, 8, 16, 8);
    m_feedbackLabel->hide();
    root->addWidget(m_feedbackLabel);
    m_feedbackTimer.setSingleShot(true);
    connect(&m_feedbackTimer, &QTimer::timeout, m_feedbackLabel, &QWidget::hide);
    root->addStretch(1);

    // What the user picks in a blog pop-up or box stays picked until it is sent.
    const auto chosen = [this](QComboBox* popUp, QCheckBox* draft, std::optional<PLYBlogChoice>* choice) {
        if (m_applying) return;
        *choice = PLYBlogChoice{selectedCategory(popUp), draft->isChecked()};
        ensureMainStack();
    };
    const auto follows = [this, chosen](QComboBox* popUp, QCheckBox* draft, std::optional<PLYBlogChoice>* choice) {
        connect(popUp, &QComboBox::currentIndexChanged, this, [=] { chosen(popUp, draft, choice); });
        connect(draft, &QCheckBox::toggled, this, [=] { chosen(popUp, draft, choice); });
    };
    follows(m_wordpressInfoCategoryPopUpButton, m_wordpressDraftButton, &m_infoChoice);
    follows(m_publishWordpressCategoryPopUpButton, m_publishWordpressDraftButton, &m_publishChoice);

    ensureMainStack();
}

PLYPublishViewController::~PLYPublishViewController() {
    unfollow();
    m_publishButton->setDelegate(nullptr);
}

// ---- The model ----

void PLYPublishViewController::setPostManager(std::shared_ptr<PLYPostManager> manager) {
    const bool samePost = postManager() && manager && postManager()->representedPost() == manager->representedPost();
    PLYGenericPostViewController::setPostManager(std::move(manager));
    if (!samePost) {
        m_progress = {};
        m_lastUsedCategory.reset();
        m_lastUsedAutoPublish = false;
    }
    unfollow();
    follow(postPublisher());
    ensureMainStack();
}

std::shared_ptr<PLYWebServicePostPublisher> PLYPublishViewController::postPublisher() const {
    // A post manager without a post (a post still to be made) has nothing to publish; the
    // session is started by the application, never by a pane.
    const auto post = postManager() ? postManager()->representedPost() : nullptr;
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    if (!post || !manager) return nullptr;
    return manager->publisherForPostAs<PLYWebServicePostPublisher>(post);
}

void PLYPublishViewController::follow(const std::shared_ptr<PLYWebServicePostPublisher>& publisher) {
    m_publisher = publisher;
    if (publisher) {
        publisher->removeStateChangeNotificationHandler(this);
        publisher->addStateChangeNotificationHandler(this, [this](const PLYNotification& note) {
            publisherStateChanged(note.userInfo);
        });
    }
    // The blog publisher and the account's host arrive with the session's own refreshes.
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager()) {
        manager->addStateChangeNotificationHandler(this, [this](const PLYNotification&) {
            QPointer<PLYPublishViewController> self(this);
            QMetaObject::invokeMethod(this, [self] { if (self) self->ensureMainStack(); }, Qt::QueuedConnection);
        });
        m_followingService = true;
    }
}

void PLYPublishViewController::unfollow() {
    if (auto publisher = m_publisher.lock()) publisher->removeStateChangeNotificationHandler(this);
    m_publisher.reset();
    if (m_followingService)
        if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager())
            manager->removeStateChangeNotificationHandler(this);
    m_followingService = false;
}

void PLYPublishViewController::publisherStateChanged(const QVariantMap& userInfo) {
    // The progress is the transition's own: read now, shown when the queued refresh runs.
    const auto transition = PLYFiniteTransition::fromUserInfo(userInfo);
    if (transition && transition->destinationState()) m_progress.take(transition->destinationState()->name(), userInfo);
    QPointer<PLYPublishViewController> self(this);
    QMetaObject::invokeMethod(this, [self] { if (self) self->ensureMainStack(); }, Qt::QueuedConnection);
}

PLYPublishPanelInputs PLYPublishViewController::gatherInputs() const {
    PLYPublishPanelInputs in;
    in.collapsed = m_collapsed;
    in.lastUsedCategory = m_lastUsedCategory;
    in.lastUsedAutoPublish = m_lastUsedAutoPublish;
    in.infoChoice = m_infoChoice;
    in.publishChoice = m_publishChoice;
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager()) {
        in.serviceState = manager->currentStateName();
        if (const auto account = manager->remoteAccount()) in.accountHost = account->host().isNull() ? QStringLiteral("") : account->host();
        if (const auto blog = manager->remotePublisher()) {
            in.hasBlogPublisher = true;
            in.blogPublisherStatus = blog->status();
            for (const QVariant& category : blog->categories())
                if (const QString title = categoryTitle(category); !title.isEmpty()) in.categories << title;
            in.defaultCategory = blog->defaultCategory();
            in.blogAutoPublish = blog->autoPublish();
        }
    }
    const auto publisher = m_publisher.lock();
    if (!publisher) return in;
    in.publisherState = publisher->currentStateName();
    in.updating = publisher->updating();
    in.canCancel = publisher->canCancelPublishing();
    in.canRetry = publisher->canRetryFailedImages();
    in.imagesRequired = publisher->imageUploadRequired();
    in.imagesFailed = publisher->imageUploadFailed();
    in.failedImages = publisher->failedImageDescriptions();
    if (const auto post = publisher->publishingPost()) {
        in.hasRemotePost = true;
        in.postCreated = post->creationDate();
    }
    if (const auto pending = publisher->pendingRevision()) {
        in.hasPendingRevision = true;
        in.pendingUpdated = pending->updatedDate();
    }
    if (const auto live = publisher->liveRevision()) {
        in.hasLiveRevision = true;
        in.liveUpdated = live->updatedDate();
    }
    const auto livePublish = publisher->livePublishRevision();
    in.livePublishSuccessful = livePublish && livePublish->successful();
    const bool pendingShown = in.updating || in.publisherState == QLatin1String(Publisher::StateUploadIncomplete);
    if (const auto shown = pendingShown ? publisher->pendingPublishRevision() : livePublish)
        in.shownPublishRevision = PLYPublishRevisionFacts{shown->status(), shown->successful(), shown->autoPublish(),
                                                          shown->category()};
    return in;
}

// ---- Showing ----

void PLYPublishViewController::ensureMainStack() {
    if (m_publisher.expired() && postManager()) follow(postPublisher());
    // The pop-ups are filled from the service again only for another post or another live
    // publication; a choice made since stays through every other change of state.
    QString key;
    if (const auto publisher = m_publisher.lock()) {
        key = publisher->localPost()->identifier();
        if (const auto live = publisher->liveRevision()) {
            key += QLatin1Char('/') + live->identifierString();
            if (const auto publish = live->publishRevision()) key += QLatin1Char('/') + publish->identifierString();
        }
    }
    if (key != m_choiceKey) {
        m_choiceKey = key;
        m_infoChoice.reset();
        m_publishChoice.reset();
    }
    present(gatherInputs(), m_progress);
}

void PLYPublishViewController::present(const PLYPublishPanelInputs& inputs, const PLYUploadProgress& progress) {
    const PLYPublishPanelView view = PLYPublishPanelState::compute(inputs, progress);
    m_applying = true;
    if (view.headerVisible) m_publishHeaderView->setVisible(*view.headerVisible);
    m_publishToggleButton->setArrowType(inputs.collapsed ? Qt::RightArrow : Qt::DownArrow);
    m_fetchingStatusView->setVisible(view.fetchingVisible);
    setAnimating(m_fetchingProgressIndicator, view.fetchingVisible);
    m_noInternetView->setVisible(view.noInternetVisible);
    m_wordpressContainerView->setVisible(view.wordpressVisible);
    m_infoContainerView->setVisible(view.infoVisible);
    m_stateContainerView->setVisible(view.stateVisible);
    m_publishContainerView->setVisible(view.publishVisible);

    if (view.wordpressVisible) {
        const auto& w = view.wordpress;
        m_wordpressInfoHostLabel->setText(w.host);
        m_wordpressInfoHostLabel->setToolTip(PLYSafeText::toolTip(w.host));
        applyCategoryMenu(m_wordpressInfoCategoryPopUpButton, w.menu);
        m_wordpressInfoCategoryPopUpButton->setEnabled(w.popUpEnabled);
        if (w.draftChecked) m_wordpressDraftButton->setChecked(*w.draftChecked);
        m_wordpressDraftButton->setEnabled(w.draftEnabled);
        m_wordpressStatusImageView->setVisible(!w.statusImage.isEmpty());
        if (!w.statusImage.isEmpty()) m_wordpressStatusImageView->setPixmap(PLYNamedImage::icon(w.statusImage).pixmap(QSize(12, 12), devicePixelRatioF()));
        m_wordpressErrorView->setVisible(!w.errorText.isNull());
        m_wordpressErrorLabel->setText(w.errorText);
    }
    if (view.infoVisible) {
        const auto& info = view.info;
        m_infoPublishedTitleLabel->setVisible(info.publishedRowVisible);
        m_infoPublishedDateLabel->setVisible(info.publishedRowVisible);
        m_infoPublishedDateLabel->setText(info.publishedDate);
        m_infoStatusPopUpButton->setItemText(m_infoStatusPopUpButton->findData(InfoPublishedTag), info.statusTitle);
        m_infoStatusLabel->setVisible(info.statusLabelVisible);
        m_infoStatusLabel->setText(info.statusText);
        m_infoStatusPopUpButton->setVisible(info.statusPopUpVisible);
        if (info.statusPopUpVisible) m_infoStatusPopUpButton->setCurrentIndex(m_infoStatusPopUpButton->findData(InfoPublishedTag));
        m_infoProgressIndicator->setVisible(info.indicatorAnimating);
        setAnimating(m_infoProgressIndicator, info.indicatorAnimating);
    }
    if (view.stateVisible) {
        const auto& s = view.state;
        m_statusUpdatedDateLabel->setText(s.updatedDate);
        m_statusUpdateButton->setVisible(s.updateButtonVisible);
        m_statusUpdateButton->setEnabled(s.updateButtonEnabled);
        m_statusViewBlogButton->setVisible(s.linkButtonVisible);
        m_statusViewBlogButton->setEnabled(s.linkButtonEnabled);
        if (!s.linkTitle.isEmpty()) m_statusViewBlogButton->setText(s.linkTitle);
        m_statusProgressIndicator->setVisible(s.progressVisible);
        if (s.progressValue) m_statusProgressIndicator->setValue(qRound(*s.progressValue * ProgressSteps));
        m_statusCancelUpdateButton->setVisible(s.cancelVisible);
        m_statusCancelUpdateButton->setEnabled(s.cancelEnabled);
        m_statusRetryButton->setVisible(s.retryVisible);
        m_statusRetryButton->setEnabled(s.retryEnabled);
        m_statusInfoLabel->setVisible(s.infoLabelVisible);
        m_statusInfoLabel->setText(s.infoText);
        m_statusInfoLabel->setStyleSheet(s.infoIsWarning ? QStringLiteral("color: %1;").arg(PLYColor::kro_errorRedColour().name())
                                                         : QString());
    }
    if (view.publishVisible) {
        const auto& p = view.publish;
        m_publishWordpressView->setVisible(p.wordpressVisible);
        m_publishGeneralHostView->setVisible(p.generalHostVisible);
        m_publishWordpressHostLabel->setText(p.host);
        m_publishGeneralHostLabel->setText(p.host);
        m_publishWordpressHostLabel->setToolTip(PLYSafeText::toolTip(p.host));
        m_publishGeneralHostLabel->setToolTip(PLYSafeText::toolTip(p.host));
        if (p.menu) applyCategoryMenu(m_publishWordpressCategoryPopUpButton, *p.menu);
        m_publishWordpressCategoryPopUpButton->setEnabled(p.popUpEnabled);
        if (p.draftChecked) m_publishWordpressDraftButton->setChecked(*p.draftChecked);
        m_publishWordpressDraftButton->setEnabled(p.draftEnabled);
        m_publishContainerView->setLineOnTop(p.lineOnTop);
        m_publishContainerView->setBgColour(p.background);
        m_publishContainerView->update();
    }
    // Rows inside rows change as views come and go; their cached sizes must follow even while
    // the panel is not on screen.
    for (QLayout* layout : findChildren<QLayout*>()) layout->invalidate();
    m_applying = false;
}

void PLYPublishViewController::applyCategoryMenu(QComboBox* popUp, const PLYCategoryMenu& menu) {
    popUp->clear();
    for (const QString& title : menu.titles) popUp->addItem(title, qint64(0));
    popUp->insertSeparator(popUp->count());
    popUp->addItem(QString::fromLatin1(PLYPublishPanelState::DontPublishTitle), DontPublishTag);
    const int index = menu.selected.isNull() ? popUp->count() - 1 : menu.titles.indexOf(menu.selected);
    popUp->setCurrentIndex(index);
}

QString PLYPublishViewController::selectedCategory(const QComboBox* popUp) {
    const int index = popUp->currentIndex();
    if (index < 0 || popUp->itemData(index).toLongLong() == DontPublishTag) return {};
    return popUp->itemText(index);
}

// ---- Actions ----

void PLYPublishViewController::tooglePublishTab() {
    m_collapsed = !m_collapsed;
    ensureMainStack();
}

void PLYPublishViewController::performUpdate() { publish(m_wordpressInfoCategoryPopUpButton, m_wordpressDraftButton); }

void PLYPublishViewController::buttonWasClicked(PLYPublishButton*) {
    publish(m_publishWordpressCategoryPopUpButton, m_publishWordpressDraftButton);
}

void PLYPublishViewController::publish(QComboBox* categories, QCheckBox* draft) {
    const auto publisher = postPublisher();
    if (!publisher) return;
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    const bool hasBlog = manager && manager->remotePublisher();
    const PLYPublishChoice choice = PLYPublishPanelState::choosePublishAction(
        publisher->currentStateName(), manager ? manager->currentStateName() : QString(), hasBlog,
        selectedCategory(categories), draft->isChecked(), PLYPublishPanelState::blogChoiceChanged(gatherInputs()));
    if (choice.action == PLYPublishChoice::Action::Ignore) {
        PLY_LOG_INFO(QStringLiteral("Publish ignored while the post is %1").arg(publisher->currentStateName()));
        return;
    }
    if (choice.rememberCategory) m_lastUsedCategory = choice.rememberCategory;
    if (choice.rememberAutoPublish) m_lastUsedAutoPublish = *choice.rememberAutoPublish;
    const bool sent = choice.action == PLYPublishChoice::Action::PublishToBlog
                          ? publisher->createOrUpdatePublishedPostWithPublishCategory(choice.category, choice.autoPublish)
                          : publisher->createOrUpdatePublishedPost();
    // Sent, the choice is the service's now: the pop-ups show what was asked for.
    if (sent) {
        m_infoChoice.reset();
        m_publishChoice.reset();
    }
    ensureMainStack();
}

void PLYPublishViewController::showFeedback(const QString& text) {
    m_feedbackLabel->setText(text);
    m_feedbackLabel->show();
    m_feedbackTimer.start(FeedbackMs);
}

void PLYPublishViewController::cancelUpdate() {
    if (const auto publisher = postPublisher()) publisher->cancelPublishing();
}

void PLYPublishViewController::retryFailedImages() {
    if (const auto publisher = postPublisher()) publisher->retryFailedImages();
}

void PLYPublishViewController::infoStatusChosen(int index) {
    if (m_applying) return;
    const int tag = m_infoStatusPopUpButton->itemData(index).toInt();
    m_infoStatusPopUpButton->setCurrentIndex(m_infoStatusPopUpButton->findData(InfoPublishedTag));
    if (tag == InfoDeleteTag) deleteRemotePost();
}

void PLYPublishViewController::deleteRemotePost() {
    const auto publisher = postPublisher();
    if (!publisher || !publisher->publishingPost()) return;
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Warning;
    alert.messageText = tr("Delete the Published Post?");
    alert.informativeText = tr("\"%1\" will be removed from the web. The post stays in your library and can be "
                               "published again.")
                                .arg(publisher->localPost()->name());
    alert.buttonTitles = {tr("Delete"), tr("Cancel")};
    if (PLYAlertPresenter::shared()->runModal(alert, window()) != PLYAlertPresenter::FirstButtonReturn) return;
    if (!publisher->deletePost({}))
        PLY_LOG_INFO(QStringLiteral("The published post '%1' cannot be deleted while it is %2")
                         .arg(publisher->localPost()->name(), publisher->currentStateName()));
}

void PLYPublishViewController::copyLinkToClipboard() {
    const auto publisher = postPublisher();
    const auto post = publisher ? publisher->publishingPost() : nullptr;
    if (!post) return;
    PLYWebServiceManager* manager = PLYWebServiceManager::existingManager();
    const auto livePublish = publisher->livePublishRevision();
    QPointer<PLYPublishViewController> self(this);
    if (manager && manager->remotePublisher() && livePublish && livePublish->successful()) {
        post->getLinkDestination([self](bool ok, const QVariant& object, const auto&, const auto&) {
            if (!self || !ok) return;
            // Only a web address is opened, whatever the service answers.
            const std::optional<QUrl> url = self->linkAddress(object, tr("no page was opened"));
            if (!url) return;
            if (!PLYDesktopServices::shared()->openURL(*url))
                self->showFeedback(tr("The browser could not be opened. The post's page is at %1").arg(url->toString()));
        });
        return;
    }
    const QString name = publisher->localPost()->name();
    const QString remoteId = publisher->localPost()->remoteIdentifier();
    post->getLinkStub([self, name, remoteId](bool ok, const QVariant& object, const auto&, const auto&) {
        if (!self || !ok) return;
        // Only a web address goes on the clipboard, whatever the service answers.
        const std::optional<QUrl> url = self->linkAddress(object, tr("nothing was copied"));
        if (!url) return;
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(url->toString());
        PLYUserNotification notification;
        notification.identifier = QStringLiteral("pellory.copylink.%1").arg(remoteId);
        notification.title = QStringLiteral("Pellory");
        notification.subtitle = QStringLiteral("Link Copied to Clipboard");
        notification.informativeText = QStringLiteral("Post \"%1\"").arg(name);
        const auto notifier = PLYUserNotifier::shared();
        if (notifier) notifier->deliverNotification(notification);
        // Where the desktop shows no notifications, the panel says it.
        if (!notifier || !notifier->showsMessages())
            self->showFeedback(notification.subtitle + QStringLiteral(": ") + notification.informativeText);
    });
}

std::optional<QUrl> PLYPublishViewController::linkAddress(const QVariant& answer, const QString& consequence) {
    const QString text = answer.toString();
    const std::optional<QUrl> url = PLYPublishPanelState::linkAddress(text);
    if (!url) {
        // The answer is the service's text: its size is logged, never the text itself.
        PLY_LOG_WARN(QStringLiteral("The service's link for the post is not a web address (%1 characters)").arg(text.size()));
        showFeedback(tr("The service did not answer with a link to the post, so %1.").arg(consequence));
    }
    return url;
}

void PLYPublishViewController::showWordpressSettings() {
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager())
        manager->presentAccountDetailsNotification(true, false, [](bool, const QVariant&, const auto&, const auto&) {});
}

void PLYPublishViewController::showHostSettings() {
    if (PLYWebServiceManager* manager = PLYWebServiceManager::existingManager())
        manager->presentAccountDetailsNotification(false, false, [](bool, const QVariant&, const auto&, const auto&) {});
}

void PLYPublishViewController::showWPError() {
    PLYDesktopServices::shared()->openURL(PLYDefaults::supportURLForPath(QString::fromLatin1(WordpressHelpPath)));
}
