#pragma once

#include <memory>
#include <mutex>

// The process-wide instance of a platform facility: the real implementation unless a test
// put a double in its place. Setting null restores the real one.
template <class Interface, class Default>
class PLYReplaceableInstance {
public:
    static std::shared_ptr<Interface> get() {
        std::lock_guard lock(mutex());
        if (!slot()) slot() = std::make_shared<Default>();
        return slot();
    }
    static void set(std::shared_ptr<Interface> instance) {
        std::lock_guard lock(mutex());
        slot() = std::move(instance);
    }

private:
    static std::shared_ptr<Interface>& slot() {
        static std::shared_ptr<Interface> instance;
        return instance;
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
};
