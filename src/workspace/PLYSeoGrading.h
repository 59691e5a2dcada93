#pragma once

#include "PLYLayout.pb.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Levels of a grade; a higher number is worse.
enum PLYSeoLevel : qint64 { PLYSeoLevelGood = 1, PLYSeoLevelWarning = 2, PLYSeoLevelBad = 3 };

// What a metric grades.
enum PLYSeoMetricType : qint64 {
    PLYSeoMetricTypeTitle = 0,
    PLYSeoMetricTypeMetaDescription = 1,
    PLYSeoMetricTypeKeywordCount = 2,
    PLYSeoMetricTypeImageKeywords = 3,
    PLYSeoMetricTypeBodyText = 4,
};

// One graded aspect of a metric: its level and the sentence that explains it.
struct PLYSeoSubMetric {
    qint64 level = PLYSeoLevelGood;
    QString reason;
    bool operator==(const PLYSeoSubMetric&) const = default;
};

// The search-engine checklist's grading, over plain values: no post, no observation.
// Lengths count characters (Unicode code points).
namespace PLYSeoGrading {

// The keywords that do not occur in `text`, in the keywords' order: a keyword occurs when the
// lower-case text holds the lower-case keyword anywhere, also inside a longer word.
QStringList exceptionOccurances(const QStringList& keywords, const QString& text);
// Each keyword in single quotes, joined by ", "; "" for none.
QString keywordArrayToString(const QStringList& keywords);

// The length grade first, then the focus-keyword grade.
QList<PLYSeoSubMetric> gradeTitle(const QString& title, const QStringList& keywords);
QList<PLYSeoSubMetric> gradeMetaDescription(const QString& description, const QStringList& keywords);
QList<PLYSeoSubMetric> gradeKeywordCount(qint64 count);
// `images` image blocks of which `withoutKeywords` have none.
QList<PLYSeoSubMetric> gradeImageKeywords(qint64 images, qint64 withoutKeywords);
// The text of each text block, in layout order.
QList<PLYSeoSubMetric> gradeBodyText(const QStringList& textBlocks, const QStringList& keywords);

// The highest level among the sub-metrics, at least good.
qint64 summaryLevel(const QList<PLYSeoSubMetric>& subMetrics);

// Whitespace-separated runs that hold a letter or a digit, counted block by block, so that the
// last word of one block and the first of the next stay two words.
qint64 wordCount(const QStringList& textBlocks);

// The plain text of every text block of the layout (or of one block), sections in order and
// containers depth-first.
QStringList textBlocks(const PLYLayout& layout);
QStringList textBlocks(const PLYBlock& block);
// A text block, or a container holding one at any depth.
bool containsTextBlock(const PLYBlock& block);
bool containsTextBlock(const PLYLayout& layout);

struct ImageKeywordCount {
    qint64 images = 0;           // image blocks, an image placed twice counting twice
    qint64 withoutKeywords = 0;  // of those, the blocks whose image has no keywords
};
ImageKeywordCount countImageKeywords(const PLYLayout& layout,
                                     const std::function<bool(const QString& imageRef)>& hasKeywords);

}  // namespace PLYSeoGrading
