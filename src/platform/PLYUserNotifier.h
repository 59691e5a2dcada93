#pragma once

#include <QString>
#include <memory>

// One desktop notification. A later notification with the same identifier stands for the
// earlier one.
struct PLYUserNotification {
    QString identifier;
    QString title;
    QString subtitle;
    QString informativeText;
};

// Desktop notifications shown to the user (title and informative text).
class PLYUserNotifier {
public:
    virtual ~PLYUserNotifier() = default;
    virtual void deliver(const QString& title, const QString& informativeText) = 0;
    // A notification with identifier and subtitle; where the desktop shows only a title and a
    // text, the subtitle leads the text.
    virtual void deliverNotification(const PLYUserNotification& notification) {
        deliver(notification.title, notification.subtitle.isEmpty()
                                        ? notification.informativeText
                                        : notification.subtitle + QLatin1Char('\n') + notification.informativeText);
    }

    // Whether the desktop shows these notifications to the user at all.
    virtual bool showsMessages() const { return true; }

    // Delivers the notification through the shared notifier; false when the desktop shows none,
    // so that the caller says it in its own window instead.
    static bool deliverShown(const PLYUserNotification& notification);

    static std::shared_ptr<PLYUserNotifier> shared();
    static void setShared(std::shared_ptr<PLYUserNotifier> notifier);
};
