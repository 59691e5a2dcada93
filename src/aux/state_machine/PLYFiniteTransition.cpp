#include "PLYFiniteTransition.h"

#include "PLYFiniteStateMachine.h"

std::shared_ptr<PLYFiniteTransition> PLYFiniteTransition::fromUserInfo(const QVariantMap& userInfo) {
    const QVariant v = userInfo.value(QString::fromLatin1(PLYFiniteStateMachine::TransitionKey));
    if (v.metaType() != QMetaType::fromType<std::shared_ptr<PLYFiniteTransition>>()) return nullptr;
    return v.value<std::shared_ptr<PLYFiniteTransition>>();
}

QVariant PLYFiniteTransition::toVariant(const std::shared_ptr<PLYFiniteTransition>& transition) {
    return QVariant::fromValue(transition);
}
