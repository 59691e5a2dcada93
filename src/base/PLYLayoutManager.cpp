#include "PLYLayoutManager.h"

// Interim: only construction and the layout accessor; the edits follow.

std::shared_ptr<PLYLayoutManager> PLYLayoutManager::managerWithOwner(std::shared_ptr<PLYLayoutOwner> owner,
                                                                     std::weak_ptr<PLYPostManager> postManager) {
    return std::shared_ptr<PLYLayoutManager>(new PLYLayoutManager(std::move(owner), std::move(postManager)));
}

PLYLayoutManager::PLYLayoutManager(std::shared_ptr<PLYLayoutOwner> owner, std::weak_ptr<PLYPostManager> postManager)
    : m_owner(std::move(owner)), m_postManager(std::move(postManager)) {}

PLYLayoutManager::~PLYLayoutManager() = default;

PLYLayout* PLYLayoutManager::representedLayout() const { return m_owner ? m_owner->layout() : nullptr; }

std::shared_ptr<PLYPostManager> PLYLayoutManager::postManager() const { return m_postManager.lock(); }
