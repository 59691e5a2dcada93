#pragma once

#include "PLYAnimator.h"

// Test double: sets the end value at once and runs the completion; counts the animations.
class PLYInstantAnimator : public PLYAnimator {
public:
    void animate(QObject* target, const QByteArray& property, const QVariant& endValue, int durationMs,
                 std::function<void()> completion = {}) override;
    int count() const { return m_count; }

private:
    int m_count = 0;
};
