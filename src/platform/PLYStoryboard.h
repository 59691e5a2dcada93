#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>

// Scenes built in code, found by storyboard and identifier. Modules register their factories
// at start-up; registering the same scene again replaces its factory.
class PLYStoryboard {
public:
    using Factory = std::function<QObject*(QWidget* parent)>;

    static void registerScene(const QString& storyboard, const QString& identifier, Factory factory);
    static bool hasScene(const QString& storyboard, const QString& identifier);
    // A new scene; raises NSInvalidArgumentException for an unregistered one.
    static QObject* instantiate(const QString& storyboard, const QString& identifier, QWidget* parent = nullptr);
    template <class T>
    static T* instantiateAs(const QString& storyboard, const QString& identifier, QWidget* parent = nullptr) {
        return qobject_cast<T*>(instantiate(storyboard, identifier, parent));
    }
    static void unregisterScene(const QString& storyboard, const QString& identifier);
};
