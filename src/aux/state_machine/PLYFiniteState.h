#pragma once

#include <QString>
#include <functional>
#include <memory>

class PLYFiniteTransition;

// One named state of a PLYFiniteStateMachine. Hooks receive the state and the transition
// that enters or leaves it; the transition is null when the machine is being activated.
class PLYFiniteState : public std::enable_shared_from_this<PLYFiniteState> {
public:
    using Hook = std::function<void(const std::shared_ptr<PLYFiniteState>& state,
                                    const std::shared_ptr<PLYFiniteTransition>& transition)>;

    // Raises NSInvalidArgumentException for an empty name.
    static std::shared_ptr<PLYFiniteState> stateWithName(const QString& name);

    const QString& name() const { return m_name; }
    QString description() const;

    void setWillEnterStateBlock(Hook hook) { m_willEnter = std::move(hook); }
    void setDidEnterStateBlock(Hook hook) { m_didEnter = std::move(hook); }
    void setWillExitStateBlock(Hook hook) { m_willExit = std::move(hook); }
    void setDidExitStateBlock(Hook hook) { m_didExit = std::move(hook); }

    // Run by the machine; each is a no-op when its hook is not set.
    void willEnter(const std::shared_ptr<PLYFiniteTransition>& transition) { run(m_willEnter, transition); }
    void didEnter(const std::shared_ptr<PLYFiniteTransition>& transition) { run(m_didEnter, transition); }
    void willExit(const std::shared_ptr<PLYFiniteTransition>& transition) { run(m_willExit, transition); }
    void didExit(const std::shared_ptr<PLYFiniteTransition>& transition) { run(m_didExit, transition); }

    explicit PLYFiniteState(QString name) : m_name(std::move(name)) {}

private:
    void run(const Hook& hook, const std::shared_ptr<PLYFiniteTransition>& transition);

    QString m_name;
    Hook m_willEnter;
    Hook m_didEnter;
    Hook m_willExit;
    Hook m_didExit;
};

using PLYFiniteStatePtr = std::shared_ptr<PLYFiniteState>;
