#pragma once

#include "PLYLayout.pb.h"
#include "PLYSeoMetric.h"

#include <QString>
#include <QStringList>
#include <memory>

class PLYPostManager;

// The search-engine checklist of one post: five metrics (title, meta description, number of
// focus keywords, image keywords, body text), each keeping itself current. The class side keeps
// the store of every focus keyword the user has entered, offered as completions.
class PLYSeoManager {
public:
    static constexpr const char* OverallSummaryNotification = "PLYSeoManagerOverallSummaryNotification";
    // User default: every focus keyword entered, across posts (an array of strings).
    static constexpr const char* FocusKeywordsKey = "focus_keywords";

    // Registers managerWithPostManager with the post library, so that
    // PLYPostManager::seoManager() makes one; registering again is harmless.
    static void install();
    static void uninstall();

    static std::shared_ptr<PLYSeoManager> managerWithPostManager(const std::shared_ptr<PLYPostManager>& postManager);
    explicit PLYSeoManager(const std::shared_ptr<PLYPostManager>& postManager);
    ~PLYSeoManager();

    // Held weakly: the post manager owns this manager.
    std::shared_ptr<PLYPostManager> postManager() const { return m_postManager.lock(); }
    PLYSeoMetric* titleMetric() const { return m_title.get(); }
    PLYSeoMetric* metaMetric() const { return m_meta.get(); }
    PLYSeoMetric* keywordsMetric() const { return m_keywords.get(); }
    PLYSeoMetric* imageKeywordMetrics() const { return m_imageKeywords.get(); }
    PLYSeoMetric* textMetric() const { return m_text.get(); }

    // The post has a meta description.
    bool isMetaRelevant() const;
    // The post has at least one focus keyword.
    bool isKeywordRelevant() const;
    // The post's layout holds a text block, at any depth.
    bool isTextRelevant() const;
    // The worst level of the title and of each metric that is relevant.
    qint64 overallSummaryLevel() const;

    // The text of every text block, containers depth-first, concatenated without separators.
    static QString textCharactersInAllBlocks(const PLYLayout& layout);
    static QString textCharactersInAllBlocksFrom(const PLYBlock& block);
    static bool foundTextBlockFromBlock(const PLYBlock& block);

    // The stored keywords whose lower-case form begins with the lower-case prefix, in stored order.
    static QStringList keywordsMatchingPrefix(const QString& prefix);
    // Appends the keyword unless an equal string (case-sensitive) is stored already; an empty
    // keyword is not stored.
    static void addKeywordToStore(const QString& keyword);

private:
    std::weak_ptr<PLYPostManager> m_postManager;
    std::unique_ptr<PLYSeoMetric> m_title;
    std::unique_ptr<PLYSeoMetric> m_meta;
    std::unique_ptr<PLYSeoMetric> m_keywords;
    std::unique_ptr<PLYSeoMetric> m_imageKeywords;
    std::unique_ptr<PLYSeoMetric> m_text;
};
