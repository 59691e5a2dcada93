#include "PLYFiniteState.h"

#include "PLYError.h"

std::shared_ptr<PLYFiniteState> PLYFiniteState::stateWithName(const QString& name) {
    if (name.isEmpty())
        throw PLYException(QString::fromLatin1(PLYException::InvalidArgument), QStringLiteral("The state name cannot be empty."));
    return std::make_shared<PLYFiniteState>(name);
}

QString PLYFiniteState::description() const { return QStringLiteral("<PLYFiniteState '%1'>").arg(m_name); }

void PLYFiniteState::run(const Hook& hook, const std::shared_ptr<PLYFiniteTransition>& transition) {
    // A copy, so that a hook may replace itself while it runs.
    if (Hook h = hook) h(shared_from_this(), transition);
}
