#include "PLYWebServiceSessionPresenter.h"

#include <mutex>

namespace {

std::mutex& presenterMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<PLYWebServiceSessionPresenter>& presenterSlot() {
    static std::shared_ptr<PLYWebServiceSessionPresenter> presenter;
    return presenter;
}

}  // namespace

std::shared_ptr<PLYWebServiceSessionPresenter> PLYWebServiceSessionPresenter::shared() {
    std::lock_guard lock(presenterMutex());
    return presenterSlot();
}

void PLYWebServiceSessionPresenter::setShared(std::shared_ptr<PLYWebServiceSessionPresenter> presenter) {
    std::lock_guard lock(presenterMutex());
    presenterSlot() = std::move(presenter);
}
