#include "PLYSeoGrading.h"

#include <algorithm>

namespace {

qint64 characters(const QString& s) {
    qint64 n = 0;
    for (auto it = s.cbegin(); it != s.cend(); ++it) {
        if (!it->isLowSurrogate()) ++n;
    }
    return n;
}

struct KeywordReasons {
    const char* none;
    const char* some;  // may hold one %1 for the missing keywords
    const char* all;
};

// Level 3 when every keyword is missing (also when there are none), 2 when some are, else 1.
PLYSeoSubMetric gradeKeywords(const QStringList& keywords, const QString& text, const KeywordReasons& reasons) {
    const QStringList missing = PLYSeoGrading::exceptionOccurances(keywords, text);
    if (missing.size() == keywords.size()) return {PLYSeoLevelBad, QString::fromUtf8(reasons.none)};
    if (!missing.isEmpty()) {
        QString reason = QString::fromUtf8(reasons.some);
        if (reason.contains(QLatin1String("%1"))) reason = reason.arg(PLYSeoGrading::keywordArrayToString(missing));
        return {PLYSeoLevelWarning, reason};
    }
    return {PLYSeoLevelGood, QString::fromUtf8(reasons.all)};
}

void walk(const PLYBlock& block, const std::function<void(const PLYBlock&)>& visit) {
    visit(block);
    if (block.type_case() == PLYBlock::kContainer)
        for (const PLYBlock& child : block.container().sub_blocks()) walk(child, visit);
}

void walk(const PLYLayout& layout, const std::function<void(const PLYBlock&)>& visit) {
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks()) walk(block, visit);
}

}  // namespace

