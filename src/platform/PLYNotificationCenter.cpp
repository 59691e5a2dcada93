#include "PLYNotificationCenter.h"

#include <algorithm>

PLYNotificationCenter& PLYNotificationCenter::defaultCenter() {
    // Never destroyed: singletons that go at exit still leave the centre as they go.
    static auto* center = new PLYNotificationCenter();
    return *center;
}

PLYNotificationCenter::Token PLYNotificationCenter::addObserver(const QString& name, const void* object,
                                                                Handler handler, const void* owner) {
    std::lock_guard lock(m_mutex);
    auto entry = std::make_shared<Entry>();
    entry->token = m_next++;
    entry->name = name;
    entry->object = object;
    entry->owner = owner;
    entry->handler = std::move(handler);
    entry->active = std::make_shared<std::atomic<bool>>(true);
    m_entries.push_back(entry);
    return entry->token;
}

void PLYNotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const auto& e) { return e->token == token; });
    if (it != m_entries.end()) {
        *(*it)->active = false;
        m_entries.erase(it);
    }
}

void PLYNotificationCenter::removeObserversForOwner(const void* owner) {
    if (!owner) return;
    std::lock_guard lock(m_mutex);
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const auto& e) {
                                       if (e->owner != owner) return false;
                                       *e->active = false;
                                       return true;
                                   }),
                    m_entries.end());
}

void PLYNotificationCenter::post(const QString& name, void* object, const QVariantMap& userInfo) {
    std::vector<std::shared_ptr<Entry>> snapshot;
    {
        std::lock_guard lock(m_mutex);
        snapshot = m_entries;
    }
    PLYNotification note{name, object, userInfo};
    for (const auto& e : snapshot) {
        if (!*e->active) continue;
        if (!e->name.isEmpty() && e->name != name) continue;
        if (e->object && e->object != object) continue;
        e->handler(note);
    }
}

int PLYNotificationCenter::observerCount() const {
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

void PLYNotificationCenter::removeAllObservers() {
    std::lock_guard lock(m_mutex);
    for (auto& e : m_entries) *e->active = false;
    m_entries.clear();
}

void PLYObserverBag::add(const QString& name, const void* object, PLYNotificationCenter::Handler handler) {
    m_tokens.push_back(PLYNotificationCenter::defaultCenter().addObserver(name, object, std::move(handler)));
}

void PLYObserverBag::clear() {
    for (auto t : m_tokens) PLYNotificationCenter::defaultCenter().removeObserver(t);
    m_tokens.clear();
}
