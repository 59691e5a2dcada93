#include "PLYSeoSummary.h"

#include "PLYSeoManager.h"

PLYSeoSentence PLYSeoSentence::plainText(const QString& text) {
    PLYSeoSentence sentence;
    if (!text.isEmpty()) sentence.runs << Run{text, Regular};
    return sentence;
}

PLYSeoSentence PLYSeoSentence::forSubMetrics(const QList<PLYSeoSubMetric>& subMetrics) {
    if (subMetrics.size() == 1) return plainText(subMetrics.first().reason);
    PLYSeoSentence sentence;
    sentence.plain = false;
    for (const PLYSeoSubMetric& sub : subMetrics) {
        const bool good = sub.level == PLYSeoLevelGood;
        if (!sentence.runs.isEmpty())
            sentence.runs << Run{good ? QStringLiteral(" and ") : QStringLiteral(" but \n"), Italic};
        sentence.runs << Run{sub.reason, good ? Regular : Bold};
        if (!good) break;
    }
    return sentence;
}

QString PLYSeoSentence::toPlainText() const {
    QString text;
    for (const Run& run : runs) text += run.text;
    return text;
}

QString PLYSeoSentence::toHtml() const {
    QString html;
    for (const Run& run : runs) {
        QString escaped = run.text.toHtmlEscaped();
        escaped.replace(QLatin1Char('\n'), QLatin1String("<br>"));
        switch (run.style) {
        case Regular: html += escaped; break;
        case Italic: html += QLatin1String("<i>") + escaped + QLatin1String("</i>"); break;
        case Bold: html += QLatin1String("<b>") + escaped + QLatin1String("</b>"); break;
        }
    }
    return html;
}

namespace {
PLYSeoRowState rowFor(const PLYSeoMetric* metric) {
    if (!metric) return {};
    return {true, metric->summaryLevel(), PLYSeoSentence::forSubMetrics(metric->subMetrics())};
}
}  // namespace

PLYSeoInspectorState PLYSeoInspectorState::forManager(const PLYSeoManager& manager) {
    PLYSeoInspectorState state;
    if (manager.isKeywordRelevant()) {
        state.keywords = rowFor(manager.keywordsMetric());
        state.title = rowFor(manager.titleMetric());
        state.meta = rowFor(manager.metaMetric());
        state.imageKeywords = rowFor(manager.imageKeywordMetrics());
        if (manager.isTextRelevant()) state.text = rowFor(manager.textMetric());
    } else {
        const PLYSeoMetric* count = manager.keywordsMetric();
        state.keywords = {true, PLYSeoLevelBad,
                          PLYSeoSentence::plainText(count ? count->primaryMetricReason() : QString())};
    }
    return state;
}
