#include "PLYPublishPanelState.h"

#include "PLYSafeText.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePublisher.h"

#include <QLocale>
#include <algorithm>

namespace {

using Publisher = PLYWebServicePostPublisher;
using State = PLYPublishPanelState;

bool is(const QString& state, const char* name) { return state == QLatin1String(name); }

// An upload under way, or one that stopped with images missing: the pending revision is what
// the blog view shows, and nothing of it can change until the upload ends.
bool busy(const PLYPublishPanelInputs& in) { return in.updating || is(in.publisherState, Publisher::StateUploadIncomplete); }

QString blogErrorText(qint64 status) {
    const QString text = PLYWebServicePublisher::errorStringForStatus(status);
    return text.isEmpty() ? QStringLiteral("The blog reported a problem (status %1)").arg(status) : text;
}

// The category the blog view wants: the last one used, else the blog's default.
QString wantedCategory(const PLYPublishPanelInputs& in) {
    return in.lastUsedCategory ? *in.lastUsedCategory : in.defaultCategory;
}

PLYPublishPanelView::Wordpress wordpressView(const PLYPublishPanelInputs& in) {
    PLYPublishPanelView::Wordpress w;
    w.host = in.accountHost;
    QStringList list = in.categories;
    QString wanted = wantedCategory(in);
    if (list.isEmpty()) {
        list = {QString::fromLatin1(State::CategoriesNotFetchedTitle)};
        wanted = list.first();
    }
    if (in.blogPublisherStatus != 0) {
        w.menu = State::categoryMenu(list, wanted);
        w.errorText = blogErrorText(in.blogPublisherStatus);
        return w;
    }
    // A choice the user made since the panel was filled stays until it is sent.
    const auto chosen = [&](PLYPublishPanelView::Wordpress& view) {
        if (!in.infoChoice || !view.popUpEnabled) return;
        view.menu = State::categoryMenu(list, in.infoChoice->category);
        view.draftChecked = in.infoChoice->draft;
    };
    if (const auto& shown = in.shownPublishRevision) {
        w.menu = State::categoryMenu(list, shown->category.isEmpty() ? wanted : shown->category);
        w.draftChecked = !shown->autoPublish;
        w.statusImage = QString::fromLatin1(shown->successful ? State::GreenLight : State::RedLight);
        if (shown->status != 1 && !busy(in)) {
            if (!shown->successful) w.errorText = blogErrorText(shown->status);
            w.popUpEnabled = w.draftEnabled = true;
        }
        chosen(w);
        return w;
    }
    w.draftChecked = !in.lastUsedAutoPublish;
    if (busy(in)) {
        w.menu = State::categoryMenu(list, wanted);
        return w;
    }
    // An update of a post that went live without the blog does not go to the blog by default.
    w.menu = State::categoryMenu(list, in.hasLiveRevision ? QString() : wanted);
    w.popUpEnabled = w.draftEnabled = true;
    w.statusImage = QString::fromLatin1(State::GreenLight);
    chosen(w);
    return w;
}

PLYPublishPanelView::Info infoView(const PLYPublishPanelInputs& in) {
    PLYPublishPanelView::Info info;
    info.publishedDate = in.hasRemotePost ? State::formatDate(in.postCreated) : QString::fromLatin1(State::NoDateText);
    // Neither a publication still on its way nor a post that went live beside the blog is published.
    const bool published = State::isPublished(in);
    info.publishedRowVisible = published;
    info.statusTitle = QString::fromLatin1(published ? State::PublishedText : State::NotPublishedText);
    const bool incomplete = is(in.publisherState, Publisher::StateUploadIncomplete);
    info.statusLabelVisible = in.updating || incomplete;
    info.statusText = QString::fromLatin1(incomplete ? State::IncompleteText : State::PublishingText);
    info.statusPopUpVisible = !info.statusLabelVisible;
    info.indicatorAnimating = in.updating;
    return info;
}

PLYPublishPanelView::State stateView(const PLYPublishPanelInputs& in, const PLYUploadProgress& progress) {
    PLYPublishPanelView::State s;
    const QString& state = in.publisherState;
    if (!in.hasRemotePost) s.updatedDate = QString::fromLatin1(State::NoDateText);
    else if (in.hasPendingRevision) s.updatedDate = State::formatDate(in.pendingUpdated);
    else if (in.hasLiveRevision) s.updatedDate = State::formatDate(in.liveUpdated);
    else s.updatedDate = State::formatDate(in.postCreated);

    if (is(state, Publisher::StateUploadIncomplete)) {
        s.cancelVisible = s.retryVisible = s.infoLabelVisible = true;
        s.cancelEnabled = in.canCancel;
        s.retryEnabled = in.canRetry;
        s.infoText = State::failedImagesText(in.imagesFailed, in.imagesRequired, in.failedImages);
        s.infoIsWarning = true;
        return s;
    }
    if (in.updating) {
        s.progressVisible = s.cancelVisible = s.infoLabelVisible = true;
        s.cancelEnabled = in.canCancel;
        s.progressValue = progress.value(state);
        s.infoText = progress.text(state);
        return s;
    }
    s.updateButtonVisible = s.linkButtonVisible = true;
    s.linkButtonEnabled = in.hasRemotePost;
    s.infoText = QString::fromLatin1(is(state, Publisher::StateUpdateAvailable) ? State::UpdateAvailableText
                                                                                 : State::NoChangesText);
    s.updateButtonEnabled = is(state, Publisher::StateUpdateAvailable) ||
                            (is(state, Publisher::StateIdle) && State::blogChoiceChanged(in));
    s.linkTitle = QString::fromLatin1(in.hasBlogPublisher && in.livePublishSuccessful ? State::VisitPageTitle
                                                                                      : State::CopyLinkTitle);
    return s;
}

PLYPublishPanelView::Publish publishView(const PLYPublishPanelInputs& in) {
    PLYPublishPanelView::Publish p;
    if (in.accountHost.isEmpty()) {
        p.lineOnTop = false;
        p.background = QColor(0xFA, 0xFA, 0xFA);
        return p;
    }
    p.host = in.accountHost;
    if (in.hasBlogPublisher) {
        p.wordpressVisible = true;
        const QString wanted = in.updating ? wantedCategory(in) : in.defaultCategory;
        if (in.blogPublisherStatus != 0) {
            if (!in.categories.isEmpty()) {
                p.menu = State::categoryMenu(in.categories, wanted);
                p.popUpEnabled = p.draftEnabled = true;
            } else {
                const QString placeholder = QString::fromLatin1(State::CategoriesNotFetchedTitle);
                p.menu = State::categoryMenu({placeholder}, placeholder);
            }
        } else {
            p.popUpEnabled = p.draftEnabled = true;
            p.menu = State::categoryMenu(in.categories, wanted);
            p.draftChecked = in.updating ? !in.lastUsedAutoPublish : !in.blogAutoPublish;
        }
        // A choice the user made since the panel was filled stays until it is sent.
        if (in.publishChoice && p.popUpEnabled && !in.updating) {
            p.menu = State::categoryMenu(p.menu ? p.menu->titles : in.categories, in.publishChoice->category);
            p.draftChecked = in.publishChoice->draft;
        }
    } else {
        p.generalHostVisible = true;
    }
    return p;
}

}  // namespace

