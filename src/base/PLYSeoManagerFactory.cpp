#include "PLYSeoManagerFactory.h"

namespace {
PLYSeoManagerFactory::Maker& maker() {
    static PLYSeoManagerFactory::Maker m;
    return m;
}
}  // namespace

void PLYSeoManagerFactory::registerMaker(Maker m) { maker() = std::move(m); }

bool PLYSeoManagerFactory::hasMaker() { return bool(maker()); }

std::shared_ptr<PLYSeoManager> PLYSeoManagerFactory::managerWithPostManager(
    const std::shared_ptr<PLYPostManager>& postManager) {
    if (!postManager || !maker()) return nullptr;
    return maker()(postManager);
}
