#pragma once

#include "PLYError.h"
#include "PLYSourceImage.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

class PLYFileEventStream;
class PLYFileEvent;
class PLYSourceDirectoryDelegate;

// A watched source location: a folder (with or without its sub-folders) or a single image
// file. Its images keep their identifiers in the location file ("<identifier>.plylocation"),
// so layouts that refer to them survive restarts, renames and moves.
class PLYSourceDirectory : public QObject {
    Q_OBJECT
public:
    enum State { Stopped = 1, Missing = 2, Scanning = 3, Ready = 4 };

    static constexpr const char* ChangedNotification = "kPLY_NOTIFICATION_SOURCE_DIRECTORY_CHANGED";
    static constexpr const char* FileExtension = "plylocation";

    // A new location; include-sub-folders starts from the user's default.
    static std::shared_ptr<PLYSourceDirectory> create(const QUrl& location, const QByteArray& bookmarkData,
                                                      const QString& storageFolder);
    // Read from its last good copy when the file is damaged (the damaged file is kept aside).
    // Nothing (with the path and the reason) when neither can be read; both are left untouched.
    // Image entries whose identifier is not a safe file name are skipped and logged.
    static std::shared_ptr<PLYSourceDirectory> loadFromFile(const QString& path, PLYError* error = nullptr);
    ~PLYSourceDirectory() override;

    // How long file events are gathered before they are handled (3 s; tests use less).
    static int defaultLatencyMs();
    static void setDefaultLatencyMs(int ms);

    QString identifier() const { return m_identifier; }
    QUrl location() const { return m_location; }
    QString path() const { return m_location.toLocalFile(); }
    // Takes a new place to watch; a running watch restarts there.
    void setLocation(const QUrl& location, const QByteArray& bookmarkData);
    QByteArray bookmarkData() const { return m_bookmark; }

    bool isFolderLocation() const { return m_folder; }
    void setFolderLocation(bool folder) {
        if (folder != m_folder) m_dirty = true;
        m_folder = folder;
    }
    bool includeSubFolders() const { return m_includeSubFolders; }
    void setIncludeSubFolders(bool include);

    int state() const { return m_state; }
    bool locationExisits() const { return m_state != Missing; }
    // Its folder is watched: asked to, and the watch started (and still runs).
    bool isWatching() const;

    const QMap<QString, std::shared_ptr<PLYSourceImage>>& watchedImages() const { return m_images; }
    std::shared_ptr<PLYSourceImage> imageForIdentifier(const QString& identifier) const { return m_images.value(identifier); }
    // The watched images in the map's order, as one list made once per change of the set: a
    // caller that lists them on every rebuild shares it and copies no image pointer.
    const QList<std::shared_ptr<PLYSourceImage>>& imageList() const;
    // Drops the image from the current images.
    void deleteImage(const QString& identifier);

    void addDelegate(PLYSourceDirectoryDelegate* delegate);
    void removeDelegate(PLYSourceDirectoryDelegate* delegate);
    // The registered delegates, in registration order.
    QList<PLYSourceDirectoryDelegate*> delegates() const { return m_delegates; }

    void startWatching();
    void stopWatching();
    // Looks at every file again.
    void rescan();

    QString filePath() const { return m_filePath; }
    // Writes the file and its last good copy (making its folder again if it went), once the
    // writes asked for before are done.
    bool save(PLYError* error = nullptr);
    // The same off the main thread, as the end of a scan does: what the location holds is taken
    // now and written on a worker after the writes asked for before it. A failure is logged and
    // leaves the location to be saved again.
    void saveInBackground();
    // Waits until the writes asked for so far are done (the quit's save, the location's end).
    void waitForPendingSave() const;
    // Changed since the last save, never saved, or its last write (when done) failed.
    bool needsSave() const;

    // Image identifiers by path that other locations know; a file new to this location takes
    // the identifier known for its path. Set by the store.
    using KnownIdentifiers = std::function<QHash<QString, QString>()>;
    void setKnownIdentifiersProvider(KnownIdentifiers provider) { m_knownIdentifiers = std::move(provider); }

private:
    struct Contents;
    struct Writer;

    PLYSourceDirectory() = default;
    Contents contents() const;
    static QVariantMap toPropertyList(const Contents& contents);
    static bool write(const QString& path, const Contents& contents, PLYError* error);
    bool fromPropertyList(const QVariantMap& map);

    void setState(int state);
    void handleEvents(const QVector<PLYFileEvent>& events);
    void reconcile(bool full, const QSet<QString>& paths);
    bool isCandidate(const QString& path) const;
    // A name the file system holds in bytes that are not UTF-8 comes back with replacement
    // characters and cannot be opened by that name: it is logged (once per name) and skipped,
    // never dropped in silence.
    bool skipsUnreadableName(const QString& path) const;
    bool volumeIsGone(quint64 device) const;
    // `modified`: the file's modification time as the look that found it saw it (ms since 1970).
    void readMetadata(const std::shared_ptr<PLYSourceImage>& image, bool isNew, qint64 modified);
    void imageFileGone(const std::shared_ptr<PLYSourceImage>& image);
    void finishScanIfIdle();

    QString m_identifier;
    QUrl m_location;
    QByteArray m_bookmark;
    bool m_folder = true;
    bool m_includeSubFolders = true;
    int m_state = Stopped;
    QString m_filePath;
    QMap<QString, std::shared_ptr<PLYSourceImage>> m_images;
    mutable QList<std::shared_ptr<PLYSourceImage>> m_imageList;  // m_images listed; made again after a change
    mutable bool m_imageListMade = false;
    QList<PLYSourceDirectoryDelegate*> m_delegates;
    PLYFileEventStream* m_stream = nullptr;
    int m_pendingMeta = 0;
    bool m_dirty = false;
    // The place was just chosen and not looked at yet; the images that look found.
    bool m_baselinePending = false;
    QSet<QString> m_alreadyThere;
    quint64 m_rootDevice = 0;  // of the folder when last seen, to tell an unmounted volume
    KnownIdentifiers m_knownIdentifiers;
    mutable QSet<QString> m_unreadableNamesLogged;
    std::shared_ptr<Writer> m_writer;  // made at the first background save
};
