#include "PLYTextLimits.h"

namespace PLYTextLimits {

bool textBlockHolds(qsizetype length) { return length >= 0 && length <= TextBlockMaximumLength; }

QString withoutControlCharacters(const QString& text, bool keepLineBreaks) {
    const auto dropped = [&](qsizetype i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) return !(i + 1 < text.size() && text.at(i + 1).isLowSurrogate());
        if (c.isLowSurrogate()) return !(i > 0 && text.at(i - 1).isHighSurrogate());
        const bool lineBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
        return c.category() == QChar::Other_Control && !(keepLineBreaks && lineBreak);
    };
    // Most text has none: shared, not copied.
    qsizetype first = 0;
    while (first < text.size() && !dropped(first)) ++first;
    if (first == text.size()) return text;
    QString kept = text.left(first);
    kept.reserve(text.size());
    for (qsizetype i = first + 1; i < text.size(); ++i)
        if (!dropped(i)) kept.append(text.at(i));
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
