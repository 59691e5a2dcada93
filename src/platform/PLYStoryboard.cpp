#include "PLYStoryboard.h"

#include "PLYError.h"

#include <QHash>
#include <mutex>

namespace {
struct Registry {
    std::mutex mutex;
    QHash<QString, PLYStoryboard::Factory> factories;
};
Registry& registry() {
    static Registry r;
    return r;
}
QString slot(const QString& storyboard, const QString& identifier) { return storyboard + QChar(0x1f) + identifier; }
}  // namespace

void PLYStoryboard::registerScene(const QString& storyboard, const QString& identifier, Factory factory) {
    std::lock_guard lock(registry().mutex);
    if (factory)
        registry().factories.insert(slot(storyboard, identifier), std::move(factory));
    else
        registry().factories.remove(slot(storyboard, identifier));
}

bool PLYStoryboard::hasScene(const QString& storyboard, const QString& identifier) {
    std::lock_guard lock(registry().mutex);
    return registry().factories.contains(slot(storyboard, identifier));
}

QObject* PLYStoryboard::instantiate(const QString& storyboard, const QString& identifier, QWidget* parent) {
    Factory factory;
    {
        std::lock_guard lock(registry().mutex);
        factory = registry().factories.value(slot(storyboard, identifier));
    }
    if (!factory)
        throw PLYException(QString::fromLatin1(PLYException::InvalidArgument),
                           QStringLiteral("Storyboard (%1) doesn't contain a scene with identifier '%2'").arg(storyboard, identifier));
    // Called outside the lock: a scene may instantiate its children.
    QObject* scene = factory(parent);
    if (scene && scene->objectName().isEmpty()) scene->setObjectName(identifier);
    return scene;
}

void PLYStoryboard::unregisterScene(const QString& storyboard, const QString& identifier) {
    registerScene(storyboard, identifier, nullptr);
}
