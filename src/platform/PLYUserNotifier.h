#pragma once

#include <QString>
#include <memory>

// Desktop notifications shown to the user (title and informative text).
class PLYUserNotifier {
public:
    virtual ~PLYUserNotifier() = default;
    virtual void deliver(const QString& title, const QString& informativeText) = 0;

    static std::shared_ptr<PLYUserNotifier> shared();
    static void setShared(std::shared_ptr<PLYUserNotifier> notifier);
};
