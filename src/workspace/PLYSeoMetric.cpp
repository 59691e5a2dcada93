#include "PLYSeoMetric.h"

#include "PLYDispatch.h"
#include "PLYLayoutManager.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManager.h"

std::unique_ptr<PLYSeoMetric> PLYSeoMetric::metricWithType(PLYSeoMetricType type,
                                                           const std::shared_ptr<PLYPostManager>& postManager) {
    return std::make_unique<PLYSeoMetric>(type, postManager);
}

PLYSeoMetric::PLYSeoMetric(PLYSeoMetricType type, const std::shared_ptr<PLYPostManager>& postManager)
    : m_type(type), m_postManager(postManager) {
    const auto post = postManager ? postManager->representedPost() : nullptr;
    if (post) {
        m_post = post;
        const QStringList keys = keyPathsToObserve();
        if (!keys.isEmpty())
            m_postObserver = post->addChangeObserver([this, keys](const QString& key) {
                if (keys.contains(key)) ensureState();
            });
        if (shouldObserveLayoutChanges()) {
            // Only this post's edits: the notification's object is the editing layout manager.
            if (const auto layoutManager = postManager->layoutManager())
                m_observers.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), layoutManager.get(),
                                [this](const PLYNotification&) { ensureState(); });
        }
    }
    ensureState();
}

PLYSeoMetric::~PLYSeoMetric() {
    if (const auto post = m_post.lock(); post && m_postObserver) post->removeChangeObserver(m_postObserver);
}

QString PLYSeoMetric::primaryMetricReason() const {
    return m_subMetrics.isEmpty() ? QString() : m_subMetrics.first().reason;
}

QStringList PLYSeoMetric::keyPathsToObserve() const {
    switch (m_type) {
    case PLYSeoMetricTypeTitle: return {QStringLiteral("seoTitle"), QStringLiteral("focusKeywords")};
    case PLYSeoMetricTypeMetaDescription: return {QStringLiteral("metaDescription"), QStringLiteral("focusKeywords")};
    case PLYSeoMetricTypeKeywordCount:
    case PLYSeoMetricTypeImageKeywords:
    case PLYSeoMetricTypeBodyText: return {QStringLiteral("focusKeywords")};
    }
    return {};
}

bool PLYSeoMetric::shouldObserveLayoutChanges() const {
    return m_type == PLYSeoMetricTypeImageKeywords || m_type == PLYSeoMetricTypeBodyText;
}

QList<PLYSeoSubMetric> PLYSeoMetric::grade(const PLYPersistantPost& post) const {
    const QStringList keywords = post.focusKeywords().value_or(QStringList());
    switch (m_type) {
    case PLYSeoMetricTypeTitle: return PLYSeoGrading::gradeTitle(post.seoTitle(), keywords);
    case PLYSeoMetricTypeMetaDescription: return PLYSeoGrading::gradeMetaDescription(post.metaDescription(), keywords);
    case PLYSeoMetricTypeKeywordCount: return PLYSeoGrading::gradeKeywordCount(keywords.size());
    case PLYSeoMetricTypeImageKeywords: {
        const auto count = PLYSeoGrading::countImageKeywords(
            post.constLayout(), [&](const QString& ref) { return !post.focusKeywordsForImage(ref).isEmpty(); });
        return PLYSeoGrading::gradeImageKeywords(count.images, count.withoutKeywords);
    }
    case PLYSeoMetricTypeBodyText:
        return PLYSeoGrading::gradeBodyText(PLYSeoGrading::textBlocks(post.constLayout()), keywords);
    }
    return {};
}

void PLYSeoMetric::ensureState() {
    const auto post = m_post.lock();
    m_subMetrics = post ? grade(*post) : QList<PLYSeoSubMetric>();
    // Queued, so that observers hear of it once the edit that caused it has completed.
    PLYDispatch::mainAsync(
        [this] {
            PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYSeoManager::OverallSummaryNotification),
                                                        this);
        },
        this);
}
