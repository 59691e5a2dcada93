#pragma once

#include <QtGlobal>

#include <algorithm>

#include <condition_variable>
#include <mutex>

// Bytes shared by jobs on several threads: a job takes what it needs before it starts and gives
// it back when done, so together they never hold more than the capacity. Jobs are served in the
// order they asked, so a large one is not passed over forever by small ones.
class PLYMemoryBudget {
public:
    explicit PLYMemoryBudget(qint64 capacity) : m_capacity(capacity) {}
    PLYMemoryBudget(const PLYMemoryBudget&) = delete;
    PLYMemoryBudget& operator=(const PLYMemoryBudget&) = delete;

    qint64 capacity() const;
    // For the jobs asking from now on.
    void setCapacity(qint64 capacity);

    // Waits until `bytes` fit beside what the others hold, then holds them. Refuses at once
    // (holding nothing) what could never fit.
    bool acquire(qint64 bytes);
    void release(qint64 bytes);

    qint64 inUse() const;
    // The most held at once since made.
    qint64 peakInUse() const;

    // Holds bytes for one scope.
    class Hold {
    public:
        // With `alone`, more than the capacity is held alone rather than refused.
        Hold(PLYMemoryBudget& budget, qint64 bytes, bool alone = false)
            : m_budget(budget), m_bytes(alone ? std::min(bytes, budget.capacity()) : bytes), m_held(budget.acquire(m_bytes)) {}
        ~Hold() {
            if (m_held) m_budget.release(m_bytes);
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        bool isHeld() const { return m_held; }

    private:
        PLYMemoryBudget& m_budget;
        qint64 m_bytes;
        bool m_held;
    };

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_capacity;
    qint64 m_inUse = 0;
    qint64 m_peak = 0;
    quint64 m_nextTicket = 0;
    quint64 m_serving = 0;
};
