#pragma once

#include "PLYNotificationCenter.h"
#include "PLYSeoGrading.h"

#include <QObject>
#include <QStringList>
#include <memory>

class PLYPersistantPost;
class PLYPostManager;

// One graded aspect of a post. It grades itself when made, and again on every change of the
// post fields it watches and, for the image keywords and the body text, on every layout edit
// of this post. After each grading it posts "PLYSeoManagerOverallSummaryNotification" (object:
// the metric) on the main queue; a metric gone by then posts nothing.
class PLYSeoMetric : public QObject {
    Q_OBJECT
public:
    static std::unique_ptr<PLYSeoMetric> metricWithType(PLYSeoMetricType type,
                                                        const std::shared_ptr<PLYPostManager>& postManager);
    PLYSeoMetric(PLYSeoMetricType type, const std::shared_ptr<PLYPostManager>& postManager);
    ~PLYSeoMetric() override;

    PLYSeoMetricType metricType() const { return m_type; }
    // Held weakly: the post manager owns the SEO manager that owns this metric.
    std::shared_ptr<PLYPostManager> postManager() const { return m_postManager.lock(); }
    // Rebuilt whole by each grading: the length or count grade first, then the keyword grade.
    const QList<PLYSeoSubMetric>& subMetrics() const { return m_subMetrics; }
    qint64 summaryLevel() const { return PLYSeoGrading::summaryLevel(m_subMetrics); }
    // The reason of the first sub-metric; "" when there is none.
    QString primaryMetricReason() const;

    // The post fields graded: title "seoTitle", "focusKeywords"; meta description
    // "metaDescription", "focusKeywords"; the other three "focusKeywords" (the body text grades
    // the keywords too, so it follows them).
    QStringList keyPathsToObserve() const;
    // The image keywords and the body text follow the layout.
    bool shouldObserveLayoutChanges() const;

    // Grades now and announces it.
    void ensureState();

private:
    QList<PLYSeoSubMetric> grade(const PLYPersistantPost& post) const;

    PLYSeoMetricType m_type;
    std::weak_ptr<PLYPostManager> m_postManager;
    std::weak_ptr<PLYPersistantPost> m_post;
    int m_postObserver = 0;
    PLYObserverBag m_observers;
    QList<PLYSeoSubMetric> m_subMetrics;
};
