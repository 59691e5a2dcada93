#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

// Opening addresses in the user's applications and starting detached programs. A program is
// always given with its argument list, never as a shell command line.
class PLYDesktopServices {
public:
    virtual ~PLYDesktopServices() = default;
    virtual bool openURL(const QUrl& url) = 0;
    virtual bool startDetached(const QString& program, const QStringList& arguments, const QString& workingDirectory = {}) = 0;
    // Shows the file in the desktop's file manager; at the least its folder is opened.
    virtual bool showFileInFileManager(const QString& path) {
        return openURL(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    }

    static std::shared_ptr<PLYDesktopServices> shared();
    static void setShared(std::shared_ptr<PLYDesktopServices> services);
};
