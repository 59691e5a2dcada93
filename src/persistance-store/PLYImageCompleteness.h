#pragma once

#include <QString>

// Whether a picture file holds the whole picture. The JPEG decoder takes a file cut short (a copy
// that stopped, a card pulled out) without an error: it only warns of the premature end and fills
// the rest grey. Such a file must not be published as if it were the photo.
class PLYImageCompleteness {
public:
    // Why the picture at `path` is incomplete, or empty when it is whole, is no JPEG (only JPEG is
    // checked) or cannot be read (which the other checks report).
    static QString whyIncomplete(const QString& path);
    // The same for the bytes of a file: true when a JPEG's markers reach the end of its picture
    // (what follows it, such as a movie a camera appends, is left alone).
    static bool jpegReachesItsEnd(const char* data, qint64 size);
};
