#include "PLYFiniteStateMachine.h"

#include "PLYLog.h"
#include "PLYNotificationCenter.h"

#include <QStringList>

namespace {
QString invalidArgument() { return QString::fromLatin1(PLYException::InvalidArgument); }
QString inconsistency() { return QString::fromLatin1(PLYException::InternalInconsistency); }
}  // namespace

PLYFiniteStateMachine::PLYFiniteStateMachine(QString name) : m_name(std::move(name)) {}

std::shared_ptr<PLYFiniteStateMachine> PLYFiniteStateMachine::initWithName(const QString& name) {
    return std::make_shared<PLYFiniteStateMachine>(name);
}

QString PLYFiniteStateMachine::description() const {
    std::lock_guard lock(m_mutex);
    QStringList states, events;
    for (const auto& s : m_states) states << s->name();
    for (const auto& e : m_events) events << e->description();
    return QStringLiteral("<PLYFiniteStateMachine '%1' current: %2, states: [%3], events: [%4]>")
        .arg(m_name, m_current ? m_current->name() : QStringLiteral("(none)"), states.join(QStringLiteral(", ")),
             events.join(QStringLiteral(", ")));
}

void PLYFiniteStateMachine::ensureMutable(const char* what) const {
    if (m_active)
        throw PLYException(QString::fromLatin1(ImmutableException),
                           QStringLiteral("Unable to %1: the state machine '%2' has already been activated.")
                               .arg(QString::fromLatin1(what), m_name));
}

void PLYFiniteStateMachine::addStates(const QList<PLYFiniteStatePtr>& states) {
    std::lock_guard lock(m_mutex);
    ensureMutable("add states");
    for (const auto& s : states) {
        if (!s) throw PLYException(invalidArgument(), QStringLiteral("Cannot add a null state."));
        if (m_states.contains(s)) continue;
        if (stateNamed(s->name()))
            throw PLYException(inconsistency(), QStringLiteral("The state machine already has a state named '%1'.").arg(s->name()));
        m_states.append(s);
    }
}

void PLYFiniteStateMachine::addEvent(const PLYFiniteEventPtr& event) {
    std::lock_guard lock(m_mutex);
    ensureMutable("add an event");
    if (!event) throw PLYException(invalidArgument(), QStringLiteral("Cannot add a null event."));
    if (m_events.contains(event)) return;
    if (eventNamed(event->name()))
        throw PLYException(inconsistency(), QStringLiteral("The state machine already has an event named '%1'.").arg(event->name()));
    auto referenced = event->sourceStates();
    referenced.append(event->destinationState());
    for (const auto& s : referenced)
        if (!m_states.contains(s))
            throw PLYException(inconsistency(),
                               QStringLiteral("Cannot add event '%1': it references the state '%2', which has not been added.")
                                   .arg(event->name(), s->name()));
    m_events.append(event);
}

void PLYFiniteStateMachine::setInitialState(const PLYFiniteStatePtr& state) {
    std::lock_guard lock(m_mutex);
    ensureMutable("set the initial state");
    if (state && !m_states.contains(state))
        throw PLYException(inconsistency(),
                           QStringLiteral("Cannot make '%1' the initial state: it has not been added.").arg(state->name()));
    m_initial = state;
}

PLYFiniteStatePtr PLYFiniteStateMachine::initialState() const {
    std::lock_guard lock(m_mutex);
    return m_initial;
}

QList<PLYFiniteStatePtr> PLYFiniteStateMachine::states() const {
    std::lock_guard lock(m_mutex);
    return m_states;
}

QList<PLYFiniteEventPtr> PLYFiniteStateMachine::events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

PLYFiniteStatePtr PLYFiniteStateMachine::stateNamed(const QString& name) const {
    std::lock_guard lock(m_mutex);
    for (const auto& s : m_states)
        if (s->name() == name) return s;
    return nullptr;
}

PLYFiniteEventPtr PLYFiniteStateMachine::eventNamed(const QString& name) const {
    std::lock_guard lock(m_mutex);
    for (const auto& e : m_events)
        if (e->name() == name) return e;
    return nullptr;
}

void PLYFiniteStateMachine::activate() {
    std::lock_guard lock(m_mutex);
    if (m_active) throw PLYException(inconsistency(), QStringLiteral("The state machine has already been activated."));
    if (!m_initial)
        throw PLYException(inconsistency(), QStringLiteral("The state machine '%1' has no initial state.").arg(m_name));
    m_active = true;
    const PLYFiniteStatePtr initial = m_initial;
    initial->willEnter(nullptr);
    m_current = initial;
    initial->didEnter(nullptr);
}