namespace PLYSeoGrading {

QStringList exceptionOccurances(const QStringList& keywords, const QString& text) {
    QStringList missing = keywords;
    const QString haystack = text.toLower();
    for (const QString& keyword : keywords) {
        if (haystack.contains(keyword.toLower())) missing.removeAll(keyword);
    }
    return missing;
}

QString keywordArrayToString(const QStringList& keywords) {
    QStringList quoted;
    for (const QString& keyword : keywords) quoted << QLatin1Char('\'') + keyword + QLatin1Char('\'');
    return quoted.join(QLatin1String(", "));
}

QList<PLYSeoSubMetric> gradeTitle(const QString& title, const QStringList& keywords) {
    const qint64 length = characters(title);
    PLYSeoSubMetric first;
    if (length == 0) {
        first = {PLYSeoLevelBad, QStringLiteral("No title set. Please add a title to receive SEO feedback.")};
    } else if (length < 25) {
        first = {PLYSeoLevelWarning,
                 QStringLiteral("The title has %1 characters, this is less than the minimum recommendation of 25 "
                                "characters, try to make it more descriptive.")
                     .arg(length)};
    } else if (length <= 45) {
        first = {PLYSeoLevelGood, QStringLiteral("The title is a good length, nice work!")};
    } else if (length <= 60) {
        first = {PLYSeoLevelWarning,
                 QStringLiteral("The title has %1 characters, this is more than the maximum recommendation of 45 "
                                "characters, try to shorten the title.")
                     .arg(length)};
    } else {
        first = {PLYSeoLevelBad,
                 QStringLiteral("The title has more than 60 characters, this is longer than the viewable limit for "
                                "search results. Please shorten the title.")};
    }
    return {first, gradeKeywords(keywords, title,
                                 {"none of the focus keywords are in the title, please add them. The title is one of "
                                  "the most important factors for good SEO.",
                                  "these focus keywords: %1 are missing from the title, why not add them?",
                                  "all focus keywords are in the title. Good one!"})};
}

QList<PLYSeoSubMetric> gradeMetaDescription(const QString& description, const QStringList& keywords) {
    const qint64 length = characters(description);
    PLYSeoSubMetric first;
    if (length == 0) {
        first = {PLYSeoLevelBad,
                 QStringLiteral("No meta description set. Jump over to the document tab to add meta description.")};
    } else if (length < 125) {
        first = {PLYSeoLevelWarning,
                 QStringLiteral("The meta description has %1 characters, this is less than the minimum "
                                "recommendation of 125 characters. Perhaps add more detail.")
                     .arg(length)};
    } else if (length <= 155) {
        first = {PLYSeoLevelGood, QStringLiteral("The meta description is a good length. You're nailing it.")};
    } else {
        first = {PLYSeoLevelWarning,
                 QStringLiteral("The meta description has %1 characters, this is more than the maximum "
                                "recommendation of 155 characters. Consider making it more concise.")
                     .arg(length)};
    }
    return {first, gradeKeywords(keywords, description,
                                 {"none of the focus keywords are in the meta description. This meta description is "
                                  "important because search engines will display these under the title. Get on it!",
                                  "these focus keywords %1 are missing from the meta description. We suggest to add "
                                  "them.",
                                  "all focus keywords are in the meta description. Great work!"})};
}

QList<PLYSeoSubMetric> gradeKeywordCount(qint64 count) {
    if (count <= 0)
        return {{PLYSeoLevelBad,
                 QStringLiteral("No focus keywords have been set. We can't give feedback on SEO without any focus "
                                "keywords. Head over to the document tab to get started.")}};
    if (count < 3)
        return {{PLYSeoLevelWarning, QStringLiteral("There are %1 focus keywords, this is less than the minimum "
                                                    "recommendation of 3, consider adding some more.")
                                         .arg(count)}};
    if (count <= 5) return {{PLYSeoLevelGood, QStringLiteral("Focus keywords have been added. Great start!")}};
    return {{PLYSeoLevelWarning, QStringLiteral("There are %1 focus keywords, this is more than the maximum "
                                                "recommendation of 5, consider removing some.")
                                     .arg(count)}};
}

QList<PLYSeoSubMetric> gradeImageKeywords(qint64 images, qint64 withoutKeywords) {
    if (withoutKeywords == images)
        return {{PLYSeoLevelBad, QStringLiteral("No images have keywords. Select an image to start adding keywords.")}};
    if (withoutKeywords > 0)
        return {{PLYSeoLevelWarning,
                 QStringLiteral("%1 of your %2 images have keywords. Add keywords to the remaining %3 for better SEO.")
                     .arg(images - withoutKeywords)
                     .arg(images)
                     .arg(withoutKeywords)}};
    return {{PLYSeoLevelGood, QStringLiteral("All your images have keywords. Perfect!")}};
}

QList<PLYSeoSubMetric> gradeBodyText(const QStringList& textBlocks, const QStringList& keywords) {
    const qint64 words = wordCount(textBlocks);
    PLYSeoSubMetric first;
    if (words == 0) {
        first = {PLYSeoLevelBad, QStringLiteral("Text is important for good SEO. Why not add some descriptive copy to "
                                                "your post to improve your SEO results.**")};
    } else if (words < 300) {
        first = {PLYSeoLevelWarning, QStringLiteral("The body text contains %1 words, this is less than the "
                                                    "recommendation of 300 words. Be a bit more descriptive!")
                                         .arg(words)};
    } else {
        first = {PLYSeoLevelGood,
                 QStringLiteral("The body text contains %1 words. This is a great amount of words.").arg(words)};
    }
    // Joined by a line break, so that a keyword never matches across two blocks.
    return {first, gradeKeywords(keywords, textBlocks.join(QLatin1Char('\n')),
                                 {"none of the focus keywords are in your body text. Try adding them to improve SEO "
                                  "results.",
                                  "some of the focus keywords are missing from the body text. We suggest adding them "
                                  "all for better SEO results.",
                                  "all focus keywords are in the body text. Doing well!"})};
}

qint64 summaryLevel(const QList<PLYSeoSubMetric>& subMetrics) {
    qint64 level = PLYSeoLevelGood;
    for (const PLYSeoSubMetric& sub : subMetrics) level = std::max(level, sub.level);
    return level;
}

qint64 wordCount(const QStringList& textBlocks) {
    qint64 words = 0;
    for (const QString& block : textBlocks) {
        bool counted = false;  // whether the current run has been counted
        for (const char32_t c : block.toUcs4()) {
            if (QChar::isSpace(c)) {
                counted = false;
            } else if (!counted && QChar::isLetterOrNumber(c)) {
                ++words;
                counted = true;
            }
        }
    }
    return words;
}

QStringList textBlocks(const PLYBlock& block) {
    QStringList texts;
    walk(block, [&](const PLYBlock& b) {
        if (b.type_case() == PLYBlock::kText) texts << QString::fromStdString(b.text().value());
    });
    return texts;
}

QStringList textBlocks(const PLYLayout& layout) {
    QStringList texts;
    walk(layout, [&](const PLYBlock& b) {
        if (b.type_case() == PLYBlock::kText) texts << QString::fromStdString(b.text().value());
    });
    return texts;
}

bool containsTextBlock(const PLYBlock& block) {
    bool found = false;
    walk(block, [&](const PLYBlock& b) { found = found || b.type_case() == PLYBlock::kText; });
    return found;
}

bool containsTextBlock(const PLYLayout& layout) {
    bool found = false;
    walk(layout, [&](const PLYBlock& b) { found = found || b.type_case() == PLYBlock::kText; });
    return found;
}

ImageKeywordCount countImageKeywords(const PLYLayout& layout,
                                     const std::function<bool(const QString& imageRef)>& hasKeywords) {
    ImageKeywordCount count;
    walk(layout, [&](const PLYBlock& b) {
        if (b.type_case() != PLYBlock::kImage) return;
        ++count.images;
        if (!hasKeywords || !hasKeywords(QString::fromStdString(b.image().img_ref()))) ++count.withoutKeywords;
    });
    return count;
}

}  // namespace PLYSeoGrading
