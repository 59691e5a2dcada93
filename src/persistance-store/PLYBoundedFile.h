#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>
#include <functional>

// A file read through a bound, for reading what a file says about itself (its header, its
// metadata) whatever it holds: a file of a few bytes followed by a hole of many gigabytes reads
// as zeros for as long as one cares to read. At most `maxBytes` are read in all, at most
// `chunkBytes` at a time, and `stopRequested` (when given, from any thread's flag) is asked before
// each chunk. Once the bound is spent or a stop was asked for, reads fail and stoppedReason() says
// why. Another reader of the same file (a library with its own file access) draws on the same
// bound through allow() and spend().
class PLYBoundedFile : public QIODevice {
public:
    PLYBoundedFile(const QString& path, qint64 maxBytes, qint64 chunkBytes, std::function<bool()> stopRequested = {});
    ~PLYBoundedFile() override;

    // Read only. The file is read a chunk at a time into a buffer of this device's own, which
    // is what is counted; the many small reads and short seeks of a header walk are served from it.
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }

    // A reader that learns from what it read how much more it may need (a decoder, once it knows
    // the picture's size) moves the bound; once spent, a bound stays spent.
    void setMaxBytes(qint64 maxBytes) {
        if (m_stopped.isEmpty()) m_max = maxBytes;
    }
    // How many of `wanted` bytes may be read now: none once the bound is spent or a stop was asked for.
    qint64 allow(qint64 wanted);
    // Counts bytes read (by this device, or by another reader that asked allow() first).
    void spend(qint64 bytes) { m_read += bytes; }
    qint64 bytesRead() const { return m_read; }
    // Empty while reads may go on.
    QString stoppedReason() const { return m_stopped; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    QFile m_file;
    QByteArray m_chunkRead;  // the last chunk read, from m_chunkStart
    qint64 m_chunkStart = 0;
    qint64 m_max;
    qint64 m_chunk;
    std::function<bool()> m_stopRequested;
    qint64 m_read = 0;
    QString m_stopped;
};
