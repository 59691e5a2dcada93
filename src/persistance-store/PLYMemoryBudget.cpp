#include "PLYMemoryBudget.h"

#include <algorithm>

qint64 PLYMemoryBudget::capacity() const {
    std::lock_guard lock(m_mutex);
    return m_capacity;
}

void PLYMemoryBudget::setCapacity(qint64 capacity) {
    std::lock_guard lock(m_mutex);
    m_capacity = capacity;
    m_changed.notify_all();
}

bool PLYMemoryBudget::acquire(qint64 bytes) {
    bytes = std::max<qint64>(0, bytes);
    std::unique_lock lock(m_mutex);
    if (bytes > m_capacity) return false;
    const quint64 ticket = m_nextTicket++;
    m_changed.wait(lock, [&] { return ticket == m_serving && (m_inUse + bytes <= m_capacity || m_inUse == 0); });
    ++m_serving;
    m_inUse += bytes;
    m_peak = std::max(m_peak, m_inUse);
    m_changed.notify_all();
    return true;
}

void PLYMemoryBudget::release(qint64 bytes) {
    std::lock_guard lock(m_mutex);
    m_inUse -= std::max<qint64>(0, bytes);
    m_changed.notify_all();
}

qint64 PLYMemoryBudget::inUse() const {
    std::lock_guard lock(m_mutex);
    return m_inUse;
}

qint64 PLYMemoryBudget::peakInUse() const {
    std::lock_guard lock(m_mutex);
    return m_peak;
}
