#pragma once

#include "PLYError.h"
#include "PLYLayout.pb.h"
#include "PLYLayoutOwner.h"
#include "PLYPostIndex.h"

#include <QDateTime>
#include <QImage>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class PLYPersistantStore;
class PLYSourceDirectory;
class PLYSourceImage;

// One post, stored as a folder "<identifier>.plypost" inside its account's folder, holding
// "info.plist" (the fields below and the digest of the layout saved with them), "layout" (the
// layout's protobuf bytes) and, once made, "preview.jpg". While a save runs, "layout.next"
// holds the new layout until "info.plist" commits it.
class PLYPersistantPost : public PLYLayoutOwner, public std::enable_shared_from_this<PLYPersistantPost> {
public:
    static constexpr const char* FolderExtension = "plypost";
    static constexpr const char* ImageCountChangeNotification = "kPLY_NOTIFICATION_IMAGE_COUNT_CHANGE";
    static constexpr const char* PreviewCreatedNotification = "kPLY_NOTIFICATION_POST_PREVIEW_CREATED";
    static constexpr const char* SourceAddedNotification = "kPLY_NOTIFICATION_SOURCE_DIRECTORY_ADDED_TO_POST";
    static constexpr const char* SourceRemovedNotification = "kPLY_NOTIFICATION_SOURCE_DIRECTORY_REMOVED_FROM_POST";

    // A new post with a fresh identifier and an empty layout, in a folder under `accountFolder`.
    static std::shared_ptr<PLYPersistantPost> create(const QString& name, const QString& accountFolder,
                                                     std::weak_ptr<PLYPersistantStore> store);
    // Nothing (with the path and the reason) when the folder's files cannot be read, the layout
    // is empty, damaged or has no sections, or does not belong to the info file; they are left
    // untouched. A save cut short is finished or dropped here, so that the post is always
    // exactly one save; leftovers of interrupted writes are removed. Touches nothing shared, so
    // posts may load on several threads at once (the account loads its posts so).
    static std::shared_ptr<PLYPersistantPost> load(const QString& folder, std::weak_ptr<PLYPersistantStore> store,
                                                   PLYError* error = nullptr);

    // A post known by its summary alone (read from the account's index at launch), so that home
    // can sort and draw it before its folder is read. Everything beyond the summary first waits
    // for the store's loading behind the first paint (PLYPersistantStore::finishLoading).
    static std::shared_ptr<PLYPersistantPost> fromSummary(const PLYPostSummary& summary, const QString& accountFolder,
                                                          std::weak_ptr<PLYPersistantStore> store);
    bool isSummaryOnly() const { return m_summaryOnly; }
    PLYPostSummary summary() const;
    // Takes over all that `loaded` (this post as read from its folder) holds, on the thread that
    // owns this post; answers whether the summary shown until then differed from it.
    bool adoptLoaded(PLYPersistantPost& loaded);
    // Written at least once: a new post is not until its first save, a summary is by its index.
    bool isOnDisk() const { return m_summaryOnly || !m_loadedInfo.isEmpty() || !m_savedInfo.isEmpty(); }

    QString identifier() const { return m_identifier; }
    bool isSamePost(const PLYPersistantPost& other) const { return m_identifier == other.m_identifier; }
    QString folderPath() const { return m_folder; }

    QString name() const { return m_name; }
    // Control characters (a pasted NUL would cut the saved name) are left out of the name and of
    // the SEO fields below.
    void setName(const QString& name);
    QString seoTitle() const { loadIfNeeded(); return m_seoTitle; }
    void setSeoTitle(const QString& title);
    QString metaDescription() const { loadIfNeeded(); return m_metaDescription; }
    void setMetaDescription(const QString& description);
    std::optional<QStringList> focusKeywords() const { loadIfNeeded(); return m_focusKeywords; }
    void setFocusKeywords(const std::optional<QStringList>& keywords);
    QString remoteIdentifier() const { return m_remoteIdentifier; }
    void setRemoteIdentifier(const QString& identifier) { loadIfNeeded(); m_remoteIdentifier = identifier; }
    bool isPublished() const { return !m_remoteIdentifier.isEmpty(); }
    QDateTime creationDate() const { return m_creationDate; }
    QDateTime updatedDate() const { return m_updatedDate; }
    QStringList sourceLocations() const { loadIfNeeded(); return m_sourceLocations; }
    void addSourceLocation(const QString& identifier);
    void removeSourceLocation(const QString& identifier);
    QStringList hiddenImages() const { loadIfNeeded(); return m_hiddenImages; }

