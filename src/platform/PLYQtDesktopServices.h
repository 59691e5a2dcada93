#pragma once

#include "PLYDesktopServices.h"

// QDesktopServices and QProcess::startDetached.
class PLYQtDesktopServices : public PLYDesktopServices {
public:
    bool openURL(const QUrl& url) override;
    bool startDetached(const QString& program, const QStringList& arguments, const QString& workingDirectory = {}) override;
};
