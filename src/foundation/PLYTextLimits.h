#pragma once

#include <QString>

// Keeps text from outside (typed, pasted, sent by the service, named by the file system) within
// what the rest of the program can store and show.
namespace PLYTextLimits {

// The most UTF-16 units the words of a text block may have.
inline constexpr qsizetype TextBlockMaximumLength = 200000;

// Whether a text block can hold words of `length` UTF-16 units. The one rule for what the editor
// lets into a block and what the layout takes.
bool textBlockHolds(qsizetype length);

// Without control characters (NUL and the other C0 and C1 codes, which cut or break the saved
// files) and without lone halves of surrogate pairs (which no saved file can hold: they came back
// as "?"); tabs and line breaks stay when `keepLineBreaks`.
QString withoutControlCharacters(const QString& text, bool keepLineBreaks = false);

// At most `maxLength` UTF-16 units, never splitting a surrogate pair.
QString truncatedToLength(const QString& text, qsizetype maxLength);

// The longest start of `text` whose UTF-8 form takes at most `maxBytes` bytes, never splitting
// a character.
QString truncatedToUtf8Bytes(const QString& text, qsizetype maxBytes);

}  // namespace PLYTextLimits