    // Hears of changes of "seoTitle", "metaDescription" and "focusKeywords".
    using ChangeObserver = std::function<void(const QString& key)>;
    int addChangeObserver(ChangeObserver observer);
    void removeChangeObserver(int token);

    // PLYLayoutOwner
    PLYLayout* layout() override { loadIfNeeded(); return &m_layout; }
    qint64 inUseCountForImage(const QString& identifier) const override;
    void incrementInUseCountForImage(const QString& identifier) override;
    void decrementInUseCountForImage(const QString& identifier) override;

    const PLYLayout& constLayout() const { loadIfNeeded(); return m_layout; }
    qint64 numberOfImagesInUse() const;
    QStringList focusKeywordsForImage(const QString& identifier) const;
    void setFocusKeywordsForImage(const QStringList& keywords, const QString& identifier);
    bool isImageHidden(const QString& identifier) const { loadIfNeeded(); return m_hiddenImages.contains(identifier); }
    void toggleImageHiddenForImage(const QString& identifier);

    // The images of every source location, location by location.
    QList<std::shared_ptr<PLYSourceImage>> images() const;
    // The first folder location of the post, or nothing.
    std::shared_ptr<PLYSourceDirectory> mainSourceDirectory() const;
    // (images without cached renditions, all images). Images that failed to decode and
    // images whose file is gone are never pending; with `excludeMissing`, neither are the
    // images of a missing location.
    QPair<qint64, qint64> imagesCountWithCachePercent(bool excludeMissing) const;
    // Whether the image's renditions are worth waiting for at all (the rule of the count above);
    // reads no file.
    static bool isImageAwaitingRenditions(const PLYSourceImage& image, bool excludeMissing);
    // Recounts every use count from the layout, then has each location look again.
    void refreshSourceLocations();
    // No when an image block anywhere refers to an image whose file is gone.
    bool doesLayoutHaveAllRequiredImagesToDraw() const;
    // The image identifiers the layout uses, each once, in layout order.
    QStringList layoutImageIdentifiers() const;

    // Reads "preview.jpg" from disk: not for painting on the main thread (the decoded-image
    // cache decodes it on a worker, PLYDecodedImageCache::PostPreview).
    QImage layoutPreview() const;
    static QString previewPathForFolder(const QString& folder);
    bool setLayoutPreview(const QImage& preview, PLYError* error = nullptr);

    // Set when the post is deleted from its account: from then on nothing of it is written,
    // so that a late save or preview cannot bring the deleted post back.
    bool isRemoved() const { return m_removed; }
    void markRemoved() { m_removed = true; }

    // Writes "info.plist" and "layout" when anything changed since the last save (the
    // updated date moves only then). The pair is atomic; false with the reason on failure.
    bool save(PLYError* error = nullptr);

    // Tests: called at each step of a save; answering true stops the save there, as a kill would.
    enum class SaveStep { LayoutStaged, InfoCommitted };
    static void setSaveInterruptionForTesting(std::function<bool(SaveStep)> stopAfter);

private:
    PLYPersistantPost() = default;
    void loadIfNeeded() const {
        if (m_summaryOnly) loadBehindSummary();
    }
    void loadBehindSummary() const;
    QVariantMap toPropertyList(bool withUpdatedDate) const;
    bool fromPropertyList(const QVariantMap& map);
    void notifyChange(const QString& key);
    void postCountChange(const QString& identifier);

    struct ImageEntry {
        qint64 useCount = 0;
        QStringList keywords;
    };

    std::weak_ptr<PLYPersistantStore> m_store;
    QString m_folder;
    QString m_identifier;
    QString m_name;
    QString m_seoTitle;
    QString m_metaDescription;
    std::optional<QStringList> m_focusKeywords;
    QString m_remoteIdentifier;
    QDateTime m_creationDate;
    QDateTime m_updatedDate;
    QStringList m_sourceLocations;
    QStringList m_hiddenImages;
    QMap<QString, ImageEntry> m_imageEntries;
    PLYLayout m_layout;

    QByteArray m_savedInfo;  // the last saved state, to tell whether a save changes anything
    QVariantMap m_loadedInfo;  // the info file as loaded, until a save needs m_savedInfo
    std::string m_savedLayout;
    QString m_diskLayoutDigest;  // of the layout bytes on disk, which the info file names
    QMap<int, ChangeObserver> m_observers;
    int m_nextObserver = 1;
    bool m_removed = false;
    bool m_summaryOnly = false;
};