bool PLYFiniteStateMachine::isActive() const {
    std::lock_guard lock(m_mutex);
    return m_active;
}

PLYFiniteStatePtr PLYFiniteStateMachine::currentState() const {
    std::lock_guard lock(m_mutex);
    return m_current;
}

bool PLYFiniteStateMachine::isInState(const QString& stateName) const {
    std::lock_guard lock(m_mutex);
    return m_current && m_current->name() == stateName;
}

PLYFiniteEventPtr PLYFiniteStateMachine::resolve(const PLYFiniteEventPtr& event) const {
    if (!event)
        throw PLYException(invalidArgument(),
                           QStringLiteral("Expected a `PLYFiniteEvent` object or `NSString` object specifying the name of an "
                                          "event, instead got a `%1` (%2)")
                               .arg(QStringLiteral("nullptr"), QStringLiteral("(null)")));
    if (!m_events.contains(event))
        throw PLYException(invalidArgument(), QStringLiteral("Cannot find an Event named '%1'").arg(event->name()));
    return event;
}

PLYFiniteEventPtr PLYFiniteStateMachine::resolve(const QString& name) const {
    PLYFiniteEventPtr event = eventNamed(name);
    if (!event) throw PLYException(invalidArgument(), QStringLiteral("Cannot find an Event named '%1'").arg(name));
    return event;
}

bool PLYFiniteStateMachine::canFireResolved(const PLYFiniteEventPtr& event) const {
    const auto& sources = event->sourceStates();
    return sources.isEmpty() || (m_current && sources.contains(m_current));
}

bool PLYFiniteStateMachine::canFireEvent(const PLYFiniteEventPtr& event) const {
    std::lock_guard lock(m_mutex);
    return canFireResolved(resolve(event));
}

bool PLYFiniteStateMachine::canFireEvent(const QString& eventName) const {
    std::lock_guard lock(m_mutex);
    return canFireResolved(resolve(eventName));
}

bool PLYFiniteStateMachine::fireEvent(const PLYFiniteEventPtr& event, const QVariantMap& userInfo, PLYError* error) {
    std::lock_guard lock(m_mutex);
    if (!m_active) activate();
    const PLYFiniteEventPtr resolved = resolve(event);
    return fireResolved(resolved, userInfo, error);
}

bool PLYFiniteStateMachine::fireEvent(const QString& eventName, const QVariantMap& userInfo, PLYError* error) {
    std::lock_guard lock(m_mutex);
    if (!m_active) activate();
    const PLYFiniteEventPtr resolved = resolve(eventName);
    return fireResolved(resolved, userInfo, error);
}

bool PLYFiniteStateMachine::fireResolved(const PLYFiniteEventPtr& event, const QVariantMap& userInfo, PLYError* error) {
    const PLYFiniteStatePtr source = m_current;
    if (!canFireResolved(event)) {
        QStringList sources;
        for (const auto& s : event->sourceStates()) sources << s->name();
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), InvalidTransitionError,
                                      QStringLiteral("The event cannot be fired from the current state."),
                                      QStringLiteral("An attempt was made to fire the '%1' event while in the '%2' state, "
                                                     "but the event only transitions from [%3].")
                                          .arg(event->name(), source ? source->name() : QString(),
                                               sources.join(QStringLiteral(", ")))));
        return false;
    }

    const PLYFiniteStatePtr destination = event->destinationState();
    auto transition = std::make_shared<PLYFiniteTransition>(event, source, this, userInfo);
    if (!event->shouldFire(transition)) {
        PLYError::set(error, PLYError(QString::fromLatin1(ErrorDomain), TransitionDeclinedError,
                                      QStringLiteral("The event declined to be fired."),
                                      QStringLiteral("An attempt to fire the '%1' event was declined because its should-fire "
                                                     "hook answered no.")
                                          .arg(event->name())));
        return false;
    }

    event->willFire(transition);
    source->willExit(transition);
    destination->willEnter(transition);
    m_current = destination;

    PLY_LOG_INFO(QStringLiteral("State Machine '%1' moving from %2 to %3 via event %4")
                     .arg(m_name, source->description(), destination->description(), event->description()));
    QVariantMap notificationInfo = userInfo;
    notificationInfo.insert(QString::fromLatin1(TransitionKey), PLYFiniteTransition::toVariant(transition));
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(DidChangeStateNotification), this, notificationInfo);

    source->didExit(transition);
    destination->didEnter(transition);
    event->didFire(transition);
    return true;
}