PLYPublishPanelView PLYPublishPanelState::compute(const PLYPublishPanelInputs& in, const PLYUploadProgress& progress) {
    PLYPublishPanelView v;
    if (in.collapsed) return v;
    const QString& state = in.publisherState;
    const bool notVerified = in.serviceState == QLatin1String(NotVerifiedState);
    if (state.isEmpty() || is(state, Publisher::StateFetchingInfo)) {
        v.headerVisible = true;
        v.fetchingVisible = true;
        return v;
    }
    if (is(state, Publisher::StateWaitingForService) && !notVerified) {
        v.headerVisible = true;
        v.noInternetVisible = true;
        return v;
    }
    if (!is(state, Publisher::StateNotPublished) && !notVerified) {
        v.headerVisible = true;
        v.infoVisible = v.stateVisible = true;
        v.wordpressVisible = in.hasBlogPublisher;
        if (in.hasBlogPublisher) v.wordpress = wordpressView(in);
        v.info = infoView(in);
        v.state = stateView(in, progress);
        return v;
    }
    v.headerVisible = false;
    v.publishVisible = true;
    v.publish = publishView(in);
    return v;
}

PLYCategoryMenu PLYPublishPanelState::categoryMenu(const QStringList& categories, const QString& wanted) {
    PLYCategoryMenu menu;
    menu.titles = categories;
    if (!wanted.isNull() && categories.contains(wanted)) menu.selected = wanted;
    return menu;
}

PLYBlogChoice PLYPublishPanelState::liveBlogChoice(const PLYPublishPanelInputs& in) {
    if (in.shownPublishRevision && !busy(in))
        return {in.shownPublishRevision->category.isEmpty() ? QString() : in.shownPublishRevision->category,
                !in.shownPublishRevision->autoPublish};
    return {QString(), true};
}

bool PLYPublishPanelState::blogChoiceChanged(const PLYPublishPanelInputs& in) {
    if (!in.hasBlogPublisher || in.blogPublisherStatus != 0 || !in.infoChoice || !in.hasLiveRevision || busy(in))
        return false;
    const PLYBlogChoice live = liveBlogChoice(in);
    const PLYBlogChoice& chosen = *in.infoChoice;
    // Without the blog the draft box means nothing.
    if (chosen.category.isNull() && live.category.isNull()) return false;
    return !(chosen == live);
}

