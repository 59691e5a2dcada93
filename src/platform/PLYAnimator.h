#pragma once

#include <QByteArray>
#include <QVariant>
#include <functional>
#include <memory>

class QObject;

// Eased property animations. The completion runs once the property holds its end value (not
// at all when the target goes away first, nor when a later animation of the same property of the
// same target takes over).
class PLYAnimator {
public:
    virtual ~PLYAnimator() = default;
    virtual void animate(QObject* target, const QByteArray& property, const QVariant& endValue, int durationMs,
                         std::function<void()> completion = {}) = 0;

    static std::shared_ptr<PLYAnimator> shared();
    static void setShared(std::shared_ptr<PLYAnimator> animator);
};
