#include "PLYTextLimits.h"

#include <algorithm>

namespace PLYTextLimits {

bool textBlockHolds(qsizetype length) { return length >= 0 && length <= TextBlockMaximumLength; }

QString withoutControlCharacters(const QString& text, bool keepLineBreaks) {
    const auto dropped = [keepLineBreaks](QChar c) {
        const bool lineBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
        return c.category() == QChar::Other_Control && !(keepLineBreaks && lineBreak);
    };
    // Most text has none: shared, not copied.
    if (std::none_of(text.cbegin(), text.cend(), dropped)) return text;
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text)
        if (!dropped(c)) kept.append(c);
    return kept;
}

QString truncatedToLength(const QString& text, qsizetype maxLength) {
    if (text.size() <= maxLength) return text;
    qsizetype end = qMax<qsizetype>(0, maxLength);
    if (end > 0 && text.at(end - 1).isHighSurrogate()) --end;
    return text.left(end);
}

QString truncatedToUtf8Bytes(const QString& text, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char32_t code = text.at(i).unicode();
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype width = pair ? 4 : code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
        if (bytes + width > maxBytes) break;
        bytes += width;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

}  // namespace PLYTextLimits
