#pragma once

#include <QColor>
#include <QString>

// Images generated for tests: JPEGs written by Qt, XMP and EXIF written with exiv2.
namespace PLYTestImages {
// A JPEG of the given size filled with a gradient over `colour`; false when it cannot be written.
bool writeJpeg(const QString& path, int width, int height, const QColor& colour = QColor(40, 120, 200), int quality = 90);
// A photo-like JPEG (sky, hills, fine noise) that decodes and compresses like a real photo;
// `seed` varies the scene. False when it cannot be written.
bool writePhotoJpeg(const QString& path, int width, int height, int seed = 1, int quality = 90);
// Sets xmp:Rating (when rating >= 0) and xmp:Label (when not empty) in an existing file.
bool setXmpRatingAndLabel(const QString& path, int rating, const QString& label = {});
// Sets the EXIF orientation (1..8) of an existing JPEG.
bool setExifOrientation(const QString& path, int orientation);
// `head` and then a hole up to `size` bytes: a file that takes no room on disk and reads as zeros
// for as long as one cares to read.
bool writeHeadThenHole(const QString& path, const QByteArray& head, qint64 size);
// A JPEG of the given size cut just before its scan (its frame header readable, no picture data),
// then a hole up to `size` bytes.
bool writeJpegHeaderThenHole(const QString& path, int width, int height, qint64 size);
// A file named like a JPEG whose content no decoder reads.
bool writeCorruptJpeg(const QString& path);
}  // namespace PLYTestImages