PLYPublishChoice PLYPublishPanelState::choosePublishAction(const QString& publisherState, const QString& serviceState,
                                                           bool hasBlogPublisher, const QString& selectedTitle,
                                                           bool draftChecked, bool blogChoiceChanged) {
    PLYPublishChoice choice;
    // The panel publishes only what is unpublished or behind, or a published post whose blog
    // choice changed. While the account awaits verification the publisher only asks for it.
    const bool allowed = is(publisherState, Publisher::StateNotPublished) ||
                         is(publisherState, Publisher::StateUpdateAvailable) ||
                         (blogChoiceChanged && is(publisherState, Publisher::StateIdle)) ||
                         (serviceState == QLatin1String(NotVerifiedState) &&
                          is(publisherState, Publisher::StateWaitingForService));
    if (!allowed) return choice;
    if (!hasBlogPublisher) {
        choice.action = PLYPublishChoice::Action::Upload;
        return choice;
    }
    choice.autoPublish = !draftChecked;
    choice.rememberAutoPublish = choice.autoPublish;
    if (selectedTitle.isNull()) {
        choice.action = PLYPublishChoice::Action::Upload;
        choice.rememberCategory = QString();
    } else if (selectedTitle == QLatin1String(CategoriesNotFetchedTitle)) {
        // The placeholder is no category of the blog: publish without one.
        choice.action = PLYPublishChoice::Action::PublishToBlog;
    } else {
        choice.action = PLYPublishChoice::Action::PublishToBlog;
        choice.category = selectedTitle;
        choice.rememberCategory = selectedTitle;
    }
    return choice;
}

bool PLYPublishPanelState::isPublished(const PLYPublishPanelInputs& in) {
    return in.hasLiveRevision && (!in.hasBlogPublisher || in.livePublishSuccessful);
}

std::optional<QUrl> PLYPublishPanelState::linkAddress(const QString& answer) {
    if (answer.size() > MaxLinkLength) return std::nullopt;
    const QUrl url(answer.trimmed(), QUrl::StrictMode);
    if (!PLYSafeText::isWebURL(url)) return std::nullopt;
    return url;
}

QString PLYPublishPanelState::formatDate(const QDateTime& date) {
    if (!date.isValid()) return QString::fromLatin1(NoDateText);
    return QLocale::c().toString(date.toLocalTime(), QStringLiteral("hh:mmAP, dd/MM/yy"));
}

QString PLYPublishPanelState::failedImagesText(qint64 failed, qint64 required, const QStringList& images) {
    QString text;
    if (required > 1 && failed <= required) text = QStringLiteral("%1 of %2 images could not be uploaded").arg(failed).arg(required);
    else if (failed == 1) text = QStringLiteral("1 image could not be uploaded");
    else text = QStringLiteral("%1 images could not be uploaded").arg(failed);
    if (!images.isEmpty()) text += QStringLiteral(": ") + images.join(QStringLiteral(", "));
    return text;
}

// ---- Progress ----

void PLYUploadProgress::take(const QString& state, const QVariantMap& userInfo) {
    if (!is(state, Publisher::StateUploadingImages)) return;
    const QString uploadedKey = QString::fromLatin1(Publisher::ProgressUploadedKey);
    const QString requiredKey = QString::fromLatin1(Publisher::ProgressRequiredKey);
    if (!userInfo.contains(uploadedKey) || !userInfo.contains(requiredKey)) {
        // A fresh entry into the upload: a new batch.
        m_uploaded.reset();
        m_required = 0;
        return;
    }
    const qint64 uploaded = userInfo.value(uploadedKey).toLongLong();
    const qint64 required = userInfo.value(requiredKey).toLongLong();
    if (m_uploaded && required != m_required) m_uploaded.reset();  // a batch the panel did not see begin
    m_required = required;
    m_uploaded = std::max(m_uploaded.value_or(0), uploaded);
}

std::optional<double> PLYUploadProgress::value(const QString& state) const {
    if (is(state, Publisher::StateUploadingImages))
        return m_uploaded && m_required > 0 ? std::min(1.0, double(*m_uploaded) / double(m_required)) : 0.0;
    if (is(state, Publisher::StateServerBuilding)) return 1.0;
    if (is(state, Publisher::StateCreatingPost) || is(state, Publisher::StateCreatedPost) ||
        is(state, Publisher::StateUpdatingPost))
        return 0.0;
    return std::nullopt;
}

QString PLYUploadProgress::text(const QString& state) const {
    if (is(state, Publisher::StateUploadingImages))
        return m_uploaded ? QStringLiteral("Uploading %1/%2 images...").arg(*m_uploaded).arg(m_required)
                          : QStringLiteral("Uploading Images...");
    if (is(state, Publisher::StateServerBuilding)) return QStringLiteral("Building Blog");
    if (is(state, Publisher::StateCreatingPost) || is(state, Publisher::StateCreatedPost) ||
        is(state, Publisher::StateUpdatingPost))
        return QStringLiteral("Sending Post...");
    return {};
}
