#pragma once

#include "PLYDesktopServices.h"

#include <memory>

// QDesktopServices and QProcess::startDetached; the file manager through its D-Bus interface.
class PLYQtDesktopServices : public PLYDesktopServices {
public:
    static constexpr const char* FileManagerService = "org.freedesktop.FileManager1";
    static constexpr const char* FileManagerPath = "/org/freedesktop/FileManager1";
    static constexpr int FileManagerTimeoutMs = 5000;

    bool openURL(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments, const QString& workingDirectory = {}) override;
    // Asks the desktop's file manager to show the file selected in its folder; where none
    // answers on the session bus, the folder is opened.
    bool showFileInFileManager(const QString& path) override;

private:
    // An answer that arrives after these services went does nothing.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
