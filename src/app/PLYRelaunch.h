#pragma once

#include <QString>
#include <QStringList>

// Restarting the application: a detached shell sleeps, then starts the executable again, and
// this process quits meanwhile.
class PLYRelaunch {
public:
    struct Command {
        QString program;
        QStringList arguments;
    };

    // The shell command. The delay and the executable reach the script as positional
    // parameters, so no character of the path is ever read by the shell as syntax.
    static Command commandForDelay(double seconds, const QString& executable);

    // Starts the shell for this executable and quits. When the shell cannot be started the
    // application keeps running (and says so in the log): quitting would leave nothing open.
    static bool relaunchAfterDelay(double seconds);
};
