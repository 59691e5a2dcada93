#pragma once

#include "PLYSeoGrading.h"

#include <QList>
#include <QString>

class PLYSeoManager;

// The sentence the SEO tab shows for a metric: plain text for a single sub-metric; otherwise
// the good reasons joined by an italic " and ", then the first reason that is not good after an
// italic " but " and a line break, in bold, and nothing after it.
struct PLYSeoSentence {
    enum Style { Regular, Italic, Bold };
    struct Run {
        QString text;
        Style style = Regular;
        bool operator==(const Run&) const = default;
    };

    bool plain = true;  // no styles at all
    QList<Run> runs;

    static PLYSeoSentence plainText(const QString& text);
    static PLYSeoSentence forSubMetrics(const QList<PLYSeoSubMetric>& subMetrics);

    QString toPlainText() const;
    // Rich text for a label; every run is escaped, so a keyword such as "<b>x" shows as typed.
    QString toHtml() const;
};

// What each row of the SEO tab shows for a post.
struct PLYSeoRowState {
    bool visible = false;
    qint64 level = 0;  // the light: 3 red, 2 yellow, 1 green, anything else none
    PLYSeoSentence sentence;
};

struct PLYSeoInspectorState {
    PLYSeoRowState title;
    PLYSeoRowState meta;
    PLYSeoRowState keywords;
    PLYSeoRowState imageKeywords;
    PLYSeoRowState text;

    // Without focus keywords only the keyword row shows, red, with the count metric's first
    // reason; with them every row shows but the body text, which needs a text block.
    static PLYSeoInspectorState forManager(const PLYSeoManager& manager);
};
