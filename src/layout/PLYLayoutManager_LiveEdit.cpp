// Changes from other roads held back while a live drag of edit mode is under way.
#include "PLYLayoutManager.h"

#include "PLYDispatch.h"

std::shared_ptr<void> PLYLayoutManager::holdForLiveEdit() {
    ++m_liveEditHolds;
    return std::shared_ptr<void>(nullptr, [weak = weak_from_this()](void*) {
        const auto self = weak.lock();
        if (!self || --self->m_liveEditHolds > 0) return;
        // From the event loop: the hold ends inside the editor's own handling of the release or
        // of a change of the edit block, where no other edit may start.
        PLYDispatch::mainAsync([weak] {
            if (const auto manager = weak.lock()) manager->runAfterLiveEdit();
        });
    });
}

void PLYLayoutManager::afterLiveEdit(std::function<void()> change) {
    if (!change) return;
    if (m_liveEditHolds == 0 && m_afterLiveEdit.empty()) {
        change();
        return;
    }
    m_afterLiveEdit.push_back(std::move(change));
}

void PLYLayoutManager::runAfterLiveEdit() {
    // A change may start another hold (a drag begun before this ran): the rest waits for it.
    while (m_liveEditHolds == 0 && !m_afterLiveEdit.empty()) {
        const std::function<void()> change = std::move(m_afterLiveEdit.front());
        m_afterLiveEdit.erase(m_afterLiveEdit.begin());
        change();
    }
}
