#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class PLYLayoutManager;
class PLYLayoutOwner;
class PLYPersistantPost;
class PLYPersistantStore;
class PLYSeoManager;

// The handle to one open post: the post itself, and its layout manager and SEO manager, each
// made on first use.
class PLYPostManager : public std::enable_shared_from_this<PLYPostManager> {
public:
    // `post` may be nothing: the manager of a post still to be made.
    static std::shared_ptr<PLYPostManager> create(std::shared_ptr<PLYPersistantPost> post);
    ~PLYPostManager();

    // Layout managers live in the layout layer above this library, which registers how to make
    // one at start-up (PLYLayoutManager::install()). Without a maker, posts have no layout manager.
    using LayoutManagerMaker = std::function<std::shared_ptr<PLYLayoutManager>(
        std::shared_ptr<PLYLayoutOwner> owner, std::weak_ptr<PLYPostManager> postManager)>;
    static void setLayoutManagerMaker(LayoutManagerMaker maker);

    std::shared_ptr<PLYPersistantPost> representedPost() const { return m_post; }
    // Nothing while there is no post.
    std::shared_ptr<PLYLayoutManager> layoutManager();
    // Nothing while there is no post, or while no SEO maker is registered with
    // PLYSeoManagerFactory (the workspace registers one at start-up).
    std::shared_ptr<PLYSeoManager> seoManager();

    // Asks the current account for a new post with one empty stacked section; not saved here.
    // False when nobody is signed in.
    bool createNewPostWithTtitle(const QString& name);
    // The post's main folder location moves to `url` (or one is made for it).
    void setWatchLocation(const QUrl& url, const QByteArray& previousData = {});
    // A folder adds each supported image in it; a supported image file becomes a watched
    // single-file location of the post; anything else is skipped. Answers whether the drop held
    // any image (one the post already watches counts).
    bool addWatchImage(const QUrl& url);

private:
    explicit PLYPostManager(std::shared_ptr<PLYPersistantPost> post) : m_post(std::move(post)) {}
    // Registers a new location with the store, adds it to the post and starts it.
    void addLocation(PLYPersistantStore& store, const QString& path, const QByteArray& bookmark, bool folder);

    std::shared_ptr<PLYPersistantPost> m_post;
    std::shared_ptr<PLYLayoutManager> m_layoutManager;
    // Declared after the layout manager so that it goes first: its metrics watch the post.
    std::shared_ptr<PLYSeoManager> m_seoManager;
};
