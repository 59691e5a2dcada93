#pragma once

#include "PLYFiniteState.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class PLYFiniteTransition;

// A named event moving a machine from any of its source states (every state when there are
// none) to its destination state.
class PLYFiniteEvent : public std::enable_shared_from_this<PLYFiniteEvent> {
public:
    using ShouldFireHook = std::function<bool(const std::shared_ptr<PLYFiniteEvent>& event,
                                              const std::shared_ptr<PLYFiniteTransition>& transition)>;
    using Hook = std::function<void(const std::shared_ptr<PLYFiniteEvent>& event,
                                    const std::shared_ptr<PLYFiniteTransition>& transition)>;

    // Raises NSInvalidArgumentException for an empty name or a missing destination.
    static std::shared_ptr<PLYFiniteEvent> eventWithName(const QString& name, const QList<PLYFiniteStatePtr>& sourceStates,
                                                         const PLYFiniteStatePtr& destinationState);

    const QString& name() const { return m_name; }
    const QList<PLYFiniteStatePtr>& sourceStates() const { return m_sources; }
    const PLYFiniteStatePtr& destinationState() const { return m_destination; }
    QString description() const;

    // Declining makes the firing fail with code 1001.
    void setShouldFireEventBlock(ShouldFireHook hook) { m_shouldFire = std::move(hook); }
    void setWillFireEventBlock(Hook hook) { m_willFire = std::move(hook); }
    void setDidFireEventBlock(Hook hook) { m_didFire = std::move(hook); }

    bool shouldFire(const std::shared_ptr<PLYFiniteTransition>& transition);
    void willFire(const std::shared_ptr<PLYFiniteTransition>& transition) { run(m_willFire, transition); }
    void didFire(const std::shared_ptr<PLYFiniteTransition>& transition) { run(m_didFire, transition); }

    PLYFiniteEvent(QString name, QList<PLYFiniteStatePtr> sources, PLYFiniteStatePtr destination)
        : m_name(std::move(name)), m_sources(std::move(sources)), m_destination(std::move(destination)) {}

private:
    void run(const Hook& hook, const std::shared_ptr<PLYFiniteTransition>& transition);

    QString m_name;
    QList<PLYFiniteStatePtr> m_sources;
    PLYFiniteStatePtr m_destination;
    ShouldFireHook m_shouldFire;
    Hook m_willFire;
    Hook m_didFire;
};

using PLYFiniteEventPtr = std::shared_ptr<PLYFiniteEvent>;
