#include "PLYBoundedFile.h"

#include <cstring>

PLYBoundedFile::PLYBoundedFile(const QString& path, qint64 maxBytes, qint64 chunkBytes, std::function<bool()> stopRequested)
    : m_file(path), m_max(maxBytes), m_chunk(qMax<qint64>(1, chunkBytes)), m_stopRequested(std::move(stopRequested)) {}

PLYBoundedFile::~PLYBoundedFile() { close(); }

bool PLYBoundedFile::open(OpenMode mode) {
    if ((mode & WriteOnly) || !m_file.open(ReadOnly | Unbuffered)) {
        setErrorString(mode & WriteOnly ? QStringLiteral("the file is only read") : m_file.errorString());
        return false;
    }
    return QIODevice::open(ReadOnly | Unbuffered);
}

void PLYBoundedFile::close() {
    if (!isOpen()) return;
    QIODevice::close();
    m_file.close();
    m_chunkRead.clear();
}

qint64 PLYBoundedFile::allow(qint64 wanted) {
    if (m_stopped.isEmpty() && m_stopRequested && m_stopRequested()) m_stopped = QStringLiteral("the read was stopped");
    if (m_stopped.isEmpty() && m_read >= m_max)
        m_stopped = QStringLiteral("nothing usable in its first %1 bytes").arg(m_max);
    if (!m_stopped.isEmpty()) return 0;
    return qMin(qMin(wanted, m_chunk), m_max - m_read);
}

qint64 PLYBoundedFile::readData(char* data, qint64 maxSize) {
    if (maxSize <= 0) return 0;
    const qint64 at = pos();
    if (at < m_chunkStart || at >= m_chunkStart + m_chunkRead.size()) {
        const qint64 allowed = allow(m_chunk);
        if (allowed <= 0) {
            setErrorString(m_stopped);
            return -1;
        }
        m_chunkRead.resize(allowed);
        const qint64 got = m_file.seek(at) ? m_file.read(m_chunkRead.data(), allowed) : -1;
        m_chunkRead.resize(qMax<qint64>(0, got));
        m_chunkStart = at;
        if (got < 0) {
            setErrorString(m_file.errorString());
            return -1;
        }
        spend(got);
        if (got == 0) return 0;  // the end of the file
    }
    const qint64 offset = at - m_chunkStart;
    const qint64 n = qMin(maxSize, qint64(m_chunkRead.size()) - offset);
    memcpy(data, m_chunkRead.constData() + offset, size_t(n));
    return n;
}

qint64 PLYBoundedFile::writeData(const char*, qint64) { return -1; }
