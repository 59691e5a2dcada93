#pragma once

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

    static std::shared_ptr<PLYDesktopServices> shared();
    static void setShared(std::shared_ptr<PLYDesktopServices> services);
};
