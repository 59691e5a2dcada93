#pragma once

#include <QString>

// What the image-preparation display shows for a count of images still waiting for their
// cached renditions (pending) out of all the post's images (total), and whether it is done.
class PLYPrepProgress {
public:
    // Pending is kept within 0..total and a negative total reads as none, so a count taken
    // while the folder changes never shows more prepared images than there are.
    static PLYPrepProgress fromCounts(qint64 pending, qint64 total);

    qint64 prepared() const { return m_total - m_pending; }
    qint64 pending() const { return m_pending; }
    qint64 total() const { return m_total; }
    // Nothing left to wait for; also when there are no images at all.
    bool isFinished() const { return m_pending == 0; }
    // Prepared over total, 0..1; a post without images counts as fully prepared.
    double fraction() const;
    // "Preparing Images (prepared/total)".
    QString labelText() const;

    bool operator==(const PLYPrepProgress& other) const = default;

private:
    qint64 m_pending = 0;
    qint64 m_total = 0;
};
