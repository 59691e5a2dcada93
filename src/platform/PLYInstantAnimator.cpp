#include "PLYInstantAnimator.h"

#include <QObject>

void PLYInstantAnimator::animate(QObject* target, const QByteArray& property, const QVariant& endValue, int,
                                 std::function<void()> completion) {
    ++m_count;
    if (!target) return;
    target->setProperty(property.constData(), endValue);
    if (completion) completion();
}
