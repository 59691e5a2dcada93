#pragma once

#include <QString>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// One posted notification. `object` is the posting object (its type is fixed per notification
// name and documented where the name is defined); it is valid for the duration of delivery.
struct PLYNotification {
    QString name;
    void* object = nullptr;
    QVariantMap userInfo;

    template <class T>
    T* objectAs() const { return static_cast<T*>(object); }
};

// The process-wide notification centre. Delivery is synchronous on the posting thread, in
// registration order, over a copy of the observer list; an observer removed during delivery
// is not called afterwards.
class PLYNotificationCenter {
public:
    using Handler = std::function<void(const PLYNotification&)>;
    using Token = quint64;

    static PLYNotificationCenter& defaultCenter();

    // `name` empty observes every name; `object` null observes every poster. `owner` lets an
    // observer remove all its registrations at once (typically from its destructor).
    Token addObserver(const QString& name, const void* object, Handler handler, const void* owner = nullptr);
    void removeObserver(Token token);
    void removeObserversForOwner(const void* owner);

    void post(const QString& name, void* object = nullptr, const QVariantMap& userInfo = {});

    int observerCount() const;
    // Tests start from an empty centre.
    void removeAllObservers();

private:
    struct Entry {
        Token token;
        QString name;
        const void* object;
        const void* owner;
        Handler handler;
        // Read by posts on any thread without the lock; cleared under it on removal.
        std::shared_ptr<std::atomic<bool>> active;
    };
    mutable std::recursive_mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    Token m_next = 1;
};

// Removes its registrations when it goes: hold one per observing object.
class PLYObserverBag {
public:
    PLYObserverBag() = default;
    PLYObserverBag(const PLYObserverBag&) = delete;
    PLYObserverBag& operator=(const PLYObserverBag&) = delete;
    ~PLYObserverBag() { clear(); }

    void add(const QString& name, const void* object, PLYNotificationCenter::Handler handler);
    void clear();
    bool isEmpty() const { return m_tokens.empty(); }

private:
    std::vector<PLYNotificationCenter::Token> m_tokens;
};
