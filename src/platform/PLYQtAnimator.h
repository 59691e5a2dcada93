#pragma once

#include "PLYAnimator.h"

// QPropertyAnimation with an ease-in-out curve.
class PLYQtAnimator : public PLYAnimator {
public:
    void animate(QObject* target, const QByteArray& property, const QVariant& endValue, int durationMs,
                 std::function<void()> completion = {}) override;
};
