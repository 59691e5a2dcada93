#pragma once

#include "PLYGenericPostViewController.h"
#include "PLYNotificationCenter.h"
#include "PLYSeoSummary.h"

#include <QIcon>
#include <QWidget>
#include <memory>

class PLYPostManager;
class PLYSeoMetric;
class QLabel;

// The SEO tab of the post's inspector: one row per metric of the post's SEO manager, a traffic
// light for the metric's level beside the sentence made from its grades. It follows every
// regrade of any metric and refreshes from its own post.
class PLYSeoViewController : public PLYGenericPostViewController {
    Q_OBJECT
public:
    explicit PLYSeoViewController(QWidget* parent = nullptr);
    ~PLYSeoViewController() override;

    void setPostManager(std::shared_ptr<PLYPostManager> postManager) override;

    // Refills every row; nothing without a post manager or its SEO manager.
    void summaryChanged();

    // "light-red" for 3, "light-yellow" for 2, "light-green" for 1; none for anything else.
    static QIcon imageForSummaryLevel(qint64 level);
    static PLYSeoSentence summaryTitleForMetric(const PLYSeoMetric& metric);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        QWidget* view = nullptr;
        QLabel* label = nullptr;
        QLabel* image = nullptr;
    };
    Row makeRow(const QString& view, const QString& label, const QString& image);
    void apply(const Row& row, const PLYSeoRowState& state);

    PLYObserverBag m_observers;
    Row m_title;
    Row m_meta;
    Row m_keywords;
    Row m_imageKeywords;
    Row m_text;
};
