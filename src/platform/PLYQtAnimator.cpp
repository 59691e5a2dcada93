#include "PLYQtAnimator.h"

#include <QPropertyAnimation>

void PLYQtAnimator::animate(QObject* target, const QByteArray& property, const QVariant& endValue, int durationMs,
                            std::function<void()> completion) {
    if (!target) return;
    // A new animation of the same property takes over from a running one, which stops where it
    // is without its completion (its end value will not be reached).
    for (QPropertyAnimation* running : target->findChildren<QPropertyAnimation*>(Qt::FindDirectChildrenOnly)) {
        if (running->targetObject() == target && running->propertyName() == property) running->stop();
    }
    auto* animation = new QPropertyAnimation(target, property, target);
    animation->setDuration(qMax(0, durationMs));
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setEndValue(endValue);
    if (completion) QObject::connect(animation, &QPropertyAnimation::finished, target, [completion] { completion(); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
