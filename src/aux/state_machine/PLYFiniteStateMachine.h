#pragma once

#include "PLYError.h"
#include "PLYFiniteEvent.h"
#include "PLYFiniteState.h"
#include "PLYFiniteTransition.h"

#include <QList>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <mutex>

// A named finite state machine. States and events are added while the machine is inactive;
// activation enters the initial state. Every successful firing posts
// "PLYFiniteStateMachineDidChangeStateNotification" (object: the machine, user info: the
// caller's plus "transition"). All work happens under the machine's recursive lock, so a hook
// may fire the next event from inside a firing on the same thread.
class PLYFiniteStateMachine {
public:
    static constexpr const char* DidChangeStateNotification = "PLYFiniteStateMachineDidChangeStateNotification";
    static constexpr const char* TransitionKey = "transition";
    static constexpr const char* ErrorDomain = "org.vantorel.vezovuroru.fsm.errors";
    static constexpr qint64 InvalidTransitionError = 1000;
    static constexpr qint64 TransitionDeclinedError = 1001;
    static constexpr const char* ImmutableException = "PLYFiniteStateMachineIsImmutableException";

    explicit PLYFiniteStateMachine(QString name);
    static std::shared_ptr<PLYFiniteStateMachine> initWithName(const QString& name);
    PLYFiniteStateMachine(const PLYFiniteStateMachine&) = delete;
    PLYFiniteStateMachine& operator=(const PLYFiniteStateMachine&) = delete;

    QString name() const { return m_name; }
    QString description() const;

    // Building; each raises "PLYFiniteStateMachineIsImmutableException" once active.
    void addStates(const QList<PLYFiniteStatePtr>& states);
    void addState(const PLYFiniteStatePtr& state) { addStates({state}); }
    // Its states must have been added first (NSInternalInconsistencyException otherwise);
    // a second event of the same name is refused likewise.
    void addEvent(const PLYFiniteEventPtr& event);
    void setInitialState(const PLYFiniteStatePtr& state);
    PLYFiniteStatePtr initialState() const;

    QList<PLYFiniteStatePtr> states() const;
    QList<PLYFiniteEventPtr> events() const;
    PLYFiniteStatePtr stateNamed(const QString& name) const;
    PLYFiniteEventPtr eventNamed(const QString& name) const;

    // Enters the initial state (will-enter, set, did-enter; no notification). Raises
    // NSInternalInconsistencyException "The state machine has already been activated." when
    // called twice, and when there is no initial state.
    void activate();
    bool isActive() const;
    // Null before activation.
    PLYFiniteStatePtr currentState() const;
    bool isInState(const QString& stateName) const;

    // True when the event has no source states or lists the current one. An unknown name (or
    // an event of another machine) raises NSInvalidArgumentException.
    bool canFireEvent(const PLYFiniteEventPtr& event) const;
    bool canFireEvent(const QString& eventName) const;

    // Activates first when inactive. Refusals (1000: not from this state; 1001: declined by the
    // event's should-fire hook) change nothing and post nothing.
    bool fireEvent(const PLYFiniteEventPtr& event, const QVariantMap& userInfo = {}, PLYError* error = nullptr);
    bool fireEvent(const QString& eventName, const QVariantMap& userInfo = {}, PLYError* error = nullptr);

private:
    void ensureMutable(const char* what) const;
    PLYFiniteEventPtr resolve(const PLYFiniteEventPtr& event) const;
    PLYFiniteEventPtr resolve(const QString& name) const;
    bool canFireResolved(const PLYFiniteEventPtr& event) const;
    bool fireResolved(const PLYFiniteEventPtr& event, const QVariantMap& userInfo, PLYError* error);

    const QString m_name;
    mutable std::recursive_mutex m_mutex;
    QList<PLYFiniteStatePtr> m_states;
    QList<PLYFiniteEventPtr> m_events;
    PLYFiniteStatePtr m_initial;
    PLYFiniteStatePtr m_current;
    bool m_active = false;
};
