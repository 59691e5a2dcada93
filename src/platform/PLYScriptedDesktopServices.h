#pragma once

#include "PLYDesktopServices.h"

#include <QList>

// Test double: records what would have been opened or started and answers `succeeds`.
class PLYScriptedDesktopServices : public PLYDesktopServices {
public:
    struct Launch {
        QString program;
        QStringList arguments;
        QString workingDirectory;
    };
    bool openURL(const QUrl& url) override {
        m_urls.append(url);
        return m_succeeds;
    }
    bool startDetached(const QString& program, const QStringList& arguments, const QString& workingDirectory = {}) override {
        m_launches.append({program, arguments, workingDirectory});
        return m_succeeds;
    }
    void setSucceeds(bool succeeds) { m_succeeds = succeeds; }
    const QList<QUrl>& openedURLs() const { return m_urls; }
    const QList<Launch>& launches() const { return m_launches; }

private:
    bool m_succeeds = true;
    QList<QUrl> m_urls;
    QList<Launch> m_launches;
};
