#pragma once

#include <QString>
#include <functional>

// The logging facade: the system log, the terminal and a daily-rolling file (7 kept).
// Every line carries file, function and line. Every line is in the file, flushed, when the call
// returns; errors reach the terminal and the system log at once too, other levels in the
// background. Secrets are redacted before any sink sees them.
namespace PLYLog {

enum class Level { Debug, Info, Warn, Error };

struct Options {
    bool systemLog = true;
    bool terminal = true;
    QString fileDirectory;  // empty: no file logger
};

// Replaces the loggers. Until called, messages go to the terminal only. A log folder that cannot
// be used (not creatable, not writable, a folder where the day's file should be) never stops the
// caller: the file logger is left out, the terminal and the system log take its place, and a
// warning says why.
void install(const Options& options);
// Why the file logger asked for at the last install is missing; empty when it runs or none was asked.
QString fileLoggingProblem();
void shutdown();

// Where the file logger writes, empty when there is none (also when it could not be made).
QString logDirectory();

void write(Level level, const QString& message, const char* file, int line, const char* function);

// Masks passwords, tokens and "jwt" values in JSON text, key=value text and URL queries.
QString redact(const QString& text);

// Sees every line after redaction (tests, diagnostics), from whichever thread wrote it, one line
// at a time. Returns a token for removal; once removeObserver returns, the observer is never
// called again.
using Observer = std::function<void(Level, const QString&)>;
int addObserver(Observer observer);
void removeObserver(int token);

}  // namespace PLYLog

#define PLY_LOG_DEBUG(msg) ::PLYLog::write(::PLYLog::Level::Debug, (msg), __FILE__, __LINE__, __func__)
#define PLY_LOG_INFO(msg) ::PLYLog::write(::PLYLog::Level::Info, (msg), __FILE__, __LINE__, __func__)
#define PLY_LOG_WARN(msg) ::PLYLog::write(::PLYLog::Level::Warn, (msg), __FILE__, __LINE__, __func__)
#define PLY_LOG_ERROR(msg) ::PLYLog::write(::PLYLog::Level::Error, (msg), __FILE__, __LINE__, __func__)
