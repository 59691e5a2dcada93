#pragma once

#include "PLYFiniteEvent.h"
#include "PLYFiniteState.h"

#include <QMetaType>
#include <QVariantMap>
#include <memory>

class PLYFiniteStateMachine;

// One firing of an event: what fired, from where to where, with the caller's user info.
class PLYFiniteTransition {
public:
    PLYFiniteTransition(PLYFiniteEventPtr event, PLYFiniteStatePtr sourceState, PLYFiniteStateMachine* machine,
                        QVariantMap userInfo)
        : m_event(std::move(event)), m_source(std::move(sourceState)), m_machine(machine), m_userInfo(std::move(userInfo)) {}

    const PLYFiniteEventPtr& event() const { return m_event; }
    const PLYFiniteStatePtr& sourceState() const { return m_source; }
    const PLYFiniteStatePtr& destinationState() const { return m_event->destinationState(); }
    // The machine that fired; valid while that machine lives.
    PLYFiniteStateMachine* stateMachine() const { return m_machine; }
    // A copy of the caller's user info (empty when none was given).
    const QVariantMap& userInfo() const { return m_userInfo; }

    // The transition carried under "transition" in a state-change notification's user info;
    // null when absent.
    static std::shared_ptr<PLYFiniteTransition> fromUserInfo(const QVariantMap& userInfo);
    static QVariant toVariant(const std::shared_ptr<PLYFiniteTransition>& transition);

private:
    PLYFiniteEventPtr m_event;
    PLYFiniteStatePtr m_source;
    PLYFiniteStateMachine* m_machine;
    QVariantMap m_userInfo;
};

using PLYFiniteTransitionPtr = std::shared_ptr<PLYFiniteTransition>;

Q_DECLARE_METATYPE(std::shared_ptr<PLYFiniteTransition>)
