#include "PLYPaddingInput.h"

#include "PLYLayoutManager.h"

#include <algorithm>
#include <limits>

qint64 PLYPaddingInput::minimum() { return PLYLayoutManager::MinimumPadding; }

qint64 PLYPaddingInput::maximum() { return PLYLayoutManager::MaximumPadding; }

qint64 PLYPaddingInput::parseInteger(const QString& text, qint64 min, qint64 max) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    // Accumulated as a magnitude that stops growing once it is past any range, so a long run
    // of digits cannot overflow.
    constexpr qint64 cap = std::numeric_limits<qint64>::max() / 10 - 10;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        if (magnitude < cap) magnitude = magnitude * 10 + (c.unicode() - '0');
    }
    const qint64 value = negative ? -magnitude : magnitude;
    return std::clamp(value, std::min(min, max), std::max(min, max));
}

qint64 PLYPaddingInput::parse(const QString& text) { return parseInteger(text, minimum(), maximum()); }
