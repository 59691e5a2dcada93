#pragma once

#include <functional>
#include <memory>

class PLYPostManager;
class PLYSeoManager;

// Where the workspace registers the maker of a post's SEO manager at start-up, so that the post
// manager can make one on first use without linking to the workspace. With nothing registered,
// posts have no SEO manager.
class PLYSeoManagerFactory {
public:
    using Maker = std::function<std::shared_ptr<PLYSeoManager>(const std::shared_ptr<PLYPostManager>&)>;

    // Replaces the maker; an empty one unregisters.
    static void registerMaker(Maker maker);
    static bool hasMaker();
    // Nothing without a maker or a post manager.
    static std::shared_ptr<PLYSeoManager> managerWithPostManager(const std::shared_ptr<PLYPostManager>& postManager);
};
