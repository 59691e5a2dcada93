#include "PLYFiniteEvent.h"

#include "PLYError.h"

#include <QStringList>

std::shared_ptr<PLYFiniteEvent> PLYFiniteEvent::eventWithName(const QString& name, const QList<PLYFiniteStatePtr>& sourceStates,
                                                              const PLYFiniteStatePtr& destinationState) {
    const QString invalid = QString::fromLatin1(PLYException::InvalidArgument);
    if (name.isEmpty()) throw PLYException(invalid, QStringLiteral("The event name cannot be empty."));
    if (!destinationState)
        throw PLYException(invalid, QStringLiteral("The event '%1' needs a destination state.").arg(name));
    for (const auto& s : sourceStates)
        if (!s) throw PLYException(invalid, QStringLiteral("The event '%1' has a null source state.").arg(name));
    return std::make_shared<PLYFiniteEvent>(name, sourceStates, destinationState);
}

QString PLYFiniteEvent::description() const {
    QStringList sources;
    for (const auto& s : m_sources) sources << s->name();
    return QStringLiteral("<PLYFiniteEvent '%1' from [%2] to '%3'>")
        .arg(m_name, sources.join(QStringLiteral(", ")), m_destination->name());
}

bool PLYFiniteEvent::shouldFire(const std::shared_ptr<PLYFiniteTransition>& transition) {
    if (ShouldFireHook h = m_shouldFire) return h(shared_from_this(), transition);
    return true;
}

void PLYFiniteEvent::run(const Hook& hook, const std::shared_ptr<PLYFiniteTransition>& transition) {
    if (Hook h = hook) h(shared_from_this(), transition);
}
