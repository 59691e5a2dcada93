#include "PLYSeoManager.h"

#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManagerFactory.h"
#include "PLYUserDefaults.h"

#include <algorithm>

void PLYSeoManager::install() { PLYSeoManagerFactory::registerMaker(&PLYSeoManager::managerWithPostManager); }

void PLYSeoManager::uninstall() { PLYSeoManagerFactory::registerMaker({}); }

std::shared_ptr<PLYSeoManager> PLYSeoManager::managerWithPostManager(const std::shared_ptr<PLYPostManager>& postManager) {
    return std::make_shared<PLYSeoManager>(postManager);
}

PLYSeoManager::PLYSeoManager(const std::shared_ptr<PLYPostManager>& postManager)
    : m_postManager(postManager),
      m_title(PLYSeoMetric::metricWithType(PLYSeoMetricTypeTitle, postManager)),
      m_meta(PLYSeoMetric::metricWithType(PLYSeoMetricTypeMetaDescription, postManager)),
      m_keywords(PLYSeoMetric::metricWithType(PLYSeoMetricTypeKeywordCount, postManager)),
      m_imageKeywords(PLYSeoMetric::metricWithType(PLYSeoMetricTypeImageKeywords, postManager)),
      m_text(PLYSeoMetric::metricWithType(PLYSeoMetricTypeBodyText, postManager)) {}

PLYSeoManager::~PLYSeoManager() = default;

namespace {
std::shared_ptr<PLYPersistantPost> postOf(const std::weak_ptr<PLYPostManager>& manager) {
    const auto m = manager.lock();
    return m ? m->representedPost() : nullptr;
}
}  // namespace

bool PLYSeoManager::isMetaRelevant() const {
    const auto post = postOf(m_postManager);
    return post && !post->metaDescription().isEmpty();
}

bool PLYSeoManager::isKeywordRelevant() const {
    const auto post = postOf(m_postManager);
    return post && !post->focusKeywords().value_or(QStringList()).isEmpty();
}

bool PLYSeoManager::isTextRelevant() const {
    const auto post = postOf(m_postManager);
    return post && PLYSeoGrading::containsTextBlock(post->constLayout());
}

qint64 PLYSeoManager::overallSummaryLevel() const {
    qint64 level = std::max<qint64>(m_title->summaryLevel(), PLYSeoLevelGood);
    if (isMetaRelevant()) level = std::max(level, m_meta->summaryLevel());
    if (isKeywordRelevant()) level = std::max({level, m_keywords->summaryLevel(), m_imageKeywords->summaryLevel()});
    if (isTextRelevant()) level = std::max(level, m_text->summaryLevel());
    return level;
}

QString PLYSeoManager::textCharactersInAllBlocks(const PLYLayout& layout) {
    return PLYSeoGrading::textBlocks(layout).join(QString());
}

QString PLYSeoManager::textCharactersInAllBlocksFrom(const PLYBlock& block) {
    return PLYSeoGrading::textBlocks(block).join(QString());
}

bool PLYSeoManager::foundTextBlockFromBlock(const PLYBlock& block) { return PLYSeoGrading::containsTextBlock(block); }

QStringList PLYSeoManager::keywordsMatchingPrefix(const QString& prefix) {
    const QString lowered = prefix.toLower();
    QStringList matches;
    for (const QString& keyword : PLYUserDefaults::standardUserDefaults().stringArrayForKey(QLatin1String(FocusKeywordsKey)))
        if (keyword.toLower().startsWith(lowered)) matches << keyword;
    return matches;
}

void PLYSeoManager::addKeywordToStore(const QString& keyword) {
    if (keyword.isEmpty()) return;
    auto& defaults = PLYUserDefaults::standardUserDefaults();
    QStringList stored = defaults.stringArrayForKey(QLatin1String(FocusKeywordsKey));
    if (stored.contains(keyword, Qt::CaseSensitive)) return;
    stored << keyword;
    defaults.setObject(stored, QLatin1String(FocusKeywordsKey));
}
