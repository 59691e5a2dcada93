#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class PLYPersistantAccount;
class PLYPersistantPost;
class PLYPostManager;

// A library for pictures of the interface, made afresh in a temporary data folder: a signed-in
// account, a folder of generated photos with star ratings and colour labels, and two posts with
// varied layouts whose renditions are cached.
class PLYScreensFixture {
public:
    explicit PLYScreensFixture(const QString& rootDirectory);
    ~PLYScreensFixture();

    // False (with the reason in `error()`) when the library could not be made.
    bool build();
    QString error() const { return m_error; }

    QString rootDirectory() const { return m_root; }
    QString photosDirectory() const { return m_photos; }
    std::shared_ptr<PLYPersistantAccount> account() const;
    // The post with the richer layout ("Autumn in the Highlands") and the smaller one.
    std::shared_ptr<PLYPostManager> mainPostManager() const { return m_main; }
    std::shared_ptr<PLYPostManager> secondPostManager() const { return m_second; }
    QStringList imageIdentifiers() const { return m_imageIds; }

    // Lets queued work (scans, renditions, paints) run for `ms` milliseconds.
    static void settle(int ms = 50);

private:
    bool makePhotos();
    std::shared_ptr<PLYPostManager> makePost(const QString& name, bool rich);

    QString m_root;
    QString m_photos;
    QString m_error;
    QStringList m_imageIds;
    std::shared_ptr<PLYPostManager> m_main;
    std::shared_ptr<PLYPostManager> m_second;
};
