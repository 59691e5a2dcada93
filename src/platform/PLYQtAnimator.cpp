#include "PLYQtAnimator.h"

#include <QPropertyAnimation>

void PLYQtAnimator::animate(QObject* target, const QByteArray& property, const QVariant& endValue, int durationMs,
                            std::function<void()> completion) {
    if (!target) return;
    auto* animation = new QPropertyAnimation(target, property, target);
    animation->setDuration(qMax(0, durationMs));
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setEndValue(endValue);
    if (completion) QObject::connect(animation, &QPropertyAnimation::finished, target, [completion] { completion(); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
